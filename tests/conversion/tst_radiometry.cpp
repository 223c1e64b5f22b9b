#include "recording/DataConverter.h"
#include "support/TestSupport.h"

#include <QtTest>

class TestRadiometry : public QObject {
    Q_OBJECT
private slots:
    void pixelAccess_data();
    void pixelAccess();
    void emptyFrame();
    void tlinear_data();
    void tlinear();
    void planck_data();
    void planck();
    void partNumbers_data();
    void partNumbers();
};

namespace {
// 4 x 3 frame holding index + 1 at each pixel, plus two radiometric values.
DataConverter* makeConverter(QObject* parent) {
    auto* converter = new DataConverter(parent);
    std::vector<uint16_t> values(12);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = uint16_t(i + 1);
    values[5] = 7500;   // (1, 1)
    values[10] = 10000; // (2, 2)
    converter->setRawFrame(values, 4, 3);
    return converter;
}
} // namespace

void TestRadiometry::pixelAccess_data() {
    QTest::addColumn<uint>("x");
    QTest::addColumn<uint>("y");
    QTest::addColumn<bool>("within");
    QTest::addColumn<uint>("raw");
    QTest::newRow("top left") << 0u << 0u << true << 1u;
    QTest::newRow("bottom right") << 3u << 2u << true << 12u;
    QTest::newRow("(2, 1)") << 2u << 1u << true << 7u;
    QTest::newRow("(1, 1)") << 1u << 1u << true << 7500u;
    QTest::newRow("row below the frame") << 0u << 3u << false << 0u;
    QTest::newRow("far outside") << 1000u << 1000u << false << 0u;
    QTest::newRow("largest x") << 0xFFFFFFFFu << 0u << false << 0u;
    QTest::newRow("largest y") << 0u << 0xFFFFFFFFu << false << 0u;
}

void TestRadiometry::pixelAccess() {
    QFETCH(uint, x);
    QFETCH(uint, y);
    QFETCH(bool, within);
    QFETCH(uint, raw);
    QObject owner;
    DataConverter* converter = makeConverter(&owner);
    QCOMPARE(converter->isPixelWithinData(x, y), within);
    QCOMPARE(converter->getRawForPixel(x, y), raw);
}

void TestRadiometry::emptyFrame() {
    DataConverter converter;
    QVERIFY(!converter.isPixelWithinData(0, 0));
    QCOMPARE(converter.getRawForPixel(0, 0), 0u);
    QCOMPARE(converter.getTemperatureForPixel(0, 0, 0.04f), double(-273.15f));
}

void TestRadiometry::tlinear_data() {
    QTest::addColumn<uint>("x");
    QTest::addColumn<uint>("y");
    QTest::addColumn<float>("resolution");
    QTest::addColumn<double>("celsius");
    // float(v) * resolution in single precision, minus 273.15, narrowed to float.
    QTest::newRow("7500 high gain") << 1u << 1u << 0.04f << double(26.85f);
    QTest::newRow("7500 low gain") << 1u << 1u << 0.4f << double(2726.85f);
    QTest::newRow("7500 no radiometry") << 1u << 1u << 4.0f << double(29726.85f);
    QTest::newRow("10000 high gain") << 2u << 2u << 0.04f << double(126.85f);
    QTest::newRow("raw 1 high gain") << 0u << 0u << 0.04f << double(-273.11f);
    QTest::newRow("outside reads as raw 0") << 9u << 9u << 0.04f << double(-273.15f);
}

void TestRadiometry::tlinear() {
    QFETCH(uint, x);
    QFETCH(uint, y);
    QFETCH(float, resolution);
    QFETCH(double, celsius);
    QObject owner;
    DataConverter* converter = makeConverter(&owner);
    QCOMPARE(converter->getTemperatureForPixel(x, y, resolution), celsius);
}

void TestRadiometry::planck_data() {
    QTest::addColumn<uint>("x");
    QTest::addColumn<uint>("y");
    QTest::addColumn<double>("celsius");
    // Defaults B 1600, O -5030, R1 16030, R2 0.0953:
    // 7500: 1600 / ln(16030 / (2470 * 0.0953) + 1) - 273.15 = 104.60523
    QTest::newRow("7500") << 1u << 1u << 104.60523;
    // 10000: 1600 / ln(16030 / (4970 * 0.0953) + 1) - 273.15 = 177.44169
    QTest::newRow("10000") << 2u << 2u << 177.44169;
}

void TestRadiometry::planck() {
    QFETCH(uint, x);
    QFETCH(uint, y);
    QFETCH(double, celsius);
    QObject owner;
    DataConverter* converter = makeConverter(&owner);
    const double t = converter->getTemperatureForPixel(x, y, 1600.0f, -5030.0f, 16030.0f, 0.0953f);
    if (qAbs(t - celsius) > 1e-4)
        QFAIL(qPrintable(QStringLiteral("%1 instead of %2").arg(t, 0, 'f', 6).arg(celsius)));
    // A pixel outside the frame is computed from raw 0, never read past the buffer.
    const double outside =
        converter->getTemperatureForPixel(100, 100, 1600.0f, -5030.0f, 16030.0f, 0.0953f);
    QVERIFY(qIsNaN(outside));
}

void TestRadiometry::partNumbers_data() {
    QTest::addColumn<QString>("part");
    QTest::addColumn<bool>("tau2");
    QTest::addColumn<int>("focal");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    const float unchanged = -1.0f;
    QTest::newRow("15 characters, 640, 19 mm")
        << QStringLiteral("4664001900SR000") << true << 19 << 10.88f << 8.704f;
    QTest::newRow("14 characters, 336, \"025\"")
        << QStringLiteral("4833602500SR00") << true << 25 << 5.712f << 4.352f;
    QTest::newRow("16 characters, 324, 13 mm")
        << QStringLiteral("4632401300SR0000") << true << 13 << 8.1f << 6.4f;
    QTest::newRow("sensor code 160 has no size")
        << QStringLiteral("4616000900SR000") << true << 9 << unchanged << unchanged;
    QTest::newRow("not a Tau 2") << QStringLiteral("4764001900SR000") << false << 1 << unchanged
                                 << unchanged;
    QTest::newRow("focal length not a number")
        << QStringLiteral("46640x1900SR000") << true << 0 << 10.88f << 8.704f;
    QTest::newRow("empty") << QString() << false << 1 << unchanged << unchanged;
    QTest::newRow("3 characters") << QStringLiteral("466") << true << 0 << unchanged << unchanged;
    QTest::newRow("7 characters: focal length cut short")
        << QStringLiteral("4664001") << true << 0 << 10.88f << 8.704f;
    QTest::newRow("300 characters") << QStringLiteral("46640019") + QString(292, QLatin1Char('Z'))
                                    << true << 19 << 10.88f << 8.704f;
    QTest::newRow("non-ASCII sensor code") << QString::fromUtf8("46\xc3\xbc"
                                                                "4001900SR000")
                                           << true << 19 << unchanged << unchanged;
    QTest::newRow("non-ASCII prefix") << QString::fromUtf8("\xe2\x82\xac"
                                                           "6640019")
                                      << false << 1 << unchanged << unchanged;
}

void TestRadiometry::partNumbers() {
    QFETCH(QString, part);
    QFETCH(bool, tau2);
    QFETCH(int, focal);
    QFETCH(float, width);
    QFETCH(float, height);
    QCOMPARE(DataConverter::isTau2(part), tau2);
    QCOMPARE(DataConverter::focalLengthFromPartNumber(part), focal);
    float w = -1.0f;
    float h = -1.0f;
    DataConverter::sensorSizeMMFromPartNumber(part, w, h);
    QCOMPARE(w, width);
    QCOMPARE(h, height);
}

QTEST_GUILESS_MAIN(TestRadiometry)
#include "tst_radiometry.moc"
