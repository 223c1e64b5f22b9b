#include "recording/FrameHeader.h"

#include <QtTest>
#include <vector>

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

// "VELM", the version byte, zeros up to size.
Bytes header(int version, size_t size) {
    Bytes b(size, 0);
    const char sig[] = "VELM";
    for (size_t k = 0; k < 4 && k < size; ++k)
        b[k] = uint8_t(sig[k]);
    if (size > 4)
        b[4] = uint8_t(version);
    return b;
}

void put(Bytes& b, size_t offset, const QByteArray& bytes) {
    for (int k = 0; k < bytes.size(); ++k)
        b.at(offset + size_t(k)) = uint8_t(bytes[k]);
}

} // namespace

class TestHeader : public QObject {
    Q_OBJECT
private slots:
    void layouts_data();
    void layouts();
    void cameraData_data();
    void cameraData();
    void refusals_data();
    void refusals();
};

void TestHeader::layouts_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<uint>("bytesToRead");
    QTest::addColumn<uint>("headerLength");
    QTest::addColumn<uint>("serialOffset");
    QTest::addColumn<uint>("serialLength");
    QTest::addColumn<bool>("cameraData");
    QTest::newRow("0") << 0 << 35u << 23u << 0u << 0u << false;
    QTest::newRow("1") << 1 << 8200u << 8200u << 6u << 8192u << false;
    QTest::newRow("2") << 2 << 8204u << 8204u << 10u << 8192u << false;
    QTest::newRow("4") << 4 << 2048u << 2048u << 10u << 2036u << false;
    QTest::newRow("5") << 5 << 2048u << 2048u << 40u << 2006u << true;
    QTest::newRow("6") << 6 << 2048u << 2048u << 68u << 1978u << true;
}

void TestHeader::layouts() {
    QFETCH(int, version);
    QFETCH(uint, bytesToRead);
    QFETCH(uint, headerLength);
    QFETCH(uint, serialOffset);
    QFETCH(uint, serialLength);
    QFETCH(bool, cameraData);
    // Exactly the bytes the version needs: parsed; one byte fewer: refused.
    const Bytes exact = header(version, bytesToRead);
    FrameHeader h;
    QVERIFY(frameheader::parse(version, exact.data(), exact.size(), h));
    QCOMPARE(h.layout.version, version);
    QCOMPARE(h.layout.bytesToRead, bytesToRead);
    QCOMPARE(h.layout.headerLength, headerLength);
    QCOMPARE(h.layout.serialOffset, serialOffset);
    QCOMPARE(h.layout.serialLength, serialLength);
    QCOMPARE(h.layout.hasCameraData, cameraData);
    QCOMPARE(h.partNumber, QByteArray());
    QCOMPARE(h.tempFPACelsius, 0.0);

    const Bytes shortBy1 = header(version, bytesToRead - 1);
    FrameHeader untouched;
    untouched.partNumber = "keep";
    QVERIFY(!frameheader::parse(version, shortBy1.data(), shortBy1.size(), untouched));
    QCOMPARE(untouched.partNumber, QByteArray("keep"));
}

void TestHeader::cameraData_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<double>("fpa");
    QTest::addColumn<double>("housing");
    QTest::addColumn<QByteArray>("partNumber");

    for (int version : {5, 6}) {
        // 314 tenths = 31.4, 2987 hundredths = 29.87.
        Bytes b = header(version, 2048);
        put(b, 10, QByteArray::fromHex("3a01"));
        put(b, 14, QByteArray::fromHex("ab0b"));
        put(b, 24, QByteArray("4640019S R01234", 16));
        put(b, 45, "junk after the terminator");
        QTest::addRow("v%d typical", version)
            << version << b << 31.4 << 29.87 << QByteArray("4640019S R01234");

        Bytes top = header(version, 2048);
        put(top, 10, QByteArray::fromHex("ffff"));
        put(top, 14, QByteArray::fromHex("ffff"));
        QTest::addRow("v%d largest temperatures", version)
            << version << top << 6553.5 << 655.35 << QByteArray();
    }
    // Without a terminator the part number runs up to the serial block and
    // not into it: 16 characters for version 5, 44 for version 6.
    Bytes v5 = header(5, 2048);
    put(v5, 24, QByteArray(16, 'A'));
    put(v5, 40, "$GPRMC");
    QTest::newRow("v5 unterminated") << 5 << v5 << 0.0 << 0.0 << QByteArray(16, 'A');
    Bytes v6 = header(6, 2048);
    put(v6, 24, QByteArray(44, 'B'));
    put(v6, 68, "$GPRMC");
    QTest::newRow("v6 unterminated") << 6 << v6 << 0.0 << 0.0 << QByteArray(44, 'B');
    // Version 4 has a serial block at 10: nothing there is a temperature.
    Bytes v4 = header(4, 2048);
    put(v4, 10, QByteArray::fromHex("3a01"));
    put(v4, 24, "4640019S");
    QTest::newRow("v4 has none") << 4 << v4 << 0.0 << 0.0 << QByteArray();
}

void TestHeader::cameraData() {
    QFETCH(int, version);
    QFETCH(Bytes, bytes);
    QFETCH(double, fpa);
    QFETCH(double, housing);
    QFETCH(QByteArray, partNumber);
    FrameHeader h;
    QVERIFY(frameheader::parse(version, bytes.data(), bytes.size(), h));
    QCOMPARE(h.tempFPACelsius, fpa);
    QCOMPARE(h.tempHousingCelsius, housing);
    QCOMPARE(h.partNumber, partNumber);
}

void TestHeader::refusals_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("size");
    QTest::newRow("version 3") << 3 << 8204;
    QTest::newRow("version 7") << 7 << 8204;
    QTest::newRow("version 255") << 255 << 8204;
    QTest::newRow("version -1") << -1 << 8204;
    QTest::newRow("version 0, 34 of 35 bytes") << 0 << 34;
    QTest::newRow("version 0, the 23-byte header alone") << 0 << 23;
    QTest::newRow("version 2, 8200 bytes") << 2 << 8200;
    QTest::newRow("version 6, 5 bytes") << 6 << 5;
    QTest::newRow("version 6, no bytes") << 6 << 0;
}

void TestHeader::refusals() {
    QFETCH(int, version);
    QFETCH(int, size);
    const Bytes b = header(version, size_t(size));
    FrameHeader h;
    QVERIFY(!frameheader::parse(version, b.empty() ? nullptr : b.data(), b.size(), h));
    FrameHeaderLayout layout;
    QCOMPARE(frameheader::layoutForVersion(version, layout),
             version >= 0 && version <= 6 && version != 3);
}

QTEST_GUILESS_MAIN(TestHeader)
#include "tst_header.moc"
