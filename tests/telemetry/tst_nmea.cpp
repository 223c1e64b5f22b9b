#include "support/TestSupport.h"
#include "telemetry/Nmea.h"
#include "telemetry/TelemetryBlocks.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>
#include <cmath>

using nmea::NmeaFields;

namespace {

const char* const kSpecRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const char* const kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

// 48 degrees 7.038 minutes and 11 degrees 31 minutes.
constexpr double kLat = 48.1173;
constexpr double kLon = 11.516666666666667;

bool near(double a, double b) {
    return std::fabs(a - b) <= 1e-9;
}

// QJsonValue stores an integral double as an integer, which loses the sign of
// -0.0; the negative zeros are therefore collected from the text itself, as
// "file:line:field".
QSet<QString> negativeZeros(const QByteArray& json) {
    QSet<QString> found;
    static const QRegularExpression token(
        QStringLiteral("\"([^\"]+)\"\\s*:\\s*(\\{|-0(?:\\.0+)?(?=[\\s,}]))"));
    QString file;
    QString line;
    auto it = token.globalMatch(QString::fromUtf8(json));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString key = m.captured(1);
        if (m.captured(2) == QLatin1String("{")) {
            if (key.endsWith(QLatin1String(".nmea")))
                file = key;
            else
                line = key;
        } else {
            found.insert(file + QLatin1Char(':') + line + QLatin1Char(':') + key);
        }
    }
    return found;
}

// Fields set to values no sentence writes, to see what a parser leaves alone.
NmeaFields sentinel() {
    NmeaFields f;
    f.latitude = 1.5;
    f.longitude = 2.5;
    f.altitude = 3.5;
    f.satellites = 77;
    f.magneticHeading = 4.5f;
    f.trackHeading = 5.5f;
    f.date = QStringLiteral("D");
    f.time = QStringLiteral("T");
    return f;
}

} // namespace

class TestNmea : public QObject {
    Q_OBJECT
private slots:
    void angles_data();
    void angles();
    void rmc_data();
    void rmc();
    void rmcRejected_data();
    void rmcRejected();
    void gga_data();
    void gga();
    void ggaRejected();
    void vtg_data();
    void vtg();
    void blockTakesLastSentence();
    void blockLeadingZerosBecomeLineFeeds();
    void blockRules_data();
    void blockRules();
    void blockWithoutZeroByte();
    void blockOfZerosOnly();
    void longAndRandomLines();
    void realReceiverLogs();
};

void TestNmea::angles_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("isLongitude");
    QTest::addColumn<double>("expected");
    QTest::newRow("latitude") << "4807.038" << false << 48.1173;
    // Only mm.mmmm is read: 07.0382 of 07.038247.
    QTest::newRow("seven characters of minutes") << "4807.038247" << false << 48.117303333333333;
    QTest::newRow("longitude") << "01131.000" << true << kLon;
    QTest::newRow("southern hemisphere digits") << "3351.5050" << false << 33.858416666666667;
    QTest::newRow("minutes 60 kept") << "8960.000000" << false << 90.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("degrees only") << "48" << false << 0.0;
    QTest::newRow("degrees not a number") << "x807.038" << false << 0.0;
    QTest::newRow("minutes not a number") << "48ab.cd" << false << 0.0;
    QTest::newRow("nan is not a number") << "nan" << true << 0.0;
    QTest::newRow("inf is not a number") << "inf00.0" << true << 0.0;
    QTest::newRow("nan minutes") << "48nan" << false << 0.0;
    QTest::newRow("huge minutes") << "481e999" << false << 0.0;
}

void TestNmea::angles() {
    QFETCH(QString, value);
    QFETCH(bool, isLongitude);
    QFETCH(double, expected);
    const double got = nmea::nmeaToDezimal(value, isLongitude);
    QVERIFY2(near(got, expected), qPrintable(QString::number(got, 'g', 17)));
}

void TestNmea::rmc_data() {
    QTest::addColumn<QString>("sentence");
    QTest::addColumn<int>("hourOffset");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");

    QTest::newRow("worked example") << kSpecRmc << 0 << kLat << kLon << "23.03.2094"
                                    << "12:35:19";
    QTest::newRow("offset 12 rolls the date") << kSpecRmc << 12 << kLat << kLon << "24.03.2094"
                                              << "00:35:19";
    QTest::newRow("offset -12") << kSpecRmc << -12 << kLat << kLon << "23.03.2094"
                                << "00:35:19";
    QTest::newRow("offset -1 before midnight")
        << "$GNRMC,003000.00,A,4807.038,N,01131.000,E,,,010100,,,A" << -1 << kLat << kLon
        << "31.12.1999"
        << "23:30:00";
    QTest::newRow("south and west")
        << "$GPRMC,123519,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W*6A" << 0 << -kLat
        << -kLon << "23.03.2094"
        << "12:35:19";
    QTest::newRow("corrupted checksum is not examined")
        << "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*00" << 0 << kLat
        << kLon << "23.03.2094"
        << "12:35:19";
    QTest::newRow("fractional seconds dropped")
        << "$GNRMC,184040.00,V,,,,,,,030416,,,N" << 0 << -0.0 << 0.0 << "03.04.2016"
        << "18:40:40";
    QTest::newRow("no fix, no clock") << "$GPRMC,,V,,,,,,,,,,N*53" << 5 << -0.0 << 0.0 << "n/a"
                                      << "n/a";
    QTest::newRow("month 13 empties both texts")
        << "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,231394,003.1,W" << 0 << kLat << kLon
        << ""
        << "";
    QTest::newRow("25th hour counts as midnight")
        << "$GPRMC,253519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W" << 3 << kLat << kLon
        << "23.03.2094"
        << "03:00:00";
    QTest::newRow("letters in the clock count as midnight")
        << "$GPRMC,12x519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W" << 0 << kLat << kLon
        << "23.03.2094"
        << "00:00:00";
    QTest::newRow("time without date stays unshifted")
        << "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,23039,003.1,W" << 5 << kLat << kLon
        << "n/a"
        << "12:35:19";
    QTest::newRow("date without time stays unshifted")
        << "$GPRMC,12351,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W" << 5 << kLat << kLon
        << "23.03.2094"
        << "n/a";
    // With exactly ten fields the date is the last one and carries the CR.
    QTest::newRow("carriage return after the date")
        << "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394\r" << 0 << kLat << kLon
        << "n/a"
        << "12:35:19";
    QTest::newRow("lower-case hemisphere is not N")
        << "$GNRMC,123519,A,4807.038,n,01131.000,w,022.4,084.4,230394,003.1,W" << 0 << -kLat << kLon
        << "23.03.2094"
        << "12:35:19";
}

void TestNmea::rmc() {
    QFETCH(QString, sentence);
    QFETCH(int, hourOffset);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(QString, date);
    QFETCH(QString, time);
    NmeaFields f;
    nmea::resetFields(f);
    f.altitude = 3.5;
    f.satellites = 9;
    QVERIFY(nmea::parseRMC(sentence, hourOffset, f));
    QVERIFY2(near(f.latitude, latitude), qPrintable(QString::number(f.latitude, 'g', 17)));
    QCOMPARE(std::signbit(f.latitude), std::signbit(latitude));
    QVERIFY2(near(f.longitude, longitude), qPrintable(QString::number(f.longitude, 'g', 17)));
    QCOMPARE(std::signbit(f.longitude), std::signbit(longitude));
    QCOMPARE(f.date, date);
    QCOMPARE(f.time, time);
    QCOMPARE(f.altitude, 3.5); // RMC leaves the GGA fields alone
    QCOMPARE(f.satellites, 9);
}

void TestNmea::rmcRejected_data() {
    QTest::addColumn<QString>("sentence");
    QTest::newRow("nine fields") << "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4";
    QTest::newRow("other name") << "$GPRMB,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,0";
    QTest::newRow("GGA name") << kGga;
    QTest::newRow("leading space") << " $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,";
    QTest::newRow("empty") << "";
}

void TestNmea::rmcRejected() {
    QFETCH(QString, sentence);
    NmeaFields f = sentinel();
    QVERIFY(!nmea::parseRMC(sentence, 0, f));
    QCOMPARE(f.latitude, 1.5);
    QCOMPARE(f.longitude, 2.5);
    QCOMPARE(f.date, QStringLiteral("D"));
    QCOMPARE(f.time, QStringLiteral("T"));
}

void TestNmea::gga_data() {
    QTest::addColumn<QString>("sentence");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("altitude");
    QTest::addColumn<int>("satellites");

    QTest::newRow("GP") << kGga << kLat << kLon << 545.4 << 8;
    QTest::newRow("GN like GP")
        << "$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47" << kLat << kLon
        << 545.4 << 8;
    QTest::newRow("ten fields exactly")
        << "$GPGGA,1,4807.038,S,01131.000,W,1,5,0.9,-12.25" << -kLat << -kLon << -12.25 << 5;
    QTest::newRow("missing hemispheres")
        << "$GPGGA,123519,4807.038,,01131.000,,1,08,0.9,545.4,M" << -kLat << kLon << 545.4 << 8;
    QTest::newRow("satellites truncated")
        << "$GPGGA,1,4807.038,N,01131.000,E,1,7.9,0.9,1.5,M" << kLat << kLon << 1.5 << 7;
    QTest::newRow("empty fields") << "$GPGGA,,,,,,0,,,,,,,,*66" << -0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("nan and inf") << "$GPGGA,1,4807.038,N,01131.000,E,1,nan,0.9,inf,M" << kLat
                                 << kLon << 0.0 << 0;
    QTest::newRow("huge numbers") << "$GPGGA,1,4807.038,N,01131.000,E,1,1e20,0.9,1e999,M" << kLat
                                  << kLon << 0.0 << 0;
    QTest::newRow("largest count") << "$GPGGA,1,4807.038,N,01131.000,E,1,2147483647,0.9,2e5,M"
                                   << kLat << kLon << 200000.0 << 2147483647;
}

void TestNmea::gga() {
    QFETCH(QString, sentence);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, altitude);
    QFETCH(int, satellites);
    NmeaFields f = sentinel();
    QVERIFY(nmea::parseGGA(sentence, f));
    QVERIFY2(near(f.latitude, latitude), qPrintable(QString::number(f.latitude, 'g', 17)));
    QCOMPARE(std::signbit(f.latitude), std::signbit(latitude));
    QVERIFY(near(f.longitude, longitude));
    QCOMPARE(std::signbit(f.longitude), std::signbit(longitude));
    QCOMPARE(f.altitude, altitude);
    QCOMPARE(f.satellites, satellites);
    QCOMPARE(f.date, QStringLiteral("D")); // GGA carries no date
    QCOMPARE(f.magneticHeading, 4.5f);
}

void TestNmea::ggaRejected() {
    NmeaFields f = sentinel();
    // Nine fields: ignored entirely.
    QVERIFY(!nmea::parseGGA(QStringLiteral("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9"), f));
    QVERIFY(!nmea::parseGGA(QString::fromLatin1(kSpecRmc), f));
    QCOMPARE(f.latitude, 1.5);
    QCOMPARE(f.altitude, 3.5);
    QCOMPARE(f.satellites, 77);
}

void TestNmea::vtg_data() {
    QTest::addColumn<QString>("sentence");
    QTest::addColumn<bool>("result");
    QTest::addColumn<float>("track");
    QTest::addColumn<float>("magnetic");

    QTest::newRow("both tracks") << "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48" << true << 54.7f
                                 << 34.4f;
    QTest::newRow("GN, magnetic empty")
        << "$GNVTG,16.6,T,,M,0.0,N,0.0,K,A" << true << 16.6f << 0.0f;
    QTest::newRow("true track empty")
        << "$GPVTG,,T,341.7,M,0.0,N,0.0,K,A" << false << 0.0f << 341.7f;
    QTest::newRow("four fields, CR after the magnetic track")
        << "$GPVTG,054.7,T,034.4\r" << true << 54.7f << 34.4f;
    QTest::newRow("beyond a float") << "$GPVTG,1e39,T,nan,M" << false << 0.0f << 0.0f;
    QTest::newRow("three fields") << "$GPVTG,054.7,T" << false << 5.5f << 4.5f;
    QTest::newRow("other name") << "$GPVTX,054.7,T,034.4,M" << false << 5.5f << 4.5f;
}

void TestNmea::vtg() {
    QFETCH(QString, sentence);
    QFETCH(bool, result);
    QFETCH(float, track);
    QFETCH(float, magnetic);
    NmeaFields f = sentinel();
    QCOMPARE(nmea::parseVTG(sentence, f), result);
    QCOMPARE(f.trackHeading, track);
    QCOMPARE(f.magneticHeading, magnetic);
    QCOMPARE(f.latitude, 1.5);
}

void TestNmea::blockTakesLastSentence() {
    const QByteArray text =
        QByteArrayLiteral("$GPRMC,101010,A,1000.000,N,02000.000,E,0,0,010116,,\r\n"
                          "$GPGGA,101010,1000.000,N,02000.000,E,1,04,0.9,100.0,M,0,M,,*47\r\n"
                          "$GPVTG,10.0,T,11.0,M,0,N,0,K\r\n"
                          "$GPRMC,111111,A,3000.000,S,04000.000,W,0,0,020216,,\r\n"
                          "$GPVTG,20.0,T,21.0,M,0,N,0,K\r\n");
    ExactBlock block(text);
    NmeaFields f = sentinel();
    QCOMPARE(nmea::parseBlock(block.get(), block.size, 0, f), 5);
    // Position from the last RMC, altitude and satellites from the only GGA.
    QCOMPARE(f.latitude, -30.0);
    QCOMPARE(f.longitude, -40.0);
    QCOMPARE(f.date, QStringLiteral("02.02.2016"));
    QCOMPARE(f.time, QStringLiteral("11:11:11"));
    QCOMPARE(f.altitude, 100.0);
    QCOMPARE(f.satellites, 4);
    QCOMPARE(f.trackHeading, 20.0f);
    QCOMPARE(f.magneticHeading, 21.0f);
    QCOMPARE(block.contents(), text); // no leading zeros: the block is unchanged
}

void TestNmea::blockLeadingZerosBecomeLineFeeds() {
    QByteArray text(3, '\0');
    text += "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    text += QByteArray(2, '\0'); // zero bytes after the text stay zero
    ExactBlock block(text);
    NmeaFields f;
    QCOMPARE(nmea::parseBlock(block.get(), block.size, 12, f), 1);
    QCOMPARE(f.date, QStringLiteral("24.03.2094"));
    QCOMPARE(f.time, QStringLiteral("00:35:19"));
    QByteArray expected = text;
    expected[0] = '\n';
    expected[1] = '\n';
    expected[2] = '\n';
    QCOMPARE(block.contents(), expected);
}

void TestNmea::blockRules_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("taken");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<QString>("date");
    QTest::addColumn<double>("altitude");
    QTest::addColumn<float>("track");

    QTest::newRow("nothing usable resets")
        << QByteArray("$GPGSV,3,1,12,20,76,058,40*7D\r\n") << 0 << 0.0 << "n/a" << 0.0 << 0.0f;
    QTest::newRow("six-character line is no sentence")
        << QByteArray("$GPVTG\n$GPRMC\n") << 0 << 0.0 << "n/a" << 0.0 << 0.0f;
    QTest::newRow("sentence only at the start of a line")
        << QByteArray("xx$GPRMC,123519,A,4807.038,N,01131.000,E,0,0,230394,0\r\n") << 0 << 0.0
        << "n/a" << 0.0 << 0.0f;
    QTest::newRow("text ends at the first zero byte")
        << (QByteArray("$GPVTG,1.0,T,2.0,M\r\n") + QByteArray(1, '\0') +
            QByteArray("$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9,545.4,M"))
        << 1 << 0.0 << "n/a" << 0.0 << 1.0f;
    QTest::newRow("LF-only lines")
        << QByteArray("$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9,545.4,M\n$GPVTG,3.5,T,,M\n") << 2
        << kLat << "n/a" << 545.4 << 3.5f;
    QTest::newRow("GGA after RMC takes the position")
        << QByteArray("$GPRMC,123519,A,4807.038,N,01131.000,E,0,0,230394,0\n"
                      "$GNGGA,1,1000.000,S,01131.000,E,1,08,0.9,545.4,M\n")
        << 2 << -10.0 << "23.03.2094" << 545.4 << 0.0f;
}

void TestNmea::blockRules() {
    QFETCH(QByteArray, text);
    QFETCH(int, taken);
    QFETCH(double, latitude);
    QFETCH(QString, date);
    QFETCH(double, altitude);
    QFETCH(float, track);
    ExactBlock block(text);
    NmeaFields f = sentinel();
    QCOMPARE(nmea::parseBlock(block.get(), block.size, 0, f), taken);
    QVERIFY2(near(f.latitude, latitude), qPrintable(QString::number(f.latitude, 'g', 17)));
    QCOMPARE(f.date, date);
    QCOMPARE(f.altitude, altitude);
    QCOMPARE(f.trackHeading, track);
    if (taken == 0) {
        QCOMPARE(f.time, QStringLiteral("n/a"));
        QCOMPARE(f.satellites, 0);
        QCOMPARE(f.magneticHeading, 0.0f);
        QCOMPARE(f.longitude, 0.0);
    }
}

void TestNmea::blockWithoutZeroByte() {
    // The last sentence has no line end and the block no zero byte: it is read
    // up to the block length and no further.
    ExactBlock block(
        QByteArray("$GPVTG,1.0,T,2.0,M\r\n$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9,545.4"));
    NmeaFields f;
    QCOMPARE(nmea::parseBlock(block.get(), block.size, 0, f), 2);
    QCOMPARE(f.altitude, 545.4);
    QCOMPARE(f.satellites, 8);
}

void TestNmea::blockOfZerosOnly() {
    ExactBlock block(QByteArray(16, '\0'));
    NmeaFields f = sentinel();
    QCOMPARE(nmea::parseBlock(block.get(), block.size, 0, f), 0);
    QCOMPARE(block.contents(), QByteArray(16, '\n'));
    QCOMPARE(f.date, QStringLiteral("n/a"));
    NmeaFields g = sentinel();
    QCOMPARE(nmea::parseBlock(nullptr, 100, 0, g), 0);
    QCOMPARE(g.time, QStringLiteral("n/a"));
}

void TestNmea::longAndRandomLines() {
    // A 10,000-character RMC has two fields only.
    ExactBlock longRmc(QByteArray("$GPRMC,") + QByteArray(10000, 'x'));
    NmeaFields f;
    QCOMPARE(nmea::parseBlock(longRmc.get(), longRmc.size, 0, f), 0);
    QCOMPARE(f.date, QStringLiteral("n/a"));

    // 5,000 fields of "9": a two-character latitude without minutes is 0 and
    // the hemisphere field "9" is not "N".
    QByteArray manyFields("$GPGGA");
    for (int i = 0; i < 5000; ++i)
        manyFields += ",9";
    ExactBlock gga(manyFields);
    QCOMPARE(nmea::parseBlock(gga.get(), gga.size, 0, f), 1);
    QCOMPARE(f.latitude, -0.0);
    QVERIFY(std::signbit(f.latitude));
    QCOMPARE(f.altitude, 9.0);
    QCOMPARE(f.satellites, 9);

    QRandomGenerator rng(7);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(int(rng.bounded(1, 3000)), '\0');
        for (char& c : bytes) {
            const quint32 pick = rng.bounded(10u);
            c = pick < 3 ? ",$\nGPRMCAV."[rng.bounded(11u)] : char(rng.bounded(256u));
        }
        if (round % 2)
            bytes.prepend("$GPRMC,1");
        ExactBlock block(bytes);
        NmeaFields g;
        nmea::parseBlock(block.get(), block.size, int(rng.bounded(25u)) - 12, g);
        QVERIFY(!std::isnan(g.latitude) && !std::isinf(g.latitude));
        QVERIFY(!std::isnan(g.altitude) && !std::isinf(g.altitude));
    }
}

void TestNmea::realReceiverLogs() {
    const QString dir = testsupport::sharedTestData(QStringLiteral("nmea"));
    if (dir.isEmpty())
        QSKIP("shared/testdata/nmea is absent: the eight real receiver logs were not parsed");
    QFile expectedFile(dir + QStringLiteral("/expected.json"));
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    const QByteArray json = expectedFile.readAll();
    const QJsonObject files = QJsonDocument::fromJson(json).object().value("files").toObject();
    const QSet<QString> minusZero = negativeZeros(json);
    QVERIFY(minusZero.size() > 10);
    QCOMPARE(files.size(), 8);

    int compared = 0;
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile log(dir + QLatin1Char('/') + it.key());
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(it.key()));
        const QList<QByteArray> lines = log.readAll().split('\n');
        const QJsonObject byLine = it.value().toObject();
        for (auto e = byLine.begin(); e != byLine.end(); ++e) {
            const int number = e.key().toInt();
            QVERIFY(number >= 1 && number <= lines.size());
            const QByteArray line = lines[number - 1];
            const QJsonObject want = e.value().toObject();
            const QString where = it.key() + QLatin1Char(':') + e.key();
            QCOMPARE(line.left(6), want.value("sentence").toString().toLatin1());

            ExactBlock block(line);
            NmeaFields got = sentinel();
            const int taken = nmea::parseBlock(block.get(), block.size, 0, got);
            QVERIFY2(taken <= 1, qPrintable(where));
            for (auto field = want.begin(); field != want.end(); ++field) {
                const QString name = field.key();
                const QJsonValue v = field.value();
                bool ok = true;
                QString detail;
                if (name == QLatin1String("latitude") || name == QLatin1String("longitude") ||
                    name == QLatin1String("altitude")) {
                    const double value = name == QLatin1String("latitude")    ? got.latitude
                                         : name == QLatin1String("longitude") ? got.longitude
                                                                              : got.altitude;
                    const bool negative =
                        v.toDouble() < 0 || minusZero.contains(where + QLatin1Char(':') + name);
                    ok = near(value, v.toDouble()) && std::signbit(value) == negative;
                    detail = QString::number(value, 'g', 17);
                } else if (name == QLatin1String("satellites")) {
                    ok = got.satellites == v.toInt();
                    detail = QString::number(got.satellites);
                } else if (name == QLatin1String("trackHeading") ||
                           name == QLatin1String("magneticHeading")) {
                    const float value = name == QLatin1String("trackHeading") ? got.trackHeading
                                                                              : got.magneticHeading;
                    ok = near(double(value), double(float(v.toDouble())));
                    detail = QString::number(double(value), 'g', 9);
                } else if (name == QLatin1String("date")) {
                    ok = got.date == v.toString();
                    detail = got.date;
                } else if (name == QLatin1String("time")) {
                    ok = got.time == v.toString();
                    detail = got.time;
                } else {
                    continue; // "sentence"
                }
                QVERIFY2(ok, qPrintable(where + QLatin1Char(' ') + name + QStringLiteral(": ") +
                                        detail));
                ++compared;
            }
        }
    }
    QVERIFY(compared > 2000);
}

QTEST_GUILESS_MAIN(TestNmea)
#include "tst_nmea.moc"
