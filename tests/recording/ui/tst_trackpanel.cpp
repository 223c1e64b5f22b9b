#include "recording/MovieIndex.h"
#include "recording/ui/TrackPanel.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QFile>
#include <QtTest>
#include <QtWidgets>

namespace {

// An L: north along the meridian, then east; frame 4 has no position.
std::vector<flighttrack::Position> ell() {
    std::vector<flighttrack::Position> track;
    for (int i = 0; i < 5; ++i)
        track.push_back({47.0 + 0.001 * i, 8.0, 480.0, true});
    for (int i = 1; i <= 5; ++i)
        track.push_back({47.004, 8.0 + 0.001 * i, 480.0, true});
    track[3].valid = false;
    return track;
}

QString flightMovie(int frames, ksDefines::serialContent& kind) {
    synth::MovieOptions options;
    options.frames = frames;
    options.scene.width = 160;
    options.scene.height = 120;
    options.telemetry = synth::Telemetry::Nmea;
    kind = ksDefines::NMEA;
    const QString path = testsupport::scratchDir() + QStringLiteral("/flight.THM");
    if (!synth::writeFile(path, synth::makeMovie(options)))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

movieindex::ScanResult index(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return movieindex::scanMovie(file, file.size(), 1 << 20);
}

void click(QWidget* widget, const QPointF& at) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at.toPoint());
}

} // namespace

class TestTrackPanel : public QObject {
    Q_OBJECT
private slots:
    void clickJumpsToTheNearestFrame();
    void anotherFileCancelsTheReading();
};

void TestTrackPanel::clickJumpsToTheNearestFrame() {
    TrackPanel panel;
    panel.resize(300, 300);
    panel.setTrack(ell());
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    TrackCanvas* canvas = panel.canvas();
    QSignalSpy requested(&panel, &TrackPanel::frameRequested);
    // North is up: the track's last frame lies to the east of its first.
    QVERIFY(canvas->pointOfFrame(1).y() > canvas->pointOfFrame(5).y());
    QVERIFY(canvas->pointOfFrame(10).x() > canvas->pointOfFrame(5).x());
    QVERIFY(canvas->pointOfFrame(4).isNull());
    click(canvas, canvas->pointOfFrame(7) + QPointF(2, 3));
    // Frame 4 has no position: a click a little towards it goes to frame 3.
    const QPointF towards4 = canvas->pointOfFrame(5) - canvas->pointOfFrame(3);
    click(canvas,
          canvas->pointOfFrame(3) + towards4 * (10.0 / std::hypot(towards4.x(), towards4.y())));
    click(canvas, canvas->pointOfFrame(10) + QPointF(-1, 0));
    QCOMPARE(requested.size(), 3);
    QCOMPARE(requested[0][0].toInt(), 7);
    QCOMPARE(requested[1][0].toInt(), 3);
    QCOMPARE(requested[2][0].toInt(), 10);
    // Far off the track, and midway between frames 3 and 5 (both out of
    // reach), nothing happens.
    click(canvas, canvas->pointOfFrame(1) + QPointF(TrackCanvas::kClickRadiusPx + 20, 0));
    QVERIFY(QLineF(canvas->pointOfFrame(3), canvas->pointOfFrame(5)).length() >
            2 * TrackCanvas::kClickRadiusPx);
    click(canvas, (canvas->pointOfFrame(3) + canvas->pointOfFrame(5)) / 2);
    QCOMPARE(requested.size(), 3);
}

void TestTrackPanel::anotherFileCancelsTheReading() {
    ksDefines::serialContent kind;
    const QString path = flightMovie(400, kind);
    const movieindex::ScanResult scan = index(path);
    TrackPanel panel;
    QSignalSpy ready(&panel, &TrackPanel::trackReady);
    panel.load(path, scan.offsets, scan.sizes, scan.version, kind);
    // A picture opened now: the movie's track must not arrive after it.
    panel.clear(QStringLiteral("No movie open."));
    QVERIFY(!panel.isLoading());
    QTest::qWait(200);
    QCOMPARE(ready.size(), 0);
    QVERIFY(panel.track().empty());
}

QTEST_MAIN(TestTrackPanel)
#include "tst_trackpanel.moc"
