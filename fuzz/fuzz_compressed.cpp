// Compressed-stream expansion: the fast readers and the bit-at-a-time
// reference agree code word by code word and on the whole expansion, from a
// random start bit and with a random output limit.
//
// Input: start word (u16), start bit (u8), limit (u32), words cut from the
// end (u8), then the code.
#include "FuzzTarget.h"

#include "recording/CompressedStream.h"

#include <memory>

namespace {

using compressed::BitPosition;

bool samePosition(const BitPosition& a, const BitPosition& b) {
    return a.wordIndex == b.wordIndex && a.bitPos == b.bitPos;
}

// The two readers, call by call, up to and including the first failure.
void compareReaders(const uint8_t* bytes, int64_t wordCount, BitPosition start) {
    compressed::FastCodeReader fast(bytes, wordCount, start);
    compressed::BitwiseCodeReader bitwise(bytes, wordCount, start);
    for (;;) {
        int16_t fastValue = 0x5A5A;
        int16_t bitValue = 0x5A5A;
        uint8_t fastKind = 0xA5;
        uint8_t bitKind = 0xA5;
        const bool fastOk = fast.next(fastValue, fastKind);
        const bool bitOk = bitwise.next(bitValue, bitKind);
        FUZZ_CHECK(fastOk == bitOk);
        FUZZ_CHECK(fastKind == bitKind && fastValue == bitValue);
        FUZZ_CHECK(samePosition(fast.position(), bitwise.position()));
        if (!fastOk)
            return;
        FUZZ_CHECK(fastKind == 16 || fastKind == 8 || fastKind == 6 || fastKind == 5);
    }
}

} // namespace

KALORIX_FUZZ_TARGET(compressed) {
    fuzzing::Params params(data, size);
    BitPosition start;
    start.wordIndex = params.u16();
    start.bitPos = params.u8() % 18; // 16 is a valid position, 17 clamps
    const uint32_t limitBits = params.u32();
    const uint8_t cutWords = params.u8();
    const std::vector<uint8_t> bytes = params.rest();
    // The readers may be told of fewer words than the buffer holds, never more.
    const int64_t wordCount = std::max<int64_t>(0, int64_t(bytes.size() / 2) - cutWords % 4);
    // Most limits are small, so that the stop at a full output is reached;
    // the top bit asks for the largest output.
    const uint32_t limit =
        (limitBits & 0x80000000u) ? compressed::kMaxExpandedWords : limitBits % 4096;
    const size_t capacity = std::min(limit, compressed::kMaxExpandedWords);

    compareReaders(bytes.data(), wordCount, start);

    // Outputs of exactly the capacity, so that a word written past it is seen;
    // the largest ones are kept (the sanitizer guards a global's end too).
    static uint16_t largestFast[compressed::kMaxExpandedWords];
    static uint16_t largestBit[compressed::kMaxExpandedWords];
    const bool largest = capacity == compressed::kMaxExpandedWords;
    std::unique_ptr<uint16_t[]> smallFast(largest ? nullptr : new uint16_t[capacity]);
    std::unique_ptr<uint16_t[]> smallBit(largest ? nullptr : new uint16_t[capacity]);
    uint16_t* fastOut = largest ? largestFast : smallFast.get();
    uint16_t* bitOut = largest ? largestBit : smallBit.get();
    const compressed::ExpansionResult fast =
        compressed::expand(bytes.data(), wordCount, start, fastOut, limit);
    const compressed::ExpansionResult bit =
        compressed::expandBitwise(bytes.data(), wordCount, start, bitOut, limit);
    FUZZ_CHECK(fast.count == bit.count);
    FUZZ_CHECK(fast.count <= capacity);
    FUZZ_CHECK(fast.sideValueSeen == bit.sideValueSeen && fast.sideValue == bit.sideValue);
    FUZZ_CHECK(samePosition(fast.end, bit.end));
    FUZZ_CHECK(std::memcmp(fastOut, bitOut, fast.count * 2) == 0);
    // Every word written is a separator or a pixel word with both flag bits.
    for (uint32_t k = 0; k < fast.count; ++k)
        FUZZ_CHECK(fastOut[k] == compressed::kSeparatorWord ||
                   (fastOut[k] & compressed::kPixelFlags) == compressed::kPixelFlags);
    // A code word takes at least five bits of the input.
    const uint64_t bits = uint64_t(wordCount) * 16;
    FUZZ_CHECK(uint64_t(fast.count) * 5 <= bits);
    return 0;
}
