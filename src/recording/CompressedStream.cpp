#include "recording/CompressedStream.h"

#if defined(__GNUC__)
#define KX_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define KX_LIKELY(x) (x)
#endif

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

// The expansion in the order the recorder's reader works: read a code word,
// stop if the output is full (so the word after the last one written is read
// but not used), act on it.
template <class Reader>
ExpansionResult expandWith(Reader& reader, uint16_t* out, uint32_t limit) {
    ExpansionResult result;
    int16_t value = 0;
    uint8_t kind = 0;
    uint32_t written = 0;
    uint16_t previous = 0; // the word written last
    while (reader.next(value, kind) && written < limit) {
        if (kind != kKindAbsolute) {
            if (written > 0) {
                previous = uint16_t(uint16_t(previous + value) | kPixelFlags);
                out[written++] = previous;
            }
        } else if (value == kEscapeValue) {
            int16_t side = 0;
            uint8_t sideKind = kind;
            if (!reader.next(side, sideKind))
                break;
            result.sideValueSeen = true;
            result.sideValue = uint16_t(side);
            previous = kSeparatorWord;
            out[written++] = previous;
        } else {
            previous = value == 0 ? kSeparatorWord : uint16_t(kPixelFlags | uint16_t(value));
            out[written++] = previous;
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
    // Every bit that is left is in the buffer (fewer than 16).
    if (m_avail < 2) {
        m_buffer = 0;
        m_avail = 0;
        m_state = State::Failed;
        return false;
    }
    const detail::CodeEntry entry = detail::kCodeTable[m_buffer >> 56];
    kind = entry.length;
    if (m_avail < entry.length) {
        const uint32_t payloadBits = m_avail - 2;
        value = int16_t((m_buffer >> (64 - m_avail)) & ((1u << payloadBits) - 1));
        m_buffer = 0;
        m_avail = 0;
        m_state = State::Failed;
        return false;
    }
    value = entry.difference; // a complete code shorter than 16 bits
    m_buffer <<= entry.length;
    m_avail -= entry.length;
    m_state = State::Read;
    return true;
}

ExpansionResult FastCodeReader::expandInto(uint16_t* out, uint32_t limit) {
    ExpansionResult result;
    int16_t value = 0;
    uint8_t kind = 0;
    uint32_t written = 0;
    uint16_t previous = 0;

    // Up to the first word written, differences are dropped: the careful path.
    while (written == 0) {
        if (!next(value, kind) || written >= limit)
            goto done;
        if (kind != kKindAbsolute)
            continue;
        if (value == kEscapeValue) {
            int16_t side = 0;
            uint8_t sideKind = kind;
            if (!next(side, sideKind))
                goto done;
            result.sideValueSeen = true;
            result.sideValue = uint16_t(side);
            previous = kSeparatorWord;
        } else {
            previous = value == 0 ? kSeparatorWord : uint16_t(kPixelFlags | uint16_t(value));
        }
        out[written++] = previous;
    }

    // Hot loop: while four whole words remain and six more words fit the
    // output, refill the buffer to 48 bits or more without a branch and take
    // three steps of at most 16 bits: one or two difference codes through the
    // pair table, or one 16-bit code. The refill loads four words and counts
    // only those that fit whole; the bits of the next word that also land in
    // the buffer are the true ones and are ORed in again, unchanged, by the
    // following refill. A pair's second word is always stored; when the step
    // took one code it is a copy of the first and the next step overwrites it.
    {
        uint64_t buffer = m_buffer;
        uint32_t avail = m_avail;
        uint64_t nextWord = m_nextWord;
        while (nextWord + 4 <= m_wordCount && written + 6 <= limit) {
            uint64_t raw;
            std::memcpy(&raw, m_bytes + nextWord * 2, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            raw = __builtin_bswap64(raw);
#endif
            buffer |= streamOrder(raw) >> avail;
            const uint32_t loaded = (63 - avail) >> 4;
            nextWord += loaded;
            avail += loaded * 16;

            for (int step = 0; step < 3; ++step) {
                const detail::PairEntry entry = detail::kPairTable[buffer >> 52];
                if (KX_LIKELY(entry.length != 0)) {
                    const uint16_t first = uint16_t(uint16_t(previous + entry.first) | kPixelFlags);
                    previous = uint16_t(uint16_t(first + entry.second) | kPixelFlags);
                    out[written] = first;
                    out[written + 1] = previous;
                    written += entry.count;
                    buffer <<= entry.length;
                    avail -= entry.length;
                    continue;
                }
                const uint32_t absolute = uint32_t(buffer >> 48) & 0x3FFFu;
                buffer <<= 16;
                avail -= 16;
                if (absolute == uint32_t(kEscapeValue)) {
                    // The side value may need bits beyond the buffer: it is read
                    // on the careful path.
                    m_buffer = buffer;
                    m_avail = avail;
                    m_nextWord = nextWord;
                    int16_t side = 0;
                    uint8_t sideKind = kKindAbsolute;
                    if (!next(side, sideKind))
                        goto done;
                    buffer = m_buffer;
                    avail = m_avail;
                    nextWord = m_nextWord;
                    result.sideValueSeen = true;
                    result.sideValue = uint16_t(side);
                    previous = kSeparatorWord;
                    out[written++] = previous;
                    break; // the buffer may now hold fewer than 16 bits
                }
                previous = absolute == 0 ? kSeparatorWord : uint16_t(kPixelFlags | absolute);
                out[written++] = previous;
            }
        }
        m_buffer = buffer;
        m_avail = avail;
        m_nextWord = nextWord;
    }

    // The last words: the careful path again.
    while (next(value, kind) && written < limit) {
        if (kind != kKindAbsolute) {
            previous = uint16_t(uint16_t(previous + value) | kPixelFlags);
        } else if (value == kEscapeValue) {
            int16_t side = 0;
            uint8_t sideKind = kind;
            if (!next(side, sideKind))
                break;
            result.sideValueSeen = true;
            result.sideValue = uint16_t(side);
            previous = kSeparatorWord;
        } else {
            previous = value == 0 ? kSeparatorWord : uint16_t(kPixelFlags | uint16_t(value));
        }
        out[written++] = previous;
    }

done:
    result.count = written;
    result.end = position();
    return result;
}

ExpansionResult expand(const uint8_t* bytes, int64_t wordCount, BitPosition start, uint16_t* out,
                       uint32_t capacity) {
    FastCodeReader reader(bytes, wordCount, start);
    return reader.expandInto(out, std::min(capacity, kMaxExpandedWords));
}

ExpansionResult expandBitwise(const uint8_t* bytes, int64_t wordCount, BitPosition start,
                              uint16_t* out, uint32_t capacity) {
    BitwiseCodeReader reader(bytes, wordCount, start);
    return expandWith(reader, out, std::min(capacity, kMaxExpandedWords));
}

} // namespace compressed
