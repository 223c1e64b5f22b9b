#include "conversion/RGBCalculations.h"

#include "base/Report.h"
#include "conversion/RgbHsvConversions.h"

#include <cmath>
#include <cstdint>

namespace {

// One 100-position stretch of a palette: start value and slope of each channel.
// A slope is the change across the whole stretch; the channel value at a
// position is reached with F fractional bits so that the result is exact
// integer arithmetic on every platform.
struct Segment {
    uint8_t r0;
    int16_t rSlope;
    uint8_t g0;
    int16_t gSlope;
    uint8_t b0;
    int16_t bSlope;
};

struct Palette {
    uint32_t scale;        // positions 0..scale over the window
    uint32_t fractionBits; // fixed-point precision of the interpolation
    const Segment* segments;
};

constexpr Segment kIronSegments[] = {
    {0, 70, 0, 40, 0, 130},      {70, 140, 40, 0, 130, 0},   {210, 30, 40, 70, 130, -90},
    {240, 14, 110, 90, 20, -10}, {255, 0, 200, 54, 10, 244},
};

constexpr Segment kArcticSegments[] = {
    {0, 45, 0, 84, 0, 165},       {45, -30, 84, 34, 165, -14},  {15, 0, 118, 19, 151, -12},
    {15, 98, 137, -64, 139, -13}, {113, 53, 73, -27, 126, -35}, {166, 42, 46, 0, 91, -35},
    {208, 22, 46, 29, 56, -27},   {230, 0, 75, 52, 29, -15},    {230, 0, 127, 51, 14, 0},
    {230, 0, 178, 52, 14, 216},
};

constexpr Segment kRainbowSegments[] = {
    {0, 216, 0, 0, 0, 212},        {216, -195, 0, 3, 212, -49}, {21, -16, 3, 215, 163, 71},
    {5, -5, 218, -134, 234, -234}, {0, 229, 84, 143, 0, 5},     {229, -108, 227, -218, 5, -5},
    {121, 88, 9, 36, 0, 43},       {209, 46, 45, 210, 43, 212},
};

constexpr Palette kIron{499, 20, kIronSegments};
constexpr Palette kArctic{999, 10, kArcticSegments};
constexpr Palette kRainbow{799, 10, kRainbowSegments};

unsigned interpolate(uint32_t start, int32_t slope, uint32_t t, uint32_t fractionBits) {
    if (slope >= 0)
        return start + ((t * uint32_t(slope)) >> fractionBits);
    return start - ((t * uint32_t(-slope)) >> fractionBits);
}

// Returns false (after the console line) when the window is empty, in which
// case the caller renders black.
bool boundsUsable(unsigned lower, unsigned upper) {
    if (lower != upper)
        return true;
    kx::console(QStringLiteral("Boundaries equal: %1, %2").arg(lower).arg(upper));
    return false;
}

void convertWithPalette(const Palette& palette, unsigned raw, unsigned lower, unsigned upper,
                        unsigned& R, unsigned& G, unsigned& B) {
    R = G = B = 0;
    if (!boundsUsable(lower, upper))
        return;
    // Raw 0 is a dead or missing pixel, never a temperature: always black.
    if (raw == 0 || raw <= lower)
        return;
    uint32_t s = palette.scale;
    if (raw < upper) {
        // lower < raw < upper here, so the division is safe and s < scale.
        s = ((raw - lower) * palette.scale) / (upper - lower);
        if (s == 0)
            return;
    }
    // s <= scale, so the top position falls into the last stretch (scale is one
    // below a multiple of 100).
    const uint32_t segmentIndex = s / 100;
    const uint32_t base = 100 * segmentIndex;
    const uint32_t t = ((s - base) << palette.fractionBits) / 100;
    const Segment& seg = palette.segments[segmentIndex];
    R = interpolate(seg.r0, seg.rSlope, t, palette.fractionBits);
    G = interpolate(seg.g0, seg.gSlope, t, palette.fractionBits);
    B = interpolate(seg.b0, seg.bSlope, t, palette.fractionBits);
}

void invert(unsigned& R, unsigned& G, unsigned& B) {
    R = 255 - R;
    G = 255 - G;
    B = 255 - B;
}

} // namespace

void RGBCalculations::generateRGB(unsigned raw, unsigned colorMode, bool inverted, unsigned lower,
                                  unsigned upper, bool biColorEnabled, unsigned biLow,
                                  unsigned biHigh, unsigned outMin, unsigned outMax, unsigned& R,
                                  unsigned& G, unsigned& B, bool lossless) const {
    if (lossless) {
        generateLoslessRGB(raw, R, G, B);
        return;
    }
    if (biColorEnabled) {
        generateBiColorRGB(raw, inverted, lower, upper, biLow, biHigh, outMin, outMax, R, G, B);
        return;
    }
    generateLinearRGB(raw, colorMode, inverted, lower, upper, outMin, outMax, R, G, B);
}

void RGBCalculations::generateLinearRGB(unsigned raw, unsigned colorMode, bool inverted,
                                        unsigned lower, unsigned upper, unsigned outMin,
                                        unsigned outMax, unsigned& R, unsigned& G,
                                        unsigned& B) const {
    switch (colorMode) {
    case 0:
        convertToGrayscale(raw, lower, upper, outMin, outMax, R, G, B);
        break;
    case 1:
        convertToColorMode1(raw, lower, upper, R, G, B);
        break;
    case 2:
        convertToColorMode2(raw, lower, upper, R, G, B);
        break;
    default:
        convertToColorMode3(raw, lower, upper, R, G, B);
        break;
    }
    if (inverted)
        invert(R, G, B);
}

void RGBCalculations::generateBiColorRGB(unsigned raw, bool inverted, unsigned lower,
                                         unsigned upper, unsigned biLow, unsigned biHigh,
                                         unsigned outMin, unsigned outMax, unsigned& R, unsigned& G,
                                         unsigned& B) const {
    // The colour window is open at both ends: its bounds themselves stay grey.
    if (biLow < raw && raw < biHigh)
        convertToColorMode1(raw, biLow, biHigh, R, G, B);
    else
        convertToGrayscale(raw, lower, upper, outMin, outMax, R, G, B);
    if (inverted)
        invert(R, G, B);
}

void RGBCalculations::convertToGrayscale(unsigned raw, unsigned lower, unsigned upper,
                                         unsigned outMin, unsigned outMax, unsigned& R, unsigned& G,
                                         unsigned& B) const {
    R = G = B = 0;
    if (!boundsUsable(lower, upper))
        return;
    if (raw == 0)
        return;
    unsigned grey;
    if (raw <= lower) {
        grey = outMin;
    } else if (raw >= upper) {
        grey = outMax;
    } else {
        const uint32_t g = outMin + ((outMax - outMin) * (raw - lower)) / (upper - lower);
        grey = int32_t(g) <= int32_t(outMin) ? outMin : (g > outMax ? outMax : g);
    }
    R = G = B = grey;
}

void RGBCalculations::convertToColorMode1(unsigned raw, unsigned lower, unsigned upper, unsigned& R,
                                          unsigned& G, unsigned& B) const {
    convertWithPalette(kIron, raw, lower, upper, R, G, B);
}

void RGBCalculations::convertToColorMode2(unsigned raw, unsigned lower, unsigned upper, unsigned& R,
                                          unsigned& G, unsigned& B) const {
    convertWithPalette(kArctic, raw, lower, upper, R, G, B);
}

void RGBCalculations::convertToColorMode3(unsigned raw, unsigned lower, unsigned upper, unsigned& R,
                                          unsigned& G, unsigned& B) const {
    convertWithPalette(kRainbow, raw, lower, upper, R, G, B);
}

void RGBCalculations::generateLoslessRGB(unsigned raw, unsigned& R, unsigned& G,
                                         unsigned& B) const {
    float hue = float(raw % 360);
    float saturation = 1.0f;
    float value = float(255 - int64_t(raw / 360)) / 255.0f;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    RgbHsvConversions::HSVtoRGB(r, g, b, hue, saturation, value);
    // Values beyond 91799 have no brightness step left; keep the channels in
    // range instead of converting a negative number to unsigned.
    auto channel = [](float c) {
        const double scaled = std::trunc(double(c) * 255.0);
        return scaled <= 0.0 ? 0u : (scaled >= 255.0 ? 255u : unsigned(scaled));
    };
    R = channel(r);
    G = channel(g);
    B = channel(b);
}

unsigned RGBCalculations::recoverRAWValue(unsigned R, unsigned G, unsigned B) const {
    float r = float(R) / 255.0f;
    float g = float(G) / 255.0f;
    float b = float(B) / 255.0f;
    float hue = 0.0f, saturation = 0.0f, value = 0.0f;
    RgbHsvConversions::RGBtoHSV(r, g, b, hue, saturation, value);
    // The encoder truncates each channel to 8 bits, which moves the hue of
    // the decoded colour up to a quarter of a degree below the encoded one
    // (and the brightness by a fraction of a step); truncating here would
    // return the neighbouring value for most raws. Both quantities are whole
    // numbers when encoded, so rounding restores them exactly.
    const long brightnessSteps = std::lround((1.0 - double(value)) * 255.0);
    const long hueDegrees = std::lround(hue) % 360;
    const long raw = brightnessSteps * 360 + hueDegrees;
    return raw <= 0 ? 0u : unsigned(raw);
}

void RGBCalculations::calcScaleFactor(float& factor, unsigned a, unsigned b, unsigned c,
                                      unsigned d) const {
    // Signed differences: a reversed range gives a negative factor, not a
    // wrapped one; an empty input range gives no factor at all.
    const int64_t numerator = int64_t(b) - int64_t(a);
    const int64_t denominator = int64_t(d) - int64_t(c);
    factor = denominator == 0 ? 0.0f : float(numerator) / float(denominator);
}
