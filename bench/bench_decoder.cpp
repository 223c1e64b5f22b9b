// Frame decoder speed on a 640 x 512 frame, beside the memory-bound limit of
// touching the same words once (mask and copy).
#include "recording/DataConverter.h"
#include "recording/FrameDecoder.h"
#include "synth/Synth.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 512;

// The simulator's scene (smooth background, warm objects, vignetting, sensor
// noise) streamed as the camera sends it: rows between runs of 2 to 5
// blanking words.
const std::vector<uint16_t>& frameWords() {
    static const std::vector<uint16_t> words = [] {
        synth::SceneOptions scene;
        scene.width = kWidth;
        scene.height = kHeight;
        synth::StreamOptions stream;
        stream.blankingMin = 2;
        stream.blankingMax = 5;
        return synth::makeWordStream(synth::renderScene(scene, 0), kWidth, kHeight, stream);
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
