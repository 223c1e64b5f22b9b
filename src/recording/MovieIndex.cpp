#include "recording/MovieIndex.h"

#include <QFileDevice>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace movieindex {

namespace {

// Appends the offsets of every signature that starts and ends inside the
// block. The first two bytes ("VE") are compared 16 positions at a time; a
// position that passes both is rare in pixel data (about one in 65,536 for
// compressed code, never in uncompressed pixel words, whose high bytes are
// 0xC0 or more), and only there the other three bytes are compared.
void searchBlock(const uint8_t* block, size_t size, uint64_t blockStart, const Signature& sig,
                 std::vector<uint64_t>& offsets) {
    if (size < sig.size())
        return;
    const size_t lastStart = size - sig.size(); // last position with five bytes
    size_t i = 0;
    auto checkAt = [&](size_t q) {
        if (q <= lastStart && std::memcmp(block + q + 2, sig.data() + 2, 3) == 0)
            offsets.push_back(blockStart + q);
    };
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(char(sig[0]));
    const __m128i second = _mm_set1_epi8(char(sig[1]));
    // Each step reads bytes i to i + 32.
    for (; i + 33 <= size; i += 32) {
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
        const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 1));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 16));
        const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 17));
        const __m128i m0 = _mm_and_si128(_mm_cmpeq_epi8(a0, first), _mm_cmpeq_epi8(b0, second));
        const __m128i m1 = _mm_and_si128(_mm_cmpeq_epi8(a1, first), _mm_cmpeq_epi8(b1, second));
        uint32_t mask = uint32_t(_mm_movemask_epi8(m0)) | (uint32_t(_mm_movemask_epi8(m1)) << 16);
        while (mask != 0) {
            checkAt(i + size_t(__builtin_ctz(mask)));
            mask &= mask - 1;
        }
    }
#endif
    for (; i <= lastStart; ++i) {
        if (block[i] == sig[0] && block[i + 1] == sig[1])
            checkAt(i);
    }
}

} // namespace

Signature frameSignature(uint8_t version) {
    return {'V', 'E', 'L', 'M', version};
}

void SignatureScanner::feed(const uint8_t* block, size_t size, std::vector<uint64_t>& offsets) {
    if (size == 0)
        return;
    // Positions that began in earlier blocks and now have all five bytes.
    if (m_carrySize > 0) {
        uint8_t joined[8];
        const size_t head = std::min<size_t>(size, 4);
        std::memcpy(joined, m_carry, m_carrySize);
        std::memcpy(joined + m_carrySize, block, head);
        const size_t joinedSize = m_carrySize + head;
        for (size_t j = 0; j < m_carrySize && j + m_signature.size() <= joinedSize; ++j) {
            if (std::memcmp(joined + j, m_signature.data(), m_signature.size()) == 0)
                offsets.push_back(m_position - m_carrySize + j);
        }
    }
    searchBlock(block, size, m_position, m_signature, offsets);

    // Keep the last four bytes seen: no position among them has five bytes yet.
    if (size >= 4) {
        std::memcpy(m_carry, block + size - 4, 4);
        m_carrySize = 4;
    } else {
        uint8_t joined[8];
        std::memcpy(joined, m_carry, m_carrySize);
        std::memcpy(joined + m_carrySize, block, size);
        const size_t total = m_carrySize + size;
        const size_t keep = std::min<size_t>(total, 4);
        std::memcpy(m_carry, joined + total - keep, keep);
        m_carrySize = keep;
    }
    m_position += size;
}

void CounterCollector::feed(uint64_t blockStart, const uint8_t* block, size_t size,
                            const std::vector<uint64_t>& offsets) {
    m_words.resize(offsets.size(), 0);
    m_bytesSeen.resize(offsets.size(), 0);
    const uint64_t blockEnd = blockStart + size;
    for (size_t i = m_firstOpen; i < offsets.size(); ++i) {
        const uint64_t at = offsets[i] + uint64_t(kCounterOffset);
        if (at >= blockEnd)
            break; // later frames lie further on
        for (uint64_t b = 0; b < 2; ++b) {
            const uint64_t pos = at + b;
            if (pos >= blockStart && pos < blockEnd) {
                m_words[i] = uint16_t(m_words[i] | (uint16_t(block[pos - blockStart]) << (8 * b)));
                m_bytesSeen[i] = uint8_t(m_bytesSeen[i] | (1u << b));
            }
        }
        if (m_bytesSeen[i] == 3 && i == m_firstOpen)
            ++m_firstOpen;
    }
}

std::vector<int32_t> CounterCollector::finish(const std::vector<uint64_t>& offsets) {
    std::vector<int32_t> counters(offsets.size(), kCounterUnread);
    for (size_t i = 0; i < offsets.size(); ++i) {
        if (int64_t(offsets[i]) + kCounterEnd > m_fileSize)
            counters[i] = kCounterBeyondEnd;
        else if (i < m_bytesSeen.size() && m_bytesSeen[i] == 3)
            counters[i] = m_words[i];
    }
    return counters;
}

int scanPercent(int64_t position, int64_t fileSize) {
    if (fileSize <= 0)
        return 100;
    const double percent = (double(position) / 10.0) / (double(fileSize) / 1000.0);
    return int(std::min(100.0, std::max(0.0, std::floor(percent))));
}

uint8_t readVersionByte(QIODevice& device, bool& read) {
    char head[5];
    read = device.seek(0) && device.read(head, 5) == 5;
    return read ? uint8_t(head[4]) : 0;
}

void forEachBlock(QIODevice& device, int64_t fileSize, uint32_t blockSize, const ScanHooks& hooks,
                  const BlockVisitor& visit) {
    const uint32_t step = std::max<uint32_t>(blockSize, 1);
    // A mapped file is scanned in place: copying a large movie into a read
    // buffer costs more than searching it. Devices that cannot be mapped are
    // read block by block into one reused buffer.
    auto* file = qobject_cast<QFileDevice*>(&device);
    uchar* mapped = (file && fileSize > 0) ? file->map(0, fileSize) : nullptr;
    if (mapped) {
        int64_t position = 0;
        for (;;) {
            if (hooks.beforeBlock)
                hooks.beforeBlock();
            const qint64 n = std::min<int64_t>(step, fileSize - position);
            if (hooks.progress)
                hooks.progress(scanPercent(position, fileSize));
            if (n < 1)
                break;
            visit(position, mapped + position, n);
            position += n;
        }
        file->unmap(mapped);
    } else {
        std::vector<uint8_t> buffer(step);
        int64_t position = 0;
        for (;;) {
            if (hooks.beforeBlock)
                hooks.beforeBlock();
            const qint64 n =
                device.seek(position)
                    ? device.read(reinterpret_cast<char*>(buffer.data()), qint64(buffer.size()))
                    : -1;
            if (hooks.progress)
                hooks.progress(scanPercent(position, fileSize));
            if (n < 1)
                break;
            visit(position, buffer.data(), n);
            position += n;
        }
    }
}

ScanResult scanMovie(QIODevice& device, int64_t fileSize, uint32_t blockSize,
                     const ScanHooks& hooks) {
    ScanResult result;
    result.fileSize = fileSize;
    result.version = readVersionByte(device, result.versionRead);

    SignatureScanner scanner(frameSignature(result.version));
    CounterCollector counters(fileSize);
    forEachBlock(device, fileSize, blockSize, hooks,
                 [&](int64_t position, const uint8_t* block, qint64 n) {
                     scanner.feed(block, size_t(n), result.offsets);
                     counters.feed(uint64_t(position), block, size_t(n), result.offsets);
                 });
    result.sizes = frameSizesFromOffsets(result.offsets, fileSize);
    result.counters = counters.finish(result.offsets);
    return result;
}

std::vector<int64_t> frameSizesFromOffsets(const std::vector<uint64_t>& offsets, int64_t fileSize) {
    std::vector<int64_t> sizes(offsets.size());
    for (size_t i = 0; i + 1 < offsets.size(); ++i)
        sizes[i] = int64_t(offsets[i + 1] - offsets[i]);
    if (!offsets.empty())
        sizes.back() = fileSize - int64_t(offsets.back());
    return sizes;
}

bool counterStepAccepted(uint16_t previous, uint16_t current) {
    const int step = int(current) - int(previous);
    if (current > previous)
        return step == 1 || step == 8193;
    return step == -16383 || step == -8191;
}

CounterCheck checkFrameCounters(const std::vector<int32_t>& counters) {
    CounterCheck check;
    bool havePrevious = false;
    uint16_t previous = 0;
    for (size_t i = 0; i < counters.size(); ++i) {
        const int32_t counter = counters[i];
        if (counter == kCounterBeyondEnd)
            continue;
        if (counter == kCounterUnread) {
            check.failed = true;
            continue;
        }
        if (havePrevious && !counterStepAccepted(previous, uint16_t(counter))) {
            check.badFrames.push_back(int32_t(i));
            check.failed = true;
        }
        previous = uint16_t(counter);
        havePrevious = true;
    }
    return check;
}

std::vector<int32_t> framesWithFfcMark(const std::vector<uint64_t>& offsets,
                                       const std::vector<int32_t>& counters, int64_t fileSize) {
    std::vector<int32_t> frames;
    for (size_t i = 0; i < offsets.size() && i < counters.size(); ++i) {
        if (int64_t(offsets[i]) + kCounterEnd < fileSize && counters[i] >= 0 &&
            (counters[i] & kFfcMark) != 0)
            frames.push_back(int32_t(i));
    }
    return frames;
}

std::vector<int32_t> findFfcFrames(const ScanResult& scan) {
    // Only version 5 recordings have their FFC frames listed; in later
    // versions bit 13 of the word is not read as a mark.
    if (!scan.versionRead || scan.version != 5)
        return {};
    return framesWithFfcMark(scan.offsets, scan.counters, scan.fileSize);
}

QString ffcConsoleLine(int32_t index, uint16_t counter) {
    return QStringLiteral("FFC => %1: %2, %3")
        .arg(index + 1)
        .arg(int(counter) - 8192)
        .arg(uint(counter), 16, 2, QLatin1Char('0'));
}

} // namespace movieindex
