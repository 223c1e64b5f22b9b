#pragma once

#include "conversion/RGBCalculations.h"
#include "conversion/ThermalImageConversionSet.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The colour of every 14-bit raw value for one window and style, built from
// RGBCalculations::generateRGB, so converting a frame is one table look-up per
// pixel with results identical to the per-pixel rule. The table is rebuilt only
// when the window or the style changes.
class PaletteTable {
public:
    struct Style {
        uint32_t colorMode = 0;
        bool inverted = false;
        ConversionParameters window;
        bool operator==(const Style& other) const;
    };

    // Writes count RGB888 pixels for the raw values at raw into out (3 bytes
    // each). The window must be usable (lower < upper).
    void convert(const RGBCalculations& palette, const Style& style, const uint16_t* raw,
                 size_t count, uint8_t* out);

private:
    static uint32_t colourOf(const RGBCalculations& palette, const Style& style, uint32_t raw);
    void rebuild(const RGBCalculations& palette, const Style& style);

    std::vector<uint32_t> colours; // 0x00BBGGRR per raw value
    Style built;
    bool valid = false;
};
