// Cost of the simulator's steps for one 640 x 512 frame. The baseline is the
// uncompressed frame (a header and a copy of the words), so the encoder's
// bit packing and the scene rendering show as multiples of a plain copy.

#include "synth/Synth.h"

#include <benchmark/benchmark.h>

namespace {

synth::SceneOptions scene640() {
    synth::SceneOptions s;
    s.width = 640;
    s.height = 512;
    return s;
}

std::vector<uint16_t> words640() {
    const synth::SceneOptions s = scene640();
    return synth::makeWordStream(synth::renderScene(s, 0), s.width, s.height, {});
}

void BM_BaselineRawFrame640(benchmark::State& state) {
    const std::vector<uint16_t> words = words640();
    synth::HeaderOptions header;
    for (auto _ : state)
        benchmark::DoNotOptimize(synth::makeRawFrame(header, words));
}
BENCHMARK(BM_BaselineRawFrame640)->Unit(benchmark::kMillisecond);

void BM_CompressWords640(benchmark::State& state) {
    const std::vector<uint16_t> words = words640();
    for (auto _ : state)
        benchmark::DoNotOptimize(synth::compressWords(words, 1));
}
BENCHMARK(BM_CompressWords640)->Unit(benchmark::kMillisecond);

void BM_RenderScene640(benchmark::State& state) {
    const synth::SceneOptions s = scene640();
    int frame = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(synth::renderScene(s, frame++));
}
BENCHMARK(BM_RenderScene640)->Unit(benchmark::kMillisecond);

void BM_CompressedMovie640x10(benchmark::State& state) {
    synth::MovieOptions o;
    o.frames = 10;
    o.compressed = true;
    o.scene = scene640();
    o.telemetry = synth::Telemetry::MAVLink;
    for (auto _ : state)
        benchmark::DoNotOptimize(synth::makeMovie(o));
}
BENCHMARK(BM_CompressedMovie640x10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
