// Frame decoder: every kernel gives the same frame, and the statistics
// describe the values it stored.
//
// Input: a flags byte (bit 0 drift, bit 1 offset table, bit 2 lens table), a
// drift value (float), a table length (u16), then the pixel word stream.
#include "FuzzTarget.h"

#include "recording/FrameDecoder.h"

#include <bitset>

namespace {

using framedecoder::Kernel;
using framedecoder::Result;

bool sameResult(const Result& a, const Result& b) {
    return a.width == b.width && a.height == b.height && a.minRaw == b.minRaw &&
           a.maxRaw == b.maxRaw && a.sum == b.sum && a.meanRaw == b.meanRaw &&
           a.hotspotColumn == b.hotspotColumn && a.hotspotRow == b.hotspotRow &&
           a.hotspotValue == b.hotspotValue && a.rowsStarted == b.rowsStarted &&
           a.rowsDropped == b.rowsDropped;
}

} // namespace

KALORIX_FUZZ_TARGET(frame_decoder) {
    static const bool quiet = (fuzzing::silenceConsole(), true);
    (void)quiet;
    fuzzing::Params params(data, size);
    const uint8_t flags = params.u8();
    const uint32_t driftBits = params.u32();
    const size_t tableLength = params.u16();
    const std::vector<uint8_t> bytes = params.rest();
    std::vector<uint16_t> words(bytes.size() / 2);
    for (size_t k = 0; k < words.size(); ++k)
        words[k] = uint16_t(bytes[2 * k] | (bytes[2 * k + 1] << 8));

    float drift = 0.0f;
    std::memcpy(&drift, &driftBits, sizeof drift);
    // Tables of a deterministic pattern, shorter or longer than the frame.
    std::vector<int32_t> nuc(tableLength);
    std::vector<int32_t> lens(tableLength);
    for (size_t k = 0; k < tableLength; ++k) {
        nuc[k] = int32_t(k * 2654435761u) >> 20;
        lens[k] = int32_t(k % 7) - 3;
    }
    framedecoder::Corrections corrections;
    if (flags & 1) {
        corrections.driftOffsets = &drift;
        corrections.driftCount = 1;
    }
    if (flags & 2) {
        corrections.nucOffsets = nuc.data();
        corrections.nucCount = nuc.size();
    }
    if (flags & 4) {
        corrections.lensMap = lens.data();
        corrections.lensCount = lens.size();
    }

    // Reused between runs: the decoder reserves a whole frame each time.
    static std::vector<uint16_t> reference;
    static std::vector<uint16_t> other;
    const Result r = framedecoder::decode(words.data(), words.size(), 0, corrections, reference,
                                          Kernel::Portable);
    for (Kernel kernel : {Kernel::Sse2, Kernel::Avx2}) {
        if (!framedecoder::kernelAvailable(kernel))
            continue;
        const Result k =
            framedecoder::decode(words.data(), words.size(), 0, corrections, other, kernel);
        FUZZ_CHECK(sameResult(r, k));
        FUZZ_CHECK(other == reference);
    }

    FUZZ_CHECK(r.rowsDropped <= r.rowsStarted && r.height <= r.rowsStarted);
    FUZZ_CHECK(r.hotspotValue == r.maxRaw);
    FUZZ_CHECK(r.hotspotRow <= r.rowsStarted);
    FUZZ_CHECK((r.maxRaw == 0) == (r.hotspotColumn == 0));
    FUZZ_CHECK(reference.size() <= framedecoder::kFrameCapacity);
    if (!r.decodable()) {
        FUZZ_CHECK(reference.empty() && r.width == 0 && r.meanRaw == 0);
        return 0;
    }
    // Every stored row is at least as wide as the first, which set the width.
    FUZZ_CHECK(r.width >= framedecoder::kMinRowWidth);
    FUZZ_CHECK(reference.size() >= uint64_t(r.width) * r.height);
    FUZZ_CHECK(r.meanRaw == r.sum / r.height / r.width);
    // The statistics cover the stored values (and those of rows dropped later).
    uint64_t storedSum = 0;
    for (uint16_t v : reference) {
        FUZZ_CHECK(v >= r.minRaw && v <= r.maxRaw);
        storedSum += v;
    }
    FUZZ_CHECK(storedSum <= r.sum);
    // Without corrections every value, the extremes included, is the value of
    // a pixel word of the stream.
    if (flags & 7)
        return 0;
    std::bitset<16384> present;
    for (uint16_t w : words)
        if (w & 0x8000)
            present.set(w & 0x3FFF);
    FUZZ_CHECK(present.test(r.minRaw) && present.test(r.maxRaw));
    for (uint16_t v : reference)
        FUZZ_CHECK(present.test(v));
    return 0;
}
