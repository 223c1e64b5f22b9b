#include "recording/DataConverter.h"

#include <QImage>
#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 512;

// A scene with a smooth gradient and some texture, spanning the window used
// below so that every stretch of the palette is visited.
std::vector<uint16_t> makeFrame() {
    std::vector<uint16_t> raw(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            raw[size_t(y) * kWidth + x] = uint16_t(7000 + x * 2 + y + ((x * 7 + y * 13) % 17));
    return raw;
}

// Baseline: the cheapest possible pass that writes the same RGB888 image, one
// byte of every raw value copied into the three channels.
void BM_BaselineCopyToRGB888(benchmark::State& state) {
    const std::vector<uint16_t> raw = makeFrame();
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* line = image.scanLine(y);
            const uint16_t* src = raw.data() + size_t(y) * kWidth;
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t v = uint8_t(src[x] >> 6);
                line[3 * x] = v;
                line[3 * x + 1] = v;
                line[3 * x + 2] = v;
            }
        }
        benchmark::DoNotOptimize(image.constBits());
        benchmark::ClobberMemory();
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// processRawData with the iron palette and a fixed window (a displayed or
// exported frame whose window does not change).
void BM_ProcessRawDataIron(benchmark::State& state) {
    DataConverter converter;
    converter.setRawFrame(makeFrame(), kWidth, kHeight);
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    for (auto _ : state) {
        const bool ok = converter.changeImageParameters(7000, 8800, 1, false, 0, 0, false, image);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The window changes every frame (automatic range during playback): the colour
// table is rebuilt for each frame.
void BM_ProcessRawDataIronNewWindowEachFrame(benchmark::State& state) {
    DataConverter converter;
    converter.setRawFrame(makeFrame(), kWidth, kHeight);
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    unsigned shift = 0;
    for (auto _ : state) {
        shift = (shift + 1) % 50;
        const bool ok =
            converter.changeImageParameters(7000 + shift, 8800, 1, false, 0, 0, false, image);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The automatic window alone (histogram and trim) over the same frame.
void BM_CreateHistogram(benchmark::State& state) {
    DataConverter converter;
    const std::vector<uint16_t> raw = makeFrame();
    for (auto _ : state) {
        converter.createHistogram(&raw);
        benchmark::DoNotOptimize(converter.getLowerRawValueBound());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_BaselineCopyToRGB888)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessRawDataIron)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessRawDataIronNewWindowEachFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateHistogram)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
