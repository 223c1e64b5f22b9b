// NMEA block: never more sentences taken than the block has lines, only the
// leading zero bytes rewritten, finite numbers, and a one-line block read as
// the single-sentence parsers read it.
//
// Input: hour offset (i8), then the serial block.
#include "FuzzTarget.h"

#include "telemetry/Nmea.h"

#include <cmath>

namespace {

bool sameFields(const nmea::NmeaFields& a, const nmea::NmeaFields& b) {
    auto same = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
    return same(a.latitude, b.latitude) && same(a.longitude, b.longitude) &&
           same(a.altitude, b.altitude) && a.satellites == b.satellites &&
           same(a.magneticHeading, b.magneticHeading) && same(a.trackHeading, b.trackHeading) &&
           a.date == b.date && a.time == b.time;
}

} // namespace

KALORIX_FUZZ_TARGET(nmea) {
    fuzzing::Params params(data, size);
    const int hourOffset = int(int8_t(params.u8()));
    const std::vector<uint8_t> original = params.rest();
    std::vector<char> block(original.begin(), original.end());

    nmea::NmeaFields fields;
    const int taken = nmea::parseBlock(block.data(), uint32_t(block.size()), hourOffset, fields);

    size_t leadingZeros = 0;
    while (leadingZeros < original.size() && original[leadingZeros] == 0)
        ++leadingZeros;
    for (size_t i = 0; i < block.size(); ++i)
        FUZZ_CHECK(block[i] == (i < leadingZeros ? '\n' : char(original[i])));

    // Lines of seven characters or more up to the first zero byte.
    const char* end = fuzzing::firstZero(block.data(), block.size());
    const size_t textLength = end ? size_t(end - block.data()) : block.size();
    int lines = 0;
    size_t lineStart = 0;
    for (size_t i = 0; i <= textLength; ++i) {
        if (i == textLength || block[i] == '\n') {
            lines += i - lineStart >= 7 ? 1 : 0;
            lineStart = i + 1;
        }
    }
    FUZZ_CHECK(taken >= 0 && taken <= lines);
    FUZZ_CHECK(std::isfinite(fields.latitude) && std::isfinite(fields.longitude));
    FUZZ_CHECK(std::isfinite(fields.altitude));
    FUZZ_CHECK(std::isfinite(fields.magneticHeading) && std::isfinite(fields.trackHeading));

    // One line without a line feed or zero byte: the sentence parsers agree.
    if (leadingZeros > 0 || textLength != block.size() || block.size() < 7 ||
        std::memchr(block.data(), '\n', block.size()))
        return 0;
    const QString sentence = QString::fromLatin1(block.data(), int(block.size()));
    nmea::NmeaFields single;
    nmea::resetFields(single);
    const QString name = sentence.left(6);
    int singleTaken = 0;
    if (name == QLatin1String("$GPRMC") || name == QLatin1String("$GNRMC"))
        singleTaken = nmea::parseRMC(sentence, hourOffset, single) ? 1 : 0;
    else if (name == QLatin1String("$GPGGA") || name == QLatin1String("$GNGGA"))
        singleTaken = nmea::parseGGA(sentence, single) ? 1 : 0;
    else if (name == QLatin1String("$GPVTG") || name == QLatin1String("$GNVTG"))
        singleTaken = nmea::parseVTG(sentence, single) ? 1 : 0;
    FUZZ_CHECK(singleTaken == taken);
    FUZZ_CHECK(sameFields(single, fields));
    return 0;
}
