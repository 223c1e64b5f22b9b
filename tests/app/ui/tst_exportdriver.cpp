#include "app/ui/WindowTestSupport.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/ui/VideoExportSettings.h"

#include <QCheckBox>
#include <QSlider>

using namespace windowtest;
using testsupport::filesIn;
using testsupport::freshDir;

namespace {

QImage readPicture(const QString& file) {
    return QImage(file).convertToFormat(QImage::Format_RGB888);
}

// "DIR" in a test's texts stands for the target folder; lists are split at
// `separator`.
QStringList expand(QString text, const QString& dir, char separator = '\n') {
    return text.replace(QLatin1String("DIR"), dir)
        .split(QLatin1Char(separator), Qt::SkipEmptyParts);
}

} // namespace

class TestExportDriver : public QObject, Fixture {
    Q_OBJECT

    // Frame n as the window shows it (unturned, unmarked, without legend):
    // what the picture of frame n must hold.
    QImage shownFrame(int frame) const {
        slider()->setValue(frame);
        return window->getDisplayImage().convertToFormat(QImage::Format_RGB888);
    }

    QImage exportOne(int frame) const {
        window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), uint(frame),
                                   uint(frame), 1);
        return readPicture(dir + QStringLiteral("/run_%1.png").arg(frame, 4, 10, QLatin1Char('0')));
    }

private slots:
    void initTestCase() {
        synth::MovieOptions options;
        options.frames = 12;
        options.version = 6;
        options.scene.objects = 3;
        QVERIFY(synth::writeFile(testsupport::scratchPath(QStringLiteral("drive.THM")),
                                 synth::makeMovie(options)));
        // Written before any window lists their folder: a file appearing in
        // the folder the browser shows makes the browser select (and open) again.
        const QString singles = freshDir(QStringLiteral("singles"));
        for (bool compressed : {false, true}) {
            options = synth::MovieOptions();
            options.compressed = compressed;
            options.scene.seed = 99;
            QVERIFY(synth::writeFile(singles + (compressed ? "/single.thc" : "/single.THR"),
                                     synth::makeSingleFrameFile(options)));
        }
    }

    void init() {
        start(false);
        QVERIFY(window->openInputFile(testsupport::scratchPath(QStringLiteral("drive.THM"))));
        window->rawConfig()->setLegendVisibility(false);
        window->rawConfig()->setRotation(0);
        recorder->clear();
        dir = freshDir(QStringLiteral("out")); // each test's target folder
    }

    void namesAndPictures() {
        // Which frames a range holds is the plan's business; here: the names
        // on disk, the whole recording when start and end are 0, the pictures.
        for (const char* name : {"/run.kml", "/run_meta.csv", "/other_meta.csv"})
            QVERIFY(QFile(dir + name).open(QIODevice::WriteOnly));
        // The values under the pointer stay those of the frame shown.
        slider()->setValue(9);
        const std::vector<uint16_t> shownRaw = window->converter()->getRawBuffer();
        window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 1, 10, 3);
        QCOMPARE(window->statusBar()->currentMessage(),
                 "4 frames written to " + QDir::toNativeSeparators(dir));
        window->executeExport(dir, QStringLiteral("all"), QStringLiteral("png"), 0, 0, 2, 11);
        window->executeExport(dir, QStringLiteral("part"), QStringLiteral("png"), 11, 12, 0, 0);
        // An empty directory, prefix or format does nothing.
        window->executeExport(dir, QString(), QStringLiteral("png"), 0, 0, 0, 1);
        window->executeExport(dir, QStringLiteral("x"), QString(), 0, 0, 0, 1);
        window->executeExport(QString(), QStringLiteral("x"), QStringLiteral("png"), 0, 0, 0, 1);
        QVERIFY(window->converter()->getRawBuffer() == shownRaw);
        // The side files of an earlier export with the same prefix are gone.
        // Step 11 over the whole recording of 12 frames: its first and last frame.
        QCOMPARE(filesIn(dir), expand("all_002_0001.png all_002_0012.png other_meta.csv "
                                      "part_000_0011.png part_000_0012.png run_0001.png "
                                      "run_0004.png run_0007.png run_0010.png",
                                      dir, ' '));
        QCOMPARE(reports(), QStringList());
        QCOMPARE(window->exportFailureCount(), 0);
        QVERIFY(get<QProgressBar>("progressBar")->isHidden());
        const QImage fourth = readPicture(dir + "/run_0004.png");
        QCOMPARE(fourth, shownFrame(4));
        // The scene moves, so a picture written under the wrong number differs.
        QVERIFY(fourth != shownFrame(7));
        QCOMPARE(readPicture(dir + "/run_0007.png"), shownFrame(7));
    }

    void refusedExportsWriteNothing_data() {
        QTest::addColumn<uint>("start");
        QTest::addColumn<uint>("end");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("report");
        const auto row = [](const char* tag, uint start, uint end, const char* format,
                            const QString& report) {
            QTest::newRow(tag) << start << end << QString(format) << report;
        };
        row("end before start", 6, 5, "png", "W||Start frame must be lower than end frame");
        // The other range checks' texts: tst_exportplan; through the window:
        // singleFrameFiles.
        row("bmp", 1, 5, "bmp",
            "E|Error|Unsupported image format selected. Available are .png, .jpg, .jpeg");
        row("missing folder", 1, 4, "png",
            "E|Error|Target directory \"DIR\" does not exist or is not writable");
    }

    void refusedExportsWriteNothing() {
        QFETCH(uint, start);
        QFETCH(uint, end);
        QFETCH(QString, format);
        QFETCH(QString, report);
        // Side files of an earlier export survive a refused one, also one
        // that would have written them again.
        for (const char* name : {"/run.kml", "/run_meta.csv"})
            QVERIFY(QFile(dir + name).open(QIODevice::WriteOnly));
        const QString tag = QLatin1String(QTest::currentDataTag());
        const QString target = tag == "missing folder" ? dir + "/missing" : dir;
        window->exportSettings()->setMetaCsvSelection(true);
        window->exportSettings()->setMetaTypeSelection(1);
        window->executeFrameExport(target, QStringLiteral("run"), format, start, end, 1);
        // One message for the whole range, before any file is touched.
        QCOMPARE(reports(), expand(report, target));
        QCOMPARE(filesIn(dir), QStringList({"run.kml", "run_meta.csv"}));
        QCOMPARE(QFileInfo::exists(target), target == dir);
        QCOMPARE(window->exportFailureCount(), 1);
    }

    // The window and the export finish a frame with one renderer: the
    // picture on screen is the picture written, marker, turn and legend
    // labels included (where the marker sits on screen: tst_mainwindow).
    void shownIsExported_data() {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("radiometry");
        QTest::addColumn<bool>("biColor");
        QTest::newRow("90 counts") << 90 << 0 << false;
        QTest::newRow("270 high gain") << 270 << 1 << false;
        QTest::newRow("180 low gain bi-colour") << 180 << 2 << true;
    }
    void shownIsExported() {
        QFETCH(int, rotation);
        QFETCH(int, radiometry);
        QFETCH(bool, biColor);
        RawConvertConfig* config = window->rawConfig();
        config->setRadiometryOption(radiometry);
        config->setColorMode(1);
        config->findChild<QSlider*>(QStringLiteral("slBiColorLow"))->setValue(7000);
        config->findChild<QSlider*>(QStringLiteral("slBiColorHigh"))->setValue(7600);
        config->findChild<QCheckBox*>(QStringLiteral("cbBiColorEnabled"))->setChecked(biColor);
        config->setRotation(rotation);
        config->setLegendVisibility(true);
        get<QAction>("actionMark_Hotspot")->setChecked(true);
        slider()->setValue(5);
        const QImage shown = shownImage();
        const QImage written = exportOne(5).convertToFormat(QImage::Format_RGB32);
        get<QAction>("actionMark_Hotspot")->setChecked(false);
        config->findChild<QCheckBox*>(QStringLiteral("cbBiColorEnabled"))->setChecked(false);
        config->setColorMode(0);
        config->setRadiometryOption(0);
        QCOMPARE(shown.size(), rotation == 180 ? QSize(701, 512) : QSize(573, 640));
        QCOMPARE(written, shown);
    }

    void quickExport() {
        VideoExportSettings* settings = window->exportSettings();
        auto* folder = settings->findChild<QLineEdit*>(QStringLiteral("lePath"));
        folder->clear();
        click("btnQuickExport");
        QCOMPARE(reports(), QStringList{"I|No folder selected|Please open export dialog once and "
                                        "select a folder to store the frames into"});
        recorder->clear();
        folder->setText(dir);
        settings->findChild<QLineEdit*>(QStringLiteral("leFilename"))->setText(QStringLiteral("q"));
        auto* extension = settings->findChild<QComboBox*>(QStringLiteral("cbExtension"));
        extension->setCurrentIndex(extension->findText(QStringLiteral("JPG")));
        slider()->setValue(7);
        click("btnQuickExport");
        // Lower-case suffix: the JPEG tagging step opens frame name + ".jpg".
        QCOMPARE(filesIn(dir), QStringList({"q_0007.jpg"}));
        QCOMPARE(reports(), QStringList());
        QCOMPARE(window->statusBar()->currentMessage(),
                 "Quick export: " + QDir::toNativeSeparators(dir + QStringLiteral("/q_0007.jpg")));
    }

    void singleFrameFiles() {
        // A single frame has no movie index: it exports as a recording of one
        // frame, converted from the file itself, not from the movie opened before.
        for (const char* name : {"single.THR", "single.thc"}) {
            QVERIFY(
                window->openInputFile(testsupport::scratchPath(QStringLiteral("singles/") + name)));
            const QString out = freshDir(QStringLiteral("out"));
            window->executeExport(out, QStringLiteral("one"), QStringLiteral("png"), 0, 0, 0, 1);
            QCOMPARE(filesIn(out), QStringList({"one_000_0001.png"}));
            QCOMPARE(readPicture(out + "/one_000_0001.png"),
                     window->getDisplayImage().convertToFormat(QImage::Format_RGB888));
            recorder->clear();
            window->executeFrameExport(out, QStringLiteral("one"), QStringLiteral("png"), 1, 2, 1);
            QCOMPARE(reports(), QStringList{"W||End frame is higher than frames in dataset"});
        }
    }
};

KALORIX_WINDOW_TEST_MAIN(TestExportDriver)

#include "tst_exportdriver.moc"
