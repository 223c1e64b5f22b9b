// The corrections from the window, as a user reaches them.
#include "app/ui/WindowTestSupport.h"
#include "corrections/ui/NucConfiguration.h"

using namespace windowtest;

namespace {

// A flight over a moving textured scene with shading towards the corners.
synth::MovieOptions flight() {
    synth::MovieOptions o = smallMovie(30, false);
    o.scene.height = 128;
    o.scene.gradientRaw = 0;
    o.scene.objects = 0;
    o.scene.vignettingRaw = 270;
    o.scene.textureRaw = 300;
    o.scene.textureStepX = 3.1;
    return o;
}

} // namespace

class TestCorrectionsWindow : public QObject, Fixture {
    Q_OBJECT

    std::vector<uint16_t> shownRaw() const {
        rawVideoChunk chunk;
        window->converter()->getCurrentRawVideoChunk(chunk);
        return chunk.rawData;
    }

private slots:
    void initTestCase() {
        dir = testsupport::freshDir(QStringLiteral("corrections"));
        QVERIFY(synth::writeFile(path("flight.THM"), synth::makeMovie(flight())));
        QVERIFY(synth::writeFile(path("ffc.txt"), "12\r\n340\r\n"));
    }

    void init() { start(true); }

    void nucFromTheDialog() {
        QVERIFY(window->openInputFile(path("flight.THM")));
        auto* dialog = window->nucDialog();
        QCOMPARE(dialog->startFrame(), 1);
        QCOMPARE(dialog->endFrame(), 30);
        slider()->setValue(4);
        dialog->findChild<QPushButton*>("btnStartCF")->click();
        QCOMPARE(dialog->startFrame(), 4);
        trigger("actionNUC_Settings");
        QVERIFY(dialog->isVisible());
        dialog->findChild<QRadioButton*>("rbMotionBased")->setChecked(true);
        const std::vector<uint16_t> before = shownRaw();
        dialog->findChild<QPushButton*>("btnOk")->click();
        QVERIFY(!dialog->isVisible());
        QVERIFY(window->converter()->isNucActive());
        // The frame on screen is frame 4 again, now with the map subtracted.
        const std::vector<int32_t>& map = window->converter()->getNucOffsets();
        const std::vector<uint16_t> after = shownRaw();
        QCOMPARE(after.size(), before.size());
        QVERIFY(map[0] < -150);
        for (size_t k : {size_t(0), size_t(5000), after.size() - 4})
            QCOMPARE(int(after[k]), int(before[k]) - map[k]);

        dialog->findChild<QRadioButton*>("rbNone")->setChecked(true);
        dialog->findChild<QPushButton*>("btnOk")->click();
        QVERIFY(!window->converter()->isNucActive());
        QVERIFY(shownRaw() == before);
    }

    void driftToolsAndFfcList() {
        auto* read = get<QPushButton>("btnReadFFCFile");
        QVERIFY(!read->isVisible());
        trigger("actionDrift_compensation_beta");
        QVERIFY(read->isVisible());
        QVERIFY(get<QAction>("actionDrift_compensation")->isChecked());
        QVERIFY(window->openInputFile(path("flight.THM")));
        slider()->setValue(7);
        click("btnFFCFrame");
        QCOMPARE(get<QLineEdit>("leFFCFrames")->text(), QString("7, "));
        window->readFFCFile(path("ffc.txt"));
        QCOMPARE(get<QLineEdit>("leFFCFrames")->text(), QString("12, 340, "));
        QCOMPARE(window->converter()->getFFCFrames(), (std::vector<int32_t>{12, 340}));
        QVERIFY(recorder->out.endsWith("FFC-Frame: 12\nFFC-Frame: 340\n"));
    }

    void lensReferenceIsTheFrameOnScreen() {
        QVERIFY(window->openInputFile(path("flight.THM")));
        slider()->setValue(2);
        const std::vector<uint16_t> shown = shownRaw();
        // An export or a file test leaves another frame in the converter.
        window->converter()->redecodeMovieFrame(9);
        click("btnLensCompensation");
        const std::vector<int32_t>& map = window->converter()->getLensMap();
        QCOMPARE(map.size(), shown.size());
        const int top = *std::max_element(shown.begin(), shown.end());
        for (size_t k : {size_t(0), size_t(777)})
            QCOMPARE(map[k], int(shown[k]) - top);
        click("btnResetLensCompensation");
        QVERIFY(!window->converter()->isLensActive());
    }

    void bitLaneButton() {
        QVERIFY(window->openInputFile(path("flight.THM")));
        QVERIFY(get("btnBitLaneTest")->isVisible());
        // Bits 11 and 12 are set in every value of this scene (6000 to 8000).
        QTest::ignoreMessage(QtDebugMsg, "MaskZeros: 0001111111111111");
        QTest::ignoreMessage(QtDebugMsg, "MaskOnes:  1110011111111111");
        click("btnBitLaneTest");
    }
};

KALORIX_WINDOW_TEST_MAIN(TestCorrectionsWindow)
#include "tst_correctionswindow.moc"
