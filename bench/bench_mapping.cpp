// The mapping writers against their baselines, in one process and one run:
// the TIFF writer against libtiff writing the same 640 x 512 frames as one
// uncompressed strip, and a JPEG with EXIF (encode, build the block, insert,
// write beside and rename) against the same picture saved as a plain JPEG.
// The EXIF path encodes into memory and writes once; every iteration writes one frame to its file
// in a temporary folder; frames cycle through kFrames different scenes so no write is of identical
// data.
#include "export/AtomicFile.h"
#include "export/ExifAccess.h"
#include "export/ExportJob.h"
#include "export/TiffExporter.h"
#include "synth/Synth.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 16;
constexpr int kWidth = 640;
constexpr int kHeight = 512;

struct Fixture {
    QTemporaryDir dir;
    std::vector<kx::DecodedFrame> frames;
    std::vector<QImage> pictures; // the frames as 8-bit grey RGB pictures
};

Fixture& fixture() {
    static std::unique_ptr<Fixture> f;
    if (f)
        return *f;
    f = std::make_unique<Fixture>();
    synth::SceneOptions scene;
    for (int n = 0; n < kFrames; ++n) {
        kx::DecodedFrame frame;
        frame.raw = synth::renderScene(scene, n);
        frame.width = kWidth;
        frame.height = kHeight;
        frame.partNumber = QStringLiteral("4664001900sr000");
        frame.focalLengthMM = 19;
        frame.sensorWidthMM = 10.88f;
        frame.sensorHeightMM = 8.704f;
        const synth::FlightState s = synth::flightStateAt(synth::FlightOptions(), n / 9.0);
        frame.telemetry.latitude = s.latitude;
        frame.telemetry.longitude = s.longitude;
        frame.telemetry.altitude = s.altitudeM;
        frame.telemetry.date = s.utc.date().toString(QStringLiteral("dd.MM.yyyy"));
        frame.telemetry.time = s.utc.time().toString(QStringLiteral("hh:mm:ss"));
        QImage picture(kWidth, kHeight, QImage::Format_RGB888);
        for (int y = 0; y < kHeight; ++y) {
            uchar* line = picture.scanLine(y);
            for (int x = 0; x < kWidth; ++x) {
                const uchar grey = uchar((frame.raw[size_t(y) * kWidth + x] - 6000) / 16);
                line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = grey;
            }
        }
        f->frames.push_back(std::move(frame));
        f->pictures.push_back(picture);
    }
    return *f;
}

QString target(int64_t i, const char* suffix) {
    return fixture().dir.filePath(QStringLiteral("f_%1.%2").arg(i % kFrames).arg(suffix));
}

void finish(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
}

void writeLibtiff(const kx::DecodedFrame& f, const QString& name) {
    TIFF* tif = TIFFOpen(QFile::encodeName(name).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, f.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, f.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, f.height);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFWriteEncodedStrip(tif, 0, const_cast<uint16_t*>(f.raw.data()), tmsize_t(f.raw.size() * 2));
    TIFFClose(tif);
}

void BM_LibtiffSingleStrip(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        writeLibtiff(fixture().frames[size_t(i % kFrames)], target(i, "tif"));
        ++i;
    }
    finish(state);
}

void BM_TiffExporter(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        const kx::DecodedFrame& f = fixture().frames[size_t(i % kFrames)];
        if (!kx::TiffExporter::writeToFile(target(i++, "tif"), f))
            state.SkipWithError("write failed");
    }
    finish(state);
}

QByteArray encodeJpeg(const QImage& picture) {
    QByteArray bytes;
    bytes.reserve(picture.width() * picture.height()); // no growth on the way
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG", 95);
    return bytes;
}

void BM_PlainJpeg(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        const QImage& picture = fixture().pictures[size_t(i % kFrames)];
        if (!picture.save(target(i++, "jpg"), "JPG", 95))
            state.SkipWithError("write failed");
    }
    finish(state);
}

void BM_JpegWithExif(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        const size_t n = size_t(i % kFrames);
        const QImage& picture = fixture().pictures[n];
        const QByteArray block =
            kx::compileExifBlock(kx::exifDataForFrame(fixture().frames[n], false, picture.size()));
        if (!kx::writeJpegWithExif(target(i++, "jpg"), encodeJpeg(picture),
                                   kx::exifApp1Segment(block)))
            state.SkipWithError("write failed");
    }
    finish(state);
}

// The EXIF block alone, to see its share of the JPEG export.
void BM_CompileExifBlock(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        const size_t n = size_t(i++ % kFrames);
        benchmark::DoNotOptimize(kx::compileExifBlock(
            kx::exifDataForFrame(fixture().frames[n], false, fixture().pictures[n].size())));
    }
    finish(state);
}

void BM_JpegEncodeOnly(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeJpeg(fixture().pictures[size_t(i++ % kFrames)]));
    finish(state);
}

// The export job that the command line runs, fed from memory so that reading
// and decoding the recording stay out: frames cycle through the fixture's.
class MemorySource : public kx::FrameSource {
public:
    int frameCount() const override { return kJobFrames; }
    bool decode(uint32_t n, kx::DecodedFrame& frame) override {
        frame = fixture().frames[size_t(n - 1) % kFrames];
        frame.frameNumber = int(n);
        return true;
    }
    QString conversionFailureText(size_t) const override { return QString(); }
    static constexpr int kJobFrames = 64;
};

// A fresh folder per iteration, made and emptied outside the timing, so that
// every run creates its files as an export into a new folder does.
QString freshFolder(benchmark::State& state, const QString& name) {
    state.PauseTiming();
    const QString dir = fixture().dir.filePath(name);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    state.ResumeTiming();
    return dir;
}

// One job of 64 frames per iteration in the format of the argument, with the
// pool (threads 0) or without (1); CPU time is the process's, the pool's
// workers included.
void BM_ExportJob(benchmark::State& state, const char* format, int threads) {
    kx::ExportContext c;
    c.exportSettings.prefix = QStringLiteral("job");
    c.exportSettings.start = 1;
    c.exportSettings.end = MemorySource::kJobFrames;
    c.exportSettings.step = 1;
    c.extension = QLatin1String(format);
    MemorySource source;
    for (auto _ : state) {
        c.exportSettings.path = freshFolder(state, QStringLiteral("job"));
        c.names = kx::ExportNames(c.exportSettings.path, QStringLiteral("job"));
        kx::ExportJob::Options options;
        options.threads = threads;
        kx::ExportJob job(source, c, options);
        if (job.run().written != MemorySource::kJobFrames)
            state.SkipWithError("the job did not write every frame");
    }
    state.SetItemsProcessed(state.iterations() * MemorySource::kJobFrames);
}

// The job's baseline: libtiff writing the same 64 frames into a fresh folder.
void BM_LibtiffJob(benchmark::State& state) {
    for (auto _ : state) {
        const QString dir = freshFolder(state, QStringLiteral("job"));
        for (int n = 0; n < MemorySource::kJobFrames; ++n)
            writeLibtiff(fixture().frames[size_t(n % kFrames)],
                         dir + QStringLiteral("/lt_%1.tif").arg(n));
    }
    state.SetItemsProcessed(state.iterations() * MemorySource::kJobFrames);
}

} // namespace

BENCHMARK(BM_CompileExifBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JpegEncodeOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibtiffSingleStrip)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_TiffExporter)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PlainJpeg)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_JpegWithExif)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    fixture();
    // "jpeg" takes the path of "jpg" without EXIF: the plain JPEG baseline.
    benchmark::RegisterBenchmark("BM_LibtiffJob", BM_LibtiffJob)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MeasureProcessCPUTime();
    for (const char* format : {"tif", "jpeg", "jpg", "rjpg"}) {
        for (int threads : {0, 1}) {
            const std::string name =
                std::string("BM_ExportJob/") + format + (threads == 1 ? "/one_thread" : "/pool");
            benchmark::RegisterBenchmark(name.c_str(), BM_ExportJob, format, threads)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MeasureProcessCPUTime();
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
