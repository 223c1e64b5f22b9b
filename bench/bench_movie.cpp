// Movie index scan and compressed frame expansion, each beside its baseline.
//
// The index scan runs over a 1 GiB .TMC in the page cache, made at the first
// run as /tmp/kalorix-bench-1GiB-v2.TMC (delete it freely; set
// KALORIX_BENCH_MOVIE to use another file).
//
// Two modes outside Google Benchmark, for measurements of whole processes:
//   bench_movie --index FILE      indexes FILE once (for /usr/bin/time -v)
//   bench_movie --cold FILE [N]   N times, interleaved: dd of FILE and the
//                                 index scan, each after dropping FILE from
//                                 the page cache

#include "recording/CompressedStream.h"
#include "recording/DataConverter.h"
#include "recording/MovieIndex.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr qint64 kMovieBytes = qint64(1) << 30;
constexpr uint32_t kBlock = 1048576;

QString moviePath() {
    const QString path = qEnvironmentVariable("KALORIX_BENCH_MOVIE");
    return path.isEmpty() ? QStringLiteral("/tmp/kalorix-bench-1GiB-v2.TMC") : path;
}

// A compressed-looking frame: header, counter, then biased random code bytes
// without an accidental signature.
QByteArray benchFrame(std::mt19937& rng, int codeBytes) {
    QByteArray frame(2048 + codeBytes, '\0');
    std::memcpy(frame.data(), "VELM\x06", 5);
    for (int i = 2052; i < frame.size(); ++i)
        frame[i] = char(rng() & 0xFF);
    for (int i = 1; i + 5 <= frame.size(); ++i)
        if (std::memcmp(frame.constData() + i, "VELM\x06", 5) == 0)
            frame[i] = 'X';
    return frame;
}

bool ensureMovie() {
    const QString path = moviePath();
    if (QFileInfo(path).size() >= kMovieBytes)
        return true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::mt19937 rng(3);
    std::vector<QByteArray> frames;
    for (int i = 0; i < 16; ++i)
        frames.push_back(benchFrame(rng, 240000 + int(rng() % 60000)));
    // Consecutive frame counters, so that the counter check finds no jump.
    qint64 written = 0;
    for (size_t i = 0; written < kMovieBytes; ++i) {
        QByteArray& frame = frames[i % frames.size()];
        const uint16_t counter = uint16_t(i & 0x1FFF);
        frame[2050] = char(counter & 0xFF);
        frame[2051] = char(counter >> 8);
        written += file.write(frame);
    }
    return true;
}

void warmCache(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    std::vector<char> buffer(kBlock);
    while (file.read(buffer.data(), kBlock) > 0) {
    }
}

// Makes the scan file if needed, reads it once into the page cache and opens it.
bool openWarmMovie(benchmark::State& state, QFile& file) {
    if (!ensureMovie()) {
        state.SkipWithError("cannot create the movie file");
        return false;
    }
    warmCache(moviePath());
    return file.open(QIODevice::ReadOnly);
}

// What the converter's scan runs on this processor.
std::string scanPath() {
    return std::string("pread 1 MiB blocks, ") +
           movieindex::scanKernelName(movieindex::ScanKernel::Best) + " kernel";
}

// Ceiling: the same 1 MiB reads into one aligned buffer, nothing searched.
void BM_IndexScan_ReadAloneCeiling(benchmark::State& state) {
    QFile file(moviePath());
    if (!openWarmMovie(state, file))
        return;
    auto* buffer = static_cast<char*>(std::aligned_alloc(64, kBlock));
    for (auto _ : state) {
        off_t position = 0;
        ssize_t n = 0;
        while ((n = pread(file.handle(), buffer, kBlock, position)) > 0)
            position += n;
        benchmark::DoNotOptimize(buffer);
    }
    std::free(buffer);
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(moviePath()).size());
}
BENCHMARK(BM_IndexScan_ReadAloneCeiling)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the same 1 MiB reads, memchr for the first signature byte and
// memcmp for the rest, with the last four bytes carried across reads.
void BM_IndexScan_MemchrBaseline(benchmark::State& state) {
    QFile file(moviePath());
    if (!openWarmMovie(state, file))
        return;
    const char signature[5] = {'V', 'E', 'L', 'M', 6};
    std::vector<char> buffer(kBlock + 4);
    size_t frames = 0;
    for (auto _ : state) {
        std::vector<uint64_t> offsets;
        qint64 position = 0;
        size_t carry = 0;
        for (;;) {
            file.seek(position);
            const qint64 n = file.read(buffer.data() + 4, kBlock);
            if (n < 1)
                break;
            const char* begin = buffer.data() + 4 - carry;
            const char* end = buffer.data() + 4 + n;
            const char* p = begin;
            while (end - p >= 5) {
                p = static_cast<const char*>(std::memchr(p, signature[0], size_t(end - p - 4)));
                if (!p)
                    break;
                if (std::memcmp(p + 1, signature + 1, 4) == 0)
                    offsets.push_back(uint64_t(position + (p - (buffer.data() + 4))));
                ++p;
            }
            carry = size_t(std::min<qint64>(4, n + qint64(carry)));
            std::memmove(buffer.data() + 4 - carry, end - carry, carry);
            position += n;
        }
        frames = offsets.size();
        benchmark::DoNotOptimize(offsets.data());
    }
    state.counters["frames"] = double(frames);
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(moviePath()).size());
}
BENCHMARK(BM_IndexScan_MemchrBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// The converter's index scan as a movie is opened: events processed and the
// progress signal emitted per block, counter check on.
void BM_IndexScan_ParseVideoFile(benchmark::State& state) {
    QFile file(moviePath());
    if (!openWarmMovie(state, file))
        return;
    DataConverter converter;
    int lastPercent = 0;
    QObject::connect(&converter, &DataConverter::filePercentageChanged,
                     [&](int percent) { lastPercent = percent; });
    int frames = 0;
    for (auto _ : state)
        frames = converter.parseVideoFile(moviePath(), true, true);
    state.counters["frames"] = double(frames);
    state.counters["percent"] = lastPercent;
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(moviePath()).size());
    state.SetLabel(scanPath());
}
BENCHMARK(BM_IndexScan_ParseVideoFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The rejected alternative: the file mapped and searched in place with the
// same kernel (the scan before the reads), fresh map each iteration as a scan
// of a newly opened movie has.
void BM_IndexScan_MappedInPlace(benchmark::State& state) {
    QFile file(moviePath());
    if (!openWarmMovie(state, file))
        return;
    size_t frames = 0;
    for (auto _ : state) {
        uchar* mapped = file.map(0, file.size());
        if (!mapped) {
            state.SkipWithError("cannot map the movie");
            return;
        }
        std::vector<uint64_t> offsets;
        movieindex::SignatureScanner scanner(movieindex::frameSignature(6));
        for (qint64 at = 0; at < file.size(); at += kBlock)
            scanner.feed(mapped + at, size_t(std::min<qint64>(kBlock, file.size() - at)), offsets);
        file.unmap(mapped);
        frames = offsets.size();
    }
    state.counters["frames"] = double(frames);
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size());
    state.SetLabel(movieindex::scanKernelName(movieindex::ScanKernel::Best));
}
BENCHMARK(BM_IndexScan_MappedInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline of the split scan: the whole file in one pass on one thread.
void BM_IndexScan_OnePassBaseline(benchmark::State& state) {
    QFile file(moviePath());
    if (!openWarmMovie(state, file))
        return;
    size_t frames = 0;
    for (auto _ : state)
        frames = movieindex::scanMovie(file, file.size(), kBlock, {}, movieindex::ScanKernel::Best,
                                       std::numeric_limits<int64_t>::max())
                     .offsets.size();
    state.counters["frames"] = double(frames);
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size());
}
BENCHMARK(BM_IndexScan_OnePassBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// The scan alone (no events, no progress) with each kernel the processor has,
// in two halves at once when the processor has two cores.
void BM_IndexScan_Kernel(benchmark::State& state) {
    const auto kernel = movieindex::ScanKernel(state.range(0));
    if (!movieindex::scanKernelAvailable(kernel)) {
        state.SkipWithError("kernel not available on this processor");
        return;
    }
    QFile file(moviePath());
    if (!openWarmMovie(state, file))
        return;
    size_t frames = 0;
    for (auto _ : state)
        frames = movieindex::scanMovie(file, file.size(), kBlock, {}, kernel).offsets.size();
    state.counters["frames"] = double(frames);
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size());
    state.SetLabel(movieindex::scanKernelName(kernel));
}
BENCHMARK(BM_IndexScan_Kernel)
    ->ArgName("kernel")
    ->Arg(int(movieindex::ScanKernel::Portable))
    ->Arg(int(movieindex::ScanKernel::Sse2))
    ->Arg(int(movieindex::ScanKernel::Avx2))
    ->Arg(int(movieindex::ScanKernel::Avx512))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Compressed 640 x 512 frames of the simulated scene (code only, no header).
const std::vector<QByteArray>& benchCodes() {
    static const std::vector<QByteArray> codes = [] {
        std::vector<QByteArray> out;
        synth::SceneOptions scene;
        synth::StreamOptions stream;
        for (int i = 0; i < 8; ++i) {
            stream.seed = uint32_t(i + 1);
            const std::vector<uint16_t> words =
                synth::makeWordStream(synth::renderScene(scene, i), 640, 512, stream);
            out.push_back(synth::compressWords(words, uint16_t(i + 1)));
        }
        return out;
    }();
    return codes;
}

template <compressed::ExpansionResult (*Expand)(const uint8_t*, int64_t, compressed::BitPosition,
                                                uint16_t*, uint32_t)>
void expandFrames(benchmark::State& state) {
    const std::vector<QByteArray>& codes = benchCodes();
    std::vector<uint16_t> out(compressed::kMaxExpandedWords);
    size_t frame = 0;
    uint64_t words = 0;
    for (auto _ : state) {
        const QByteArray& code = codes[frame++ % codes.size()];
        const compressed::ExpansionResult r =
            Expand(reinterpret_cast<const uint8_t*>(code.constData()), code.size() / 2, {},
                   out.data(), compressed::kMaxExpandedWords);
        words += r.count;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["words"] = double(words) / double(std::max<int64_t>(state.iterations(), 1));
}

// Baseline: the same expansion with the bit-at-a-time reader.
void BM_Expand640x512_BitwiseBaseline(benchmark::State& state) {
    expandFrames<compressed::expandBitwise>(state);
}
BENCHMARK(BM_Expand640x512_BitwiseBaseline)->Unit(benchmark::kMicrosecond);

void BM_Expand640x512_Fast(benchmark::State& state) {
    expandFrames<compressed::expand>(state);
}
BENCHMARK(BM_Expand640x512_Fast)->Unit(benchmark::kMicrosecond);

// Decode and convert through the converter, as playback does: read the frame,
// expand the code (compressed movie), decode the words, automatic window from
// the histogram, iron palette. Eight simulated 640 x 512 frames in /tmp.
QString smallMoviePath(bool compressed) {
    const QString path = compressed ? QStringLiteral("/tmp/kalorix-bench-640x512x8.TMC")
                                    : QStringLiteral("/tmp/kalorix-bench-640x512x8.THM");
    if (!QFileInfo::exists(path)) {
        synth::MovieOptions options;
        options.frames = 8;
        options.compressed = compressed;
        synth::writeFile(path, synth::makeMovie(options));
    }
    return path;
}

void decodeAndConvert(benchmark::State& state, bool compressed) {
    DataConverter converter;
    if (converter.parseVideoFile(smallMoviePath(compressed), compressed, false) != 8) {
        state.SkipWithError("cannot index the movie");
        return;
    }
    QImage image(640, 512, QImage::Format_RGB888);
    int frame = 0;
    for (auto _ : state) {
        ThermalImageConversionSet set;
        set.autoGainEnabled = true;
        set.colorMode = 1; // iron
        bool ok = false;
        converter.getThermalImageFromVideoRawList(frame % 8 + 1, image, &ok,
                                                  ksDefines::NoSerialData, set);
        if (!ok) {
            state.SkipWithError("frame not converted");
            return;
        }
        ++frame;
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Baseline: the same frames stored uncompressed (.THM), no expansion.
void BM_DecodeConvert640x512_UncompressedBaseline(benchmark::State& state) {
    decodeAndConvert(state, false);
}
BENCHMARK(BM_DecodeConvert640x512_UncompressedBaseline)->Unit(benchmark::kMicrosecond);

void BM_DecodeConvert640x512_Compressed(benchmark::State& state) {
    decodeAndConvert(state, true);
}
BENCHMARK(BM_DecodeConvert640x512_Compressed)->Unit(benchmark::kMicrosecond);

// Drops the file from the page cache (written pages are flushed first: dirty
// pages are not dropped).
bool dropFromCache(const QString& path) {
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    fdatasync(fd);
    const bool ok = posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    close(fd);
    return ok;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
}

int indexOnce(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    DataConverter converter;
    const int frames = converter.parseVideoFile(path, true, true);
    std::printf("%d frames in %lld ms (%s)\n", frames, qint64(timer.elapsed()), scanPath().c_str());
    return frames > 0 ? 0 : 1;
}

int coldScans(const QString& path, int repetitions) {
    const double gb = double(QFileInfo(path).size()) / 1e9;
    std::vector<double> dd, scan;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer timer;
        if (!dropFromCache(path))
            return 1;
        timer.start();
        QProcess::execute(QStringLiteral("dd"),
                          {QStringLiteral("if=") + path, QStringLiteral("of=/dev/null"),
                           QStringLiteral("bs=1M"), QStringLiteral("status=none")});
        dd.push_back(double(timer.nsecsElapsed()) / 1e6);
        dropFromCache(path);
        timer.start();
        DataConverter converter;
        const int frames = converter.parseVideoFile(path, true, true);
        scan.push_back(double(timer.nsecsElapsed()) / 1e6);
        std::printf("%d: dd %.0f ms, index scan %.0f ms (%d frames)\n", r + 1, dd.back(),
                    scan.back(), frames);
    }
    std::printf("median of %d, cold cache, %.2f GB (%s):\n", repetitions, gb, scanPath().c_str());
    std::printf("  dd bs=1M    %.0f ms  %.2f GB/s\n", median(dd), gb / median(dd) * 1e3);
    std::printf("  index scan  %.0f ms  %.2f GB/s  (%.2fx dd)\n", median(scan),
                gb / median(scan) * 1e3, median(dd) / median(scan));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("--index"))
        return indexOnce(args[2]);
    if (args.size() >= 3 && args[1] == QLatin1String("--cold"))
        return coldScans(args[2], args.size() >= 4 ? std::max(1, args[3].toInt()) : 5);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
