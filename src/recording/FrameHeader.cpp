// Frame header of the recorder's files.
//
// Every frame starts with the four ASCII bytes "VELM" and a version byte. The
// version decides how many bytes the reader fetches, the header length H (the
// pixel word stream starts at 2 * H: the H bytes after the header are not
// decoded) and where the serial data block lies:
//
//   version  bytes read  H      serial block (offset, length)
//   0        35          23     none
//   1        8200        8200   6, 8192
//   2        8204        8204   10, 8192
//   3        refused: this reader has no layout for it
//   4        2048        2048   10, 2036
//   5        2048        2048   40, 2006
//   6        2048        2048   68, 1978
//
// Version 0 fetches 12 bytes more than its header length; they belong to the
// undecoded area and are ignored here.
//
// Versions 5 and 6 also carry the camera core's temperatures and part number:
//   offset 10: u16 focal plane array temperature, tenths of a degree
//   offset 14: u16 housing temperature, hundredths of a degree
//   offset 24: part number, ASCII, zero-terminated, never past the serial block
#include "recording/FrameHeader.h"

#include "base/ByteReader.h"

namespace frameheader {
namespace {

constexpr size_t kFpaTempOffset = 10;
constexpr size_t kHousingTempOffset = 14;
constexpr size_t kPartNumberOffset = 24;

struct VersionRow {
    uint32_t bytesToRead;
    uint32_t headerLength;
    uint32_t serialOffset;
    uint32_t serialLength;
    bool hasCameraData;
};

constexpr VersionRow kVersions[] = {
    {35, 23, 0, 0, false},         // 0
    {8200, 8200, 6, 8192, false},  // 1
    {8204, 8204, 10, 8192, false}, // 2
    {0, 0, 0, 0, false},           // 3: refused
    {2048, 2048, 10, 2036, false}, // 4
    {2048, 2048, 40, 2006, true},  // 5
    {2048, 2048, 68, 1978, true},  // 6
};

} // namespace

bool layoutForVersion(int version, FrameHeaderLayout& out) {
    if (version < 0 || version > 6 || version == 3)
        return false;
    const VersionRow& row = kVersions[version];
    out.version = version;
    out.bytesToRead = row.bytesToRead;
    out.headerLength = row.headerLength;
    out.serialOffset = row.serialOffset;
    out.serialLength = row.serialLength;
    out.hasCameraData = row.hasCameraData;
    return true;
}

bool parse(int version, const uint8_t* data, size_t size, FrameHeader& out) {
    FrameHeader header;
    if (!layoutForVersion(version, header.layout))
        return false;
    ByteReader reader(data, size);
    if (reader.size() < header.layout.bytesToRead)
        return false;

    if (header.layout.hasCameraData) {
        header.tempFPACelsius = reader.u16At(kFpaTempOffset) / 10.0;
        header.tempHousingCelsius = reader.u16At(kHousingTempOffset) / 100.0;
        // The part number field has no length of its own: it ends at its zero
        // byte or, for a string without one, where the serial block begins.
        for (size_t off = kPartNumberOffset; off < header.layout.serialOffset; ++off) {
            bool ok = false;
            const uint8_t c = reader.u8At(off, &ok);
            if (!ok || c == 0)
                break;
            header.partNumber.append(char(c));
        }
    }
    out = header;
    return true;
}

} // namespace frameheader
