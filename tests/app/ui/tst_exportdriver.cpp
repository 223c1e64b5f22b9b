#include "app/ui/WindowTestSupport.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/ui/VideoExportSettings.h"

#include <QComboBox>
#include <QImageReader>
#include <QLineEdit>
#include <QProgressBar>

using namespace windowtest;

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

QImage readPicture(const QString& file) {
    return QImage(file).convertToFormat(QImage::Format_RGB888);
}

// "MOVIE", "SCRATCH" and "DIR" in a test's texts stand for the recording, the
// scratch folder and the target folder.
QString expand(QString text, const QString& dir) {
    return text.replace(QLatin1String("MOVIE"), movieFile())
        .replace(QLatin1String("SCRATCH"), testsupport::scratchDir())
        .replace(QLatin1String("DIR"), dir);
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

private slots:
    void initTestCase() {
        synth::MovieOptions options;
        options.frames = kFrames;
        options.version = 6;
        options.scene.objects = 3;
        QVERIFY(synth::writeFile(movieFile(), synth::makeMovie(options)));
        // Written before any window lists their folder: a file appearing in
        // the folder the browser shows makes the browser select (and open) again.
        const QString singles = freshDir(QStringLiteral("singles"));
        for (bool compressed : {false, true}) {
            synth::MovieOptions single;
            single.compressed = compressed;
            single.scene.seed = 99;
            QVERIFY(synth::writeFile(singles + (compressed ? "/single.thc" : "/single.THR"),
                                     synth::makeSingleFrameFile(single)));
        }
    }

    void init() {
        start(false);
        QVERIFY(!window->commandLineExitCode());
        QVERIFY(window->openInputFile(movieFile()));
        QCOMPARE(window->converter()->getNumberOfVideoFrames(), kFrames);
        window->rawConfig()->setLegendVisibility(false);
        window->rawConfig()->setRotation(0);
        recorder->clear();
    }

    void frameSelection_data() {
        QTest::addColumn<uint>("start");
        QTest::addColumn<uint>("end");
        QTest::addColumn<uint>("step");
        QTest::addColumn<int>("counter"); // -1: the frame export, else the whole-file one
        QTest::addColumn<QString>("files");
        const auto row = [](const char* tag, uint start, uint end, uint step, int counter,
                            const char* files) {
            QTest::newRow(tag) << start << end << step << counter << QString(files);
        };
        // Which frames a range holds is the plan's business; here: the names
        // on disk, and the whole recording when start and end are 0.
        row("1..10 step 3", 1, 10, 3, -1, "run_0001.png run_0004.png run_0007.png run_0010.png");
        row("0..0: whole recording, counter 2", 0, 0, 0, 2,
            "run_002_0001.png run_002_0002.png run_002_0003.png run_002_0004.png "
            "run_002_0005.png run_002_0006.png run_002_0007.png run_002_0008.png "
            "run_002_0009.png run_002_0010.png run_002_0011.png run_002_0012.png");
        row("counter 0, step 0 taken as 1", 11, 12, 0, 0, "run_000_0011.png run_000_0012.png");
    }

    void frameSelection() {
        QFETCH(uint, start);
        QFETCH(uint, end);
        QFETCH(uint, step);
        QFETCH(int, counter);
        QFETCH(QString, files);
        const QString dir = freshDir(QStringLiteral("selection"));
        if (counter < 0)
            window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), start,
                                       end, step);
        else
            window->executeExport(dir, QStringLiteral("run"), QStringLiteral("png"), start, end,
                                  uint(counter), step);
        QCOMPARE(filesIn(dir), files.split(QLatin1Char(' ')));
        QCOMPARE(reports(), QStringList());
        QCOMPARE(window->exportFailureCount(), 0);
        QVERIFY(get<QProgressBar>("progressBar")->isHidden());
    }

    void picturesShowTheirFrames() {
        const QString dir = freshDir(QStringLiteral("content"));
        window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 2, 8, 6);
        QCOMPARE(filesIn(dir), QStringList({"run_0002.png", "run_0008.png"}));
        const QImage second = readPicture(dir + "/run_0002.png");
        QCOMPARE(second.size(), QSize(640, 512));
        QCOMPARE(second, shownFrame(2));
        // The scene moves, so a picture written under the wrong number differs.
        QVERIFY(second != shownFrame(8));
        QCOMPARE(readPicture(dir + "/run_0008.png"), shownFrame(8));

        // An empty directory, prefix or format does nothing.
        const QString other = freshDir(QStringLiteral("empty-arguments"));
        window->executeExport(other, QString(), QStringLiteral("png"), 0, 0, 0, 1);
        window->executeExport(other, QStringLiteral("scan"), QString(), 0, 0, 0, 1);
        window->executeExport(QString(), QStringLiteral("scan"), QStringLiteral("png"), 0, 0, 0, 1);
        QVERIFY(filesIn(other).isEmpty());
        QCOMPARE(reports(), QStringList());
    }

    void refusedExportsWriteNothing_data() {
        QTest::addColumn<uint>("start");
        QTest::addColumn<uint>("end");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("meta");
        QTest::addColumn<QString>("report");
        const auto row = [](const char* tag, uint start, uint end, const char* format, bool meta,
                            const QString& report) {
            QTest::newRow(tag) << start << end << QString(format) << meta << report;
        };
        row("end before start", 6, 5, "png", false, "W||Start frame must be lower than end frame");
        row("start beyond", 13, 13, "png", false,
            "W||Start frame is higher than frames in dataset");
        row("end beyond", 1, 13, "png", false, "W||End frame is higher than frames in dataset");
        for (const char* f : {"rjpg", "seq", "avi", "AVI", "tif", "tiff", "csv", "meta_only"})
            row(f, 1, 5, f, false,
                QStringLiteral("E|Error|Export format \"%1\" is not available in this version; "
                               "nothing was exported")
                    .arg(QLatin1String(f)));
        row("bmp", 1, 5, "bmp", false,
            "E|Error|Unsupported image format selected. Available are .png, .jpg, .jpeg");
        row("meta data", 1, 2, "png", true,
            "E|Error|Meta data export (one CSV for all frames) is not available in this version; "
            "nothing was exported");
        row("missing folder", 1, 4, "png", false,
            "E|Error|Target directory \"DIR\" does not exist or is not writable");
    }

    void refusedExportsWriteNothing() {
        QFETCH(uint, start);
        QFETCH(uint, end);
        QFETCH(QString, format);
        QFETCH(QString, report);
        QFETCH(bool, meta);
        const QString base = freshDir(QStringLiteral("refused"));
        // Side files of an earlier export survive a refused one.
        for (const char* name : {"/run.kml", "/run_meta.csv"})
            QVERIFY(QFile(base + name).open(QIODevice::WriteOnly));
        const QString dir = QTest::currentDataTag() == QLatin1String("missing folder")
                                ? base + QStringLiteral("/missing")
                                : base;
        window->exportSettings()->setMetaCsvSelection(meta);
        window->exportSettings()->setMetaTypeSelection(1);
        window->executeFrameExport(dir, QStringLiteral("run"), format, start, end, 1);
        // One message for the whole range, before any file is touched.
        QCOMPARE(reports(), QStringList{expand(report, dir)});
        QCOMPARE(filesIn(base), QStringList({"run.kml", "run_meta.csv"}));
        QCOMPARE(QFileInfo::exists(dir), dir == base);
        QCOMPARE(window->exportFailureCount(), 1);
    }

    void earlierSideFilesAreRemoved() {
        const QString dir = freshDir(QStringLiteral("side"));
        for (const char* name : {"/run.kml", "/run_meta.csv", "/other_meta.csv"})
            QVERIFY(QFile(dir + name).open(QIODevice::WriteOnly));
        window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 3, 3, 1);
        QCOMPARE(filesIn(dir), QStringList({"other_meta.csv", "run_0003.png"}));
    }

    void rotationAndLegend_data() {
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

    void rotationAndLegend() {
        QFETCH(int, rotation);
        QFETCH(bool, legend);
        QFETCH(QSize, size);
        const QImage frame = shownFrame(4);
        window->rawConfig()->setRotation(rotation);
        window->rawConfig()->setLegendVisibility(legend);
        const QString dir = freshDir(QStringLiteral("rotation"));
        window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 4, 4, 1);
        const QImage picture = readPicture(dir + "/run_0004.png");
        QCOMPARE(picture.size(), size);
        // Every pixel of the frame lands where the turn puts it (nearest
        // neighbour, positive angles clockwise).
        const int w = frame.width();
        const int h = frame.height();
        for (const QPoint& p :
             {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(123, 45)}) {
            const QPoint q = rotation == 90    ? QPoint(h - 1 - p.y(), p.x())
                             : rotation == 180 ? QPoint(w - 1 - p.x(), h - 1 - p.y())
                             : rotation == 270 ? QPoint(p.y(), w - 1 - p.x())
                                               : p;
            QCOMPARE(picture.pixel(q), frame.pixel(p));
        }
        if (legend) {
            // The legend stands upright beside the turned picture: its 10-pixel
            // colour bar runs top to bottom at the strip's left edge, the rest
            // of the strip is black.
            const int bar = size.width() - 61 + 5;
            const int mid = size.height() / 2;
            QVERIFY(picture.pixel(bar, mid) != qRgb(0, 0, 0));
            QVERIFY(picture.pixel(bar, mid) != picture.pixel(bar, 3 * size.height() / 4));
            QCOMPARE(picture.pixel(bar + 25, mid), qRgb(0, 0, 0));
        }
    }

    void hotspotMarker() {
        const QImage frame = shownFrame(6);
        // Counted from 1 by the decoder; the marker is centred on that count.
        const int x = int(window->getMarkerX());
        const int y = int(window->getMarkerY());
        QVERIFY(x > 11 && x + 11 < frame.width());
        get<QAction>("actionMark_Hotspot")->setChecked(true);
        const QString dir = freshDir(QStringLiteral("marker"));
        window->executeFrameExport(dir, QStringLiteral("run"), QStringLiteral("png"), 6, 6, 1);
        const QImage picture = readPicture(dir + "/run_0006.png");
        // White 11 pixels beside the centre, black 9 and 10 pixels; the
        // centre and 8 pixels beside it keep their colour.
        const QRgb black = qRgb(0, 0, 0);
        const QRgb white = qRgb(255, 255, 255);
        QList<QRgb> pixels;
        for (int dx : {-11, -10, -9, -8, 0, 10, 11})
            pixels << picture.pixel(x + dx, y);
        QCOMPARE(pixels, QList<QRgb>({white, black, black, frame.pixel(x - 8, y), frame.pixel(x, y),
                                      black, white}));
    }

    void saveImageToFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QByteArray>("written"); // format of the file on disk, empty: none
        const auto row = [](const char* name, const char* format, bool result, const char* report,
                            const char* written) {
            QTest::newRow(name) << QString(name) << QString(format) << result << QString(report)
                                << QByteArray(written);
        };
        row("a.png", "png", true, "", "png");
        row("b.JPG", "JPG", true, "", "jpeg");
        row("c.jpeg", "jpeg", true, "", "jpeg");
        row("d.tiff", "tiff", true, "", "tiff");
        row("e.csv", "csv", false, "", "");
        row("f.bmp", "bmp", false,
            "E|Error|Unsupported image format selected. Available are .png, .jpg, .jpeg", "");
        row("", "png", false, "", "");
        row("missing/g.png", "png", false,
            "E|Error|Error while writing image \"DIR/missing/g.png\" with format png", "");
    }

    void saveImageToFile() {
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
        QCOMPARE(reports(), report.isEmpty() ? QStringList() : QStringList{expand(report, dir)});
        QCOMPARE(filesIn(dir).size(), written.isEmpty() ? 0 : 1);
        QCOMPARE(QImageReader(file).format(), written);
        if (!written.isEmpty())
            QCOMPARE(QImageReader(file).size(), QSize(40, 30));
    }

    void quickExport() {
        VideoExportSettings* settings = window->exportSettings();
        settings->findChild<QLineEdit*>(QStringLiteral("lePath"))->clear();
        QMetaObject::invokeMethod(window.get(), "on_btnQuickExport_clicked");
        QCOMPARE(reports(), QStringList{"I|No folder selected|Please open export dialog once and "
                                        "select a folder to store the frames into"});
        recorder->clear();
        const QString dir = freshDir(QStringLiteral("quick"));
        settings->findChild<QLineEdit*>(QStringLiteral("lePath"))->setText(dir);
        settings->findChild<QLineEdit*>(QStringLiteral("leFilename"))->setText(QStringLiteral("q"));
        auto* extension = settings->findChild<QComboBox*>(QStringLiteral("cbExtension"));
        extension->setCurrentIndex(extension->findText(QStringLiteral("JPG")));
        QCOMPARE(settings->getExtension(), QStringLiteral("JPG"));
        slider()->setValue(7);
        QMetaObject::invokeMethod(window.get(), "on_btnQuickExport_clicked");
        // Lower-case suffix: the JPEG tagging step opens frame name + ".jpg".
        QCOMPARE(filesIn(dir), QStringList({"q_0007.jpg"}));
        QCOMPARE(reports(), QStringList());
    }

    void singleFrameFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow(".THR") << "single.THR";
        QTest::newRow(".thc") << "single.thc";
    }

    void singleFrameFiles() {
        // A single frame has no movie index: it exports as a recording of one
        // frame, converted from the file itself, not from the movie opened before.
        QFETCH(QString, name);
        QVERIFY(window->openInputFile(testsupport::scratchDir() + "/singles/" + name));
        const QString dir = freshDir(QStringLiteral("single"));
        const QImage shown = window->getDisplayImage().convertToFormat(QImage::Format_RGB888);
        window->executeExport(dir, QStringLiteral("one"), QStringLiteral("png"), 0, 0, 0, 1);
        QCOMPARE(filesIn(dir), QStringList({"one_000_0001.png"}));
        QCOMPARE(readPicture(dir + "/one_000_0001.png"), shown);
        window->executeFrameExport(dir, QStringLiteral("one"), QStringLiteral("png"), 1, 2, 1);
        QCOMPARE(reports(), QStringList{"W||End frame is higher than frames in dataset"});
    }

    void commandLine_data() {
        // Arguments and files split at blanks, reports and console lines at ";".
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reports");
        QTest::addColumn<QString>("files");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* tag, const QString& args, int exitCode, const char* reports,
                            const char* files, const char* out, const char* err) {
            QTest::newRow(tag) << args << exitCode << QString(reports) << QString(files)
                               << QString(out) << QString(err);
        };
        const QString to = QStringLiteral(" -expa DIR -exfn f -exfo png -c");
        row("grey, legend, quiet",
            "-I MOVIE -cp GRAY -l -expa DIR -exfn scan -exfo PNG -exsf 2 -exef 3 -c -q", 0, "",
            "scan_000_0002.png scan_000_0003.png", "File to open: MOVIE;OPTION: -l => Show legend",
            "");
        // The file counter counts the inputs, the failed one too.
        row("missing input, the next still exported",
            "-i SCRATCH/missing.TMC -i MOVIE -exsf 1 -exef 2" + to, 1,
            "E|Error|Error while loading file \"SCRATCH/missing.TMC\"",
            "f_001_0001.png f_001_0002.png",
            "File to open: SCRATCH/missing.TMC;File to open: MOVIE;DataConverter::parseVideoFile "
            "opening of file: \"SCRATCH/missing.TMC\" failed;Error while loading image",
            "frame 1 of 2: DIR/f_001_0001.png\nframe 2 of 2: DIR/f_001_0002.png\n");
    }

    void commandLine() {
        QFETCH(QString, args);
        QFETCH(QString, err);
        const QString dir = freshDir(QStringLiteral("cli"));
        const auto list = [&](const char* column, char separator) {
            QStringList items;
            for (const QString& item :
                 static_cast<QString*>(QTest::qData(column, QMetaType::QString))
                     ->split(QLatin1Char(separator), Qt::SkipEmptyParts))
                items << expand(item, dir);
            return items;
        };
        QList<QByteArray> bytes{"kalorix"};
        for (const QString& arg : args.split(QLatin1Char(' ')))
            bytes << expand(arg, dir).toLocal8Bit();
        std::vector<char*> argv;
        for (QByteArray& arg : bytes)
            argv.push_back(arg.data());
        window->processCommandLineParameters(int(argv.size()), argv.data());
        QTEST(window->commandLineExitCode().value_or(-1), "exitCode");
        QCOMPARE(reports(), list("reports", ';'));
        QCOMPARE(filesIn(dir), list("files", ' '));
        QCOMPARE(recorder->outLines(), list("out", ';'));
        QCOMPARE(recorder->err, expand(err, dir));
        if (args.contains("GRAY")) {
            QCOMPARE(window->rawConfig()->getColorMode(), 0);
            QVERIFY(window->rawConfig()->getLegendVisibility());
            QCOMPARE(readPicture(dir + "/scan_000_0002.png").size(), QSize(701, 512));
        }
    }
};

int main(int argc, char** argv) {
    usePrivateEnvironment();
    QApplication app(argc, argv);
    TestExportDriver test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exportdriver.moc"
