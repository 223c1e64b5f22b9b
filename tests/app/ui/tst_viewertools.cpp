// The viewer's measurement tools, timeline, flight track and serial dump,
// driven with the mouse and keys as a user drives them.

#include "app/ui/WindowTestSupport.h"
#include "conversion/Measurement.h"
#include "conversion/ui/MeasurementTools.h"
#include "conversion/ui/RawConvertConfig.h"
#include "recording/ui/TimelineMarks.h"
#include "recording/ui/TrackPanel.h"
#include "telemetry/ui/SerialDataExplorer.h"

#include <QSplitter>

using namespace windowtest;

class TestViewerTools : public QObject, Fixture {
    Q_OBJECT

    MeasurementTools* tools() const { return window->findChild<MeasurementTools*>(); }
    // The viewport position of frame pixel (x, y) as the view shows it now.
    QPoint onScreen(int x, int y) const {
        const QTransform map =
            kx::measure::frameToCanvas(window->rawConfig()->getRotation(), kWidth, kHeight);
        return view()->mapFromScene(map.map(QPointF(x + 0.5, y + 0.5)));
    }
    void drag(const char* action, QPoint from, QPoint to) {
        get<QAction>(action)->setChecked(true);
        QWidget* viewport = view()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, onScreen(from.x(), from.y()));
        QMouseEvent move(QEvent::MouseMove, onScreen(to.x(), to.y()), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, onScreen(to.x(), to.y()));
    }
    synth::MovieOptions flight(synth::Telemetry telemetry, int frames) const {
        synth::MovieOptions options = smallMovie(frames, true);
        options.telemetry = telemetry;
        options.frameIntervalS = 1.0;
        options.flight.speedMS = 30.0;
        return options;
    }

private slots:
    void initTestCase() {
        dir = testsupport::freshDir(QStringLiteral("tools"));
        QVERIFY(synth::writeFile(path("ramp.THR"), rampFrame(80, 60, 9000)));
        synth::MovieOptions marked = smallMovie(10, true);
        marked.version = 5;
        marked.ffcFrames = {3, 7};
        marked.counterGapsAfter = {5};
        QVERIFY(synth::writeFile(path("marked.TMC"), synth::makeMovie(marked)));
        QVERIFY(synth::writeFile(path("nmea.TMC"),
                                 synth::makeMovie(flight(synth::Telemetry::Nmea, 30))));
        QVERIFY(synth::writeFile(path("mavlink.TMC"),
                                 synth::makeMovie(flight(synth::Telemetry::MAVLink, 3))));
    }
    void init() { start(true); }
    void cleanup() { window->rawConfig()->setRotation(0); }

    void boxAndLineOnTheFrameWhateverTheTurn_data() {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("zoomSteps");
        for (int rotation : {0, 90, 180, -90})
            QTest::addRow("%d", rotation) << rotation << 0;
        QTest::newRow("90 zoomed in") << 90 << 3;
    }
    void boxAndLineOnTheFrameWhateverTheTurn() {
        QFETCH(int, rotation);
        QFETCH(int, zoomSteps);
        window->rawConfig()->setRotation(rotation);
        QVERIFY(window->openInputFile(path("ramp.THR")));
        for (int step = 0; step < zoomSteps; ++step)
            trigger("actionZoom_in");
        // Pixel (x, y) holds 1000 + x + 50 y; (80, 60) is a hot pixel of 9000.
        drag("actionMeasureBox", {29, 39}, {10, 20});
        drag("actionMeasureLine", {70, 50}, {90, 70});
        get<QAction>("actionMeasureSpot")->setChecked(true);
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, onScreen(5, 7));
        const auto& stats = tools()->statistics();
        QCOMPARE(stats.size(), size_t(3));
        QCOMPARE(stats[0].pixels, 400);
        QCOMPARE(stats[0].min, 2010.0);
        QCOMPARE(stats[0].minAt, QPoint(10, 20));
        QCOMPARE(stats[0].max, 2979.0);
        QCOMPARE(stats[0].maxAt, QPoint(29, 39));
        QCOMPARE(stats[0].mean, 1000 + 19.5 + 50 * 29.5);
        QCOMPARE(stats[1].pixels, 21);
        QCOMPARE(stats[1].max, 9000.0);
        QCOMPARE(stats[1].maxAt, QPoint(80, 60));
        QCOMPARE(stats[1].min, 1000.0 + 70 + 50 * 50);
        QCOMPARE(stats[2].mean, 1000.0 + 5 + 50 * 7);
        auto* list = get<QTreeWidget>("twMeasurements");
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("9000"));
        QCOMPARE(list->topLevelItem(1)->text(5), QStringLiteral("80, 60"));

        // In degrees under high gain: 1355 counts x 0.04 K = 54.2 K.
        window->rawConfig()->setRadiometryOption(1);
        QTRY_COMPARE(list->topLevelItem(2)->text(1), QStringLiteral("-218.95"));
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("\u00B0C"));
        get<QAction>("actionCopyMeasurements")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), tools()->tableText());
        QVERIFY(tools()->tableText().contains(QStringLiteral("S3\tSpot\t(5, 7)\t\t1\t-218.95")));
        // Under the Planck defaults only counts above the offset of 5030 have a
        // temperature: of the line, the hot pixel alone.
        trigger("actionMeasurePlanck");
        QCOMPARE(tools()->statistics()[1].pixels, 1);
        QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("151.28"));
        trigger("actionMeasurePlanck");
        list->setCurrentItem(list->topLevelItem(0));
        get<QAction>("actionDeleteMeasurement")->trigger();
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("L2"));
        // The image's context menu on the line (not on the spot) deletes it.
        QContextMenuEvent context(QContextMenuEvent::Mouse, onScreen(85, 65),
                                  view()->viewport()->mapToGlobal(onScreen(85, 65)));
        QApplication::sendEvent(view()->viewport(), &context);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Delete L2"));
        menu->actions().first()->trigger();
        menu->close();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("S3"));
        window->rawConfig()->setRadiometryOption(0);
    }

    void toolsFollowThePlayback() {
        QVERIFY(window->openInputFile(path("marked.TMC")));
        drag("actionMeasureBox", {0, 0}, {159, 119});
        const auto meanOfFrame = [&]() {
            const auto& raw = window->converter()->getRawBuffer();
            return std::accumulate(raw.begin(), raw.begin() + kWidth * kHeight, 0.0) /
                   (kWidth * kHeight);
        };
        QCOMPARE(tools()->statistics()[0].mean, meanOfFrame());
        const double first = tools()->statistics()[0].mean;
        slider()->setValue(4);
        QCOMPARE(tools()->statistics()[0].mean, meanOfFrame());
        QVERIFY(tools()->statistics()[0].mean != first);
    }

    void timelineTicksHomeAndEnd() {
        // The gap is marked without the check on open too.
        QVERIFY(!get<QAction>("actionCheck_frame_counter_on_open")->isChecked());
        QVERIFY(window->openInputFile(path("marked.TMC")));
        auto* marks = window->findChild<TimelineMarks*>();
        QCOMPARE(marks->ffcFrames(), std::vector<int>({3, 7}));
        // The counter skips one after frame 5: frame 6 follows the gap.
        QCOMPARE(marks->gapFrames(), std::vector<int>({6}));
        QVERIFY(marks->xOfFrame(1) < marks->xOfFrame(3) && marks->xOfFrame(3) < marks->xOfFrame(7));
        const QImage ticks = marks->grab().toImage();
        QCOMPARE(QColor(ticks.pixel(marks->xOfFrame(3), 1)), QColor(0, 120, 255));
        QCOMPARE(QColor(ticks.pixel(marks->xOfFrame(6), ticks.height() - 2)), QColor(220, 0, 0));
        QCOMPARE(slider()->toolTip(), QStringLiteral("2 FFC frames, 1 counter gap"));

        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_End);
        QTRY_COMPARE(slider()->value(), 10);
        QTest::keyClick(window.get(), Qt::Key_Left);
        QTest::keyClick(window.get(), Qt::Key_Home);
        QTRY_COMPARE(slider()->value(), 1);
    }

    void frameLabelShowsTheTelemetryTime() {
        QVERIFY(window->openInputFile(path("nmea.TMC")));
        QCOMPARE(label("lblCurrentFrame"), QStringLiteral("1 / 30"));
        trigger("actionParse_NMEA_Data");
        slider()->setValue(12);
        // The flight starts at 14:24:23 UTC; frame 12 is 11 s later.
        QCOMPARE(label("lblCurrentFrame"), QStringLiteral("12 / 30  14:24:34"));
        trigger("actionParse_NMEA_Data");
    }

    void trackClickJumpsToTheFrame() {
        trigger("actionParse_NMEA_Data");
        QVERIFY(window->openInputFile(path("nmea.TMC")));
        auto* panel = window->findChild<TrackPanel*>();
        QSignalSpy ready(panel, &TrackPanel::trackReady);
        get<QAction>("actionFlight_track")->trigger();
        QVERIFY(panel->isVisible());
        QVERIFY(ready.wait(5000));
        QCOMPARE(ready[0][0].toInt(), 30);
        TrackCanvas* canvas = panel->canvas();
        QCOMPARE(canvas->currentFrame(), 1);
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier,
                          canvas->pointOfFrame(17).toPoint());
        QCOMPARE(slider()->value(), 17);
        QCOMPARE(canvas->currentFrame(), 17);
        // Another file cancels the track of this one.
        QVERIFY(window->openInputFile(path("ramp.THR")));
        QVERIFY(panel->track().empty());
        trigger("actionParse_NMEA_Data");
    }

    void serialWindowDumpsMavlinkBlocks() {
        trigger("actionParse_MAVLink_data");
        QVERIFY(window->openInputFile(path("mavlink.TMC")));
        trigger("actionDisplay_Serial_Data");
        auto* serial = window->findChild<SerialDataExplorer*>();
        // Frames start with 0xFE; the text would have stopped at the first zero.
        QVERIFY2(serial->displayedText().startsWith(QStringLiteral("00000000  fe ")),
                 qPrintable(serial->displayedText().left(80)));
        QVERIFY(serial->displayedText().contains(QStringLiteral("zero bytes follow")));
        trigger("actionDisplay_Serial_Data");
        trigger("actionParse_MAVLink_data");
    }

    void trackFloatsOverTheBrowserOnASmallScreen() {
        QVERIFY(window->openInputFile(path("nmea.TMC")));
        auto* panel = window->findChild<TrackPanel*>();
        auto* showTrack = get<QAction>("actionFlight_track");
        if (showTrack->isChecked())
            showTrack->trigger();
        panel->setFloating(false);
        window->resize(1024, 700);
        QCoreApplication::processEvents();
        showTrack->trigger();
        QVERIFY(panel->isFloating());
        // Wider than the browser it would hide the image pane's controls.
        const QWidget* browser = window->findChild<QSplitter*>("splitter")->widget(0);
        QCOMPARE(panel->frameGeometry().left(), browser->mapToGlobal(QPoint(0, 0)).x());
        QVERIFY2(panel->width() <= browser->width(),
                 qPrintable(QStringLiteral("%1 px wide beside a %2 px browser")
                                .arg(panel->width())
                                .arg(browser->width())));
        showTrack->trigger();
        window->resize(1280, 800);
    }
};

// QTEST_MAIN ran it in the user's own environment: each window cleared the
// user's settings store and saved its own into it.
KALORIX_WINDOW_TEST_MAIN(TestViewerTools)
#include "tst_viewertools.moc"
