// Frame decoder speed on a 640 x 512 frame, beside the memory-bound limit of
// touching the same words once (mask and copy).
#include "recording/DataConverter.h"
#include "recording/FrameDecoder.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 512;

// A smooth scene with noise, rows separated by 2 to 5 blanking words, as the
// camera sends them.
const std::vector<uint16_t>& frameWords() {
    static const std::vector<uint16_t> words = [] {
        std::vector<uint16_t> w;
        uint32_t state = 12345;
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return state >> 16;
        };
        for (int r = 0; r < kHeight; ++r) {
            const int blanks = 2 + int(next() % 4);
            for (int k = 0; k < blanks; ++k)
                w.push_back(uint16_t(0x4000 | (next() & 0x3FFF)));
            for (int c = 0; c < kWidth; ++c) {
                const uint32_t value = 7000u + uint32_t(r) + uint32_t(c) / 2u + next() % 16u;
                w.push_back(uint16_t(0xC000 | value));
            }
        }
        w.push_back(0x4000);
        w.push_back(0x4000);
        return w;
    }();
    return words;
}

// Fixed-length inner loops so that the compiler emits vector code at -O2 too:
// the baseline is the fastest pass over the words, not a scalar loop.
void maskWords(const uint16_t* __restrict src, uint16_t* __restrict dst, size_t n) {
    size_t k = 0;
    for (; k + 16 <= n; k += 16)
        for (size_t j = 0; j < 16; ++j)
            dst[k + j] = uint16_t(src[k + j] & 0x3FFF);
    for (; k < n; ++k)
        dst[k] = uint16_t(src[k] & 0x3FFF);
}

void setFrameRate(benchmark::State& state) {
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_MaskBaseline(benchmark::State& state) {
    const std::vector<uint16_t>& words = frameWords();
    std::vector<uint16_t> out(words.size());
    for (auto _ : state) {
        maskWords(words.data(), out.data(), words.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    setFrameRate(state);
}
BENCHMARK(BM_MaskBaseline);

void BM_FrameDecoder(benchmark::State& state) {
    const std::vector<uint16_t>& words = frameWords();
    std::vector<uint16_t> raw;
    for (auto _ : state) {
        const framedecoder::Result r =
            framedecoder::decode(words.data(), words.size(), 0, framedecoder::Corrections(), raw);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(raw.data());
    }
    setFrameRate(state);
}
BENCHMARK(BM_FrameDecoder);

void BM_processDataChunk(benchmark::State& state) {
    const std::vector<uint16_t>& words = frameWords();
    DataConverter converter;
    for (auto _ : state) {
        converter.processDataChunk(words.data(), int64_t(words.size()), 0);
        benchmark::DoNotOptimize(converter.getRawBuffer().data());
    }
    if (converter.getImageWidth() != kWidth || converter.getImageHeight() != kHeight)
        state.SkipWithError("the frame did not decode to 640 x 512");
    setFrameRate(state);
}
BENCHMARK(BM_processDataChunk);

} // namespace

BENCHMARK_MAIN();
