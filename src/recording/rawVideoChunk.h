#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// One decoded frame. A plain value type: copies own their raw values and texts,
// but serialData is a borrowed pointer into the converter's serial buffer, so a
// copy kept after the next decode shows the serial block of that newer frame.
struct rawVideoChunk {
    std::vector<uint16_t> rawData; // width * height values, 14 bits used
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t chunkTag = 0; // time to the next image in ms (120 for recorder frames)
    double latitude = 0.0;
    double longitude = 0.0;
    QString date;
    QString time;
    double roll = 0.0;
    double pitch = 0.0;
    double yaw = 0.0;
    double altitude = 0.0;
    int32_t satellites = 0;
    const char* serialData = nullptr; // not owned
    uint32_t serialDataSize = 0;
    uint32_t currentFrameNumber = 0;
    uint32_t meanRaw = 0;
    double tempFPA = 0.0;     // degrees Celsius
    double tempHousing = 0.0; // degrees Celsius
    int32_t focalLength = 0;  // mm
    float sensorWidthMM = 0.0f;
    float sensorHeightMM = 0.0f;
};
