#pragma once

#include <cstdint>

// The raw-value window held by the converter. Lower >= upper means "no window
// yet": the reset state is 16383 over 1, which every conversion refuses.
struct ConversionParameters {
    uint32_t lowerRawValueBound = 16383;
    uint32_t upperRawValueBound = 1;
    uint32_t lowerBiColorRawValueBound = 0;
    uint32_t upperBiColorRawValueBound = 0;
    bool biColorEnabled = false;
};

// Request and result of one frame conversion: the loader reads it and writes
// the window it actually used back into lowerBound and upperBound.
// Every field has a defined default so that a producer that fills only some of
// them still converts without smoothing and from a known state.
struct ThermalImageConversionSet {
    uint32_t lowerBound = 0;
    uint32_t upperBound = 0;
    int32_t colorMode = 0;
    bool biColorModeEnabled = false;
    uint32_t biLow = 0;
    uint32_t biHigh = 0;
    bool inverted = false;
    bool autoGainEnabled = true;
    float percentageChange = 1.0f;
    bool smoothAutoGain = false;
};
