// Movie index scan and compressed frame expansion, each beside its baseline.
//
// The index scan runs over a 1 GiB .TMC in the page cache, made at the first
// run as /tmp/kalorix-bench-1GiB.TMC (delete it freely; set
// KALORIX_BENCH_MOVIE to use another file).

#include "recording/CompressedStream.h"
#include "recording/MovieIndex.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr qint64 kMovieBytes = qint64(1) << 30;
constexpr uint32_t kBlock = 1048576;

QString moviePath() {
    const QString path = qEnvironmentVariable("KALORIX_BENCH_MOVIE");
    return path.isEmpty() ? QStringLiteral("/tmp/kalorix-bench-1GiB.TMC") : path;
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
    qint64 written = 0;
    for (size_t i = 0; written < kMovieBytes; ++i)
        written += file.write(frames[i % frames.size()]);
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

// Baseline: the same 1 MiB reads, memchr for the first signature byte and
// memcmp for the rest, with the last four bytes carried across reads.
void BM_IndexScan_MemchrBaseline(benchmark::State& state) {
    if (!ensureMovie()) {
        state.SkipWithError("cannot create the movie file");
        return;
    }
    warmCache(moviePath());
    QFile file(moviePath());
    file.open(QIODevice::ReadOnly);
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

void BM_IndexScan_MovieIndex(benchmark::State& state) {
    if (!ensureMovie()) {
        state.SkipWithError("cannot create the movie file");
        return;
    }
    warmCache(moviePath());
    QFile file(moviePath());
    file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    int lastPercent = 0;
    movieindex::ScanHooks hooks;
    hooks.beforeBlock = [] { QCoreApplication::processEvents(); };
    hooks.progress = [&](int percent) { lastPercent = percent; };
    size_t frames = 0;
    for (auto _ : state) {
        const movieindex::ScanResult r = movieindex::scanMovie(file, file.size(), kBlock, hooks);
        frames = r.offsets.size();
        benchmark::DoNotOptimize(r.offsets.data());
    }
    state.counters["frames"] = double(frames);
    state.counters["percent"] = lastPercent;
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(moviePath()).size());
}
BENCHMARK(BM_IndexScan_MovieIndex)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
