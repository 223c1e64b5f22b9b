// Frame export through the command line, against ffmpeg writing the same
// frames from raw RGB with one thread. Each iteration is one whole run of 500
// frames of a 640 x 512 simulated movie; frames/s is items_per_second.
//
// The ffmpeg baselines read the frames as the exporter converted them (the
// exported PNGs decoded back to RGB), so both sides encode identical pixels.
//
// The mapping and radiometric formats run on an uncompressed movie with NMEA
// telemetry (decoding a compressed stream would hide the writers): TIFF
// against libtiff writing the exporter's own frames as one strip each, and
// JPEG with EXIF and R-JPEG against "-exfo jpeg", the same path without EXIF.
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFrames = 500;
constexpr int kWidth = 640;
constexpr int kHeight = 512;

// Frames of the mapping flight: 200 unless KALORIX_BENCH_MAPPING_FRAMES says
// otherwise (a survey flight of a few minutes holds a thousand and more, over
// which the program's start and index scan weigh less).
int mappingFrameCount() {
    static const int frames = [] {
        bool ok = false;
        const int n = qEnvironmentVariableIntValue("KALORIX_BENCH_MAPPING_FRAMES", &ok);
        return ok && n > 0 ? n : 200;
    }();
    return frames;
}

// The folder of every benchmark's inputs and outputs.
QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

struct Fixture {
    QString movie;
    QString rgbFrames; // kFrames * kWidth * kHeight * 3 bytes
    bool ok = false;
};

// Starts the program as a shell does, with posix_spawn: QProcess forks this
// process, whose page tables (the fixtures' frames in memory) then cost a
// copy per run that the measured program never asked for. Standard output
// is dropped, standard error goes to ours; DISPLAY and QT_QPA_PLATFORM are
// left out so that the program picks its platform itself.
bool runProcess(const QString& program, const QStringList& arguments) {
    std::vector<QByteArray> args{QFile::encodeName(program)};
    for (const QString& a : arguments)
        args.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
            envp.push_back(*e);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
    f->movie = scratch().filePath(QStringLiteral("bench.TMC"));
    if (!synth::writeFile(f->movie, synth::makeMovie(options)))
        return *f;

    // The frames as the exporter makes them, for the baselines.
    const QString pngs = scratch().filePath(QStringLiteral("reference"));
    QDir().mkpath(pngs);
    if (!runProcess(QStringLiteral(KALORIX_EXE), kalorixArguments(f->movie, pngs, "png")))
        return *f;
    f->rgbFrames = scratch().filePath(QStringLiteral("frames.rgb"));
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

// The output folder of one run: emptied before each run, or, with
// KALORIX_BENCH_KEEP_OUTPUT set, a new folder every time, all removed at the
// end. Without deletions during the benchmark every run finds the file
// system as a fresh export does; ext4 without a journal otherwise searches
// past every inode freed in the minutes before.
bool keepOutput() {
    return qEnvironmentVariableIsSet("KALORIX_BENCH_KEEP_OUTPUT");
}

QString freshOutput(const QString& name) {
    static int runs = 0;
    const QString out = keepOutput() ? scratch().filePath(name + QString::number(++runs))
                                     : scratch().filePath(name);
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
               const QString& suffix, bool ready = fixture().ok, int frames = kFrames) {
    // Only the other build's program can be missing.
    if (program.isEmpty()) {
        state.SkipWithError("KALORIX_BENCH_OTHER_EXE is not set");
        return;
    }
    if (!ready) {
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
    if (written != frames) {
        state.SkipWithError("wrong number of files");
        return;
    }
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["bytes_per_file"] = averageFileSize(out);
    // Frames per CPU second of the exporting process.
    state.counters["frames_per_cpu_s"] = double(state.iterations()) * frames / cpu;
}

// Another build of the program, for a before and after in one run:
// KALORIX_BENCH_OTHER_EXE names it; its benchmarks are skipped without it.
QString otherProgram() {
    return qEnvironmentVariable("KALORIX_BENCH_OTHER_EXE");
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

void runOther(benchmark::State& state, const char* format) {
    runExport(
        state, otherProgram(),
        [format](const QString& out) { return kalorixArguments(fixture().movie, out, format); },
        QString::fromLatin1(format));
}

void BM_OtherCommandLinePng(benchmark::State& state) {
    runOther(state, "png");
}

void BM_OtherCommandLineJpeg(benchmark::State& state) {
    runOther(state, "jpg");
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

struct MappingFixture {
    QString movie;
    std::vector<std::vector<uint16_t>> frames; // as the exporter's TIFFs hold them
    bool ok = false;
};

bool readTiffFrame(const QString& name, std::vector<uint16_t>& pixels) {
    TIFF* tif = TIFFOpen(QFile::encodeName(name).constData(), "r");
    if (!tif)
        return false;
    pixels.resize(size_t(kWidth) * kHeight);
    bool ok = true;
    for (uint32_t y = 0; y < kHeight && ok; ++y)
        ok = TIFFReadScanline(tif, pixels.data() + size_t(y) * kWidth, y, 0) == 1;
    TIFFClose(tif);
    return ok;
}

MappingFixture& mappingFixture() {
    static std::unique_ptr<MappingFixture> f;
    if (f)
        return *f;
    f = std::make_unique<MappingFixture>();
    synth::MovieOptions options;
    options.frames = mappingFrameCount();
    options.scene.width = kWidth;
    options.scene.height = kHeight;
    options.telemetry = synth::Telemetry::Nmea;
    f->movie = scratch().filePath(QStringLiteral("mapping.THM"));
    if (!synth::writeFile(f->movie, synth::makeMovie(options)))
        return *f;
    const QString out = freshOutput(QStringLiteral("reference"));
    if (!runProcess(QStringLiteral(KALORIX_EXE), kalorixArguments(f->movie, out, "tif")))
        return *f;
    const QStringList names = QDir(out).entryList({QStringLiteral("*.tiff")}, QDir::Files);
    f->frames.resize(size_t(names.size()));
    for (int i = 0; i < names.size(); ++i) {
        if (!readTiffFrame(out + QLatin1Char('/') + names[i], f->frames[size_t(i)]))
            return *f;
    }
    if (!keepOutput())
        QDir(out).removeRecursively();
    f->ok = names.size() == mappingFrameCount();
    return *f;
}

void runMappingExport(benchmark::State& state, const char* format, const char* suffix,
                      const QString& program = QStringLiteral(KALORIX_EXE)) {
    runExport(
        state, program,
        [format](const QString& out) {
            return kalorixArguments(mappingFixture().movie, out, format);
        },
        QString::fromLatin1(suffix), mappingFixture().ok, mappingFrameCount());
}

void BM_KalorixCommandLineTiff(benchmark::State& state) {
    runMappingExport(state, "tif", "tiff");
}

void BM_OtherCommandLineTiff(benchmark::State& state) {
    runMappingExport(state, "tif", "tiff", otherProgram());
}

void BM_KalorixCommandLineJpegExif(benchmark::State& state) {
    runMappingExport(state, "jpg", "jpg");
}

// "jpeg" takes the same path as "jpg" but gets no EXIF.
void BM_KalorixCommandLineJpegPlain(benchmark::State& state) {
    runMappingExport(state, "jpeg", "jpeg");
}

void BM_KalorixCommandLineRjpg(benchmark::State& state) {
    runMappingExport(state, "rjpg", "jpg");
}

double ownCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The baseline: libtiff writing the same frames, one uncompressed strip and
// the basic tags each, one file per frame, in this process.
void BM_LibtiffSingleStrip(benchmark::State& state) {
    if (!mappingFixture().ok) {
        state.SkipWithError("fixture could not be built");
        return;
    }
    const auto& frames = mappingFixture().frames;
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString out = freshOutput(QStringLiteral("out"));
        state.ResumeTiming();
        const double before = ownCpuSeconds();
        for (size_t n = 0; n < frames.size(); ++n) {
            const QByteArray name = QFile::encodeName(out + QStringLiteral("/lt_%1.tif").arg(n));
            TIFF* tif = TIFFOpen(name.constData(), "w");
            if (!tif) {
                state.SkipWithError("libtiff could not open a file");
                return;
            }
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kHeight);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            TIFFWriteEncodedStrip(tif, 0, const_cast<uint16_t*>(frames[n].data()),
                                  tmsize_t(frames[n].size() * 2));
            TIFFClose(tif);
        }
        cpu += ownCpuSeconds() - before;
    }
    state.SetItemsProcessed(state.iterations() * int64_t(frames.size()));
    state.counters["frames_per_cpu_s"] = double(state.iterations()) * double(frames.size()) / cpu;
}

} // namespace

BENCHMARK(BM_LibtiffSingleStrip)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLineTiff)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OtherCommandLineTiff)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLineJpegPlain)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_KalorixCommandLineJpegExif)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_KalorixCommandLineRjpg)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLinePng)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLinePngOneThread)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_OtherCommandLinePng)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegPngLevel0)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLineJpeg)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KalorixCommandLineJpegOneThread)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_OtherCommandLineJpeg)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegJpegQ2)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
