#include "telemetry/Nmea.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QVector>
#include <cfloat>
#include <cmath>
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

namespace nmea {
namespace {

constexpr int kRmcMinFields = 10;
constexpr int kGgaMinFields = 10;
constexpr int kVtgMinFields = 4;
constexpr int kMinutesChars = 7; // mm.mmmm: finer minutes are dropped
constexpr int kNameLength = 6;   // "$GPRMC"
constexpr int kMinLineLength = 7;

using Fields = QVector<QStringRef>;

Fields splitFields(const QString& sentence) {
    return sentence.splitRef(QLatin1Char(','), Qt::KeepEmptyParts);
}

bool refToDecimal(const QStringRef& text, double& value) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

double refToDezimal(const QStringRef& value, bool isLongitude) {
    const int degreeChars = isLongitude ? 3 : 2;
    double degrees = 0.0;
    double minutes = 0.0;
    if (!refToDecimal(value.left(degreeChars), degrees))
        return 0.0;
    if (!refToDecimal(value.mid(degreeChars, kMinutesChars), minutes))
        return 0.0;
    return degrees + minutes / 60.0;
}

// A float field; values a float cannot hold are not numbers either.
bool refToFloat(const QStringRef& text, float& value) {
    double v = 0.0;
    if (!refToDecimal(text, v) || std::fabs(v) > double(FLT_MAX))
        return false;
    value = float(v);
    return true;
}

// Two digits of a time or date field; false when they are not a number.
int twoDigits(const QStringRef& field, int from, bool& ok) {
    bool partOk = false;
    const int v = field.mid(from, 2).toInt(&partOk);
    ok = ok && partOk;
    return v;
}

void readPosition(const Fields& f, int latField, NmeaFields& fields) {
    fields.longitude = refToDezimal(f[latField + 2], true);
    fields.latitude = refToDezimal(f[latField], false);
    if (f[latField + 1] != QLatin1String("N"))
        fields.latitude = -fields.latitude;
    if (f[latField + 3] == QLatin1String("W"))
        fields.longitude = -fields.longitude;
}

bool nameIs(const QStringRef& name, const char* gp, const char* gn) {
    return name == QLatin1String(gp) || name == QLatin1String(gn);
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
    return refToDecimal(QStringRef(&text), value);
}

double nmeaToDezimal(const QString& value, bool isLongitude) {
    return refToDezimal(QStringRef(&value), isLongitude);
}

bool parseRMC(const QString& sentence, int hourOffset, NmeaFields& fields) {
    const Fields f = splitFields(sentence);
    if (f.size() < kRmcMinFields || !nameIs(f[0], "$GPRMC", "$GNRMC"))
        return false;
    readPosition(f, 3, fields);

    const QStringRef clock = f[1];
    const QStringRef day = f[9];
    const bool haveTime = clock.size() > 5;
    const bool haveDate = day.size() == 6;
    if (haveTime)
        fields.time = clock.mid(0, 2).toString() + QLatin1Char(':') + clock.mid(2, 2) +
                      QLatin1Char(':') + clock.mid(4, 2);
    if (haveDate)
        fields.date = day.mid(0, 2).toString() + QLatin1Char('.') + day.mid(2, 2) +
                      QLatin1String(".20") + day.mid(4, 2);
    if (haveTime && haveDate) {
        bool dateOk = true;
        const int dd = twoDigits(day, 0, dateOk);
        const int mm = twoDigits(day, 2, dateOk);
        const int yy = twoDigits(day, 4, dateOk);
        const QDate calendar = dateOk ? QDate(2000 + yy, mm, dd) : QDate();
        bool clockOk = true;
        const int h = twoDigits(clock, 0, clockOk);
        const int m = twoDigits(clock, 2, clockOk);
        const int s = twoDigits(clock, 4, clockOk);
        QTime wallClock = clockOk ? QTime(h, m, s, 0) : QTime();
        if (!wallClock.isValid())
            wallClock = QTime(0, 0, 0, 0);
        if (!calendar.isValid()) {
            fields.date.clear();
            fields.time.clear();
        } else {
            // The offset is applied to date and time together so that the
            // date rolls over at midnight.
            const QDateTime shifted =
                QDateTime(calendar, wallClock, Qt::UTC).addSecs(qint64(hourOffset) * 3600);
            fields.date = shifted.toString(QStringLiteral("dd.MM.yyyy"));
            fields.time = shifted.toString(QStringLiteral("hh:mm:ss"));
        }
    }
    return true;
}

bool parseGGA(const QString& sentence, NmeaFields& fields) {
    const Fields f = splitFields(sentence);
    if (f.size() < kGgaMinFields || !nameIs(f[0], "$GPGGA", "$GNGGA"))
        return false;
    readPosition(f, 2, fields);
    double altitude = 0.0;
    fields.altitude = refToDecimal(f[9], altitude) ? altitude : 0.0;
    // Truncated toward zero; a count no 32-bit integer can hold is no count.
    double satellites = 0.0;
    if (refToDecimal(f[7], satellites) && satellites > -2147483649.0 && satellites < 2147483648.0)
        fields.satellites = int32_t(satellites);
    else
        fields.satellites = 0;
    return true;
}

bool parseVTG(const QString& sentence, NmeaFields& fields) {
    const Fields f = splitFields(sentence);
    if (f.size() < kVtgMinFields || !nameIs(f[0], "$GPVTG", "$GNVTG"))
        return false;
    float magnetic = 0.0f;
    fields.magneticHeading = refToFloat(f[3], magnetic) ? magnetic : 0.0f;
    float track = 0.0f;
    const bool trackOk = refToFloat(f[1], track);
    fields.trackHeading = trackOk ? track : 0.0f;
    return trackOk;
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
        const int lineLength = int(lineEnd - line);
        if (lineLength >= kMinLineLength) {
            // Only a sentence at the start of a line counts. The carriage
            // return of a CR LF line end stays at the end of the sentence.
            const auto named = [line](const char* name) {
                return std::memcmp(line, name, kNameLength) == 0;
            };
            if (named("$GPRMC") || named("$GNRMC"))
                taken += parseRMC(QString::fromLatin1(line, lineLength), hourOffset, fields);
            if (named("$GPGGA") || named("$GNGGA"))
                taken += parseGGA(QString::fromLatin1(line, lineLength), fields);
            if (named("$GPVTG") || named("$GNVTG"))
                taken += parseVTG(QString::fromLatin1(line, lineLength), fields);
        }
        if (!lf)
            break;
        line = lineEnd + 1;
    }
    return taken;
}

} // namespace nmea
