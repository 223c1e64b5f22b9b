#pragma once

// The compressed pixel code of .THC and .TMC frames.
//
// The recorder replaces the camera's pixel word stream (pixel words 0xC000|v,
// separators with bit 15 clear) by a variable-length bit code. The input is a
// sequence of little-endian 16-bit words; inside a word bits are taken from
// bit 15 down to bit 0 and a code word simply continues into the next word.
//
//   prefix 00, 16 bits: 14-bit value v. v = 0 separator, v = 1 escape (the next
//                       code word carries a side value, the frame counter),
//                       v >= 2 absolute pixel value.
//   prefix 01,  8 bits: 6-bit two's complement d, difference d+12 / d-12.
//   prefix 10,  6 bits: 4-bit two's complement d, difference d+4 / d-4.
//   prefix 11,  5 bits: 3-bit two's complement d, difference d.
//
// A reader reports the length of the code word (16, 8, 6 or 5) as its kind.
// Quirks that recorded files rely on and that every reader here keeps:
// - A difference is added to the previously written word with its flag bits
//   as a 16-bit sum, so after a separator (0x4000) it acts as an absolute value
//   and a sum past 16383 wraps within the 14 bits.
// - A difference before anything was written is dropped.
// - The expansion writes at most 524,288 words and stops at the first code word
//   cut off by the end of the input.
//
// Two readers give identical results, including at a cut-off code word: the
// reference reader takes one bit at a time (BitwiseCodeReader), the one on the
// hot path peeks 16 bits per code word from one 64-bit load (FastCodeReader).

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace compressed {

constexpr uint32_t kMaxExpandedWords = 524288;
constexpr uint16_t kSeparatorWord = 0x4000;
constexpr uint16_t kPixelFlags = 0xC000;
constexpr int16_t kEscapeValue = 1;
constexpr uint8_t kKindAbsolute = 16;

// Reader position: the word being read and the bits already taken from it
// (0 to 16). A word is left with bitPos 16 after its last bit; the step to the
// next word happens when the next bit is wanted.
struct BitPosition {
    uint32_t wordIndex = 0;
    uint32_t bitPos = 0;
};

inline bool operator==(const BitPosition& a, const BitPosition& b) {
    return a.wordIndex == b.wordIndex && a.bitPos == b.bitPos;
}

// Reads one code word one bit at a time from wordCount words at bytes.
// Returns true when the code word was complete; value is then the 14-bit value
// (kind 16) or the decoded difference. When the words run out inside the
// two-bit prefix it returns false and leaves kind and value unchanged; when
// they run out inside the payload it returns false with kind set and value
// holding the payload bits read so far. A reader positioned at or past the end
// never touches the input.
bool readCodeBitwise(const uint8_t* bytes, int64_t wordCount, BitPosition& position, int16_t& value,
                     uint8_t& kind);

// The reference reader with the interface of FastCodeReader.
class BitwiseCodeReader {
public:
    BitwiseCodeReader(const uint8_t* bytes, int64_t wordCount, BitPosition start)
        : m_bytes(bytes)
        , m_wordCount(wordCount)
        , m_position(start) {}
    bool next(int16_t& value, uint8_t& kind) {
        return readCodeBitwise(m_bytes, m_wordCount, m_position, value, kind);
    }
    BitPosition position() const { return m_position; }

private:
    const uint8_t* m_bytes;
    int64_t m_wordCount;
    BitPosition m_position;
};

namespace detail {
// Code length and decoded difference for the first 8 bits of a code word
// (a difference code is never longer than 8 bits); length 16 for prefix 00.
struct CodeEntry {
    uint8_t length;
    int8_t difference;
};

constexpr uint8_t kLengthForPrefix[4] = {16, 8, 6, 5};

// Payload bits (most significant first) into the value a reader reports: the
// 14-bit value itself, or the difference it encodes.
constexpr int decodePayload(uint8_t kind, int payload) {
    switch (kind) {
    case 8: {
        const int d = (payload & 0x20) ? payload - 64 : payload;
        return d >= 0 ? d + 12 : d - 12;
    }
    case 6: {
        const int d = (payload & 0x8) ? payload - 16 : payload;
        return d >= 0 ? d + 4 : d - 4;
    }
    case 5:
        return (payload & 0x4) ? payload - 8 : payload;
    default:
        return payload;
    }
}

constexpr std::array<CodeEntry, 256> buildCodeTable() {
    std::array<CodeEntry, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        const uint8_t length = kLengthForPrefix[byte >> 6];
        int difference = 0;
        if (length != 16) {
            const int payloadBits = length - 2;
            difference = decodePayload(length, (byte >> (8 - length)) & ((1 << payloadBits) - 1));
        }
        table[size_t(byte)] = {length, int8_t(difference)};
    }
    return table;
}

inline constexpr std::array<CodeEntry, 256> kCodeTable = buildCodeTable();

// Words w0..w3 loaded little-endian sit in lanes 0..3; the code wants w0 in
// the top lane.
inline uint64_t streamOrder(uint64_t littleEndianWords) {
    const uint64_t x = (littleEndianWords >> 32) | (littleEndianWords << 32);
    return ((x & 0xFFFF0000FFFF0000ull) >> 16) | ((x & 0x0000FFFF0000FFFFull) << 16);
}

// Refill from four words at word nextWord (all four must exist) of a buffer
// holding avail < 64 unread bits, the next one at bit 63 and zeros or true bits
// below them: leaves 48 or more. Only the words that fit whole are counted;
// the leading bits of the next word that also land in the buffer are the true
// ones and are ORed in again, unchanged, by the following refill.
inline void refillFourWords(const uint8_t* bytes, uint64_t& buffer, uint32_t& avail,
                            uint64_t& nextWord) {
    uint64_t raw;
    std::memcpy(&raw, bytes + nextWord * 2, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    raw = __builtin_bswap64(raw);
#endif
    buffer |= streamOrder(raw) >> avail;
    const uint32_t loaded = (63 - avail) >> 4;
    nextWord += loaded;
    avail += loaded * 16;
}
} // namespace detail

class Expander;

struct ExpansionResult {
    uint32_t count = 0; // words written
    bool sideValueSeen = false;
    uint16_t sideValue = 0; // payload of the code word after the last escape
    BitPosition end;        // reader position after the last code word read
};

// Reader for the hot path: a 64-bit bit buffer (next bit at the top) refilled
// three words at a time, from which each code word is taken with one 16-bit
// peek. The code length comes from the two prefix bits by shifts alone, so
// the step from one code word to the next does not wait for a table load.
// Only the last words of the input take the careful path that mirrors the
// bit-at-a-time reader exactly.
class FastCodeReader {
public:
    FastCodeReader(const uint8_t* bytes, int64_t wordCount, BitPosition start)
        : m_bytes(bytes)
        , m_start(start) {
        m_wordCount = wordCount > 0 ? uint64_t(wordCount) : 0;
        m_startBit = uint64_t(start.wordIndex) * 16 + std::min<uint32_t>(start.bitPos, 16);
        m_nextWord = m_startBit / 16;
        m_beyond = m_nextWord >= m_wordCount;
        if (!m_beyond) {
            const uint32_t skip = uint32_t(m_startBit % 16);
            m_buffer = uint64_t(word(m_nextWord)) << (48 + skip);
            m_avail = 16 - skip;
            ++m_nextWord;
        }
    }

    bool next(int16_t& value, uint8_t& kind) {
        if (m_avail < 16) {
            refill();
            if (m_avail < 16)
                return nextNearEnd(value, kind);
        }
        // Lengths 16, 8, 6, 5 for the prefixes 00, 01, 10, 11, one byte each.
        const uint32_t length = (0x05060810u >> ((m_buffer >> 62) * 8)) & 0xFFu;
        const int16_t absolute = int16_t((m_buffer >> 48) & 0x3FFF);
        const int16_t difference = detail::kCodeTable[m_buffer >> 56].difference;
        kind = uint8_t(length);
        value = length == kKindAbsolute ? absolute : difference;
        m_buffer <<= length;
        m_avail -= length;
        m_state = State::Read;
        return true;
    }

    // The position the bit-at-a-time reader would hold after the same calls.
    BitPosition position() const {
        if (m_state == State::None)
            return m_start;
        const uint64_t bit = bitOffset();
        if (m_state == State::Read && bit % 16 == 0)
            return {uint32_t(bit / 16 - 1), 16};
        return {uint32_t(bit / 16), uint32_t(bit % 16)};
    }

private:
    enum class State { None, Read, Failed };

    uint16_t word(uint64_t index) const {
        return uint16_t(m_bytes[index * 2] | (m_bytes[index * 2 + 1] << 8));
    }
    // Called with fewer than 16 bits in the buffer; leaves 48 or more when the
    // input still has them.
    void refill() {
        if (m_nextWord + 4 <= m_wordCount) {
            detail::refillFourWords(m_bytes, m_buffer, m_avail, m_nextWord);
            return;
        }
        while (m_avail <= 48 && m_nextWord < m_wordCount) {
            m_buffer |= uint64_t(word(m_nextWord)) << (48 - m_avail);
            m_avail += 16;
            ++m_nextWord;
        }
    }
    bool nextNearEnd(int16_t& value, uint8_t& kind);
    // Bits of the input before the next unread one.
    uint64_t bitOffset() const { return m_beyond ? m_startBit : m_nextWord * 16 - m_avail; }
    friend class Expander;

    const uint8_t* m_bytes;
    BitPosition m_start;
    uint64_t m_wordCount = 0;
    uint64_t m_startBit = 0;
    uint64_t m_nextWord = 0; // next word to load into the buffer
    uint64_t m_buffer = 0;   // unread bits from bit 63; below them zeros or the true next bits
    uint32_t m_avail = 0;    // unread bits in the buffer
    bool m_beyond = false;   // started at or past the end: nothing is ever read
    State m_state = State::None;
};

// Expands the code from start into out, which receives at most
// min(capacity, kMaxExpandedWords) words. An escape whose side value is cut off
// by the end of the input ends the expansion without writing its separator.
//
// A long input is read by two readers in one loop, the second starting at the
// middle word, so that the latency chains of the two overlap. The second
// reader may start inside a code word; its output is used from the first code
// word where both readers stand at the same bit, and its differences up to its
// first absolute value are shifted by what the first reader had there. When
// the readers never meet, or the output would reach the limit, the first
// reader simply goes on alone: the result is always the sequential one.
ExpansionResult expand(const uint8_t* bytes, int64_t wordCount, BitPosition start, uint16_t* out,
                       uint32_t capacity = kMaxExpandedWords);
// The same with the bit-at-a-time reader; the reference the fast path is held to.
ExpansionResult expandBitwise(const uint8_t* bytes, int64_t wordCount, BitPosition start,
                              uint16_t* out, uint32_t capacity = kMaxExpandedWords);

} // namespace compressed
