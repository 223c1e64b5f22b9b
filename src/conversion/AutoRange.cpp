#include "conversion/AutoRange.h"

#include "base/Report.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace autorange {

namespace {

// The recorder leaves its last words of a frame unreliable, so they never take
// part in the window.
constexpr size_t kIgnoredTailValues = 10;
// A window narrower than this is kept as found: trimming would leave too little.
constexpr uint32_t kMinimumSpreadForTrim = 20;
constexpr size_t kMinimumValuesForTrim = 5;

uint32_t truncateToUnsigned(float value) {
    // Also catches NaN: every comparison with it is false.
    if (!(value > 0.0f))
        return 0;
    if (value >= 4294967296.0f)
        return UINT32_MAX;
    return uint32_t(value);
}

} // namespace

RawWindow histogramWindow(const uint16_t* values, size_t count, Histogram& histogram) {
    std::memset(histogram.data(), 0, sizeof(histogram));
    if (values != nullptr && count > kIgnoredTailValues) {
        const size_t counted = count - kIgnoredTailValues;
        for (size_t i = 0; i < counted; ++i) {
            const uint16_t v = values[i];
            if (v < kRawValueCount)
                ++histogram[v];
        }
    }

    // Only the four smallest and the three largest qualifying values matter,
    // so the ascending list is never built in full.
    RawWindow window;
    uint32_t smallest[4] = {};
    uint32_t largest[3] = {}; // ring of the last three qualifying values
    size_t qualifying = 0;
    // 0 is a dead pixel and 16383 a saturated one: neither bounds a window.
    for (uint32_t v = 1; v < kRawValueCount - 1; ++v) {
        if (histogram[v] < 2)
            continue;
        if (qualifying < 4)
            smallest[qualifying] = v;
        largest[qualifying % 3] = v;
        ++qualifying;
        window.lower = std::min(window.lower, v);
        window.upper = std::max(window.upper, v);
    }
    if (window.upper - window.lower > kMinimumSpreadForTrim &&
        qualifying >= kMinimumValuesForTrim) {
        window.lower = smallest[3];
        // L[|L| - 3], the oldest entry of the ring of the last three.
        window.upper = largest[(qualifying - 3) % 3];
    }
    return window;
}

uint32_t smoothBound(uint32_t newBound, uint32_t oldBound, float factor) {
    const float step = float(int32_t(newBound - oldBound)) * factor;
    return truncateToUnsigned(step + float(oldBound));
}

RawWindow frameWindow(const ThermalImageConversionSet& set, RawWindow previous,
                      RawWindow fromHistogram, bool movieFrame) {
    if (!set.autoGainEnabled)
        return RawWindow{set.lowerBound, set.upperBound};
    if (movieFrame && set.smoothAutoGain && previous.upper > previous.lower) {
        return RawWindow{smoothBound(fromHistogram.lower, previous.lower, set.percentageChange),
                         smoothBound(fromHistogram.upper, previous.upper, set.percentageChange)};
    }
    return fromHistogram;
}

float scaleF(float value, float inLow, float inHigh, float outLow, float outHigh) {
    if (value <= 0.0f || inHigh == inLow)
        return 0.0f;
    if (value <= inLow)
        return outLow;
    if (value >= inHigh)
        return outHigh;
    const float r = (value - inLow) * (outHigh - outLow) / (inHigh - inLow) + outLow;
    if (r <= 0.0f)
        return 0.0f;
    if (r >= outHigh)
        return outHigh;
    return r;
}

unsigned scaleWithMiddle(unsigned value, unsigned low, unsigned high, unsigned middle,
                         unsigned outLow, unsigned outHigh) {
    if (high == low) {
        kx::console(QStringLiteral("Boundaries equal: %1, %2").arg(low).arg(high));
        return 0;
    }
    if (value == 0)
        return 0;
    if (value <= low)
        return low;
    if (value >= high)
        return high;

    // Signed so that a reversed output range cannot wrap around.
    const int64_t halfRange = (int64_t(outHigh) - int64_t(outLow)) / 2;
    float f;
    int64_t start;
    int64_t end;
    // low < value < high here, so each denominator below is positive.
    if (value <= middle) {
        f = float(value - low) / float(middle - low);
        start = outLow;
        end = int64_t(outHigh) - halfRange;
    } else {
        f = float(value - middle) / float(high - middle);
        start = int64_t(outLow) + halfRange;
        end = outHigh;
    }
    float r;
    if (f <= 0.0f)
        r = 0.0f;
    else if (f >= 1.0f)
        r = float(end);
    else
        r = float(end - start) * f + float(start);
    if (r <= 0.0f)
        return 0;
    const float truncated = std::trunc(r);
    if (truncated >= float(outHigh))
        return outHigh;
    return unsigned(truncated);
}

unsigned histogramEquilisation(const unsigned char* in, unsigned char* out, unsigned width,
                               unsigned height) {
    const uint64_t pixelCount = uint64_t(width) * height;
    if (in == nullptr || out == nullptr || pixelCount == 0)
        return 0;
    uint64_t counts[256] = {};
    for (uint64_t i = 0; i < pixelCount; ++i)
        ++counts[in[i]];
    const double k = 255.0 / double(pixelCount);
    float cdf[256];
    cdf[0] = float(double(counts[0]) * k);
    for (int j = 1; j < 256; ++j)
        cdf[j] = float(double(cdf[j - 1]) + double(counts[j]) * k);
    for (uint64_t i = 0; i < pixelCount; ++i)
        out[i] = static_cast<unsigned char>(std::trunc(cdf[in[i]]));
    return unsigned(pixelCount);
}

} // namespace autorange
