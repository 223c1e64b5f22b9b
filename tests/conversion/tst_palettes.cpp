#include "conversion/PaletteTable.h"
#include "conversion/RGBCalculations.h"
#include "support/TestSupport.h"

#include <QtTest>

namespace {
// One palette call and the colour it must give without inversion. Every row is
// also run inverted, where each channel must become 255 - c.
struct Case {
    unsigned raw, mode, lower, upper, r, g, b;
    unsigned biLow = 0, biHigh = 0; // bi-colour is on when biHigh is set
    unsigned outMin = 0, outMax = 255;
    const char* console = "";
};

QList<unsigned> colour(const Case& c, bool inverted) {
    unsigned r = 999, g = 999, b = 999;
    RGBCalculations().generateRGB(c.raw, c.mode, inverted, c.lower, c.upper, c.biHigh > 0, c.biLow,
                                  c.biHigh, c.outMin, c.outMax, r, g, b, false);
    return {r, g, b};
}
} // namespace

Q_DECLARE_METATYPE(Case)

class TestPalettes : public QObject {
    Q_OBJECT
private slots:
    void palettes_data() {
        QTest::addColumn<Case>("c");
        // The worked example (s = 249, t = 513802) and the window edges.
        QTest::newRow("iron 1500 in 1000..2000") << Case{1500, 1, 1000, 2000, 224, 74, 86};
        QTest::newRow("iron lower bound") << Case{1000, 1, 1000, 2000, 0, 0, 0};
        QTest::newRow("iron s=0 is the bottom") << Case{1001, 1, 1000, 2000, 0, 0, 0};
        QTest::newRow("arctic above window") << Case{9000, 2, 1000, 2000, 230, 229, 227};
        QTest::newRow("rainbow top") << Case{2000, 3, 1000, 2000, 254, 252, 252};
        QTest::newRow("mode 7 renders as rainbow") << Case{2000, 7, 1000, 2000, 254, 252, 252};
        // A reversed window: raw <= lower is tested before raw >= upper.
        QTest::newRow("reversed window") << Case{1500, 1, 2000, 1000, 0, 0, 0};
        // Blue steps down from 41 at s = 299 to 20 at s = 300.
        QTest::newRow("iron s=300, blue 20") << Case{300, 1, 0, 499, 240, 110, 20};
        for (unsigned m = 0; m <= 4; ++m)
            QTest::addRow("raw 0 in mode %u", m) << Case{0, m, 0, 100, 0, 0, 0};
        // The end of every stretch but the last (whose end is the top colour); a
        // window of 0..S makes s equal to raw. Iron, arctic, rainbow high contrast.
        const std::vector<unsigned> ends[3] = {
            {69, 39, 128, 208, 40, 130, 239, 109, 41, 253, 199, 11},
            {44, 83,  163, 16, 117, 152, 15, 136, 140, 111, 74,  127, 165, 47,
             92, 207, 46,  57, 229, 74,  30, 230, 126, 15,  230, 177, 14},
            {213, 0, 209, 24, 2, 164, 6, 215, 233, 1, 86, 3, 226, 225, 4, 123, 12, 1, 208, 44, 42}};
        for (unsigned m = 1; m <= 3; ++m) {
            const std::vector<unsigned>& c = ends[m - 1];
            const unsigned top = unsigned(c.size()) / 3 * 100 + 99;
            for (unsigned i = 0; 3 * i < c.size(); ++i)
                QTest::addRow("mode %u s=%u", m, 100 * i + 99)
                    << Case{100 * i + 99, m, 0, top, c[3 * i], c[3 * i + 1], c[3 * i + 2]};
        }
        // Grayscale over 1000..2000, also into a narrower output range.
        QTest::newRow("grey middle") << Case{1500, 0, 1000, 2000, 127, 127, 127};
        QTest::newRow("grey 16..235") << Case{1500, 0, 1000, 2000, 125, 125, 125, 0, 0, 16, 235};
        QTest::newRow("grey 16..235 below") << Case{999, 0, 1000, 2000, 16, 16, 16, 0, 0, 16, 235};
        QTest::newRow("16..235 above") << Case{2999, 0, 1000, 2000, 235, 235, 235, 0, 0, 16, 235};
        QTest::newRow("grey 16..235 raw 0") << Case{0, 0, 1000, 2000, 0, 0, 0, 0, 0, 16, 235};
        // Bi-colour 1400..1600 in grey 1000..2000: iron over 1400..1600 (s = 249 at
        // 1500) strictly inside only.
        QTest::newRow("bi biLow") << Case{1400, 2, 1000, 2000, 102, 102, 102, 1400, 1600};
        QTest::newRow("bi biHigh") << Case{1600, 2, 1000, 2000, 153, 153, 153, 1400, 1600};
        QTest::newRow("bi inside") << Case{1500, 2, 1000, 2000, 224, 74, 86, 1400, 1600};
        QTest::newRow("bi equal bounds") << Case{1500, 2, 1000, 2000, 127, 127, 127, 1500, 1500};
        for (unsigned m = 0; m <= 3; ++m)
            QTest::addRow("equal bounds, mode %u", m) << Case{
                1500, m, 1200, 1200, 0, 0, 0, 0, 0, 0, 255, "Boundaries equal: 1200, 1200\n"};
    }
    void palettes() {
        QFETCH(Case, c);
        testsupport::Recorder recorder;
        QCOMPARE(colour(c, false), (QList<unsigned>{c.r, c.g, c.b}));
        QCOMPARE(recorder.out, QString::fromLatin1(c.console));
        QCOMPARE(colour(c, true), (QList<unsigned>{255 - c.r, 255 - c.g, 255 - c.b}));
    }

    // Every raw value comes back, whatever the bi-colour and inversion settings.
    // Regression: truncating the decoded hue gave raw - 1 for most values.
    void lossless() {
        // Hue = raw mod 360 at full value below 360; 0.5 x 255 truncates to 127.
        const QMap<unsigned, QList<unsigned>> known{
            {0, {255, 0, 0}}, {30, {255, 127, 0}}, {240, {0, 0, 255}}};
        RGBCalculations calc;
        for (unsigned raw = 0; raw < 16384; ++raw) {
            unsigned r = 999, g = 999, b = 999;
            calc.generateRGB(raw, 1, true, 1000, 2000, true, 10, 20000, 0, 255, r, g, b, true);
            if (known.contains(raw))
                QCOMPARE((QList<unsigned>{r, g, b}), known[raw]);
            if (r > 255 || g > 255 || b > 255 || calc.recoverRAWValue(r, g, b) != raw)
                QFAIL(qPrintable(QStringLiteral("raw %1 does not come back").arg(raw)));
        }
    }

    void scaleFactor() {
        float f = 1.0f, g = 1.0f;
        RGBCalculations().calcScaleFactor(f, 100, 150, 1000, 1200);
        RGBCalculations().calcScaleFactor(g, 0, 10, 7, 7); // an empty input range: no division
        QCOMPARE((QList<float>{f, g}), (QList<float>{0.25f, 0.0f}));
    }

    // Pixels are stored four bytes at a time; the byte after the last pixel is
    // the next row, or past the end of the image, and must stay untouched.
    // (Which colour the table gives each raw word is conversionFollowsRule's.)
    void tableWritesOnlyItsPixels() {
        const PaletteTable::Style style{2, true, {1000, 2000, 1400, 1600, true}};
        const uint16_t raw[4] = {1500, 1400, 65535, 1500};
        QByteArray out(13, char(0xAA));
        PaletteTable().convert(RGBCalculations(), style, raw, 4,
                               reinterpret_cast<uint8_t*>(out.data()));
        // inside: iron s = 249 inverted; biLow: grey 102 inverted; above: grey 255 inverted
        QCOMPARE(out.toHex(), QByteArray("1fb5a99999990000001fb5a9aa"));
    }
};

QTEST_GUILESS_MAIN(TestPalettes)
#include "tst_palettes.moc"
