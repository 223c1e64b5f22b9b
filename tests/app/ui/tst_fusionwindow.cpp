// A fusion recording opened in the window: the overlay controls appear for it
// alone, the frame row counts its thermal frames, and the pane shows the
// daylight picture of the frame on show under the thermal frame.

#include "app/ui/WindowTestSupport.h"

using namespace windowtest;

namespace {

// A colour snapped to multiples of 8: JPEG moves a flat colour by a few counts.
QString snapped(QRgb c) {
    return QStringLiteral("%1,%2,%3")
        .arg((qRed(c) + 4) / 8)
        .arg((qGreen(c) + 4) / 8)
        .arg((qBlue(c) + 4) / 8);
}

synth::FusionOptions flight() {
    synth::FusionOptions o;
    o.thermal = smallMovie(3, true);
    o.thermal.version = 6;
    o.daylightWidth = 640;
    o.daylightHeight = 480;
    return o;
}

} // namespace

class TestFusionWindow : public QObject, Fixture {
    Q_OBJECT

    // Visible and enabled: each control the overlay has, and their panel.
    QStringList controlsShown() const {
        QStringList shown;
        for (const char* name : {"wgDualCam", "slThermoOpacity", "sbThermoOpacity", "slShiftX",
                                 "sbShiftX", "slShiftY", "sbShiftY", "sbScale"}) {
            if (get(name)->isVisible() && get(name)->isEnabled())
                shown << QLatin1String(name);
        }
        return shown;
    }

private slots:
    void initTestCase() {
        dir = testsupport::freshDir(QStringLiteral("fusionwindow"));
        QVERIFY(synth::writeFile(path("flight.TFC"), synth::makeFusion(flight())));
        QVERIFY(synth::writeFile(path("flight.TMC"), synth::makeMovie(flight().thermal)));
    }

    void init() { start(true); }

    void overlayOfAFusionRecording() {
        QVERIFY(window->openInputFile(path("flight.TMC")));
        QCOMPARE(controlsShown(), QStringList());

        QVERIFY(window->openInputFile(path("flight.TFC")));
        QCOMPARE(controlsShown().size(), 8);
        QCOMPARE(slider()->maximum(), 3);
        QCOMPARE(window->converter()->getNumberOfDaylightFrames(), 3);
        QVERIFY(showsMovieFrame(flight().thermal, 1));
        // The canvas is the daylight picture; the thermal frame, drawn at
        // 100 / 49 times its size, leaves its corners free.
        QCOMPARE(shownImage().size(), QSize(640, 480));
        QCOMPARE(snapped(shownImage().pixel(5, 5)), snapped(synth::daylightColourOf(1)));
        const QRgb blended = shownImage().pixel(320, 240);
        QVERIFY(snapped(blended) != snapped(synth::daylightColourOf(1)));

        slider()->setValue(2);
        QVERIFY(showsMovieFrame(flight().thermal, 2));
        QCOMPARE(snapped(shownImage().pixel(5, 5)), snapped(synth::daylightColourOf(2)));
        // Without opacity only the daylight picture is left under the frame.
        get<QSlider>("slThermoOpacity")->setValue(0);
        QCOMPARE(snapped(shownImage().pixel(320, 240)), snapped(synth::daylightColourOf(2)));

        QVERIFY(window->openInputFile(path("flight.TMC")));
        QCOMPARE(controlsShown(), QStringList());
        // The thermal frame with its legend beside it, and no daylight.
        QCOMPARE(shownImage().size(), QSize(221, kHeight));
        QCOMPARE(reports(), QStringList());
    }
};

KALORIX_WINDOW_TEST_MAIN(TestFusionWindow)

#include "tst_fusionwindow.moc"
