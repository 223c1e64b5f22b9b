// Frame export through the command line, against ffmpeg writing the same
// frames from raw RGB with one thread. Each iteration is one whole run of 500
// frames of a 640 x 512 simulated movie; frames/s is items_per_second.
//
// The ffmpeg baselines read the frames as the exporter converted them (the
// exported PNGs decoded back to RGB), so both sides encode identical pixels.
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

constexpr int kFrames = 500;
constexpr int kWidth = 640;
constexpr int kHeight = 512;

struct Fixture {
    QTemporaryDir dir;
    QString movie;
    QString rgbFrames; // kFrames * kWidth * kHeight * 3 bytes
    bool ok = false;
};

bool runProcess(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(-1))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QStringList kalorixArguments(const QString& movie, const QString& out, const QString& format) {
    return {QStringLiteral("-i"),    movie,  QStringLiteral("-cp"),   QStringLiteral("iron"),
            QStringLiteral("-expa"), out,    QStringLiteral("-exfn"), QStringLiteral("bench"),
            QStringLiteral("-exfo"), format, QStringLiteral("-c"),    QStringLiteral("-q")};
}

Fixture& fixture() {
    static std::unique_ptr<Fixture> f;
    if (f)
        return *f;
    f = std::make_unique<Fixture>();
    synth::MovieOptions options;
    options.frames = kFrames;
    options.compressed = true;
    options.version = 6;
    options.scene.width = kWidth;
    options.scene.height = kHeight;
    f->movie = f->dir.filePath(QStringLiteral("bench.TMC"));
    if (!synth::writeFile(f->movie, synth::makeMovie(options)))
        return *f;

    // The frames as the exporter makes them, for the baselines.
    const QString pngs = f->dir.filePath(QStringLiteral("reference"));
    QDir().mkpath(pngs);
    if (!runProcess(QStringLiteral(KALORIX_EXE), kalorixArguments(f->movie, pngs, "png")))
        return *f;
    f->rgbFrames = f->dir.filePath(QStringLiteral("frames.rgb"));
    QFile rgb(f->rgbFrames);
    if (!rgb.open(QIODevice::WriteOnly))
        return *f;
    for (int frame = 1; frame <= kFrames; ++frame) {
        const QString name =
            pngs + QStringLiteral("/bench_000_%1.png").arg(frame, 4, 10, QLatin1Char('0'));
        const QImage image = QImage(name).convertToFormat(QImage::Format_RGB888);
        if (image.size() != QSize(kWidth, kHeight))
            return *f;
        for (int y = 0; y < kHeight; ++y)
            rgb.write(reinterpret_cast<const char*>(image.constScanLine(y)), kWidth * 3);
    }
    QDir(pngs).removeRecursively();
    f->ok = true;
    return *f;
}

QString freshOutput(const QString& name) {
    const QString out = fixture().dir.filePath(name);
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    return out;
}

double averageFileSize(const QString& out) {
    const QFileInfoList files = QDir(out).entryInfoList(QDir::Files);
    if (files.isEmpty())
        return 0.0;
    qint64 total = 0;
    for (const QFileInfo& f : files)
        total += f.size();
    return double(total) / double(files.size());
}

// CPU seconds (user + system) of all finished child processes: the machine
// may be shared, and the CPU time of the run says more than the wall clock.
double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runExport(benchmark::State& state, const QString& program,
               const std::function<QStringList(const QString& out)>& arguments,
               const QString& suffix) {
    if (!fixture().ok) {
        state.SkipWithError("fixture could not be built");
        return;
    }
    QString out;
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        out = freshOutput(QStringLiteral("out"));
        state.ResumeTiming();
        const double before = childCpuSeconds();
        if (!runProcess(program, arguments(out))) {
            state.SkipWithError("export failed");
            return;
        }
        cpu += childCpuSeconds() - before;
    }
    const int written = QDir(out).entryList({QStringLiteral("*.") + suffix}, QDir::Files).size();
    if (written != kFrames) {
        state.SkipWithError("wrong number of files");
        return;
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
    state.counters["bytes_per_file"] = averageFileSize(out);
    // Frames per CPU second of the exporting process.
    state.counters["frames_per_cpu_s"] = double(state.iterations()) * kFrames / cpu;
}

void BM_KalorixCommandLinePng(benchmark::State& state) {
    runExport(
        state, QStringLiteral(KALORIX_EXE),
        [](const QString& out) { return kalorixArguments(fixture().movie, out, "png"); },
        QStringLiteral("png"));
}

// The same export with the pool switched off: what the second core adds.
void runOneThread(benchmark::State& state, const char* format) {
    qputenv("KALORIX_EXPORT_THREADS", "1");
    runExport(
        state, QStringLiteral(KALORIX_EXE),
        [format](const QString& out) { return kalorixArguments(fixture().movie, out, format); },
        QString::fromLatin1(format));
    qunsetenv("KALORIX_EXPORT_THREADS");
}

void BM_KalorixCommandLinePngOneThread(benchmark::State& state) {
    runOneThread(state, "png");
}

void BM_KalorixCommandLineJpegOneThread(benchmark::State& state) {
    runOneThread(state, "jpg");
}

// ffmpeg reading the same frames as raw RGB, one thread, with the encoder
// options of its format; files named like ours in the target folder.
QStringList ffmpegArguments(const QString& out, const QStringList& encoder, const QString& suffix) {
    return QStringList{"-v",    "error", "-y",      "-f", "rawvideo",          "-pix_fmt",
                       "rgb24", "-s",    "640x512", "-i", fixture().rgbFrames, "-threads",
                       "1"} +
           encoder + QStringList{out + "/ff_%04d." + suffix};
}

// Qt writes PNG at quality 95 with zlib level (100 - 95) * 9 / 91 = 0.
void BM_FfmpegPngLevel0(benchmark::State& state) {
    runExport(
        state, QStringLiteral("ffmpeg"),
        [](const QString& out) {
            return ffmpegArguments(out, {"-compression_level", "0"}, QStringLiteral("png"));
        },
        QStringLiteral("png"));
}

void BM_KalorixCommandLineJpeg(benchmark::State& state) {
    runExport(
        state, QStringLiteral(KALORIX_EXE),
        [](const QString& out) { return kalorixArguments(fixture().movie, out, "jpg"); },
        QStringLiteral("jpg"));
}

// Qt's JPEG writer subsamples chroma 2 x 2; the baseline does the same.
void BM_FfmpegJpegQ2(benchmark::State& state) {
    runExport(
        state, QStringLiteral("ffmpeg"),
        [](const QString& out) {
            return ffmpegArguments(out, {"-pix_fmt", "yuvj420p", "-q:v", "2"},
                                   QStringLiteral("jpg"));
        },
        QStringLiteral("jpg"));
}

} // namespace

BENCHMARK(BM_KalorixCommandLinePng)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLinePngOneThread)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FfmpegPngLevel0)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLineJpeg)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLineJpegOneThread)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FfmpegJpegQ2)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
