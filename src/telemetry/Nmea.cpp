#include "telemetry/Nmea.h"

#include "telemetry/NumberText.h"

#include <QByteArray>
#include <QDate>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

// Sentences are split at commas with empty pieces kept, so a field keeps its
// position even when the receiver leaves it blank (no fix). Field 0 is the
// sentence name. The fields read:
//   RMC: 1 time hhmmss[.ss], 3/4 latitude and N|S, 5/6 longitude and E|W, 9 date ddmmyy
//   GGA: 2/3 latitude, 4/5 longitude, 7 satellites, 9 altitude in metres
//   VTG: 1 track (true), 3 track (magnetic)
// The hemisphere test is asymmetric: a latitude is positive only with an
// explicit "N", a longitude negative only with an explicit "W", so a sentence
// without a fix (blank fields) gives a latitude of -0 and a longitude of +0.
//
// The sentences are read as bytes (Latin-1), straight from the block: a block
// holds some thirty lines and is parsed once per displayed frame.

namespace nmea {
namespace {

constexpr int kRmcMinFields = 10;
constexpr int kGgaMinFields = 10;
constexpr int kVtgMinFields = 4;
constexpr int kMinutesChars = 7;  // mm.mmmm: finer minutes are dropped
constexpr size_t kNameLength = 6; // "$GPRMC"
constexpr size_t kMinLineLength = 7;
constexpr int kKeptFields = 10; // fields 0 to 9 are all any sentence reads

struct Span {
    const char* begin = nullptr;
    const char* end = nullptr;
    size_t size() const { return size_t(end - begin); }
    Span mid(size_t from, size_t count) const {
        const size_t n = size();
        Span s;
        s.begin = begin + (from < n ? from : n);
        const size_t left = size_t(end - s.begin);
        s.end = s.begin + (count < left ? count : left);
        return s;
    }
    bool is(const char* text) const {
        const size_t n = std::strlen(text);
        return size() == n && std::memcmp(begin, text, n) == 0;
    }
    QString toString() const { return QString::fromLatin1(begin, int(size())); }
};

struct Fields {
    Span field[kKeptFields];
    int count = 0; // all fields of the sentence, also those not kept
};

Fields split(const char* text, size_t length) {
    Fields f;
    const char* p = text;
    const char* const end = text + length;
    while (true) {
        const void* comma = std::memchr(p, ',', size_t(end - p));
        const char* fieldEnd = comma ? static_cast<const char*>(comma) : end;
        if (f.count < kKeptFields)
            f.field[f.count] = Span{p, fieldEnd};
        ++f.count;
        if (!comma)
            break;
        p = fieldEnd + 1;
    }
    return f;
}

bool decimal(const Span& s, double& value) {
    return numbertext::parseDecimal(s.begin, s.end, value);
}

double dezimal(const Span& value, bool isLongitude) {
    const size_t degreeChars = isLongitude ? 3 : 2;
    double degrees = 0.0;
    double minutes = 0.0;
    if (!decimal(value.mid(0, degreeChars), degrees))
        return 0.0;
    if (!decimal(value.mid(degreeChars, kMinutesChars), minutes))
        return 0.0;
    return degrees + minutes / 60.0;
}

// A float field; values a float cannot hold are not numbers either.
bool toFloat(const Span& s, float& value) {
    double v = 0.0;
    if (!decimal(s, v) || std::fabs(v) > double(FLT_MAX))
        return false;
    value = float(v);
    return true;
}

// Two digits of a time or date field; false when they are not a number.
int twoDigits(const Span& field, size_t from, bool& ok) {
    double v = 0.0;
    const Span part = field.mid(from, 2);
    const bool integral = std::find_if(part.begin, part.end, [](char c) {
                              return c == '.' || c == 'e' || c == 'E';
                          }) == part.end;
    const bool partOk = integral && decimal(part, v);
    ok = ok && partOk;
    return partOk ? int(v) : 0;
}

void readPosition(const Fields& f, int latField, NmeaFields& fields) {
    fields.longitude = dezimal(f.field[latField + 2], true);
    fields.latitude = dezimal(f.field[latField], false);
    if (!f.field[latField + 1].is("N"))
        fields.latitude = -fields.latitude;
    if (f.field[latField + 3].is("W"))
        fields.longitude = -fields.longitude;
}

bool named(const Fields& f, const char* gp, const char* gn) {
    return f.field[0].is(gp) || f.field[0].is(gn);
}

bool rmc(const char* text, size_t length, int hourOffset, NmeaFields& fields) {
    const Fields f = split(text, length);
    if (f.count < kRmcMinFields || !named(f, "$GPRMC", "$GNRMC"))
        return false;
    readPosition(f, 3, fields);

    const Span clock = f.field[1];
    const Span day = f.field[9];
    const bool haveTime = clock.size() > 5;
    const bool haveDate = day.size() == 6;
    if (haveTime)
        fields.time = clock.mid(0, 2).toString() + QLatin1Char(':') + clock.mid(2, 2).toString() +
                      QLatin1Char(':') + clock.mid(4, 2).toString();
    if (haveDate)
        fields.date = day.mid(0, 2).toString() + QLatin1Char('.') + day.mid(2, 2).toString() +
                      QLatin1String(".20") + day.mid(4, 2).toString();
    if (!haveTime || !haveDate)
        return true;

    bool dateOk = true;
    const int dd = twoDigits(day, 0, dateOk);
    const int mm = twoDigits(day, 2, dateOk);
    const int yy = twoDigits(day, 4, dateOk);
    const QDate calendar = dateOk ? QDate(2000 + yy, mm, dd) : QDate();
    if (!calendar.isValid()) {
        fields.date.clear();
        fields.time.clear();
        return true;
    }
    bool clockOk = true;
    const int h = twoDigits(clock, 0, clockOk);
    const int m = twoDigits(clock, 2, clockOk);
    const int s = twoDigits(clock, 4, clockOk);
    // An impossible clock (a 25th hour) counts as midnight.
    if (!clockOk || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        clockOk = false;
    const long long seconds = (clockOk ? h * 3600 + m * 60 + s : 0) + hourOffset * 3600LL;
    // The offset shifts date and time together, so the date rolls over at
    // midnight (UTC arithmetic: no daylight saving applies).
    const long long dayShift = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const long long secondOfDay = seconds - dayShift * 86400;
    const QDate shifted = calendar.addDays(dayShift);
    char out[32];
    std::snprintf(out, sizeof out, "%02d.%02d.%04d", shifted.day(), shifted.month(),
                  shifted.year());
    fields.date = QString::fromLatin1(out);
    std::snprintf(out, sizeof out, "%02d:%02d:%02d", int(secondOfDay / 3600),
                  int(secondOfDay / 60 % 60), int(secondOfDay % 60));
    fields.time = QString::fromLatin1(out);
    return true;
}

bool gga(const char* text, size_t length, NmeaFields& fields) {
    const Fields f = split(text, length);
    if (f.count < kGgaMinFields || !named(f, "$GPGGA", "$GNGGA"))
        return false;
    readPosition(f, 2, fields);
    double altitude = 0.0;
    fields.altitude = decimal(f.field[9], altitude) ? altitude : 0.0;
    // Truncated toward zero; a count no 32-bit integer can hold is no count.
    double satellites = 0.0;
    if (decimal(f.field[7], satellites) && satellites > -2147483649.0 && satellites < 2147483648.0)
        fields.satellites = int32_t(satellites);
    else
        fields.satellites = 0;
    return true;
}

bool vtg(const char* text, size_t length, NmeaFields& fields) {
    const Fields f = split(text, length);
    if (f.count < kVtgMinFields || !named(f, "$GPVTG", "$GNVTG"))
        return false;
    float magnetic = 0.0f;
    fields.magneticHeading = toFloat(f.field[3], magnetic) ? magnetic : 0.0f;
    float track = 0.0f;
    const bool trackOk = toFloat(f.field[1], track);
    fields.trackHeading = trackOk ? track : 0.0f;
    return trackOk;
}

} // namespace

void resetFields(NmeaFields& fields) {
    fields.latitude = 0.0;
    fields.longitude = 0.0;
    fields.altitude = 0.0;
    fields.satellites = 0;
    fields.magneticHeading = 0.0f;
    fields.trackHeading = 0.0f;
    fields.date = QStringLiteral("n/a");
    fields.time = QStringLiteral("n/a");
}

bool toDecimal(const QString& text, double& value) {
    const QByteArray bytes = text.toLatin1();
    return numbertext::parseDecimal(bytes.constData(), bytes.constData() + bytes.size(), value);
}

double nmeaToDezimal(const QString& value, bool isLongitude) {
    const QByteArray bytes = value.toLatin1();
    return dezimal(Span{bytes.constData(), bytes.constData() + bytes.size()}, isLongitude);
}

bool parseRMC(const QString& sentence, int hourOffset, NmeaFields& fields) {
    const QByteArray bytes = sentence.toLatin1();
    return rmc(bytes.constData(), size_t(bytes.size()), hourOffset, fields);
}

bool parseGGA(const QString& sentence, NmeaFields& fields) {
    const QByteArray bytes = sentence.toLatin1();
    return gga(bytes.constData(), size_t(bytes.size()), fields);
}

bool parseVTG(const QString& sentence, NmeaFields& fields) {
    const QByteArray bytes = sentence.toLatin1();
    return vtg(bytes.constData(), size_t(bytes.size()), fields);
}

int parseBlock(char* block, uint32_t length, int hourOffset, NmeaFields& fields) {
    if (!block)
        length = 0;
    // The recorder pads the start of a block with zero bytes when the serial
    // port was silent; they become empty lines, also in the copy kept for
    // display, which is why the block itself is changed.
    for (uint32_t i = 0; i < length && block[i] == 0; ++i)
        block[i] = '\n';
    resetFields(fields);

    const char* const begin = block;
    const void* firstZero = length ? std::memchr(begin, 0, length) : nullptr;
    const char* const end = firstZero ? static_cast<const char*>(firstZero) : begin + length;

    int taken = 0;
    const char* line = begin;
    while (line < end) {
        const void* lf = std::memchr(line, '\n', size_t(end - line));
        const char* lineEnd = lf ? static_cast<const char*>(lf) : end;
        const size_t lineLength = size_t(lineEnd - line);
        if (lineLength >= kMinLineLength) {
            // Only a sentence at the start of a line counts. The carriage
            // return of a CR LF line end stays at the end of the sentence.
            const auto isName = [line](const char* name) {
                return std::memcmp(line, name, kNameLength) == 0;
            };
            if (isName("$GPRMC") || isName("$GNRMC"))
                taken += rmc(line, lineLength, hourOffset, fields) ? 1 : 0;
            if (isName("$GPGGA") || isName("$GNGGA"))
                taken += gga(line, lineLength, fields) ? 1 : 0;
            if (isName("$GPVTG") || isName("$GNVTG"))
                taken += vtg(line, lineLength, fields) ? 1 : 0;
        }
        if (!lf)
            break;
        line = lineEnd + 1;
    }
    return taken;
}

} // namespace nmea
