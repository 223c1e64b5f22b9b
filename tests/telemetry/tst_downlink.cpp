#include "support/TestSupport.h"
#include "telemetry/Downlink.h"
#include "telemetry/TelemetryBlocks.h"

#include <QtTest>
#include <cstring>
#include <map>
#include <vector>

using blocks::line;

namespace {

_DLDEC fresh() {
    _DLDEC dec;
    DLDInitShadow(&dec);
    return dec;
}

// "number mask:" and the stored values of the record last analysed.
QString show(const _DLDEC& d) {
    const auto r = [](const double* v, int n) { return std::vector<double>(v, v + n); };
    const uint8_t* b = d.rec1Fields3to7;
    const uint32_t* r4 = d.record4;
    const std::map<uint32_t, std::vector<double>> stored{
        {1,
         {double(d.rec1Field1), double(d.rec1Field2), double(b[0]), double(b[1]), double(b[2]),
          double(b[3]), double(b[4]), d.rec1Field8, double(d.rec1Field9), double(d.rec1Field10)}},
        {2, r(d.record2, 14)},
        {3, r(d.record3, 4)},
        {4, {double(r4[0]), double(r4[1]), double(r4[2]), double(r4[3]), double(d.gpsUnixTime)}},
        {5,
         {double(d.ecefX), double(d.ecefY), double(d.ecefZ), d.rec5Field4, double(d.rec5Field5)}},
        {6, r(d.record6, 4)},
        {7, r(d.attitude, 3)},
        {8, r(d.record8, 3)},
        {9, r(d.record9, 3)},
        {10, r(d.record10, 3)},
        {11, {double(d.rec11Field1), double(d.rec11Field2), double(d.rec11Field3)}}};
    QString out = QStringLiteral("%1 %2:").arg(d.lastRecordNumber).arg(d.receivedMask, 0, 16);
    const auto values = stored.find(d.lastRecordNumber);
    for (const double x : values == stored.end() ? std::vector<double>() : values->second)
        out += blocks::format(" %.15g", x);
    return out;
}

} // namespace

class TestDownlink : public QObject {
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void textOfLines();
    void ecef_data();
    void ecef();
    void gpsTimeTexts();
    void lastFrame_data();
    void lastFrame();
};

void TestDownlink::lines_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("want"); // result, show() after the line, "|", message
    // '#' 35 + '9' 57 + '9' 57 + ',' 44 = 193, and 255 - 193 = 62.
    QTest::newRow("worked example") << QByteArray("#99,62") << "2 99 0:|";
    QTest::newRow("checksum 63") << QByteArray("#99,63") << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("checksum plus 256")
        << QByteArray("#99,318") << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("checksum beyond 64 bits")
        << QByteArray("#99,99999999999999999999999") << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("checksum not a number")
        << QByteArray("#99,x") << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("no comma") << QByteArray("#99") << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("comma last") << QByteArray("#99,") << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("no hash") << QByteArray("99,62") << "0 999 0:|dldec: No Frame!";
    QTest::newRow("empty") << QByteArray("") << "0 999 0:|dldec: No Frame!";
    QTest::newRow("sum starts at the hash") << QByteArray("xx#99,62") << "2 99 0:|";
    QTest::newRow("signed, trailing characters") << QByteArray("#99,+62abc") << "2 99 0:|";
    QTest::newRow("checksum ends at CR") << QByteArray("#99,62\r7") << "2 99 0:|";
    // "#99,," sums to 237: the last comma is the one that counts.
    QTest::newRow("empty field") << QByteArray("#99,,18") << "2 99 0:|";
    // Cut to 255 characters: "#2," and 63 times "1.5," end with a comma.
    QTest::newRow("300-character line")
        << line("#2," + QByteArray("1.5,").repeated(74)) << "0 999 0:|dldec: Checksum Error!";
    QTest::newRow("valid line padded to 300") << "#99,62" + QByteArray(294, ' ') << "2 99 0:|";
    QTest::newRow("record 12") << line("#12,") << "0 12 1000:|";
    QTest::newRow("record 31") << line("#31,") << "0 31 80000000:|";
    QTest::newRow("record 100") << line("#100,") << "0 100 0:|";
    QTest::newRow("negative record") << line("#-1,") << "0 4294967295 0:|";
    // 2^32 + 1 is not record 1, though its low 32 bits are.
    QTest::newRow("record beyond 32 bits")
        << line("#4294967297,1,2,3,4,5,6,7,8,9,10,") << "0 1 0: 0 0 0 0 0 0 0 999999.9 0 0|";
    QTest::newRow("record 0") << line("#0,5,") << "2 0 1:|";
    QTest::newRow("record 0 without its field") << line("#0,") << "0 0 1:|";
    QTest::newRow("record 1 wraps to the field widths")
        << line("#1,300,4294967297,1,2,3,4,-1,1500,7.9,-7.9,")
        << "2 1 2: 44 1 1 2 3 4 255 1.5 7 4294967289|";
    QTest::newRow("record 1 of nine fields")
        << line("#1,1,2,3,4,5,6,7,8,9,") << "0 1 2: 0 0 0 0 0 0 0 999999.9 0 0|";
    QTest::newRow("record 2") << line("#2,1,2,3,4,5,6,7,8,9,10,11,12,13,14.5,")
                              << "2 2 4: 1 2 3 4 5 6 7 8 9 10 11 12 13 14.5|";
    QTest::newRow("record 3 reorders") << line("#3,1,2,3,4,") << "2 3 8: 1 2 4 3|";
    QTest::newRow("record 3 of three fields")
        << line("#3,1,2,3,") << "0 3 8: 999999.9 999999.9 999999.9 999999.9|";
    // 1900 * 604800 + 345600 + 315964785; 10^12 mod 2^32.
    QTest::newRow("record 4 worked example")
        << line("#4,7,345600000,1900,1e12,") << "2 4 10: 7 345600000 1900 3567587328 1465430385|";
    // 8000 * 604800 + 315964785 = 5154364785, minus 2^32.
    QTest::newRow("record 4 wraps in 32 bits")
        << line("#4,0,0,8000,0,") << "2 4 10: 0 0 8000 0 859397489|";
    QTest::newRow("record 5 worked example")
        << line("#5,420000099,-100,250,") << "2 5 20: 420000099 -100 250 999999.9 0|";
    QTest::newRow("record 5 with extras") << line("#5,1,2,3,1.25,6.9,") << "2 5 20: 1 2 3 1.25 6|";
    QTest::newRow("record 5: the extras need both")
        << line("#5,1,2,3,1.25,") << "2 5 20: 1 2 3 999999.9 0|";
    QTest::newRow("record 5 beyond 32 bits, like atol")
        << line("#5,4294967396,-4294967297,  12.9x,") << "2 5 20: 100 -1 12 999999.9 0|";
    QTest::newRow("record 6 nan") << line("#6,-1,-2,-3,nan,") << "2 6 40: -1 -2 -3 nan|";
    QTest::newRow("record 7 worked example")
        << line("#7,0,0.5,3.141592653589793,") << "2 7 80: 0 28.6478897565412 180|";
    QTest::newRow("record 7 of two fields")
        << line("#7,0.1,0.2,") << "0 7 80: 999999.9 999999.9 999999.9|";
    QTest::newRow("record 8 reorders and scales") << line("#8,10,20,300,4,") << "2 8 100: 20 10 3|";
    QTest::newRow("record 9 like atof") << line("#9,3e+,-2.5E2x,abc,") << "2 9 200: 3 -250 0|";
    QTest::newRow("record 10") << line("#10,-1.5,-2.5,-3.5,") << "2 10 400: -1.5 -2.5 -3.5|";
    QTest::newRow("record 11") << line("#11,5,6,70000,") << "2 11 800: 5 6 70000|";
    QTest::newRow("record 11 with ,255 reads nothing") << line("#11,0,255,") << "2 11 800: 0 0 0|";
    // The text after the number's comma starts with "255": no comma before it.
    QTest::newRow("record 11 with 255 first") << line("#11,255,1,2,") << "2 11 800: 255 1 2|";
    QTest::newRow("record 11 of two fields") << line("#11,1,2,") << "0 11 800: 0 0 0|";
    QTest::newRow("record 98 of 7 fields") << line("#98,1,2,3,4,5,6,7,") << "2 98 0:|";
    QTest::newRow("record 98 of 8 fields") << line("#98,1,2,3,4,5,6,7,8,") << "2 98 0:|";
    QTest::newRow("record 98 of 6 fields") << line("#98,1,2,3,4,5,6,") << "0 98 0:|";
}

void TestDownlink::lines() {
    QFETCH(QByteArray, text);
    QFETCH(QString, want);
    testsupport::Recorder rec;
    _DLDEC dec = fresh();
    text.append('\0');
    const int result = AnalyzeDownlinkDecoder(text.data(), &dec);
    QCOMPARE(QString::number(result) + ' ' + show(dec) + '|' + rec.out + rec.err, want);
    // The checksum test alone, for a line that begins with its "#".
    if (text.startsWith("#99"))
        QCOMPARE(CheckFrameContent(text.data()), result == 2);
}

void TestDownlink::textOfLines() {
    testsupport::Recorder rec;
    _DLDEC dec = fresh();
    // The text after the last CR LF is not decoded; a bare LF ends no line.
    QByteArray text =
        line("#0,5,") + "\r\n" + line("#7,1,2,3,") + "\r\n" + line("#3,1,2,3,4,") + "\n#12,garbage";
    int lines = -1;
    QCOMPARE(decodeDownlinkText(text.constData(), size_t(text.size()), &dec, &lines), 1);
    QCOMPARE(lines, 2);
    QCOMPARE(decodeDownlink(text.data(), &dec), 1);
    QCOMPARE(dec.receivedMask, 0x81u);
    // Stops at the first rejected line.
    text = line("#12,") + "\r\n" + line("#3,1,2,3,4,") + "\r\n";
    QCOMPARE(decodeDownlink(text.data(), &dec), 0);
    QCOMPARE(dec.receivedMask, 0x1081u);
    QCOMPARE(rec.out, QString());
    text = line("#0,5,") + "\r\n\r\n";
    QCOMPARE(decodeDownlink(text.data(), &dec), 0); // an empty line
    QCOMPARE(rec.out, QStringLiteral("dldec: No Frame!"));

    char fields[] = "abcdef,x";
    char field[4];
    char* next = ScanNextString(fields, field, sizeof field);
    QVERIFY(next == fields + 7);
    QCOMPARE(QByteArray(field), QByteArray("abc"));                // cut to the buffer
    QVERIFY(ScanNextString(next, field, sizeof field) == nullptr); // no comma follows
    QCOMPARE(QByteArray(field), QByteArray("x"));
    QVERIFY(!ScanNextString(nullptr, field, 4) && !CheckFrameContent(nullptr));
    QVERIFY(!DLDInitShadow(nullptr) && !AnalyzeDownlinkDecoder(nullptr, &dec));
}

void TestDownlink::ecef_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("z");
    QTest::addColumn<QString>("printed"); // X Y Z longitude latitude
    QTest::newRow("whole metres") << 420000099 << 0 << 0
                                  << "4200000.000000 0.000000 0.000000 0.000000 0.000000";
    QTest::newRow("toward zero") << -420000099 << -199 << 0
                                 << "-4200000.000000 -1.000000 0.000000 -179.999986 0.000000";
    QTest::newRow("45 degrees east") << 300000000 << 300000000 << 0
                                     << "3000000.000000 3000000.000000 0.000000 45.000000 0.000000";
    QTest::newRow("north pole") << 0 << 0 << 635675231
                                << "0.000000 0.000000 6356752.000000 0.000000 90.000000";
}

void TestDownlink::ecef() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, z);
    QFETCH(QString, printed);
    _DLDEC dec = fresh();
    dec.ecefX = x;
    dec.ecefY = y;
    dec.ecefZ = z;
    double lat = -1;
    double lon = -1;
    testsupport::Recorder rec;
    ECEF_to_WGS84(&dec, &lat, &lon);
    QCOMPARE(rec.out, "ECEF TO WGS84 " + printed + "\n");
    QCOMPARE(blocks::format("%f %f", lon, lat), printed.section(' ', 3));
}

// UTC whatever the local zone, within the size given.
void TestDownlink::gpsTimeTexts() {
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "XYZ-5");
    tzset();
    _DLDEC dec = fresh();
    dec.gpsUnixTime = 4294967295u;
    char date[12] = "ZZZZZZZZZZZ", time[10] = "ZZZZZZZZZ", small[10] = "ZZZZZZZZZ";
    GPS_TIME_to_Date_String(&dec, date, 11);
    GPS_TIME_to_Time_String(&dec, time, 9);
    GPS_TIME_to_Date_String(&dec, small, 8);
    qputenv("TZ", oldTz);
    tzset();
    QCOMPARE(QByteArray(date) + "," + QByteArray(time), QByteArray("2106-02-07,06:28:15"));
    QVERIFY(small[0] == 0 && small[8] == 'Z'); // too small: empty
}

void TestDownlink::lastFrame_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("begin"); // -1: no frame
    QTest::addColumn<int>("end");
    QTest::newRow("none") << QByteArray("#2,1,\r\n") << -1 << 0;
    QTest::newRow("one record 1") << QByteArray("#1,abc\r\n#7,1\r\n") << -1 << 0;
    QTest::newRow("two") << QByteArray("xx#1,a\r\n#1,b") << 2 << 8;
    QTest::newRow("three: the second and the third")
        << QByteArray("#1,a\r\n#1,bb\r\n#1,c") << 6 << 13;
    QTest::newRow("overlapping text is one find") << QByteArray("#1,1,#1#1,") << 0 << 7;
    QTest::newRow("4094 apart") << "#1," + QByteArray(4091, 'a') + "#1," << 0 << 4094;
    QTest::newRow("4095 apart") << "#1," + QByteArray(4092, 'a') + "#1," << -1 << 0;
    QTest::newRow("text ends at a zero byte") << QByteArray("#1,a\0#1,b", 9) << -1 << 0;
    QTest::newRow("8192 bytes of #1,")
        << QByteArray("#1,").repeated(2731).left(8192) << 8184 << 8187;
    QTest::newRow("cut record 1 at the end") << QByteArray("#1,a#1,b#1") << 0 << 4;
}

void TestDownlink::lastFrame() {
    QFETCH(QByteArray, text);
    QFETCH(int, begin);
    QFETCH(int, end);
    ExactBlock block(text);
    size_t b = 99;
    size_t e = 99;
    QCOMPARE(findLastDownlinkFrame(block.get(), block.size, b, e), begin >= 0);
    if (begin >= 0)
        QCOMPARE(QString("%1 %2").arg(b).arg(e), QString("%1 %2").arg(begin).arg(end));
    QVERIFY(!findLastDownlinkFrame(nullptr, 10, b, e));
}

QTEST_GUILESS_MAIN(TestDownlink)
#include "tst_downlink.moc"
