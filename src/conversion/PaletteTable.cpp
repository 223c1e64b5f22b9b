#include "conversion/PaletteTable.h"

#include <QtEndian>
#include <algorithm>
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

uint32_t PaletteTable::colourOf(const RGBCalculations& palette, const Style& style, uint32_t raw) {
    const ConversionParameters& w = style.window;
    unsigned r = 0, g = 0, b = 0;
    palette.generateRGB(raw, style.colorMode, style.inverted, w.lowerRawValueBound,
                        w.upperRawValueBound, w.biColorEnabled, w.lowerBiColorRawValueBound,
                        w.upperBiColorRawValueBound, 0, 255, r, g, b, false);
    return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16;
}

void PaletteTable::rebuild(const RGBCalculations& palette, const Style& style) {
    colours.resize(kRawValueCount);
    const uint32_t lower = style.window.lowerRawValueBound;
    const uint32_t upper = style.window.upperRawValueBound;
    uint32_t first = 0;
    uint32_t last = kRawValueCount - 1;
    // Without bi-colour every value from 1 up to the lower bound has the
    // bottom colour and every value from the upper bound on the top colour, so
    // only the values inside the window need the palette rule. This keeps the
    // rebuild cheap when the automatic window moves with every frame.
    if (!style.window.biColorEnabled && lower < upper && upper < kRawValueCount) {
        colours[0] = colourOf(palette, style, 0);
        if (lower >= 1) {
            std::fill(colours.begin() + 1, colours.begin() + lower + 1,
                      colourOf(palette, style, lower));
            first = lower + 1;
        } else {
            first = 1;
        }
        std::fill(colours.begin() + upper, colours.end(), colourOf(palette, style, upper));
        last = upper - 1;
    }
    for (uint32_t raw = first; raw <= last; ++raw)
        colours[raw] = colourOf(palette, style, raw);
    built = style;
    valid = true;
}

void PaletteTable::convert(const RGBCalculations& palette, const Style& style, const uint16_t* raw,
                           size_t count, uint8_t* out) {
    if (!valid || !(built == style))
        rebuild(palette, style);
    const uint32_t* table = colours.data();
    auto colourAt = [&](size_t i) {
        const uint16_t v = raw[i];
        // Values above 14 bits are not produced by the decoder, but a frame
        // set from elsewhere still gets exactly the per-pixel rule.
        return v < kRawValueCount ? table[v] : colourOf(palette, style, v);
    };
    if (count == 0)
        return;
    // Each pixel is stored as four bytes (R, G, B and a spare byte that the
    // next pixel overwrites): one store instead of three. The last pixel is
    // written byte by byte so that nothing lands past the end of the row.
    const size_t last = count - 1;
    for (size_t i = 0; i < last; ++i) {
        const uint32_t bytes = qToLittleEndian(colourAt(i));
        std::memcpy(out + 3 * i, &bytes, sizeof bytes);
    }
    const uint32_t colour = colourAt(last);
    out[3 * last] = uint8_t(colour);
    out[3 * last + 1] = uint8_t(colour >> 8);
    out[3 * last + 2] = uint8_t(colour >> 16);
}
