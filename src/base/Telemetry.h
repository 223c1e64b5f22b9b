#pragma once

#include <QString>
#include <cstdint>

namespace kx {

// What the serial data block of one frame says about the aircraft: the one
// telemetry record that the parsers fill, the frame carries and the labels,
// meta data, TIFF, EXIF and FFF writers read. A block without the field leaves
// its default (0, empty texts).
struct Telemetry {
    double latitude = 0.0;  // degrees, north positive
    double longitude = 0.0; // degrees, east positive
    double altitude = 0.0;  // metres
    int32_t satellites = 0;
    float magneticHeading = 0.0f; // degrees
    float trackHeading = 0.0f;    // degrees
    double roll = 0.0;            // degrees
    double pitch = 0.0;           // degrees
    double yaw = 0.0;             // degrees
    // "dd.MM.yyyy" and "hh:mm:ss" from NMEA and MAVLink, "%Y-%m-%d" and
    // "%H:%M:%S" from the md downlink.
    QString date;
    QString time;
};

} // namespace kx
