// The flight-track panel's reading: the position of every frame of a
// 20,000-frame movie (about 37 minutes at 9 frames per second) from its serial
// blocks, per telemetry kind, beside the index scan of the same file (which
// every open runs anyway) as the baseline. The frames are one row high: the
// reader never decodes pixels, so only the file size the scan reads changes.
// Also the measurement tools' statistics of a 200 x 200 box over a 640 x 512
// frame, beside the plain sum of the same pixels.

#include "conversion/Measurement.h"
#include "recording/FlightTrack.h"
#include "recording/MovieIndex.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

namespace {

constexpr int kFrames = 20000;

QString moviePath(synth::Telemetry telemetry) {
    return QDir::tempPath() + QStringLiteral("/kalorix-bench-track-%1.THM").arg(int(telemetry));
}

// Written once and kept between runs, frame by frame.
const QString& movie(synth::Telemetry telemetry) {
    static std::map<synth::Telemetry, QString> paths;
    auto found = paths.find(telemetry);
    if (found != paths.end())
        return found->second;
    const QString path = moviePath(telemetry);
    if (!QFileInfo::exists(path)) {
        synth::MovieOptions options;
        options.frames = kFrames;
        options.scene.width = 160;
        options.scene.height = 1;
        options.telemetry = telemetry;
        QFile file(path + QStringLiteral(".part"));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(file.fileName()));
        QByteArray carry;
        for (int n = 1; n <= kFrames; ++n)
            file.write(synth::makeMovieFrame(options, n, carry));
        file.close();
        QFile::rename(file.fileName(), path);
    }
    return paths[telemetry] = path;
}

movieindex::ScanResult scan(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return movieindex::scanMovie(file, file.size(), 1 << 20);
}

void BM_BaselineIndexScan(benchmark::State& state) {
    const QString& path = movie(synth::Telemetry::Nmea);
    for (auto _ : state) {
        const movieindex::ScanResult result = scan(path);
        if (result.offsets.size() != size_t(kFrames))
            state.SkipWithError("the movie did not index");
    }
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(BM_BaselineIndexScan)->Unit(benchmark::kMillisecond);

void readTrack(benchmark::State& state, synth::Telemetry telemetry, ksDefines::serialContent kind) {
    const QString& path = movie(telemetry);
    const movieindex::ScanResult index = scan(path);
    int withPosition = 0;
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        std::vector<flighttrack::Position> track;
        if (!flighttrack::readTrack(file, index.offsets, index.sizes, index.version, kind, track))
            state.SkipWithError("the track was not read");
        withPosition =
            int(std::count_if(track.begin(), track.end(), [](const auto& p) { return p.valid; }));
    }
    state.counters["frames_with_position"] = withPosition;
}
void BM_TrackNmea(benchmark::State& state) {
    readTrack(state, synth::Telemetry::Nmea, ksDefines::NMEA);
}
void BM_TrackMavlink(benchmark::State& state) {
    readTrack(state, synth::Telemetry::MAVLink, ksDefines::MAVLink);
}
void BM_TrackMdDownlink(benchmark::State& state) {
    readTrack(state, synth::Telemetry::MdDownlink, ksDefines::MdDownlink);
}
BENCHMARK(BM_TrackNmea)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackMavlink)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackMdDownlink)->Unit(benchmark::kMillisecond);

// ---- 200 x 200 box -----------------------------------------------------------

const std::vector<uint16_t>& frame640() {
    static const std::vector<uint16_t> raw = synth::renderScene(synth::SceneOptions(), 0);
    return raw;
}

void BM_BaselineBoxSum(benchmark::State& state) {
    const std::vector<uint16_t>& raw = frame640();
    for (auto _ : state) {
        uint64_t sum = 0;
        for (int y = 100; y < 300; ++y)
            for (int x = 200; x < 400; ++x)
                sum += raw[size_t(y) * 640 + size_t(x)];
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_BaselineBoxSum)->Unit(benchmark::kMicrosecond);

void box(benchmark::State& state, const kx::measure::Scale& scale) {
    const std::vector<uint16_t>& raw = frame640();
    kx::measure::Tool tool;
    tool.kind = kx::measure::Kind::Box;
    tool.from = QPoint(200, 100);
    tool.to = QPoint(399, 299);
    for (auto _ : state) {
        const kx::measure::Statistics stats =
            kx::measure::measure(raw.data(), 640, 512, tool, scale);
        if (stats.pixels != 40000)
            state.SkipWithError("the box did not cover 200 x 200 pixels");
        benchmark::DoNotOptimize(stats.mean);
    }
}
void BM_Box200TLinear(benchmark::State& state) {
    box(state, kx::measure::Scale::tLinear(0.04f));
}
void BM_Box200Planck(benchmark::State& state) {
    box(state, kx::measure::Scale::planck(kx::radiometry::PlanckConstants()));
}
BENCHMARK(BM_Box200TLinear)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Box200Planck)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
