#include "support/TestSupport.h"
#include "telemetry/Downlink.h"
#include "telemetry/TelemetryBlocks.h"

#include <QtTest>
#include <cmath>
#include <vector>

using blocks::line;

namespace {

int analyze(QByteArray text, _DLDEC* dec) {
    text.append('\0');
    return AnalyzeDownlinkDecoder(text.data(), dec);
}

_DLDEC fresh() {
    _DLDEC dec;
    DLDInitShadow(&dec);
    return dec;
}

} // namespace

class TestDownlink : public QObject {
    Q_OBJECT
private slots:
    void initShadow();
    void lineChecks_data();
    void lineChecks();
    void checkFrameContent_data();
    void checkFrameContent();
    void recordOne();
    void recordsTwoToSix();
    void recordFive_data();
    void recordFive();
    void attitudeInDegrees();
    void recordsEightToEleven();
    void recordsZeroAndNinetyEight();
    void rejectedLineKeepsValues();
    void linesOfAText();
    void scanNextString();
    void ecef_data();
    void ecef();
    void gpsTimeTexts_data();
    void gpsTimeTexts();
    void lastFrame_data();
    void lastFrame();
};

void TestDownlink::initShadow() {
    QCOMPARE(DLDInitShadow(nullptr), 0);
    _DLDEC dec;
    std::memset(&dec, 0x5A, sizeof dec);
    QCOMPARE(DLDInitShadow(&dec), 1);
    QCOMPARE(dec.receivedMask, 0u);
    QCOMPARE(dec.lastRecordNumber, 999u);
    QCOMPARE(dec.gpsUnixTime, 0u);
    QCOMPARE(dec.ecefX, 0);
    QCOMPARE(dec.rec1Field1, uint8_t(0));
    QCOMPARE(dec.rec1Field8, 999999.9);
    QCOMPARE(dec.record2[13], 999999.9);
    QCOMPARE(dec.record3[0], 999999.9);
    QCOMPARE(dec.record4[3], 0u);
    QCOMPARE(dec.rec5Field4, 999999.9);
    QCOMPARE(dec.rec5Field5, 0u);
    QCOMPARE(dec.record6[2], 999999.9);
    QCOMPARE(dec.attitude[0], 999999.9);
    QCOMPARE(dec.attitude[2], 999999.9);
    QCOMPARE(dec.record8[1], 999999.9);
    QCOMPARE(dec.record9[0], 999999.9);
    QCOMPARE(dec.record10[2], 999999.9);
    QCOMPARE(dec.rec11Field3, 0u);
    QCOMPARE(dec.rec11Field1, uint8_t(0));
}

void TestDownlink::lineChecks_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::addColumn<uint>("lastRecord");
    QTest::addColumn<uint>("mask");

    // '#' 35 + '9' 57 + '9' 57 + ',' 44 = 193, and 255 - 193 = 62.
    QTest::newRow("worked example") << QByteArray("#99,62") << 2 << "" << 99u << 0u;
    QTest::newRow("checksum 63") << QByteArray("#99,63") << 0 << "dldec: Checksum Error!" << 999u
                                 << 0u;
    QTest::newRow("checksum plus 256")
        << QByteArray("#99,318") << 0 << "dldec: Checksum Error!" << 999u << 0u;
    QTest::newRow("checksum beyond 64 bits")
        << QByteArray("#99,99999999999999999999999") << 0 << "dldec: Checksum Error!" << 999u << 0u;
    QTest::newRow("no hash") << QByteArray("99,62") << 0 << "dldec: No Frame!" << 999u << 0u;
    QTest::newRow("empty") << QByteArray("") << 0 << "dldec: No Frame!" << 999u << 0u;
    QTest::newRow("no comma") << QByteArray("#99") << 0 << "dldec: Checksum Error!" << 999u << 0u;
    QTest::newRow("comma last") << QByteArray("#99,") << 0 << "dldec: Checksum Error!" << 999u
                                << 0u;
    QTest::newRow("trailing characters ignored") << QByteArray("#99,62abc") << 2 << "" << 99u << 0u;
    QTest::newRow("checksum ends at CR") << QByteArray("#99,62\r7") << 2 << "" << 99u << 0u;
    QTest::newRow("sum starts at the hash") << QByteArray("xx#99,62") << 2 << "" << 99u << 0u;
    QTest::newRow("record 12") << line("#12,") << 0 << "" << 12u << (1u << 12);
    QTest::newRow("record 31") << line("#31,") << 0 << "" << 31u << (1u << 31);
    QTest::newRow("record 100") << line("#100,") << 0 << "" << 100u << 0u;
    QTest::newRow("negative record") << line("#-1,") << 0 << "" << 4294967295u << 0u;
    // 2^32 + 1 is not record 1, though its low 32 bits are.
    QTest::newRow("record beyond 32 bits")
        << line("#4294967297,1,2,3,4,5,6,7,8,9,10,") << 0 << "" << 1u << 0u;
    QTest::newRow("record 99 with fields") << line("#99,1,2,") << 2 << "" << 99u << 0u;
    QTest::newRow("missing required field") << line("#7,1,2,") << 0 << "" << 7u << (1u << 7);
    QTest::newRow("leading blanks in the number")
        << line("# 7,1,2,3,") << 2 << "" << 7u << (1u << 7);
    // Cut to 255 characters: "#2," and 63 times "1.5," end with a comma.
    QTest::newRow("300-character line") << line("#2," + QByteArray("1.5,").repeated(74)) << 0
                                        << "dldec: Checksum Error!" << 999u << 0u;
    // The first 255 characters hold a whole line: the blanks after it are cut.
    QTest::newRow("valid line padded to 300")
        << QByteArray("#99,62").append(QByteArray(294, ' ')) << 2 << "" << 99u << 0u;
}

void TestDownlink::lineChecks() {
    QFETCH(QByteArray, text);
    QFETCH(int, result);
    QFETCH(QString, message);
    QFETCH(uint, lastRecord);
    QFETCH(uint, mask);
    testsupport::Recorder rec;
    _DLDEC dec = fresh();
    QCOMPARE(analyze(text, &dec), result);
    QCOMPARE(rec.out, message);
    QCOMPARE(rec.err, QString());
    QCOMPARE(dec.lastRecordNumber, lastRecord);
    QCOMPARE(dec.receivedMask, mask);
}

void TestDownlink::checkFrameContent_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("good");
    QTest::newRow("worked example") << QByteArray("#99,62") << true;
    QTest::newRow("off by one") << QByteArray("#99,63") << false;
    QTest::newRow("line end") << QByteArray("#99,62\r\n") << true;
    // "#99,," sums to 237: the last comma is the one that counts.
    QTest::newRow("empty field") << QByteArray("#99,,18") << true;
    QTest::newRow("no checksum") << QByteArray("#99,\r\n") << false;
    QTest::newRow("not a number") << QByteArray("#99,x") << false;
    QTest::newRow("signed") << QByteArray("#99,+62") << true;
}

void TestDownlink::checkFrameContent() {
    QFETCH(QByteArray, text);
    QFETCH(bool, good);
    QCOMPARE(CheckFrameContent(text.append('\0').data()), good);
    QVERIFY(!CheckFrameContent(nullptr));
}

void TestDownlink::recordOne() {
    _DLDEC dec = fresh();
    QCOMPARE(analyze(line("#1,300,4294967297,1,2,3,4,-1,1500,7.9,-7.9,"), &dec), 2);
    QCOMPARE(dec.rec1Field1, uint8_t(44)); // 300 wrapped to 8 bits
    QCOMPARE(dec.rec1Field2, 1u);          // 2^32 + 1 wrapped to 32 bits
    const uint8_t bytes[5] = {1, 2, 3, 4, 255};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(dec.rec1Fields3to7[i], bytes[i]);
    QCOMPARE(dec.rec1Field8, 1.5);
    QCOMPARE(dec.rec1Field9, 7u);           // truncated toward zero
    QCOMPARE(dec.rec1Field10, 4294967289u); // -7 wrapped
    QCOMPARE(dec.receivedMask, 2u);
    QCOMPARE(dec.lastRecordNumber, 1u);

    // Nine fields: rejected, nothing stored.
    _DLDEC short9 = fresh();
    QCOMPARE(analyze(line("#1,1,2,3,4,5,6,7,8,9,"), &short9), 0);
    QCOMPARE(short9.rec1Field8, 999999.9);
    QCOMPARE(short9.rec1Field1, uint8_t(0));
}

void TestDownlink::recordsTwoToSix() {
    _DLDEC dec = fresh();
    QCOMPARE(analyze(line("#2,1,2,3,4,5,6,7,8,9,10,11,12,13,14.5,"), &dec), 2);
    QCOMPARE(dec.record2[0], 1.0);
    QCOMPARE(dec.record2[12], 13.0);
    QCOMPARE(dec.record2[13], 14.5);
    QCOMPARE(analyze(line("#3,1,2,3,4,"), &dec), 2);
    QCOMPARE(dec.record3[0], 1.0);
    QCOMPARE(dec.record3[1], 2.0);
    QCOMPARE(dec.record3[2], 4.0);
    QCOMPARE(dec.record3[3], 3.0);
    QCOMPARE(analyze(line("#4,7,345600000,1900,1e12,"), &dec), 2);
    QCOMPARE(dec.record4[0], 7u);
    QCOMPARE(dec.record4[1], 345600000u);
    QCOMPARE(dec.record4[2], 1900u);
    QCOMPARE(dec.record4[3], 3567587328u); // 10^12 mod 2^32
    // 1900 * 604800 + 345600 + 315964785
    QCOMPARE(dec.gpsUnixTime, 1465430385u);
    QCOMPARE(analyze(line("#6,-1,-2,-3,nan,"), &dec), 2);
    QCOMPARE(dec.record6[0], -1.0);
    QCOMPARE(dec.record6[2], -3.0);
    QVERIFY(std::isnan(dec.record6[3])); // read as atof reads it
    QCOMPARE(dec.receivedMask, (1u << 2) | (1u << 3) | (1u << 4) | (1u << 6));

    // A week number so large that the sum wraps in 32 bits:
    // 8000 * 604800 + 0 + 315964785 = 5154364785, minus 2^32 = 859397489.
    _DLDEC wrap = fresh();
    QCOMPARE(analyze(line("#4,0,0,8000,0,"), &wrap), 2);
    QCOMPARE(wrap.gpsUnixTime, 859397489u);
}

void TestDownlink::recordFive_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("z");
    QTest::addColumn<double>("extra");
    QTest::addColumn<uint>("extraInt");
    QTest::newRow("three fields") << line("#5,420000099,-100,250,") << 420000099 << -100 << 250
                                  << 999999.9 << 0u;
    QTest::newRow("five fields") << line("#5,1,2,3,1.25,6.9,") << 1 << 2 << 3 << 1.25 << 6u;
    QTest::newRow("four fields: the extras need both")
        << line("#5,1,2,3,1.25,") << 1 << 2 << 3 << 999999.9 << 0u;
    QTest::newRow("beyond 32 bits") << line("#5,4294967396,-4294967297,2147483648,") << 100 << -1
                                    << int(INT32_MIN) << 999999.9 << 0u;
    QTest::newRow("integers read like atol")
        << line("#5,12.9,  -7x,+5,") << 12 << -7 << 5 << 999999.9 << 0u;
}

void TestDownlink::recordFive() {
    QFETCH(QByteArray, text);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, z);
    QFETCH(double, extra);
    QFETCH(uint, extraInt);
    _DLDEC dec = fresh();
    QCOMPARE(analyze(text, &dec), 2);
    QCOMPARE(dec.ecefX, x);
    QCOMPARE(dec.ecefY, y);
    QCOMPARE(dec.ecefZ, z);
    QCOMPARE(dec.rec5Field4, extra);
    QCOMPARE(dec.rec5Field5, extraInt);
}

void TestDownlink::attitudeInDegrees() {
    _DLDEC dec = fresh();
    QCOMPARE(analyze(line("#7,0,0.5,3.141592653589793,"), &dec), 2);
    QCOMPARE(dec.attitude[0], 0.0);
    // 0.5 rad = 28.647889756541161 degrees
    QVERIFY(std::fabs(dec.attitude[1] - 28.647889756541161) < 1e-12);
    QCOMPARE(dec.attitude[2], 180.0);
}

void TestDownlink::recordsEightToEleven() {
    _DLDEC dec = fresh();
    QCOMPARE(analyze(line("#8,10,20,300,"), &dec), 2);
    QCOMPARE(dec.record8[0], 20.0);
    QCOMPARE(dec.record8[1], 10.0);
    QCOMPARE(dec.record8[2], 3.0);
    QCOMPARE(analyze(line("#8,1,2,3,4,"), &dec), 2); // a fourth value is read and dropped
    QCOMPARE(dec.record8[0], 2.0);
    QCOMPARE(dec.record8[2], 0.03);
    QCOMPARE(analyze(line("#9,1.5,2.5,3.5,"), &dec), 2);
    QCOMPARE(dec.record9[2], 3.5);
    QCOMPARE(analyze(line("#10,-1.5,-2.5,-3.5,"), &dec), 2);
    QCOMPARE(dec.record10[0], -1.5);

    QCOMPARE(analyze(line("#11,5,6,70000,"), &dec), 2);
    QCOMPARE(dec.rec11Field3, 70000u);
    QCOMPARE(dec.rec11Field2, uint8_t(6));
    QCOMPARE(dec.rec11Field1, uint8_t(5));
    // ",255" anywhere after the number's comma: accepted without fields.
    QCOMPARE(analyze(line("#11,0,255,"), &dec), 2);
    QCOMPARE(dec.rec11Field3, 70000u);
    // "255" as the first field has no comma in front of it within that text.
    QCOMPARE(analyze(line("#11,255,1,2,"), &dec), 2);
    QCOMPARE(dec.rec11Field1, uint8_t(255));
    QCOMPARE(dec.rec11Field2, uint8_t(1));
    QCOMPARE(dec.rec11Field3, 2u);
    QCOMPARE(analyze(line("#11,1,2,"), &dec), 0);
}

void TestDownlink::recordsZeroAndNinetyEight() {
    _DLDEC dec = fresh();
    QCOMPARE(analyze(line("#0,5,"), &dec), 2);
    QCOMPARE(analyze(line("#0,"), &dec), 0);
    QCOMPARE(analyze(line("#98,1,2,3,4,5,6,7,"), &dec), 2);
    QCOMPARE(analyze(line("#98,1,2,3,4,5,6,7,8,"), &dec), 2);
    QCOMPARE(analyze(line("#98,1,2,3,4,5,6,"), &dec), 0);
    QCOMPARE(dec.receivedMask, 1u);
    QCOMPARE(dec.lastRecordNumber, 98u);
}

void TestDownlink::rejectedLineKeepsValues() {
    _DLDEC dec = fresh();
    QCOMPARE(analyze(line("#7,0.1,0.2,"), &dec), 0);
    QCOMPARE(dec.attitude[0], 999999.9);
    QCOMPARE(analyze(line("#3,1,2,3,"), &dec), 0);
    QCOMPARE(dec.record3[0], 999999.9);
    // Without a decoder record a line is still checked.
    testsupport::Recorder rec;
    QByteArray text("#99,62");
    text.append('\0');
    QCOMPARE(AnalyzeDownlinkDecoder(text.data(), nullptr), 2);
    QCOMPARE(analyze(line("#7,1,2,3,"), nullptr), 2);
    QCOMPARE(AnalyzeDownlinkDecoder(nullptr, &dec), 0);
    QCOMPARE(rec.out, QString());
}

void TestDownlink::linesOfAText() {
    testsupport::Recorder rec;
    const QByteArray crlf("\r\n");
    {
        _DLDEC dec = fresh();
        QByteArray text = line("#0,5,");
        QCOMPARE(decodeDownlink(text.append('\0').data(), &dec), 1); // no CR LF: nothing
        QCOMPARE(dec.receivedMask, 0u);
    }
    {
        _DLDEC dec = fresh();
        QByteArray text = line("#0,5,") + crlf + line("#7,1,2,3,") + crlf + "#12,garbage";
        int lines = -1;
        QCOMPARE(decodeDownlinkText(text.constData(), size_t(text.size()), &dec, &lines), 1);
        QCOMPARE(lines, 2);
        QCOMPARE(dec.receivedMask, (1u << 0) | (1u << 7)); // the tail is not decoded
        QCOMPARE(dec.attitude[2], 3.0 * 180.0 / 3.141592653589793);
    }
    {
        _DLDEC dec = fresh();
        QByteArray text = line("#12,") + crlf + line("#0,5,") + crlf;
        QCOMPARE(decodeDownlink(text.append('\0').data(), &dec), 0);
        QCOMPARE(dec.receivedMask, 1u << 12); // stops at the first rejected line
    }
    QCOMPARE(rec.out, QString());
    {
        _DLDEC dec = fresh();
        QByteArray text = line("#0,5,") + crlf + crlf;
        QCOMPARE(decodeDownlink(text.append('\0').data(), &dec), 0); // an empty line
        QCOMPARE(rec.out, QStringLiteral("dldec: No Frame!"));
    }
    {
        // A bare LF does not end a line; the length bounds the text.
        _DLDEC dec = fresh();
        ExactBlock block(line("#0,5,") + "\n" + crlf.left(1));
        int lines = -1;
        QCOMPARE(decodeDownlinkText(block.get(), block.size, &dec, &lines), 1);
        QCOMPARE(lines, 0);
    }
}

void TestDownlink::scanNextString() {
    char text[] = "abcdef,x";
    char field[4];
    char* next = ScanNextString(text, field, sizeof field);
    QCOMPARE(QByteArray(field), QByteArray("abc")); // cut to the buffer
    QVERIFY(next == text + 7);
    next = ScanNextString(next, field, sizeof field);
    QCOMPARE(QByteArray(field), QByteArray("x"));
    QVERIFY(next == nullptr); // no comma follows
    char leading[] = ",y";
    QVERIFY(ScanNextString(leading, field, sizeof field) == leading + 1);
    QCOMPARE(QByteArray(field), QByteArray(""));
    char untouched[2] = {'Q', 0};
    QVERIFY(ScanNextString(text, untouched, 0) == text + 7);
    QCOMPARE(untouched[0], 'Q');
    QVERIFY(ScanNextString(nullptr, field, sizeof field) == nullptr);
}

void TestDownlink::ecef_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("z");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<QString>("printed");

    QTest::newRow("whole metres") << 420000099 << 0 << 0 << 0.0 << 0.0 << 1e-12
                                  << "ECEF TO WGS84 4200000.000000 0.000000 0.000000 0.000000 "
                                     "0.000000\n";
    QTest::newRow("truncated toward zero")
        << -420000099 << -199 << 0 << 0.0 << -179.99998635814774 << 1e-9
        << "ECEF TO WGS84 -4200000.000000 -1.000000 0.000000 -179.999986 0.000000\n";
    QTest::newRow("45 degrees east") << 300000000 << 300000000 << 0 << 0.0 << 45.0 << 1e-12
                                     << "ECEF TO WGS84 3000000.000000 3000000.000000 0.000000 "
                                        "45.000000 0.000000\n";
    QTest::newRow("north pole") << 0 << 0 << 635675231 << 90.0 << 0.0 << 1e-9
                                << "ECEF TO WGS84 0.000000 0.000000 6356752.000000 0.000000 "
                                   "90.000000\n";
    // From 48.1173 N 11.5166667 E 545.4 m by the closed geodetic formulas;
    // whole metres cost up to 1e-5 degrees.
    QTest::newRow("Munich") << 418048389 << 85179553 << 472599977 << 48.1173 << 11.5166667 << 2e-5
                            << "";
    QTest::newRow("Sydney") << -464622190 << 255428210 << -353343122 << -33.8584 << 151.2 << 2e-5
                            << "";
}

void TestDownlink::ecef() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, z);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, tolerance);
    QFETCH(QString, printed);
    _DLDEC dec = fresh();
    dec.ecefX = x;
    dec.ecefY = y;
    dec.ecefZ = z;
    double lat = -1;
    double lon = -1;
    testsupport::Recorder rec;
    ECEF_to_WGS84(&dec, &lat, &lon);
    QVERIFY2(std::fabs(lat - latitude) <= tolerance, qPrintable(QString::number(lat, 'g', 17)));
    QVERIFY2(std::fabs(lon - longitude) <= tolerance, qPrintable(QString::number(lon, 'g', 17)));
    if (!printed.isEmpty())
        QCOMPARE(rec.out, printed);
    else
        QVERIFY(rec.out.startsWith(QStringLiteral("ECEF TO WGS84 ")));
}

void TestDownlink::gpsTimeTexts_data() {
    QTest::addColumn<uint>("seconds");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::newRow("worked example") << 1465430385u << 32 << "2016-06-08"
                                    << "23:59:45";
    QTest::newRow("epoch") << 0u << 32 << "1970-01-01"
                           << "00:00:00";
    QTest::newRow("largest") << 4294967295u << 32 << "2106-02-07"
                             << "06:28:15";
    QTest::newRow("buffer too small") << 1465430385u << 8 << ""
                                      << "";
    QTest::newRow("exact fit") << 1465430385u << 11 << "2016-06-08"
                               << "23:59:45";
}

void TestDownlink::gpsTimeTexts() {
    QFETCH(uint, seconds);
    QFETCH(int, size);
    QFETCH(QString, date);
    QFETCH(QString, time);
    // UTC whatever the local zone.
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "XYZ-5"); // five hours east of UTC
    tzset();
    _DLDEC dec = fresh();
    dec.gpsUnixTime = seconds;
    std::vector<char> out(size_t(size) + 4, 'Z');
    GPS_TIME_to_Date_String(&dec, out.data(), size);
    QCOMPARE(QString::fromLatin1(out.data()), date);
    QCOMPARE(out[size_t(size)], 'Z'); // nothing written past the size
    GPS_TIME_to_Time_String(&dec, out.data(), size);
    QCOMPARE(QString::fromLatin1(out.data()), time);
    qputenv("TZ", oldTz);
    tzset();
}

void TestDownlink::lastFrame_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end");
    QTest::newRow("none") << QByteArray("#2,1,\r\n") << false << 0 << 0;
    QTest::newRow("one record 1") << QByteArray("#1,abc\r\n#7,1\r\n") << false << 0 << 0;
    QTest::newRow("two") << QByteArray("xx#1,a\r\n#1,b") << true << 2 << 8;
    QTest::newRow("three: the second and the third")
        << QByteArray("#1,a\r\n#1,bb\r\n#1,c") << true << 6 << 13;
    QTest::newRow("adjacent") << QByteArray("#1,#1,") << true << 0 << 3;
    QTest::newRow("overlapping text is one find") << QByteArray("#1,1,#1#1,") << true << 0 << 7;
    QTest::newRow("4094 apart") << (QByteArray("#1,") + QByteArray(4091, 'a') + "#1,") << true << 0
                                << 4094;
    QTest::newRow("4095 apart") << (QByteArray("#1,") + QByteArray(4092, 'a') + "#1,") << false << 0
                                << 0;
    QTest::newRow("text ends at a zero byte")
        << (QByteArray("#1,a") + QByteArray(1, '\0') + QByteArray("#1,b")) << false << 0 << 0;
    QTest::newRow("8192 bytes of #1,")
        << QByteArray("#1,").repeated(2731).left(8192) << true << 8184 << 8187;
    QTest::newRow("cut record 1 at the end") << QByteArray("#1,a#1,b#1") << true << 0 << 4;
}

void TestDownlink::lastFrame() {
    QFETCH(QByteArray, text);
    QFETCH(bool, found);
    QFETCH(int, begin);
    QFETCH(int, end);
    ExactBlock block(text);
    size_t b = 99;
    size_t e = 99;
    QCOMPARE(findLastDownlinkFrame(block.get(), block.size, b, e), found);
    if (found) {
        QCOMPARE(int(b), begin);
        QCOMPARE(int(e), end);
    }
    QVERIFY(!findLastDownlinkFrame(nullptr, 10, b, e));
}

QTEST_GUILESS_MAIN(TestDownlink)
#include "tst_downlink.moc"
