#include "telemetry/Downlink.h"

#include "base/Report.h"
#include "telemetry/NumberText.h"

#include <QString>
#include <cctype>
#include <cmath>
#include <cstring>
#include <ctime>

// Record lines, e.g. "#7,0.01,-0.02,1.57,126" + CR LF:
//   - the record number, then fields each followed by a comma, then the
//     checksum: 255 minus the 8-bit sum of the bytes from "#" through the last
//     comma, in decimal;
//   - a field counts only when a comma follows it (the one before the
//     checksum counts), so a line cut short loses its last fields;
//   - floating fields are read like C atof in the "C" locale, integer fields
//     like C atol (on a 64-bit long, saturating); a floating value kept in an
//     integer field is truncated toward zero and then wrapped to the field's
//     width.
// Only the first 255 characters of a line are looked at, and every field is
// copied into a buffer that can hold the whole line, so no field is cut.

namespace {

constexpr size_t kLineCopy = 255;
constexpr size_t kFieldBuffer = kLineCopy + 1;
constexpr double kPi = 3.141592653589793;

// WGS 84
constexpr double kSemiMajorAxis = 6378137.0;
constexpr double kSemiMinorAxis = 6356752.314245179;
constexpr double kEPrime2TimesB = 42841.311513313565;
constexpr double kE2TimesA = 42697.6727071805;

constexpr uint32_t kSecondsPerWeek = 604800;
// GPS epoch (6 January 1980) in Unix seconds, less 15 seconds: the leap
// seconds between GPS time and UTC of 2009 to 2012, applied as a fixed offset
// (later leap seconds are not looked up, so stored times keep this offset).
constexpr uint32_t kGpsToUnixSeconds = 315964785;

// strtol over [begin, end): leading white space, a sign, digits; saturates at
// the 64-bit range instead of overflowing.
long long parseLong(const char* begin, const char* end) {
    const char* p = begin;
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    unsigned long long magnitude = 0;
    const unsigned long long limit = negative ? 9223372036854775808ull : 9223372036854775807ull;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        const unsigned digit = unsigned(*p - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            continue;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative)
        return static_cast<long long>(magnitude);
    return magnitude == 9223372036854775808ull ? (-9223372036854775807ll - 1)
                                               : -static_cast<long long>(magnitude);
}

// Truncated toward zero, then wrapped to 'bits' bits; not-a-number and
// infinities give 0.
uint64_t wrapReal(double value, int bits) {
    if (!std::isfinite(value))
        return 0;
    const double modulus = std::ldexp(1.0, bits);
    double m = std::fmod(std::trunc(value), modulus);
    if (m < 0)
        m += modulus;
    return static_cast<uint64_t>(m);
}

uint32_t realToU32(double value) {
    return static_cast<uint32_t>(wrapReal(value, 32));
}
uint8_t realToU8(double value) {
    return static_cast<uint8_t>(wrapReal(value, 8));
}
uint32_t integerToU32(long long value) {
    return static_cast<uint32_t>(static_cast<unsigned long long>(value));
}
int32_t integerToI32(long long value) {
    return static_cast<int32_t>(integerToU32(value));
}

// Silenced threads: see DownlinkConsoleSilence.
thread_local int silenceDepth = 0;

void message(const QString& text) {
    if (silenceDepth == 0)
        kx::consoleWrite(kx::Stream::Out, text);
}

void message(const char* text) {
    message(QString::fromLatin1(text));
}

// Reads the fields of one record, each up to its comma.
class FieldCursor {
public:
    explicit FieldCursor(char* from)
        : pos(from) {}
    // True when the next field is followed by a comma; once false, stays false.
    bool next() {
        if (!pos)
            return false;
        pos = ScanNextString(pos, field, sizeof field);
        return pos != nullptr;
    }
    double real() const { return numbertext::atofC(field); }
    long long integer() const { return parseLong(field, field + std::strlen(field)); }
    bool reals(double* out, int count) {
        for (int i = 0; i < count; ++i) {
            if (!next())
                return false;
            out[i] = real();
        }
        return true;
    }
    bool integers(long long* out, int count) {
        for (int i = 0; i < count; ++i) {
            if (!next())
                return false;
            out[i] = integer();
        }
        return true;
    }

private:
    char* pos;
    char field[kFieldBuffer] = {};
};

// Reads and stores one record; false when the number is not a record or a
// required field is missing (nothing of the record is stored then).
bool readRecord(long long number, char* rest, _DLDEC* dec) {
    FieldCursor f(rest);
    double r[14] = {};
    long long n[8] = {};
    switch (number) {
    case 0:
        return f.integers(n, 1);
    case 1:
        if (!f.reals(r, 10))
            return false;
        dec->rec1Field1 = realToU8(r[0]);
        dec->rec1Field2 = realToU32(r[1]);
        for (int i = 0; i < 5; ++i)
            dec->rec1Fields3to7[i] = realToU8(r[2 + i]);
        dec->rec1Field8 = r[7] / 1000.0;
        dec->rec1Field9 = realToU32(r[8]);
        dec->rec1Field10 = realToU32(r[9]);
        return true;
    case 2:
        if (!f.reals(r, 14))
            return false;
        std::memcpy(dec->record2, r, sizeof dec->record2);
        return true;
    case 3:
        if (!f.reals(r, 4))
            return false;
        dec->record3[0] = r[0];
        dec->record3[1] = r[1];
        dec->record3[2] = r[3];
        dec->record3[3] = r[2];
        return true;
    case 4:
        if (!f.reals(r, 4))
            return false;
        for (int i = 0; i < 4; ++i)
            dec->record4[i] = realToU32(r[i]);
        // Unsigned 32-bit arithmetic: wraps like the flight controller's.
        dec->gpsUnixTime =
            dec->record4[2] * kSecondsPerWeek + dec->record4[1] / 1000u + kGpsToUnixSeconds;
        return true;
    case 5:
        if (!f.integers(n, 3))
            return false;
        dec->ecefX = integerToI32(n[0]);
        dec->ecefY = integerToI32(n[1]);
        dec->ecefZ = integerToI32(n[2]);
        if (f.reals(r, 2)) {
            dec->rec5Field4 = r[0];
            dec->rec5Field5 = realToU32(r[1]);
        }
        return true;
    case 6:
        if (!f.reals(r, 4))
            return false;
        std::memcpy(dec->record6, r, sizeof dec->record6);
        return true;
    case 7:
        if (!f.reals(r, 3))
            return false;
        for (int i = 0; i < 3; ++i)
            dec->attitude[i] = r[i] * 180.0 / kPi;
        return true;
    case 8:
        if (!f.reals(r, 3))
            return false;
        f.next(); // a fourth value is sent by some firmware and not used
        dec->record8[0] = r[1];
        dec->record8[1] = r[0];
        dec->record8[2] = r[2] / 100.0;
        return true;
    case 9:
        if (!f.reals(r, 3))
            return false;
        std::memcpy(dec->record9, r, sizeof dec->record9);
        return true;
    case 10:
        if (!f.reals(r, 3))
            return false;
        std::memcpy(dec->record10, r, sizeof dec->record10);
        return true;
    case 11:
        // ",255" anywhere marks a record without values.
        if (std::strstr(rest, ",255"))
            return true;
        if (!f.integers(n, 3))
            return false;
        dec->rec11Field3 = integerToU32(n[2]);
        dec->rec11Field2 = static_cast<uint8_t>(integerToU32(n[1]));
        dec->rec11Field1 = static_cast<uint8_t>(integerToU32(n[0]));
        return true;
    case 98:
        if (!f.integers(n, 7))
            return false;
        f.next();
        return true;
    case 99:
        return true;
    default:
        return false;
    }
}

int analyzeLine(const char* line, size_t length, _DLDEC* dec) {
    char copy[kLineCopy + 1];
    size_t n = 0;
    while (n < length && n < kLineCopy && line[n] != 0) {
        copy[n] = line[n];
        ++n;
    }
    copy[n] = 0;

    char* hash = std::strchr(copy, '#');
    if (!hash) {
        message("dldec: No Frame!");
        return 0;
    }
    if (!CheckFrameContent(hash)) {
        message("dldec: Checksum Error!");
        return 0;
    }
    char field[kFieldBuffer];
    char* rest = ScanNextString(hash + 1, field, sizeof field);
    if (!rest) {
        message("dldec: No Number!");
        return 0;
    }
    const long long number = parseLong(field, field + std::strlen(field));
    if (dec) {
        dec->lastRecordNumber = integerToU32(number);
        if (number >= 0 && number <= 31)
            dec->receivedMask |= 1u << number;
    }
    _DLDEC scratch;
    DLDInitShadow(&scratch);
    return readRecord(number, rest, dec ? dec : &scratch) ? 2 : 0;
}

void formatGpsTime(const _DLDEC* dec, char* out, int size, const char* pattern) {
    if (!out || size <= 0)
        return;
    out[0] = 0;
    if (!dec)
        return;
    const std::time_t seconds = static_cast<std::time_t>(dec->gpsUnixTime);
    std::tm utc{};
    if (!gmtime_r(&seconds, &utc))
        return;
    if (std::strftime(out, size_t(size), pattern, &utc) == 0)
        out[0] = 0;
}

} // namespace

int DLDInitShadow(_DLDEC* dec) {
    if (!dec)
        return 0;
    std::memset(dec, 0, sizeof *dec);
    dec->lastRecordNumber = 999;
    dec->rec1Field8 = kDldecUnset;
    for (double& v : dec->record2)
        v = kDldecUnset;
    for (double& v : dec->record3)
        v = kDldecUnset;
    dec->rec5Field4 = kDldecUnset;
    for (double& v : dec->record6)
        v = kDldecUnset;
    for (double& v : dec->attitude)
        v = kDldecUnset;
    for (double& v : dec->record8)
        v = kDldecUnset;
    for (double& v : dec->record9)
        v = kDldecUnset;
    for (double& v : dec->record10)
        v = kDldecUnset;
    return 1;
}

char* ScanNextString(char* from, char* field, size_t fieldSize) {
    size_t copied = 0;
    char* p = from;
    for (; p && *p != 0 && *p != ','; ++p) {
        if (field && copied + 1 < fieldSize)
            field[copied++] = *p;
    }
    if (field && fieldSize > 0)
        field[copied] = 0;
    return (p && *p == ',') ? p + 1 : nullptr;
}

bool CheckFrameContent(char* line) {
    if (!line)
        return false;
    unsigned sum = 0;
    unsigned sumThroughLastComma = 0;
    const char* lastComma = nullptr;
    const char* p = line;
    for (; *p != 0 && *p != '\r' && *p != '\n'; ++p) {
        sum += static_cast<unsigned char>(*p);
        if (*p == ',') {
            lastComma = p;
            sumThroughLastComma = sum;
        }
    }
    if (!lastComma || lastComma + 1 == p)
        return false;
    const long long given = parseLong(lastComma + 1, p);
    return given == 255 - static_cast<long long>(sumThroughLastComma % 256);
}

int AnalyzeDownlinkDecoder(char* line, _DLDEC* dec) {
    if (!line)
        return 0;
    return analyzeLine(line, kLineCopy, dec);
}

int decodeDownlinkText(const char* text, size_t length, _DLDEC* dec, int* linesAccepted) {
    if (linesAccepted)
        *linesAccepted = 0;
    if (!text)
        return 1;
    const void* zero = std::memchr(text, 0, length);
    if (zero)
        length = size_t(static_cast<const char*>(zero) - text);
    size_t start = 0;
    for (size_t i = 0; i + 1 < length; ++i) {
        if (text[i] != '\r' || text[i + 1] != '\n')
            continue;
        if (analyzeLine(text + start, i - start, dec) == 0)
            return 0;
        if (linesAccepted)
            ++*linesAccepted;
        start = i + 2;
        ++i;
    }
    return 1;
}

DownlinkConsoleSilence::DownlinkConsoleSilence() {
    ++silenceDepth;
}

DownlinkConsoleSilence::~DownlinkConsoleSilence() {
    --silenceDepth;
}

int decodeDownlink(char* text, _DLDEC* dec) {
    if (!text)
        return 1;
    return decodeDownlinkText(text, std::strlen(text), dec, nullptr);
}

void ECEF_to_WGS84(_DLDEC* dec, double* latitude, double* longitude) {
    if (!dec)
        return;
    // Whole metres: the integer division drops the centimetres on purpose.
    const double x = double(dec->ecefX / 100);
    const double y = double(dec->ecefY / 100);
    const double z = double(dec->ecefZ / 100);
    const double p = std::sqrt(x * x + y * y);
    const double theta = std::atan2(z * kSemiMajorAxis, p * kSemiMinorAxis);
    const double sinTheta = std::sin(theta);
    const double cosTheta = std::cos(theta);
    const double lonRad = std::atan2(y, x);
    const double latRad = std::atan2(z + kEPrime2TimesB * sinTheta * sinTheta * sinTheta,
                                     p - kE2TimesA * cosTheta * cosTheta * cosTheta);
    const double lonDeg = lonRad * 180.0 / kPi;
    const double latDeg = latRad * 180.0 / kPi;
    if (latitude)
        *latitude = latDeg;
    if (longitude)
        *longitude = lonDeg;
    message(QString::asprintf("ECEF TO WGS84 %f %f %f %f %f\n", x, y, z, lonDeg, latDeg));
}

void GPS_TIME_to_Date_String(_DLDEC* dec, char* out, int size) {
    formatGpsTime(dec, out, size, "%Y-%m-%d");
}

void GPS_TIME_to_Time_String(_DLDEC* dec, char* out, int size) {
    formatGpsTime(dec, out, size, "%H:%M:%S");
}

bool findLastDownlinkFrame(const char* block, size_t length, size_t& begin, size_t& end) {
    if (!block)
        return false;
    const void* zero = std::memchr(block, 0, length);
    const size_t textLength = zero ? size_t(static_cast<const char*>(zero) - block) : length;
    constexpr size_t kNotFound = size_t(-1);
    size_t prev = kNotFound;
    size_t last = kNotFound;
    // Every find resumes three characters further on, so finds never overlap.
    for (size_t i = 0; i + 3 <= textLength;) {
        if (block[i] == '#' && block[i + 1] == '1' && block[i + 2] == ',') {
            prev = last;
            last = i;
            i += 3;
        } else {
            ++i;
        }
    }
    // A single record 1 starts a frame that may still be incomplete.
    if (prev == kNotFound || last - prev >= 4095)
        return false;
    begin = prev;
    end = last;
    return true;
}
