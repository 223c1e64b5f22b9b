#include "telemetry/SerialDump.h"

#include <QtTest>

class TestSerialDump : public QObject {
    Q_OBJECT
private slots:
    void isText_data();
    void isText();
    void dumpsEveryByteUpToTheLastNonZeroOne();
    void textBlockStopsAtItsFirstZero();
};

void TestSerialDump::isText_data() {
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("text");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("all zero") << QByteArray(64, '\0') << true;
    QTest::newRow("nmea padded") << QByteArray("$GPGGA,1*00\r\n\tx\0\0\0", 19) << true;
    QTest::newRow("zero inside") << QByteArray("$GP\0GGA", 7) << false;
    QTest::newRow("leading zeros") << QByteArray("\0\0$GPGGA", 8) << false;
    QTest::newRow("mavlink start") << QByteArray("\xfe\x09", 2) << false;
    QTest::newRow("delete") << QByteArray("ab\x7f", 3) << false;
}

void TestSerialDump::isText() {
    QFETCH(QByteArray, block);
    QTEST(serialdump::isText(block.constData(), size_t(block.size())), "text");
}

void TestSerialDump::dumpsEveryByteUpToTheLastNonZeroOne() {
    // A MAVLink heartbeat's start, text, then padding to 64 bytes.
    QByteArray block("\xfe\x09\x00\x01\x01\x00"
                     "ABC~\x7f\x1f"
                     "0123456",
                     19);
    block += QByteArray(64 - block.size(), '\0');
    QCOMPARE(serialdump::hexDump(block.constData(), size_t(block.size())),
             QStringLiteral("00000000  fe 09 00 01 01 00 41 42  43 7e 7f 1f 30 31 32 33  "
                            "|......ABC~..0123|\n"
                            "00000010  34 35 36                                          "
                            "|456|\n"
                            "(45 zero bytes follow)\n"));
    QCOMPARE(serialdump::displayText(block.constData(), size_t(block.size())),
             serialdump::hexDump(block.constData(), size_t(block.size())));
    // Only the length given is read.
    QCOMPARE(serialdump::hexDump(block.constData(), 2),
             QStringLiteral("00000000  fe 09                                             |..|\n"));
}

void TestSerialDump::textBlockStopsAtItsFirstZero() {
    const QByteArray block("$GPRMC,1\r\n\0\0\0", 13);
    QCOMPARE(serialdump::displayText(block.constData(), size_t(block.size())),
             QStringLiteral("$GPRMC,1\r\n"));
}

QTEST_GUILESS_MAIN(TestSerialDump)
#include "tst_serialdump.moc"
