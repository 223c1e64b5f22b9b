#include "export/HotspotMarker.h"

#include <QImage>
#include <QtTest>

class TestHotspotMarker : public QObject {
    Q_OBJECT
private slots:
    void pixels_data();
    void pixels();
    void clippedAtTheCorner();
};

void TestHotspotMarker::pixels_data() {
    // Marker at (15, 15): the black outline is drawn on the square from 5 to
    // 25 with a 3-pixel pen (columns and rows 4 to 6 and 24 to 26); the white
    // 1-pixel outline on the square from 4 to 26 then covers the outermost
    // black pixels. Black is left at 5, 6, 24 and 25; white at 4 and 26.
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QString>("colour");
    QTest::newRow("white top-left corner") << 4 << 4 << "white";
    QTest::newRow("black inside it") << 5 << 5 << "black";
    QTest::newRow("black second") << 6 << 6 << "black";
    QTest::newRow("inside the square") << 7 << 7 << "gray";
    QTest::newRow("hot spot itself untouched") << 15 << 15 << "gray";
    QTest::newRow("left edge, white") << 4 << 15 << "white";
    QTest::newRow("left edge, black") << 5 << 15 << "black";
    QTest::newRow("right edge, black inner") << 24 << 15 << "black";
    QTest::newRow("right edge, black outer") << 25 << 15 << "black";
    QTest::newRow("right edge, white") << 26 << 15 << "white";
    QTest::newRow("right of the marker") << 27 << 15 << "gray";
    QTest::newRow("bottom edge, black") << 15 << 25 << "black";
    QTest::newRow("bottom edge, white") << 15 << 26 << "white";
    QTest::newRow("above the marker") << 15 << 3 << "gray";
    QTest::newRow("below the marker") << 15 << 27 << "gray";
    QTest::newRow("inner side of the black") << 23 << 23 << "gray";
}

static QString colourName(QRgb p) {
    if (p == qRgb(0, 0, 0))
        return QStringLiteral("black");
    if (p == qRgb(255, 255, 255))
        return QStringLiteral("white");
    if (p == qRgb(128, 128, 128))
        return QStringLiteral("gray");
    return QStringLiteral("other %1").arg(p, 8, 16);
}

void TestHotspotMarker::pixels() {
    QFETCH(int, x);
    QFETCH(int, y);
    QImage image(32, 32, QImage::Format_RGB888);
    image.fill(QColor(128, 128, 128));
    kx::paintHotspotMarker(image, 15, 15);
    QTEST(colourName(image.pixel(x, y)), "colour");
}

void TestHotspotMarker::clippedAtTheCorner() {
    // A hot spot in the corner draws what fits and nothing outside.
    QImage image(12, 12, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    kx::paintHotspotMarker(image, 0, 0);
    QCOMPARE(colourName(image.pixel(9, 0)), QStringLiteral("black"));
    QCOMPARE(colourName(image.pixel(10, 9)), QStringLiteral("black"));
    QCOMPARE(colourName(image.pixel(11, 0)), QStringLiteral("white"));
    QCOMPARE(colourName(image.pixel(0, 11)), QStringLiteral("white"));
    QCOMPARE(colourName(image.pixel(3, 3)), QStringLiteral("gray"));
}

QTEST_MAIN(TestHotspotMarker)
#include "tst_hotspotmarker.moc"
