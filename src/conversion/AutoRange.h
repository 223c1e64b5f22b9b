#pragma once

#include "conversion/ThermalImageConversionSet.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Automatic raw-value window and the small scaling helpers of the converter.
// Pure functions over raw values: the converter keeps the state.
namespace autorange {

constexpr uint32_t kRawValueCount = 16384; // 14-bit counts 0..16383
using Histogram = std::array<uint16_t, kRawValueCount>;

struct RawWindow {
    uint32_t lower = 16383;
    uint32_t upper = 1;
    // The reset state (16383 over 1) and any other inverted or empty window
    // cannot be converted.
    bool usable() const { return lower < upper; }
};

// Counts the values into the histogram (16-bit counters that wrap, the last
// ten values not counted, values above 16383 skipped) and returns the window
// over the values that occur at least twice, trimmed when it is wide enough.
// Returns the reset window when no value qualifies.
RawWindow histogramWindow(const uint16_t* values, size_t count, Histogram& histogram);

// Moves a bound from the previous frame's value toward the new one by factor,
// in single precision, truncating toward zero.
uint32_t smoothBound(uint32_t newBound, uint32_t oldBound, float factor);

// The window a frame is converted with: the caller's manual bounds, or the
// histogram window, smoothed against the previous window only for movie frames
// while smoothing is on and the previous window is usable.
RawWindow frameWindow(const ThermalImageConversionSet& set, RawWindow previous,
                      RawWindow fromHistogram, bool movieFrame);

// Linear rescaling with clamping; 0 for values <= 0 and for an empty input range.
float scaleF(float value, float inLow, float inHigh, float outLow, float outHigh);

// Two-segment rescaling around a middle value; equal bounds write a console line
// and give 0.
unsigned scaleWithMiddle(unsigned value, unsigned low, unsigned high, unsigned middle,
                         unsigned outLow, unsigned outHigh);

// 8-bit histogram equalisation of width x height bytes; returns the number of
// bytes written.
unsigned histogramEquilisation(const unsigned char* in, unsigned char* out, unsigned width,
                               unsigned height);

} // namespace autorange
