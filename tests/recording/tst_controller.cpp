#include "recording/DataConverter.h"
#include "recording/KalorixController.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>
#include <QtTest>

// Every signal of the controller is logged with its arguments into one list,
// so a test sees the order across signals, not only per signal.
class SignalLog : public QObject {
public:
    explicit SignalLog(KalorixController* c) {
        connect(c, &KalorixController::updateFileNameLabel, this, [this](const QString& t) {
            add(QStringLiteral("updateFileNameLabel(%1)").arg(t));
        });
        connect(c, &KalorixController::updateImageZoom, this,
                [this](float z) { add(QStringLiteral("updateImageZoom(%1)").arg(double(z))); });
        connect(c, &KalorixController::requestDisplayImageResize, this,
                [this]() { add(QStringLiteral("requestDisplayImageResize")); });
        connect(c, &KalorixController::requestUILabelUpdate, this,
                [this]() { add(QStringLiteral("requestUILabelUpdate")); });
        connect(c, &KalorixController::updateCurrentFileType, this, [this](ksDefines::FileTypes t) {
            add(QStringLiteral("updateCurrentFileType(%1)").arg(int(t)));
        });
        connect(c, &KalorixController::setVideoControlVisibility, this,
                [this](bool v) { add(QStringLiteral("setVideoControlVisibility(%1)").arg(v)); });
        connect(c, &KalorixController::initUIVideoControls, this, [this](int n, int f) {
            add(QStringLiteral("initUIVideoControls(%1,%2)").arg(n).arg(f));
        });
        connect(c, &KalorixController::updateImageLoadOkFlag, this,
                [this](bool ok) { add(QStringLiteral("updateImageLoadOkFlag(%1)").arg(ok)); });
        connect(c, &KalorixController::updateMinMaxRAWSliders, this, [this](uint lo, uint hi) {
            add(QStringLiteral("updateMinMaxRAWSliders(%1,%2)").arg(lo).arg(hi));
        });
        connect(c, &KalorixController::updateLastImageWidth, this,
                [this](int w) { add(QStringLiteral("updateLastImageWidth(%1)").arg(w)); });
        connect(c, &KalorixController::initProgressBar, this, [this](uint a, uint b, uint v) {
            add(QStringLiteral("initProgressBar(%1,%2,%3)").arg(a).arg(b).arg(v));
        });
        connect(c, &KalorixController::setFilenameLableVisibility, this,
                [this](bool v) { add(QStringLiteral("setFilenameLableVisibility(%1)").arg(v)); });
        connect(c, &KalorixController::setProgressBarVisibility, this,
                [this](bool v) { add(QStringLiteral("setProgressBarVisibility(%1)").arg(v)); });
    }
    QStringList entries;

private:
    void add(const QString& entry) { entries << entry; }
};

class TestController : public QObject {
    Q_OBJECT

private:
    QString dir;

    QString path(const QString& name) const { return dir + QLatin1Char('/') + name; }

    static synth::MovieOptions smallMovie(int frames, bool compressed) {
        synth::MovieOptions options;
        options.frames = frames;
        options.compressed = compressed;
        // The smallest sensor; the decoder wants rows of at least 160 values.
        options.scene.width = 160;
        options.scene.height = 120;
        return options;
    }

    // A manual window, so the bounds that come back are the ones sent.
    static ThermalImageConversionSet manualSet() {
        ThermalImageConversionSet set;
        set.lowerBound = 5000;
        set.upperBound = 9000;
        set.colorMode = 1;
        set.autoGainEnabled = false;
        return set;
    }

    bool load(KalorixController& controller, const QString& fileName, int lastWidth,
              QImage& image) {
        ThermalImageConversionSet set = manualSet();
        QImage daylight;
        return controller.loadRawDataFile(fileName, lastWidth, ksDefines::NoSerialData, set, false,
                                          image, daylight);
    }

private slots:
    void initTestCase() {
        dir = testsupport::scratchDir() + QStringLiteral("/controller");
        QDir().mkpath(dir);
        synth::MovieOptions single = smallMovie(1, false);
        QVERIFY(synth::writeFile(path("one.THR"), synth::makeSingleFrameFile(single)));
        QVERIFY(synth::writeFile(path("lower.thr"), synth::makeSingleFrameFile(single)));
        single.compressed = true;
        QVERIFY(synth::writeFile(path("one.THC"), synth::makeSingleFrameFile(single)));
        QVERIFY(synth::writeFile(path("five.THM"), synth::makeMovie(smallMovie(5, false))));
        QVERIFY(synth::writeFile(path("five.TMC"), synth::makeMovie(smallMovie(5, true))));
        synth::MovieOptions gap = smallMovie(6, true);
        gap.counterGapsAfter = {3};
        QVERIFY(synth::writeFile(path("gap.TMC"), synth::makeMovie(gap)));
        const QByteArray garbage(5000, 'x');
        QVERIFY(synth::writeFile(path("garbage.THR"), garbage));
        QVERIFY(synth::writeFile(path("garbage.THC"), garbage));
        QVERIFY(synth::writeFile(path("garbage.TMC"), garbage));
        QVERIFY(synth::writeFile(path("fusion.TFC"), synth::makeMovie(smallMovie(2, true))));
        QVERIFY(synth::writeFile(path("movie.raw"), synth::makeMovie(smallMovie(2, false))));
        QImage picture(3, 2, QImage::Format_RGB888);
        picture.fill(Qt::red);
        QVERIFY(picture.save(path("pic.png")));
        QVERIFY(synth::writeFile(path("broken.png"),
                                 QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray("broken")));
    }

    void singleFrameSignalOrder_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("lastWidth");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("printsName");
        const QString tail = QStringLiteral("requestDisplayImageResize;requestUILabelUpdate;"
                                            "updateCurrentFileType(0)");
        QTest::newRow("THR, new width")
            << "one.THR" << 0
            << (QStringLiteral("updateImageLoadOkFlag(1);updateMinMaxRAWSliders(5000,9000);"
                               "setVideoControlVisibility(0);updateFileNameLabel(one.THR);"
                               "updateImageZoom(1);updateLastImageWidth(160);") +
                tail)
                   .split(QLatin1Char(';'))
            << false;
        QTest::newRow("thr lower case, same width")
            << "lower.thr" << 160
            << (QStringLiteral("updateImageLoadOkFlag(1);updateMinMaxRAWSliders(5000,9000);"
                               "setVideoControlVisibility(0);updateFileNameLabel(lower.thr);") +
                tail)
                   .split(QLatin1Char(';'))
            << false;
        QTest::newRow("THC prints its name")
            << "one.THC" << 0
            << (QStringLiteral("updateImageLoadOkFlag(1);updateMinMaxRAWSliders(5000,9000);"
                               "setVideoControlVisibility(0);updateFileNameLabel(one.THC);"
                               "updateImageZoom(1);updateLastImageWidth(160);") +
                tail)
                   .split(QLatin1Char(';'))
            << true;
    }

    void singleFrameSignalOrder() {
        QFETCH(QString, file);
        QFETCH(int, lastWidth);
        QFETCH(QStringList, expected);
        QFETCH(bool, printsName);
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        SignalLog log(&controller);
        QImage image;
        QVERIFY(load(controller, path(file), lastWidth, image));
        QCOMPARE(log.entries, expected);
        QCOMPARE(image.size(), QSize(160, 120));
        QCOMPARE(recorder.outLines().contains(file), printsName);
        QCOMPARE(recorder.reports.size(), size_t(0));
    }

    void movieSignalOrder_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("THM") << "five.THM";
        QTest::newRow("TMC") << "five.TMC";
    }

    void movieSignalOrder() {
        QFETCH(QString, file);
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        SignalLog log(&controller);
        QImage image;
        QVERIFY(load(controller, path(file), 0, image));
        const QStringList expected =
            QStringLiteral("initProgressBar(0,100,0);setVideoControlVisibility(0);"
                           "initUIVideoControls(1,1);setFilenameLableVisibility(0);"
                           "setProgressBarVisibility(1);updateMinMaxRAWSliders(5000,9000);"
                           "requestDisplayImageResize;requestUILabelUpdate;"
                           "updateImageLoadOkFlag(1);initUIVideoControls(5,1);"
                           "setVideoControlVisibility(1);updateFileNameLabel(1 / 5);"
                           "requestDisplayImageResize;requestUILabelUpdate;"
                           "setProgressBarVisibility(0);setFilenameLableVisibility(1);"
                           "updateCurrentFileType(0)")
                .split(QLatin1Char(';'));
        QCOMPARE(log.entries, expected);
        QCOMPARE(converter.getNumberOfVideoFrames(), 5);
        QCOMPARE(recorder.reports.size(), size_t(0));
    }

    void failuresReportAndSignal_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("lastConsoleLine");
        QTest::newRow("garbage THR")
            << "garbage.THR" << QStringList{QStringLiteral("updateImageLoadOkFlag(0)")}
            << QStringLiteral("Error while loading image (in Kalorix::loadRawImage) \"%1\"")
            << QStringLiteral("Error while loading image");
        QTest::newRow("garbage THC")
            << "garbage.THC" << QStringList{QStringLiteral("updateImageLoadOkFlag(0)")}
            << QStringLiteral("Error while loading image (in Kalorix::loadRawImage) \"%1\"")
            << QStringLiteral("Error while loading image");
        // No frame signature: the progress signals, the report, then the end of
        // the progress display; no frame signal in between.
        QTest::newRow("movie without frames")
            << "garbage.TMC"
            << QStringLiteral("initProgressBar(0,100,0);setVideoControlVisibility(0);"
                              "initUIVideoControls(1,1);setFilenameLableVisibility(0);"
                              "setProgressBarVisibility(1);setProgressBarVisibility(0);"
                              "setFilenameLableVisibility(1);updateCurrentFileType(0)")
                   .split(QLatin1Char(';'))
            << QStringLiteral("Error while loading file \"%1\"")
            << QStringLiteral("Error while loading image");
        // Fusion recordings are refused before anything is touched.
        QTest::newRow("fusion") << "fusion.TFC" << QStringList()
                                << QStringLiteral("Error while loading video file \"%1\"")
                                << QStringLiteral("Error while loading video file");
    }

    void failuresReportAndSignal() {
        QFETCH(QString, file);
        QFETCH(QStringList, expected);
        QFETCH(QString, message);
        QFETCH(QString, lastConsoleLine);
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        SignalLog log(&controller);
        QImage image;
        QVERIFY(!load(controller, path(file), 0, image));
        QCOMPARE(log.entries, expected);
        QCOMPARE(recorder.reports.size(), size_t(1));
        QCOMPARE(recorder.reports[0].kind, kx::ReportKind::Error);
        QCOMPARE(recorder.reports[0].title, QStringLiteral("Error"));
        QCOMPARE(recorder.reports[0].text, message.arg(path(file)));
        QCOMPARE(recorder.outLines().last(), lastConsoleLine);
    }

    void otherExtensionsAreRefusedSilently() {
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        SignalLog log(&controller);
        QImage image;
        QVERIFY(!load(controller, path("movie.raw"), 0, image));
        QVERIFY(!load(controller, path("pic.png"), 0, image));
        QCOMPARE(log.entries, QStringList());
        QCOMPARE(recorder.out, QString());
        QCOMPARE(recorder.reports.size(), size_t(0));
    }

    // A second movie opened from an event handled during an index scan is
    // refused; the scan under way finishes normally.
    void busyConverterRefusesASecondMovie() {
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        bool nestedResult = true;
        bool nestedDone = false;
        QImage nestedImage;
        connect(&converter, &DataConverter::filePercentageChanged, this, [&]() {
            if (nestedDone)
                return;
            nestedDone = true;
            SignalLog nestedLog(&controller);
            nestedResult = load(controller, path("five.THM"), 0, nestedImage);
            QCOMPARE(nestedLog.entries,
                     QStringLiteral("initProgressBar(0,100,0);setVideoControlVisibility(0);"
                                    "initUIVideoControls(1,1);setFilenameLableVisibility(0);"
                                    "setProgressBarVisibility(1)")
                         .split(QLatin1Char(';')));
        });
        QImage image;
        QVERIFY(load(controller, path("five.TMC"), 0, image));
        QVERIFY(nestedDone);
        QVERIFY(!nestedResult);
        QVERIFY(recorder.outLines().contains(QStringLiteral("Error while loading video file")));
        QCOMPARE(converter.getNumberOfVideoFrames(), 5);
        QCOMPARE(recorder.reports.size(), size_t(0));
    }

    void loadImage() {
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        SignalLog log(&controller);
        QImage image;
        QVERIFY(controller.loadImage(path("pic.png"), image));
        QCOMPARE(image.size(), QSize(3, 2));
        QCOMPARE(log.entries, QStringLiteral("updateFileNameLabel(pic.png);updateImageZoom(1);"
                                             "requestDisplayImageResize;requestUILabelUpdate;"
                                             "updateCurrentFileType(1)")
                                  .split(QLatin1Char(';')));
        log.entries.clear();
        QVERIFY(!controller.loadImage(path("broken.png"), image));
        QCOMPARE(log.entries, QStringList());
        QCOMPARE(recorder.out, QStringLiteral("Error while loading image\n"));
        QCOMPARE(recorder.reports.size(), size_t(1));
        QCOMPARE(recorder.reports[0].text,
                 QStringLiteral("Error while loading image \"%1\"").arg(path("broken.png")));
    }

    void laterFrames() {
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        QImage image;
        QVERIFY(load(controller, path("five.THM"), 0, image));
        SignalLog log(&controller);
        ThermalImageConversionSet set = manualSet();
        set.lowerBound = 6000;
        // Without a flag to report to, nothing is signalled.
        QVERIFY(!controller.getThermalImageFromVideoRawdata(2, nullptr, ksDefines::NoSerialData,
                                                            set, image));
        QCOMPARE(log.entries, QStringList());
        bool ok = false;
        QVERIFY(controller.getThermalImageFromVideoRawdata(5, &ok, ksDefines::NoSerialData, set,
                                                           image));
        QVERIFY(ok);
        QCOMPARE(log.entries, QStringLiteral("updateMinMaxRAWSliders(6000,9000);"
                                             "requestDisplayImageResize;requestUILabelUpdate")
                                  .split(QLatin1Char(';')));
        // Frame numbers outside 1..5 leave the flag as it was.
        for (unsigned frame : {0u, 6u}) {
            bool untouched = true;
            controller.getThermalImageFromVideoRawdata(frame, &untouched, ksDefines::NoSerialData,
                                                       set, image);
            QVERIFY(untouched);
        }
    }

    void fileTest_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("continuous counter")
            << "five.TMC"
            << QStringList{QStringLiteral("Testing TMC file"), QStringLiteral("File ok")};
        // Counters 1 2 3 5 6 7: one jump of two between the third and fourth frame.
        QTest::newRow("counter skips one")
            << "gap.TMC"
            << QStringList{QStringLiteral("Testing TMC file"),
                           QStringLiteral("Current: 5  |  Last: 3  |  Diff: 2"),
                           QStringLiteral("File CORRUPT")};
    }

    void fileTest() {
        QFETCH(QString, file);
        QFETCH(QStringList, expected);
        DataConverter converter;
        KalorixController controller(&converter);
        QImage image;
        {
            testsupport::Recorder quiet;
            QVERIFY(load(controller, path(file), 0, image));
        }
        testsupport::Recorder recorder;
        controller.checkCurrentTMC();
        QCOMPARE(recorder.outLines(), expected);
        QCOMPARE(recorder.reports.size(), size_t(0));
    }

    void fileTestWithoutFile() {
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        controller.checkCurrentTMC();
        QCOMPARE(recorder.out, QStringLiteral("Testing TMC file\nFile ok\n"));
    }
};

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
