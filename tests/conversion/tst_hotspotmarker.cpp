#include "conversion/HotspotMarker.h"

#include <QImage>
#include <QtTest>

namespace {
// The pixels from (x, y) on in steps of (dx, dy): '.' gray, 'b' black, 'w'
// white.
QString trace(const QImage& image, int x, int y, int dx, int dy, int count) {
    QString s;
    for (int i = 0; i < count; ++i, x += dx, y += dy) {
        const QRgb p = image.pixel(x, y);
        s += p == qRgb(128, 128, 128) ? '.'
             : p == qRgb(0, 0, 0)     ? 'b'
             : p == 0xffffffff        ? 'w'
                                      : '?';
    }
    return s;
}

QImage marked(int size, QImage::Format format, unsigned x, unsigned y) {
    QImage image(size, size, format);
    image.fill(QColor(128, 128, 128));
    kx::paintHotspotMarker(image, x, y);
    return image;
}
} // namespace

class TestHotspotMarker : public QObject {
    Q_OBJECT
private slots:
    void square() {
        // Marker at (15, 15): the black outline is drawn on the square from 5
        // to 25 with a 3-pixel pen (4 to 6 and 24 to 26); the white 1-pixel
        // outline on the square from 4 to 26 then covers the outermost black
        // pixels. The hot spot itself stays untouched.
        const QImage image = marked(32, QImage::Format_RGB888, 15, 15);
        const QString across = ".wbb" + QString(17, '.') + "bbw.";
        QCOMPARE((QStringList{trace(image, 3, 15, 1, 0, 25), trace(image, 15, 3, 0, 1, 25),
                              trace(image, 3, 3, 1, 1, 25)}),
                 (QStringList{across, across, across}));
    }
    void clippedAtTheCorner() {
        // A hot spot in the corner draws what fits and nothing outside.
        const QImage image = marked(12, QImage::Format_RGB32, 0, 0);
        QCOMPARE(trace(image, 0, 0, 1, 0, 12) + '|' + trace(image, 10, 0, 0, 1, 12) + '|' +
                     trace(image, 0, 11, 1, 0, 11) + '|' + trace(image, 3, 3, 1, 1, 6),
                 ".........bbw|bbbbbbbbbbbw|wwwwwwwwwww|......");
    }
};

QTEST_MAIN(TestHotspotMarker)
#include "tst_hotspotmarker.moc"
