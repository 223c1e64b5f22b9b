#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"
#include "telemetry/Downlink.h"
#include "telemetry/MAVService.h"

#include <QtTest>
#include <cmath>
#include <ctime>
#include <map>
#include <vector>

// The serial data block of a frame and its three parsers (NMEA, MAVLink, md
// downlink), mostly through the converter that dispatches and keeps a block.
// Expectations are written as text: show() lists the telemetry fields.

namespace {

QByteArray operator""_qba(const char* text, size_t length) {
    return QByteArray(text, int(length));
}

// printf of the C library, which keeps the sign of -0.
template <typename... Args>
QString format(const char* pattern, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, args...);
    return QString::fromLatin1(text);
}

// The block is a heap allocation of exactly its size, so that a parser reading
// one byte past it is caught by the address sanitizer.
void parse(DataConverter& dc, const QByteArray& bytes, ksDefines::serialContent kind) {
    std::vector<char> block(bytes.begin(), bytes.end());
    dc.invokeSerialDataParsing(block.data(), uint32_t(block.size()), kind);
}

// latitude longitude altitude satellites track magnetic date|time roll pitch yaw
QString show(const DataConverter& dc) {
    return format("%.12g %.12g %.7g %d %.7g %.7g ", dc.getCurrentLatitude(),
                  dc.getCurrentLongitude(), double(dc.getCurrentAltitude()),
                  dc.getCurrentSatellites(), double(dc.getCurrentTrackHeading()),
                  double(dc.getCurrentMagneticHeading())) +
           dc.getCurrentDate() + '|' + dc.getCurrentTime() +
           format(" %.6g %.6g %.6g", dc.getCurrentRoll(), dc.getCurrentPitch(), dc.getCurrentYaw());
}

const QByteArray kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const QByteArray kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const QByteArray kVtg = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";
// show() after kGga + kVtg
const QString kShown = "48.1173 11.5166666667 545.4 8 54.7 34.4 n/a|n/a 0 0 0";

// value as `bytes` little-endian bytes
QByteArray le(uint64_t value, int bytes) {
    value = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&value), bytes);
}

// A MAVLink 1 frame with sequence 0 from system 1, component 1.
const auto frame = [](uint8_t id, const QByteArray& p) { return synth::mavlinkFrame(id, p, 0); };

// GLOBAL_POSITION_INT; relative_alt, vx, vy and vz lie between alt and hdg.
QByteArray position(uint32_t key, int32_t lat, int32_t lon = 0, int32_t alt = 0, uint16_t hdg = 0) {
    return frame(33, le(key, 4) + le(uint32_t(lat), 4) + le(uint32_t(lon), 4) +
                         le(uint32_t(alt), 4) + le(12345, 4) + le(0xFFF0, 6) + le(hdg, 2));
}

// GPS_RAW_INT: lat, lon, alt, eph, epv, vel, cog and fix_type before
// satellites_visible.
QByteArray gpsRaw(uint64_t timeUsec, uint8_t satellites) {
    return frame(24, le(timeUsec, 8) + le(0x5566778811223344, 8) + le(1000, 4) + le(0xAAAABBBB, 8) +
                         "\x03" + le(satellites, 1));
}

// MAVService over bytes with the given framing state: its values, then every
// frame with a good checksum as "msgid/seq/sysid/compid/length".
QString decode(const QByteArray& bytes, MAVFramingState& state) {
    QStringList found;
    const MAVService s(reinterpret_cast<const unsigned char*>(bytes.constData()),
                       (unsigned long)bytes.size(), state, [&found](const MAVFramingState& f) {
                           found << format("%d/%d/%d/%d/%d", f.messageId, f.sequence, f.systemId,
                                           f.componentId, f.length);
                       });
    return format("%d %.12g %.12g %.12g %.12g %u %llu ", s.isValid(), s.getLatitude(),
                  s.getLongitude(), s.getAltitude(), s.getHdg(), s.getVisibleSatellites(),
                  (unsigned long long)s.getUnixTimestamp()) +
           found.join(' ');
}

// A downlink record line with its checksum: 255 minus the 8-bit byte sum
// through the last comma.
QByteArray line(const QByteArray& upToLastComma) {
    unsigned sum = 0;
    for (const char c : upToLastComma)
        sum += uint8_t(c);
    return upToLastComma + QByteArray::number(255 - int(sum % 256)) + "\r\n";
}

const QByteArray kRecord1 = line("#1,1,2,3,4,5,6,7,8,9,10,");
// "number mask:" and the stored values of the record last analysed.
QString show(const _DLDEC& d) {
    const auto r = [](const double* v, int n) { return std::vector<double>(v, v + n); };
    const uint8_t* b = d.rec1Fields3to7;
    const uint32_t* r4 = d.record4;
    // clang-format off
    const std::map<uint32_t, std::vector<double>> stored{
        {1, {double(d.rec1Field1), double(d.rec1Field2), double(b[0]), double(b[1]), double(b[2]), double(b[3]), double(b[4]), d.rec1Field8, double(d.rec1Field9), double(d.rec1Field10)}},
        {2, r(d.record2, 14)}, {3, r(d.record3, 4)}, {6, r(d.record6, 4)}, {7, r(d.attitude, 3)},
        {8, r(d.record8, 3)}, {9, r(d.record9, 3)}, {10, r(d.record10, 3)},
        {4, {double(r4[0]), double(r4[1]), double(r4[2]), double(r4[3]), double(d.gpsUnixTime)}},
        {5, {double(d.ecefX), double(d.ecefY), double(d.ecefZ), d.rec5Field4, double(d.rec5Field5)}},
        {11, {double(d.rec11Field1), double(d.rec11Field2), double(d.rec11Field3)}}};
    // clang-format on
    QString out = format("%u %x:", d.lastRecordNumber, d.receivedMask);
    const auto values = stored.find(d.lastRecordNumber);
    for (const double x : values == stored.end() ? std::vector<double>() : values->second)
        out += format(" %.15g", x);
    return out;
}

// decode() of the frames the library decoded: of each message id the ordering
// rule takes the first frame with the greatest key above 0.
QString pick(const QJsonArray& frames) {
    qulonglong key[34] = {};
    QJsonValue taken[34];
    QStringList found;
    for (const QJsonValue& f : frames) {
        const int id = f["msgid"].toInt();
        const QJsonValue v = f["fields"];
        const qulonglong k = id == 24 ? v["time_usec"].toString().toULongLong()
                                      : qulonglong(v["time_boot_ms"].toDouble());
        if ((id == 2 || id == 24 || id == 33) && k > key[id]) {
            key[id] = k;
            taken[id] = v;
        }
        found << format("%d/%d/%d/%d/%d", id, f["seq"].toInt(), f["sysid"].toInt(),
                        f["compid"].toInt(), f["payload_length"].toInt());
    }
    const QJsonValue p = taken[33];
    return format("%d %.12g %.12g %.12g %.12g %d %llu ", key[33] > 0, p["lat"].toDouble() / 1e7,
                  p["lon"].toDouble() / 1e7, p["alt"].toDouble() / 1e3, p["hdg"].toDouble() / 1e2,
                  taken[24]["satellites_visible"].toInt(),
                  taken[2]["time_unix_usec"].toString().toULongLong() / 1000000u) +
           found.join(' ');
}

} // namespace

class TestTelemetry : public QObject {
    Q_OBJECT
private slots:

    void init() {
        MAVService::programFramingState() = MAVFramingState();
        qputenv("TZ", "XYZ-2"); // two hours east of UTC
        tzset();
    }

    // ---- Blocks of the three kinds through the converter ----------------------

    // Each block follows an NMEA block of kGga and kVtg (kShown).
    void blocks_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("hourOffset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("want"); // show(), standard output | standard error
        const int nmea = ksDefines::NMEA, mavlink = ksDefines::MAVLink, md = ksDefines::MdDownlink;
        const QByteArray rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,0,0,";
        // NMEA: latitude is positive only with "N", longitude negative only with "W";
        // checksums are not examined; fractional seconds are dropped; only seven
        // characters of minutes are read (07.0382 of 07.038247); with exactly ten
        // fields the RMC date carries the CR; a two-character latitude has no minutes;
        // the block ends at its first zero byte, else at its length, and at most
        // 8,192 bytes are kept (a GGA sentence that crosses byte 8,192 is cut to
        // 19 characters there and so has too few fields). "nothing usable"
        // holds RMC and GGA of nine fields, VTG of three, a line of six characters, a
        // sentence not at the start of its line, another sentence and a line of three
        // characters at the end. Each field keeps the value of the last sentence that
        // sets it.
        // clang-format off
    QTest::newRow("RMC offset 12") << nmea << 12 << kRmc << "48.1173 11.5166666667 0 0 0 0 24.03.2094|00:35:19 0 0 0 |";
    QTest::newRow("RMC offset -1") << nmea << -1 << "$GNRMC,003000.00,A,4807.038,n,01131.000,W,,,010100,,,A*00"_qba << "-48.1173 -11.5166666667 0 0 0 0 31.12.1999|23:30:00 0 0 0 |";
    QTest::newRow("RMC status V") << nmea << 0 << "$GNRMC,184040.00,V,,,,,,,030416,,,N"_qba << "-0 0 0 0 0 0 03.04.2016|18:40:40 0 0 0 |";
    QTest::newRow("RMC month 13") << nmea << 0 << rmc + "231394,0" << "48.1173 11.5166666667 0 0 0 0 | 0 0 0 |";
    QTest::newRow("RMC CR after the date") << nmea << 0 << rmc + "230394\r\n" << "48.1173 11.5166666667 0 0 0 0 n/a|12:35:19 0 0 0 |";
    QTest::newRow("GGA without hemispheres") << nmea << 0 << "$GPGGA,1,4807.038247,,01131.000,,1,7.9,0.9,545.4,M"_qba << "-48.1173033333 11.5166666667 545.4 7 0 0 n/a|n/a 0 0 0 |";
    QTest::newRow("GNGGA of ten fields") << nmea << 0 << "$GNGGA,1,4807.038,S,01131.000,W,1,2147483647,0.9,-12.25"_qba << "-48.1173 -11.5166666667 -12.25 2147483647 0 0 n/a|n/a 0 0 0 |";
    QTest::newRow("GGA not numbers") << nmea << 0 << "$GPGGA,1,x807.038,N,inf00.0,E,1,1e999,0.9,nan,M"_qba << "0 0 0 0 0 0 n/a|n/a 0 0 0 |";
    QTest::newRow("GNVTG of four fields") << nmea << 0 << "$GNVTG,16.6,T,034.4\r\n"_qba << "0 0 0 0 16.6 34.4 n/a|n/a 0 0 0 |";
    QTest::newRow("nothing usable") << nmea << 0 << rmc.left(41) + "\n" + kGga.left(45) + "\n$GPVTG,054.7,T\n$GPVTG\nxx" + kRmc + "$GPGSV,3,1,12*7D\r\n$GP" << "0 0 0 0 0 0 n/a|n/a 0 0 0 |";
    QTest::newRow("last sentence wins") << nmea << 0 << "$GPRMC,101010,A,1000.000,N,02000.000,E,0,0,010116,,\r\n$GPGGA,1,1000.000,N,02000.000,E,1,04,0.9,100.0,M\r\n"
                                                        "$GPVTG,10.0,T,11.0,M\r\n$GPRMC,111111,A,3000.000,S,04000.000,W,0,0,020216,,\r\n$GPVTG,20.0,T,21.0,M\r\n"_qba << "-30 -40 100 4 20 21 02.02.2016|11:11:11 0 0 0 |";
    QTest::newRow("text ends at the first zero byte") << nmea << 0 << "$GPVTG,1.0,T,2.0,M\r\0\n"_qba + kGga << "0 0 0 0 1 2 n/a|n/a 0 0 0 |";
    QTest::newRow("block of 10,000 bytes cut at 8,192") << nmea << 0 << "$GPVTG,1.0,T,2.0,M\n" + QByteArray(8153, 'x') + "\n" + kGga + QByteArray(1827 - kGga.size(), 'y') << "0 0 0 0 1 2 n/a|n/a 0 0 0 |";
    QTest::newRow("block without zero byte") << nmea << 0 << kGga.left(51) << "48.1173 11.5166666667 545.4 8 0 0 n/a|n/a 0 0 0 |";
    QTest::newRow("GGA of 5,000 one-character fields") << nmea << 0 << "$GPGGA" + QByteArray(",9").repeated(5000) << "-0 0 9 9 0 0 n/a|n/a 0 0 0 |";
        // clang-format on

        // MAVLink: the track heading becomes 0; times are local, without the hour
        // offset; without SYSTEM_TIME the time is the epoch; seconds are kept in 32
        // bits (2^32 + 100 seconds show as second 100). A full frame leaves bytes in
        // the assembly buffer: the shorter payload after it reads zeros beyond its
        // length. Message 3 has no CRC_EXTRA: its candidate is dropped, and the byte
        // that ends it (0xFE of the next frame) starts a frame again. The satellites
        // key is compared in 64 bits. Of equal keys the first wins. Without a
        // position nothing changes. Checksums,
        // MAVLink 2 frames, extreme values and false starts are covered by the
        // library's blocks.
        // clang-format off
    QTest::newRow("MAVLink worked example") << mavlink << 0 << gpsRaw(uint64_t(1) << 32, 13) + gpsRaw(4294967295u, 11) + position(5000, 481173000, 115166667, 545400, 9000) + position(4000, 1, 2, 3, 4) << "48.1173 11.5166667 545.4 13 0 90 01.01.1970|02:00:00 0 0 0 |";
    QTest::newRow("MAVLink without heading") << mavlink << 0 << position(1000, -337000000, -1512000000, -430000, 65535) << "-33.7 -151.2 -430 0 0 655.35 01.01.1970|02:00:00 0 0 0 |";
    QTest::newRow("MAVLink short payload") << mavlink << 0 << position(1, 1, 2, 3, 4) + frame(33, le(2, 4) + le(50000000, 4)) << "5 0 0 0 0 0 01.01.1970|02:00:00 0 0 0 |";
    QTest::newRow("MAVLink unknown id, equal keys") << mavlink << 0 << QByteArray::fromHex("fe000001010300") + position(7, 10000000) + position(7, 20000000) << "1 0 0 0 0 0 01.01.1970|02:00:00 0 0 0 |";
    QTest::newRow("MAVLink local time") << mavlink << 12 << frame(2, le(1465430385999999, 8) + le(10, 4)) + position(1, 10000000) << "1 0 0 0 0 0 09.06.2016|01:59:45 0 0 0 |";
    QTest::newRow("MAVLink clock beyond 32 bits") << mavlink << 0 << frame(2, le(4294967396000000, 8) + le(10, 4)) + position(1, 10000000) << "1 0 0 0 0 0 01.01.1970|02:01:40 0 0 0 |";
    QTest::newRow("MAVLink without position") << mavlink << 0 << gpsRaw(7, 13) + frame(2, le(5000000, 8) + le(3, 4)) << kShown + " |";
        // clang-format on

        // md downlink: dates and times are UTC, without the hour offset; week 6579
        // and 23,310,000 ms give the last second of 32 bits. Positions are taken
        // in whole metres, truncated toward zero. The final line of a frame ends
        // with the CR LF before the next record 1, and is decoded. Without record
        // 5 the position stays. A frame that is not decoded, or has no complete
        // line, changes nothing. The frame lies between the last two record 1s of
        // the text, which ends at its first zero byte; they must be less than
        // 4,095 bytes apart, and a single record 1 starts no frame yet.
        // A frame that is rejected prints its length: 29 + 11 + 13 bytes for
        // "md record 12", 29 + 13 + 8 for "md bad final line".
        // clang-format off
    QTest::newRow("md frame before a cut record 1") << md << 12 << kRecord1 + line("#4,0,345600000,1900,0,") + line("#5,420000099,0,0,") + line("#7,0,0.5,3.141592653589793,") + "#99,62\r\n" + kRecord1 + "#4,0" << "0 0 545.4 8 54.7 34.4 2016-06-08|23:59:45 0 28.6479 180 ECEF TO WGS84 4200000.000000 0.000000 0.000000 0.000000 0.000000\n|28.6479 0 180\n";
    QTest::newRow("md final line decoded") << md << 0 << kRecord1 + line("#7,0.25,0.5,-1,") + kRecord1 << "48.1173 11.5166666667 545.4 8 54.7 34.4 1970-01-01|00:00:00 14.3239 28.6479 -57.2958 |28.6479 14.3239 -57.2958\n";
    QTest::newRow("md latest time") << md << 0 << kRecord1 + line("#4,0,23310000,6579,0,") + kRecord1 << "48.1173 11.5166666667 545.4 8 54.7 34.4 2106-02-07|06:28:15 1e+06 1e+06 1e+06 |1e+06 1e+06 1e+06\n";
    QTest::newRow("md metres toward zero") << md << 0 << kRecord1 + line("#5,-420000099,-199,0,") + kRecord1 << "0 -179.999986358 545.4 8 54.7 34.4 1970-01-01|00:00:00 1e+06 1e+06 1e+06 ECEF TO WGS84 -4200000.000000 -1.000000 0.000000 -179.999986 0.000000\n|1e+06 1e+06 1e+06\n";
    QTest::newRow("md north pole") << md << 0 << kRecord1 + line("#5,0,0,635675231,") + kRecord1 << "90 0 545.4 8 54.7 34.4 1970-01-01|00:00:00 1e+06 1e+06 1e+06 ECEF TO WGS84 0.000000 0.000000 6356752.000000 0.000000 90.000000\n|1e+06 1e+06 1e+06\n";
    QTest::newRow("md record 12") << md << 0 << kRecord1 + line("#12,1,") + line("#7,1,1,1,") + "#1," << kShown + " |53\n";
    QTest::newRow("md bad final line") << md << 0 << kRecord1 + line("#7,1,1,1,") + "#99,63\r\n#1," << kShown + " dldec: Checksum Error!|50\n";
    QTest::newRow("md without a whole line") << md << 0 << QByteArray("#1,").repeated(2731).left(8192) << kShown + " |";
    QTest::newRow("md of three record 1") << md << 0 << kRecord1 + line("#12,") + kRecord1 + line("#7,0,0.5,3.141592653589793,") + kRecord1 << "48.1173 11.5166666667 545.4 8 54.7 34.4 1970-01-01|00:00:00 0 28.6479 180 |28.6479 0 180\n";
    QTest::newRow("md record 1 4094 apart") << md << 0 << "#1," + QByteArray(4089, 'a') + "\r\n#1," << kShown + " dldec: Checksum Error!|4094\n";
    QTest::newRow("md record 1 4095 apart") << md << 0 << "#1," + QByteArray(4090, 'a') + "\r\n#1," << kShown + " |";
    QTest::newRow("md one record 1 before a zero byte") << md << 0 << kRecord1 + line("#7,1,1,1,") + '\0' + kRecord1 << kShown + " |";
        // clang-format on
    }

    void blocks() {
        QFETCH(int, kind);
        QFETCH(int, hourOffset);
        QFETCH(QByteArray, bytes);
        DataConverter dc;
        parse(dc, kGga + kVtg, ksDefines::NMEA);
        dc.changedHourOffset(hourOffset);
        testsupport::Recorder rec;
        parse(dc, bytes, ksDefines::serialContent(kind));
        QTEST(show(dc) + ' ' + rec.out + '|' + rec.err, "want");
    }

    // ---- The converter's accessors and its copy of the block ------------------

    void converter() {
        DataConverter dc;
        parse(dc, kGga + kVtg + kRmc, ksDefines::NMEA);
        double lat, lon, alt;
        QString date, time, part = "x";
        int sats;
        float track, mag, housing = -1, fpa = -1;
        unsigned frame = 99; // the frame's own fields are reset without a frame
        dc.getImageMetaData(lat, lon, date, time, alt, sats, track, mag, frame, part, housing, fpa);
        QCOMPARE(
            format("%.12g %.12g %.12g %d %.7g %.7g %u %g %g ", lat, lon, alt, sats, double(track),
                   double(mag), frame, double(housing), double(fpa)) +
                date + '|' + time + part,
            QStringLiteral("48.1173 11.5166666667 545.4 8 54.7 34.4 0 0 0 23.03.2094|12:35:19"));
        // One sentence changes only its own fields; VTG tells whether its true
        // track was a number.
        QVERIFY(dc.parseGPRMCString(QString::fromLatin1(kRmc.trimmed())));
        QVERIFY(!dc.parseGPVTGString(QStringLiteral("$GPVTG,,T,341.7,M")));
        QVERIFY(!dc.parseGPGGAString(QStringLiteral("$GPGGA,1,2,N,3,E,1,08,0.9")));
        QCOMPARE(show(dc),
                 QStringLiteral("48.1173 11.5166666667 545.4 8 0 341.7 23.03.2094|12:35:19 0 0 0"));
        // The parser runs on the block before it is copied: only NMEA turns
        // leading zero bytes into line feeds.
        for (const auto kind : {ksDefines::NMEA, ksDefines::NoSerialData, ksDefines::MAVLink,
                                ksDefines::MdDownlink}) {
            parse(dc, QByteArray(2, '\0') + kRmc, kind);
            QCOMPARE(dc.getSerialDataString(),
                     QString::fromLatin1(kind == ksDefines::NMEA ? "\n\n" + kRmc : QByteArray()));
        }
        // A shorter block clears the rest; bytes above 127 are one character each.
        parse(dc, "B\xb0\xe9", ksDefines::NoSerialData);
        QCOMPARE(dc.getSerialDataString(), QStringLiteral("B\u00b0\u00e9"));
        dc.invokeSerialDataParsing(nullptr, 500, ksDefines::NMEA);
        QCOMPARE(dc.getSerialDataSize(), 0u);
    }

    // ---- NMEA receiver logs ----------------------------------------------------

    // Every RMC, GGA and VTG line of eight real receiver logs, parsed alone as a
    // block, against the fields listed for it (the others keep the reset values).
    void nmeaReceiverLogs() {
        const QString dir = testsupport::sharedTestData(QStringLiteral("nmea"));
        if (dir.isEmpty())
            QSKIP("shared/testdata/nmea is absent: the eight real receiver logs were not parsed");
        // A JSON number loses the sign of -0.0: keep it as a text.
        const QString json = QString::fromUtf8(testsupport::fileBytes(dir + "/expected.json"))
                                 .replace(QRegularExpression(": -0\\.0+(?=[\\s,}])"), ": \"-0\"");
        const QJsonObject files = QJsonDocument::fromJson(json.toUtf8())["files"].toObject();
        DataConverter dc;
        int compared = 0;
        for (auto file = files.begin(); file != files.end(); ++file) {
            const QList<QByteArray> lines =
                testsupport::fileBytes(dir + '/' + file.key()).split('\n');
            const QJsonObject byLine = file.value().toObject();
            for (auto e = byLine.begin(); e != byLine.end(); ++e, ++compared) {
                const QJsonObject w = e.value().toObject();
                const auto number = [&w](const char* key, bool asFloat) {
                    const double x = w[key].toDouble();
                    return w[key].isString()
                               ? w[key].toString()
                               : format(asFloat ? "%.7g" : "%.12g", asFloat ? double(float(x)) : x);
                };
                const QString want =
                    number("latitude", false) + ' ' + number("longitude", false) + ' ' +
                    number("altitude", true) + ' ' + QString::number(w["satellites"].toInt()) +
                    ' ' + number("trackHeading", true) + ' ' + number("magneticHeading", true) +
                    ' ' + w["date"].toString("n/a") + '|' + w["time"].toString("n/a") + " 0 0 0";
                parse(dc, lines.value(e.key().toInt() - 1), ksDefines::NMEA);
                QVERIFY2(show(dc) == want, qPrintable(file.key() + ':' + e.key() + ' ' + show(dc)));
            }
        }
        QCOMPARE(compared, 705);
    }

    // Random bytes of every kind: no read outside the block (the sanitizer build
    // checks), and the copy never exceeds the buffer.
    void randomBlocksOfEveryKind() {
        DataConverter dc;
        QRandomGenerator rng(3);
        const QByteArray alphabet("#1,\r\n$GPRMC0123456789.-\xfe\xfd");
        testsupport::Recorder rec; // keeps the console quiet
        for (int round = 0; round < 400; ++round) {
            QByteArray bytes(int(rng.bounded(0, 9000)), '\0');
            for (char& c : bytes) // a zero byte now and then ends the text
                c = rng.bounded(4u) ? alphabet[int(rng.bounded(uint(alphabet.size())))]
                                    : char(rng.bounded(round % 3 ? 1u : 0u, 256u));
            parse(dc, bytes, ksDefines::serialContent(round % 4));
            QCOMPARE(dc.getSerialDataSize(), uint32_t(qMin(bytes.size(), 8192)));
            QVERIFY(std::isfinite(dc.getCurrentLatitude()));
        }
    }

    // ---- MAVLink ---------------------------------------------------------------

    void mavlinkFraming() {
        // CRC_EXTRA of SYS_STATUS and STATUSTEXT; none for message 3.
        uint8_t a = 0, b = 0;
        QVERIFY(MAVService::crcExtra(1, a) && a == 124 && MAVService::crcExtra(253, b) && b == 83);
        // The framing state lives as long as the program: a frame cut at the end
        // of one block is completed by the next block parsed.
        DataConverter dc;
        const QByteArray whole = position(9, 20000000, 30000000, 1000, 100);
        parse(dc, frame(30, QByteArray(28, '\x05')) + whole.left(15), ksDefines::MAVLink);
        parse(dc, whole.mid(15), ksDefines::MAVLink);
        QCOMPARE(show(dc), QStringLiteral("2 3 1 0 0 1 01.01.1970|02:00:00 0 0 0"));
        // A frame of 255 payload bytes (0xFE after the position fields) cut
        // anywhere: the first part yields nothing, the second completes it.
        const QByteArray head = position(77, -10000000).mid(6, 28);
        const QByteArray big = frame(33, head + QByteArray(255 - head.size(), char(0xFE)));
        for (int cut = 0; cut <= big.size(); ++cut) {
            MAVFramingState state;
            const QString first = decode(big.left(cut), state);
            const QString second = decode(big.mid(cut), state);
            QCOMPARE(cut == big.size() ? first : second,
                     QStringLiteral("1 -1 0 0 0 0 0 33/0/1/1/255"));
            QCOMPARE(cut == big.size() ? second : first, QStringLiteral("0 0 0 0 0 0 0 "));
        }
    }

    // Blocks written by a MAVLink library: every frame it lists must be found,
    // except those that a parser skipping a rejected candidate's claimed length
    // loses, and the b08a/b08b pair fed in order must yield the split frame.
    void mavlinkLibraryBlocks() {
        const QString dir = testsupport::sharedTestData(QStringLiteral("mavlink"));
        if (dir.isEmpty())
            QSKIP("shared/testdata/mavlink is absent: the library-made MAVLink blocks were not "
                  "parsed");
        const QJsonDocument expected =
            QJsonDocument::fromJson(testsupport::fileBytes(dir + "/expected.json"));
        const auto read = [&dir](const QJsonValue& name) {
            return testsupport::fileBytes(dir + '/' + name.toString());
        };
        QMap<QString, QJsonArray> framesOf;
        for (const QJsonValue& block : expected["blocks"].toArray()) {
            QJsonArray& kept = framesOf[block["file"].toString()];
            for (const QJsonValue& f : block["frames"].toArray())
                if (!f["lost_by_length_skipping_parser"].toBool())
                    kept.append(f);
            MAVFramingState state;
            QCOMPARE(decode(read(block["file"]), state), pick(kept));
        }
        const QJsonValue pair = expected["pairs"][0];
        QJsonArray second{pair["split_frame"]}; // completed by the second block
        for (const QJsonValue& f : framesOf[pair["files"][1].toString()])
            second.append(f);
        MAVFramingState state;
        decode(read(pair["files"][0]), state);
        QCOMPARE(decode(read(pair["files"][1]), state), pick(second));
    }

    // ---- md downlink -----------------------------------------------------------

    void downlinkLines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("want"); // result, show() after the text, "|", message
        // Only lines ended by CR LF are decoded, up to the first rejected one.
        // '#' 35 + '9' 57 + '9' 57 + ',' 44 = 193, and 255 - 193 = 62. The
        // checksum is the number after the last comma; the sum starts at the "#". A 300-character
        // line is cut to 255: "#2," and 63 times "1.5,". The record number 2^32 + 1 is not record
        // 1, though its low 32 bits are. Record 4: 1900 * 604800 + 345600 + 315964785; 10^12 mod
        // 2^32; 8000 * 604800 + 315964785 - 2^32. Record 11 reads nothing with ",255" after the
        // number's comma.
        // clang-format off
    QTest::newRow("worked example") << "#99,62\r\n"_qba << "1 99 0:|";
    QTest::newRow("checksum plus 256") << "#99,318\r\n"_qba << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("checksum beyond 64 bits") << "#99,99999999999999999999999\r\n"_qba << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("no comma") << "#99\r\n"_qba << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("no hash") << "99,62\r\n"_qba << "0 999 0:|dldec: No Frame!";
    QTest::newRow("sum starts at the hash") << "xx#99,62\r\n"_qba << "1 99 0:|";
    QTest::newRow("signed, trailing characters") << "#99,+62abc\r\n"_qba << "1 99 0:|";
    QTest::newRow("last comma counts") << "#99,,18\r\n"_qba << "1 99 0:|";
    QTest::newRow("300-character line") << line("#2," + QByteArray("1.5,").repeated(74)) << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("text after the last CR LF") << line("#0,5,") + line("#3,1,2,3,4,").trimmed() + "\n#12" << "1 0 1:|";
    QTest::newRow("stops at the first rejected line") << line("#0,5,") + line("#12,") + line("#3,1,2,3,4,") << "0 12 1001:|";
    QTest::newRow("empty line") << line("#0,5,") + "\r\n" << "0 0 1:|dldec: No Frame!";
    QTest::newRow("record 12") << line("#12,") << "0 12 1000:|";
    QTest::newRow("record beyond 32 bits") << line("#4294967297,1,2,3,4,5,6,7,8,9,10,") << "0 1 0: 0 0 0 0 0 0 0 999999.9 0 0|";
    QTest::newRow("record 0") << line("#0,5,") << "1 0 1:|";
    QTest::newRow("record 1 wraps") << line("#1,300,4294967297,1,2,3,4,-1,1500,7.9,-7.9,") << "1 1 2: 44 1 1 2 3 4 255 1.5 7 4294967289|";
    QTest::newRow("record 1 of nine fields") << line("#1,1,2,3,4,5,6,7,8,9,") << "0 1 2: 0 0 0 0 0 0 0 999999.9 0 0|";
    QTest::newRow("record 2") << line("#2,1,2,3,4,5,6,7,8,9,10,11,12,13,14.5,") << "1 2 4: 1 2 3 4 5 6 7 8 9 10 11 12 13 14.5|";
    QTest::newRow("record 3 reorders") << line("#3,1,2,3,4,") << "1 3 8: 1 2 4 3|";
    QTest::newRow("record 4 worked example") << line("#4,7,345600000,1900,1e12,") << "1 4 10: 7 345600000 1900 3567587328 1465430385|";
    QTest::newRow("record 4 wraps") << line("#4,0,0,8000,0,") << "1 4 10: 0 0 8000 0 859397489|";
    QTest::newRow("record 5 with extras") << line("#5,1,2,3,1.25,6.9,") << "1 5 20: 1 2 3 1.25 6|";
    QTest::newRow("record 5: extras need both") << line("#5,1,2,3,1.25,") << "1 5 20: 1 2 3 999999.9 0|";
    QTest::newRow("record 5 like atol") << line("#5,4294967396,-4294967297,  12.9x,") << "1 5 20: 100 -1 12 999999.9 0|";
    QTest::newRow("record 6 nan") << line("#6,-1,-2,-3,nan,") << "1 6 40: -1 -2 -3 nan|";
    QTest::newRow("record 7 worked example") << line("#7,0,0.5,3.141592653589793,") << "1 7 80: 0 28.6478897565412 180|";
    QTest::newRow("record 7 of two fields") << line("#7,0.1,0.2,") << "0 7 80: 999999.9 999999.9 999999.9|";
    QTest::newRow("record 8") << line("#8,10,20,300,4,") << "1 8 100: 20 10 3|";
    QTest::newRow("record 9 like atof") << line("#9,3e+,-2.5E2x,abc,") << "1 9 200: 3 -250 0|";
    QTest::newRow("record 11") << line("#11,5,6,70000,") << "1 11 800: 5 6 70000|";
    QTest::newRow("record 11 with ,255") << line("#11,0,255,") << "1 11 800: 0 0 0|";
    QTest::newRow("record 11 with 255 first") << line("#11,255,1,2,") << "1 11 800: 255 1 2|";
    QTest::newRow("record 98 of 8 fields") << line("#98,1,2,3,4,5,6,7,8,") << "1 98 0:|";
    QTest::newRow("record 98 of 6 fields") << line("#98,1,2,3,4,5,6,") << "0 98 0:|";
        // clang-format on
    }

    void downlinkLines() {
        QFETCH(QByteArray, text);
        testsupport::Recorder rec;
        _DLDEC dec;
        DLDInitShadow(&dec);
        const int result = decodeDownlink(text.data(), &dec);
        QTEST(QString::number(result) + ' ' + show(dec) + '|' + rec.out + rec.err, "want");
        if (text.startsWith("#99")) // the checksum test alone
            QCOMPARE(CheckFrameContent(text.data()), bool(result));
    }

    void downlinkHelpers() {
        char fields[] = "abcdef,x";
        char field[4];
        char* next = ScanNextString(fields, field, sizeof field);
        QCOMPARE(QByteArray(field) + QByteArray(next), QByteArray("abcx")); // cut to the buffer
        QVERIFY(!ScanNextString(next, field, sizeof field));                // no comma follows
        QVERIFY(!ScanNextString(nullptr, field, 4) && !CheckFrameContent(nullptr));
        _DLDEC dec;
        char line[] = "#99,62";
        QVERIFY(!DLDInitShadow(nullptr) && DLDInitShadow(&dec) == 1);
        QVERIFY(AnalyzeDownlinkDecoder(line, &dec) == 2 && !AnalyzeDownlinkDecoder(nullptr, &dec));
    }
};

QTEST_GUILESS_MAIN(TestTelemetry)
#include "tst_telemetry.moc"
