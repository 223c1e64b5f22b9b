#include "conversion/PaletteTable.h"

#include <cstring>

namespace {
constexpr uint32_t kRawValueCount = 16384;
}

bool PaletteTable::Style::operator==(const Style& other) const {
    return colorMode == other.colorMode && inverted == other.inverted &&
           window.lowerRawValueBound == other.window.lowerRawValueBound &&
           window.upperRawValueBound == other.window.upperRawValueBound &&
           window.biColorEnabled == other.window.biColorEnabled &&
           window.lowerBiColorRawValueBound == other.window.lowerBiColorRawValueBound &&
           window.upperBiColorRawValueBound == other.window.upperBiColorRawValueBound;
}

void PaletteTable::rebuild(const RGBCalculations& palette, const Style& style) {
    colours.resize(kRawValueCount);
    const ConversionParameters& w = style.window;
    for (uint32_t raw = 0; raw < kRawValueCount; ++raw) {
        unsigned r = 0, g = 0, b = 0;
        palette.generateRGB(raw, style.colorMode, style.inverted, w.lowerRawValueBound,
                            w.upperRawValueBound, w.biColorEnabled, w.lowerBiColorRawValueBound,
                            w.upperBiColorRawValueBound, 0, 255, r, g, b, false);
        colours[raw] = (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16;
    }
    built = style;
    valid = true;
}

void PaletteTable::convert(const RGBCalculations& palette, const Style& style, const uint16_t* raw,
                           size_t count, uint8_t* out) {
    if (!valid || !(built == style))
        rebuild(palette, style);
    const uint32_t* table = colours.data();
    const ConversionParameters& w = style.window;
    for (size_t i = 0; i < count; ++i) {
        const uint16_t v = raw[i];
        uint32_t colour;
        if (v < kRawValueCount) {
            colour = table[v];
        } else {
            // Not produced by the decoder (it keeps 14 bits), but a frame set
            // from elsewhere still gets exactly the per-pixel rule.
            unsigned r = 0, g = 0, b = 0;
            palette.generateRGB(v, style.colorMode, style.inverted, w.lowerRawValueBound,
                                w.upperRawValueBound, w.biColorEnabled, w.lowerBiColorRawValueBound,
                                w.upperBiColorRawValueBound, 0, 255, r, g, b, false);
            colour = (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16;
        }
        out[3 * i] = uint8_t(colour);
        out[3 * i + 1] = uint8_t(colour >> 8);
        out[3 * i + 2] = uint8_t(colour >> 16);
    }
}
