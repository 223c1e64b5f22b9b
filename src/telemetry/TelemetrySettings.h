#pragma once

#include "base/ksDefines.h"

namespace kx {

// How the serial data block of each frame is read.
struct TelemetrySettings {
    ksDefines::serialContent serialKind = ksDefines::NoSerialData;
    int hourOffset = 0; // added to NMEA times, -12 to 12
    bool checkFrameCounter = false;
};

} // namespace kx
