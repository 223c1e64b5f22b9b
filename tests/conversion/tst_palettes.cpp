#include "conversion/PaletteTable.h"
#include "conversion/RGBCalculations.h"
#include "support/TestSupport.h"

#include <QtTest>

namespace {
struct Rgb {
    unsigned r, g, b;
};

Rgb linear(unsigned raw, unsigned mode, bool inverted, unsigned lower, unsigned upper) {
    RGBCalculations calc;
    Rgb c{999, 999, 999};
    calc.generateRGB(raw, mode, inverted, lower, upper, false, 0, 0, 0, 255, c.r, c.g, c.b, false);
    return c;
}

Rgb biColourRgb(unsigned raw, bool inverted, unsigned lower, unsigned upper, unsigned biLow,
                unsigned biHigh) {
    RGBCalculations calc;
    Rgb c{999, 999, 999};
    calc.generateRGB(raw, 2, inverted, lower, upper, true, biLow, biHigh, 0, 255, c.r, c.g, c.b,
                     false);
    return c;
}
} // namespace

class TestPalettes : public QObject {
    Q_OBJECT
private slots:
    void colourModes_data();
    void colourModes();
    void grayscale_data();
    void grayscale();
    void zeroIsBlack_data();
    void zeroIsBlack();
    void biColour_data();
    void biColour();
    void equalBounds_data();
    void equalBounds();
    void losslessEncoding_data();
    void losslessEncoding();
    void losslessRoundTrip();
    void scaleFactor_data();
    void scaleFactor();
    void tableMatchesRule_data();
    void tableMatchesRule();
    void tableWritesOnlyItsPixels();
};

void TestPalettes::colourModes_data() {
    QTest::addColumn<unsigned>("mode");
    QTest::addColumn<unsigned>("lower");
    QTest::addColumn<unsigned>("upper");
    QTest::addColumn<unsigned>("raw");
    QTest::addColumn<unsigned>("r");
    QTest::addColumn<unsigned>("g");
    QTest::addColumn<unsigned>("b");

    // The worked example: iron over 1000..2000.
    QTest::newRow("iron 1500 in 1000..2000") << 1u << 1000u << 2000u << 1500u << 224u << 74u << 86u;
    QTest::newRow("iron lower bound") << 1u << 1000u << 2000u << 1000u << 0u << 0u << 0u;
    QTest::newRow("iron below window") << 1u << 1000u << 2000u << 400u << 0u << 0u << 0u;
    QTest::newRow("iron upper bound") << 1u << 1000u << 2000u << 2000u << 255u << 253u << 251u;
    QTest::newRow("iron above window") << 1u << 1000u << 2000u << 9000u << 255u << 253u << 251u;
    QTest::newRow("iron s=0 (1001)") << 1u << 1000u << 2000u << 1001u << 0u << 0u << 0u;

    // Window 0..S makes the position equal to the raw value, so each row
    // reads one stretch of the table: start + floor(t * slope / 2^F).
    QTest::newRow("iron s=1") << 1u << 0u << 499u << 1u << 0u << 0u << 1u;
    QTest::newRow("iron s=50") << 1u << 0u << 499u << 50u << 35u << 20u << 65u;
    QTest::newRow("iron s=99") << 1u << 0u << 499u << 99u << 69u << 39u << 128u;
    QTest::newRow("iron s=100") << 1u << 0u << 499u << 100u << 70u << 40u << 130u;
    QTest::newRow("iron s=150") << 1u << 0u << 499u << 150u << 140u << 40u << 130u;
    QTest::newRow("iron s=299 (blue 41)") << 1u << 0u << 499u << 299u << 239u << 109u << 41u;
    QTest::newRow("iron s=300 (blue jumps to 20)")
        << 1u << 0u << 499u << 300u << 240u << 110u << 20u;
    QTest::newRow("iron s=350") << 1u << 0u << 499u << 350u << 247u << 155u << 15u;
    QTest::newRow("iron s=425") << 1u << 0u << 499u << 425u << 255u << 213u << 71u;

    QTest::newRow("arctic s=50") << 2u << 0u << 999u << 50u << 22u << 42u << 82u;
    QTest::newRow("arctic s=150") << 2u << 0u << 999u << 150u << 30u << 101u << 158u;
    QTest::newRow("arctic s=250") << 2u << 0u << 999u << 250u << 15u << 127u << 145u;
    QTest::newRow("arctic s=350") << 2u << 0u << 999u << 350u << 64u << 105u << 133u;
    QTest::newRow("arctic s=450") << 2u << 0u << 999u << 450u << 139u << 60u << 109u;
    QTest::newRow("arctic s=550") << 2u << 0u << 999u << 550u << 187u << 46u << 74u;
    QTest::newRow("arctic s=650") << 2u << 0u << 999u << 650u << 219u << 60u << 43u;
    QTest::newRow("arctic s=750") << 2u << 0u << 999u << 750u << 230u << 101u << 22u;
    QTest::newRow("arctic s=850") << 2u << 0u << 999u << 850u << 230u << 152u << 14u;
    QTest::newRow("arctic s=950") << 2u << 0u << 999u << 950u << 230u << 204u << 122u;
    QTest::newRow("arctic top") << 2u << 1000u << 2000u << 2000u << 230u << 229u << 227u;

    QTest::newRow("rainbow s=50") << 3u << 0u << 799u << 50u << 108u << 0u << 106u;
    QTest::newRow("rainbow s=150") << 3u << 0u << 799u << 150u << 119u << 1u << 188u;
    QTest::newRow("rainbow s=250") << 3u << 0u << 799u << 250u << 13u << 110u << 198u;
    QTest::newRow("rainbow s=350") << 3u << 0u << 799u << 350u << 3u << 151u << 117u;
    QTest::newRow("rainbow s=450") << 3u << 0u << 799u << 450u << 114u << 155u << 2u;
    QTest::newRow("rainbow s=550") << 3u << 0u << 799u << 550u << 175u << 118u << 3u;
    QTest::newRow("rainbow s=650") << 3u << 0u << 799u << 650u << 165u << 27u << 21u;
    QTest::newRow("rainbow s=750") << 3u << 0u << 799u << 750u << 232u << 150u << 149u;
    QTest::newRow("rainbow top") << 3u << 1000u << 2000u << 2000u << 254u << 252u << 252u;
    QTest::newRow("mode 7 renders as rainbow") << 7u << 0u << 799u << 450u << 114u << 155u << 2u;

    // A reversed window: values up to lower are the bottom, the rest the top.
    QTest::newRow("iron reversed window, between")
        << 1u << 2000u << 1000u << 1500u << 0u << 0u << 0u;
    QTest::newRow("iron reversed window, above")
        << 1u << 2000u << 1000u << 2500u << 255u << 253u << 251u;
}

void TestPalettes::colourModes() {
    QFETCH(unsigned, mode);
    QFETCH(unsigned, lower);
    QFETCH(unsigned, upper);
    QFETCH(unsigned, raw);
    QFETCH(unsigned, r);
    QFETCH(unsigned, g);
    QFETCH(unsigned, b);
    testsupport::Recorder recorder;
    const Rgb c = linear(raw, mode, false, lower, upper);
    QCOMPARE(c.r, r);
    QCOMPARE(c.g, g);
    QCOMPARE(c.b, b);
    const Rgb inv = linear(raw, mode, true, lower, upper);
    QCOMPARE(inv.r, 255 - r);
    QCOMPARE(inv.g, 255 - g);
    QCOMPARE(inv.b, 255 - b);
    QCOMPARE(recorder.out, QString());
}

void TestPalettes::grayscale_data() {
    QTest::addColumn<unsigned>("raw");
    QTest::addColumn<unsigned>("outMin");
    QTest::addColumn<unsigned>("outMax");
    QTest::addColumn<unsigned>("grey");
    QTest::newRow("middle") << 1500u << 0u << 255u << 127u;
    QTest::newRow("just above lower") << 1001u << 0u << 255u << 0u;
    QTest::newRow("just below upper") << 1999u << 0u << 255u << 254u;
    QTest::newRow("lower") << 1000u << 0u << 255u << 0u;
    QTest::newRow("below lower") << 5u << 0u << 255u << 0u;
    QTest::newRow("upper") << 2000u << 0u << 255u << 255u;
    QTest::newRow("above upper") << 3000u << 0u << 255u << 255u;
    QTest::newRow("narrow output, middle") << 1500u << 16u << 235u << 125u;
    QTest::newRow("narrow output, below lower") << 999u << 16u << 235u << 16u;
    QTest::newRow("narrow output, above upper") << 2999u << 16u << 235u << 235u;
    QTest::newRow("narrow output, zero is 0 not outMin") << 0u << 16u << 235u << 0u;
}

void TestPalettes::grayscale() {
    QFETCH(unsigned, raw);
    QFETCH(unsigned, outMin);
    QFETCH(unsigned, outMax);
    QFETCH(unsigned, grey);
    RGBCalculations calc;
    unsigned r = 999, g = 999, b = 999;
    calc.generateRGB(raw, 0, false, 1000, 2000, false, 0, 0, outMin, outMax, r, g, b, false);
    QCOMPARE(r, grey);
    QCOMPARE(g, grey);
    QCOMPARE(b, grey);
}

void TestPalettes::zeroIsBlack_data() {
    QTest::addColumn<unsigned>("mode");
    QTest::addColumn<unsigned>("lower");
    QTest::addColumn<unsigned>("upper");
    for (unsigned mode = 0; mode <= 4; ++mode) {
        QTest::addRow("mode %u, window 1000..2000", mode) << mode << 1000u << 2000u;
        QTest::addRow("mode %u, window 0..100", mode) << mode << 0u << 100u;
    }
}

void TestPalettes::zeroIsBlack() {
    QFETCH(unsigned, mode);
    QFETCH(unsigned, lower);
    QFETCH(unsigned, upper);
    const Rgb c = linear(0, mode, false, lower, upper);
    QCOMPARE(c.r, 0u);
    QCOMPARE(c.g, 0u);
    QCOMPARE(c.b, 0u);
    const Rgb inv = linear(0, mode, true, lower, upper);
    QCOMPARE(inv.r, 255u);
    QCOMPARE(inv.g, 255u);
    QCOMPARE(inv.b, 255u);
}

void TestPalettes::biColour_data() {
    QTest::addColumn<unsigned>("raw");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<unsigned>("biLow");
    QTest::addColumn<unsigned>("biHigh");
    QTest::addColumn<unsigned>("r");
    QTest::addColumn<unsigned>("g");
    QTest::addColumn<unsigned>("b");
    // Main window 1000..2000 in grey; iron between the colour bounds only.
    QTest::newRow("biLow itself is grey")
        << 1400u << false << 1400u << 1600u << 102u << 102u << 102u;
    QTest::newRow("biHigh itself is grey")
        << 1600u << false << 1400u << 1600u << 153u << 153u << 153u;
    QTest::newRow("inside: iron over 1400..1600")
        << 1500u << false << 1400u << 1600u << 224u << 74u << 86u;
    QTest::newRow("just above biLow") << 1401u << false << 1400u << 1600u << 1u << 0u << 2u;
    QTest::newRow("just below biHigh") << 1599u << false << 1400u << 1600u << 255u << 251u << 244u;
    QTest::newRow("outside, grey of main window")
        << 1900u << false << 1400u << 1600u << 229u << 229u << 229u;
    QTest::newRow("inverted inside") << 1500u << true << 1400u << 1600u << 31u << 181u << 169u;
    QTest::newRow("inverted biLow") << 1400u << true << 1400u << 1600u << 153u << 153u << 153u;
    QTest::newRow("zero") << 0u << false << 1400u << 1600u << 0u << 0u << 0u;
    QTest::newRow("zero inverted") << 0u << true << 1400u << 1600u << 255u << 255u << 255u;
    QTest::newRow("equal colour bounds: all grey")
        << 1500u << false << 1500u << 1500u << 127u << 127u << 127u;
    QTest::newRow("adjacent colour bounds: all grey")
        << 1500u << false << 1499u << 1500u << 127u << 127u << 127u;
}

void TestPalettes::biColour() {
    QFETCH(unsigned, raw);
    QFETCH(bool, inverted);
    QFETCH(unsigned, biLow);
    QFETCH(unsigned, biHigh);
    QFETCH(unsigned, r);
    QFETCH(unsigned, g);
    QFETCH(unsigned, b);
    testsupport::Recorder recorder;
    const Rgb c = biColourRgb(raw, inverted, 1000, 2000, biLow, biHigh);
    QCOMPARE(c.r, r);
    QCOMPARE(c.g, g);
    QCOMPARE(c.b, b);
    QCOMPARE(recorder.out, QString());
}

void TestPalettes::equalBounds_data() {
    QTest::addColumn<unsigned>("mode");
    QTest::addColumn<unsigned>("raw");
    QTest::newRow("grayscale") << 0u << 1500u;
    QTest::newRow("iron") << 1u << 1500u;
    QTest::newRow("arctic") << 2u << 1200u;
    QTest::newRow("rainbow") << 3u << 0u;
}

void TestPalettes::equalBounds() {
    QFETCH(unsigned, mode);
    QFETCH(unsigned, raw);
    testsupport::Recorder recorder;
    const Rgb c = linear(raw, mode, false, 1200, 1200);
    QCOMPARE(c.r, 0u);
    QCOMPARE(c.g, 0u);
    QCOMPARE(c.b, 0u);
    QCOMPARE(recorder.out, QStringLiteral("Boundaries equal: 1200, 1200\n"));
    QVERIFY(recorder.reports.empty());
}

void TestPalettes::losslessEncoding_data() {
    QTest::addColumn<unsigned>("raw");
    QTest::addColumn<unsigned>("r");
    QTest::addColumn<unsigned>("g");
    QTest::addColumn<unsigned>("b");
    // Hue = raw mod 360 at full value for raw < 360.
    QTest::newRow("0") << 0u << 255u << 0u << 0u;
    QTest::newRow("30") << 30u << 255u << 127u << 0u;
    QTest::newRow("60") << 60u << 255u << 255u << 0u;
    QTest::newRow("120") << 120u << 0u << 255u << 0u;
    QTest::newRow("240") << 240u << 0u << 0u << 255u;
    QTest::newRow("300") << 300u << 255u << 0u << 255u;
}

void TestPalettes::losslessEncoding() {
    QFETCH(unsigned, raw);
    QFETCH(unsigned, r);
    QFETCH(unsigned, g);
    QFETCH(unsigned, b);
    RGBCalculations calc;
    Rgb c{999, 999, 999};
    // Lossless wins over bi-colour and inversion.
    calc.generateRGB(raw, 1, true, 1000, 2000, true, 10, 20000, 0, 255, c.r, c.g, c.b, true);
    QCOMPARE(c.r, r);
    QCOMPARE(c.g, g);
    QCOMPARE(c.b, b);
    QCOMPARE(calc.recoverRAWValue(r, g, b), raw);
}

// Regression: truncating the decoded hue gave raw - 1 for most values (30 came back as 29).
void TestPalettes::losslessRoundTrip() {
    RGBCalculations calc;
    std::vector<unsigned> recovered;
    recovered.reserve(16384);
    for (unsigned raw = 0; raw < 16384; ++raw) {
        unsigned r = 0, g = 0, b = 0;
        calc.generateLoslessRGB(raw, r, g, b);
        QVERIFY(r <= 255 && g <= 255 && b <= 255);
        recovered.push_back(calc.recoverRAWValue(r, g, b));
    }
    QCOMPARE(recovered.size(), size_t(16384));
    for (unsigned raw = 0; raw < 16384; ++raw) {
        if (recovered[raw] != raw)
            QFAIL(
                qPrintable(QStringLiteral("raw %1 came back as %2").arg(raw).arg(recovered[raw])));
    }
}

void TestPalettes::scaleFactor_data() {
    QTest::addColumn<unsigned>("a");
    QTest::addColumn<unsigned>("b");
    QTest::addColumn<unsigned>("c");
    QTest::addColumn<unsigned>("d");
    QTest::addColumn<float>("factor");
    QTest::newRow("2.5") << 0u << 10u << 0u << 4u << 2.5f;
    QTest::newRow("0.25") << 100u << 150u << 1000u << 1200u << 0.25f;
    QTest::newRow("reversed output") << 10u << 0u << 0u << 4u << -2.5f;
    QTest::newRow("empty input range") << 0u << 10u << 7u << 7u << 0.0f;
}

void TestPalettes::scaleFactor() {
    QFETCH(unsigned, a);
    QFETCH(unsigned, b);
    QFETCH(unsigned, c);
    QFETCH(unsigned, d);
    QFETCH(float, factor);
    RGBCalculations calc;
    float result = 123.0f;
    calc.calcScaleFactor(result, a, b, c, d);
    QCOMPARE(result, factor);
}

void TestPalettes::tableMatchesRule_data() {
    QTest::addColumn<unsigned>("mode");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<bool>("bi");
    QTest::addColumn<unsigned>("lower");
    QTest::addColumn<unsigned>("upper");
    for (unsigned mode = 0; mode <= 4; ++mode) {
        QTest::addRow("mode %u", mode) << mode << false << false << 3000u << 9000u;
        QTest::addRow("mode %u inverted", mode) << mode << true << false << 3000u << 9000u;
    }
    QTest::newRow("bi-colour") << 1u << false << true << 3000u << 9000u;
    QTest::newRow("bi-colour inverted") << 1u << true << true << 3000u << 9000u;
    QTest::newRow("window from 0") << 1u << false << false << 0u << 500u;
    QTest::newRow("window from 0, grey inverted") << 0u << true << false << 0u << 500u;
    QTest::newRow("window 1..2") << 2u << false << false << 1u << 2u;
    QTest::newRow("window to 16383") << 3u << true << false << 16000u << 16383u;
    QTest::newRow("window beyond 14 bits") << 1u << false << false << 100u << 20000u;
}

// The frame conversion looks colours up in a table; every raw value (and the
// values a 16-bit word can hold beyond 14 bits) must get the per-pixel colour,
// also after the table was built for another style.
void TestPalettes::tableMatchesRule() {
    QFETCH(unsigned, mode);
    QFETCH(bool, inverted);
    QFETCH(bool, bi);
    QFETCH(unsigned, lower);
    QFETCH(unsigned, upper);
    RGBCalculations calc;
    PaletteTable table;
    std::vector<uint16_t> raw(65536);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = uint16_t(i);
    std::vector<uint8_t> out(raw.size() * 3, 0xAA);

    PaletteTable::Style other;
    other.colorMode = 2;
    other.window.lowerRawValueBound = 10;
    other.window.upperRawValueBound = 60;
    table.convert(calc, other, raw.data(), 100, out.data());

    PaletteTable::Style style;
    style.colorMode = mode;
    style.inverted = inverted;
    style.window.lowerRawValueBound = lower;
    style.window.upperRawValueBound = upper;
    style.window.biColorEnabled = bi;
    style.window.lowerBiColorRawValueBound = 5000;
    style.window.upperBiColorRawValueBound = 6000;
    table.convert(calc, style, raw.data(), raw.size(), out.data());
    for (unsigned v = 0; v < 65536; ++v) {
        unsigned r = 0, g = 0, b = 0;
        calc.generateRGB(v, mode, inverted, lower, upper, bi, 5000, 6000, 0, 255, r, g, b, false);
        if (out[3 * v] != r || out[3 * v + 1] != g || out[3 * v + 2] != b)
            QFAIL(qPrintable(QStringLiteral("raw %1: table (%2, %3, %4), rule (%5, %6, %7)")
                                 .arg(v)
                                 .arg(out[3 * v])
                                 .arg(out[3 * v + 1])
                                 .arg(out[3 * v + 2])
                                 .arg(r)
                                 .arg(g)
                                 .arg(b)));
    }
}

// Pixels are stored four bytes at a time; the byte after the last pixel must
// stay untouched (it is the next row, or past the end of the image).
void TestPalettes::tableWritesOnlyItsPixels() {
    RGBCalculations calc;
    PaletteTable table;
    PaletteTable::Style style;
    style.colorMode = 1;
    style.window.lowerRawValueBound = 1000;
    style.window.upperRawValueBound = 2000;
    const uint16_t raw[3] = {1500, 2000, 1500};
    uint8_t out[10];
    std::fill(std::begin(out), std::end(out), uint8_t(0xAA));
    table.convert(calc, style, raw, 3, out);
    const uint8_t expected[10] = {224, 74, 86, 255, 253, 251, 224, 74, 86, 0xAA};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(int(out[i]), int(expected[i]));

    std::fill(std::begin(out), std::end(out), uint8_t(0xAA));
    table.convert(calc, style, raw + 1, 1, out + 1);
    QCOMPARE(int(out[0]), 0xAA);
    QCOMPARE(int(out[1]), 255);
    QCOMPARE(int(out[3]), 251);
    QCOMPARE(int(out[4]), 0xAA);
    table.convert(calc, style, raw, 0, out + 5);
    QCOMPARE(int(out[5]), 0xAA);
}

QTEST_GUILESS_MAIN(TestPalettes)
#include "tst_palettes.moc"
