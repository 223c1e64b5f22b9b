#include "conversion/Legend.h"
#include "recording/DataConverter.h"

#include <QPainter>
#include <QtTest>

namespace {
// Converts a frame with the window 7000..8000 and the bi-colour window 7250..7500.
void convert(DataConverter& converter, int mode, bool inverted) {
    converter.setRawFrame(std::vector<uint16_t>(100, 7500), 10, 10);
    QImage image(10, 10, QImage::Format_RGB888);
    QVERIFY(converter.changeImageParameters(7000, 8000, mode, true, 7250, 7500, inverted, image));
}

} // namespace

class TestLegend : public QObject {
    Q_OBJECT
private slots:
    // Row y of a strip shows raw 640 - y over the window 1..640: row 320 is
    // s = 249 in iron, 498 in arctic and 398 in rainbow; the bottom row is black.
    void strips_data() {
        QTest::addColumn<uint>("mode");
        QTest::addColumn<QList<QRgb>>("rows"); // rows 0, 320 and 639 of the bar
        QTest::newRow("grey") << 0u << QList<QRgb>{qRgb(255, 255, 255), qRgb(127, 127, 127), 0};
        QTest::newRow("iron") << 1u << QList<QRgb>{qRgb(255, 253, 251), qRgb(224, 74, 86), 0};
        QTest::newRow("arctic") << 2u << QList<QRgb>{qRgb(230, 229, 227), qRgb(164, 47, 92), 0};
        QTest::newRow("rainbow") << 3u << QList<QRgb>{qRgb(254, 252, 252), qRgb(1, 87, 5), 0};
    }
    void strips() {
        QFETCH(uint, mode);
        QFETCH(QList<QRgb>, rows);
        for (bool inverted : {false, true}) {
            const QString name =
                QStringLiteral(":/legends/640_%1_%2_black.png").arg(mode).arg(inverted);
            QCOMPARE(legend::legendResourceName(mode, inverted), name);
            QFile file(name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            // IHDR: 61 x 640, 8-bit grey for grayscale, 8-bit RGB for the palettes
            QCOMPARE(file.read(26).mid(12).toHex(),
                     QByteArray("494844520000003d00000280080") + (mode ? "2" : "0"));
            const QImage image = legend::loadLegendStrip(mode, inverted);
            for (int x = 0; x < 10; ++x)
                for (int i = 0; i < 3; ++i)
                    QCOMPARE(image.pixel(x, 320 * i - i / 2) & 0xffffff,
                             (inverted ? ~rows[i] : rows[i]) & 0xffffff); // inverted: 255 - c
            QCOMPARE(image.pixel(10, 320), qRgb(0, 0, 0));                // black right of the bar
            QCOMPARE(image.pixel(60, 0), qRgb(0, 0, 0));
        }
    }

    // White labels in the default font, baselines at (13, 15) and (13, height - 8),
    // from the window or the bi-colour window at 0.04 K, or words without radiometry.
    void labels() {
        DataConverter converter;
        convert(converter, 1, false);
        QImage image(640, 300, QImage::Format_RGB888);
        const QImage bare = QImage(":/legends/640_1_0_black.png")
                                .scaled(61, 300)
                                .convertToFormat(QImage::Format_RGB32);
        for (const QStringList& c :
             {QStringList{"0", "1", "high", "low"}, QStringList{"1", "0", "46.9", "6.9"},
              QStringList{"1", "1", "26.9", "16.9"}}) {
            QImage expected = bare;
            QPainter painter(&expected);
            painter.setPen(Qt::white);
            painter.drawText(QPoint(13, 15), c[2]);
            painter.drawText(QPoint(13, 292), c[3]);
            painter.end();
            QVERIFY(expected != bare);
            const float resolution = c[0] == "1" ? 0.04f : 4.0f;
            QCOMPARE(converter.generateLegendForImage(image, c[0] == "1", resolution, c[1] == "1")
                         .convertToFormat(QImage::Format_RGB32),
                     expected);
        }
        QCOMPARE(legend::temperatureLabel(7500, 0.4f), QStringLiteral("2726.8")); // 2726.8499...
        QCOMPARE(legend::temperatureLabel(6830, 0.04f), QStringLiteral("0.0"));   // 273.19998 K
    }

    // The strip is squeezed to the image height, nearest row by row: the top row
    // of a 256-row legend samples strip row 1 (raw 639; arctic s = 997, (230, 228, 223)).
    void widened() {
        DataConverter converter;
        convert(converter, 1, false);
        for (QSize size : {QSize(640, 512), QSize(336, 256)}) {
            QImage image(size, QImage::Format_RGB888);
            image.fill(QColor(1, 2, 3));
            const QImage result = legend::appendLegend(
                image, converter.generateLegendForImage(image, true, 0.04f, false));
            QCOMPARE(result.size(), QSize(size.width() + 61, size.height()));
            QCOMPARE(result.format(), QImage::Format_RGB888);
            QCOMPARE(result.pixel(size.width() - 1, size.height() - 1), qRgb(1, 2, 3));
            QCOMPARE(result.pixel(size.width() + 5, 0),
                     size.height() == 512 ? qRgb(255, 253, 251) : qRgb(255, 252, 249));
            QCOMPARE(result.pixel(size.width() + 5, size.height() - 1), qRgb(0, 0, 0));
        }
        // Each conversion's mode and inversion choose the strip.
        QImage image(336, 256, QImage::Format_RGB888), oneRow(100, 1, QImage::Format_RGB888), null;
        convert(converter, 2, true);
        QCOMPARE(converter.generateLegendForImage(image, false, 4.0f, false).pixel(2, 0),
                 qRgb(25, 27, 32));
        convert(converter, 2, false);
        QCOMPARE(converter.generateLegendForImage(image, false, 4.0f, false).pixel(2, 0),
                 qRgb(230, 228, 223));
        const QImage thin = converter.generateLegendForImage(oneRow, true, 0.04f, false);
        QCOMPARE(legend::appendLegend(oneRow, thin).size(), QSize(161, 1));
        QVERIFY(converter.generateLegendForImage(null, true, 0.04f, false).isNull());
        QVERIFY(legend::appendLegend(null, thin).isNull());
        // Colour mode 4 has no strip: no legend, and nothing is added.
        convert(converter, 4, false);
        QVERIFY(converter.generateLegendForImage(image, true, 0.04f, false).isNull());
        QCOMPARE(legend::appendLegend(image, QImage()).size(), QSize(336, 256));
    }
};

QTEST_MAIN(TestLegend)
#include "tst_legend.moc"
