#include "conversion/Measurement.h"

#include <QImage>
#include <QtTest>

using kx::measure::Kind;
using kx::measure::Scale;
using kx::measure::Statistics;
using kx::measure::Tool;
using Points = std::vector<QPoint>;
Q_DECLARE_METATYPE(Points)
Q_DECLARE_METATYPE(Tool)

namespace {

// raw(x, y) = base + 10 x + 100 y over 8 x 6 pixels.
kx::DecodedFrame gradient(uint16_t base) {
    kx::DecodedFrame frame;
    frame.width = 8;
    frame.height = 6;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            frame.raw.push_back(uint16_t(base + 10 * x + 100 * y));
    return frame;
}

Tool tool(Kind kind, QPoint from, QPoint to = QPoint()) {
    Tool t;
    t.kind = kind;
    t.from = from;
    t.to = to;
    t.label = QStringLiteral("T");
    return t;
}

} // namespace

class TestMeasurement : public QObject {
    Q_OBJECT
private slots:
    void gradientStatistics_data();
    void gradientStatistics();
    void linePixels_data();
    void linePixels();
    void planckLeavesOutCountsBelowItsOffset();
    void frameToCanvasFollowsTheTurnedImage_data();
    void frameToCanvasFollowsTheTurnedImage();
    void clipboardTable();
};

void TestMeasurement::gradientStatistics_data() {
    QTest::addColumn<Tool>("tool");
    QTest::addColumn<bool>("celsius");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("mean");
    QTest::addColumn<QPoint>("minAt");
    QTest::addColumn<QPoint>("maxAt");
    // Base 7000: 7120 .. 7340 counts, mean 7230.
    const Tool box = tool(Kind::Box, QPoint(2, 1), QPoint(4, 3));
    QTest::newRow("box raw") << box << false << 9 << 7120.0 << 7340.0 << 7230.0 << QPoint(2, 1)
                             << QPoint(4, 3);
    QTest::newRow("box corners swapped")
        << tool(Kind::Box, QPoint(4, 3), QPoint(2, 1)) << false << 9 << 7120.0 << 7340.0 << 7230.0
        << QPoint(2, 1) << QPoint(4, 3);
    // 7120 x 0.04 K = 284.8 K, 7340 -> 293.6 K, 7230 -> 289.2 K.
    QTest::newRow("box high gain")
        << box << true << 9 << 11.65 << 20.45 << 16.05 << QPoint(2, 1) << QPoint(4, 3);
    // Columns 6-7 and rows 4-5 lie inside: 7460, 7470, 7560, 7570.
    QTest::newRow("box over the edge")
        << tool(Kind::Box, QPoint(6, 4), QPoint(20, 30)) << false << 4 << 7460.0 << 7570.0 << 7515.0
        << QPoint(6, 4) << QPoint(7, 5);
    QTest::newRow("box outside") << tool(Kind::Box, QPoint(8, 0), QPoint(12, 3)) << false << 0
                                 << 0.0 << 0.0 << 0.0 << QPoint() << QPoint();
    QTest::newRow("spot") << tool(Kind::Spot, QPoint(3, 2)) << false << 1 << 7230.0 << 7230.0
                          << 7230.0 << QPoint(3, 2) << QPoint(3, 2);
    QTest::newRow("spot outside") << tool(Kind::Spot, QPoint(-1, 2)) << false << 0 << 0.0 << 0.0
                                  << 0.0 << QPoint() << QPoint();
    // The vertical line at column 5 from row 5 up to row 0: the first pixel
    // visited is the bottom one, which holds the maximum.
    QTest::newRow("line upwards") << tool(Kind::Line, QPoint(5, 5), QPoint(5, 0)) << false << 6
                                  << 7050.0 << 7550.0 << 7300.0 << QPoint(5, 0) << QPoint(5, 5);
}

void TestMeasurement::gradientStatistics() {
    QFETCH(Tool, tool);
    QFETCH(bool, celsius);
    const Scale scale = celsius ? Scale::tLinear(0.04f) : Scale::raw();
    const Statistics stats = kx::measure::measure(gradient(7000), tool, scale);
    QTEST(stats.pixels, "pixels");
    if (stats.pixels == 0)
        return;
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, mean);
    // T-linear values are formed in float, as the read-out forms them.
    QVERIFY2(std::abs(stats.min - min) < 1e-3, qPrintable(QString::number(stats.min)));
    QVERIFY2(std::abs(stats.max - max) < 1e-3, qPrintable(QString::number(stats.max)));
    QVERIFY2(std::abs(stats.mean - mean) < 1e-3, qPrintable(QString::number(stats.mean)));
    QTEST(stats.minAt, "minAt");
    QTEST(stats.maxAt, "maxAt");
}

void TestMeasurement::linePixels_data() {
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<Points>("pixels");
    QTest::newRow("single") << QPoint(3, 3) << QPoint(3, 3) << Points{{3, 3}};
    // y = 3x/8 rounded, the tie at x = 4 rounding up.
    QTest::newRow("shallow") << QPoint(0, 0) << QPoint(8, 3)
                             << Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2},
                                       {5, 2}, {6, 2}, {7, 3}, {8, 3}};
    // x = 2y/5 rounded.
    QTest::newRow("steep backwards")
        << QPoint(2, 5) << QPoint(0, 0) << Points{{2, 5}, {2, 4}, {1, 3}, {1, 2}, {0, 1}, {0, 0}};
}

void TestMeasurement::linePixels() {
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QTEST(kx::measure::linePixels(from, to), "pixels");
}

void TestMeasurement::planckLeavesOutCountsBelowItsOffset() {
    // 100 counts lie below the offset of 5030: no temperature.
    kx::DecodedFrame frame;
    frame.width = 2;
    frame.height = 1;
    frame.raw = {100, 7500};
    const Statistics stats =
        kx::measure::measure(frame, tool(Kind::Box, QPoint(0, 0), QPoint(1, 0)),
                             Scale::planck(kx::radiometry::PlanckConstants()));
    QCOMPARE(stats.pixels, 1);
    // 1600 / ln(16030 / (2470 x 0.0953) + 1) - 273.15
    QVERIFY2(std::abs(stats.mean - 104.605) < 1e-3, qPrintable(QString::number(stats.mean)));
    QCOMPARE(stats.maxAt, QPoint(1, 0));
}

void TestMeasurement::frameToCanvasFollowsTheTurnedImage_data() {
    QTest::addColumn<int>("rotation");
    for (int rotation : {0, 90, 180, -90})
        QTest::addRow("%d", rotation) << rotation;
}

void TestMeasurement::frameToCanvasFollowsTheTurnedImage() {
    // Every pixel's centre lands on that pixel in the picture the view turns.
    QFETCH(int, rotation);
    QImage image(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, qRgb(x * 40, y * 80, 7));
    QTransform turn;
    turn.rotate(rotation);
    const QImage turned = image.transformed(turn, Qt::FastTransformation);
    const QTransform map = kx::measure::frameToCanvas(rotation, 5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const QPointF c = map.map(QPointF(x + 0.5, y + 0.5));
            QCOMPARE(turned.pixel(int(c.x()), int(c.y())), image.pixel(x, y));
            QCOMPARE(kx::measure::canvasToFrame(rotation, 5, 3, c), QPoint(x, y));
        }
}

void TestMeasurement::clipboardTable() {
    Tool spot = tool(Kind::Spot, QPoint(3, 2));
    spot.label = QStringLiteral("S1");
    Tool box = tool(Kind::Box, QPoint(2, 1), QPoint(4, 3));
    box.label = QStringLiteral("B2");
    Tool gone = tool(Kind::Line, QPoint(20, 20), QPoint(30, 30));
    gone.label = QStringLiteral("L3");
    const Scale scale = Scale::tLinear(0.04f);
    const kx::DecodedFrame frame = gradient(7000);
    std::vector<Statistics> stats;
    for (const Tool& t : {spot, box, gone})
        stats.push_back(kx::measure::measure(frame, t, scale));
    QCOMPARE(kx::measure::table({spot, box, gone}, stats, scale),
             QStringLiteral("Tool\tType\tFrom\tTo\tPixels\tMin [\u00B0C]\tMax [\u00B0C]\t"
                            "Mean [\u00B0C]\tMin at\tMax at\n"
                            "S1\tSpot\t(3, 2)\t\t1\t16.05\t16.05\t16.05\t\t\n"
                            "B2\tBox\t(2, 1)\t(4, 3)\t9\t11.65\t20.45\t16.05\t(2, 1)\t(4, 3)\n"
                            "L3\tLine\t(20, 20)\t(30, 30)\t0\t\t\t\t\t\n"));
}

QTEST_GUILESS_MAIN(TestMeasurement)
#include "tst_measurement.moc"
