#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"
#include "telemetry/MAVService.h"
#include "telemetry/TelemetryBlocks.h"

#include <QRandomGenerator>
#include <QtTest>
#include <cmath>
#include <ctime>

using namespace blocks;

namespace {

const QByteArray kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const QByteArray kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const QByteArray kVtg = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";
const QByteArray kCrLf = "\r\n";

void parse(DataConverter& dc, const QByteArray& bytes, ksDefines::serialContent kind) {
    ExactBlock block(bytes);
    dc.invokeSerialDataParsing(block.get(), block.size, kind);
}

// One downlink frame: records 1, 4, 5 and 7 and a closing 99, each CR LF-ended.
QByteArray mdFrame(const QByteArray& attitude = "#7,0,0.5,3.141592653589793,") {
    return line("#1,1,2,3,4,5,6,7,8,9,10,") + kCrLf + line("#4,0,345600000,1900,0,") + kCrLf +
           line("#5,418048389,85179553,472599977,") + kCrLf + line(attitude) + kCrLf + "#99,62" +
           kCrLf;
}

void setTimeZone(const char* tz) {
    qputenv("TZ", tz);
    tzset();
}

} // namespace

class TestSerialBlock : public QObject {
    Q_OBJECT
private slots:
    void init();
    void nmeaThroughTheConverter();
    void nmeaLeadingZerosShowInTheCopy();
    void otherKindsShowEmptyTextForLeadingZero_data();
    void otherKindsShowEmptyTextForLeadingZero();
    void copyIsLimitedToTheBuffer();
    void shorterBlockClearsTheRest();
    void sentenceWrappers();
    void imageMetaData();
    void mavlinkFields();
    void mavlinkClock_data();
    void mavlinkClock();
    void mavlinkWithoutPositionChangesNothing();
    void mavlinkSplitAcrossFrames();
    void downlinkFrame();
    void downlinkFinalLineIsDecoded();
    void downlinkRejectedFrame();
    void downlinkWithoutFrame_data();
    void downlinkWithoutFrame();
    void downlinkMiddleOfThree();
    void downlinkWithoutPosition();
    void randomBlocksOfEveryKind();
    void simulatedFlight();
};

void TestSerialBlock::init() {
    MAVService::programFramingState() = MAVFramingState();
    setTimeZone("UTC");
}

void TestSerialBlock::nmeaThroughTheConverter() {
    DataConverter dc;
    dc.changedHourOffset(12);
    QCOMPARE(dc.getHourOffset(), 12);
    parse(dc, kGga + kVtg + kRmc, ksDefines::NMEA);
    QVERIFY(std::fabs(dc.getCurrentLatitude() - 48.1173) < 1e-12);
    QVERIFY(std::fabs(dc.getCurrentLongitude() - 11.516666666666667) < 1e-12);
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("24.03.2094"));
    QCOMPARE(dc.getCurrentTime(), QStringLiteral("00:35:19"));
    QCOMPARE(dc.getCurrentAltitude(), 545.4f);
    QCOMPARE(dc.getCurrentSatellites(), 8);
    QCOMPARE(dc.getCurrentTrackHeading(), 54.7f);
    QCOMPARE(dc.getCurrentMagneticHeading(), 34.4f);
    QCOMPARE(dc.getSerialDataString(), QString::fromLatin1(kGga + kVtg + kRmc));

    // A block without sentences resets to zeros and "n/a".
    parse(dc, "$GPGSV,3,1,12*7D\r\n", ksDefines::NMEA);
    QCOMPARE(dc.getCurrentLatitude(), 0.0);
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("n/a"));
    QCOMPARE(dc.getCurrentTime(), QStringLiteral("n/a"));
    QCOMPARE(dc.getCurrentAltitude(), 0.0f);
    QCOMPARE(dc.getCurrentSatellites(), 0);
    QCOMPARE(dc.getCurrentMagneticHeading(), 0.0f);
}

void TestSerialBlock::nmeaLeadingZerosShowInTheCopy() {
    DataConverter dc;
    QByteArray bytes(2, '\0');
    bytes += kRmc;
    parse(dc, bytes, ksDefines::NMEA);
    QCOMPARE(dc.getSerialDataString(), QString::fromLatin1("\n\n" + kRmc));
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("23.03.2094"));
}

void TestSerialBlock::otherKindsShowEmptyTextForLeadingZero_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("none") << int(ksDefines::NoSerialData);
    QTest::newRow("MAVLink") << int(ksDefines::MAVLink);
    QTest::newRow("md downlink") << int(ksDefines::MdDownlink);
}

void TestSerialBlock::otherKindsShowEmptyTextForLeadingZero() {
    QFETCH(int, kind);
    DataConverter dc;
    parse(dc, kRmc, ksDefines::NMEA);
    testsupport::Recorder rec;
    QByteArray bytes(1, '\0');
    bytes += kRmc;
    parse(dc, bytes, ksDefines::serialContent(kind));
    QCOMPARE(dc.getSerialDataString(), QString());
    // No NMEA parse: the fields of the earlier one stay.
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("23.03.2094"));
    QCOMPARE(rec.out, QString());
    QCOMPARE(rec.err, QString());
}

void TestSerialBlock::copyIsLimitedToTheBuffer() {
    DataConverter dc;
    // 10,000 bytes without a zero byte: the GGA sentence that crosses byte
    // 8,192 is cut there to 19 characters and so has too few fields.
    QByteArray bytes = "$GPVTG,1.0,T,2.0,M\n";
    bytes += QByteArray(8192 - 19 - 20, 'x') + "\n";
    QCOMPARE(bytes.size(), 8192 - 19);
    bytes += "$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9,545.4,M\n";
    bytes += QByteArray(10000 - bytes.size(), 'y');
    parse(dc, bytes, ksDefines::NMEA);
    QCOMPARE(dc.getCurrentTrackHeading(), 1.0f);
    QCOMPARE(dc.getCurrentAltitude(), 0.0f);
    QCOMPARE(dc.getCurrentSatellites(), 0);
    QCOMPARE(dc.getSerialDataSize(), 8192u);
    const QString text = dc.getSerialDataString();
    QCOMPARE(text.size(), 8192);
    QCOMPARE(text, QString::fromLatin1(bytes.left(8192)));

    parse(dc, QByteArray(8192, 'A'), ksDefines::NoSerialData);
    QCOMPARE(dc.getSerialDataString(), QString(8192, QLatin1Char('A')));
    parse(dc, "short", ksDefines::NoSerialData);
    QCOMPARE(dc.getSerialDataSize(), 5u);
    dc.invokeSerialDataParsing(nullptr, 500, ksDefines::NMEA);
    QCOMPARE(dc.getSerialDataSize(), 0u);
    QCOMPARE(dc.getSerialDataString(), QString());
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("n/a"));
}

void TestSerialBlock::shorterBlockClearsTheRest() {
    DataConverter dc;
    parse(dc, QByteArray(3000, 'A'), ksDefines::NoSerialData);
    parse(dc, "BC", ksDefines::NoSerialData);
    QCOMPARE(dc.getSerialDataString(), QStringLiteral("BC"));
    // Bytes above 127 are taken one character each.
    parse(dc, "\xb0\xe9", ksDefines::NoSerialData);
    QCOMPARE(dc.getSerialDataString(), QString(QChar(0xB0)) + QChar(0xE9));
}

void TestSerialBlock::sentenceWrappers() {
    DataConverter dc;
    QVERIFY(dc.parseGPRMCString(QString::fromLatin1(kRmc.trimmed())));
    QCOMPARE(dc.getCurrentTime(), QStringLiteral("12:35:19"));
    QVERIFY(dc.parseGPGGAString(QString::fromLatin1(kGga.trimmed())));
    QCOMPARE(dc.getCurrentTime(), QStringLiteral("12:35:19")); // GGA leaves the time alone
    QCOMPARE(dc.getCurrentSatellites(), 8);
    QVERIFY(!dc.parseGPVTGString(QStringLiteral("$GPVTG,,T,341.7,M")));
    QCOMPARE(dc.getCurrentMagneticHeading(), 341.7f);
    QCOMPARE(dc.getCurrentAltitude(), 545.4f);
    QVERIFY(!dc.parseGPGGAString(QStringLiteral("$GPGGA,1,2,N,3,E,1,08,0.9")));
    QCOMPARE(dc.getCurrentSatellites(), 8);
    QCOMPARE(DataConverter::nmeaToDezimal(QStringLiteral("01131.000"), true), 11.516666666666667);
}

void TestSerialBlock::imageMetaData() {
    DataConverter dc;
    parse(dc, kRmc + kGga + kVtg, ksDefines::NMEA);
    double lat = -1, lon = -1, alt = -1;
    QString date, time, part = QStringLiteral("x");
    int sats = -1;
    float track = -1, mag = -1, housing = -1, fpa = -1;
    unsigned frame = 99;
    dc.getImageMetaData(lat, lon, date, time, alt, sats, track, mag, frame, part, housing, fpa);
    QCOMPARE(lat, dc.getCurrentLatitude());
    QCOMPARE(lon, dc.getCurrentLongitude());
    QCOMPARE(date, QStringLiteral("23.03.2094"));
    QCOMPARE(time, QStringLiteral("12:35:19"));
    QCOMPARE(alt, 545.4);
    QCOMPARE(sats, 8);
    QCOMPARE(track, 54.7f);
    QCOMPARE(mag, 34.4f);
    QCOMPARE(frame, 0u);
    QCOMPARE(part, QString());
    QCOMPARE(housing, 0.0f);
    QCOMPARE(fpa, 0.0f);
}

void TestSerialBlock::mavlinkFields() {
    DataConverter dc;
    parse(dc, kVtg, ksDefines::NMEA); // a track heading that MAVLink sets to 0
    const QByteArray bytes = frame(24, gpsRaw(7, 13)) +
                             frame(33, globalPosition(5000, 481173000, 115166667, 545400, 9000)) +
                             frame(33, globalPosition(4000, 1, 2, 3, 4));
    parse(dc, bytes, ksDefines::MAVLink);
    QCOMPARE(dc.getCurrentLatitude(), 48.1173);
    QCOMPARE(dc.getCurrentLongitude(), 11.5166667);
    QCOMPARE(dc.getCurrentAltitude(), 545.4f);
    QCOMPARE(dc.getCurrentMagneticHeading(), 90.0f);
    QCOMPARE(dc.getCurrentTrackHeading(), 0.0f);
    QCOMPARE(dc.getCurrentSatellites(), 13);
    // No SYSTEM_TIME: the epoch, here in UTC.
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("01.01.1970"));
    QCOMPARE(dc.getCurrentTime(), QStringLiteral("00:00:00"));
    QCOMPARE(dc.getSerialDataString().toLatin1(), bytes.left(bytes.indexOf('\0')));

    parse(dc, frame(33, globalPosition(1, 0, 0, 0, 65535)), ksDefines::MAVLink);
    QCOMPARE(dc.getCurrentMagneticHeading(), 655.35f);
}

void TestSerialBlock::mavlinkClock_data() {
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<qulonglong>("unixUsec");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::newRow("UTC") << QByteArray("UTC") << 1465430385999999ull << "08.06.2016"
                         << "23:59:45";
    QTest::newRow("local time two hours east")
        << QByteArray("XYZ-2") << 1465430385000000ull << "09.06.2016"
        << "01:59:45";
    // Seconds are kept in 32 bits: 2^32 + 100 seconds show as second 100.
    QTest::newRow("beyond 32 bits") << QByteArray("UTC") << 4294967396000000ull << "01.01.1970"
                                    << "00:01:40";
}

void TestSerialBlock::mavlinkClock() {
    QFETCH(QByteArray, tz);
    QFETCH(qulonglong, unixUsec);
    QFETCH(QString, date);
    QFETCH(QString, time);
    setTimeZone(tz.constData());
    DataConverter dc;
    parse(dc, frame(2, systemTime(unixUsec, 10)) + frame(33, globalPosition(1, 10000000, 0, 0, 0)),
          ksDefines::MAVLink);
    QCOMPARE(dc.getCurrentDate(), date);
    QCOMPARE(dc.getCurrentTime(), time);
}

void TestSerialBlock::mavlinkWithoutPositionChangesNothing() {
    DataConverter dc;
    parse(dc, kRmc + kGga + kVtg, ksDefines::NMEA);
    // Satellites and clock without a position: nothing is taken.
    parse(dc, frame(24, gpsRaw(7, 13)) + frame(2, systemTime(5000000, 3)), ksDefines::MAVLink);
    QCOMPARE(dc.getCurrentAltitude(), 545.4f);
    QCOMPARE(dc.getCurrentSatellites(), 8);
    QCOMPARE(dc.getCurrentMagneticHeading(), 34.4f);
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("23.03.2094"));
}

void TestSerialBlock::mavlinkSplitAcrossFrames() {
    DataConverter dc;
    const QByteArray whole = frame(33, globalPosition(9, 20000000, 30000000, 1000, 100));
    parse(dc, frame(30, QByteArray(28, '\x05')) + whole.left(15), ksDefines::MAVLink);
    QCOMPARE(dc.getCurrentLatitude(), 0.0);
    parse(dc, whole.mid(15), ksDefines::MAVLink);
    QCOMPARE(dc.getCurrentLatitude(), 2.0);
    QCOMPARE(dc.getCurrentLongitude(), 3.0);
    QCOMPARE(dc.getCurrentAltitude(), 1.0f);
}

void TestSerialBlock::downlinkFrame() {
    DataConverter dc;
    testsupport::Recorder rec;
    const QByteArray bytes = mdFrame() + line("#1,1,2,3,4,5,6,7,8,9,10,") + kCrLf + "#4,0";
    ExactBlock block(bytes);
    dc.invokeSerialDataParsing(block.get(), block.size, ksDefines::MdDownlink);
    QVERIFY(std::fabs(dc.getCurrentLatitude() - 48.1173) < 2e-5);
    QVERIFY(std::fabs(dc.getCurrentLongitude() - 11.5166667) < 2e-5);
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("2016-06-08"));
    QCOMPARE(dc.getCurrentTime(), QStringLiteral("23:59:45"));
    QCOMPARE(dc.getCurrentRoll(), 0.0);
    QVERIFY(std::fabs(dc.getCurrentPitch() - 28.647889756541161) < 1e-12);
    QCOMPARE(dc.getCurrentYaw(), 180.0);
    QCOMPARE(rec.err, QStringLiteral("28.6479 0 180\n"));
    QVERIFY2(rec.out.startsWith(
                 QStringLiteral("ECEF TO WGS84 4180483.000000 851795.000000 4725999.000000 11.51")),
             qPrintable(rec.out));
    QCOMPARE(rec.outLines().size(), 1);
    QVERIFY(rec.out.endsWith(QLatin1Char('\n')));
    QCOMPARE(dc.getSerialDataString().toLatin1(), bytes);

    QVERIFY(dc.parseMdDownlink(block.get()));
}

void TestSerialBlock::downlinkFinalLineIsDecoded() {
    // Record 7 is the last line before the next record 1: its attitude counts.
    DataConverter dc;
    testsupport::Recorder rec;
    const QByteArray frameText =
        line("#1,1,2,3,4,5,6,7,8,9,10,") + kCrLf + line("#7,0.25,0.5,-1,") + kCrLf;
    ExactBlock block(frameText + line("#1,1,2,3,4,5,6,7,8,9,10,") + kCrLf);
    dc.invokeSerialDataParsing(block.get(), block.size, ksDefines::MdDownlink);
    QVERIFY(std::fabs(dc.getCurrentRoll() - 14.323944878270581) < 1e-12);
    QVERIFY(std::fabs(dc.getCurrentPitch() - 28.647889756541161) < 1e-12);
    QVERIFY(std::fabs(dc.getCurrentYaw() + 57.295779513082323) < 1e-12);
    QCOMPARE(rec.err, QStringLiteral("28.6479 14.3239 -57.2958\n"));
    QCOMPARE(rec.out, QString());                                // no record 5: no position line
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("1970-01-01")); // no record 4
}

void TestSerialBlock::downlinkRejectedFrame() {
    DataConverter dc;
    ExactBlock good(mdFrame() + "#1,");
    dc.invokeSerialDataParsing(good.get(), good.size, ksDefines::MdDownlink);
    const double latitude = dc.getCurrentLatitude();

    testsupport::Recorder rec;
    const QByteArray withRecord12 = line("#1,1,2,3,4,5,6,7,8,9,10,") + kCrLf + line("#12,1,") +
                                    kCrLf + line("#7,1,1,1,") + kCrLf;
    ExactBlock bad(withRecord12 + "#1,");
    dc.invokeSerialDataParsing(bad.get(), bad.size, ksDefines::MdDownlink);
    QCOMPARE(rec.err, QString::number(withRecord12.size()) + QLatin1Char('\n'));
    QCOMPARE(rec.out, QString()); // a record number outside the table is not announced
    QCOMPARE(dc.getCurrentLatitude(), latitude);
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("2016-06-08"));
    QVERIFY(std::fabs(dc.getCurrentPitch() - 28.647889756541161) < 1e-12);

    rec.clear();
    const QByteArray badFinalLine =
        line("#1,1,2,3,4,5,6,7,8,9,10,") + kCrLf + line("#7,1,1,1,") + kCrLf + "#99,63" + kCrLf;
    ExactBlock badEnd(badFinalLine + "#1,");
    dc.invokeSerialDataParsing(badEnd.get(), badEnd.size, ksDefines::MdDownlink);
    QCOMPARE(rec.out, QStringLiteral("dldec: Checksum Error!"));
    QCOMPARE(rec.err, QString::number(badFinalLine.size()) + QLatin1Char('\n'));
    QVERIFY(std::fabs(dc.getCurrentPitch() - 28.647889756541161) < 1e-12);
}

void TestSerialBlock::downlinkWithoutFrame_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no record 1") << (line("#7,1,1,1,") + kCrLf);
    QTest::newRow("one record 1") << mdFrame();
    QTest::newRow("8192 bytes of #1,") << QByteArray("#1,").repeated(2731).left(8192);
    QTest::newRow("records 4,095 bytes apart")
        << (line("#1,1,2,3,4,5,6,7,8,9,10,") + kCrLf + line("#0,1,") + QByteArray(4200, ' ') +
            kCrLf + "#1,");
    QTest::newRow("frame after a zero byte")
        << (QByteArray("#1,") + QByteArray(1, '\0') + mdFrame() + "#1,");
}

void TestSerialBlock::downlinkWithoutFrame() {
    QFETCH(QByteArray, bytes);
    DataConverter dc;
    dc.parseNMEASerialDataBlock(nullptr); // the NMEA reset: "n/a" texts
    testsupport::Recorder rec;
    ExactBlock block(bytes);
    dc.invokeSerialDataParsing(block.get(), block.size, ksDefines::MdDownlink);
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("n/a"));
    QCOMPARE(dc.getCurrentPitch(), 0.0);
    QCOMPARE(rec.out, QString());
    QCOMPARE(rec.err, QString());
}

void TestSerialBlock::downlinkMiddleOfThree() {
    DataConverter dc;
    testsupport::Recorder rec;
    const QByteArray bytes =
        mdFrame("#7,0.1,0.1,0.1,") + mdFrame("#7,0,0,1,") + mdFrame("#7,0.2,0.2,0.2,");
    ExactBlock block(bytes);
    dc.invokeSerialDataParsing(block.get(), block.size, ksDefines::MdDownlink);
    QCOMPARE(dc.getCurrentRoll(), 0.0);
    QCOMPARE(dc.getCurrentPitch(), 0.0);
    QVERIFY(std::fabs(dc.getCurrentYaw() - 57.295779513082323) < 1e-12);
    QCOMPARE(rec.err, QStringLiteral("0 0 57.2958\n"));
}

void TestSerialBlock::downlinkWithoutPosition() {
    DataConverter dc;
    parse(dc, "$GPGGA,1,1000.000,N,02000.000,E,1,08,0.9,545.4,M\r\n", ksDefines::NMEA);
    testsupport::Recorder rec;
    const QByteArray frameText =
        line("#1,1,2,3,4,5,6,7,8,9,10,") + kCrLf + line("#4,0,345600000,1900,0,") + kCrLf;
    ExactBlock block(frameText + "#1,");
    dc.invokeSerialDataParsing(block.get(), block.size, ksDefines::MdDownlink);
    // Without record 5 the position stays; date, time and attitude are set.
    QCOMPARE(dc.getCurrentLatitude(), 10.0);
    QCOMPARE(dc.getCurrentLongitude(), 20.0);
    QCOMPARE(dc.getCurrentDate(), QStringLiteral("2016-06-08"));
    QCOMPARE(dc.getCurrentPitch(), 999999.9);
    QCOMPARE(rec.err, QStringLiteral("1e+06 1e+06 1e+06\n"));
    QCOMPARE(rec.out, QString());
}

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
        QVERIFY(dc.getSerialDataString().size() <= 8192);
    }
}

void TestSerialBlock::simulatedFlight() {
    // Blocks written by the simulator for one moment of a survey flight.
    synth::FlightOptions options;
    const synth::FlightState state = synth::flightStateAt(options, 95.5);
    const QDateTime utc = state.utc;
    testsupport::Recorder rec;
    DataConverter dc;

    parse(dc, synth::nmeaBlock(state, "GN"), ksDefines::NMEA);
    // Four decimals of minutes: within 0.00005 / 60 degrees.
    QVERIFY(std::fabs(dc.getCurrentLatitude() - state.latitude) < 1e-6);
    QVERIFY(std::fabs(dc.getCurrentLongitude() - state.longitude) < 1e-6);
    QVERIFY(std::fabs(dc.getCurrentAltitude() - state.altitudeM) < 0.051);
    QCOMPARE(dc.getCurrentSatellites(), state.satellites);
    QCOMPARE(dc.getCurrentDate(), utc.toString(QStringLiteral("dd.MM.yyyy")));
    QCOMPARE(dc.getCurrentTime(), utc.toString(QStringLiteral("hh:mm:ss")));
    QVERIFY(std::fabs(dc.getCurrentTrackHeading() - state.trackDeg) < 0.051);

    QByteArray carry;
    parse(dc, synth::mavlinkBlock(state, 95500, carry, false, 2006), ksDefines::MAVLink);
    QVERIFY(std::fabs(dc.getCurrentLatitude() - state.latitude) < 1e-7);
    QVERIFY(std::fabs(dc.getCurrentLongitude() - state.longitude) < 1e-7);
    QVERIFY(std::fabs(dc.getCurrentAltitude() - state.altitudeM) < 0.001);
    QCOMPARE(dc.getCurrentSatellites(), state.satellites);
    QCOMPARE(dc.getCurrentDate(), utc.toString(QStringLiteral("dd.MM.yyyy")));
    QCOMPARE(dc.getCurrentTime(), utc.toString(QStringLiteral("hh:mm:ss")));

    parse(dc, synth::mdDownlinkBlock(state), ksDefines::MdDownlink);
    // Whole metres of the Earth-centred position: within about 1e-5 degrees.
    QVERIFY2(std::fabs(dc.getCurrentLatitude() - state.latitude) < 2e-5,
             qPrintable(QString::number(dc.getCurrentLatitude(), 'g', 12)));
    QVERIFY(std::fabs(dc.getCurrentLongitude() - state.longitude) < 2e-5);
    QCOMPARE(dc.getCurrentDate(), utc.toString(QStringLiteral("yyyy-MM-dd")));
    QCOMPARE(dc.getCurrentTime(), utc.toString(QStringLiteral("hh:mm:ss")));
    QVERIFY(std::fabs(dc.getCurrentRoll() - state.rollDeg) < 1e-3);
    QVERIFY(std::fabs(dc.getCurrentPitch() - state.pitchDeg) < 1e-3);
    QVERIFY(std::fabs(dc.getCurrentYaw() - state.yawDeg) < 1e-3);
}

QTEST_GUILESS_MAIN(TestSerialBlock)
#include "tst_serialblock.moc"
