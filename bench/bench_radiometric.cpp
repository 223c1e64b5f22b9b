// The movie, radiometric JPEG and temperature CSV writers against their
// baselines in one run: the AVI against the same frames written as a JPEG
// sequence and against ffmpeg's single-thread MJPEG AVI of the same pixels;
// the radiometric JPEG against the plain JPEG of the same picture; the
// temperature CSV of one 640 x 512 frame on its own (it must stay under 60 ms).
// Frames are the simulator's scene with a colour ramp, rendered before
// timing; every writer encodes and writes, as an export does.
#include "export/AviWriter.h"
#include "export/ExportTarget.h"
#include "export/RadiometricWriter.h"
#include "export/TemperatureCsv.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kFrames = 100;
constexpr int kWidth = 640;
constexpr int kHeight = 512;

struct Fixture {
    QTemporaryDir dir;
    std::vector<kx::DecodedFrame> frames;
    std::vector<QImage> pictures;
    QString rgbFrames; // the pictures as raw RGB, for ffmpeg
};

QImage rampPicture(const kx::DecodedFrame& frame) {
    QImage picture(int(frame.width), int(frame.height), QImage::Format_RGB888);
    const auto [low, high] = std::minmax_element(frame.raw.begin(), frame.raw.end());
    const int span = std::max(1, int(*high) - int(*low));
    for (uint32_t y = 0; y < frame.height; ++y) {
        uchar* line = picture.scanLine(int(y));
        for (uint32_t x = 0; x < frame.width; ++x) {
            const int level = (frame.raw[y * frame.width + x] - *low) * 255 / span;
            line[3 * x] = uchar(std::min(255, 64 + level));
            line[3 * x + 1] = uchar(level);
            line[3 * x + 2] = uchar(255 - level);
        }
    }
    return picture;
}

Fixture& fixture() {
    static std::unique_ptr<Fixture> f;
    if (f)
        return *f;
    f = std::make_unique<Fixture>();
    synth::SceneOptions scene;
    scene.width = kWidth;
    scene.height = kHeight;
    f->rgbFrames = f->dir.filePath(QStringLiteral("frames.rgb"));
    QFile rgb(f->rgbFrames);
    rgb.open(QIODevice::WriteOnly);
    for (int n = 0; n < kFrames; ++n) {
        kx::DecodedFrame frame;
        frame.raw = synth::renderScene(scene, n);
        frame.width = kWidth;
        frame.height = kHeight;
        f->pictures.push_back(rampPicture(frame));
        f->frames.push_back(std::move(frame));
        for (int y = 0; y < kHeight; ++y)
            rgb.write(reinterpret_cast<const char*>(f->pictures.back().constScanLine(y)),
                      kWidth * 3);
    }
    return *f;
}

QString freshFolder(const QString& name) {
    const QString out = fixture().dir.filePath(name);
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    return out;
}

// Every frame of the fixture to its own file in a fresh folder, as an
// export of a frame range does.
void writeSequence(benchmark::State& state, const QString& folder,
                   const std::function<QByteArray(size_t frame)>& encode) {
    for (auto _ : state) {
        state.PauseTiming();
        const QString out = freshFolder(folder);
        state.ResumeTiming();
        for (size_t n = 0; n < kFrames; ++n) {
            const QString name =
                out + QStringLiteral("/frame_%1.jpg").arg(n + 1, 4, 10, QChar('0'));
            if (!kx::writeExportFile(name, encode(n), nullptr))
                state.SkipWithError("write failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_JpegSequence(benchmark::State& state) {
    writeSequence(state, QStringLiteral("jpeg"),
                  [](size_t n) { return kx::encodeJpeg(fixture().pictures[n]); });
}

void BM_RadiometricJpegSequence(benchmark::State& state) {
    writeSequence(state, QStringLiteral("rjpg"), [](size_t n) {
        return kx::encodeRadiometricJpeg(fixture().frames[n], fixture().pictures[n], 0.04f, 0,
                                         nullptr);
    });
}

void BM_AviExport(benchmark::State& state) {
    const Fixture& f = fixture();
    const QString out = freshFolder(QStringLiteral("avi"));
    for (auto _ : state) {
        kx::AviWriter avi;
        avi.kavi_open(out + QStringLiteral("/movie.avi"), kWidth, kHeight,
                      kx::AviWriter::kMotionJpeg, kx::AviWriter::kDefaultFramesPerSecond);
        for (const QImage& picture : f.pictures)
            avi.addFrame(kx::encodeJpeg(picture));
        if (!avi.closeFile())
            state.SkipWithError("AVI failed");
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

// ffmpeg encoding the same pixels from raw RGB into an MJPEG AVI with one
// thread; Qt's JPEG writer subsamples chroma 2 x 2, hence yuvj420p.
void BM_FfmpegMjpegAvi(benchmark::State& state) {
    const Fixture& f = fixture();
    const QString out = freshFolder(QStringLiteral("ffmpeg")) + QStringLiteral("/movie.avi");
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    for (auto _ : state) {
        QProcess ffmpeg;
        ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-v",       "error",    "-y",        "-threads", "1",       "-f",
                      "rawvideo", "-pix_fmt", "rgb24",     "-s",       "640x512", "-r",
                      "9",        "-i",       f.rgbFrames, "-threads", "1",       "-c:v",
                      "mjpeg",    "-pix_fmt", "yuvj420p",  "-q:v",     "2",       out});
        if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0)
            state.SkipWithError("ffmpeg failed");
    }
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    auto seconds = [](const rusage& u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    // ffmpeg's own CPU time: the benchmark's CPU column counts only this process.
    state.counters["child_cpu_ms_per_run"] =
        1000.0 * (seconds(after) - seconds(before)) / double(state.iterations());
    state.SetItemsProcessed(state.iterations() * kFrames);
}

// The same two without the file: what the encoders cost apart from writing
// the thirteen times larger radiometric file.
void BM_PlainJpegEncode(benchmark::State& state) {
    const Fixture& f = fixture();
    size_t n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(kx::encodeJpeg(f.pictures[n++ % kFrames]));
    state.SetItemsProcessed(state.iterations());
}

void BM_RadiometricJpegEncode(benchmark::State& state) {
    const Fixture& f = fixture();
    size_t n = 0;
    for (auto _ : state) {
        const size_t i = n++ % kFrames;
        benchmark::DoNotOptimize(
            kx::encodeRadiometricJpeg(f.frames[i], f.pictures[i], 0.04f, 0, nullptr));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TemperatureCsv640(benchmark::State& state) {
    const Fixture& f = fixture();
    const QString name = freshFolder(QStringLiteral("csv")) + QStringLiteral("/frame.csv");
    size_t n = 0;
    for (auto _ : state) {
        if (!kx::writeTemperatureCsv(name, f.frames[n++ % kFrames], 0.04f, QStringLiteral(";"),
                                     nullptr))
            state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_JpegSequence)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AviExport)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegMjpegAvi)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RadiometricJpegSequence)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainJpegEncode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RadiometricJpegEncode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TemperatureCsv640)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
