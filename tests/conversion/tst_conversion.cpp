#include "conversion/AutoRange.h"
#include "recording/DataConverter.h"
#include "support/TestSupport.h"

#include <QtTest>

namespace {
using Values = std::vector<uint16_t>;

// n copies of each value, in order.
Values repeated(std::initializer_list<uint16_t> values, int copies) {
    Values out;
    for (uint16_t v : values)
        for (int i = 0; i < copies; ++i)
            out.push_back(v);
    return out;
}

Values operator+(Values a, const Values& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

QRgb rgb(int r, int g, int b) {
    return qRgb(r, g, b);
}
} // namespace

Q_DECLARE_METATYPE(std::vector<uint16_t>)

class TestConversion : public QObject {
    Q_OBJECT
private slots:
    void histogramWindow_data();
    void histogramWindow();
    void histogramCountersWrap();
    void tailNeverMovesWindow();
    void smoothing_data();
    void smoothing();
    void frameWindow_data();
    void frameWindow();
    void processRefusesEmptyWindow_data();
    void processRefusesEmptyWindow();
    void processConvertsPixels();
    void pixelsBeyondRawAreBlack();
    void processConvertsOtherFormats();
    void changeImageParametersStoresState();
    void autoGenerate();
    void autoGenerateFailsWithoutRepeats();
    void checkImageParameters_data();
    void checkImageParameters();
    void scaleF_data();
    void scaleF();
    void scaleWithMiddle_data();
    void scaleWithMiddle();
    void histogramEquilisation();
};

void TestConversion::histogramWindow_data() {
    QTest::addColumn<Values>("values");
    QTest::addColumn<uint>("lower");
    QTest::addColumn<uint>("upper");
    const Values tail(10, 9000); // the last ten values are never counted

    QTest::newRow("seven values, trimmed 3 at the bottom, 2 at the top")
        << repeated({100, 110, 120, 130, 140, 150, 160}, 2) + tail << 130u << 140u;
    QTest::newRow("spread of 20 is not trimmed")
        << repeated({100, 102, 104, 106, 108, 110, 112, 114, 116, 118, 120}, 2) + tail << 100u
        << 120u;
    QTest::newRow("spread of 21 is trimmed")
        << repeated({100, 102, 104, 106, 108, 110, 112, 114, 116, 118, 121}, 2) + tail << 106u
        << 116u;
    QTest::newRow("four values: not trimmed")
        << repeated({100, 200, 300, 400}, 2) + tail << 100u << 400u;
    QTest::newRow("five values: lower passes upper")
        << repeated({100, 200, 300, 400, 500}, 2) + tail << 400u << 300u;
    QTest::newRow("values seen once are noise")
        << repeated({100, 200}, 2) + Values{5000, 20, 7000} + tail << 100u << 200u;
    QTest::newRow("0 and 16383 never bound the window")
        << repeated({0, 16383}, 5) + repeated({500, 510}, 2) + tail << 500u << 510u;
    QTest::newRow("values above 14 bits are skipped")
        << repeated({20000, 65535}, 4) + repeated({600, 650}, 3) + tail << 600u << 650u;
    QTest::newRow("one repeated value") << repeated({777}, 3) + tail << 777u << 777u;
    QTest::newRow("every value once")
        << Values{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12} << 16383u << 1u;
    QTest::newRow("only 0 and 16383") << repeated({0, 16383}, 10) + tail << 16383u << 1u;
    QTest::newRow("ten values: nothing counted") << repeated({300, 400}, 5) << 16383u << 1u;
    QTest::newRow("eleven values: the first one counted alone")
        << repeated({300}, 2) + Values(9, 400) << 16383u << 1u;
    QTest::newRow("twelve values: two counted")
        << repeated({300}, 2) + Values(10, 400) << 300u << 300u;
    QTest::newRow("empty") << Values{} << 16383u << 1u;
}

void TestConversion::histogramWindow() {
    QFETCH(Values, values);
    QFETCH(uint, lower);
    QFETCH(uint, upper);
    DataConverter converter;
    converter.createHistogram(&values);
    QCOMPARE(converter.getLowerRawValueBound(), lower);
    QCOMPARE(converter.getUpperRawValueBound(), upper);
}

void TestConversion::histogramCountersWrap() {
    // 65,536 copies of 700 wrap its 16-bit counter to 0; 65,537 leave 1.
    Values values = Values(65536, 700) + Values(65537, 900) + repeated({800}, 2) + Values(10, 5);
    DataConverter converter;
    converter.createHistogram(&values);
    QCOMPARE(converter.getHistogram()[700], uint16_t(0));
    QCOMPARE(converter.getHistogram()[900], uint16_t(1));
    QCOMPARE(converter.getHistogram()[800], uint16_t(2));
    QCOMPARE(converter.getHistogram()[5], uint16_t(0));
    QCOMPARE(converter.getLowerRawValueBound(), 800u);
    QCOMPARE(converter.getUpperRawValueBound(), 800u);

    // A second frame starts from cleared counters.
    Values second = repeated({1000, 1010}, 2) + Values(10, 5);
    converter.createHistogram(&second);
    QCOMPARE(converter.getHistogram()[800], uint16_t(0));
    QCOMPARE(converter.getLowerRawValueBound(), 1000u);
    QCOMPARE(converter.getUpperRawValueBound(), 1010u);
}

void TestConversion::tailNeverMovesWindow() {
    const Values body = repeated({2000, 2005, 2010}, 3);
    for (uint16_t tailValue : {uint16_t(1), uint16_t(2001), uint16_t(9999), uint16_t(16382)}) {
        Values values = body + Values(10, tailValue);
        DataConverter converter;
        converter.createHistogram(&values);
        QCOMPARE(converter.getLowerRawValueBound(), 2000u);
        QCOMPARE(converter.getUpperRawValueBound(), 2010u);
    }
}

void TestConversion::smoothing_data() {
    QTest::addColumn<uint>("newBound");
    QTest::addColumn<uint>("oldBound");
    QTest::addColumn<float>("factor");
    QTest::addColumn<uint>("expected");
    QTest::newRow("1003 from 1000 by half truncates to 1001") << 1003u << 1000u << 0.5f << 1001u;
    QTest::newRow("997 from 1000 by half truncates to 998") << 997u << 1000u << 0.5f << 998u;
    QTest::newRow("factor 1 takes the new bound") << 1003u << 1000u << 1.0f << 1003u;
    QTest::newRow("factor 0 keeps the old bound") << 1003u << 1000u << 0.0f << 1000u;
    QTest::newRow("quarter step") << 2000u << 1000u << 0.25f << 1250u;
    QTest::newRow("downward by 0.3") << 1000u << 2000u << 0.3f << 1700u;
    QTest::newRow("overshoot below zero clamps to 0") << 0u << 1u << 2.0f << 0u;
}

void TestConversion::smoothing() {
    QFETCH(uint, newBound);
    QFETCH(uint, oldBound);
    QFETCH(float, factor);
    QFETCH(uint, expected);
    QCOMPARE(autorange::smoothBound(newBound, oldBound, factor), expected);
}

void TestConversion::frameWindow_data() {
    QTest::addColumn<bool>("autoGain");
    QTest::addColumn<bool>("smooth");
    QTest::addColumn<float>("factor");
    QTest::addColumn<bool>("movie");
    QTest::addColumn<uint>("prevLower");
    QTest::addColumn<uint>("prevUpper");
    QTest::addColumn<uint>("lower");
    QTest::addColumn<uint>("upper");
    // Histogram window 1003..2003; manual bounds 111..222.
    QTest::newRow("manual") << false << true << 0.5f << true << 1000u << 2000u << 111u << 222u;
    QTest::newRow("movie, smoothed")
        << true << true << 0.5f << true << 1000u << 2000u << 1001u << 2001u;
    QTest::newRow("movie, factor 0 keeps the window")
        << true << true << 0.0f << true << 1000u << 2000u << 1000u << 2000u;
    QTest::newRow("movie, smoothing off")
        << true << false << 0.5f << true << 1000u << 2000u << 1003u << 2003u;
    QTest::newRow("movie after reset is not smoothed")
        << true << true << 0.5f << true << 16383u << 1u << 1003u << 2003u;
    QTest::newRow("movie after an equal window is not smoothed")
        << true << true << 0.5f << true << 1500u << 1500u << 1003u << 2003u;
    QTest::newRow("single frame never smooths")
        << true << true << 0.5f << false << 1000u << 2000u << 1003u << 2003u;
}

void TestConversion::frameWindow() {
    QFETCH(bool, autoGain);
    QFETCH(bool, smooth);
    QFETCH(float, factor);
    QFETCH(bool, movie);
    QFETCH(uint, prevLower);
    QFETCH(uint, prevUpper);
    QFETCH(uint, lower);
    QFETCH(uint, upper);
    ThermalImageConversionSet set;
    set.lowerBound = 111;
    set.upperBound = 222;
    set.autoGainEnabled = autoGain;
    set.smoothAutoGain = smooth;
    set.percentageChange = factor;
    const autorange::RawWindow w = autorange::frameWindow(
        set, autorange::RawWindow{prevLower, prevUpper}, autorange::RawWindow{1003, 2003}, movie);
    QCOMPARE(w.lower, lower);
    QCOMPARE(w.upper, upper);
}

void TestConversion::processRefusesEmptyWindow_data() {
    QTest::addColumn<uint>("lower");
    QTest::addColumn<uint>("upper");
    QTest::newRow("equal") << 1500u << 1500u;
    QTest::newRow("reversed") << 2000u << 1000u;
    QTest::newRow("reset state") << 16383u << 1u;
}

void TestConversion::processRefusesEmptyWindow() {
    QFETCH(uint, lower);
    QFETCH(uint, upper);
    testsupport::Recorder recorder;
    DataConverter converter;
    converter.setRawFrame(Values(4, 1500), 2, 2);
    QImage image(2, 2, QImage::Format_RGB888);
    image.fill(QColor(10, 20, 30));
    const QImage before = image;
    QVERIFY(!converter.changeImageParameters(lower, upper, 1, false, 0, 0, false, image));
    QCOMPARE(image, before);
    QCOMPARE(image.pixel(1, 1), rgb(10, 20, 30));
    QCOMPARE(recorder.out, QString());
}

void TestConversion::processConvertsPixels() {
    DataConverter converter;
    converter.setRawFrame({1500, 1000, 2000, 0, 1700, 1300}, 3, 2);
    QImage image(3, 2, QImage::Format_RGB888);
    image.fill(Qt::white);
    QVERIFY(converter.changeImageParameters(1000, 2000, 1, false, 0, 0, false, image));
    QCOMPARE(image.format(), QImage::Format_RGB888);
    QCOMPARE(image.pixel(0, 0), rgb(224, 74, 86));
    QCOMPARE(image.pixel(1, 0), rgb(0, 0, 0));
    QCOMPARE(image.pixel(2, 0), rgb(255, 253, 251));
    QCOMPARE(image.pixel(0, 1), rgb(0, 0, 0));
    // 1700: s = 700 * 499 / 1000 = 349, t = floor(49 * 2^20 / 100) = 513802.
    QCOMPARE(image.pixel(1, 1), rgb(246, 154, 16));
    // 1300: s = 149, t = 513802 in the second stretch.
    QCOMPARE(image.pixel(2, 1), rgb(138, 40, 130));

    // Same frame inverted, in grayscale with bi-colour 1400..1600.
    QVERIFY(converter.changeImageParameters(1000, 2000, 0, true, 1400, 1600, true, image));
    QCOMPARE(image.pixel(0, 0), rgb(31, 181, 169));
    QCOMPARE(image.pixel(1, 1), rgb(77, 77, 77));
    QCOMPARE(image.pixel(0, 1), rgb(255, 255, 255));
}

void TestConversion::pixelsBeyondRawAreBlack() {
    DataConverter converter;
    converter.setRawFrame({1500, 1500, 1500, 1500, 1500}, 4, 2);
    QImage image(4, 2, QImage::Format_RGB888);
    image.fill(Qt::white);
    QVERIFY(converter.changeImageParameters(1000, 2000, 1, false, 0, 0, false, image));
    for (int x = 0; x < 4; ++x)
        QCOMPARE(image.pixel(x, 0), rgb(224, 74, 86));
    QCOMPARE(image.pixel(0, 1), rgb(224, 74, 86));
    QCOMPARE(image.pixel(1, 1), rgb(0, 0, 0));
    QCOMPARE(image.pixel(2, 1), rgb(0, 0, 0));
    QCOMPARE(image.pixel(3, 1), rgb(0, 0, 0));

    // An empty raw buffer gives an all-black image, not a failure.
    converter.setRawFrame({}, 4, 2);
    image.fill(Qt::white);
    QVERIFY(converter.changeImageParameters(1000, 2000, 1, false, 0, 0, false, image));
    QCOMPARE(image.pixel(0, 0), rgb(0, 0, 0));
    QCOMPARE(image.pixel(3, 1), rgb(0, 0, 0));
}

void TestConversion::processConvertsOtherFormats() {
    DataConverter converter;
    converter.setRawFrame({1500, 2000}, 2, 1);
    QImage image(2, 1, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QVERIFY(converter.changeImageParameters(1000, 2000, 1, false, 0, 0, false, image));
    QCOMPARE(image.format(), QImage::Format_RGB888);
    QCOMPARE(image.size(), QSize(2, 1));
    QCOMPARE(image.pixel(0, 0), rgb(224, 74, 86));
    QCOMPARE(image.pixel(1, 0), rgb(255, 253, 251));

    QImage null;
    QVERIFY(converter.changeImageParameters(1000, 2000, 1, false, 0, 0, false, null));
    QVERIFY(null.isNull());
}

void TestConversion::changeImageParametersStoresState() {
    DataConverter converter;
    converter.setRawFrame(Values(100, 1200), 10, 10);
    QImage image(10, 10, QImage::Format_RGB888);
    QVERIFY(converter.changeImageParameters(1100, 1900, 2, true, 1300, 1400, true, image));
    QCOMPARE(converter.getLowerRawValueBound(), 1100u);
    QCOMPARE(converter.getUpperRawValueBound(), 1900u);
    QCOMPARE(converter.getColorMode(), 2u);
    QCOMPARE(converter.getBiColorEnabled(), true);
    QCOMPARE(converter.getLowerBiColorRawValueBound(), 1300u);
    QCOMPARE(converter.getUpperBiColorRawValueBound(), 1400u);
    QCOMPARE(converter.getInverted(), true);
    // Even a refused conversion keeps the stored values.
    QVERIFY(!converter.changeImageParameters(500, 500, 3, false, 1, 2, false, image));
    QCOMPARE(converter.getLowerRawValueBound(), 500u);
    QCOMPARE(converter.getColorMode(), 3u);
    QCOMPARE(converter.getBiColorEnabled(), false);
}

void TestConversion::autoGenerate() {
    DataConverter converter;
    // 12 x 2 frame: 100 .. 160 twice each (14 values), then the ten values of the tail.
    Values values = repeated({100, 110, 120, 130, 140, 150, 160}, 2) + Values(10, 9000);
    converter.setRawFrame(values, 12, 2);
    QImage image(12, 2, QImage::Format_RGB888);
    int lower = 0, upper = 0;
    QVERIFY(converter.autoGenerateImageParameters(image, lower, upper));
    QCOMPARE(lower, 130);
    QCOMPARE(upper, 140);
    // Grayscale (mode 0 after construction) over 130..140.
    QCOMPARE(image.pixel(0, 0), rgb(0, 0, 0));        // 100
    QCOMPARE(image.pixel(7, 0), rgb(0, 0, 0));        // 130
    QCOMPARE(image.pixel(9, 0), rgb(255, 255, 255));  // 140
    QCOMPARE(image.pixel(11, 1), rgb(255, 255, 255)); // 9000
}

void TestConversion::autoGenerateFailsWithoutRepeats() {
    DataConverter converter;
    Values values;
    for (uint16_t v = 1; v <= 100; ++v)
        values.push_back(v);
    converter.setRawFrame(values, 10, 10);
    QImage image(10, 10, QImage::Format_RGB888);
    image.fill(QColor(1, 2, 3));
    int lower = 0, upper = 0;
    QVERIFY(!converter.autoGenerateImageParameters(image, lower, upper));
    QCOMPARE(lower, 16383);
    QCOMPARE(upper, 1);
    QCOMPARE(image.pixel(5, 5), rgb(1, 2, 3));
}

void TestConversion::checkImageParameters_data() {
    QTest::addColumn<uint>("width");
    QTest::addColumn<uint>("height");
    QTest::addColumn<bool>("ok");
    QTest::newRow("10 x 10") << 10u << 10u << true;
    QTest::newRow("9 x 10") << 9u << 10u << false;
    QTest::newRow("10 x 9") << 10u << 9u << false;
    QTest::newRow("640 x 512") << 640u << 512u << true;
    QTest::newRow("0 x 0") << 0u << 0u << false;
}

void TestConversion::checkImageParameters() {
    QFETCH(uint, width);
    QFETCH(uint, height);
    QFETCH(bool, ok);
    DataConverter converter;
    converter.setRawFrame({}, width, height);
    QCOMPARE(converter.checkImageParameters(), ok);
}

void TestConversion::scaleF_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<float>("inLow");
    QTest::addColumn<float>("inHigh");
    QTest::addColumn<float>("outLow");
    QTest::addColumn<float>("outHigh");
    QTest::addColumn<float>("expected");
    QTest::newRow("middle") << 5.0f << 0.0f << 10.0f << 0.0f << 100.0f << 50.0f;
    QTest::newRow("quarter") << 30.0f << 20.0f << 60.0f << 100.0f << 200.0f << 125.0f;
    QTest::newRow("zero value") << 0.0f << -10.0f << 10.0f << 0.0f << 100.0f << 0.0f;
    QTest::newRow("negative value") << -1.0f << -10.0f << 10.0f << 0.0f << 100.0f << 0.0f;
    QTest::newRow("empty input range") << 5.0f << 3.0f << 3.0f << 0.0f << 100.0f << 0.0f;
    QTest::newRow("below input") << 2.0f << 3.0f << 10.0f << 7.0f << 100.0f << 7.0f;
    QTest::newRow("above input") << 12.0f << 3.0f << 10.0f << 7.0f << 100.0f << 100.0f;
    QTest::newRow("result at zero clamps to 0")
        << 5.0f << 0.0f << 10.0f << -100.0f << 100.0f << 0.0f;
    QTest::newRow("signed output") << 7.0f << 0.0f << 10.0f << -100.0f << 100.0f << 40.0f;
}

void TestConversion::scaleF() {
    QFETCH(float, value);
    QFETCH(float, inLow);
    QFETCH(float, inHigh);
    QFETCH(float, outLow);
    QFETCH(float, outHigh);
    QFETCH(float, expected);
    DataConverter converter;
    QCOMPARE(converter.scaleF(value, inLow, inHigh, outLow, outHigh), expected);
}

void TestConversion::scaleWithMiddle_data() {
    QTest::addColumn<uint>("value");
    QTest::addColumn<uint>("low");
    QTest::addColumn<uint>("high");
    QTest::addColumn<uint>("expected");
    QTest::addColumn<QString>("console");
    // Middle 200, output 0..255: the lower half runs 0..128, the upper 127..255.
    QTest::newRow("lower half") << 150u << 100u << 300u << 64u << QString();
    QTest::newRow("middle") << 200u << 100u << 300u << 128u << QString();
    QTest::newRow("upper half") << 250u << 100u << 300u << 191u << QString();
    QTest::newRow("just below high") << 299u << 100u << 300u << 253u << QString();
    QTest::newRow("zero") << 0u << 100u << 300u << 0u << QString();
    QTest::newRow("at low returns low") << 100u << 100u << 300u << 100u << QString();
    QTest::newRow("above high returns high") << 400u << 100u << 300u << 300u << QString();
    QTest::newRow("equal bounds") << 150u << 100u << 100u << 0u
                                  << QStringLiteral("Boundaries equal: 100, 100\n");
}

void TestConversion::scaleWithMiddle() {
    QFETCH(uint, value);
    QFETCH(uint, low);
    QFETCH(uint, high);
    QFETCH(uint, expected);
    QFETCH(QString, console);
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.scaleWithMiddle(value, low, high, 200, 0, 255), expected);
    QCOMPARE(recorder.out, console);
}

void TestConversion::histogramEquilisation() {
    DataConverter converter;
    // Counts: 0 twice, 100 and 255 once; k = 255 / 4 = 63.75.
    unsigned char in[4] = {0, 100, 0, 255};
    unsigned char out[4] = {9, 9, 9, 9};
    QCOMPARE(converter.histogramEquilisation(in, out, 2, 2), 4u);
    QCOMPARE(int(out[0]), 127);
    QCOMPARE(int(out[1]), 191);
    QCOMPARE(int(out[2]), 127);
    QCOMPARE(int(out[3]), 255);

    unsigned char untouched[1] = {42};
    QCOMPARE(converter.histogramEquilisation(in, untouched, 0, 7), 0u);
    QCOMPARE(int(untouched[0]), 42);
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
