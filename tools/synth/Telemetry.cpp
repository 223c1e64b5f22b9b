#include "synth/Synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace synth {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadiusM = 6378137.0;
constexpr double kDeclinationDeg = 2.6; // east; magnetic = true - declination
// The downlink decoder turns GPS week and time of week into Unix seconds with
// this offset (the GPS epoch less the leap seconds it assumes).
constexpr int64_t kGpsToUnixOffsetS = 315964785;

double wrap360(double deg) {
    double d = std::fmod(deg, 360.0);
    if (d < 0)
        d += 360.0;
    return d;
}

double radians(double deg) {
    return deg * kPi / 180.0;
}

// ddmm.mmmm / dddmm.mmmm with the minutes rounded to four decimals.
QByteArray nmeaAngle(double deg, int degreeDigits) {
    const long long total = std::llround(std::fabs(deg) * 600000.0); // 1e-4 minutes
    const long long degrees = total / 600000;
    const long long rest = total % 600000;
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld", degreeDigits, degrees, rest / 10000,
                  rest % 10000);
    return text;
}

QByteArray fixed(double value, int decimals) {
    return QByteArray::number(value, 'f', decimals);
}

QByteArray padded(double value, int width, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*.*f", width, decimals, value);
    return text;
}

void putLe(QByteArray& payload, int offset, uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        payload[offset + i] = char((value >> (8 * i)) & 0xFF);
}

void putFloat(QByteArray& payload, int offset, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putLe(payload, offset, bits, 4);
}

int32_t degreesE7(double deg) {
    return int32_t(std::llround(deg * 1e7));
}

} // namespace

FlightState flightStateAt(const FlightOptions& options, double seconds) {
    const double leg = std::max(1.0, options.legLengthM);
    const double spacing = std::max(0.0, options.legSpacingM);
    const double speed = std::max(0.0, options.speedMS);
    const double cycle = 2 * (leg + spacing);
    const double travelled = speed * std::max(0.0, seconds);
    const double cycles = std::floor(travelled / cycle);
    const double r = travelled - cycles * cycle;

    // Lawn-mower survey: north along a leg, east by the spacing, south along
    // the next leg, east again.
    double north = 0, east = cycles * 2 * spacing, track = 0;
    if (r < leg) {
        north = r;
        track = 0;
    } else if (r < leg + spacing) {
        north = leg;
        east += r - leg;
        track = 90;
    } else if (r < 2 * leg + spacing) {
        north = leg - (r - leg - spacing);
        east += spacing;
        track = 180;
    } else {
        east += spacing + (r - 2 * leg - spacing);
        track = 90;
    }

    FlightState s;
    s.latitude = options.originLatitude + north / kEarthRadiusM * 180.0 / kPi;
    s.longitude = options.originLongitude +
                  east / (kEarthRadiusM * std::cos(radians(options.originLatitude))) * 180.0 / kPi;
    s.altitudeM = options.altitudeM;
    s.trackDeg = track;
    s.magneticDeg = wrap360(track - kDeclinationDeg);
    s.speedMS = speed;
    s.rollDeg = 2.0 * std::sin(0.9 * seconds);
    s.pitchDeg = 2.5 + 0.8 * std::sin(0.37 * seconds);
    s.yawDeg = wrap360(track + 1.5 * std::sin(0.21 * seconds));
    s.satellites = options.satellites;
    s.utc = options.startUtc.addMSecs(std::llround(seconds * 1000.0));
    return s;
}

QByteArray nmeaSentence(const QByteArray& body) {
    uint8_t sum = 0;
    for (char c : body)
        sum ^= uint8_t(c);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", unsigned(sum));
    return "$" + body + "*" + QByteArray(hex) + "\r\n";
}

QByteArray nmeaBlock(const FlightState& state, const QByteArray& talker) {
    const QDateTime utc = state.utc.toUTC();
    const QTime t = utc.time();
    const QDate d = utc.date();
    char timeText[48], dateText[48];
    std::snprintf(timeText, sizeof timeText, "%02d%02d%02d.%02d", t.hour(), t.minute(), t.second(),
                  t.msec() / 10);
    std::snprintf(dateText, sizeof dateText, "%02d%02d%02d", d.day(), d.month(), d.year() % 100);
    const QByteArray time(timeText);
    const QByteArray date(dateText);
    const QByteArray lat = nmeaAngle(state.latitude, 2) + (state.latitude < 0 ? ",S" : ",N");
    const QByteArray lon = nmeaAngle(state.longitude, 3) + (state.longitude < 0 ? ",W" : ",E");
    const double knots = state.speedMS * 3600.0 / 1852.0;
    char sats[16];
    std::snprintf(sats, sizeof sats, "%02d", std::clamp(state.satellites, 0, 99));

    QByteArray gsa = talker + "GSA,A,3";
    for (int i = 0; i < 12; ++i) {
        char prn[16] = "";
        if (i < state.satellites)
            std::snprintf(prn, sizeof prn, "%02d", 2 + 3 * i);
        gsa += "," + QByteArray(prn);
    }
    gsa += ",1.8,0.9,1.6";

    QByteArray block;
    block += nmeaSentence(talker + "GGA," + time + "," + lat + "," + lon + ",1," +
                          QByteArray(sats) + ",0.9," + fixed(state.altitudeM, 1) + ",M,47.3,M,,");
    block += nmeaSentence(gsa);
    block += nmeaSentence(talker + "RMC," + time + ",A," + lat + "," + lon + "," +
                          padded(knots, 5, 1) + "," + padded(state.trackDeg, 5, 1) + "," + date +
                          "," + padded(kDeclinationDeg, 5, 1) + ",E,A");
    block += nmeaSentence(talker + "VTG," + padded(state.trackDeg, 5, 1) + ",T," +
                          padded(state.magneticDeg, 5, 1) + ",M," + padded(knots, 5, 1) + ",N," +
                          padded(state.speedMS * 3.6, 5, 1) + ",K,A");
    return block;
}

QByteArray mdRecord(int number, const std::vector<QByteArray>& fields) {
    QByteArray line = "#" + QByteArray::number(number) + ",";
    for (const QByteArray& f : fields)
        line += f + ",";
    uint32_t sum = 0;
    for (char c : line)
        sum += uint8_t(c);
    return line + QByteArray::number(255 - int(sum % 256)) + "\r\n";
}

void gpsWeekAndTowMs(const QDateTime& utc, uint32_t& week, uint32_t& towMs) {
    const int64_t ms = utc.toMSecsSinceEpoch();
    const int64_t gpsMs = ms - kGpsToUnixOffsetS * 1000;
    const int64_t weekMs = int64_t(604800) * 1000;
    week = uint32_t(gpsMs / weekMs);
    towMs = uint32_t(gpsMs % weekMs);
}

void wgs84ToEcef(double latitudeDeg, double longitudeDeg, double heightM, double& x, double& y,
                 double& z) {
    const double a = 6378137.0;
    const double f = 1.0 / 298.257223563;
    const double e2 = f * (2 - f);
    const double phi = radians(latitudeDeg);
    const double lambda = radians(longitudeDeg);
    const double n = a / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
    x = (n + heightM) * std::cos(phi) * std::cos(lambda);
    y = (n + heightM) * std::cos(phi) * std::sin(lambda);
    z = (n * (1 - e2) + heightM) * std::sin(phi);
}

QByteArray mdDownlinkBlock(const FlightState& state) {
    const QDateTime utc = state.utc.toUTC();
    const int64_t unixMs = utc.toMSecsSinceEpoch();
    uint32_t week = 0, towMs = 0;
    gpsWeekAndTowMs(utc, week, towMs);
    double x, y, z;
    wgs84ToEcef(state.latitude, state.longitude, state.altitudeM, x, y, z);
    const double track = radians(state.trackDeg);
    const double vNorth = state.speedMS * std::cos(track);
    const double vEast = state.speedMS * std::sin(track);
    const QByteArray sats = QByteArray::number(state.satellites);

    // Record 1: flight mode, milliseconds counter, five status bytes, battery
    // in millivolts, two counters.
    const QByteArray bootMs = QByteArray::number(qlonglong(unixMs % 100000000));
    auto record1 = [&] {
        return mdRecord(1, {"3", bootMs, "1", "0", "0", "1", sats, "15840", "0", "0"});
    };
    QByteArray block;
    block += record1();
    block += mdRecord(2, {fixed(vNorth, 2), fixed(vEast, 2), "0.00", fixed(state.speedMS, 2),
                          fixed(state.altitudeM, 2), "0.00", "0.00", "0.00", "0.00", "0.00", "0.00",
                          "0.00", "0.00", "0.00"});
    block += mdRecord(3, {"0.90", "1.60", "1.80", "0.00"});
    block += mdRecord(4, {"3", QByteArray::number(towMs), QByteArray::number(week), sats});
    block += mdRecord(5, {QByteArray::number(std::llround(x * 100)),
                          QByteArray::number(std::llround(y * 100)),
                          QByteArray::number(std::llround(z * 100)), "1.2", sats});
    block += mdRecord(6, {fixed(vNorth, 2), fixed(vEast, 2), "0.00", fixed(state.speedMS, 2)});
    block += mdRecord(7, {fixed(radians(state.rollDeg), 6), fixed(radians(state.pitchDeg), 6),
                          fixed(radians(state.yawDeg), 6)});
    block += mdRecord(8, {"0.00", "0.00", fixed(state.altitudeM * 100, 0)});
    // The next frame begins; a reader takes the records before this line.
    block += record1();
    return block;
}

uint16_t x25Crc(const QByteArray& bytes) {
    uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        uint8_t t = uint8_t(uint8_t(c) ^ uint8_t(crc & 0xFF));
        t = uint8_t(t ^ (t << 4));
        crc = uint16_t((crc >> 8) ^ (uint16_t(t) << 8) ^ (uint16_t(t) << 3) ^ (t >> 4));
    }
    return crc;
}

uint8_t mavlinkCrcExtra(uint8_t messageId) {
    switch (messageId) {
    case 0:
        return 50;
    case 2:
        return 137;
    case 24:
        return 24;
    case 30:
        return 39;
    case 33:
        return 104;
    default:
        return 0;
    }
}

QByteArray mavlinkFrame(uint8_t messageId, const QByteArray& payload, uint8_t sequence,
                        uint8_t systemId, uint8_t componentId) {
    QByteArray frame;
    frame.append(char(0xFE));
    frame.append(char(uint8_t(std::min(255, int(payload.size())))));
    frame.append(char(sequence));
    frame.append(char(systemId));
    frame.append(char(componentId));
    frame.append(char(messageId));
    frame.append(payload.left(255));
    const uint16_t crc = x25Crc(frame.mid(1) + char(mavlinkCrcExtra(messageId)));
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

QByteArray mavlinkBlock(const FlightState& state, uint32_t timeBootMs, QByteArray& carry,
                        bool splitLastFrame, int maxBytes, uint8_t firstSequence) {
    const QDateTime utc = state.utc.toUTC();
    uint8_t sequence = firstSequence;
    std::vector<QByteArray> frames;

    QByteArray heartbeat(9, '\0');
    putLe(heartbeat, 0, 4, 4); // custom mode
    heartbeat[4] = 2;          // quadrotor
    heartbeat[5] = 3;          // ArduPilot
    heartbeat[6] = char(0xD9); // armed, guided, stabilised, custom mode
    heartbeat[7] = 4;          // active
    heartbeat[8] = 3;          // protocol version
    frames.push_back(mavlinkFrame(0, heartbeat, sequence++));

    QByteArray systemTime(12, '\0');
    putLe(systemTime, 0, uint64_t(utc.toMSecsSinceEpoch()) * 1000, 8);
    putLe(systemTime, 8, timeBootMs, 4);
    frames.push_back(mavlinkFrame(2, systemTime, sequence++));

    const uint16_t cog = uint16_t(std::llround(wrap360(state.trackDeg) * 100) % 36000);
    QByteArray gpsRaw(30, '\0');
    putLe(gpsRaw, 0, uint64_t(timeBootMs) * 1000, 8);
    putLe(gpsRaw, 8, uint32_t(degreesE7(state.latitude)), 4);
    putLe(gpsRaw, 12, uint32_t(degreesE7(state.longitude)), 4);
    putLe(gpsRaw, 16, uint32_t(int32_t(std::llround(state.altitudeM * 1000))), 4);
    putLe(gpsRaw, 20, 90, 2);  // eph
    putLe(gpsRaw, 22, 150, 2); // epv
    putLe(gpsRaw, 24, uint16_t(std::llround(state.speedMS * 100)), 2);
    putLe(gpsRaw, 26, cog, 2);
    gpsRaw[28] = 3; // 3D fix
    gpsRaw[29] = char(uint8_t(std::clamp(state.satellites, 0, 255)));
    frames.push_back(mavlinkFrame(24, gpsRaw, sequence++));

    QByteArray attitude(28, '\0');
    putLe(attitude, 0, timeBootMs, 4);
    const double yaw = state.yawDeg > 180 ? state.yawDeg - 360 : state.yawDeg;
    putFloat(attitude, 4, float(radians(state.rollDeg)));
    putFloat(attitude, 8, float(radians(state.pitchDeg)));
    putFloat(attitude, 12, float(radians(yaw)));
    putFloat(attitude, 16, 0.01f);
    putFloat(attitude, 20, -0.01f);
    putFloat(attitude, 24, 0.005f);
    frames.push_back(mavlinkFrame(30, attitude, sequence++));

    const double track = radians(state.trackDeg);
    QByteArray position(28, '\0');
    putLe(position, 0, timeBootMs, 4);
    putLe(position, 4, uint32_t(degreesE7(state.latitude)), 4);
    putLe(position, 8, uint32_t(degreesE7(state.longitude)), 4);
    putLe(position, 12, uint32_t(int32_t(std::llround(state.altitudeM * 1000))), 4);
    putLe(position, 16, 120000, 4); // 120 m above home
    putLe(position, 20, uint16_t(int16_t(std::llround(state.speedMS * std::cos(track) * 100))), 2);
    putLe(position, 22, uint16_t(int16_t(std::llround(state.speedMS * std::sin(track) * 100))), 2);
    putLe(position, 24, 0, 2);
    putLe(position, 26, uint16_t(std::llround(wrap360(state.yawDeg) * 100) % 36000), 2);
    frames.push_back(mavlinkFrame(33, position, sequence++));

    QByteArray block = carry.left(std::max(0, maxBytes));
    carry.clear();
    if (maxBytes <= 0)
        return {};
    const int lastIndex = int(frames.size()) - 1;
    const int head = int(frames.back().size()) / 2;
    const bool split = splitLastFrame && block.size() + head <= maxBytes;
    const int reserve = split ? head : 0;
    for (int i = 0; i <= lastIndex; ++i) {
        if (split && i == lastIndex)
            break;
        if (block.size() + frames[size_t(i)].size() + reserve <= maxBytes)
            block += frames[size_t(i)];
    }
    if (split) {
        block += QByteArray(maxBytes - block.size() - head, '\0');
        block += frames.back().left(head);
        carry = frames.back().mid(head);
    }
    return block;
}

} // namespace synth
