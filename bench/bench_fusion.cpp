// Merge against `cat` of the same files into the same folder, and opening a
// fusion recording against opening the .TMC of its thermal frames.
//
// The merge joins two copies of a 1 GiB movie (KALORIX_BENCH_MOVIE, default
// the file bench_movie makes: /tmp/kalorix-bench-1GiB-v2.TMC) into the
// movie's folder. The fusion files are made at the first run as
// /tmp/kalorix-bench-fusion.TFC and .TMC (delete them freely).

#include "app/KalorixController.h"
#include "recording/DataConverter.h"
#include "recording/FileManipulation.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

QString moviePath() {
    const QString path = qEnvironmentVariable("KALORIX_BENCH_MOVIE");
    return path.isEmpty() ? QStringLiteral("/tmp/kalorix-bench-1GiB-v2.TMC") : path;
}

QString mergedPath() {
    return QFileInfo(moviePath()).absolutePath() + QStringLiteral("/kalorix-bench-merged.TMC");
}

void BM_MergeTwoMovies(benchmark::State& state) {
    const QString movie = moviePath();
    if (!QFileInfo::exists(movie)) {
        state.SkipWithError("no 1 GiB movie; run bench_movie first");
        return;
    }
    for (auto _ : state) {
        if (!FileManipulation::merge({movie, movie}, mergedPath()))
            state.SkipWithError("merge failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 2 * QFileInfo(movie).size());
    QFile::remove(mergedPath());
}

void BM_CatTwoMovies(benchmark::State& state) {
    const QByteArray movie = moviePath().toLocal8Bit();
    const QByteArray command =
        "cat '" + movie + "' '" + movie + "' > '" + mergedPath().toLocal8Bit() + "'";
    for (auto _ : state) {
        if (std::system(command.constData()) != 0)
            state.SkipWithError("cat failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 2 * QFileInfo(moviePath()).size());
    QFile::remove(mergedPath());
}

// 300 pairs of a 640 x 512 thermal frame and a 1280 x 960 daylight picture.
synth::FusionOptions fusionOptions() {
    synth::FusionOptions o;
    o.thermal.frames = 300;
    o.thermal.version = 6;
    o.thermal.compressed = true;
    return o;
}

bool ensureFusionFiles() {
    const QString fusion = QStringLiteral("/tmp/kalorix-bench-fusion.TFC");
    const QString movie = QStringLiteral("/tmp/kalorix-bench-fusion.TMC");
    if (QFileInfo::exists(fusion) && QFileInfo::exists(movie))
        return true;
    const synth::FusionOptions o = fusionOptions();
    return synth::writeFile(fusion, synth::makeFusion(o)) &&
           synth::writeFile(movie, synth::makeMovie(o.thermal));
}

// What the window does on open: index, convert frame 1 and, for the fusion
// recording, decode daylight picture 1.
void openRecording(benchmark::State& state, const char* name) {
    if (!ensureFusionFiles()) {
        state.SkipWithError("cannot write the fusion files");
        return;
    }
    DataConverter converter;
    KalorixController controller(&converter);
    for (auto _ : state) {
        ThermalImageConversionSet set{5000, 9000, 1, false, 0, 0, false, true, 1.0f, false};
        QImage thermal;
        QImage daylight;
        if (!controller.loadRawDataFile(QString::fromLatin1(name), 0, ksDefines::NoSerialData, set,
                                        false, thermal, daylight))
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(daylight.constBits());
    }
}

void BM_OpenMovie(benchmark::State& state) {
    openRecording(state, "/tmp/kalorix-bench-fusion.TMC");
}

void BM_OpenFusion(benchmark::State& state) {
    openRecording(state, "/tmp/kalorix-bench-fusion.TFC");
}

} // namespace

BENCHMARK(BM_CatTwoMovies)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_MergeTwoMovies)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OpenMovie)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenFusion)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
