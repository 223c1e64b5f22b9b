#pragma once

// Index of a fusion recording (.TFC).
//
// The fusion recorder writes, for every moment, a compressed thermal frame
// ("VELM" + version, laid out as in a .TMC) followed by a daylight block
// ("JPEG" + version, a 2,048-byte block header whose other fields are not
// read, then a JPEG file). The version byte of both signatures is the fifth
// byte of the file. Both kinds are found in one pass over the file.
//
// Recorders drop blocks: a daylight block may be missing, and a file may end
// with a thermal frame. So every part's length ends at the next signature of
// either kind, or at the end of the file, and each thermal frame is paired
// with the daylight block that follows it before the next thermal frame, if
// there is one.

#include "recording/MovieIndex.h"

#include <QIODevice>
#include <cstdint>
#include <functional>
#include <vector>

namespace fusionindex {

constexpr int64_t kDaylightHeaderBytes = 2048; // the JPEG starts after it
constexpr int32_t kNoDaylight = -1;

movieindex::Signature daylightSignature(uint8_t version);

struct FusionScan {
    std::vector<uint64_t> thermalOffsets;
    std::vector<int64_t> thermalSizes;
    std::vector<int32_t> counters; // per thermal frame, as movieindex::CounterCollector
    std::vector<uint64_t> daylightOffsets;
    std::vector<int64_t> daylightSizes;
    // Per thermal frame: the 0-based daylight block that belongs to it, or kNoDaylight.
    std::vector<int32_t> daylightOfFrame;
    int64_t fileSize = 0;
    uint8_t version = 0;
    bool versionRead = false;
};

// Lengths of two interleaved kinds of parts: each part ends where the next
// part of either kind starts, the last one at the end of the file. Both
// lists are in file order.
void partSizes(const std::vector<uint64_t>& first, const std::vector<uint64_t>& second,
               int64_t fileSize, std::vector<int64_t>& firstSizes,
               std::vector<int64_t>& secondSizes);
// For each thermal frame the first daylight block between it and the next
// thermal frame (kNoDaylight when none).
std::vector<int32_t> pairDaylight(const std::vector<uint64_t>& thermal,
                                  const std::vector<uint64_t>& daylight);

// Called once, as soon as the scan has found where the first daylight block
// ends (the next signature of either kind), so that its picture can be
// decoded while the rest of the file is scanned; not called when that end is
// the end of the file.
using FirstDaylightFound = std::function<void(uint64_t offset, int64_t size)>;

FusionScan scanFusion(QIODevice& device, int64_t fileSize, uint32_t blockSize,
                      const movieindex::ScanHooks& hooks = {},
                      const FirstDaylightFound& firstDaylight = {},
                      movieindex::ScanKernel kernel = movieindex::ScanKernel::Best);

// 0-based thermal frames whose counter word carries the FFC mark and ends
// strictly before the end of the file; only version 6 and later mark them.
std::vector<int32_t> findFusionFfcFrames(const FusionScan& scan);

} // namespace fusionindex
