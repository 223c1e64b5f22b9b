#include "app/ExpectedHelpText.h"
#include "app/ui/Kalorix.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/ui/VideoExportSettings.h"
#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <string>

namespace {

constexpr int kFrames = 12;

QString movieFile() {
    return testsupport::scratchDir() + QStringLiteral("/drive.THM");
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

QString freshDir(const QString& name) {
    const QString dir = testsupport::scratchDir() + QLatin1Char('/') + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

// Frame n of the movie converted on its own, with the window's settings, as
// the picture of frame n must show it.
QImage referenceFrame(Kalorix& window, int frame, uint* hotX = nullptr, uint* hotY = nullptr) {
    DataConverter converter;
    QSignalSpy hotspot(&converter, &DataConverter::hotspotAt);
    if (converter.parseVideoFile(movieFile(), false, false) != kFrames)
        return QImage();
    RawConvertConfig* config = window.rawConfig();
    ThermalImageConversionSet set;
    set.lowerBound = uint32_t(config->getLowerBound());
    set.upperBound = uint32_t(config->getUpperBound());
    set.colorMode = config->getColorMode();
    set.inverted = config->getInverted();
    set.autoGainEnabled = config->getAutoGainEnabled();
    QImage image(1, 1, QImage::Format_RGB888);
    bool ok = false;
    converter.getThermalImageFromVideoRawList(frame, image, &ok, ksDefines::NoSerialData, set);
    if (!ok)
        return QImage();
    if (hotX && hotY && !hotspot.isEmpty()) {
        *hotX = hotspot.last().at(0).toUInt();
        *hotY = hotspot.last().at(1).toUInt();
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

QImage readPicture(const QString& file) {
    return QImage(file).convertToFormat(QImage::Format_RGB888);
}

} // namespace

class TestExportDriver : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void frameSelection_data();
    void frameSelection();
    void picturesShowTheirFrames();
    void wholeRecordingWithFileCounter();
    void rangeWarningsWriteNothing_data();
    void rangeWarningsWriteNothing();
    void earlierSideFilesAreRemoved();
    void formatsWithoutWriter_data();
    void formatsWithoutWriter();
    void metaDataWithoutWriter();
    void unwritableTarget();
    void rotationAndLegend_data();
    void rotationAndLegend();
    void hotspotMarker();
    void saveImageToFile_data();
    void saveImageToFile();
    void quickExport();
    void quickExportWithoutFolder();
    void singleFrameFiles_data();
    void singleFrameFiles();
    void commandLine();
    void helpEndsTheConstructor();
    void commandLineFailures_data();
    void commandLineFailures();

private:
    std::unique_ptr<testsupport::Recorder> recorder;
    std::unique_ptr<Kalorix> window;
};

void TestExportDriver::initTestCase() {
    synth::MovieOptions options;
    options.frames = kFrames;
    options.version = 6;
    options.scene.objects = 3;
    QVERIFY(synth::writeFile(movieFile(), synth::makeMovie(options)));
    // Written before any window lists their folder: a file appearing in the
    // folder the browser shows makes the browser select (and open) again.
    const QString singles = testsupport::scratchDir() + QStringLiteral("/singles");
    QDir(singles).removeRecursively();
    QVERIFY(QDir().mkpath(singles));
    for (bool compressed : {false, true}) {
        synth::MovieOptions single;
        single.compressed = compressed;
        single.scene.seed = 99;
        const QString name =
            compressed ? QStringLiteral("single.thc") : QStringLiteral("single.THR");
        QVERIFY(synth::writeFile(singles + QLatin1Char('/') + name,
                                 synth::makeSingleFrameFile(single)));
    }
}

void TestExportDriver::init() {
    recorder = std::make_unique<testsupport::Recorder>();
    char name[] = "kalorix";
    char* argv[] = {name, nullptr};
    window = std::make_unique<Kalorix>(1, argv);
    QVERIFY(!window->commandLineExitCode());
    QVERIFY(window->openInputFile(movieFile()));
    QCOMPARE(window->converter()->getNumberOfVideoFrames(), kFrames);
    window->rawConfig()->setLegendVisibility(false);
    window->rawConfig()->setRotation(0);
    recorder->clear();
}

void TestExportDriver::cleanup() {
    window.reset();
    recorder.reset();
}

void TestExportDriver::frameSelection_data() {
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("end");
    QTest::addColumn<uint>("step");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("10..10 step 1") << 10u << 10u << 1u << QStringList{"run_0010.png"};
    QTest::newRow("1..10 step 3") << 1u << 10u << 3u
                                  << QStringList{"run_0001.png", "run_0004.png", "run_0007.png",
                                                 "run_0010.png"};
    QTest::newRow("1..9 step 3") << 1u << 9u << 3u
                                 << QStringList{"run_0001.png", "run_0004.png", "run_0007.png"};
    QTest::newRow("step 0 taken as 1")
        << 11u << 12u << 0u << QStringList{"run_0011.png", "run_0012.png"};
}

void TestExportDriver::frameSelection() {
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(uint, step);
    const QString dir = freshDir(QStringLiteral("selection"));
    window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), start, end, step);
    QTEST(filesIn(dir), "files");
    QVERIFY(recorder->reports.empty());
    QCOMPARE(window->exportFailureCount(), 0);
    auto* progress = window->findChild<QProgressBar*>(QStringLiteral("progressBar"));
    QVERIFY(progress);
    QVERIFY(progress->isHidden());
}

void TestExportDriver::picturesShowTheirFrames() {
    const QString dir = freshDir(QStringLiteral("content"));
    window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 2, 8, 6);
    QCOMPARE(filesIn(dir), QStringList({"run_0002.png", "run_0008.png"}));
    const QImage second = readPicture(dir + "/run_0002.png");
    const QImage eighth = readPicture(dir + "/run_0008.png");
    QCOMPARE(second.size(), QSize(640, 512));
    QCOMPARE(second, referenceFrame(*window, 2));
    QCOMPARE(eighth, referenceFrame(*window, 8));
    // The scene moves, so a picture written under the wrong number differs.
    QVERIFY(second != eighth);
}

void TestExportDriver::wholeRecordingWithFileCounter() {
    const QString dir = freshDir(QStringLiteral("whole"));
    window->executeExport(dir, QStringLiteral("scan"), QStringLiteral("png"), 0, 0, 2, 0);
    QStringList expected;
    for (int frame = 1; frame <= kFrames; ++frame)
        expected << QStringLiteral("scan_002_%1.png").arg(frame, 4, 10, QLatin1Char('0'));
    QCOMPARE(filesIn(dir), expected);
    QVERIFY(recorder->reports.empty());

    // An empty directory, prefix or format does nothing.
    const QString other = freshDir(QStringLiteral("whole-empty"));
    window->executeExport(other, QString(), QStringLiteral("png"), 0, 0, 0, 1);
    window->executeExport(other, QStringLiteral("scan"), QString(), 0, 0, 0, 1);
    window->executeExport(QString(), QStringLiteral("scan"), QStringLiteral("png"), 0, 0, 0, 1);
    QVERIFY(filesIn(other).isEmpty());
    QVERIFY(recorder->reports.empty());
}

void TestExportDriver::rangeWarningsWriteNothing_data() {
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("end");
    QTest::addColumn<QString>("text");
    QTest::newRow("end before start") << 6u << 5u << "Start frame must be lower than end frame";
    QTest::newRow("start beyond") << 13u << 13u << "Start frame is higher than frames in dataset";
    QTest::newRow("end beyond") << 1u << 13u << "End frame is higher than frames in dataset";
}

void TestExportDriver::rangeWarningsWriteNothing() {
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(QString, text);
    const QString dir = freshDir(QStringLiteral("range"));
    // Side files of an earlier export survive a refused one.
    QFile meta(dir + "/run_meta.csv");
    QVERIFY(meta.open(QIODevice::WriteOnly));
    meta.close();
    window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), start, end, 1);
    QCOMPARE(int(recorder->reports.size()), 1);
    QCOMPARE(recorder->reports[0].kind, kx::ReportKind::Warning);
    QCOMPARE(recorder->reports[0].title, QString());
    QCOMPARE(recorder->reports[0].text, text);
    QCOMPARE(filesIn(dir), QStringList({"run_meta.csv"}));
    QCOMPARE(window->exportFailureCount(), 1);
}

void TestExportDriver::earlierSideFilesAreRemoved() {
    const QString dir = freshDir(QStringLiteral("side"));
    for (const char* name : {"run.kml", "run_meta.csv", "other_meta.csv"}) {
        QFile f(dir + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 3, 3, 1);
    QCOMPARE(filesIn(dir), QStringList({"other_meta.csv", "run_0003.png"}));
}

void TestExportDriver::formatsWithoutWriter_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    const QString later = QStringLiteral("Export format \"%1\" is not available in this version; "
                                         "nothing was exported");
    for (const char* f : {"rjpg", "seq", "avi", "tif", "tiff", "csv", "meta_only"})
        QTest::newRow(f) << QString::fromLatin1(f) << later.arg(QLatin1String(f));
    QTest::newRow("AVI as the dialog shows it") << "AVI" << later.arg(QLatin1String("AVI"));
    QTest::newRow("bmp") << "bmp"
                         << "Unsupported image format selected. Available are .png, .jpg, .jpeg";
}

void TestExportDriver::formatsWithoutWriter() {
    QFETCH(QString, format);
    QFETCH(QString, text);
    const QString dir = freshDir(QStringLiteral("formats"));
    QFile kml(dir + "/run.kml");
    QVERIFY(kml.open(QIODevice::WriteOnly));
    kml.close();
    window->executeFrameExport(dir, QStringLiteral("run"), format, 1, 5, 1);
    // One message for the whole range, before any file is touched.
    QCOMPARE(int(recorder->reports.size()), 1);
    QCOMPARE(recorder->reports[0].title, QStringLiteral("Error"));
    QCOMPARE(recorder->reports[0].text, text);
    QCOMPARE(filesIn(dir), QStringList({"run.kml"}));
}

void TestExportDriver::metaDataWithoutWriter() {
    const QString dir = freshDir(QStringLiteral("meta"));
    window->exportSettings()->setMetaCsvSelection(true);
    window->exportSettings()->setMetaTypeSelection(1);
    window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 1, 2, 1);
    QCOMPARE(int(recorder->reports.size()), 1);
    QCOMPARE(recorder->reports[0].text,
             QStringLiteral("Meta data export (one CSV for all frames) is not available in this "
                            "version; nothing was exported"));
    QVERIFY(filesIn(dir).isEmpty());
}

void TestExportDriver::unwritableTarget() {
    const QString dir = testsupport::scratchDir() + QStringLiteral("/no-such-folder");
    QDir(dir).removeRecursively();
    window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 1, 4, 1);
    QCOMPARE(int(recorder->reports.size()), 1);
    QCOMPARE(recorder->reports[0].text, QStringLiteral("Target directory \"") + dir +
                                            QStringLiteral("\" does not exist or is not writable"));
    QVERIFY(!QFileInfo::exists(dir));
}

void TestExportDriver::rotationAndLegend_data() {
    QTest::addColumn<int>("rotation");
    QTest::addColumn<bool>("legend");
    QTest::addColumn<QSize>("size");
    QTest::newRow("0, no legend") << 0 << false << QSize(640, 512);
    QTest::newRow("90") << 90 << false << QSize(512, 640);
    QTest::newRow("270 (counter-clockwise)") << 270 << false << QSize(512, 640);
    QTest::newRow("180") << 180 << false << QSize(640, 512);
    // The 61-pixel legend strip is added after the turn, beside the picture.
    QTest::newRow("0 with legend") << 0 << true << QSize(701, 512);
    QTest::newRow("90 with legend") << 90 << true << QSize(573, 640);
}

void TestExportDriver::rotationAndLegend() {
    QFETCH(int, rotation);
    QFETCH(bool, legend);
    QFETCH(QSize, size);
    window->rawConfig()->setRotation(rotation);
    window->rawConfig()->setLegendVisibility(legend);
    const QString dir = freshDir(QStringLiteral("rotation"));
    window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 4, 4, 1);
    QCOMPARE(filesIn(dir), QStringList({"run_0004.png"}));
    const QImage picture = readPicture(dir + "/run_0004.png");
    QCOMPARE(picture.size(), size);

    // Every pixel of the frame lands where the turn puts it (nearest neighbour,
    // positive angles clockwise): W and H are the unturned width and height.
    const QImage frame = referenceFrame(*window, 4);
    const int w = frame.width();
    const int h = frame.height();
    const QPoint samples[] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {123, 45}, {w - 1, h - 1}};
    for (const QPoint& p : samples) {
        QPoint q;
        switch (rotation) {
        case 90:
            q = QPoint(h - 1 - p.y(), p.x());
            break;
        case 180:
            q = QPoint(w - 1 - p.x(), h - 1 - p.y());
            break;
        case 270:
            q = QPoint(p.y(), w - 1 - p.x());
            break;
        default:
            q = p;
        }
        QCOMPARE(picture.pixel(q), frame.pixel(p));
    }
    if (legend) {
        // The legend is upright beside the turned picture: its 10-pixel
        // colour bar runs top to bottom at the strip's left edge (so colours
        // change down the column), the rest of the 61-pixel strip is black.
        const int bar = size.width() - 61 + 5;
        const int h = size.height();
        QVERIFY(picture.pixel(bar, h / 2) != qRgb(0, 0, 0));
        QVERIFY(picture.pixel(bar, h / 2) != picture.pixel(bar, 3 * h / 4));
        QCOMPARE(picture.pixel(bar + 25, h / 2), qRgb(0, 0, 0));
    }
}

void TestExportDriver::hotspotMarker() {
    auto* mark = window->findChild<QAction*>(QStringLiteral("actionMark_Hotspot"));
    QVERIFY(mark);
    mark->setChecked(true);
    const QString dir = freshDir(QStringLiteral("marker"));
    window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 6, 6, 1);
    uint x = 0;
    uint y = 0;
    const QImage frame = referenceFrame(*window, 6, &x, &y);
    const QImage picture = readPicture(dir + "/run_0006.png");
    QCOMPARE(picture.size(), frame.size());
    // Black 9 and 10 pixels left of the hot spot, white 11 pixels left of it
    // (where inside the frame); the hot spot itself keeps its colour.
    if (x >= 11) {
        QCOMPARE(picture.pixel(int(x) - 11, int(y)), qRgb(255, 255, 255));
        QCOMPARE(picture.pixel(int(x) - 10, int(y)), qRgb(0, 0, 0));
        QCOMPARE(picture.pixel(int(x) - 9, int(y)), qRgb(0, 0, 0));
    }
    if (int(x) + 11 < picture.width()) {
        QCOMPARE(picture.pixel(int(x) + 11, int(y)), qRgb(255, 255, 255));
        QCOMPARE(picture.pixel(int(x) + 10, int(y)), qRgb(0, 0, 0));
    }
    QCOMPARE(picture.pixel(int(x), int(y)), frame.pixel(int(x), int(y)));
    QCOMPARE(picture.pixel(int(x) - 8 < 0 ? 0 : int(x) - 8, int(y)),
             frame.pixel(int(x) - 8 < 0 ? 0 : int(x) - 8, int(y)));
}

void TestExportDriver::saveImageToFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QByteArray>("written"); // format of the file on disk, empty: none
    QTest::newRow("png") << "a.png"
                         << "png" << true << "" << QByteArray("png");
    QTest::newRow("JPG in capitals") << "b.JPG"
                                     << "JPG" << true << "" << QByteArray("jpeg");
    QTest::newRow("jpeg") << "c.jpeg"
                          << "jpeg" << true << "" << QByteArray("jpeg");
    QTest::newRow("tiff") << "d.tiff"
                          << "tiff" << true << "" << QByteArray("tiff");
    QTest::newRow("csv writes nothing") << "e.csv"
                                        << "csv" << false << "" << QByteArray();
    QTest::newRow("bmp") << "f.bmp"
                         << "bmp" << false
                         << "Unsupported image format selected. Available are .png, .jpg, .jpeg"
                         << QByteArray();
    QTest::newRow("empty name") << ""
                                << "png" << false << "" << QByteArray();
    QTest::newRow("missing folder")
        << "missing/g.png"
        << "png" << false << "Error while writing image \"%1/missing/g.png\" with format png"
        << QByteArray();
}

void TestExportDriver::saveImageToFile() {
    QFETCH(QString, name);
    QFETCH(QString, format);
    QFETCH(QString, report);
    QFETCH(QByteArray, written);
    const QString dir = freshDir(QStringLiteral("save"));
    const QString file = name.isEmpty() ? QString() : dir + QLatin1Char('/') + name;
    QImage image(40, 30, QImage::Format_RGB888);
    image.fill(QColor(10, 200, 30));
    const QImage before = image;
    QTEST(window->saveImageToFile(file, format, &image), "result");
    QCOMPARE(image, before);
    if (report.isEmpty()) {
        QVERIFY(recorder->reports.empty());
    } else {
        QCOMPARE(int(recorder->reports.size()), 1);
        QCOMPARE(recorder->reports[0].title, QStringLiteral("Error"));
        QCOMPARE(recorder->reports[0].text, report.contains("%1") ? report.arg(dir) : report);
    }
    if (written.isEmpty()) {
        QVERIFY(filesIn(dir).isEmpty());
    } else {
        QImageReader reader(file);
        QCOMPARE(reader.format(), written);
        QCOMPARE(reader.size(), QSize(40, 30));
    }
}

void TestExportDriver::quickExport() {
    const QString dir = freshDir(QStringLiteral("quick"));
    VideoExportSettings* settings = window->exportSettings();
    settings->findChild<QLineEdit*>(QStringLiteral("lePath"))->setText(dir);
    settings->findChild<QLineEdit*>(QStringLiteral("leFilename"))->setText(QStringLiteral("q"));
    auto* extension = settings->findChild<QComboBox*>(QStringLiteral("cbExtension"));
    extension->setCurrentIndex(extension->findText(QStringLiteral("JPG")));
    QCOMPARE(settings->getExtension(), QStringLiteral("JPG"));
    auto* slider = window->findChild<QSlider*>(QStringLiteral("slMovieFiles"));
    slider->setValue(7);
    QMetaObject::invokeMethod(window.get(), "on_btnQuickExport_clicked");
    // Lower-case suffix: the JPEG tagging step opens frame name + ".jpg".
    QCOMPARE(filesIn(dir), QStringList({"q_0007.jpg"}));
    QVERIFY(recorder->reports.empty());
}

void TestExportDriver::quickExportWithoutFolder() {
    window->exportSettings()->findChild<QLineEdit*>(QStringLiteral("lePath"))->clear();
    QMetaObject::invokeMethod(window.get(), "on_btnQuickExport_clicked");
    QCOMPARE(int(recorder->reports.size()), 1);
    QCOMPARE(recorder->reports[0].title, QStringLiteral("No folder selected"));
    QCOMPARE(recorder->reports[0].text,
             QStringLiteral("Please open export dialog once and select a folder to store the "
                            "frames into"));
}

void TestExportDriver::singleFrameFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow(".THR") << "single.THR";
    QTest::newRow(".thc") << "single.thc";
}

void TestExportDriver::singleFrameFiles() {
    // A single frame has no movie index: it exports as a recording of one
    // frame, converted from the file itself, not from the movie opened before.
    QFETCH(QString, name);
    const QString file = testsupport::scratchDir() + QStringLiteral("/singles/") + name;
    QVERIFY(window->openInputFile(file));
    const QString dir = freshDir(QStringLiteral("single"));
    const QImage shown = window->getDisplayImage().convertToFormat(QImage::Format_RGB888);
    window->executeExport(dir, QStringLiteral("one"), QStringLiteral("png"), 0, 0, 0, 1);
    QCOMPARE(filesIn(dir), QStringList({"one_000_0001.png"}));
    QVERIFY(recorder->reports.empty());
    QCOMPARE(readPicture(dir + "/one_000_0001.png"), shown);

    window->executeFrameExport(dir, QStringLiteral("one"), QStringLiteral("png"), 1, 2, 1);
    QCOMPARE(int(recorder->reports.size()), 1);
    QCOMPARE(recorder->reports[0].text,
             QStringLiteral("End frame is higher than frames in dataset"));
}

void TestExportDriver::commandLine() {
    const QString dir = freshDir(QStringLiteral("cli"));
    QList<QByteArray> args = {"kalorix",
                              "-I",
                              movieFile().toLocal8Bit(),
                              "-cp",
                              "GRAY",
                              "-l",
                              "-expa",
                              dir.toLocal8Bit(),
                              "-exfn",
                              "scan",
                              "-exfo",
                              "PNG",
                              "-exsf",
                              "2",
                              "-exef",
                              "3",
                              "-c",
                              "-q"};
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    window->processCommandLineParameters(int(argv.size()), argv.data());
    QCOMPARE(window->commandLineExitCode(), std::optional<int>(0));
    QCOMPARE(filesIn(dir), QStringList({"scan_000_0002.png", "scan_000_0003.png"}));
    QCOMPARE(window->rawConfig()->getColorMode(), 0);
    QVERIFY(window->rawConfig()->getLegendVisibility());
    QCOMPARE(readPicture(dir + "/scan_000_0002.png").size(), QSize(701, 512));
    QVERIFY(recorder->reports.empty());
    QCOMPARE(recorder->outLines(),
             QStringList({"File to open: " + movieFile(), "OPTION: -l => Show legend"}));
    QVERIFY(recorder->err.isEmpty()); // -q: no progress lines
}

void TestExportDriver::helpEndsTheConstructor() {
    char program[] = "kalorix";
    char legend[] = "-L";
    char help[] = "-HELP";
    char input[] = "-i";
    std::string movie = movieFile().toStdString();
    char* argv[] = {program, legend, help, input, movie.data(), nullptr};
    recorder->clear();
    const Kalorix helped(5, argv);
    QCOMPARE(helped.commandLineExitCode(), std::optional<int>(0));
    // The legend line first (options before -help act), then the help text;
    // the file after -help is never opened.
    QStringList expected = expectedHelpLines();
    expected.prepend(QStringLiteral("OPTION: -l => Show legend"));
    QCOMPARE(recorder->out, expected.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    QVERIFY(!recorder->out.contains(QStringLiteral("File to open")));
    QVERIFY(helped.getCurrentFileName().isEmpty());
}

void TestExportDriver::commandLineFailures_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<int>("files");
    const QString missing = testsupport::scratchDir() + "/missing.TMC";
    QTest::newRow("missing input, the next still exported")
        << QStringList{"-i", missing, "-i", "MOVIE", "-exsf", "1", "-exef", "2"} << 1
        << QStringList{"Error while loading file \"" + missing + "\""} << 2;
    QTest::newRow("folder as input")
        << QStringList{"-i", testsupport::scratchDir()} << 1
        << QStringList{"Error while loading file \"" + testsupport::scratchDir() + "\""} << 0;
    QTest::newRow("start beyond the recording")
        << QStringList{"-i", "MOVIE", "-exsf", "20", "-exef", "20"} << 1
        << QStringList{"Start frame is higher than frames in dataset"} << 0;
    QTest::newRow("all fine, progress lines")
        << QStringList{"-i", "MOVIE", "-exsf", "5", "-exef", "6"} << 0 << QStringList{} << 2;
}

void TestExportDriver::commandLineFailures() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, reports);
    QFETCH(int, files);
    const QString dir = freshDir(QStringLiteral("cli-failures"));
    QList<QByteArray> bytes = {"kalorix"};
    for (const QString& a : args)
        bytes << (a == QLatin1String("MOVIE") ? movieFile() : a).toLocal8Bit();
    for (const char* a : {"-expa", "DIR", "-exfn", "f", "-exfo", "png", "-c"})
        bytes << (QByteArray(a) == "DIR" ? dir.toLocal8Bit() : QByteArray(a));
    std::vector<char*> argv;
    for (QByteArray& a : bytes)
        argv.push_back(a.data());
    window->processCommandLineParameters(int(argv.size()), argv.data());
    QVERIFY(window->commandLineExitCode().has_value());
    QTEST(*window->commandLineExitCode(), "exitCode");
    QStringList texts;
    for (const testsupport::Report& r : recorder->reports)
        texts << r.text;
    QCOMPARE(texts, reports);
    QCOMPARE(filesIn(dir).size(), files);
    if (reports.isEmpty()) {
        // A "-c" run without "-q" tells which file it wrote.
        QCOMPARE(recorder->err, QStringLiteral("frame 1 of 2: %1/f_000_0005.png\nframe 2 of 2: "
                                               "%1/f_000_0006.png\n")
                                    .arg(dir));
    }
}

QTEST_MAIN(TestExportDriver)
#include "tst_exportdriver.moc"
