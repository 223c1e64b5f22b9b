#include "base/PartNumber.h"
#include "conversion/AutoRange.h"
#include "conversion/RGBCalculations.h"
#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QtTest>
#include <numeric>

namespace {
using Values = std::vector<uint16_t>;

// n copies of each value, in order.
Values copies(std::initializer_list<uint16_t> values, int n = 2) {
    Values out;
    for (uint16_t v : values)
        out.insert(out.end(), size_t(n), v);
    return out;
}

Values operator+(Values a, const Values& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A 160 x 128 frame holding first + i mod count at pixel i: every value occurs
// at least twice, so its window is first + 3 .. first + count - 3.
Values cycle(uint16_t first, uint16_t count) {
    Values raw(160 * 128);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = uint16_t(first + i % count);
    return raw;
}

// The window chosen for one frame from the previous window and the histogram's.
struct Step {
    bool smooth;
    float factor;
    bool movie;
    uint32_t prevLower, prevUpper, lower, upper;
};
} // namespace

Q_DECLARE_METATYPE(Values)
Q_DECLARE_METATYPE(Step)

class TestConversion : public QObject {
    Q_OBJECT
private slots:
    // The last ten values are never counted; values seen once are noise.
    void histogramWindow_data() {
        QTest::addColumn<Values>("values");
        QTest::addColumn<QString>("window");
        const Values t(10, 9000);
        // Three qualifying values are dropped at the bottom, two at the top.
        QTest::newRow("7 values") << copies({100, 110, 120, 130, 140, 150, 160}) + t << "130..140";
        QTest::newRow("spread 20") << copies({100, 104, 108, 112, 116, 120}) + t << "100..120";
        QTest::newRow("spread 21") << copies({100, 104, 108, 112, 116, 121}) + t << "112..112";
        QTest::newRow("4 values") << copies({100, 200, 300, 400}) + t << "100..400";
        QTest::newRow("5 values") << copies({100, 200, 300, 400, 500}) + t << "400..300";
        QTest::newRow("noise") << copies({100, 200}) + Values{5000, 20, 7000} + t << "100..200";
        QTest::newRow("0, 16383") << copies({0, 16383}, 5) + copies({500, 510}) + t << "500..510";
        QTest::newRow("> 14 bits") << copies({20000, 65535}) + copies({600, 650}) + t << "600..650";
        QTest::newRow("11 values: one counted") << copies({300}) + Values(9, 400) << "16383..1";
        QTest::newRow("empty") << Values{} << "16383..1";
        // 16-bit counters: 65,536 copies of 700 wrap to 0, 65,537 of 900 leave 1.
        QTest::newRow("wrapping counters")
            << Values(65536, 700) + Values(65537, 900) + copies({800}) + t << "800..800";
    }
    void histogramWindow() {
        QFETCH(Values, values);
        DataConverter converter;
        Values before = copies({50, 60, 70}, 3) + Values(10, 1); // counters start cleared
        converter.createHistogram(&before);
        converter.createHistogram(&values);
        QTEST(QString::asprintf("%u..%u", converter.getLowerRawValueBound(),
                                converter.getUpperRawValueBound()),
              "window");
    }

    // Automatic gain; the histogram gives 1003..1997.
    // (The first frame after the reset state is in movieFrameStep.)
    void frameWindow_data() {
        QTest::addColumn<Step>("s");
        // 1000 + 3 x 0.5 and 2000 - 3 x 0.5, truncated toward zero.
        QTest::newRow("smoothed") << Step{true, 0.5f, true, 1000, 2000, 1001, 1998};
        QTest::newRow("factor 0") << Step{true, 0.0f, true, 1000, 2000, 1000, 2000};
        QTest::newRow("smoothing off") << Step{false, 0.5f, true, 1000, 2000, 1003, 1997};
        QTest::newRow("after 1500..1500") << Step{true, 0.5f, true, 1500, 1500, 1003, 1997};
        QTest::newRow("single frame") << Step{true, 0.5f, false, 1000, 2000, 1003, 1997};
    }
    void frameWindow() {
        QFETCH(Step, s);
        const ThermalImageConversionSet set{0, 0, 0, false, 0, 0, false, true, s.factor, s.smooth};
        const autorange::RawWindow w =
            autorange::frameWindow(set, {s.prevLower, s.prevUpper}, {1003, 1997}, s.movie);
        QCOMPARE((QList<uint>{w.lower, w.upper}), (QList<uint>{s.lower, s.upper}));
    }

    // The frame conversion looks colours up in a table built per style; every
    // 16-bit raw word must get the colour of the per-pixel rule, also right
    // after a conversion in another style.
    void conversionFollowsRule_data() {
        QTest::addColumn<QList<uint>>("s"); // mode, inverted, lower, upper, bi, biLow, biHigh
        QTest::newRow("mode 4") << QList<uint>{4, 0, 3000, 9000, 0, 0, 0};
        QTest::newRow("bi-colour inverted") << QList<uint>{1, 1, 3000, 9000, 1, 5000, 6000};
        QTest::newRow("arctic 1..2") << QList<uint>{2, 0, 1, 2, 0, 0, 0};
        QTest::newRow("rainbow to 16383") << QList<uint>{3, 1, 16000, 16383, 0, 0, 0};
        QTest::newRow("beyond 14 bits") << QList<uint>{1, 0, 100, 20000, 0, 0, 0};
    }
    void conversionFollowsRule() {
        QFETCH(QList<uint>, s);
        Values raw(65536);
        std::iota(raw.begin(), raw.end(), uint16_t(0));
        DataConverter converter;
        converter.setRawFrame(raw, 256, 256);
        QImage image(256, 256, QImage::Format_RGB888);
        QVERIFY(converter.changeImageParameters(10, 60, 2, false, 0, 0, false, image));
        QVERIFY(converter.changeImageParameters(s[2], s[3], s[0], s[4], s[5], s[6], s[1], image));
        for (uint v = 0; v < 65536; ++v) {
            unsigned r = 0, g = 0, b = 0;
            RGBCalculations().generateRGB(v, s[0], s[1], s[2], s[3], s[4], s[5], s[6], 0, 255, r, g,
                                          b, false);
            if (image.pixel(int(v % 256), int(v / 256)) != qRgb(int(r), int(g), int(b)))
                QFAIL(qPrintable(QStringLiteral("raw %1 differs from the rule").arg(v)));
        }
    }

    void processRawData() {
        testsupport::Recorder recorder;
        DataConverter converter;
        converter.setRawFrame({1500, 1500, 1500}, 2, 2);
        QImage image(2, 2, QImage::Format_RGB888);
        image.fill(QColor(10, 20, 30));
        // An empty or reversed window leaves the image untouched but is stored.
        QVERIFY(!converter.changeImageParameters(1500, 1500, 1, false, 0, 0, false, image));
        QVERIFY(!converter.changeImageParameters(2000, 1000, 3, true, 7, 8, true, image));
        QCOMPARE(image.pixel(1, 1), qRgb(10, 20, 30));
        QCOMPARE(QString::asprintf(
                     "%u..%u mode %u bi %d %u..%u inverted %d", converter.getLowerRawValueBound(),
                     converter.getUpperRawValueBound(), converter.getColorMode(),
                     converter.getBiColorEnabled(), converter.getLowerBiColorRawValueBound(),
                     converter.getUpperBiColorRawValueBound(), converter.getInverted()),
                 QStringLiteral("2000..1000 mode 3 bi 1 7..8 inverted 1"));
        QVERIFY(converter.changeImageParameters(1000, 2000, 1, false, 0, 0, false, image));
        QCOMPARE(image.pixel(0, 1), qRgb(224, 74, 86));
        QCOMPARE(image.pixel(1, 1), qRgb(0, 0, 0)); // no raw value left for it
        QCOMPARE(recorder.out, QString());
        QImage null;
        QVERIFY(converter.changeImageParameters(1000, 2000, 1, false, 0, 0, false, null));
        for (QSize size : {QSize(9, 10), QSize(10, 9), QSize(10, 10)}) {
            converter.setRawFrame({}, uint32_t(size.width()), uint32_t(size.height()));
            QCOMPARE(converter.checkImageParameters(), size == QSize(10, 10));
        }
    }

    void autoGenerate() {
        DataConverter converter;
        converter.setRawFrame(copies({100, 110, 120, 130, 140, 150, 160}) + Values(10, 9000), 12,
                              2);
        QImage image(12, 2, QImage::Format_RGB888);
        int lower = 0, upper = 0;
        QVERIFY(converter.autoGenerateImageParameters(image, lower, upper));
        QCOMPARE((QList<int>{lower, upper}), (QList<int>{130, 140}));
        QCOMPARE(image.pixel(9, 0), qRgb(255, 255, 255)); // 140, grayscale after construction
        converter.setRawFrame(Values(100, 7), 10, 10);    // one value: an empty window
        QVERIFY(!converter.autoGenerateImageParameters(image, lower, upper));
    }

    void scaleHelpers() {
        testsupport::Recorder recorder;
        DataConverter c;
        // 30 in 20..60 to 100..200; then value <= 0, an empty input range (no
        // division) and below the input range (the output's low end).
        QCOMPARE((QList<float>{c.scaleF(30, 20, 60, 100, 200), c.scaleF(0, -10, 10, 0, 100),
                               c.scaleF(5, 3, 3, 0, 100), c.scaleF(2, 3, 10, 7, 100)}),
                 (QList<float>{125, 0, 0, 7}));
        // Middle 200 in 100..high, output 0..255: the halves run 0..128 and
        // 127..255; value 0, and equal boundaries, give 0.
        auto mid = [&c](unsigned v, unsigned high) {
            return c.scaleWithMiddle(v, 100, high, 200, 0, 255);
        };
        QCOMPARE((QList<uint>{mid(150, 300), mid(250, 300), mid(0, 300), mid(150, 100)}),
                 (QList<uint>{64, 191, 0, 0}));
        QCOMPARE(recorder.out, QStringLiteral("Boundaries equal: 100, 100\n"));
        // Counts: 0 twice, 100 and 255 once; k = 255 / 4 = 63.75.
        unsigned char in[4] = {0, 100, 0, 255}, out[4] = {};
        QCOMPARE(c.histogramEquilisation(in, out, 2, 2), 4u);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(out), 4).toHex(), QByteArray("7fbf7fff"));
    }

    // The frame conversion step as the movie loader runs it: the window per
    // frame, written back into the caller's set, and the colours it gives.
    void movieFrameStep() {
        // Windows 1000..2000, 1003..2004, none (all zeros), 1000..2000.
        QByteArray movie;
        for (const Values& f :
             {cycle(997, 1006), cycle(1000, 1007), Values(20480, 0), cycle(997, 1006)})
            movie += synth::makeRawFrame({}, synth::makeWordStream(f, 160, 128, {}));
        const QString path = testsupport::scratchDir() + QStringLiteral("/movie.THM");
        QVERIFY(synth::writeFile(path, movie));
        testsupport::Recorder recorder;
        DataConverter converter;
        QCOMPARE(converter.parseVideoFile(path, false, false), 4);
        QImage image(7, 3, QImage::Format_ARGB32);
        // Iron, automatic, smoothed by half.
        ThermalImageConversionSet set{0, 0, 1, false, 0, 0, false, true, 0.5f, true};
        bool ok = false;
        // Success, the window written back, the image size and the colour at pixel
        // 503 (raw 1500 in frames 1 and 4, 1503 in frame 2).
        auto load = [&](int frame) {
            converter.getThermalImageFromVideoRawList(frame, image, &ok, ksDefines::NoSerialData,
                                                      set);
            return QString::asprintf("%d %u..%u %dx%d %x", ok, set.lowerBound, set.upperBound,
                                     image.width(), image.height(), image.pixel(23, 3));
        };
        // The first frame after the reset state is not smoothed; the next is
        // 1000 + 3 x 0.5 .. 2000 + 4 x 0.5, where 1503 has s = 250.
        QCOMPARE(load(1), QStringLiteral("1 1000..2000 160x128 ffe04a56"));
        QCOMPARE(image.format(), QImage::Format_RGB888);
        QCOMPARE(load(2), QStringLiteral("1 1001..2002 160x128 ffe14b55"));
        // No window: (16383, 1) smoothed against 1001..2002 is reversed, the
        // conversion fails and keeps the image, and the window is written back.
        QCOMPARE(load(3), QStringLiteral("0 8692..1001 160x128 ffe14b55"));
        const QString text = QStringLiteral("DataConverter::getImageFromVideoRawList2 call of "
                                            "DataConverter::processRawData returned false: "
                                            "RAWdata.size: 20480");
        QCOMPARE(recorder.reports.size(), size_t(1)); // none for frames 1 and 2
        QCOMPARE(recorder.outLines() << recorder.reports[0].title + ": " + recorder.reports[0].text,
                 (QStringList{text, "Error: " + text}));
        // Nothing is smoothed against the reversed window.
        QCOMPARE(load(4), QStringLiteral("1 1000..2000 160x128 ffe04a56"));
        // Manual bounds 1200..1800, inverted: s = 249 again.
        set = ThermalImageConversionSet{1200, 1800, 1, false, 0, 0, true, false, 0.5f, true};
        QCOMPARE(load(1), QStringLiteral("1 1200..1800 160x128 ff1fb5a9"));
    }
    void pixels() {
        // 4 x 3 frame holding index + 1, with 7500 at (1, 1).
        DataConverter c;
        c.setRawFrame({1, 2, 3, 4, 5, 7500, 7, 8, 9, 10, 11, 12}, 4, 3);
        QCOMPARE(c.getRawForPixel(3, 2), 12u);
        QVERIFY(c.isPixelWithinData(3, 2) && !c.isPixelWithinData(0, 3));
        QVERIFY(!c.isPixelWithinData(0xFFFFFFFFu, 0));
        QCOMPARE(c.getRawForPixel(0, 0xFFFFFFFFu), 0u);
        // float(v) x resolution in single precision, minus 273.15, narrowed to float.
        QCOMPARE(c.getTemperatureForPixel(1, 1, 0.04f), double(26.85f));
        QCOMPARE(c.getTemperatureForPixel(1, 1, 0.4f), double(2726.85f));
        QCOMPARE(c.getTemperatureForPixel(9, 9, 0.04f), double(-273.15f)); // outside: raw 0
        // 1600 / ln(16030 / (2470 x 0.0953) + 1) - 273.15 = 104.60523
        const double planck = c.getTemperatureForPixel(1, 1, 1600.0f, -5030.0f, 16030.0f, 0.0953f);
        QVERIFY2(qAbs(planck - 104.60523) < 1e-4, qPrintable(QString::number(planck, 'f', 6)));
        // Outside the frame the formula sees raw 0 and gives no temperature.
        QVERIFY(qIsNaN(c.getTemperatureForPixel(100, 100, 1600.0f, -5030.0f, 16030.0f, 0.0953f)));
    }

    void partNumbers_data() {
        QTest::addColumn<QString>("part");
        // Tau 2, focal length, sensor size (-1: unchanged) | the window's
        // description (lines joined by "/"), which only 15 characters have.
        QTest::addColumn<QString>("decoded");
        auto row = [](const QString& part, const char* decoded) {
            QTest::newRow(qPrintable(part.left(20))) << part << QString(decoded);
        };
        row("4664001900SR000", "1 19 10.88x8.704 | KS 640, 19mm/slow video/radiometric");
        row("4833602500SR00", "1 25 5.712x4.352 | "); // 14 characters
        row("4632401300SR0000", "1 13 8.1x6.4 | ");   // 16 characters
        row("4632402500sr000", "1 25 8.1x6.4 | KS 324, 25mm/slow video/radiometric");
        row("4833600900FN000", "1 9 5.712x4.352 | KS 336, 9mm/fast video/non radiometric");
        row("4616000900SR000", "1 9 -1x-1 | KS 160, 9mm/slow video/radiometric");
        row("4764001900SR000", "0 1 -1x-1 | KS 640, 19mm/slow video/radiometric");
        row("46640x1900SR000", "1 0 10.88x8.704 | KS 640, 0mm/slow video/radiometric");
        row("4664001", "1 0 10.88x8.704 | "); // the focal length cut short
        row(QString::fromUtf8("46\xc3\xbc"
                              "4001900SR000"),
            "1 19 -1x-1 | KS \xc3\xbc"
            "40, 19mm/slow video/radiometric");
    }
    void partNumbers() {
        QFETCH(QString, part);
        float w = -1.0f, h = -1.0f;
        DataConverter::sensorSizeMMFromPartNumber(part, w, h);
        QTEST(QString::asprintf("%d %d %.7gx%.7g | ", DataConverter::isTau2(part),
                                DataConverter::focalLengthFromPartNumber(part), double(w),
                                double(h)) +
                  kx::partnumber::describe(part).replace('\n', '/'),
              "decoded");
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
