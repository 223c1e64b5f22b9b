#include "conversion/FrameRenderer.h"
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
            QCOMPARE(legend::legendResourceName(mode, inverted),
                     QStringLiteral(":/legends/640_%1_%2_black.png").arg(mode).arg(inverted));
            const QImage image = legend::loadLegendStrip(mode, inverted);
            QCOMPARE(image.size(), QSize(61, 640));
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
    // of a 256-row legend samples strip row 1 (raw 639; arctic s = 997, (230, 228, 223),
    // inverted (25, 27, 32)). Each conversion's mode and inversion choose the
    // strip; colour mode 4 has none, and then nothing is added. The bottom row
    // samples raw 2, which is black in iron and s = 1, (0, 0, 1), in arctic.
    void widened_data() {
        QTest::addColumn<QList<int>>("conversion"); // mode, inverted, width, height
        // size, the last image pixel, the bar's top and bottom pixels
        QTest::addColumn<QString>("shown");
        QTest::newRow("iron 640") << QList<int>{1, 0, 640, 512}
                                  << "701x512 ff010203 fffffdfb ff000000";
        QTest::newRow("iron 336") << QList<int>{1, 0, 336, 256}
                                  << "397x256 ff010203 fffffcf9 ff000000";
        QTest::newRow("arctic inverted")
            << QList<int>{2, 1, 336, 256} << "397x256 ff010203 ff191b20 fffffffe";
        QTest::newRow("one row") << QList<int>{1, 0, 100, 1} << "161x1 ff010203 ffe04a56 ffe04a56";
        QTest::newRow("null image") << QList<int>{1, 0, 0, 0} << "no legend 0x0";
        QTest::newRow("mode 4") << QList<int>{4, 0, 336, 256} << "no legend 336x256 ff010203";
    }
    void widened() {
        QFETCH(QList<int>, conversion);
        DataConverter converter;
        convert(converter, conversion[0], conversion[1]);
        const int w = conversion[2], h = conversion[3];
        QImage image = w ? QImage(w, h, QImage::Format_RGB888) : QImage();
        image.fill(QColor(1, 2, 3));
        const QImage legend = converter.generateLegendForImage(image, true, 0.04f, false);
        const QImage result = legend::appendLegend(image, legend);
        QString shown = QString(legend.isNull() ? "no legend " : "") +
                        QString::asprintf("%dx%d", result.width(), result.height());
        for (QPoint p : {QPoint(w - 1, h - 1), QPoint(w + 2, 0), QPoint(w + 2, h - 1)})
            if (result.valid(p))
                shown += QString::asprintf(" %x", result.pixel(p));
        QTEST(shown, "shown");
        QVERIFY(result.isNull() || result.format() == QImage::Format_RGB888);
    }
    // The rendered picture of a 64 x 48 frame: where its top-right pixel and
    // pixel (23, 5) land, as x, y, x, y (positive angles clockwise), and
    // every pixel as Qt turns the unturned picture. The 61-pixel legend
    // strip is added after the turn, beside the picture, upright.
    void turnedPicture_data() {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<bool>("legend");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<int>>("landing");
        QTest::newRow("90") << 90 << false << QSize(48, 64) << QList<int>{47, 63, 42, 23};
        QTest::newRow("-90") << -90 << false << QSize(48, 64) << QList<int>{0, 0, 5, 40};
        QTest::newRow("180") << 180 << false << QSize(64, 48) << QList<int>{0, 47, 40, 42};
        QTest::newRow("0 legend") << 0 << true << QSize(125, 48) << QList<int>{63, 0, 23, 5};
        QTest::newRow("90 legend") << 90 << true << QSize(109, 64) << QList<int>{47, 63, 42, 23};
    }
    void turnedPicture() {
        QFETCH(int, rotation);
        QFETCH(bool, legend);
        QFETCH(QList<int>, landing);
        kx::DecodedFrame frame;
        frame.width = 64;
        frame.height = 48;
        for (uint32_t i = 0; i < 64 * 48; ++i) // neighbours far apart in the palette
            frame.raw.push_back(uint16_t(6000 + (i % 64 * 37 + i / 64 * 101) % 2000));
        kx::ConversionSettings settings;
        settings.colorMode = 3;
        settings.rotation = rotation;
        settings.legendVisible = legend;
        kx::FrameRenderer renderer;
        QImage plain, picture;
        QVERIFY(renderer.renderConverted(frame, settings, false, plain));
        QVERIFY(renderer.render(frame, settings, false, picture));
        QTEST(picture.size(), "size");
        QCOMPARE(QList<QRgb>({picture.pixel(landing[0], landing[1]),
                              picture.pixel(landing[2], landing[3])}),
                 QList<QRgb>({plain.pixel(63, 0), plain.pixel(23, 5)}));
        const QImage turned = plain.transformed(QTransform().rotate(rotation));
        QCOMPARE(picture.copy(turned.rect()), turned);
        if (legend) {
            // The colour bar runs top to bottom 5 pixels into the strip; the
            // strip is black between the labels.
            const int bar = picture.width() - 61 + 5;
            QVERIFY(picture.pixel(bar, 20) != picture.pixel(bar, 44));
            QCOMPARE(picture.pixel(bar + 25, 22), qRgb(0, 0, 0));
        }
    }
};

QTEST_MAIN(TestLegend)
#include "tst_legend.moc"
