#pragma once

// Index of a movie recording (.THM, .TMC).
//
// A movie is a bare concatenation of frames with no file header and no stored
// index. Every frame starts with the five bytes "VELM" + the header version
// (the fifth byte of the file), so the index is found by searching the whole
// file for that signature; the length of a frame is the distance to the next
// signature (the last frame runs to the end of the file).
//
// Headers of versions 4 to 6 are followed by 2,048 undecoded bytes whose word
// at frame offset 2050 is the recorder's frame counter: bits 0-12 count frames
// (0 to 8191), bit 13 is the flat-field-correction (FFC) mark. In compressed
// frames the same word is the side value after the escape that opens the code.
// The scan picks these words up while the blocks pass, so the file is read
// exactly once.

#include <QIODevice>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace movieindex {

constexpr int64_t kCounterOffset = 2050;
constexpr int64_t kCounterEnd = kCounterOffset + 2; // frame offset + 2052
constexpr uint16_t kFfcMark = 0x2000;
constexpr int32_t kCounterBeyondEnd = -1; // offset + 2052 is past the file size
constexpr int32_t kCounterUnread = -2;    // within the size, but the file ended early

using Signature = std::array<uint8_t, 5>;
Signature frameSignature(uint8_t version);

// How a block is searched for the signature. Every kernel finds the same
// offsets; Best picks the widest vector unit the processor has (AVX-512BW,
// then AVX2, then SSE2), Portable compares byte by byte.
enum class ScanKernel { Best, Portable, Sse2, Avx2, Avx512 };
bool scanKernelAvailable(ScanKernel kernel);
// The kernel a request runs (Portable for one the processor lacks).
ScanKernel resolvedScanKernel(ScanKernel kernel);
const char* scanKernelName(ScanKernel kernel);

// Finds every occurrence of the signature in a file fed block by block,
// including occurrences whose five bytes straddle two (or more) blocks.
class SignatureScanner {
public:
    explicit SignatureScanner(const Signature& signature, ScanKernel kernel = ScanKernel::Best)
        : m_signatures{signature, signature}
        , m_kinds(1)
        , m_kernel(resolvedScanKernel(kernel)) {}
    // Searches for two signatures in one pass; their first bytes must differ.
    SignatureScanner(const Signature& signature, const Signature& other,
                     ScanKernel kernel = ScanKernel::Best)
        : m_signatures{signature, other}
        , m_kinds(2)
        , m_kernel(resolvedScanKernel(kernel)) {}
    // Feeds the next block of the file and appends the file offsets of the
    // matches that end inside it, in file order (matches of the second
    // signature to otherOffsets).
    void feed(const uint8_t* block, size_t size, std::vector<uint64_t>& offsets);
    void feed(const uint8_t* block, size_t size, std::vector<uint64_t>& offsets,
              std::vector<uint64_t>& otherOffsets);
    uint64_t position() const { return m_position; }
    // Lets a scanner start inside the file: the next block fed begins at
    // position. Only before the first block.
    void startAt(uint64_t position) { m_position = position; }

private:
    std::array<Signature, 2> m_signatures;
    int m_kinds;
    ScanKernel m_kernel;
    uint8_t m_carry[4] = {}; // the last bytes fed, for matches across blocks
    size_t m_carrySize = 0;
    uint64_t m_position = 0; // file position of the next block
};

// Collects the counter word of every frame found so far from the blocks as
// they pass (the word may itself straddle two blocks).
class CounterCollector {
public:
    explicit CounterCollector(int64_t fileSize)
        : m_fileSize(fileSize) {}
    void feed(uint64_t blockStart, const uint8_t* block, size_t size,
              const std::vector<uint64_t>& offsets);
    // One entry per frame: the counter word, kCounterBeyondEnd or kCounterUnread.
    std::vector<int32_t> finish(const std::vector<uint64_t>& offsets);

private:
    int64_t m_fileSize;
    std::vector<uint16_t> m_words;
    std::vector<uint8_t> m_bytesSeen; // bit 0: low byte, bit 1: high byte
    size_t m_firstOpen = 0;           // frames before it are complete
};

struct ScanResult {
    std::vector<uint64_t> offsets; // frame start, file order
    std::vector<int64_t> sizes;    // bytes to the next frame (last: to the end)
    std::vector<int32_t> counters; // counter word per frame (see CounterCollector)
    int64_t fileSize = 0;
    uint8_t version = 0;
    bool versionRead = false; // false: fewer than 5 bytes, nothing was scanned
    int64_t bytesScanned = 0; // below fileSize when the reads ended early
};

struct ScanHooks {
    std::function<void()> beforeBlock;         // runs before every read
    std::function<void(int percent)> progress; // after every read
};

// Progress after reading up to position: the whole number of
// (position / 10) / (fileSize / 1000), computed in floating point; an empty
// file counts as done (100).
int scanPercent(int64_t position, int64_t fileSize);

// The fifth byte of the file (the header version); read says whether it exists.
uint8_t readVersionByte(QIODevice& device, bool& read);

// Hands the device's bytes from position 0 to visit in blocks of blockSize
// (the last one shorter), read into one reused buffer (a file with pread on
// its descriptor); the hooks run once per block. Returns the number of bytes
// handed over: fewer than fileSize when the device ended early or failed.
using BlockVisitor = std::function<void(int64_t position, const uint8_t* block, qint64 size)>;
int64_t forEachBlock(QIODevice& device, int64_t fileSize, uint32_t blockSize,
                     const ScanHooks& hooks, const BlockVisitor& visit);

// A file of at least this size is scanned in two halves at once when the
// processor has two cores: the scan is bound by copying the file out of the
// page cache, which one core does at about half the speed two do.
constexpr int64_t kSplitScanFrom = int64_t(32) << 20;

// Scans an open device from position 0 in blocks of blockSize. The version
// byte (the fifth of the file) selects the signature. A file (a device with
// a descriptor) of splitFrom bytes or more is read in two halves, the second
// on a thread of its own; the result is the one a single pass gives, and the
// hooks run on the calling thread only.
ScanResult scanMovie(QIODevice& device, int64_t fileSize, uint32_t blockSize,
                     const ScanHooks& hooks = {}, ScanKernel kernel = ScanKernel::Best,
                     int64_t splitFrom = kSplitScanFrom);

// Keeps the frames that end at or before end, for a file that holds only
// its first end bytes now: the last frame found ends at the file's old end,
// so it goes, with every frame after the cut.
void keepFramesBefore(ScanResult& scan, int64_t end);

// Frame lengths from the offsets: distance to the next offset, the last frame
// to the end of the file.
std::vector<int64_t> frameSizesFromOffsets(const std::vector<uint64_t>& offsets, int64_t fileSize);

// True when the counter may follow the previous one: one step up, also while
// the FFC mark is set or cleared, and the wrap from 8191 to 0 with or without
// the mark.
bool counterStepAccepted(uint16_t previous, uint16_t current);

struct CounterCheck {
    std::vector<int32_t> badFrames; // 0-based indexes printed as "Bad FC: "
    bool failed = false;            // also set by an unreadable counter
};
CounterCheck checkFrameCounters(const std::vector<int32_t>& counters);

// 0-based indexes of the frames whose counter word carries the FFC mark and
// ends strictly before the end of the file.
std::vector<int32_t> framesWithFfcMark(const std::vector<uint64_t>& offsets,
                                       const std::vector<int32_t>& counters, int64_t fileSize);
// The same for a movie, whose marks count only in version 5.
std::vector<int32_t> findFfcFrames(const ScanResult& scan);
// "FFC => 5: 5, 0010000000000101" for index 4 and counter 0x2005.
QString ffcConsoleLine(int32_t index, uint16_t counter);

} // namespace movieindex
