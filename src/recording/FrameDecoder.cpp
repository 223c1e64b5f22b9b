// Frame decoder: the camera's pixel word stream into rows of raw values.
//
// The stream is a sequence of 16-bit words. A word with bit 15 set is a pixel
// word whose raw value is bits 0 to 13; any other word is a blanking word that
// the camera sends between lines (real cores send runs of two or more).
//
// The decoder walks three phases: 0 waits for a blanking word, 1 waits for the
// first pixel word of a row, 2 collects the row. The blanking word that ends a
// row is consumed by phase 2, so a row is only found after a further blanking
// word; streams with single blanking words therefore lose every other line, as
// they always have on this recorder family.
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
// masks, corrects, copies and accounts them in fixed blocks the compiler turns
// into vector code. The hot spot is searched only in a run whose maximum beats
// the frame's, which keeps the first-maximum rule exact.
#include "recording/FrameDecoder.h"

#include "app/Report.h"

#include <QString>
#include <algorithm>
#include <climits>
#include <cmath>

namespace framedecoder {
namespace {

constexpr uint16_t kPixelFlag = 0x8000;
constexpr uint16_t kValueMask = 0x3FFF;
constexpr size_t kBlock = 16;
// Values the end-by-length rule repeats at the end of a last row.
constexpr uint32_t kRepeatedTail = 3;
// Iterations past the last word.
constexpr size_t kExtraIterations = 4;

bool isPixel(uint16_t w) {
    return (w & kPixelFlag) != 0;
}

bool isLastRowOfKnownGeometry(uint32_t width, uint32_t rowsStored) {
    return (width == 160 && rowsStored == 127) || (width == 324 && rowsStored == 255) ||
           (width == 336 && rowsStored == 255) || (width == 640 && rowsStored == 511);
}

// The drift offset of the frame, rounded half up. Only the low 16 bits reach a
// stored value, so the offset is kept in 16-bit two's complement.
uint16_t driftFor(const Corrections& c, int frameIndex) {
    if (!c.driftOffsets || frameIndex < 0 || size_t(frameIndex) >= c.driftCount)
        return 0;
    const double rounded = std::floor(double(c.driftOffsets[frameIndex]) + 0.5);
    if (std::isnan(rounded))
        return 0;
    const double clamped = std::clamp(rounded, double(INT32_MIN), double(INT32_MAX));
    return uint16_t(uint32_t(int32_t(clamped)));
}

struct RunStats {
    uint16_t minRaw = 0xFFFF;
    uint16_t maxRaw = 0;
    uint64_t sum = 0;
};

// Masks, corrects and accounts n pixel words. Values are computed modulo 2^16,
// which is what storing them as unsigned 16-bit numbers does to the 32-bit sum.
template <bool kNuc, bool kLens>
void decodeSegment(const uint16_t* __restrict src, uint16_t* __restrict dst, size_t n,
                   uint16_t drift, const int32_t* __restrict nuc, const int32_t* __restrict lens,
                   RunStats& stats) {
    uint16_t minRaw = stats.minRaw;
    uint16_t maxRaw = stats.maxRaw;
    uint64_t sum = stats.sum;
    auto valueAt = [&](size_t k) {
        uint16_t v = uint16_t((src[k] & kValueMask) + drift);
        if (kNuc)
            v = uint16_t(v - uint16_t(nuc[k]));
        if (kLens)
            v = uint16_t(v - uint16_t(lens[k]));
        return v;
    };
    size_t k = 0;
    for (; k + kBlock <= n; k += kBlock) {
        // 16 values of at most 65535 cannot overflow 32 bits.
        uint32_t blockSum = 0;
        for (size_t j = 0; j < kBlock; ++j) {
            const uint16_t v = valueAt(k + j);
            dst[k + j] = v;
            minRaw = std::min(minRaw, v);
            maxRaw = std::max(maxRaw, v);
            blockSum += v;
        }
        sum += blockSum;
    }
    for (; k < n; ++k) {
        const uint16_t v = valueAt(k);
        dst[k] = v;
        minRaw = std::min(minRaw, v);
        maxRaw = std::max(maxRaw, v);
        sum += v;
    }
    stats.minRaw = minRaw;
    stats.maxRaw = maxRaw;
    stats.sum = sum;
}

// Number of pixel words at the start of src, at most maxN.
size_t scanPixelRun(const uint16_t* src, size_t maxN) {
    size_t n = 0;
    while (n + kBlock <= maxN) {
        uint16_t all = 0xFFFF;
        for (size_t j = 0; j < kBlock; ++j)
            all &= src[n + j];
        if (!(all & kPixelFlag))
            break;
        n += kBlock;
    }
    while (n < maxN && isPixel(src[n]))
        ++n;
    return n;
}

class Decoder {
public:
    Decoder(const uint16_t* words, size_t count, int frameIndex, const Corrections& corrections,
            uint16_t* out)
        : m_words(words)
        , m_count(count)
        , m_lastWord(count ? words[count - 1] : 0)
        , m_drift(driftFor(corrections, frameIndex))
        , m_nuc(corrections.nucOffsets)
        , m_nucCount(corrections.nucOffsets ? corrections.nucCount : 0)
        , m_lens(corrections.lensMap)
        , m_lensCount(corrections.lensMap ? corrections.lensCount : 0)
        , m_out(out) {}

    void run() {
        const size_t iterations = m_count + kExtraIterations;
        size_t i = 0;
        while (i < iterations) {
            if (m_phase == 2 && i < m_count) {
                const size_t stop = normalDecodeStop();
                if (m_col < stop) {
                    const size_t n = scanPixelRun(m_words + i, std::min(m_count - i, stop - m_col));
                    if (n) {
                        decodeRun(m_words + i, n);
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
    size_t rowLimit() const { return std::min(kRowCapacity, kFrameCapacity - m_pos); }
    bool inLastRow() const { return m_widthKnown && isLastRowOfKnownGeometry(m_rowWidth, m_rows); }
    // Row position up to which pixel words are decoded one by one as they come.
    size_t normalDecodeStop() const {
        const size_t limit = rowLimit();
        return inLastRow() ? std::min(limit, size_t(m_rowWidth - kRepeatedTail)) : limit;
    }

    uint16_t valueOf(uint16_t w) {
        uint16_t v = uint16_t((w & kValueMask) + m_drift);
        if (m_pixelIndex < m_nucCount)
            v = uint16_t(v - uint16_t(m_nuc[m_pixelIndex]));
        if (m_pixelIndex < m_lensCount)
            v = uint16_t(v - uint16_t(m_lens[m_pixelIndex]));
        ++m_pixelIndex;
        return v;
    }

    void store(uint16_t v) {
        m_out[m_pos + m_col] = v;
        m_sum += v;
        m_minRaw = std::min<uint32_t>(m_minRaw, v);
        if (v > m_hotValue) {
            m_hotValue = v;
            m_hotColumn = uint32_t(m_col + 1);
            m_hotRow = m_rowsStarted;
        }
        ++m_col;
    }

    void decodeRun(const uint16_t* src, size_t n) {
        uint16_t* dst = m_out + m_pos + m_col;
        RunStats stats;
        size_t done = 0;
        while (done < n) {
            const size_t p = m_pixelIndex + done;
            const bool nuc = p < m_nucCount;
            const bool lens = p < m_lensCount;
            size_t len = n - done;
            if (nuc)
                len = std::min(len, m_nucCount - p);
            if (lens)
                len = std::min(len, m_lensCount - p);
            const uint16_t* s = src + done;
            uint16_t* d = dst + done;
            if (nuc && lens)
                decodeSegment<true, true>(s, d, len, m_drift, m_nuc + p, m_lens + p, stats);
            else if (nuc)
                decodeSegment<true, false>(s, d, len, m_drift, m_nuc + p, nullptr, stats);
            else if (lens)
                decodeSegment<false, true>(s, d, len, m_drift, nullptr, m_lens + p, stats);
            else
                decodeSegment<false, false>(s, d, len, m_drift, nullptr, nullptr, stats);
            done += len;
        }
        m_pixelIndex += n;
        m_sum += stats.sum;
        m_minRaw = std::min<uint32_t>(m_minRaw, stats.minRaw);
        if (stats.maxRaw > m_hotValue) {
            const size_t k = size_t(std::find(dst, dst + n, stats.maxRaw) - dst);
            m_hotValue = stats.maxRaw;
            m_hotColumn = uint32_t(m_col + k + 1);
            m_hotRow = m_rowsStarted;
        }
        m_col += n;
    }

    void step(uint16_t w, size_t i) {
        switch (m_phase) {
        case 0:
            if (!isPixel(w))
                m_phase = 1;
            break;
        case 1:
            if (isPixel(w)) {
                m_col = 0;
                ++m_rowsStarted;
                if (rowLimit() > 0)
                    store(valueOf(w));
                m_phase = 2;
            }
            break;
        default: {
            const bool lastRow = inLastRow();
            if (lastRow && m_col == m_rowWidth)
                endRow(i);
            else if (lastRow && m_col + kRepeatedTail >= m_rowWidth && m_col < rowLimit())
                store(m_out[m_pos + m_col - 1]);
            else if (isPixel(w)) {
                if (m_col < rowLimit())
                    store(valueOf(w));
            } else
                endRow(i);
            break;
        }
        }
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

    const uint16_t* m_words;
    const size_t m_count;
    const uint16_t m_lastWord;
    const uint16_t m_drift;
    const int32_t* m_nuc;
    const size_t m_nucCount;
    const int32_t* m_lens;
    const size_t m_lensCount;
    uint16_t* m_out;

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

Result decode(const uint16_t* words, size_t count, int frameIndex, const Corrections& corrections,
              std::vector<uint16_t>& raw) {
    raw.resize(kFrameCapacity);
    Decoder decoder(words, words ? count : 0, frameIndex, corrections, raw.data());
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
