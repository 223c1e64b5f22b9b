#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Turns the camera's pixel word stream of one frame into rows of raw values,
// with the frame statistics and the hot spot. A pure unit: the caller owns the
// output buffer and the correction tables.
namespace framedecoder {

// Largest row the decoder keeps: pixel words of a longer row are ignored
// until the row ends.
constexpr size_t kRowCapacity = 350000;
// Values the frame buffer holds (640 x 1024).
constexpr size_t kFrameCapacity = 655360;
// The first row sets the frame width only when it has at least this many values.
constexpr uint32_t kMinRowWidth = 160;

// Per-pixel corrections, each a table the decoder only reads, applied in the
// order drift, offset, lens. A null table is switched off; an index the table
// does not cover leaves that pixel uncorrected. A corrected value saturates at
// 0 and 16383.
struct Corrections {
    const float* driftOffsets = nullptr; // raw counts per 0-based frame index
    size_t driftCount = 0;
    const int32_t* nucOffsets = nullptr; // subtracted, per pixel index
    size_t nucCount = 0;
    const int32_t* lensMap = nullptr; // subtracted, per pixel index
    size_t lensCount = 0;
    // Both per-pixel tables in one, as combinedShifts makes it: when set, it
    // takes the place of nucOffsets and lensMap and halves what a frame with
    // per-pixel corrections reads.
    const int16_t* pixelShifts = nullptr;
    size_t pixelShiftCount = 0;
};

// Per pixel index, the offset plus the lens entry (each first clamped to
// +-16383, so the sum fits); as long as the longer table, a missing entry
// counting 0. Subtracting it and clamping gives the value that subtracting
// both tables gives.
std::vector<int16_t> combinedShifts(const int32_t* nuc, size_t nucCount, const int32_t* lens,
                                    size_t lensCount);

struct Result {
    // Zero when no row reached kMinRowWidth values: the frame is undecodable.
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t minRaw = 16384;
    uint32_t maxRaw = 0;
    uint64_t sum = 0;     // every stored value, also of rows dropped later
    uint32_t meanRaw = 0; // sum / height / width; 0 when undecodable
    // First value of maxRaw in stream order: 1-based column within its row and
    // the number of rows started when it was decoded (dropped rows included).
    uint32_t hotspotColumn = 0;
    uint32_t hotspotRow = 0;
    uint32_t hotspotValue = 0;
    uint32_t rowsStarted = 0;
    uint32_t rowsDropped = 0;
    bool decodable() const { return width != 0 && height != 0; }
};

// How runs of uncorrected pixel words are decoded. Every kernel gives the same
// frame; Best picks the fastest one the processor has. A run with the two
// per-pixel tables takes the portable loop in every kernel; one with the
// combined table has a loop of each kernel.
enum class Kernel { Best, Portable, Sse2, Avx2 };
bool kernelAvailable(Kernel kernel);
// The kernel that decode uses for a request (Portable for one not available).
Kernel resolvedKernel(Kernel kernel);

// Decodes words[0, count) into raw, which receives the rows stored, at most
// kFrameCapacity values (none for an undecodable frame). frameIndex is
// the 0-based frame number that selects the drift offset. Rows shorter than
// the first row, and an undecodable frame, are reported on the console.
Result decode(const uint16_t* words, size_t count, int frameIndex, const Corrections& corrections,
              std::vector<uint16_t>& raw, Kernel kernel = Kernel::Best);

} // namespace framedecoder
