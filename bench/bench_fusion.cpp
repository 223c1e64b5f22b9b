// Merge against `cat` of the same files into the same folder, and opening a
// fusion recording against opening the .TMC of its thermal frames.
//
// The merge joins two 1 GiB movies into their folder: KALORIX_BENCH_MOVIE
// (default the file bench_movie makes: /tmp/kalorix-bench-1GiB-v2.TMC) and a
// copy of it beside it ("-copy" before the suffix, made at the first run;
// delete it freely). Keep them on a disk, not in memory (tmpfs), so that
// the kernel copies between files as it would for a user. The fusion files are made at the first
// run as /tmp/kalorix-bench-fusion.TFC and .TMC (delete them freely).

#include "app/KalorixController.h"
#include "recording/DataConverter.h"
#include "recording/FileManipulation.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>

namespace {

QString moviePath() {
    const QString path = qEnvironmentVariable("KALORIX_BENCH_MOVIE");
    return path.isEmpty() ? QStringLiteral("/tmp/kalorix-bench-1GiB-v2.TMC") : path;
}

QString secondMoviePath() {
    const QFileInfo movie(moviePath());
    return movie.absolutePath() + QLatin1Char('/') + movie.completeBaseName() +
           QStringLiteral("-copy.") + movie.suffix();
}

bool ensureMovies(benchmark::State& state) {
    if (!QFileInfo::exists(moviePath())) {
        state.SkipWithError("no 1 GiB movie; run bench_movie first");
        return false;
    }
    if (!QFileInfo::exists(secondMoviePath()) && !QFile::copy(moviePath(), secondMoviePath())) {
        state.SkipWithError("cannot copy the movie");
        return false;
    }
    return true;
}

qint64 movieBytes() {
    return QFileInfo(moviePath()).size() + QFileInfo(secondMoviePath()).size();
}

// KALORIX_BENCH_MERGE_DIR puts the output on another file system (for
// example /dev/shm), where the kernel cannot copy between the files and both
// the merge and `cat` read and write through buffers.
QString mergedPath() {
    const QString dir = qEnvironmentVariable("KALORIX_BENCH_MERGE_DIR");
    return (dir.isEmpty() ? QFileInfo(moviePath()).absolutePath() : dir) +
           QStringLiteral("/kalorix-bench-merged.TMC");
}

// Every copy starts with no output and no dirty pages of an earlier one, so
// that neither side pays for the other's writing back.
void startClean(benchmark::State& state) {
    state.PauseTiming();
    QFile::remove(mergedPath());
    ::sync();
    state.ResumeTiming();
}

void BM_MergeTwoMovies(benchmark::State& state) {
    if (!ensureMovies(state))
        return;
    for (auto _ : state) {
        startClean(state);
        if (!FileManipulation::merge({moviePath(), secondMoviePath()}, mergedPath()))
            state.SkipWithError("merge failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * movieBytes());
    QFile::remove(mergedPath());
}

void BM_CatTwoMovies(benchmark::State& state) {
    if (!ensureMovies(state))
        return;
    const QByteArray command = "cat '" + moviePath().toLocal8Bit() + "' '" +
                               secondMoviePath().toLocal8Bit() + "' > '" +
                               mergedPath().toLocal8Bit() + "'";
    for (auto _ : state) {
        startClean(state);
        if (std::system(command.constData()) != 0)
            state.SkipWithError("cat failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * movieBytes());
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

// What opening the fusion recording takes off the main thread: reading and
// decoding daylight picture 1.
void BM_DecodeFirstDaylight(benchmark::State& state) {
    if (!ensureFusionFiles()) {
        state.SkipWithError("cannot write the fusion files");
        return;
    }
    DataConverter converter;
    if (converter.parseFusionFile(QStringLiteral("/tmp/kalorix-bench-fusion.TFC")) == 0) {
        state.SkipWithError("open failed");
        return;
    }
    for (auto _ : state) {
        QImage picture;
        if (!picture.loadFromData(converter.daylightJpegBytes(1), "JPG"))
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(picture.constBits());
    }
}

} // namespace

BENCHMARK(BM_CatTwoMovies)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_MergeTwoMovies)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_OpenMovie)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenFusion)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeFirstDaylight)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
