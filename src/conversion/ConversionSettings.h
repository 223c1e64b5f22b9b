#pragma once

#include "base/Radiometry.h"
#include "conversion/ThermalImageConversionSet.h"

#include <cstdint>

namespace kx {

// The range and palette choices that every conversion of a frame reads: what
// the range dialog shows, what the command line sets and what the settings
// store keeps.
struct ConversionSettings {
    int colorMode = 0; // 0 gray, 1 iron, 2 arctic, 3 rainbow high contrast
    bool inverted = false;
    bool autoGainEnabled = true;
    uint32_t lowerRawBound = 0;
    uint32_t upperRawBound = 16383;
    int percentageChange = 100; // of the automatic range between movie frames
    bool biColorEnabled = false;
    uint32_t biColorLow = 0;
    uint32_t biColorHigh = 0;
    int rotation = 0; // degrees clockwise: 0, 90, 180 or -90
    bool legendVisible = true;
    int radiometryOption = radiometry::NoRadiometry; // 0 none, 1 high gain, 2 low gain
    // The step that legends and read-outs label counts with. It follows the
    // option whenever the option is set, but the window starts at the high
    // gain step before its stored option is loaded, and a command-line run
    // without "-tl" keeps that start.
    float kelvinPerCount = radiometry::kNominalKelvinPerCount;

    void setRadiometryOption(int option) {
        radiometryOption = option;
        kelvinPerCount = radiometry::kelvinPerCount(option);
    }
    // The request of one frame conversion. Smoothing stays off: a frame's
    // automatic window then never depends on the frame converted before it.
    ThermalImageConversionSet conversionSet() const {
        ThermalImageConversionSet set;
        set.lowerBound = lowerRawBound;
        set.upperBound = upperRawBound;
        set.colorMode = colorMode;
        set.biColorModeEnabled = biColorEnabled;
        set.biLow = biColorLow;
        set.biHigh = biColorHigh;
        set.inverted = inverted;
        set.autoGainEnabled = autoGainEnabled;
        return set;
    }
};

} // namespace kx
