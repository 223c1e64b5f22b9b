#include "recording/FusionIndex.h"

#include <algorithm>

namespace fusionindex {

movieindex::Signature daylightSignature(uint8_t version) {
    return {'J', 'P', 'E', 'G', version};
}

void partSizes(const std::vector<uint64_t>& first, const std::vector<uint64_t>& second,
               int64_t fileSize, std::vector<int64_t>& firstSizes,
               std::vector<int64_t>& secondSizes) {
    firstSizes.assign(first.size(), 0);
    secondSizes.assign(second.size(), 0);
    size_t i = 0;
    size_t j = 0;
    // Walk both lists in file order; each part ends at the smallest offset
    // greater than its own.
    auto nextAfter = [&](uint64_t offset, size_t fromFirst, size_t fromSecond) {
        uint64_t end = uint64_t(std::max<int64_t>(fileSize, 0));
        if (fromFirst < first.size())
            end = std::min(end, first[fromFirst]);
        if (fromSecond < second.size())
            end = std::min(end, second[fromSecond]);
        return int64_t(std::max(end, offset) - offset);
    };
    while (i < first.size() || j < second.size()) {
        if (j >= second.size() || (i < first.size() && first[i] < second[j])) {
            firstSizes[i] = nextAfter(first[i], i + 1, j);
            ++i;
        } else {
            secondSizes[j] = nextAfter(second[j], i, j + 1);
            ++j;
        }
    }
}

std::vector<int32_t> pairDaylight(const std::vector<uint64_t>& thermal,
                                  const std::vector<uint64_t>& daylight) {
    std::vector<int32_t> pairs(thermal.size(), kNoDaylight);
    size_t j = 0;
    for (size_t i = 0; i < thermal.size(); ++i) {
        while (j < daylight.size() && daylight[j] < thermal[i])
            ++j;
        const uint64_t nextThermal = i + 1 < thermal.size() ? thermal[i + 1] : UINT64_MAX;
        if (j < daylight.size() && daylight[j] < nextThermal)
            pairs[i] = int32_t(std::min<size_t>(j, size_t(INT32_MAX)));
    }
    return pairs;
}

namespace {

// The first signature after the first daylight block, once one was found:
// every position before a signature found so far has been examined.
int64_t firstDaylightEnd(const FusionScan& scan) {
    const uint64_t start = scan.daylightOffsets.front();
    uint64_t end = UINT64_MAX;
    const auto thermal =
        std::upper_bound(scan.thermalOffsets.begin(), scan.thermalOffsets.end(), start);
    if (thermal != scan.thermalOffsets.end())
        end = *thermal;
    if (scan.daylightOffsets.size() > 1)
        end = std::min(end, scan.daylightOffsets[1]);
    return end == UINT64_MAX ? -1 : int64_t(end);
}

} // namespace

FusionScan scanFusion(QIODevice& device, int64_t fileSize, uint32_t blockSize,
                      const movieindex::ScanHooks& hooks, const FirstDaylightFound& firstDaylight,
                      movieindex::ScanKernel kernel) {
    FusionScan result;
    result.fileSize = fileSize;
    result.version = movieindex::readVersionByte(device, result.versionRead);

    movieindex::SignatureScanner scanner(movieindex::frameSignature(result.version),
                                         daylightSignature(result.version), kernel);
    movieindex::CounterCollector counters(fileSize);
    bool firstReported = false;
    movieindex::forEachBlock(
        device, fileSize, blockSize, hooks, [&](int64_t position, const uint8_t* block, qint64 n) {
            scanner.feed(block, size_t(n), result.thermalOffsets, result.daylightOffsets);
            counters.feed(uint64_t(position), block, size_t(n), result.thermalOffsets);
            if (firstDaylight && !firstReported && !result.daylightOffsets.empty()) {
                const int64_t end = firstDaylightEnd(result);
                if (end >= 0) {
                    firstReported = true;
                    const uint64_t start = result.daylightOffsets.front();
                    firstDaylight(start, end - int64_t(start));
                }
            }
        });
    partSizes(result.thermalOffsets, result.daylightOffsets, fileSize, result.thermalSizes,
              result.daylightSizes);
    result.counters = counters.finish(result.thermalOffsets);
    result.daylightOfFrame = pairDaylight(result.thermalOffsets, result.daylightOffsets);
    return result;
}

std::vector<int32_t> findFusionFfcFrames(const FusionScan& scan) {
    if (!scan.versionRead || scan.version < 6)
        return {};
    return movieindex::framesWithFfcMark(scan.thermalOffsets, scan.counters, scan.fileSize);
}

} // namespace fusionindex
