#pragma once

// Maps one raw value and a raw-value window to an 8-bit RGB triple. All palette
// arithmetic is integer fixed-point, so a raw value, window and mode give the
// same triple on every platform. Stateless: every operation is a pure function.
class RGBCalculations {
public:
    // Per-pixel entry point; colour modes 0 grayscale, 1 iron, 2 arctic, 3 (and
    // anything above) rainbow high contrast.
    void generateRGB(unsigned raw, unsigned colorMode, bool inverted, unsigned lower,
                     unsigned upper, bool biColorEnabled, unsigned biLow, unsigned biHigh,
                     unsigned outMin, unsigned outMax, unsigned& R, unsigned& G, unsigned& B,
                     bool lossless) const;
    void generateLinearRGB(unsigned raw, unsigned colorMode, bool inverted, unsigned lower,
                           unsigned upper, unsigned outMin, unsigned outMax, unsigned& R,
                           unsigned& G, unsigned& B) const;
    void generateBiColorRGB(unsigned raw, bool inverted, unsigned lower, unsigned upper,
                            unsigned biLow, unsigned biHigh, unsigned outMin, unsigned outMax,
                            unsigned& R, unsigned& G, unsigned& B) const;
    void convertToGrayscale(unsigned raw, unsigned lower, unsigned upper, unsigned outMin,
                            unsigned outMax, unsigned& R, unsigned& G, unsigned& B) const;
    void convertToColorMode1(unsigned raw, unsigned lower, unsigned upper, unsigned& R, unsigned& G,
                             unsigned& B) const;
    void convertToColorMode2(unsigned raw, unsigned lower, unsigned upper, unsigned& R, unsigned& G,
                             unsigned& B) const;
    void convertToColorMode3(unsigned raw, unsigned lower, unsigned upper, unsigned& R, unsigned& G,
                             unsigned& B) const;
    void generateLoslessRGB(unsigned raw, unsigned& R, unsigned& G, unsigned& B) const;
    unsigned recoverRAWValue(unsigned R, unsigned G, unsigned B) const;
    void calcScaleFactor(float& factor, unsigned a, unsigned b, unsigned c, unsigned d) const;
};
