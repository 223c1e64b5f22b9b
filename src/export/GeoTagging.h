#pragma once

#include "base/Telemetry.h"

#include <QByteArray>

#include <cstdint>

// The numbers the TIFF and EXIF writers share, so both files of one frame say
// the same about position, altitude and lens.
namespace kx::geotag {

// A position a photogrammetry tool can use: finite, latitude within +-90 and
// longitude within +-180 degrees. A frame without it gets no GPS position.
bool hasUsablePosition(const Telemetry& telemetry);

// An angle's absolute value as degrees, whole minutes and seconds x scale, by
// the one rule both files follow: d = integer part, m = integer part of
// (value - d) x 60, s = integer part of ((value - d - m / 60) x 60 x 60 x
// scale). Seconds stay within [0, 60 x scale) where rounding would leave that.
struct Dms {
    uint32_t degrees = 0;
    uint32_t minutes = 0;
    uint32_t scaledSeconds = 0;
};
Dms splitDegrees(double degrees, double secondsScale);

// integer part of |value| x scale, held to an unsigned 32-bit numerator (0 for
// a value that is not finite).
uint32_t scaledMagnitude(double value, double scale);

// The 35 mm equivalent focal length by frame width: 324 -> f x 4.2,
// 336 -> f x 6, 640 -> f x 3.1 (integer parts), any other width 0 (unknown).
int focalLengthIn35mm(uint32_t frameWidth, double focalLengthMM);

// A telemetry date as "yyyy:MM:dd" from "dd.MM.yyyy" (NMEA, MAVLink) or
// "yyyy-MM-dd" (downlink); empty for anything else.
QByteArray exifDate(const QString& date);

// The frame's moment as EXIF and TIFF write it, "yyyy:MM:dd hh:mm:ss"; empty
// when the telemetry has no date or time of that shape.
QByteArray exifDateTime(const Telemetry& telemetry);

} // namespace kx::geotag
