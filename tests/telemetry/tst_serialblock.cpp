#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "telemetry/MAVService.h"
#include "telemetry/TelemetryBlocks.h"

#include <QRandomGenerator>
#include <QtTest>
#include <clocale>
#include <cmath>
#include <ctime>

using namespace blocks;

namespace {

const QByteArray kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const QByteArray kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const QByteArray kVtg = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";
const QByteArray kRecord1 = line("#1,1,2,3,4,5,6,7,8,9,10,") + "\r\n";
// Records 1, 4, 5 and 7 and a closing 99.
const QByteArray kMdFrame = kRecord1 + line("#4,0,345600000,1900,0,") + "\r\n" +
                            line("#5,420000099,0,0,") + "\r\n" +
                            line("#7,0,0.5,3.141592653589793,") + "\r\n#99,62\r\n";

void parse(DataConverter& dc, const QByteArray& bytes, ksDefines::serialContent kind) {
    ExactBlock block(bytes);
    dc.invokeSerialDataParsing(block.get(), block.size, kind);
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

} // namespace

class TestSerialBlock : public QObject {
    Q_OBJECT
private slots:
    void init();
    void nmea();
    void copyOfTheBlock();
    void mavlink_data();
    void mavlink();
    void downlink_data();
    void downlink();
    void randomBlocksOfEveryKind();
    void decimalCommaLocale();
};

void TestSerialBlock::init() {
    MAVService::programFramingState() = MAVFramingState();
    qputenv("TZ", "XYZ-2"); // two hours east of UTC
    tzset();
}

void TestSerialBlock::nmea() {
    DataConverter dc;
    dc.changedHourOffset(12);
    parse(dc, kGga + kVtg + kRmc, ksDefines::NMEA);
    QCOMPARE(show(dc),
             QStringLiteral("48.1173 11.5166666667 545.4 8 54.7 34.4 24.03.2094|00:35:19 0 0 0"));
    double lat, lon, alt;
    QString date, time, part = QStringLiteral("x");
    int sats;
    float track, mag, housing = -1, fpa = -1;
    unsigned frame = 99;
    dc.getImageMetaData(lat, lon, date, time, alt, sats, track, mag, frame, part, housing, fpa);
    QCOMPARE(format("%.12g %.12g %.12g %d %.7g %.7g %u %g %g ", lat, lon, alt, sats, double(track),
                    double(mag), frame, double(housing), double(fpa)) +
                 date + '|' + time + part,
             QStringLiteral("48.1173 11.5166666667 545.4 8 54.7 34.4 0 0 0 24.03.2094|00:35:19"));

    parse(dc, "$GPGSV,3,1,12*7D\r\n", ksDefines::NMEA); // resets to zeros and "n/a"
    QCOMPARE(show(dc), QStringLiteral("0 0 0 0 0 0 n/a|n/a 0 0 0"));
    // A single sentence changes only its own fields.
    dc.changedHourOffset(0);
    QVERIFY(dc.parseGPRMCString(QString::fromLatin1(kRmc.trimmed())));
    QVERIFY(!dc.parseGPVTGString(QStringLiteral("$GPVTG,,T,341.7,M")));
    QVERIFY(!dc.parseGPGGAString(QStringLiteral("$GPGGA,1,2,N,3,E,1,08,0.9")));
    QCOMPARE(show(dc),
             QStringLiteral("48.1173 11.5166666667 0 0 0 341.7 23.03.2094|12:35:19 0 0 0"));
    QCOMPARE(DataConverter::nmeaToDezimal(QStringLiteral("01131.000"), true), 11.516666666666667);
}

void TestSerialBlock::copyOfTheBlock() {
    DataConverter dc;
    // The parser runs on the block before it is copied: only NMEA turns
    // leading zero bytes into line feeds.
    for (const auto kind :
         {ksDefines::NMEA, ksDefines::NoSerialData, ksDefines::MAVLink, ksDefines::MdDownlink}) {
        parse(dc, '\0' + kRmc, kind);
        QCOMPARE(dc.getSerialDataString(),
                 QString::fromLatin1(kind == ksDefines::NMEA ? "\n" + kRmc : QByteArray()));
        QCOMPARE(dc.getCurrentDate(), QStringLiteral("23.03.2094"));
    }
    // 10,000 bytes without a zero byte: the GGA sentence that crosses byte
    // 8,192 is cut there to 19 characters and so has too few fields.
    QByteArray bytes = "$GPVTG,1.0,T,2.0,M\n" + QByteArray(8192 - 39, 'x') + "\n" + kGga;
    bytes += QByteArray(10000 - bytes.size(), 'y');
    parse(dc, bytes, ksDefines::NMEA);
    QCOMPARE(show(dc), QStringLiteral("0 0 0 0 1 2 n/a|n/a 0 0 0"));
    QCOMPARE(dc.getSerialDataSize(), 8192u);
    QCOMPARE(dc.getSerialDataString(), QString::fromLatin1(bytes.left(8192)));
    // A shorter block clears the rest; bytes above 127 are one character each.
    parse(dc, "B\xb0\xe9", ksDefines::NoSerialData);
    QCOMPARE(dc.getSerialDataString(), QStringLiteral("B\u00b0\u00e9"));
    dc.invokeSerialDataParsing(nullptr, 500, ksDefines::NMEA);
    QCOMPARE(dc.getSerialDataSize(), 0u);
}

void TestSerialBlock::mavlink_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fields");
    const QByteArray position = frame(33, globalPosition(1, 10000000, 0, 0, 0));
    // Without SYSTEM_TIME: the epoch in local time.
    QTest::newRow("worked example")
        << frame(24, gpsRaw(7, 13)) +
               frame(33, globalPosition(5000, 481173000, 115166667, 545400, 9000)) +
               frame(33, globalPosition(4000, 1, 2, 3, 4))
        << "48.1173 11.5166667 545.4 13 0 90 01.01.1970|02:00:00 0 0 0";
    QTest::newRow("local time") << frame(2, systemTime(1465430385999999, 10)) + position
                                << "1 0 0 0 0 0 09.06.2016|01:59:45 0 0 0";
    // Seconds are kept in 32 bits: 2^32 + 100 seconds show as second 100.
    QTest::newRow("clock beyond 32 bits") << frame(2, systemTime(4294967396000000, 10)) + position
                                          << "1 0 0 0 0 0 01.01.1970|02:01:40 0 0 0";
    QTest::newRow("satellites and clock without position")
        << frame(24, gpsRaw(7, 13)) + frame(2, systemTime(5000000, 3))
        << "48.1173 11.5166666667 545.4 8 54.7 34.4 23.03.2094|12:35:19 0 0 0";
}

// Each row follows an NMEA frame: MAVLink sets the track heading to 0 and
// leaves everything alone without a position.
void TestSerialBlock::mavlink() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fields);
    DataConverter dc;
    parse(dc, kRmc + kGga + kVtg, ksDefines::NMEA);
    parse(dc, bytes, ksDefines::MAVLink);
    QCOMPARE(show(dc), fields);
    QCOMPARE(dc.getSerialDataString(), QString::fromLatin1(bytes.left(bytes.indexOf('\0'))));
    // The framing state lives as long as the program: a frame cut at the end
    // of one block is completed by the next block parsed.
    const QByteArray whole = frame(33, globalPosition(9, 20000000, 30000000, 1000, 100));
    parse(dc, frame(30, QByteArray(28, '\x05')) + whole.left(15), ksDefines::MAVLink);
    QCOMPARE(show(dc), fields);
    parse(dc, whole.mid(15), ksDefines::MAVLink);
    QCOMPARE(show(dc), QStringLiteral("2 3 1 0 0 1 01.01.1970|02:00:00 0 0 0"));
}

void TestSerialBlock::downlink_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("want"); // show(), then standard output | standard error
    const QByteArray record12 = kRecord1 + line("#12,1,") + "\r\n" + line("#7,1,1,1,") + "\r\n";
    const QByteArray badEnd = kRecord1 + line("#7,1,1,1,") + "\r\n#99,63\r\n";
    QTest::newRow("frame before a cut record 1")
        << kMdFrame + kRecord1 + "#4,0"
        << "0 0 545.4 8 0 0 2016-06-08|23:59:45 0 28.6479 180 ECEF TO WGS84 4200000.000000 "
           "0.000000 0.000000 0.000000 0.000000\n|28.6479 0 180\n";
    // The final line ends with the CR LF before the next record 1; without
    // record 5 the position stays.
    QTest::newRow("final line decoded") << kRecord1 + line("#7,0.25,0.5,-1,") + "\r\n" + kRecord1
                                        << "10 20 545.4 8 0 0 1970-01-01|00:00:00 14.3239 28.6479 "
                                           "-57.2958 |28.6479 14.3239 -57.2958\n";
    QTest::newRow("record 12 drops the frame")
        << record12 + "#1,"
        << "10 20 545.4 8 0 0 n/a|n/a 0 0 0 |" + QString::number(record12.size()) + "\n";
    QTest::newRow("bad checksum in the final line")
        << badEnd + "#1,"
        << "10 20 545.4 8 0 0 n/a|n/a 0 0 0 dldec: Checksum Error!|" +
               QString::number(badEnd.size()) + "\n";
    QTest::newRow("one record 1") << kMdFrame << "10 20 545.4 8 0 0 n/a|n/a 0 0 0 |";
}

void TestSerialBlock::downlink() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, want);
    DataConverter dc;
    parse(dc, "$GPGGA,1,1000.000,N,02000.000,E,1,08,0.9,545.4,M\r\n", ksDefines::NMEA);
    testsupport::Recorder rec;
    parse(dc, bytes, ksDefines::MdDownlink);
    QCOMPARE(show(dc) + ' ' + rec.out + '|' + rec.err, want);
}

// Random bytes of every kind: no read outside the block (the sanitizer build
// checks), and the copy never exceeds the buffer.
void TestSerialBlock::randomBlocksOfEveryKind() {
    DataConverter dc;
    QRandomGenerator rng(3);
    const QByteArray alphabet("#1,\r\n$GPRMC0123456789.-\xfe\xfd");
    testsupport::Recorder rec; // keeps the console quiet
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes(int(rng.bounded(0, 9000)), '\0');
        for (char& c : bytes)
            c = rng.bounded(4u) ? alphabet[int(rng.bounded(uint(alphabet.size())))]
                                : char(rng.bounded(1u, 256u));
        if (round % 3 == 0 && !bytes.isEmpty())
            bytes[int(rng.bounded(uint(bytes.size())))] = '\0';
        parse(dc, bytes, ksDefines::serialContent(round % 4));
        QCOMPARE(dc.getSerialDataSize(), uint32_t(qMin(bytes.size(), 8192)));
        QVERIFY(std::isfinite(dc.getCurrentLatitude()));
    }
}

// QCoreApplication takes the user's locale for the C library; a decimal comma
// there must not change how numbers are read.
void TestSerialBlock::decimalCommaLocale() {
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE.utf8"))
        QSKIP("no de_DE locale installed: numbers were not read under a decimal comma");
    DataConverter dc;
    parse(dc, kGga, ksDefines::NMEA);
    testsupport::Recorder rec;
    parse(dc, kMdFrame + "#1,", ksDefines::MdDownlink);
    std::setlocale(LC_NUMERIC, "C");
    QCOMPARE(show(dc), QStringLiteral("0 0 545.4 8 0 0 2016-06-08|23:59:45 0 28.6479 180"));
}

QTEST_GUILESS_MAIN(TestSerialBlock)
#include "tst_serialblock.moc"
