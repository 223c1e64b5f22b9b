#include "corrections/Nuc.h"

#include "base/Report.h"

#include <QImage>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kGridStep = 15;
constexpr int kCentreBlock = 20;
} // namespace

NUC::NUC(int width, int height) {
    resetOffsetMap(width, height);
}

void NUC::resetOffsetMap(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_framesAdded = 0;
    m_map.assign(size_t(m_width) * size_t(m_height), 0);
    m_pending.assign(m_map.size(), 0);
    m_pendingFrames = 0;
}

void NUC::flushPending() {
    if (m_pendingFrames == 0)
        return;
    for (size_t k = 0; k < m_map.size(); ++k)
        m_map[k] += m_pending[k];
    std::fill(m_pending.begin(), m_pending.end(), 0u);
    m_pendingFrames = 0;
}

bool NUC::addToNucOffsetMap(const std::vector<uint16_t>& raw) {
    if (raw.size() != m_map.size()) {
        kx::console(QStringLiteral("NUC: Vector size mismatch"));
        return false;
    }
    // Frames are summed in 32 bits (half the memory traffic of the 64-bit
    // map) and moved to the map long before a sum of 16-bit values could
    // overflow.
    if (m_pendingFrames == kPendingFrames)
        flushPending();
    uint32_t* __restrict pending = m_pending.data();
    const uint16_t* __restrict values = raw.data();
    // Fixed-length blocks, which the compiler turns into vector code at -O2.
    constexpr size_t kBlock = 16;
    const size_t n = raw.size();
    size_t k = 0;
    for (; k + kBlock <= n; k += kBlock)
        for (size_t j = 0; j < kBlock; ++j)
            pending[k + j] += values[k + j];
    for (; k < n; ++k)
        pending[k] += values[k];
    ++m_pendingFrames;
    ++m_framesAdded;
    return true;
}

void NUC::calcMean(int frameCount) {
    flushPending();
    if (frameCount < 1 || m_map.empty())
        return;
    int64_t sum = 0;
    for (int64_t& e : m_map) {
        e = int32_t(e / frameCount);
        sum += e;
    }
    const int64_t mean = sum / int64_t(m_map.size());
    for (int64_t& e : m_map)
        e -= mean;
}

void NUC::blurOffsetMap(int radius, const std::function<void()>& afterPoint) {
    if (m_map.empty())
        return;
    const int half = (radius + (radius % 2)) / 2;
    const int gridW = (m_width + kGridStep - 1) / kGridStep;
    const int gridH = (m_height + kGridStep - 1) / kGridStep;
    std::vector<int> averages(size_t(gridW) * size_t(gridH));
    int lo = 16384;
    int hi = 0;
    for (int gy = 0; gy < gridH; ++gy) {
        for (int gx = 0; gx < gridW; ++gx) {
            const int x = gx * kGridStep;
            const int y = gy * kGridStep;
            const int x0 = std::max(0, x - half), x1 = std::min(m_width, x + half);
            const int y0 = std::max(0, y - half), y1 = std::min(m_height, y + half);
            int64_t sum = 0;
            int64_t count = 0;
            for (int yy = y0; yy < y1; ++yy) {
                const int64_t* row = m_map.data() + size_t(index(0, yy));
                for (int xx = x0; xx < x1; ++xx)
                    sum += row[xx];
                count += std::max(0, x1 - x0);
            }
            const int a = count ? int(std::trunc(float(sum) / float(count) + 0.5f)) : 0;
            averages[size_t(gy) * size_t(gridW) + size_t(gx)] = a;
            lo = std::min(lo, a);
            hi = std::max(hi, a);
            if (afterPoint)
                afterPoint();
        }
    }
    // A flat map has nothing to interpolate: every point is the one average.
    if (hi <= lo) {
        std::fill(m_map.begin(), m_map.end(), int64_t(lo));
        return;
    }
    QImage grid(gridW, gridH, QImage::Format_RGB32);
    for (int gy = 0; gy < gridH; ++gy)
        for (int gx = 0; gx < gridW; ++gx) {
            const int b = scale(averages[size_t(gy) * size_t(gridW) + size_t(gx)], lo, hi, 0, 255);
            grid.setPixel(gx, gy, qRgb(b, b, b));
        }
    const QImage smooth =
        grid.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int y = 0; y < m_height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(smooth.constScanLine(y));
        for (int x = 0; x < m_width; ++x)
            m_map[size_t(index(x, y))] = qRed(line[x]) * (hi - lo) / 255 + lo;
    }
}

void NUC::normalizeOffsetMap() {
    if (m_map.empty())
        return;
    const int cx = m_width / 2;
    const int cy = m_height / 2;
    const int x0 = std::max(0, cx - kCentreBlock / 2),
              x1 = std::min(m_width, cx + kCentreBlock / 2);
    const int y0 = std::max(0, cy - kCentreBlock / 2),
              y1 = std::min(m_height, cy + kCentreBlock / 2);
    int32_t c = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            c += int32_t(m_map[size_t(index(x, y))]);
    // The block of a map smaller than 20 x 20 holds fewer entries.
    const int count = std::max(1, (x1 - x0) * (y1 - y0));
    const int64_t reference = int64_t(std::trunc(float(c) / float(count)));
    for (int64_t& e : m_map)
        e = int64_t(std::trunc(double(e - reference) + 0.5));
}

uint32_t NUC::correctionOffset(int pixelIndex) const {
    if (pixelIndex < 0 || size_t(pixelIndex) >= m_map.size())
        return 0;
    return uint32_t(uint64_t(m_map[size_t(pixelIndex)]));
}

int NUC::scale(int value, int inLow, int inHigh, int outLow, int outHigh) {
    if (inHigh == inLow)
        return outLow;
    return (value - inLow) * (outHigh - outLow) / (inHigh - inLow) + outLow;
}

std::vector<int32_t> NUC::offsets() const {
    std::vector<int32_t> table(m_map.size());
    for (size_t k = 0; k < m_map.size(); ++k)
        table[k] = int32_t(std::clamp<int64_t>(m_map[k], INT32_MIN, INT32_MAX));
    return table;
}
