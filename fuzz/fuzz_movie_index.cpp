// Movie index scan: the frame offsets and counter words found in a file fed
// in blocks of random sizes equal those of a plain search of the whole file.
//
// Input: block-size seed (u32), largest block (u16), then the file.
#include "FuzzTarget.h"

#include "recording/MovieIndex.h"

#include <QBuffer>

namespace {

using movieindex::Signature;

std::vector<uint64_t> plainSearch(const std::vector<uint8_t>& file, const Signature& sig) {
    // Byte by byte rather than memcmp at every position: the fuzzer records
    // every memcmp call, which made this search the slowest part of the run.
    std::vector<uint64_t> offsets;
    for (size_t i = 0; i + sig.size() <= file.size(); ++i) {
        size_t k = 0;
        while (k < sig.size() && file[i + k] == sig[k])
            ++k;
        if (k == sig.size())
            offsets.push_back(i);
    }
    return offsets;
}

std::vector<int32_t> plainCounters(const std::vector<uint8_t>& file,
                                   const std::vector<uint64_t>& offsets) {
    std::vector<int32_t> counters;
    for (uint64_t at : offsets) {
        const uint64_t word = at + movieindex::kCounterOffset;
        counters.push_back(word + 2 > file.size() ? movieindex::kCounterBeyondEnd
                                                  : int32_t(file[word] | (file[word + 1] << 8)));
    }
    return counters;
}

} // namespace

KALORIX_FUZZ_TARGET(movie_index) {
    const fuzzing::BlockedInput input(data, size, 8192);
    const std::vector<uint8_t>& file = input.bytes;
    const Signature sig = movieindex::frameSignature(file.size() >= 5 ? file[4] : 0);
    const std::vector<uint64_t> expected = plainSearch(file, sig);
    const std::vector<int32_t> expectedCounters = plainCounters(file, expected);

    // The scanner and the collector, block by block.
    movieindex::SignatureScanner scanner(sig);
    movieindex::CounterCollector collector(int64_t(file.size()));
    std::vector<uint64_t> offsets;
    input.feed([&](size_t position, const std::vector<uint8_t>& block) {
        scanner.feed(block.data(), block.size(), offsets);
        collector.feed(position, block.data(), block.size(), offsets);
        FUZZ_CHECK(scanner.position() == position + block.size());
    });
    FUZZ_CHECK(offsets == expected);
    FUZZ_CHECK(collector.finish(offsets) == expectedCounters);

    // The whole scan through a device read in blocks of the largest size.
    if (file.size() < 5)
        return 0;
    QByteArray bytes(reinterpret_cast<const char*>(file.data()), int(file.size()));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const movieindex::ScanResult scan =
        movieindex::scanMovie(device, int64_t(file.size()), input.largest);
    FUZZ_CHECK(scan.versionRead && scan.version == file[4]);
    FUZZ_CHECK(scan.offsets == expected);
    FUZZ_CHECK(scan.counters == expectedCounters);
    FUZZ_CHECK(scan.sizes.size() == expected.size());
    int64_t covered = 0;
    for (int64_t frameSize : scan.sizes) {
        FUZZ_CHECK(frameSize > 0);
        covered += frameSize;
    }
    FUZZ_CHECK(expected.empty() || covered == int64_t(file.size() - expected.front()));
    // Indexes reported by the checks name frames of the file.
    const movieindex::CounterCheck check = movieindex::checkFrameCounters(scan.counters);
    for (int32_t bad : check.badFrames)
        FUZZ_CHECK(bad > 0 && size_t(bad) < expected.size());
    for (int32_t ffc : movieindex::findFfcFrames(scan))
        FUZZ_CHECK(ffc >= 0 && size_t(ffc) < expected.size() && scan.counters[ffc] >= 0);
    return 0;
}
