#pragma once

#include "base/Telemetry.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace kx {

// One decoded frame as a value: everything a renderer or a writer needs, with
// no pointer into the converter's buffers, so a copy can travel to another
// thread and outlive the next decode.
struct DecodedFrame {
    int frameNumber = 0; // 1-based number in the recording; 1 for a single-frame file

    std::vector<uint16_t> raw; // width * height values, 14 bits used, row by row
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t minRaw = 0;
    uint32_t maxRaw = 0;
    uint32_t meanRaw = 0;
    // The first pixel that holds maxRaw; column and row count from 1 as the
    // decoder reports them.
    uint32_t hotspotColumn = 0;
    uint32_t hotspotRow = 0;
    uint32_t hotspotValue = 0;

    // From the frame header.
    QString partNumber;
    double tempFPACelsius = 0.0;
    double tempHousingCelsius = 0.0;
    uint32_t streamFrameNumber = 0; // the counter a compressed frame carries (FFC mark above 8192)
    // Whether this frame carried that counter; streamFrameNumber is an
    // earlier frame's otherwise.
    bool streamFrameNumberSeen = false;
    int32_t focalLengthMM = 0;
    float sensorWidthMM = 0.0f;
    float sensorHeightMM = 0.0f;
    uint32_t timeToNextImageMs = 120;

    // The serial data block as stored beside the frame, and what it says.
    QByteArray serialBlock;
    Telemetry telemetry;

    bool isValid() const { return width > 0 && height > 0 && raw.size() == size_t(width) * height; }
};

} // namespace kx
