#include "recording/FrameHeader.h"

#include <QtTest>
#include <vector>

class TestHeader : public QObject {
    Q_OBJECT
private slots:
    void cameraData_data();
    void cameraData();
};

void TestHeader::cameraData_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<uint>("fpaWord");     // at offset 10, tenths of a degree
    QTest::addColumn<uint>("housingWord"); // at offset 14, hundredths
    QTest::addColumn<QByteArray>("text");  // at offset 24; the serial block starts "$GP"
    QTest::addColumn<double>("fpa");
    QTest::addColumn<double>("housing");
    QTest::addColumn<QByteArray>("partNumber");
    QTest::newRow("v6 typical") << 6 << 314u << 2987u << QByteArray("4640019S R01234\0junk", 20)
                                << 31.4 << 29.87 << QByteArray("4640019S R01234");
    QTest::newRow("v5 largest temperatures")
        << 5 << 65535u << 65535u << QByteArray() << 6553.5 << 655.35 << QByteArray();
    // Without a terminator the part number runs up to the serial block and
    // not into it: 16 characters for version 5, 44 for version 6.
    QTest::newRow("v5 unterminated")
        << 5 << 0u << 0u << QByteArray(16, 'A') << 0.0 << 0.0 << QByteArray(16, 'A');
    QTest::newRow("v6 unterminated")
        << 6 << 0u << 0u << QByteArray(44, 'B') << 0.0 << 0.0 << QByteArray(44, 'B');
    // Version 4 has its serial block at 10: nothing there is a temperature.
    QTest::newRow("v4 has none") << 4 << 314u << 2987u << QByteArray("4640019S") << 0.0 << 0.0
                                 << QByteArray();
}

void TestHeader::cameraData() {
    QFETCH(int, version);
    QFETCH(uint, fpaWord);
    QFETCH(uint, housingWord);
    QFETCH(QByteArray, text);
    FrameHeaderLayout layout;
    QVERIFY(frameheader::layoutForVersion(version, layout));
    std::vector<uint8_t> b(2048, 0);
    std::copy_n("VELM", 4, b.begin());
    b[4] = uint8_t(version);
    std::copy_n("$GP", 3, b.begin() + layout.serialOffset);
    b[10] = uint8_t(fpaWord);
    b[11] = uint8_t(fpaWord >> 8);
    b[14] = uint8_t(housingWord);
    b[15] = uint8_t(housingWord >> 8);
    std::copy(text.begin(), text.end(), b.begin() + 24);
    FrameHeader h;
    QVERIFY(frameheader::parse(version, b.data(), b.size(), h));
    QTEST(h.tempFPACelsius, "fpa");
    QTEST(h.tempHousingCelsius, "housing");
    QTEST(h.partNumber, "partNumber");
}

QTEST_GUILESS_MAIN(TestHeader)
#include "tst_header.moc"
