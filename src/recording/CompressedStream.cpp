#include "recording/CompressedStream.h"

#include <vector>

#if defined(__GNUC__)
#define KX_LIKELY(x) __builtin_expect(!!(x), 1)
#define KX_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KX_LIKELY(x) (x)
#define KX_ALWAYS_INLINE inline
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

namespace {

// Where one reader writes, and the value the next difference adds to. Only
// the low 14 bits of value count: a difference acts on them modulo 16384 both
// after a pixel word and after a separator (whose low bits are 0).
struct Sink {
    uint16_t* next;
    uint16_t* end;
    uint32_t value = 0;
    bool started = false;  // a word was written, so differences are not dropped
    bool absolute = false; // the last code word set an absolute value
    uint16_t* lastEscape = nullptr;
};

// The next 12 bits of the code as one or two difference codes: 5+5, 5+6, 6+5
// and 6+6 bits fit, so the common small differences are taken two at a time.
// One array per field, so that each field is one load with its extension and
// the sum is added straight from memory. length 0 marks a 16-bit code; sum is
// the change over the whole entry, first the change up to its first code
// (equal to sum when one code was taken).
struct PairColumns {
    std::array<uint8_t, 4096> length; // bits taken
    std::array<uint8_t, 4096> count;  // code words taken (1 or 2)
    std::array<int8_t, 4096> first;
    std::array<uint32_t, 4096> sum; // two's complement
};
constexpr PairColumns buildPairColumns() {
    using detail::decodePayload;
    using detail::kLengthForPrefix;
    PairColumns columns{};
    for (int bits = 0; bits < 4096; ++bits) {
        const size_t i = size_t(bits);
        const uint8_t firstLength = kLengthForPrefix[bits >> 10];
        if (firstLength == 16)
            continue; // all fields 0
        const int firstPayload = (bits >> (12 - firstLength)) & ((1 << (firstLength - 2)) - 1);
        const int first = decodePayload(firstLength, firstPayload);
        int sum = first;
        columns.length[i] = firstLength;
        columns.count[i] = 1;
        const int rest = 12 - firstLength;
        if (rest >= 2) {
            const uint8_t secondLength = kLengthForPrefix[(bits >> (rest - 2)) & 3];
            if (secondLength <= rest) {
                const int secondPayload =
                    (bits >> (rest - secondLength)) & ((1 << (secondLength - 2)) - 1);
                columns.length[i] = uint8_t(firstLength + secondLength);
                columns.count[i] = 2;
                sum += decodePayload(secondLength, secondPayload);
            }
        }
        columns.first[i] = int8_t(first);
        columns.sum[i] = uint32_t(sum);
    }
    return columns;
}
constexpr PairColumns kPairColumns = buildPairColumns();

// Registers of one reader in the hot loop.
struct Lane {
    uint64_t buffer;
    uint64_t nextWord;
    uint32_t avail;
    uint32_t value;
    uint16_t* out;

    uint64_t bitOffset() const { return nextWord * 16 - avail; }
};

// Refills the lane to 48 bits or more without a branch and takes three steps
// of at most 16 bits: one or two difference codes through the pair table, or
// one 16-bit code. A pair's second word is always stored; when the step took one code it is a copy
// of the first and the next step overwrites it. Needs four words of input and six words of output;
// returns false right after taking an escape, whose side value is read on the careful path.
KX_ALWAYS_INLINE bool hotSteps(Lane& lane, const uint8_t* bytes) {
    detail::refillFourWords(bytes, lane.buffer, lane.avail, lane.nextWord);

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC unroll 3
#endif
    for (int step = 0; step < 3; ++step) {
        const size_t index = size_t(lane.buffer >> 52);
        const uint32_t length = kPairColumns.length[index];
        if (KX_LIKELY(length != 0)) {
            lane.out[0] =
                uint16_t((lane.value + uint32_t(int32_t(kPairColumns.first[index]))) | kPixelFlags);
            lane.value += kPairColumns.sum[index];
            lane.out[1] = uint16_t(lane.value | kPixelFlags);
            lane.out += kPairColumns.count[index];
            lane.buffer <<= length;
            lane.avail -= length;
            continue;
        }
        const uint32_t absolute = uint32_t(lane.buffer >> 48) & 0x3FFFu;
        lane.buffer <<= 16;
        lane.avail -= 16;
        if (absolute == uint32_t(kEscapeValue))
            return false;
        lane.value = absolute;
        *lane.out++ = absolute == 0 ? kSeparatorWord : uint16_t(kPixelFlags | absolute);
    }
    return true;
}

// At most `rounds` rounds of hotSteps on one lane, or on two lanes in turn so
// that their latency chains overlap. Return which lanes stopped at an escape
// (bit 0: a, bit 1: b).
KX_ALWAYS_INLINE int oneLaneLoop(Lane& lane, const uint8_t* bytes, uint64_t rounds) {
    Lane a = lane;
    int escapes = 0;
    for (; rounds > 0; --rounds)
        if (!hotSteps(a, bytes)) {
            escapes = 1;
            break;
        }
    lane = a;
    return escapes;
}

KX_ALWAYS_INLINE int twoLaneLoop(Lane& laneA, Lane& laneB, const uint8_t* bytes, uint64_t rounds) {
    Lane a = laneA;
    Lane b = laneB;
    int escapes = 0;
    for (; rounds > 0; --rounds) {
        escapes = int(!hotSteps(a, bytes)) | (int(!hotSteps(b, bytes)) << 1);
        if (escapes)
            break;
    }
    laneA = a;
    laneB = b;
    return escapes;
}

} // namespace

// The expansion over FastCodeReader's state. The careful path takes one code
// word at a time through FastCodeReader::next (the start, escapes, the last
// words of the input); the hot loop takes up to six at a time.
class Expander {
public:
    // One code word with, for an escape, its side value. Returns false where
    // the sequential expansion stops: no further complete code word, the
    // output full when the code word was read, or a side value cut off.
    static bool takeEvent(FastCodeReader& reader, Sink& sink, ExpansionResult& result) {
        int16_t value = 0;
        uint8_t kind = 0;
        sink.absolute = false;
        if (!reader.next(value, kind) || sink.next >= sink.end)
            return false;
        if (kind != kKindAbsolute) {
            if (sink.started) {
                sink.value += uint32_t(int32_t(value));
                *sink.next++ = uint16_t(sink.value | kPixelFlags);
            }
            return true;
        }
        if (value == kEscapeValue)
            return finishEscape(reader, sink, result);
        sink.absolute = true;
        sink.started = true;
        sink.value = uint32_t(value);
        *sink.next++ = value == 0 ? kSeparatorWord : uint16_t(kPixelFlags | uint16_t(value));
        return true;
    }

    // The side value after an escape, and the escape's separator.
    static bool finishEscape(FastCodeReader& reader, Sink& sink, ExpansionResult& result) {
        int16_t side = 0;
        uint8_t sideKind = kKindAbsolute;
        if (!reader.next(side, sideKind))
            return false;
        result.sideValueSeen = true;
        result.sideValue = uint16_t(side);
        sink.absolute = true;
        sink.started = true;
        sink.lastEscape = sink.next;
        *sink.next++ = kSeparatorWord;
        sink.value = 0;
        return true;
    }

    static Lane lane(const FastCodeReader& r, const Sink& s) {
        return {r.m_buffer, r.m_nextWord, r.m_avail, s.value, s.next};
    }
    static void store(const Lane& lane, FastCodeReader& r, Sink& s) {
        r.m_buffer = lane.buffer;
        r.m_avail = lane.avail;
        r.m_nextWord = lane.nextWord;
        s.value = lane.value;
        s.next = lane.out;
    }

    // Rounds of hotSteps the lane can take without a check: each one reads at
    // most three words (48 bits) and writes at most six.
    static uint64_t rounds(const Lane& lane, uint64_t wordCount, const uint16_t* end,
                           uint64_t stopBit) {
        if (lane.nextWord + 4 > wordCount || end - lane.out < 6)
            return 0;
        uint64_t n = std::min<uint64_t>((wordCount - 4 - lane.nextWord) / 3,
                                        uint64_t(end - lane.out - 6) / 6) +
                     1;
        if (stopBit != UINT64_MAX) {
            const uint64_t bit = lane.bitOffset();
            if (bit + 48 > stopBit)
                return 0;
            n = std::min(n, (stopBit - 48 - bit) / 48 + 1);
        }
        return n;
    }

    // Hot loop of one lane up to stopBit (or the last words, or a full output).
    // Returns false when the lane ended (a side value cut off).
    static bool runHot(FastCodeReader& reader, Sink& sink, ExpansionResult& result,
                       uint64_t stopBit) {
        for (;;) {
            Lane l = lane(reader, sink);
            const uint64_t n = rounds(l, reader.m_wordCount, sink.end, stopBit);
            if (n == 0)
                return true;
            const int escapes = loops().one(l, reader.m_bytes, n);
            store(l, reader, sink);
            if (escapes && !finishEscape(reader, sink, result))
                return false;
        }
    }

    static void runCareful(FastCodeReader& reader, Sink& sink, ExpansionResult& result) {
        while (takeEvent(reader, sink, result)) {
        }
    }

    static void finish(FastCodeReader& reader, Sink& sink, ExpansionResult& result) {
        if (runHot(reader, sink, result, UINT64_MAX))
            runCareful(reader, sink, result);
    }

    static ExpansionResult sequential(FastCodeReader& reader, uint16_t* out, uint32_t limit) {
        ExpansionResult result;
        Sink sink{out, out + limit};
        // Up to the first word written differences are dropped: the careful path.
        bool going = true;
        while (going && !sink.started)
            going = takeEvent(reader, sink, result);
        if (going)
            finish(reader, sink, result);
        result.count = uint32_t(sink.next - out);
        result.end = reader.position();
        return result;
    }

    static ExpansionResult twoLanes(const uint8_t* bytes, int64_t wordCount, BitPosition start,
                                    uint16_t* out, uint32_t limit);

private:
    // The hot loops built for the processor at hand: with BMI2 a shift by a
    // variable count is one plain instruction, which shortens every step.
    struct Loops {
        int (*one)(Lane&, const uint8_t*, uint64_t);
        int (*two)(Lane&, Lane&, const uint8_t*, uint64_t);
    };
    static const Loops& loops();
};

namespace {

int oneLanePlain(Lane& lane, const uint8_t* bytes, uint64_t rounds) {
    return oneLaneLoop(lane, bytes, rounds);
}
int twoLanesPlain(Lane& a, Lane& b, const uint8_t* bytes, uint64_t rounds) {
    return twoLaneLoop(a, b, bytes, rounds);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define KX_HAVE_BMI2_LOOPS 1
__attribute__((target("bmi2"))) int oneLaneBmi2(Lane& lane, const uint8_t* bytes, uint64_t rounds) {
    return oneLaneLoop(lane, bytes, rounds);
}
__attribute__((target("bmi2"))) int twoLanesBmi2(Lane& a, Lane& b, const uint8_t* bytes,
                                                 uint64_t rounds) {
    return twoLaneLoop(a, b, bytes, rounds);
}
#endif

constexpr int64_t kTwoLaneMinWords = 8192;
// Code words of the second reader whose starts are kept for the meeting; a
// reader started inside a code word falls into step within a few.
constexpr int kMeetingWindow = 256;
// The second reader's careful start goes on past the window to its first
// absolute value, but not further than this.
constexpr int kStartLimit = 16384;

// The second reader's words before they join the output; kept per thread so
// that playback does not allocate a megabyte per frame.
std::vector<uint16_t>& secondLaneBuffer(size_t words) {
    thread_local std::vector<uint16_t> buffer;
    if (buffer.size() < words)
        buffer.resize(words);
    return buffer;
}

} // namespace

const Expander::Loops& Expander::loops() {
#ifdef KX_HAVE_BMI2_LOOPS
    static const Loops chosen = __builtin_cpu_supports("bmi2") ? Loops{oneLaneBmi2, twoLanesBmi2}
                                                               : Loops{oneLanePlain, twoLanesPlain};
#else
    static const Loops chosen{oneLanePlain, twoLanesPlain};
#endif
    return chosen;
}

ExpansionResult Expander::twoLanes(const uint8_t* bytes, int64_t wordCount, BitPosition start,
                                   uint16_t* out, uint32_t limit) {
    FastCodeReader first(bytes, wordCount, start);
    ExpansionResult firstResult;
    Sink firstSink{out, out + limit};
    // The sequential result: the first reader stopped where it stands, or
    // finished alone from there.
    const auto stopped = [&] {
        firstResult.count = uint32_t(firstSink.next - out);
        firstResult.end = first.position();
        return firstResult;
    };
    const auto alone = [&] {
        finish(first, firstSink, firstResult);
        return stopped();
    };
    while (!firstSink.started)
        if (!takeEvent(first, firstSink, firstResult))
            return stopped();

    // The second reader starts at the middle word as if a pixel of value 0
    // had been written before it.
    const uint64_t words = uint64_t(wordCount);
    const uint64_t middle = (first.m_nextWord + words) / 2;
    const uint64_t middleBit = middle * 16;
    // At most one word per five bits, plus the word of a final escape.
    const size_t secondCapacity =
        std::min<size_t>(kMaxExpandedWords, size_t((words - middle) * 16 / 5 + 2));
    std::vector<uint16_t>& buffer = secondLaneBuffer(secondCapacity);
    FastCodeReader second(bytes, wordCount, {uint32_t(middle), 0});
    ExpansionResult secondResult;
    Sink secondSink{buffer.data(), buffer.data() + secondCapacity};
    secondSink.started = true;

    // The starts of the second reader's first code words and which of them
    // set an absolute value (pixel value, separator or escape); then on to
    // the first absolute value past them, so that the words whose values
    // depend on what came before the middle are known.
    std::array<uint64_t, kMeetingWindow> starts;
    std::array<bool, kMeetingWindow> absolute;
    int recorded = 0;
    int64_t absoluteAfterWindow = -1;
    bool dependentKnown = false;
    bool secondGoing = true;
    for (int index = 0; secondGoing; ++index) {
        const bool inWindow = index < kMeetingWindow;
        if (inWindow)
            starts[size_t(index)] = second.bitOffset();
        secondGoing = takeEvent(second, secondSink, secondResult);
        const bool isAbsolute = secondGoing && secondSink.absolute;
        if (inWindow) {
            absolute[size_t(index)] = isAbsolute;
            recorded = index + 1;
        } else if (isAbsolute) {
            absoluteAfterWindow = index;
        }
        if (index + 1 >= kMeetingWindow && isAbsolute) {
            dependentKnown = true;
            break;
        }
        if (index + 1 >= kStartLimit)
            break;
    }
    if (!secondGoing)
        dependentKnown = true;

    // Both readers in one loop, the first one up to the middle.
    const Loops& hot = loops();
    while (secondGoing) {
        Lane a = lane(first, firstSink);
        Lane b = lane(second, secondSink);
        const uint64_t n = std::min(rounds(a, words, firstSink.end, middleBit),
                                    rounds(b, words, secondSink.end, UINT64_MAX));
        if (n == 0)
            break;
        const int escapes = hot.two(a, b, bytes, n);
        store(a, first, firstSink);
        store(b, second, secondSink);
        if ((escapes & 1) && !finishEscape(first, firstSink, firstResult))
            return stopped();
        if ((escapes & 2) && !finishEscape(second, secondSink, secondResult))
            secondGoing = false;
    }
    if (!runHot(first, firstSink, firstResult, middleBit))
        return stopped();
    if (secondGoing && runHot(second, secondSink, secondResult, UINT64_MAX))
        runCareful(second, secondSink, secondResult);

    // The first reader goes on one code word at a time until it stands where
    // the second one started a code word.
    int meeting = 0;
    for (;;) {
        const uint64_t at = first.bitOffset();
        while (meeting < recorded && starts[size_t(meeting)] < at)
            ++meeting;
        if (meeting == recorded)
            return alone(); // never in step
        if (starts[size_t(meeting)] == at)
            break;
        if (!takeEvent(first, firstSink, firstResult))
            return stopped();
    }

    // Every code word of the second reader wrote one word, so code word
    // `meeting` wrote word `meeting`.
    const uint32_t firstCount = uint32_t(firstSink.next - out);
    const uint32_t secondCount = uint32_t(secondSink.next - buffer.data());
    const uint64_t total = uint64_t(firstCount) + secondCount - uint32_t(meeting);
    // A full output changes where the sequential reading stops: leave the
    // last words to it.
    if (!dependentKnown || secondSink.next >= secondSink.end || total >= limit)
        return alone();

    uint32_t dependentEnd = absoluteAfterWindow >= 0 ? uint32_t(absoluteAfterWindow) : secondCount;
    for (int i = meeting; i < recorded; ++i)
        if (absolute[size_t(i)]) {
            dependentEnd = uint32_t(i);
            break;
        }
    dependentEnd = std::min(dependentEnd, secondCount);
    // Up to its first absolute value the second reader added its differences
    // to its own guess; move them onto the first reader's value.
    const uint32_t guess = meeting > 0 ? buffer[size_t(meeting) - 1] : 0u;
    const uint32_t shift = firstSink.value - guess;
    uint16_t* to = out + firstCount;
    for (uint32_t i = uint32_t(meeting); i < dependentEnd; ++i)
        *to++ = uint16_t(((buffer[i] + shift) & 0x3FFFu) | kPixelFlags);
    std::memcpy(to, buffer.data() + dependentEnd, (secondCount - dependentEnd) * sizeof(uint16_t));

    ExpansionResult result = firstResult;
    if (secondSink.lastEscape && secondSink.lastEscape - buffer.data() >= meeting) {
        result.sideValueSeen = true;
        result.sideValue = secondResult.sideValue;
    }
    result.count = uint32_t(total);
    result.end = second.position();
    return result;
}

ExpansionResult expand(const uint8_t* bytes, int64_t wordCount, BitPosition start, uint16_t* out,
                       uint32_t capacity) {
    const uint32_t limit = std::min(capacity, kMaxExpandedWords);
    if (wordCount - int64_t(start.wordIndex) >= kTwoLaneMinWords && limit >= kTwoLaneMinWords)
        return Expander::twoLanes(bytes, wordCount, start, out, limit);
    FastCodeReader reader(bytes, wordCount, start);
    return Expander::sequential(reader, out, limit);
}

ExpansionResult expandBitwise(const uint8_t* bytes, int64_t wordCount, BitPosition start,
                              uint16_t* out, uint32_t capacity) {
    BitwiseCodeReader reader(bytes, wordCount, start);
    return expandWith(reader, out, std::min(capacity, kMaxExpandedWords));
}

} // namespace compressed
