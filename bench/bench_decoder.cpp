// Frame decoder speed on a 640 x 512 frame, beside the memory-bound limit of
// touching the same words once (mask and copy). The figure that counts is
// BM_processDataChunk against BM_MaskBaseline/kernel:0, both on the best
// instruction set of the processor.
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
// the baseline is the fastest pass over the words, not a scalar loop. Like the
// decoder it runs with AVX2 where the processor has it, so both sides of the
// comparison use the same instruction set.
#define MASK_WORDS_BODY                                                                            \
    size_t k = 0;                                                                                  \
    for (; k + 16 <= n; k += 16)                                                                   \
        for (size_t j = 0; j < 16; ++j)                                                            \
            dst[k + j] = uint16_t(src[k + j] & 0x3FFF);                                            \
    for (; k < n; ++k)                                                                             \
        dst[k] = uint16_t(src[k] & 0x3FFF);

void maskWordsSse2(const uint16_t* __restrict src, uint16_t* __restrict dst, size_t n) {
    MASK_WORDS_BODY
}
#if defined(__x86_64__)
__attribute__((target("avx2"))) void maskWordsAvx2(const uint16_t* __restrict src,
                                                   uint16_t* __restrict dst, size_t n) {
    MASK_WORDS_BODY
}
#endif

void maskWords(const uint16_t* src, uint16_t* dst, size_t n, framedecoder::Kernel kernel) {
#if defined(__x86_64__)
    if (kernel == framedecoder::Kernel::Avx2)
        return maskWordsAvx2(src, dst, n);
#endif
    (void)kernel;
    maskWordsSse2(src, dst, n);
}

void setFrameRate(benchmark::State& state) {
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Argument: the instruction set, as a decoder kernel (Best: what the decoder
// picks on this processor).
void BM_MaskBaseline(benchmark::State& state) {
    const std::vector<uint16_t>& words = frameWords();
    const framedecoder::Kernel kernel =
        framedecoder::resolvedKernel(framedecoder::Kernel(state.range(0)));
    std::vector<uint16_t> out(words.size());
    for (auto _ : state) {
        maskWords(words.data(), out.data(), words.size(), kernel);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    setFrameRate(state);
}
BENCHMARK(BM_MaskBaseline)
    ->ArgName("kernel")
    ->Arg(int(framedecoder::Kernel::Best))
    ->Arg(int(framedecoder::Kernel::Sse2));

void BM_FrameDecoder(benchmark::State& state) {
    const std::vector<uint16_t>& words = frameWords();
    const auto kernel = framedecoder::Kernel(state.range(0));
    if (!framedecoder::kernelAvailable(kernel)) {
        state.SkipWithError("kernel not available on this processor");
        return;
    }
    std::vector<uint16_t> raw;
    for (auto _ : state) {
        const framedecoder::Result r = framedecoder::decode(
            words.data(), words.size(), 0, framedecoder::Corrections(), raw, kernel);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(raw.data());
    }
    setFrameRate(state);
}
// Best is what processDataChunk uses; the others for comparison (0 best,
// 1 portable, 2 SSE2, 3 AVX2).
BENCHMARK(BM_FrameDecoder)->ArgName("kernel")->DenseRange(0, 3);

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
