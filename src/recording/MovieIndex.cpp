#include "recording/MovieIndex.h"

#include <QFileDevice>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <system_error>
#include <thread>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// The AVX2 and AVX-512 kernels are compiled for their instruction sets alone
// and chosen at run time, so the program still runs on any x86-64 processor.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KALORIX_SCAN_WIDE 1
#include <immintrin.h>
#endif

namespace movieindex {

namespace {

// A position whose first two bytes are "VE" is rare in pixel data (about one
// in 65,536 for compressed code, never in uncompressed pixel words, whose high
// bytes are 0xC0 or more), so the kernels compare only those two bytes, many
// positions at a time, and the other three are compared here. A fusion
// recording is searched for two signatures in the same pass (Kinds = 2);
// their first bytes differ, so a candidate belongs to one of them only.
template <int Kinds>
struct Candidates {
    const uint8_t* block;
    size_t lastStart; // last position with five bytes in the block
    uint64_t blockStart;
    const Signature* sig;            // Kinds signatures
    std::vector<uint64_t>** offsets; // one list per signature

    void check(size_t q) const {
        if (q > lastStart)
            return;
        const int kind = Kinds == 2 && block[q] != sig[0][0] ? 1 : 0;
        if (std::memcmp(block + q + 1, sig[kind].data() + 1, 4) == 0)
            offsets[kind]->push_back(blockStart + q);
    }
    void checkMask(size_t base, uint64_t mask) const {
        for (; mask != 0; mask &= mask - 1)
            check(base + size_t(__builtin_ctzll(mask)));
    }
};

// Each kernel searches from position 0 and returns the position where it
// stopped; the rest of the block is compared byte by byte. A step reads one
// byte beyond the positions it covers.
#if defined(__SSE2__)
template <int Kinds>
size_t searchSse2(const uint8_t* block, size_t size, const Candidates<Kinds>& c) {
    const Signature& other = c.sig[Kinds - 1];
    const __m128i first = _mm_set1_epi8(char(c.sig[0][0]));
    const __m128i second = _mm_set1_epi8(char(c.sig[0][1]));
    const __m128i otherFirst = _mm_set1_epi8(char(other[0]));
    const __m128i otherSecond = _mm_set1_epi8(char(other[1]));
    const auto match = [&](const uint8_t* p) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        __m128i m = _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second));
        if (Kinds == 2)
            m = _mm_or_si128(
                m, _mm_and_si128(_mm_cmpeq_epi8(a, otherFirst), _mm_cmpeq_epi8(b, otherSecond)));
        return uint32_t(_mm_movemask_epi8(m));
    };
    size_t i = 0;
    for (; i + 33 <= size; i += 32) {
        const uint32_t mask = match(block + i) | (match(block + i + 16) << 16);
        if (mask != 0)
            c.checkMask(i, mask);
    }
    return i;
}
#endif

#if defined(KALORIX_SCAN_WIDE)
template <int Kinds>
__attribute__((target("avx2"))) size_t searchAvx2(const uint8_t* block, size_t size,
                                                  const Candidates<Kinds>& c) {
    const Signature& other = c.sig[Kinds - 1];
    const __m256i first = _mm256_set1_epi8(char(c.sig[0][0]));
    const __m256i second = _mm256_set1_epi8(char(c.sig[0][1]));
    const __m256i otherFirst = _mm256_set1_epi8(char(other[0]));
    const __m256i otherSecond = _mm256_set1_epi8(char(other[1]));
    size_t i = 0;
    for (; i + 65 <= size; i += 64) {
        const auto* p = block + i;
        const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
        const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 33));
        __m256i m0 = _mm256_and_si256(_mm256_cmpeq_epi8(a0, first), _mm256_cmpeq_epi8(b0, second));
        __m256i m1 = _mm256_and_si256(_mm256_cmpeq_epi8(a1, first), _mm256_cmpeq_epi8(b1, second));
        if (Kinds == 2) {
            m0 = _mm256_or_si256(m0, _mm256_and_si256(_mm256_cmpeq_epi8(a0, otherFirst),
                                                      _mm256_cmpeq_epi8(b0, otherSecond)));
            m1 = _mm256_or_si256(m1, _mm256_and_si256(_mm256_cmpeq_epi8(a1, otherFirst),
                                                      _mm256_cmpeq_epi8(b1, otherSecond)));
        }
        const __m256i any = _mm256_or_si256(m0, m1);
        if (_mm256_testz_si256(any, any))
            continue;
        c.checkMask(i, uint64_t(uint32_t(_mm256_movemask_epi8(m0))) |
                           (uint64_t(uint32_t(_mm256_movemask_epi8(m1))) << 32));
    }
    return i;
}

template <int Kinds>
__attribute__((target("avx512f,avx512bw"))) size_t searchAvx512(const uint8_t* block, size_t size,
                                                                const Candidates<Kinds>& c) {
    const Signature& other = c.sig[Kinds - 1];
    const __m512i first = _mm512_set1_epi8(char(c.sig[0][0]));
    const __m512i second = _mm512_set1_epi8(char(c.sig[0][1]));
    const __m512i otherFirst = _mm512_set1_epi8(char(other[0]));
    const __m512i otherSecond = _mm512_set1_epi8(char(other[1]));
    const auto match = [&](const uint8_t* p) __attribute__((target("avx512f,avx512bw"))) {
        const __m512i a = _mm512_loadu_si512(p);
        const __m512i b = _mm512_loadu_si512(p + 1);
        uint64_t m = _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(a, first), b, second);
        if (Kinds == 2)
            m |= _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(a, otherFirst), b, otherSecond);
        return m;
    };
    size_t i = 0;
    for (; i + 129 <= size; i += 128) {
        const uint64_t m0 = match(block + i);
        const uint64_t m1 = match(block + i + 64);
        if ((m0 | m1) == 0)
            continue;
        c.checkMask(i, m0);
        c.checkMask(i + 64, m1);
    }
    return i;
}

bool cpuHas(ScanKernel kernel) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool avx512 =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return kernel == ScanKernel::Avx2 ? avx2 : avx512;
}
#endif

// Appends the offsets of every signature that starts and ends inside the
// block to the list of its kind.
template <int Kinds>
void searchBlock(const uint8_t* block, size_t size, uint64_t blockStart, const Signature* sig,
                 ScanKernel kernel, std::vector<uint64_t>** offsets) {
    if (size < sig[0].size())
        return;
    const Candidates<Kinds> c{block, size - sig[0].size(), blockStart, sig, offsets};
    size_t i = 0;
    switch (kernel) {
#if defined(KALORIX_SCAN_WIDE)
    case ScanKernel::Avx512:
        i = searchAvx512(block, size, c);
        break;
    case ScanKernel::Avx2:
        i = searchAvx2(block, size, c);
        break;
#endif
#if defined(__SSE2__)
    case ScanKernel::Sse2:
        i = searchSse2(block, size, c);
        break;
#endif
    default:
        break;
    }
    for (; i <= c.lastStart; ++i) {
        for (int kind = 0; kind < Kinds; ++kind)
            if (block[i] == sig[kind][0] && block[i + 1] == sig[kind][1])
                c.check(i);
    }
}

// Reads up to size bytes at position, as many as the file holds (-1 for an
// error). A file is read by descriptor: no seek, no copy through the device's
// buffer.
qint64 readAt(QIODevice& device, int fd, int64_t position, uint8_t* buffer, size_t size) {
#if defined(Q_OS_UNIX)
    if (fd >= 0) {
        size_t got = 0;
        while (got < size) {
            const ssize_t n = ::pread(fd, buffer + got, size - got, off_t(position) + off_t(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return got > 0 ? qint64(got) : -1;
            if (n == 0)
                break;
            got += size_t(n);
        }
        return qint64(got);
    }
#else
    Q_UNUSED(fd);
#endif
    return device.seek(position) ? device.read(reinterpret_cast<char*>(buffer), qint64(size)) : -1;
}

} // namespace

bool scanKernelAvailable(ScanKernel kernel) {
    switch (kernel) {
    case ScanKernel::Best:
    case ScanKernel::Portable:
        return true;
    case ScanKernel::Sse2:
#if defined(__SSE2__)
        return true;
#else
        return false;
#endif
    case ScanKernel::Avx2:
    case ScanKernel::Avx512:
#if defined(KALORIX_SCAN_WIDE)
        return cpuHas(kernel);
#else
        return false;
#endif
    }
    return false;
}

ScanKernel resolvedScanKernel(ScanKernel kernel) {
    if (kernel != ScanKernel::Best)
        return scanKernelAvailable(kernel) ? kernel : ScanKernel::Portable;
    for (ScanKernel k : {ScanKernel::Avx512, ScanKernel::Avx2, ScanKernel::Sse2})
        if (scanKernelAvailable(k))
            return k;
    return ScanKernel::Portable;
}

const char* scanKernelName(ScanKernel kernel) {
    switch (kernel == ScanKernel::Best ? resolvedScanKernel(kernel) : kernel) {
    case ScanKernel::Avx512:
        return "AVX-512BW";
    case ScanKernel::Avx2:
        return "AVX2";
    case ScanKernel::Sse2:
        return "SSE2";
    default:
        return "portable";
    }
}

Signature frameSignature(uint8_t version) {
    return {'V', 'E', 'L', 'M', version};
}

void SignatureScanner::feed(const uint8_t* block, size_t size, std::vector<uint64_t>& offsets) {
    feed(block, size, offsets, offsets);
}

void SignatureScanner::feed(const uint8_t* block, size_t size, std::vector<uint64_t>& offsets,
                            std::vector<uint64_t>& otherOffsets) {
    if (size == 0)
        return;
    std::vector<uint64_t>* lists[2] = {&offsets, &otherOffsets};
    // Positions that began in earlier blocks and now have all five bytes.
    if (m_carrySize > 0) {
        uint8_t joined[8];
        const size_t head = std::min<size_t>(size, 4);
        std::memcpy(joined, m_carry, m_carrySize);
        std::memcpy(joined + m_carrySize, block, head);
        const size_t joinedSize = m_carrySize + head;
        for (size_t j = 0; j < m_carrySize && j + sizeof(Signature) <= joinedSize; ++j) {
            for (int kind = 0; kind < m_kinds; ++kind)
                if (std::memcmp(joined + j, m_signatures[size_t(kind)].data(), sizeof(Signature)) ==
                    0)
                    lists[kind]->push_back(m_position - m_carrySize + j);
        }
    }
    if (m_kinds == 2)
        searchBlock<2>(block, size, m_position, m_signatures.data(), m_kernel, lists);
    else
        searchBlock<1>(block, size, m_position, m_signatures.data(), m_kernel, lists);

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

namespace {

// One reused block buffer, aligned to a cache line so that the vector loads
// split no line.
class BlockBuffer {
public:
    explicit BlockBuffer(size_t size)
        : m_storage(new uint8_t[size + kAlign])
        , m_data(m_storage.get() +
                 (kAlign - reinterpret_cast<uintptr_t>(m_storage.get()) % kAlign) % kAlign) {}
    uint8_t* data() const { return m_data; }

private:
    static constexpr size_t kAlign = 64;
    std::unique_ptr<uint8_t[]> m_storage;
    uint8_t* m_data;
};

int descriptorOf(QIODevice& device) {
    if (auto* file = qobject_cast<QFileDevice*>(&device))
        return file->handle();
    return -1;
}

// Reads [begin, end) in blocks of step into buffer (a device without a
// descriptor: from begin until it ends) and hands each block to visit;
// beforeBlock runs before every read, afterRead after it with the position
// the read started at. Returns the position reached.
int64_t readBlocks(QIODevice& device, int fd, int64_t begin, int64_t end, size_t step,
                   uint8_t* buffer, const std::function<void()>& beforeBlock,
                   const std::function<void(int64_t position)>& afterRead,
                   const BlockVisitor& visit) {
    int64_t position = begin;
    for (;;) {
        if (beforeBlock)
            beforeBlock();
        // A file is scanned up to the size it had when the scan began, even
        // while a recorder still appends to it.
        const size_t wanted =
            fd >= 0 ? size_t(std::clamp<int64_t>(end - position, 0, int64_t(step))) : step;
        const qint64 n = wanted > 0 ? readAt(device, fd, position, buffer, wanted) : 0;
        if (afterRead)
            afterRead(position);
        if (n < 1)
            return position;
        visit(position, buffer, n);
        position += n;
    }
}

struct PartScan {
    std::vector<uint64_t> offsets;
    std::vector<int32_t> counters;
    int64_t end = 0; // the position the reads reached
};

// The second half of a split scan, from four bytes before its start so that
// a signature across the split is found here and only here (the first half
// finds the matches that end within it).
PartScan scanSecondHalf(QIODevice& device, int fd, int64_t from, int64_t fileSize, size_t step,
                        const Signature& signature, ScanKernel kernel,
                        std::atomic<int64_t>& bytesRead) {
    PartScan part;
    SignatureScanner scanner(signature, kernel);
    scanner.startAt(uint64_t(from));
    CounterCollector counters(fileSize);
    BlockBuffer buffer(step);
    part.end = readBlocks(
        device, fd, from, fileSize, step, buffer.data(), {},
        [&](int64_t position) { bytesRead.store(position - from, std::memory_order_relaxed); },
        [&](int64_t position, const uint8_t* block, qint64 n) {
            scanner.feed(block, size_t(n), part.offsets);
            counters.feed(uint64_t(position), block, size_t(n), part.offsets);
        });
    part.counters = counters.finish(part.offsets);
    return part;
}

} // namespace

int64_t forEachBlock(QIODevice& device, int64_t fileSize, uint32_t blockSize,
                     const ScanHooks& hooks, const BlockVisitor& visit) {
    const size_t step = std::max<uint32_t>(blockSize, 1);
    // Reads into one buffer, not a map of the file: on virtual machines the
    // first touch of every mapped page costs a fault, which made a mapped scan
    // several times slower than copying from the page cache. The buffer stays
    // in the processor's cache between the read and the search.
    const BlockBuffer buffer(step);
    return readBlocks(
        device, descriptorOf(device), 0, fileSize, step, buffer.data(), hooks.beforeBlock,
        [&](int64_t position) {
            if (hooks.progress)
                hooks.progress(scanPercent(position, fileSize));
        },
        visit);
}

ScanResult scanMovie(QIODevice& device, int64_t fileSize, uint32_t blockSize,
                     const ScanHooks& hooks, ScanKernel kernel, int64_t splitFrom) {
    ScanResult result;
    result.fileSize = fileSize;
    result.version = readVersionByte(device, result.versionRead);
    const Signature signature = frameSignature(result.version);
    const size_t step = std::max<uint32_t>(blockSize, 1);
    const int fd = descriptorOf(device);
    // The halves meet at a block boundary, so that the first half reads the
    // blocks a single pass reads.
    const int64_t split = fileSize / 2 / int64_t(step) * int64_t(step);
    bool splitScan = fd >= 0 && fileSize >= splitFrom && split >= int64_t(sizeof(Signature)) &&
                     std::thread::hardware_concurrency() >= 2;
    const int64_t from = split - int64_t(sizeof(Signature) - 1);
    std::atomic<int64_t> secondRead{0};
    std::future<PartScan> second;
    if (splitScan) {
        try {
            second = std::async(std::launch::async, scanSecondHalf, std::ref(device), fd, from,
                                fileSize, step, signature, kernel, std::ref(secondRead));
        } catch (const std::system_error&) {
            splitScan = false; // no thread to be had: one pass
        }
    }

    SignatureScanner scanner(signature, kernel);
    CounterCollector counters(fileSize);
    const BlockVisitor visit = [&](int64_t position, const uint8_t* block, qint64 n) {
        scanner.feed(block, size_t(n), result.offsets);
        counters.feed(uint64_t(position), block, size_t(n), result.offsets);
    };
    if (!splitScan) {
        result.bytesScanned = forEachBlock(device, fileSize, blockSize, hooks, visit);
        result.sizes = frameSizesFromOffsets(result.offsets, fileSize);
        result.counters = counters.finish(result.offsets);
        return result;
    }

    const BlockBuffer buffer(step);
    const int64_t firstEnd = readBlocks(
        device, fd, 0, split, step, buffer.data(), hooks.beforeBlock,
        [&](int64_t position) {
            if (hooks.progress)
                hooks.progress(scanPercent(
                    position + std::max<int64_t>(
                                   secondRead.load(std::memory_order_relaxed) - (split - from), 0),
                    fileSize));
        },
        visit);
    PartScan rest = second.get();
    if (firstEnd < split) {
        // The file ended inside the first half: a single pass stops there too.
        result.bytesScanned = firstEnd;
    } else {
        // The counter words of the first half's last frames may lie past the
        // split.
        uint8_t tail[kCounterEnd];
        const qint64 n = readAt(device, fd, split, tail,
                                size_t(std::min<int64_t>(kCounterEnd, fileSize - split)));
        if (n > 0)
            counters.feed(uint64_t(split), tail, size_t(n), result.offsets);
        result.bytesScanned = rest.end;
    }
    result.counters = counters.finish(result.offsets);
    if (firstEnd >= split) {
        result.offsets.insert(result.offsets.end(), rest.offsets.begin(), rest.offsets.end());
        result.counters.insert(result.counters.end(), rest.counters.begin(), rest.counters.end());
    }
    result.sizes = frameSizesFromOffsets(result.offsets, fileSize);
    if (hooks.progress)
        hooks.progress(scanPercent(result.bytesScanned, fileSize));
    return result;
}

void keepFramesBefore(ScanResult& scan, int64_t end) {
    if (end >= scan.fileSize)
        return;
    size_t kept = 0;
    while (kept + 1 < scan.offsets.size() && int64_t(scan.offsets[kept + 1]) <= end)
        ++kept;
    scan.offsets.resize(kept);
    scan.sizes.resize(std::min(kept, scan.sizes.size()));
    scan.counters.resize(std::min(kept, scan.counters.size()));
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
