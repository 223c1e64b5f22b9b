// Frame header of every version: a version byte, then the header bytes.
#include "FuzzTarget.h"

#include "base/ByteReader.h"
#include "recording/FrameHeader.h"

#include <cmath>

KALORIX_FUZZ_TARGET(frame_header) {
    fuzzing::Params params(data, size);
    // -1 to 7: the refused versions around the known ones are part of the test.
    const int version = int(params.u8() % 9) - 1;
    const std::vector<uint8_t> bytes = params.rest();

    FrameHeaderLayout layout;
    const bool known = frameheader::layoutForVersion(version, layout);
    FUZZ_CHECK(known == (version >= 0 && version <= 6 && version != 3));
    FrameHeader header;
    const bool parsed = frameheader::parse(version, bytes.data(), bytes.size(), header);
    FUZZ_CHECK(parsed == (known && bytes.size() >= layout.bytesToRead));
    if (!known)
        return 0;
    // The serial block lies inside the bytes read; the stream starts past them.
    FUZZ_CHECK(uint64_t(layout.serialOffset) + layout.serialLength <= layout.bytesToRead);
    FUZZ_CHECK(layout.headerLength <= layout.bytesToRead);
    FUZZ_CHECK(layout.version == version);
    if (!parsed)
        return 0;

    // A header cut one byte short is refused, and nothing past it is read.
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + (layout.bytesToRead - 1));
    FrameHeader unchanged;
    FUZZ_CHECK(!frameheader::parse(version, cut.data(), cut.size(), unchanged));
    FUZZ_CHECK(unchanged.partNumber.isEmpty() && unchanged.layout.version == 0);

    const ByteReader reader(bytes.data(), bytes.size());
    if (!layout.hasCameraData) {
        FUZZ_CHECK(header.partNumber.isEmpty());
        FUZZ_CHECK(header.tempFPACelsius == 0.0 && header.tempHousingCelsius == 0.0);
        return 0;
    }
    FUZZ_CHECK(header.tempFPACelsius == reader.u16At(10) / 10.0);
    FUZZ_CHECK(header.tempHousingCelsius == reader.u16At(14) / 100.0);
    // The part number is the bytes from offset 24 up to its zero, never into
    // the serial block.
    const size_t partLength = size_t(header.partNumber.size());
    FUZZ_CHECK(24 + partLength <= layout.serialOffset);
    FUZZ_CHECK(std::memcmp(header.partNumber.constData(), bytes.data() + 24, partLength) == 0);
    FUZZ_CHECK(std::memchr(header.partNumber.constData(), 0, partLength) == nullptr);
    FUZZ_CHECK(24 + partLength == layout.serialOffset || bytes[24 + partLength] == 0);

    return 0;
}
