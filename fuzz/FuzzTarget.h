#pragma once

// What every fuzz target shares. A target is one function over a byte span
// that checks the invariants of the unit it drives and aborts when one breaks.
// Built with the libFuzzer option it becomes LLVMFuzzerTestOneInput; in the
// ordinary builds the same functions are linked into one replay program that
// runs the kept corpus as a test.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fuzzing {

using TargetFunction = int (*)(const uint8_t* data, size_t size);
// Registers a target for the replay program; returns true.
bool registerTarget(const char* name, TargetFunction function);

// Discards the console lines the core writes (dropped rows, rejected records):
// they would only slow the search down.
void silenceConsole();

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

// The parameters a target draws from the front of its input; bytes missing
// at the end read as zero, so every input is a valid case.
class Params {
public:
    Params(const uint8_t* data, size_t size)
        : m_data(data)
        , m_size(size) {}
    uint8_t u8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t u16() { return uint16_t(u8() | (u8() << 8)); }
    uint32_t u32() { return uint32_t(u16()) | (uint32_t(u16()) << 16); }
    // Everything not yet taken, copied into a buffer of exactly its size so
    // that the sanitizer sees any read past it.
    std::vector<uint8_t> rest() const {
        return std::vector<uint8_t>(m_data + std::min(m_pos, m_size), m_data + m_size);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// The first zero byte of [data, data + size), or null; also for an empty span,
// whose data pointer may itself be null.
inline const char* firstZero(const void* data, size_t size) {
    return size ? static_cast<const char*>(std::memchr(data, 0, size)) : nullptr;
}

// Block sizes for the units that are fed a stream piece by piece: a small
// deterministic generator, so that the fuzzer varies the cut points through
// the seed and the largest block.
class BlockSizes {
public:
    BlockSizes(uint32_t seed, uint32_t largest)
        : m_state(seed * 0x9E3779B97F4A7C15ull + 1)
        , m_largest(largest) {
        if (m_state == 0)
            m_state = 1;
    }
    // 0 to largest bytes; an empty block now and then is part of the test.
    size_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return size_t(m_state % (uint64_t(m_largest) + 1));
    }

private:
    uint64_t m_state;
    uint32_t m_largest;
};

// Cuts bytes into blocks of the sizes drawn from seed and largest and hands
// each to feed(position, block) as a copy of exactly its size, so that a read
// past a block does not go unnoticed.
template <class Feed>
void feedInBlocks(const std::vector<uint8_t>& bytes, uint32_t seed, uint32_t largest, Feed feed) {
    BlockSizes sizes(seed, largest);
    size_t position = 0;
    while (position < bytes.size()) {
        const size_t n = std::min(sizes.next(), bytes.size() - position);
        const std::vector<uint8_t> block(bytes.begin() + long(position),
                                         bytes.begin() + long(position + n));
        feed(position, block);
        position += n;
    }
}

// The input of a target fed block by block: the block-size seed (u32), the
// largest block (u16, taken modulo largestBlock, plus 1), then the bytes.
struct BlockedInput {
    BlockedInput(const uint8_t* data, size_t size, uint32_t largestBlock) {
        Params params(data, size);
        seed = params.u32();
        largest = 1 + params.u16() % largestBlock;
        bytes = params.rest();
    }
    template <class Feed>
    void feed(Feed feed) const {
        feedInBlocks(bytes, seed, largest, feed);
    }
    uint32_t seed = 0;
    uint32_t largest = 1;
    std::vector<uint8_t> bytes;
};

} // namespace fuzzing

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzzing::fail(#condition, __FILE__, __LINE__);                                       \
    } while (false)

#if defined(KALORIX_FUZZ_REPLAY)
#define KALORIX_FUZZ_TARGET(name)                                                                  \
    static int name##Target(const uint8_t* data, size_t size);                                     \
    static const bool name##Registered = ::fuzzing::registerTarget(#name, name##Target);           \
    static int name##Target(const uint8_t* data, size_t size)
#else
#define KALORIX_FUZZ_TARGET(name)                                                                  \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#endif
