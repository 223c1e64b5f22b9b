// Corrections beside what they are measured against, in one run:
// - the offset map over 1,000 frames of a 640 x 512 movie against decoding
//   the same 1,000 frames (the map's cost on top is the summing and the
//   smoothing), and those frames decoded with every correction on;
// - one frame decoded with the drift offset, the offset map and the lens map
//   against the same frame without corrections.
#include "recording/DataConverter.h"
#include "recording/FrameDecoder.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 512;
constexpr int kFrames = 1000;

synth::MovieOptions movieOptions() {
    synth::MovieOptions o;
    o.frames = kFrames;
    o.version = 6;
    o.scene.width = kWidth;
    o.scene.height = kHeight;
    return o;
}

bool movieWritten = false;

// The movie is written once, frame by frame, into the temporary folder.
const QString& moviePath() {
    static const QString path = [] {
        movieWritten = true;
        const QString name = QDir::tempPath() + QStringLiteral("/kalorix-bench-corrections.THM");
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        const synth::MovieOptions o = movieOptions();
        QByteArray carry;
        for (int n = 1; n <= kFrames; ++n)
            file.write(synth::makeMovieFrame(o, n, carry));
        return name;
    }();
    return path;
}

struct MovieRemover {
    ~MovieRemover() {
        if (movieWritten && !moviePath().isEmpty())
            QFile::remove(moviePath());
    }
};

void BM_Decode1000Frames(benchmark::State& state) {
    DataConverter converter;
    if (converter.parseVideoFile(moviePath(), false, false) != kFrames)
        return state.SkipWithError("movie not written");
    kx::DecodedFrame frame;
    for (auto _ : state) {
        for (int n = 1; n <= kFrames; ++n)
            converter.decodeFrame(moviePath(), n, ksDefines::NoSerialData, frame);
        benchmark::DoNotOptimize(frame.meanRaw);
    }
}
BENCHMARK(BM_Decode1000Frames)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same frames with drift, offset map and lens map all switched on.
void BM_Decode1000FramesCorrected(benchmark::State& state) {
    DataConverter converter;
    if (converter.parseVideoFile(moviePath(), false, false) != kFrames)
        return state.SkipWithError("movie not written");
    converter.addFFCFrame(500);
    converter.calcFrameTempDifferenceMap();
    converter.changedDriftCompensation(true);
    converter.executeNUC(1, 20, 50);
    converter.redecodeMovieFrame(1);
    converter.lensCorrection();
    kx::DecodedFrame frame;
    for (auto _ : state) {
        for (int n = 1; n <= kFrames; ++n)
            converter.decodeFrame(moviePath(), n, ksDefines::NoSerialData, frame);
        benchmark::DoNotOptimize(frame.meanRaw);
    }
}
BENCHMARK(BM_Decode1000FramesCorrected)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_NucOver1000Frames(benchmark::State& state) {
    DataConverter converter;
    if (converter.parseVideoFile(moviePath(), false, false) != kFrames)
        return state.SkipWithError("movie not written");
    for (auto _ : state) {
        if (!converter.executeNUC(1, kFrames, 50))
            return state.SkipWithError("map refused");
    }
}
BENCHMARK(BM_NucOver1000Frames)->Unit(benchmark::kMillisecond)->Iterations(3);

const std::vector<uint16_t>& frameWords() {
    static const std::vector<uint16_t> words = [] {
        const synth::MovieOptions o = movieOptions();
        return synth::makeWordStream(synth::renderScene(o.scene, 0), kWidth, kHeight,
                                     synth::StreamOptions());
    }();
    return words;
}

// 0: none, 1: drift, 2: offset map and lens map, 3: all three.
void BM_DecodeFrameWithCorrections(benchmark::State& state) {
    const size_t pixels = size_t(kWidth) * kHeight;
    std::vector<float> drift(1, -12.4f);
    std::vector<int32_t> nuc(pixels), lens(pixels);
    for (size_t k = 0; k < pixels; ++k) {
        nuc[k] = int32_t(k % 41) - 20;
        lens[k] = -int32_t(k % 29);
    }
    framedecoder::Corrections c;
    const int which = int(state.range(0));
    if (which & 1)
        c.driftOffsets = drift.data(), c.driftCount = 1;
    // The converter hands both tables over as one combined table.
    const std::vector<int16_t> shifts =
        framedecoder::combinedShifts(nuc.data(), pixels, lens.data(), pixels);
    if (which & 2)
        c.pixelShifts = shifts.data(), c.pixelShiftCount = pixels;
    std::vector<uint16_t> raw;
    const std::vector<uint16_t>& words = frameWords();
    for (auto _ : state) {
        const framedecoder::Result r = framedecoder::decode(words.data(), words.size(), 0, c, raw);
        benchmark::DoNotOptimize(r.sum);
    }
}
BENCHMARK(BM_DecodeFrameWithCorrections)->Arg(0)->Arg(1)->Arg(2)->Arg(3);

} // namespace

int main(int argc, char** argv) {
    MovieRemover remover;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
