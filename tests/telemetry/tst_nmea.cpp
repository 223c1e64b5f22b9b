#include "support/TestSupport.h"
#include "telemetry/Nmea.h"
#include "telemetry/TelemetryBlocks.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

using nmea::NmeaFields;

namespace {

const QByteArray kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const QByteArray kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

// latitude longitude altitude satellites track magnetic date|time; %g keeps
// the sign of -0.
QString show(const NmeaFields& f, int digits = 9) {
    return blocks::format("%.*g %.*g %.*g %d %.7g %.7g ", digits, f.latitude, digits, f.longitude,
                          digits, f.altitude, f.satellites, double(f.trackHeading),
                          double(f.magneticHeading)) +
           f.date + '|' + f.time;
}

} // namespace

class TestNmea : public QObject {
    Q_OBJECT
private slots:
    void blocks_data();
    void blocks();
    void leadingZerosBecomeLineFeeds();
    void realReceiverLogs();
};

void TestNmea::blocks_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("hourOffset");
    QTest::addColumn<QString>("want"); // sentences taken, then show()
    QTest::newRow("RMC") << kRmc << 0 << "1 48.1173 11.5166667 0 0 0 0 23.03.2094|12:35:19";
    QTest::newRow("RMC offset 12")
        << kRmc << 12 << "1 48.1173 11.5166667 0 0 0 0 24.03.2094|00:35:19";
    // Latitude positive only with "N", longitude negative only with "W"; the
    // checksum is not examined; fractional seconds are dropped.
    QTest::newRow("RMC offset -1 before midnight")
        << QByteArray("$GNRMC,003000.00,A,4807.038,n,01131.000,W,,,010100,,,A*00") << -1
        << "1 -48.1173 -11.5166667 0 0 0 0 31.12.1999|23:30:00";
    QTest::newRow("RMC status V") << QByteArray("$GNRMC,184040.00,V,,,,,,,030416,,,N") << 0
                                  << "1 -0 0 0 0 0 0 03.04.2016|18:40:40";
    QTest::newRow("RMC month 13") << QByteArray(
                                         "$GPRMC,123519,A,4807.038,N,01131.000,E,0,0,231394,0")
                                  << 0 << "1 48.1173 11.5166667 0 0 0 0 |";
    QTest::newRow("RMC 25th hour")
        << QByteArray("$GPRMC,253519,A,4807.038,N,01131.000,E,0,0,230394,0") << 3
        << "1 48.1173 11.5166667 0 0 0 0 23.03.2094|03:00:00";
    QTest::newRow("RMC time without date")
        << QByteArray("$GPRMC,123519,A,4807.038,N,01131.000,E,0,0,23039,0") << 5
        << "1 48.1173 11.5166667 0 0 0 0 n/a|12:35:19";
    // With exactly ten fields the date is the last one and carries the CR.
    QTest::newRow("RMC CR after the date")
        << QByteArray("$GPRMC,123519,A,4807.038,N,01131.000,E,0,0,230394\r\n") << 0
        << "1 48.1173 11.5166667 0 0 0 0 n/a|12:35:19";
    QTest::newRow("GGA") << kGga << 0 << "1 48.1173 11.5166667 545.4 8 0 0 n/a|n/a";
    QTest::newRow("GNGGA of ten fields")
        << QByteArray("$GNGGA,1,4807.038,S,01131.000,W,1,2147483647,0.9,-12.25") << 0
        << "1 -48.1173 -11.5166667 -12.25 2147483647 0 0 n/a|n/a";
    // Seven characters of minutes: 07.0382 of 07.038247.
    QTest::newRow("GGA without hemispheres")
        << QByteArray("$GPGGA,1,4807.038247,,01131.000,,1,7.9,0.9,545.4,M") << 0
        << "1 -48.1173033 11.5166667 545.4 7 0 0 n/a|n/a";
    QTest::newRow("GGA not numbers")
        << QByteArray("$GPGGA,1,x807.038,N,011ab.000,E,1,1e20,0.9,0x10,M") << 0
        << "1 0 0 0 0 0 0 n/a|n/a";
    QTest::newRow("GGA not numbers either")
        << QByteArray("$GPGGA,1,48,N,inf00.0,E,1,nan,0.9,1e999,M") << 0 << "1 0 0 0 0 0 0 n/a|n/a";
    QTest::newRow("VTG") << QByteArray("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48") << 0
                         << "1 0 0 0 0 54.7 34.4 n/a|n/a";
    QTest::newRow("GNVTG of four fields")
        << QByteArray("$GNVTG,16.6,T,034.4\r\n") << 0 << "1 0 0 0 0 16.6 34.4 n/a|n/a";
    QTest::newRow("VTG beyond a float")
        << QByteArray("$GPVTG,1e39,T,,M") << 0 << "0 0 0 0 0 0 0 n/a|n/a";
    // Too few fields (RMC 9, GGA 9, VTG 3), a line of six characters, a
    // sentence not at the start of its line, another sentence.
    QTest::newRow("nothing usable")
        << QByteArray(kRmc.left(48) + "\n" + kGga.left(45) + "\n$GPVTG,054.7,T\n$GPVTG\nxx" + kRmc +
                      "\n$GPGSV,3,1,12,20,76,058,40*7D\r\n")
        << 0 << "0 0 0 0 0 0 0 n/a|n/a";
    // Each field keeps the value of the last sentence that sets it.
    QTest::newRow("last sentence wins")
        << QByteArray("$GPRMC,101010,A,1000.000,N,02000.000,E,0,0,010116,,\r\n"
                      "$GPGGA,101010,1000.000,N,02000.000,E,1,04,0.9,100.0,M,0,M,,*47\r\n"
                      "$GPVTG,10.0,T,11.0,M,0,N,0,K\r\n"
                      "$GPRMC,111111,A,3000.000,S,04000.000,W,0,0,020216,,\r\n"
                      "$GPVTG,20.0,T,21.0,M,0,N,0,K\r\n")
        << 0 << "5 -30 -40 100 4 20 21 02.02.2016|11:11:11";
    QTest::newRow("GGA after RMC")
        << QByteArray(kRmc + "\n$GNGGA,1,1000.000,S,01131.000,E,1,08,0.9,545.4,M\n") << 0
        << "2 -10 11.5166667 545.4 8 0 0 23.03.2094|12:35:19";
    QTest::newRow("text ends at the first zero byte")
        << QByteArray("$GPVTG,1.0,T,2.0,M\n" + QByteArray(1, '\0') + kGga) << 0
        << "1 0 0 0 0 1 2 n/a|n/a";
    // No zero byte and no final line end: read up to the block length only.
    QTest::newRow("block without zero byte")
        << kGga.left(51) << 0 << "1 48.1173 11.5166667 545.4 8 0 0 n/a|n/a";
    QTest::newRow("RMC of 10,000 characters")
        << "$GPRMC," + QByteArray(10000, 'x') << 0 << "0 0 0 0 0 0 0 n/a|n/a";
    // A two-character latitude has no minutes, and "9" is not "N".
    QTest::newRow("GGA of 5,000 fields")
        << "$GPGGA" + QByteArray(",9").repeated(5000) << 0 << "1 -0 0 9 9 0 0 n/a|n/a";
}

void TestNmea::blocks() {
    QFETCH(QByteArray, text);
    QFETCH(int, hourOffset);
    QFETCH(QString, want);
    ExactBlock block(text);
    NmeaFields f; // every block starts from the reset, whatever came before
    f.latitude = f.altitude = 1.5;
    f.satellites = 7;
    f.trackHeading = f.magneticHeading = 2.5f;
    const int taken = nmea::parseBlock(block.get(), block.size, hourOffset, f);
    QCOMPARE(QString::number(taken) + ' ' + show(f), want);
    QCOMPARE(block.contents(), text); // no leading zeros: the block is unchanged
}

void TestNmea::leadingZerosBecomeLineFeeds() {
    // Zero bytes after the text stay zero.
    ExactBlock block(QByteArray(3, '\0') + kRmc + QByteArray(2, '\0'));
    NmeaFields f;
    QCOMPARE(nmea::parseBlock(block.get(), block.size, 12, f), 1);
    QCOMPARE(f.date + f.time, QStringLiteral("24.03.209400:35:19"));
    QCOMPARE(block.contents(), "\n\n\n" + kRmc + QByteArray(2, '\0'));
    ExactBlock zeros(QByteArray(16, '\0'));
    QCOMPARE(nmea::parseBlock(zeros.get(), zeros.size, 0, f), 0);
    QCOMPARE(zeros.contents(), QByteArray(16, '\n'));
}

// Every RMC, GGA and VTG line of eight real receiver logs, parsed alone as a
// block, against the fields listed for it (the others keep the reset values).
void TestNmea::realReceiverLogs() {
    const QString dir = testsupport::sharedTestData(QStringLiteral("nmea"));
    if (dir.isEmpty())
        QSKIP("shared/testdata/nmea is absent: the eight real receiver logs were not parsed");
    QFile expected(dir + QStringLiteral("/expected.json"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    // A JSON number loses the sign of -0.0: keep it as a text.
    const QString json = QString::fromUtf8(expected.readAll())
                             .replace(QRegularExpression(QStringLiteral(": -0\\.0+(?=[\\s,}])")),
                                      QStringLiteral(": \"-0\""));
    const QJsonObject files = QJsonDocument::fromJson(json.toUtf8()).object()["files"].toObject();
    QCOMPARE(files.size(), 8);
    int compared = 0;
    for (auto file = files.begin(); file != files.end(); ++file) {
        QFile log(dir + '/' + file.key());
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(file.key()));
        const QList<QByteArray> lines = log.readAll().split('\n');
        const QJsonObject byLine = file.value().toObject();
        for (auto e = byLine.begin(); e != byLine.end(); ++e, ++compared) {
            const QJsonObject w = e.value().toObject();
            const auto number = [&w](const char* key) {
                return w[key].isString() ? -0.0 : w[key].toDouble();
            };
            NmeaFields want;
            want.latitude = number("latitude");
            want.longitude = number("longitude");
            want.altitude = number("altitude");
            want.satellites = w["satellites"].toInt();
            want.trackHeading = float(number("trackHeading"));
            want.magneticHeading = float(number("magneticHeading"));
            want.date = w["date"].toString(QStringLiteral("n/a"));
            want.time = w["time"].toString(QStringLiteral("n/a"));
            ExactBlock block(lines.value(e.key().toInt() - 1));
            NmeaFields got;
            QVERIFY(nmea::parseBlock(block.get(), block.size, 0, got) <= 1);
            QVERIFY(block.contents().startsWith(w["sentence"].toString().toLatin1()));
            QVERIFY2(show(got, 15) == show(want, 15),
                     qPrintable(file.key() + ':' + e.key() + ' ' + show(got, 15)));
        }
    }
    QCOMPARE(compared, 705);
}

QTEST_GUILESS_MAIN(TestNmea)
#include "tst_nmea.moc"
