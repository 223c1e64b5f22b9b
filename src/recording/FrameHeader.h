#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// Where the parts of a frame header lie, for one header version.
struct FrameHeaderLayout {
    int version = 0;
    uint32_t bytesToRead = 0;   // bytes the reader fetches for the header
    uint32_t headerLength = 0;  // H: the pixel stream starts at 2 * H
    uint32_t serialOffset = 0;  // serial data block inside the header bytes
    uint32_t serialLength = 0;  // 0: the version carries no serial block
    bool hasCameraData = false; // part number and the two temperatures
};

// One parsed frame header.
struct FrameHeader {
    FrameHeaderLayout layout;
    double tempFPACelsius = 0.0;     // stored in tenths of a degree
    double tempHousingCelsius = 0.0; // stored in hundredths of a degree
    QByteArray partNumber;           // without its terminating zero
};

namespace frameheader {

// The layout of a header version; false for version 3 (never supported) and
// for any version outside 0 to 6.
bool layoutForVersion(int version, FrameHeaderLayout& out);

// Parses the header bytes [data, data + size) of the given version. Fails when
// the version is refused or fewer than layout.bytesToRead bytes are given.
// Reads nothing outside the span.
bool parse(int version, const uint8_t* data, size_t size, FrameHeader& out);

} // namespace frameheader
