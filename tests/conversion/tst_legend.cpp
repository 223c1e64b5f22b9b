#include "conversion/Legend.h"
#include "recording/DataConverter.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QPainter>
#include <QtTest>

namespace {
// Converts a frame of 7500 everywhere (some 1000s) with the given style so the
// converter's window and style are those of a real conversion.
void convert(DataConverter& converter, unsigned lower, unsigned upper, int mode, bool bi,
             unsigned biLow, unsigned biHigh, bool inverted) {
    converter.setRawFrame(std::vector<uint16_t>(640 * 512, 7500), 640, 512);
    QImage image(640, 512, QImage::Format_RGB888);
    QVERIFY(
        converter.changeImageParameters(lower, upper, mode, bi, biLow, biHigh, inverted, image));
}

// The legend a correct implementation draws: the strip squeezed to the height,
// with the expected texts.
QImage expectedLegend(unsigned mode, bool inverted, int height, const QString& top,
                      const QString& bottom) {
    const QImage strip = legend::loadLegendStrip(mode, inverted);
    QImage scaled = strip.scaled(strip.width(), height, Qt::IgnoreAspectRatio);
    legend::paintLabels(scaled, top, bottom);
    return scaled;
}

QRgb rgb(int r, int g, int b) {
    return qRgb(r, g, b);
}
} // namespace

class TestLegend : public QObject {
    Q_OBJECT
private slots:
    void stripFiles_data();
    void stripFiles();
    void stripPixels_data();
    void stripPixels();
    void temperatureLabel_data();
    void temperatureLabel();
    void labels_data();
    void labels();
    void widenedSizes_data();
    void widenedSizes();
    void invertedStripSelected();
    void colourModeAboveThreeHasNoLegend();
    void degenerateImages();
    void appendLegendKeepsFormat();
};

void TestLegend::stripFiles_data() {
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pngColourType");
    for (uint mode = 0; mode < 4; ++mode)
        for (int inv = 0; inv < 2; ++inv)
            QTest::addRow("%u_%d", mode, inv)
                << mode << bool(inv)
                << QStringLiteral(":/legends/640_%1_%2_black.png").arg(mode).arg(inv)
                << (mode == 0 ? 0 : 2);
}

// Eight 61 x 640 PNGs: 8-bit grey for grayscale, 8-bit RGB for the palettes.
void TestLegend::stripFiles() {
    QFETCH(uint, mode);
    QFETCH(bool, inverted);
    QFETCH(QString, name);
    QFETCH(int, pngColourType);
    QCOMPARE(legend::legendResourceName(mode, inverted), name);
    const QImage strip = legend::loadLegendStrip(mode, inverted);
    QCOMPARE(strip.size(), QSize(61, 640));
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(26);
    QCOMPARE(header.size(), 26);
    QCOMPARE(header.left(8), QByteArray("\x89PNG\r\n\x1a\n"));
    QCOMPARE(header.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(int(uchar(header[24])), 8);
    QCOMPARE(int(uchar(header[25])), pngColourType);
}

void TestLegend::stripPixels_data() {
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<int>("row");
    QTest::addColumn<QRgb>("colour");
    // Row y shows raw 640 - y over the window 1..640.
    QTest::newRow("grey top") << 0u << false << 0 << rgb(255, 255, 255);
    QTest::newRow("grey row 320") << 0u << false << 320 << rgb(127, 127, 127);
    QTest::newRow("grey bottom") << 0u << false << 639 << rgb(0, 0, 0);
    QTest::newRow("grey inverted bottom") << 0u << true << 639 << rgb(255, 255, 255);
    QTest::newRow("iron top") << 1u << false << 0 << rgb(255, 253, 251);
    QTest::newRow("iron row 320 (s = 249)") << 1u << false << 320 << rgb(224, 74, 86);
    QTest::newRow("iron inverted row 320") << 1u << true << 320 << rgb(31, 181, 169);
    QTest::newRow("iron inverted top") << 1u << true << 0 << rgb(0, 2, 4);
    QTest::newRow("iron inverted bottom") << 1u << true << 639 << rgb(255, 255, 255);
    QTest::newRow("arctic top") << 2u << false << 0 << rgb(230, 229, 227);
    QTest::newRow("arctic row 320 (s = 498)") << 2u << false << 320 << rgb(164, 47, 92);
    QTest::newRow("rainbow top") << 3u << false << 0 << rgb(254, 252, 252);
    QTest::newRow("rainbow row 320 (s = 398)") << 3u << false << 320 << rgb(1, 87, 5);
    QTest::newRow("rainbow bottom") << 3u << false << 639 << rgb(0, 0, 0);
}

void TestLegend::stripPixels() {
    QFETCH(uint, mode);
    QFETCH(bool, inverted);
    QFETCH(int, row);
    QFETCH(QRgb, colour);
    const QImage strip = legend::loadLegendStrip(mode, inverted);
    QVERIFY(!strip.isNull());
    for (int x = 0; x < 10; ++x)
        QCOMPARE(strip.pixel(x, row), colour);
    // Right of the bar the strip is black, inverted or not.
    QCOMPARE(strip.pixel(10, row), rgb(0, 0, 0));
    QCOMPARE(strip.pixel(60, row), rgb(0, 0, 0));
}

void TestLegend::temperatureLabel_data() {
    QTest::addColumn<uint>("raw");
    QTest::addColumn<float>("resolution");
    QTest::addColumn<QString>("label");
    QTest::newRow("7500 at 0.04") << 7500u << 0.04f << QStringLiteral("26.9");
    // 3000 - 273.15 is the double just below 2726.85.
    QTest::newRow("7500 at 0.4") << 7500u << 0.4f << QStringLiteral("2726.8");
    QTest::newRow("1000 at 0.04") << 1000u << 0.04f << QStringLiteral("-233.1");
    QTest::newRow("0 at 0.04") << 0u << 0.04f << QStringLiteral("-273.1");
    // 6830 * 0.04f rounds to the float 273.19998169 in single precision.
    QTest::newRow("6830 at 0.04") << 6830u << 0.04f << QStringLiteral("0.0");
}

void TestLegend::temperatureLabel() {
    QFETCH(uint, raw);
    QFETCH(float, resolution);
    QFETCH(QString, label);
    QCOMPARE(legend::temperatureLabel(raw, resolution), label);
}

void TestLegend::labels_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("showTemperatures");
    QTest::addColumn<float>("resolution");
    QTest::addColumn<bool>("biColour");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("bottom");
    const QString high = QStringLiteral("high");
    const QString low = QStringLiteral("low");
    // Window 7000..8000, bi-colour window 7250..7500.
    QTest::newRow("words without radiometry") << 1 << false << 4.0f << false << high << low;
    QTest::newRow("words even with bi-colour bounds") << 1 << false << 4.0f << true << high << low;
    QTest::newRow("main window at 0.04")
        << 1 << true << 0.04f << false << QStringLiteral("46.9") << QStringLiteral("6.9");
    QTest::newRow("bi-colour window at 0.04")
        << 1 << true << 0.04f << true << QStringLiteral("26.9") << QStringLiteral("16.9");
    QTest::newRow("main window at 0.4")
        << 1 << true << 0.4f << false << QStringLiteral("2926.9") << QStringLiteral("2526.9");
    QTest::newRow("grey strip, main window at 0.04")
        << 0 << true << 0.04f << false << QStringLiteral("46.9") << QStringLiteral("6.9");
}

void TestLegend::labels() {
    QFETCH(int, mode);
    QFETCH(bool, showTemperatures);
    QFETCH(float, resolution);
    QFETCH(bool, biColour);
    QFETCH(QString, top);
    QFETCH(QString, bottom);
    DataConverter converter;
    convert(converter, 7000, 8000, mode, true, 7250, 7500, false);
    QImage image(640, 512, QImage::Format_RGB888);
    const QImage legendImage =
        converter.generateLegendForImage(image, showTemperatures, resolution, biColour);
    QCOMPARE(legendImage.size(), QSize(61, 512));
    const QImage expected = expectedLegend(uint(mode), false, 512, top, bottom);
    QCOMPARE(legendImage.convertToFormat(QImage::Format_RGB32),
             expected.convertToFormat(QImage::Format_RGB32));
    // The labels are really there: white text near both baselines.
    const QImage bare =
        legend::loadLegendStrip(uint(mode), false).scaled(61, 512, Qt::IgnoreAspectRatio);
    QVERIFY(legendImage.copy(13, 0, 48, 16).convertToFormat(QImage::Format_RGB32) !=
            bare.copy(13, 0, 48, 16).convertToFormat(QImage::Format_RGB32));
    QVERIFY(legendImage.copy(13, 490, 48, 15).convertToFormat(QImage::Format_RGB32) !=
            bare.copy(13, 490, 48, 15).convertToFormat(QImage::Format_RGB32));
}

void TestLegend::widenedSizes_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("widened");
    QTest::addColumn<QRgb>("top");
    QTest::addColumn<QRgb>("bottom");
    // Row y of the squeezed strip samples strip row (y + 0.5) * 640 / height,
    // which shows raw 640 - row: the top rows 0, 1, 2 and the bottom rows 639
    // (raw 1), 638 (raw 2, s = 0) and 637 (raw 3, s = 1).
    QTest::newRow("640 x 512") << QSize(640, 512) << QSize(701, 512) << rgb(255, 253, 251)
                               << rgb(0, 0, 0);
    QTest::newRow("336 x 256") << QSize(336, 256) << QSize(397, 256) << rgb(255, 252, 249)
                               << rgb(0, 0, 0);
    QTest::newRow("160 x 128") << QSize(160, 128) << QSize(221, 128) << rgb(255, 252, 246)
                               << rgb(0, 0, 1);
}

void TestLegend::widenedSizes() {
    QFETCH(QSize, size);
    QFETCH(QSize, widened);
    QFETCH(QRgb, top);
    QFETCH(QRgb, bottom);
    DataConverter converter;
    convert(converter, 7000, 8000, 1, false, 0, 0, false);
    QImage image(size, QImage::Format_RGB888);
    image.fill(QColor(1, 2, 3));
    const QImage legendImage = converter.generateLegendForImage(image, true, 0.04f, false);
    QCOMPARE(legendImage.height(), size.height());
    const QImage result = legend::appendLegend(image, legendImage);
    QCOMPARE(result.size(), widened);
    QCOMPARE(result.format(), QImage::Format_RGB888);
    QCOMPARE(result.pixel(0, 0), rgb(1, 2, 3));
    QCOMPARE(result.pixel(size.width() - 1, size.height() - 1), rgb(1, 2, 3));
    // The strip squeezed to the image height, nearest row by row.
    QCOMPARE(result.pixel(size.width() + 5, 0), top);
    QCOMPARE(result.pixel(size.width() + 5, size.height() - 1), bottom);
    QCOMPARE(result.pixel(widened.width() - 1, size.height() / 2), rgb(0, 0, 0));
}

void TestLegend::invertedStripSelected() {
    DataConverter converter;
    convert(converter, 7000, 8000, 2, false, 0, 0, true);
    QImage image(336, 256, QImage::Format_RGB888);
    const QImage legendImage = converter.generateLegendForImage(image, false, 4.0f, false);
    // Arctic inverted; 256 rows sample strip row 1 (raw 639, s = 997) at the
    // top: (230, 228, 223) inverted; row 638 (raw 2, s = 1, (0, 0, 1)) at the
    // bottom.
    QCOMPARE(legendImage.pixel(2, 0), rgb(25, 27, 32));
    QCOMPARE(legendImage.pixel(2, 255), rgb(255, 255, 254));

    // The next conversion without inversion switches back to the plain strip.
    convert(converter, 7000, 8000, 2, false, 0, 0, false);
    const QImage plain = converter.generateLegendForImage(image, false, 4.0f, false);
    QCOMPARE(plain.pixel(2, 0), rgb(230, 228, 223));
    QCOMPARE(plain.pixel(2, 255), rgb(0, 0, 1));
}

void TestLegend::colourModeAboveThreeHasNoLegend() {
    DataConverter converter;
    convert(converter, 7000, 8000, 4, false, 0, 0, false);
    QImage image(640, 512, QImage::Format_RGB888);
    image.fill(Qt::white);
    const QImage legendImage = converter.generateLegendForImage(image, true, 0.04f, false);
    QVERIFY(legendImage.isNull());
    QVERIFY(legend::loadLegendStrip(4, false).isNull());
    const QImage result = legend::appendLegend(image, legendImage);
    QCOMPARE(result.size(), QSize(640, 512));
    QCOMPARE(result.pixel(639, 511), rgb(255, 255, 255));
}

void TestLegend::degenerateImages() {
    DataConverter converter;
    convert(converter, 7000, 8000, 1, false, 0, 0, false);
    QImage oneRow(100, 1, QImage::Format_RGB888);
    oneRow.fill(Qt::white);
    const QImage thin = converter.generateLegendForImage(oneRow, true, 0.04f, false);
    QCOMPARE(thin.size(), QSize(61, 1));
    QCOMPARE(legend::appendLegend(oneRow, thin).size(), QSize(161, 1));

    QImage null;
    QVERIFY(converter.generateLegendForImage(null, true, 0.04f, false).isNull());
    QVERIFY(legend::appendLegend(null, thin).isNull());
    QVERIFY(legend::appendLegend(QImage(), QImage()).isNull());
}

void TestLegend::appendLegendKeepsFormat() {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30));
    QImage strip(2, 2, QImage::Format_RGB888);
    strip.fill(QColor(200, 100, 50));
    const QImage result = legend::appendLegend(image, strip);
    QCOMPARE(result.format(), QImage::Format_ARGB32);
    QCOMPARE(result.size(), QSize(5, 2));
    QCOMPARE(result.pixel(2, 1), rgb(10, 20, 30));
    QCOMPARE(result.pixel(3, 0), rgb(200, 100, 50));
    QCOMPARE(result.pixel(4, 1), rgb(200, 100, 50));

    // A shorter legend leaves the rest of its column black, not undefined.
    QImage shortStrip(2, 1, QImage::Format_RGB888);
    shortStrip.fill(Qt::white);
    const QImage partial = legend::appendLegend(image, shortStrip);
    QCOMPARE(partial.pixel(4, 0), rgb(255, 255, 255));
    QCOMPARE(partial.pixel(4, 1), rgb(0, 0, 0));
}

QTEST_MAIN(TestLegend)
#include "tst_legend.moc"
