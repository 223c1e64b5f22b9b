#include "recording/FrameHeader.h"

#include <QtTest>
#include <vector>

namespace {

// "VELM", the version byte, zeros up to size.
std::vector<uint8_t> header(int version, size_t size) {
    std::vector<uint8_t> b(std::max(size, size_t(5)), 0);
    const QByteArray start = QByteArray("VELM") + char(version);
    std::copy(start.begin(), start.end(), b.begin());
    b.resize(size);
    return b;
}

} // namespace

class TestHeader : public QObject {
    Q_OBJECT
private slots:
    void layouts_data();
    void layouts();
    void cameraData_data();
    void cameraData();
};

void TestHeader::layouts_data() {
    QTest::addColumn<int>("version");
    // Bytes read, header length H, serial block offset and length, camera
    // data; empty for a version that is refused.
    QTest::addColumn<QString>("layout");
    QTest::newRow("0") << 0 << "35 23 0 0 0";
    QTest::newRow("1") << 1 << "8200 8200 6 8192 0";
    QTest::newRow("2") << 2 << "8204 8204 10 8192 0";
    QTest::newRow("3") << 3 << "";
    QTest::newRow("4") << 4 << "2048 2048 10 2036 0";
    QTest::newRow("5") << 5 << "2048 2048 40 2006 1";
    QTest::newRow("6") << 6 << "2048 2048 68 1978 1";
    QTest::newRow("7") << 7 << "";
    QTest::newRow("255") << 255 << "";
    QTest::newRow("-1") << -1 << "";
}

void TestHeader::layouts() {
    QFETCH(int, version);
    QFETCH(QString, layout);
    FrameHeaderLayout l;
    QCOMPARE(frameheader::layoutForVersion(version, l), !layout.isEmpty());
    const uint size = layout.isEmpty() ? 8204 : layout.section(' ', 0, 0).toUInt();
    // Exactly the bytes the version needs: parsed; one byte fewer: refused.
    const std::vector<uint8_t> exact = header(version, size);
    FrameHeader h;
    QCOMPARE(frameheader::parse(version, exact.data(), exact.size(), h), !layout.isEmpty());
    if (!layout.isEmpty())
        QCOMPARE(QString::asprintf("%u %u %u %u %d", h.layout.bytesToRead, h.layout.headerLength,
                                   h.layout.serialOffset, h.layout.serialLength,
                                   h.layout.hasCameraData),
                 layout);
    FrameHeader untouched;
    untouched.partNumber = "keep";
    QVERIFY(!frameheader::parse(version, exact.data(), size - 1, untouched));
    QVERIFY(!frameheader::parse(version, nullptr, 0, untouched));
    QCOMPARE(untouched.partNumber, QByteArray("keep"));
}

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
    std::vector<uint8_t> b = header(version, 2048);
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
