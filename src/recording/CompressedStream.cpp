#include "recording/CompressedStream.h"

namespace compressed {

namespace {

using detail::decodePayload;
using detail::kLengthForPrefix;

bool readBit(const uint8_t* bytes, int64_t wordCount, BitPosition& position, int& bit) {
    if (position.bitPos >= 16) {
        position.wordIndex += 1;
        position.bitPos = 0;
    }
    // Checked on every bit, not only on the step to a new word: a reader that
    // starts past the end (a movie frame shorter than its header) must fail
    // rather than read the word it was pointed at.
    if (wordCount <= 0 || position.wordIndex >= uint64_t(wordCount))
        return false;
    const size_t at = size_t(position.wordIndex) * 2;
    const unsigned word = unsigned(bytes[at]) | (unsigned(bytes[at + 1]) << 8);
    bit = int((word >> (15 - position.bitPos)) & 1u);
    position.bitPos += 1;
    return true;
}

template <class Reader>
ExpansionResult expandWith(Reader reader, uint16_t* out, uint32_t capacity) {
    ExpansionResult result;
    const uint32_t limit = std::min(capacity, kMaxExpandedWords);
    int16_t value = 0;
    uint8_t kind = 0;
    uint32_t written = 0;
    if (reader.next(value, kind)) {
        while (written < limit) {
            if (kind != kKindAbsolute) {
                if (written > 0) {
                    out[written] = uint16_t(uint16_t(out[written - 1] + value) | kPixelFlags);
                    ++written;
                }
            } else if (value == kEscapeValue) {
                int16_t side = 0;
                uint8_t sideKind = kind;
                if (!reader.next(side, sideKind))
                    break;
                result.sideValueSeen = true;
                result.sideValue = uint16_t(side);
                out[written++] = kSeparatorWord;
            } else if (value == 0) {
                out[written++] = kSeparatorWord;
            } else {
                out[written++] = uint16_t(kPixelFlags | uint16_t(value));
            }
            if (!reader.next(value, kind))
                break;
        }
    }
    result.count = written;
    result.end = reader.position();
    return result;
}

} // namespace

bool readCodeBitwise(const uint8_t* bytes, int64_t wordCount, BitPosition& position, int16_t& value,
                     uint8_t& kind) {
    int first = 0;
    int second = 0;
    if (!readBit(bytes, wordCount, position, first) || !readBit(bytes, wordCount, position, second))
        return false;
    kind = kLengthForPrefix[(first << 1) | second];
    const int payloadBits = kind - 2;
    value = 0;
    for (int i = 0; i < payloadBits; ++i) {
        int bit = 0;
        if (!readBit(bytes, wordCount, position, bit))
            return false;
        value = int16_t((value << 1) | bit);
    }
    value = int16_t(decodePayload(kind, value));
    return true;
}

bool FastCodeReader::nextNearEnd(int16_t& value, uint8_t& kind) {
    if (m_bit >= m_bitCount) {
        m_state = State::Failed;
        return false;
    }
    // The last words, zero-padded to one 64-bit load; the padding is never
    // reported as code because every use below is bounded by the bits left.
    const uint64_t bitsLeft = m_bitCount - m_bit;
    const uint64_t word = m_bit / 16;
    const uint64_t wordsLeft = std::min<uint64_t>(m_bitCount / 16 - word, 4);
    uint8_t tail[8] = {};
    std::memcpy(tail, m_bytes + word * 2, size_t(wordsLeft) * 2);
    uint64_t raw = 0;
    for (int i = 7; i >= 0; --i)
        raw = (raw << 8) | tail[i];
    const uint32_t top = uint32_t((streamOrder(raw) << (m_bit % 16)) >> 48);

    if (bitsLeft < 2) {
        m_bit = m_bitCount;
        m_state = State::Failed;
        return false;
    }
    const detail::CodeEntry entry = detail::kCodeTable[top >> 8];
    kind = entry.length;
    if (bitsLeft < entry.length) {
        const uint32_t payloadBits = uint32_t(bitsLeft) - 2;
        value = int16_t((top >> (16 - bitsLeft)) & ((1u << payloadBits) - 1));
        m_bit = m_bitCount;
        m_state = State::Failed;
        return false;
    }
    value = entry.length == kKindAbsolute ? int16_t(top & 0x3FFF) : entry.difference;
    m_bit += entry.length;
    m_state = State::Read;
    return true;
}

ExpansionResult expand(const uint8_t* bytes, int64_t wordCount, BitPosition start, uint16_t* out,
                       uint32_t capacity) {
    return expandWith(FastCodeReader(bytes, wordCount, start), out, capacity);
}

ExpansionResult expandBitwise(const uint8_t* bytes, int64_t wordCount, BitPosition start,
                              uint16_t* out, uint32_t capacity) {
    return expandWith(BitwiseCodeReader(bytes, wordCount, start), out, capacity);
}

} // namespace compressed
