// Frame decoder: the camera's pixel word stream into rows of raw values.
//
// The stream is a sequence of 16-bit words. A word with bit 15 set is a pixel
// word whose raw value is bits 0 to 13; any other word is a blanking word that
// the camera sends between lines (real cores send runs of two or more).
//
// The decoder walks three phases: 0 waits for a blanking word, 1 waits for the
// first pixel word of a row, 2 collects the row. The blanking word that ends a
// row is consumed by phase 2, so a row is only found after a further blanking
// word; a stream with single blanking words therefore loses every other line.
//
// The first row of at least kMinRowWidth values sets the frame width. Later
// rows shorter than it are dropped with a console line; longer ones are kept
// whole and shift everything after them. The last row of the four known core
// geometries (160x128, 324x256, 336x256, 640x512) ends by length: its final
// three values repeat the value before them whatever the words say, and the
// next word closes it. Four iterations past the end of the stream (reusing the
// last word) close a last row that the recorder cut short.
//
// Statistics cover every stored value, also of rows dropped later; the hot
// spot is the first maximum in stream order.
//
// Bounds the stream cannot break: a row keeps at most kRowCapacity values and
// no row reaches past kFrameCapacity stored values; pixel words beyond either
// limit are ignored (not decoded, not counted) until the row ends.
//
// Speed: inside a row the decoder takes whole runs of pixel words at once and
// masks, stores and accounts them 32 at a time in SSE2 or AVX2 (chosen at run
// time), or, for pixels with per-pixel corrections, in fixed-length loops the
// compiler vectorises. Rows are written in place in the frame buffer; a row
// that turns out too short is overwritten by the next. The hot spot is searched
// only in a run whose maximum beats the frame's, which keeps the first-maximum
// rule exact.
#include "recording/FrameDecoder.h"

#include "base/Report.h"

#include <QString>
#include <algorithm>
#include <climits>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// The AVX2 kernel is compiled for that instruction set alone and chosen at run
// time, so the program still runs on any x86-64 processor.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KALORIX_DECODER_AVX2 1
#include <immintrin.h>
#endif

namespace framedecoder {
namespace {

constexpr uint16_t kPixelFlag = 0x8000;
constexpr uint16_t kValueMask = 0x3FFF;
constexpr size_t kBlock = 16;
// Values the end-by-length rule repeats at the end of a last row.
constexpr uint32_t kRepeatedTail = 3;
// Iterations past the last word.
constexpr size_t kExtraIterations = 4;
// Values the frame buffer grows by while rows are written into it.
constexpr size_t kGrowValues = 4096;

bool isPixel(uint16_t w) {
    return (w & kPixelFlag) != 0;
}

bool isLastRowOfKnownGeometry(uint32_t width, uint32_t rowsStored) {
    return (width == 160 && rowsStored == 127) || (width == 324 && rowsStored == 255) ||
           (width == 336 && rowsStored == 255) || (width == 640 && rowsStored == 511);
}

struct RunStats {
    uint16_t minRaw = 0xFFFF;
    uint16_t maxRaw = 0;
    uint64_t sum = 0;
};

constexpr int32_t kMaxRaw = 16383;
// A drift or table entry beyond a whole raw range saturates every pixel the
// same way as that range does, and keeps the 32-bit sums far from overflow.
constexpr int32_t kMaxShift = 16383;

// The drift offset of the frame, rounded half up, through a signed integer.
int16_t driftFor(const Corrections& c, int frameIndex) {
    if (!c.driftOffsets || frameIndex < 0 || size_t(frameIndex) >= c.driftCount)
        return 0;
    const double rounded = std::floor(double(c.driftOffsets[frameIndex]) + 0.5);
    if (std::isnan(rounded))
        return 0;
    return int16_t(std::clamp(rounded, double(-kMaxShift), double(kMaxShift)));
}

int32_t tableShift(int32_t entry) {
    return std::clamp(entry, -kMaxShift, kMaxShift);
}

// A value less an entry of the combined table.
uint16_t shifted(uint16_t w, int32_t drift, int16_t shift) {
    const int32_t v = int32_t(w & kValueMask) + drift - shift;
    return uint16_t(std::clamp(v, int32_t(0), kMaxRaw));
}

// The portable loop of a run with the combined table.
size_t decodeShiftRun(const uint16_t* __restrict src, uint16_t* __restrict dst, size_t maxN,
                      int16_t drift, const int16_t* __restrict shifts, RunStats& stats) {
    uint16_t lo = 0xFFFF, hi = 0;
    uint64_t sum = 0;
    size_t k = 0;
    for (; k < maxN && (src[k] & kPixelFlag); ++k) {
        const uint16_t v = shifted(src[k], drift, shifts[k]);
        dst[k] = v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
    }
    stats.minRaw = lo;
    stats.maxRaw = hi;
    stats.sum = sum;
    return k;
}

// A corrected value saturates at the ends of the 14-bit range: wrapping it
// would turn a slight underflow into the hottest pixel of the frame.
uint16_t corrected(uint16_t w, int32_t drift, int32_t nuc, int32_t lens) {
    const int32_t v = int32_t(w & kValueMask) + drift - tableShift(nuc) - tableShift(lens);
    return uint16_t(std::clamp(v, int32_t(0), kMaxRaw));
}

// Decodes the pixel words at the start of src, at most maxN of them: masks,
// corrects, stores and accounts them, and returns how many there were. Whole
// blocks of pixel words go through fixed-length loops that the compiler turns
// into vector code: one that corrects and stores, one that accounts what was
// stored. Corrected values fit 14 bits, so signed 16-bit min/max (all that
// plain SSE2 has) order them correctly.
template <bool kNuc, bool kLens>
size_t decodePixelRun(const uint16_t* __restrict src, uint16_t* __restrict dst, size_t maxN,
                      int16_t drift, const int32_t* __restrict nuc, const int32_t* __restrict lens,
                      RunStats& stats) {
    int16_t minV = INT16_MAX;
    int16_t maxV = INT16_MIN;
    uint64_t sum = 0;
    auto valueAt = [&](size_t k) {
        int32_t v = int32_t(src[k] & kValueMask) + drift;
        if (kNuc)
            v -= tableShift(nuc[k]);
        if (kLens)
            v -= tableShift(lens[k]);
        return int16_t(std::min(std::max(v, int32_t(0)), kMaxRaw));
    };
    size_t k = 0;
    for (; k + kBlock <= maxN; k += kBlock) {
        uint16_t all = 0xFFFF;
        for (size_t j = 0; j < kBlock; ++j)
            all &= src[k + j];
        if (!(all & kPixelFlag))
            break;
        int16_t block[kBlock];
        for (size_t j = 0; j < kBlock; ++j)
            block[j] = valueAt(k + j);
        // 16 values of at most 16383 cannot overflow 32 bits.
        int32_t blockSum = 0;
        for (size_t j = 0; j < kBlock; ++j) {
            dst[k + j] = uint16_t(block[j]);
            minV = std::min(minV, block[j]);
            maxV = std::max(maxV, block[j]);
            blockSum += block[j];
        }
        sum += uint32_t(blockSum);
    }
    for (; k < maxN && isPixel(src[k]); ++k) {
        const int16_t v = valueAt(k);
        dst[k] = uint16_t(v);
        minV = std::min(minV, v);
        maxV = std::max(maxV, v);
        sum += uint16_t(v);
    }
    stats.minRaw = k ? uint16_t(minV) : uint16_t(0xFFFF);
    stats.maxRaw = k ? uint16_t(maxV) : uint16_t(0);
    stats.sum = sum;
    return k;
}

// findFirst(values, n, target): position of the first value equal to target
// in [values, values + n), which holds it.
#if defined(__SSE2__)
// The uncorrected run (drift at most), the case of nearly every frame, in
// explicit SSE2, sixteen words per step. The pixel test packs the words to
// bytes with signed saturation, which keeps each word's sign bit, and reads the
// sixteen signs at once. A drifted value (at most 16383 + 16383) still fits a
// signed lane before it is clamped back to 14 bits, so signed 16-bit min/max
// and sums of adjacent values are exact. Pairwise sums go to 32-bit lanes and
// are moved to 64 bits long before a lane could overflow.
template <bool kDrift>
class PlainRunSse2 {
public:
    explicit PlainRunSse2(int16_t drift)
        : m_drift(_mm_set1_epi16(drift)) {}

    // Decodes eight words already known to be pixel words.
    __m128i value(__m128i w) const {
        const __m128i v = _mm_and_si128(w, _mm_set1_epi16(int16_t(kValueMask)));
        if (!kDrift)
            return v;
        return _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(v, m_drift), _mm_setzero_si128()),
                             _mm_set1_epi16(int16_t(kMaxRaw)));
    }
    void account(__m128i o) {
        m_min = _mm_min_epi16(m_min, o);
        m_max = _mm_max_epi16(m_max, o);
        m_sum32 = _mm_add_epi32(m_sum32, _mm_madd_epi16(o, _mm_set1_epi16(1)));
    }
    // Two vectors whose values fit 14 bits: their sum still fits a signed lane.
    void accountPair(__m128i o0, __m128i o1) {
        m_min = _mm_min_epi16(m_min, _mm_min_epi16(o0, o1));
        m_max = _mm_max_epi16(m_max, _mm_max_epi16(o0, o1));
        m_sum32 = _mm_add_epi32(m_sum32, _mm_madd_epi16(_mm_add_epi16(o0, o1), _mm_set1_epi16(1)));
    }
    // Moves the 32-bit lane sums to 64 bits; called long before a lane, which
    // grows by at most 2 x 32768 per step, could overflow.
    void flush() {
        int32_t lanes[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), m_sum32);
        m_sum += int64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
        m_sum32 = _mm_setzero_si128();
    }
    void finish(size_t vectorWords, RunStats& stats) {
        flush();
        int16_t mins[8];
        int16_t maxs[8];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mins), m_min);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(maxs), m_max);
        int16_t lo = INT16_MAX;
        int16_t hi = INT16_MIN;
        for (int j = 0; j < 8; ++j) {
            lo = std::min(lo, mins[j]);
            hi = std::max(hi, maxs[j]);
        }
        stats.minRaw = vectorWords ? uint16_t(lo) : uint16_t(0xFFFF);
        stats.maxRaw = vectorWords ? uint16_t(hi) : uint16_t(0);
        stats.sum = uint64_t(m_sum);
    }

private:
    const __m128i m_drift;
    __m128i m_min = _mm_set1_epi16(INT16_MAX);
    __m128i m_max = _mm_set1_epi16(INT16_MIN);
    __m128i m_sum32 = _mm_setzero_si128();
    int64_t m_sum = 0;
};

// A 32-bit lane sum grows by at most 8 x 32768 per 32 words.
constexpr size_t kWordsPerFlush = 32 * 4096;

inline __m128i load8(const uint16_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store8(uint16_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
// The sign bits of sixteen words at once: packing to bytes with signed
// saturation keeps each word's sign.
inline int pixelMask16(__m128i w0, __m128i w1) {
    return _mm_movemask_epi8(_mm_packs_epi16(w0, w1));
}

// A run with the combined table: the sum of two clamped entries fits a lane,
// and a subtraction that saturates lies beyond either end of the range.
size_t decodeShiftRunSse2(const uint16_t* src, uint16_t* dst, size_t maxN, int16_t drift,
                          const int16_t* shifts, RunStats& stats) {
    const __m128i valueMask = _mm_set1_epi16(int16_t(kValueMask));
    const __m128i driftV = _mm_set1_epi16(drift);
    const __m128i zero = _mm_setzero_si128();
    const __m128i maxRaw = _mm_set1_epi16(int16_t(kMaxRaw));
    __m128i minV = _mm_set1_epi16(INT16_MAX);
    __m128i maxV = _mm_set1_epi16(INT16_MIN);
    __m128i sum32 = zero;
    const auto value = [&](__m128i w, const int16_t* at) {
        const __m128i v = _mm_add_epi16(_mm_and_si128(w, valueMask), driftV);
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return _mm_min_epi16(_mm_max_epi16(_mm_subs_epi16(v, s), zero), maxRaw);
    };
    size_t k = 0;
    // Sixteen words per step; two 14-bit values still fit a signed lane.
    for (; k + 16 <= maxN; k += 16) {
        const __m128i w0 = load8(src + k);
        const __m128i w1 = load8(src + k + 8);
        if (pixelMask16(w0, w1) != 0xFFFF)
            break;
        const __m128i v0 = value(w0, shifts + k);
        const __m128i v1 = value(w1, shifts + k + 8);
        store8(dst + k, v0);
        store8(dst + k + 8, v1);
        minV = _mm_min_epi16(minV, _mm_min_epi16(v0, v1));
        maxV = _mm_max_epi16(maxV, _mm_max_epi16(v0, v1));
        sum32 = _mm_add_epi32(sum32, _mm_madd_epi16(_mm_add_epi16(v0, v1), _mm_set1_epi16(1)));
    }
    for (; k + 8 <= maxN; k += 8) {
        const __m128i w = load8(src + k);
        if (pixelMask16(w, w) != 0xFFFF)
            break;
        const __m128i v = value(w, shifts + k);
        store8(dst + k, v);
        minV = _mm_min_epi16(minV, v);
        maxV = _mm_max_epi16(maxV, v);
        sum32 = _mm_add_epi32(sum32, _mm_madd_epi16(v, _mm_set1_epi16(1)));
    }
    int16_t mins[8], maxs[8];
    int32_t lanes[4];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(mins), minV);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(maxs), maxV);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sum32);
    uint16_t lo = 0xFFFF, hi = 0;
    for (int j = 0; j < 8 && k; ++j) {
        lo = std::min(lo, uint16_t(mins[j]));
        hi = std::max(hi, uint16_t(maxs[j]));
    }
    RunStats tail;
    const size_t rest = decodeShiftRun(src + k, dst + k, maxN - k, drift, shifts + k, tail);
    stats.minRaw = std::min(lo, tail.minRaw);
    stats.maxRaw = std::max(hi, tail.maxRaw);
    stats.sum = uint64_t(lanes[0]) + uint64_t(lanes[1]) + uint64_t(lanes[2]) + uint64_t(lanes[3]) +
                tail.sum;
    return k + rest;
}

template <bool kDrift>
size_t decodePlainRunSse2(const uint16_t* src, uint16_t* dst, size_t maxN, int16_t drift,
                          RunStats& stats) {
    PlainRunSse2<kDrift> run(drift);
    size_t k = 0;
    // 32 words per step while all of them are pixel words, in chunks after
    // which the lane sums are flushed.
    bool stopped = false;
    while (!stopped && k + 32 <= maxN) {
        const size_t chunkEnd = std::min(maxN, k + kWordsPerFlush);
        for (; k + 32 <= chunkEnd; k += 32) {
            const __m128i w0 = load8(src + k);
            const __m128i w1 = load8(src + k + 8);
            const __m128i w2 = load8(src + k + 16);
            const __m128i w3 = load8(src + k + 24);
            if (pixelMask16(_mm_and_si128(w0, w1), _mm_and_si128(w2, w3)) != 0xFFFF) {
                stopped = true;
                break;
            }
            const __m128i v0 = run.value(w0);
            const __m128i v1 = run.value(w1);
            const __m128i v2 = run.value(w2);
            const __m128i v3 = run.value(w3);
            store8(dst + k, v0);
            store8(dst + k + 8, v1);
            store8(dst + k + 16, v2);
            store8(dst + k + 24, v3);
            run.accountPair(v0, v1);
            run.accountPair(v2, v3);
        }
        run.flush();
    }
    // Then eight at a time up to the first word that is not a pixel word.
    for (; k + 8 <= maxN; k += 8) {
        const __m128i w = load8(src + k);
        if (pixelMask16(w, w) != 0xFFFF)
            break;
        const __m128i v = run.value(w);
        store8(dst + k, v);
        run.account(v);
    }
    run.finish(k, stats);
    for (; k < maxN && isPixel(src[k]); ++k) {
        const uint16_t v = corrected(src[k], drift, 0, 0);
        dst[k] = v;
        stats.minRaw = std::min(stats.minRaw, v);
        stats.maxRaw = std::max(stats.maxRaw, v);
        stats.sum += v;
    }
    return k;
}

#if defined(KALORIX_DECODER_AVX2)
// The same as decodePlainRunSse2 with 256-bit vectors. Everything is written
// out in this one function: helpers would not inherit its instruction set.
template <bool kDrift>
__attribute__((target("avx2"))) size_t decodePlainRunAvx2(const uint16_t* src, uint16_t* dst,
                                                          size_t maxN, int16_t drift,
                                                          RunStats& stats) {
    const __m256i valueMask = _mm256_set1_epi16(int16_t(kValueMask));
    const __m256i driftV = _mm256_set1_epi16(drift);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i maxRaw = _mm256_set1_epi16(int16_t(kMaxRaw));
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i minV = _mm256_set1_epi16(INT16_MAX);
    __m256i maxV = _mm256_set1_epi16(INT16_MIN);
    int64_t vectorSum = 0;
    size_t k = 0;
    bool stopped = false;
    while (!stopped && k + 16 <= maxN) {
        const size_t chunkEnd = std::min(maxN, k + kWordsPerFlush);
        __m256i sum32 = _mm256_setzero_si256();
        // 32 words per step while all of them are pixel words: the sign bits
        // of the words' high bytes are the odd bits of the byte mask.
        for (; k + 32 <= chunkEnd; k += 32) {
            const __m256i w0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + k));
            const __m256i w1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + k + 16));
            const uint32_t signs = uint32_t(_mm256_movemask_epi8(_mm256_and_si256(w0, w1)));
            if ((signs & 0xAAAAAAAAu) != 0xAAAAAAAAu) {
                stopped = true;
                break;
            }
            __m256i v0 = _mm256_and_si256(w0, valueMask);
            __m256i v1 = _mm256_and_si256(w1, valueMask);
            if (kDrift) {
                v0 = _mm256_min_epi16(_mm256_max_epi16(_mm256_add_epi16(v0, driftV), zero), maxRaw);
                v1 = _mm256_min_epi16(_mm256_max_epi16(_mm256_add_epi16(v1, driftV), zero), maxRaw);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k), v0);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k + 16), v1);
            minV = _mm256_min_epi16(minV, _mm256_min_epi16(v0, v1));
            maxV = _mm256_max_epi16(maxV, _mm256_max_epi16(v0, v1));
            // two 14-bit values still fit a signed 16-bit lane
            sum32 = _mm256_add_epi32(sum32, _mm256_madd_epi16(_mm256_add_epi16(v0, v1), ones));
        }
        // Then sixteen at a time up to the first word that is not a pixel word.
        if (stopped || chunkEnd == maxN) {
            for (; k + 16 <= maxN; k += 16) {
                const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + k));
                if ((uint32_t(_mm256_movemask_epi8(w)) & 0xAAAAAAAAu) != 0xAAAAAAAAu)
                    break;
                __m256i v = _mm256_and_si256(w, valueMask);
                if (kDrift)
                    v = _mm256_min_epi16(_mm256_max_epi16(_mm256_add_epi16(v, driftV), zero),
                                         maxRaw);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k), v);
                minV = _mm256_min_epi16(minV, v);
                maxV = _mm256_max_epi16(maxV, v);
                sum32 = _mm256_add_epi32(sum32, _mm256_madd_epi16(v, ones));
            }
            stopped = true;
        }
        int32_t lanes[8];
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), sum32);
        for (int j = 0; j < 8; ++j)
            vectorSum += lanes[j];
    }
    int16_t mins[16];
    int16_t maxs[16];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(mins), minV);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(maxs), maxV);
    int16_t lo = INT16_MAX;
    int16_t hi = INT16_MIN;
    for (int j = 0; j < 16; ++j) {
        lo = mins[j] < lo ? mins[j] : lo;
        hi = maxs[j] > hi ? maxs[j] : hi;
    }
    uint16_t minRaw = k ? uint16_t(lo) : uint16_t(0xFFFF);
    uint16_t maxRawSeen = k ? uint16_t(hi) : uint16_t(0);
    uint64_t sum = uint64_t(vectorSum);
    for (; k < maxN && (src[k] & kPixelFlag); ++k) {
        const uint16_t v = corrected(src[k], drift, 0, 0);
        dst[k] = v;
        minRaw = v < minRaw ? v : minRaw;
        maxRawSeen = v > maxRawSeen ? v : maxRawSeen;
        sum += v;
    }
    stats.minRaw = minRaw;
    stats.maxRaw = maxRawSeen;
    stats.sum = sum;
    return k;
}

// decodeShiftRunSse2 with 256-bit vectors, written out whole for the same
// reason as decodePlainRunAvx2.
__attribute__((target("avx2"))) size_t decodeShiftRunAvx2(const uint16_t* src, uint16_t* dst,
                                                          size_t maxN, int16_t drift,
                                                          const int16_t* shifts, RunStats& stats) {
    const __m256i valueMask = _mm256_set1_epi16(int16_t(kValueMask));
    const __m256i driftV = _mm256_set1_epi16(drift);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i maxRaw = _mm256_set1_epi16(int16_t(kMaxRaw));
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i minV = _mm256_set1_epi16(INT16_MAX);
    __m256i maxV = _mm256_set1_epi16(INT16_MIN);
    // A lane grows by at most 2 x 16383 per step: rows are far too short to
    // overflow it.
    __m256i sum32 = zero;
    size_t k = 0;
    for (; k + 16 <= maxN; k += 16) {
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + k));
        if ((uint32_t(_mm256_movemask_epi8(w)) & 0xAAAAAAAAu) != 0xAAAAAAAAu)
            break;
        __m256i v = _mm256_add_epi16(_mm256_and_si256(w, valueMask), driftV);
        v = _mm256_subs_epi16(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shifts + k)));
        v = _mm256_min_epi16(_mm256_max_epi16(v, zero), maxRaw);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k), v);
        minV = _mm256_min_epi16(minV, v);
        maxV = _mm256_max_epi16(maxV, v);
        sum32 = _mm256_add_epi32(sum32, _mm256_madd_epi16(v, ones));
    }
    int16_t mins[16], maxs[16];
    int32_t lanes[8];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(mins), minV);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(maxs), maxV);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), sum32);
    uint16_t lo = 0xFFFF, hi = 0;
    uint64_t sum = 0;
    for (int j = 0; j < 16 && k; ++j) {
        lo = uint16_t(mins[j]) < lo ? uint16_t(mins[j]) : lo;
        hi = uint16_t(maxs[j]) > hi ? uint16_t(maxs[j]) : hi;
    }
    for (int j = 0; j < 8; ++j)
        sum += uint64_t(uint32_t(lanes[j]));
    RunStats tail;
    const size_t rest = decodeShiftRun(src + k, dst + k, maxN - k, drift, shifts + k, tail);
    stats.minRaw = tail.minRaw < lo ? tail.minRaw : lo;
    stats.maxRaw = tail.maxRaw > hi ? tail.maxRaw : hi;
    stats.sum = sum + tail.sum;
    return k + rest;
}

bool cpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

size_t findFirst(const uint16_t* values, size_t n, uint16_t target) {
    const __m128i t = _mm_set1_epi16(int16_t(target));
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + k));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(v, t)))
            break;
    }
    while (k < n && values[k] != target)
        ++k;
    return k;
}
#else
size_t findFirst(const uint16_t* values, size_t n, uint16_t target) {
    return size_t(std::find(values, values + n, target) - values);
}
#endif

class Decoder {
public:
    Decoder(const uint16_t* words, size_t count, int frameIndex, const Corrections& corrections,
            std::vector<uint16_t>& raw, Kernel kernel)
        : m_kernel(kernel)
        , m_words(words)
        , m_count(count)
        , m_lastWord(count ? words[count - 1] : 0)
        , m_drift(driftFor(corrections, frameIndex))
        , m_nuc(corrections.nucOffsets)
        , m_nucCount(corrections.nucOffsets ? corrections.nucCount : 0)
        , m_lens(corrections.lensMap)
        , m_lensCount(corrections.lensMap ? corrections.lensCount : 0)
        , m_shifts(corrections.pixelShifts)
        , m_shiftCount(corrections.pixelShifts ? corrections.pixelShiftCount : 0)
        , m_raw(raw) {}

    void run() {
        const size_t iterations = m_count + kExtraIterations;
        size_t i = 0;
        while (i < iterations) {
            // The first pixel word of a row is decoded with the rest of its run.
            if (m_phase == 1 && i < m_count && isPixel(m_words[i]))
                startRow();
            if (m_phase == 2 && i < m_count) {
                const size_t stop = normalDecodeStop();
                if (m_col < stop) {
                    const size_t n = decodeRun(m_words + i, std::min(m_count - i, stop - m_col));
                    if (n) {
                        i += n;
                        continue;
                    }
                }
            }
            // The stream is over: the extra iterations see its last word again
            // (a blanking word when there are no words at all).
            step(i < m_count ? m_words[i] : m_lastWord, i);
            ++i;
        }
    }

    size_t storedValues() const { return m_pos; }
    bool widthKnown() const { return m_widthKnown; }
    uint32_t rowWidth() const { return m_rowWidth; }
    uint32_t rowsStored() const { return m_rows; }
    uint32_t rowsStarted() const { return m_rowsStarted; }
    uint32_t rowsDropped() const { return m_rowsDropped; }
    uint32_t minRaw() const { return m_minRaw; }
    uint32_t maxRaw() const { return m_hotValue; }
    uint64_t sum() const { return m_sum; }
    uint32_t hotColumn() const { return m_hotColumn; }
    uint32_t hotRow() const { return m_hotRow; }

private:
    // Makes room for n more values of the current row (within rowLimit) and
    // returns how many fit. The buffer grows in steps, so only the values
    // about to be written are zero-filled first, and never past its capacity.
    size_t reserveRow(size_t n) {
        const size_t at = m_pos + m_col;
        if (m_raw.size() < at + n)
            m_raw.resize(std::min(kFrameCapacity, at + std::max(n, kGrowValues)));
        return m_raw.size() - at;
    }

    size_t rowLimit() const { return std::min(kRowCapacity, kFrameCapacity - m_pos); }
    bool inLastRow() const { return m_widthKnown && isLastRowOfKnownGeometry(m_rowWidth, m_rows); }
    // Row position up to which pixel words are decoded one by one as they come.
    size_t normalDecodeStop() const {
        const size_t limit = rowLimit();
        return inLastRow() ? std::min(limit, size_t(m_rowWidth - kRepeatedTail)) : limit;
    }

    uint16_t valueOf(uint16_t w) {
        const size_t p = m_pixelIndex++;
        if (m_shifts)
            return shifted(w, m_drift, p < m_shiftCount ? m_shifts[p] : 0);
        return corrected(w, m_drift, p < m_nucCount ? m_nuc[p] : 0,
                         p < m_lensCount ? m_lens[p] : 0);
    }

    void store(uint16_t v) {
        reserveRow(1);
        m_raw[m_pos + m_col] = v;
        m_sum += v;
        m_minRaw = std::min<uint32_t>(m_minRaw, v);
        if (v > m_hotValue) {
            m_hotValue = v;
            m_hotColumn = uint32_t(m_col + 1);
            m_hotRow = m_rowsStarted;
        }
        ++m_col;
    }

    // A run without per-pixel tables, by the chosen kernel.
    size_t decodePlain(const uint16_t* src, uint16_t* dst, size_t maxN, RunStats& stats) const {
        switch (m_kernel) {
#if defined(KALORIX_DECODER_AVX2)
        case Kernel::Avx2:
            return m_drift ? decodePlainRunAvx2<true>(src, dst, maxN, m_drift, stats)
                           : decodePlainRunAvx2<false>(src, dst, maxN, 0, stats);
#endif
#if defined(__SSE2__)
        case Kernel::Sse2:
            return m_drift ? decodePlainRunSse2<true>(src, dst, maxN, m_drift, stats)
                           : decodePlainRunSse2<false>(src, dst, maxN, 0, stats);
#endif
        default:
            return decodePixelRun<false, false>(src, dst, maxN, m_drift, nullptr, nullptr, stats);
        }
    }

    size_t decodeShifted(const uint16_t* src, uint16_t* dst, size_t maxN, const int16_t* shifts,
                         RunStats& stats) const {
#if defined(KALORIX_DECODER_AVX2)
        if (m_kernel == Kernel::Avx2)
            return decodeShiftRunAvx2(src, dst, maxN, m_drift, shifts, stats);
#endif
#if defined(__SSE2__)
        if (m_kernel != Kernel::Portable)
            return decodeShiftRunSse2(src, dst, maxN, m_drift, shifts, stats);
#endif
        return decodeShiftRun(src, dst, maxN, m_drift, shifts, stats);
    }

    // A run with the two per-pixel tables (a null table is off); callers
    // that decode many frames hand over the combined table instead.
    size_t decodeCorrected(const uint16_t* src, uint16_t* dst, size_t maxN, const int32_t* nuc,
                           const int32_t* lens, RunStats& stats) const {
        if (nuc && lens)
            return decodePixelRun<true, true>(src, dst, maxN, m_drift, nuc, lens, stats);
        if (nuc)
            return decodePixelRun<true, false>(src, dst, maxN, m_drift, nuc, nullptr, stats);
        return decodePixelRun<false, true>(src, dst, maxN, m_drift, nullptr, lens, stats);
    }

    // Decodes the run of pixel words at src (at most maxN) into the current
    // row and returns its length. A run stops where a correction table ends,
    // so each piece is decoded with the tables that cover all of it.
    size_t decodeRun(const uint16_t* src, size_t maxN) {
        const size_t p = m_pixelIndex;
        const bool shift = p < m_shiftCount;
        const bool nuc = !m_shifts && p < m_nucCount;
        const bool lens = !m_shifts && p < m_lensCount;
        if (shift)
            maxN = std::min(maxN, m_shiftCount - p);
        if (nuc)
            maxN = std::min(maxN, m_nucCount - p);
        if (lens)
            maxN = std::min(maxN, m_lensCount - p);
        maxN = std::min(maxN, reserveRow(std::min(maxN, kGrowValues)));
        uint16_t* dst = m_raw.data() + m_pos + m_col;
        RunStats stats;
        size_t n;
        if (shift)
            n = decodeShifted(src, dst, maxN, m_shifts + p, stats);
        else if (nuc || lens)
            n = decodeCorrected(src, dst, maxN, nuc ? m_nuc + p : nullptr,
                                lens ? m_lens + p : nullptr, stats);
        else
            n = decodePlain(src, dst, maxN, stats);
        if (n == 0)
            return 0;
        m_pixelIndex += n;
        m_sum += stats.sum;
        m_minRaw = std::min<uint32_t>(m_minRaw, stats.minRaw);
        if (stats.maxRaw > m_hotValue) {
            m_hotValue = stats.maxRaw;
            m_hotColumn = uint32_t(m_col + findFirst(dst, n, stats.maxRaw) + 1);
            m_hotRow = m_rowsStarted;
        }
        m_col += n;
        return n;
    }

    void step(uint16_t w, size_t i) {
        switch (m_phase) {
        case 0:
            if (!isPixel(w))
                m_phase = 1;
            break;
        case 1:
            if (isPixel(w)) {
                startRow();
                if (rowLimit() > 0)
                    store(valueOf(w));
            }
            break;
        default: {
            const bool lastRow = inLastRow();
            if (lastRow && m_col == m_rowWidth)
                endRow(i);
            else if (lastRow && m_col + kRepeatedTail >= m_rowWidth && m_col < rowLimit())
                store(m_raw[m_pos + m_col - 1]);
            else if (isPixel(w)) {
                if (m_col < rowLimit())
                    store(valueOf(w));
            } else
                endRow(i);
            break;
        }
        }
    }

    void startRow() {
        m_col = 0;
        ++m_rowsStarted;
        m_phase = 2;
    }

    void endRow(size_t i) {
        if (m_rows == 0 && m_col >= kMinRowWidth) {
            m_rowWidth = uint32_t(m_col);
            m_widthKnown = true;
        }
        m_phase = 0;
        if (m_widthKnown && m_col < m_rowWidth) {
            ++m_rowsDropped;
            kx::console(QString::number(i) + QStringLiteral("  LL: ") + QString::number(m_col) +
                        QStringLiteral("  /  ") + QString::number(m_rows) +
                        QStringLiteral("  RLW:") + QString::number(m_rowWidth) +
                        QStringLiteral(" "));
            return;
        }
        m_pos += m_col;
        ++m_rows;
        m_col = 0;
    }

    const Kernel m_kernel;
    const uint16_t* m_words;
    const size_t m_count;
    const uint16_t m_lastWord;
    const int16_t m_drift;
    const int32_t* m_nuc;
    const size_t m_nucCount;
    const int32_t* m_lens;
    const size_t m_lensCount;
    const int16_t* m_shifts;
    const size_t m_shiftCount;
    // Stored rows occupy [0, m_pos); the row being collected follows them and
    // joins the frame only when it ends long enough (a dropped row is simply
    // overwritten by the next one).
    std::vector<uint16_t>& m_raw;

    int m_phase = 0;
    size_t m_col = 0;
    uint32_t m_rows = 0;
    bool m_widthKnown = false;
    uint32_t m_rowWidth = 0;
    size_t m_pos = 0;
    size_t m_pixelIndex = 0;
    uint32_t m_rowsStarted = 0;
    uint32_t m_rowsDropped = 0;
    uint64_t m_sum = 0;
    uint32_t m_minRaw = 16384;
    uint32_t m_hotValue = 0;
    uint32_t m_hotColumn = 0;
    uint32_t m_hotRow = 0;
};

} // namespace

std::vector<int16_t> combinedShifts(const int32_t* nuc, size_t nucCount, const int32_t* lens,
                                    size_t lensCount) {
    if (!nuc)
        nucCount = 0;
    if (!lens)
        lensCount = 0;
    std::vector<int16_t> shifts(std::max(nucCount, lensCount));
    for (size_t k = 0; k < shifts.size(); ++k)
        shifts[k] = int16_t((k < nucCount ? tableShift(nuc[k]) : 0) +
                            (k < lensCount ? tableShift(lens[k]) : 0));
    return shifts;
}

bool kernelAvailable(Kernel kernel) {
    switch (kernel) {
    case Kernel::Best:
    case Kernel::Portable:
        return true;
    case Kernel::Sse2:
#if defined(__SSE2__)
        return true;
#else
        return false;
#endif
    case Kernel::Avx2:
#if defined(KALORIX_DECODER_AVX2)
        return cpuHasAvx2();
#else
        return false;
#endif
    }
    return false;
}

Kernel resolvedKernel(Kernel kernel) {
    if (kernel != Kernel::Best)
        return kernelAvailable(kernel) ? kernel : Kernel::Portable;
    for (Kernel k : {Kernel::Avx2, Kernel::Sse2})
        if (kernelAvailable(k))
            return k;
    return Kernel::Portable;
}

Result decode(const uint16_t* words, size_t count, int frameIndex, const Corrections& corrections,
              std::vector<uint16_t>& raw, Kernel kernel) {
    raw.clear();
    raw.reserve(kFrameCapacity);
    Decoder decoder(words, words ? count : 0, frameIndex, corrections, raw, resolvedKernel(kernel));
    decoder.run();

    Result r;
    r.minRaw = decoder.minRaw();
    r.maxRaw = decoder.maxRaw();
    r.sum = decoder.sum();
    r.hotspotColumn = decoder.hotColumn();
    r.hotspotRow = decoder.hotRow();
    r.hotspotValue = decoder.maxRaw();
    r.rowsStarted = decoder.rowsStarted();
    r.rowsDropped = decoder.rowsDropped();
    if (!decoder.widthKnown()) {
        raw.clear();
        kx::console(QStringLiteral("DataConverter::processDataChunk no row of at least ") +
                    QString::number(kMinRowWidth) + QStringLiteral(" values in ") +
                    QString::number(count) + QStringLiteral(" words: frame not decodable"));
        return r;
    }
    raw.resize(decoder.storedValues());
    r.width = decoder.rowWidth();
    r.height = decoder.rowsStored();
    r.meanRaw = uint32_t(r.sum / r.height / r.width);
    return r;
}

} // namespace framedecoder
