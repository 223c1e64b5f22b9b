#include "Recordings.h"
#include "app/KalorixController.h"
#include "recording/DataConverter.h"

#include <QtTest>

namespace {

using recordings::row;

// Every signal of the controller is logged with its arguments into one line,
// so a test sees the order across signals, not only per signal.
class SignalLog : public QObject {
public:
    QString entries;
    explicit SignalLog(KalorixController* c) {
#define LOG(name) on(c, &KalorixController::name, #name)
        LOG(updateFileNameLabel), LOG(updateImageZoom), LOG(requestDisplayImageResize);
        LOG(requestUILabelUpdate), LOG(updateCurrentFileType), LOG(setVideoControlVisibility);
        LOG(initUIVideoControls), LOG(updateImageLoadOkFlag), LOG(updateMinMaxRAWSliders);
        LOG(updateLastImageWidth), LOG(initProgressBar), LOG(setFilenameLableVisibility);
        LOG(setProgressBarVisibility);
#undef LOG
    }

private:
    template <class... A>
    void on(KalorixController* c, void (KalorixController::*signal)(A...), const char* name) {
        connect(c, signal, this, [this, name](A... args) {
            const QStringList values{QVariant(args).toString()...};
            entries += (entries.isEmpty() ? "" : ";") + QString::fromLatin1(name) +
                       (values.isEmpty() ? QString() : '(' + values.join(',') + ')');
        });
    }
};

// The progress signals every movie load starts with, and those it ends with.
const QString kMovieStart = "initProgressBar(0,100,0);setVideoControlVisibility(false);"
                            "initUIVideoControls(1,1);setFilenameLableVisibility(false);"
                            "setProgressBarVisibility(true)";
const QString kMovieEnd = "setProgressBarVisibility(false);setFilenameLableVisibility(true);"
                          "updateCurrentFileType(0)";

QString path(const QString& name) {
    return testsupport::scratchDir() + QLatin1Char('/') + name;
}

// A manual window, so the bounds that come back are the ones sent.
struct Fixture {
    testsupport::Recorder rec;
    DataConverter converter;
    KalorixController controller{&converter};
    SignalLog log{&controller};
    ThermalImageConversionSet set{5000, 9000, 1, false, 0, 0, false, false, 1.0f, false};
    QImage image;
    bool load(const QString& file, int lastWidth = 0) {
        QImage daylight;
        return controller.loadRawDataFile(path(file), lastWidth, ksDefines::NoSerialData, set,
                                          false, image, daylight);
    }
    // "title: text" of every report ("?" before one that is no error).
    QString reports() const {
        QStringList all;
        for (const testsupport::Report& r : rec.reports)
            all << (r.kind == kx::ReportKind::Error ? "" : "?") + r.title + ": " + r.text;
        return all.join(';');
    }
};

} // namespace

class TestController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        const auto put = recordings::scratch;
        // 160 x 120 (the decoder wants rows of at least 160 values).
        const auto movie = [](bool compressed, int frames) {
            return recordings::options(6, compressed, frames, 160, 120);
        };
        for (const char* name : {"one.THR", "lower.thr"})
            put(name, synth::makeSingleFrameFile(movie(false, 1)));
        put("one.THC", synth::makeSingleFrameFile(movie(true, 1)));
        put("five.THM", synth::makeMovie(movie(false, 5)));
        put("five.TMC", synth::makeMovie(movie(true, 5)));
        synth::MovieOptions gap = movie(true, 6);
        gap.counterGapsAfter = {3};
        put("gap.TMC", synth::makeMovie(gap));
        for (const char* name : {"garbage.THR", "garbage.THC", "garbage.TMC"})
            put(name, QByteArray(5000, 'x'));
        synth::FusionOptions fusion;
        fusion.thermal = movie(true, 2);
        fusion.daylightWidth = 32;
        fusion.daylightHeight = 24;
        put("fusion.TFC", synth::makeFusion(fusion));
        put("garbage.TFC", QByteArray(5000, 'x'));
        // One frame that is a header only: indexed, but nothing to show.
        put("bare.TMC", synth::makeHeader({}));
        put("movie.raw", synth::makeMovie(movie(false, 2)));
        put("broken.png", QByteArray("\x89PNG\r\n\x1a\nbroken"));
        QVERIFY(QImage(3, 2, QImage::Format_RGB888).save(path("pic.png")));
    }

    void loads_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("lastWidth");
        // The image's size or "refused" | signals | reports | the last console
        // line, after a report the last two (%1: the file's path).
        QTest::addColumn<QString>("expected");
        const QString head = "160x120 | updateImageLoadOkFlag(true);updateMinMaxRAWSliders(5000,"
                             "9000);setVideoControlVisibility(false);updateFileNameLabel(%1);";
        const QString width = "updateImageZoom(1);updateLastImageWidth(160);";
        const QString redraw = "requestDisplayImageResize;requestUILabelUpdate;";
        const QString tail = redraw + "updateCurrentFileType(0) |  | ";
        row("THR, new width", "one.THR", 0, head.arg("one.THR") + width + tail + "Opening: %1");
        row("thr lower case, same width", "lower.thr", 160,
            head.arg("lower.thr") + tail + "Opening: %1");
        // Only the compressed single-frame loader prints the file's name.
        row("THC", "one.THC", 0, head.arg("one.THC") + width + tail + "one.THC");
        const QString movie = "160x120 | " + kMovieStart + ";updateMinMaxRAWSliders(5000,9000);" +
                              redraw +
                              "updateImageLoadOkFlag(true);initUIVideoControls(5,1);"
                              "setVideoControlVisibility(true);updateFileNameLabel(1 / 5);" +
                              redraw + kMovieEnd + " |  | ";
        row("THM", "five.THM", 0, movie);
        row("TMC", "five.TMC", 0, movie);
        const QString image =
            "refused | updateImageLoadOkFlag(false) | Error: Error while loading "
            "image (in Kalorix::loadRawImage) \"%1\" | Error while loading image / "
            "no frame signature";
        row("garbage THR", "garbage.THR", 0, image);
        row("garbage THC", "garbage.THC", 0, image);
        // No frame signature: the progress signals, the report, then the end of
        // the progress display; no frame signal in between.
        row("movie without frames", "garbage.TMC", 0,
            "refused | " + kMovieStart + ";" + kMovieEnd +
                " | Error: Error while loading file \"%1\" | Error while loading image / "
                "no frame signature");
        // A fusion recording opens as a compressed movie of its thermal frames.
        row("fusion", "fusion.TFC", 0,
            QString(movie).replace("(5,1)", "(2,1)").replace("1 / 5", "1 / 2"));
        row("fusion without frames", "garbage.TFC", 0,
            "refused | " + kMovieStart + ";" + kMovieEnd +
                " | Error: Error while loading file \"%1\" | Error while loading video file / "
                "no frame signature");
        row("other extension", "movie.raw", 0, "refused |  |  | ");
    }

    void loads() {
        QFETCH(QString, file);
        QFETCH(int, lastWidth);
        QFETCH(QString, expected);
        Fixture f;
        const bool loaded = f.load(file, lastWidth);
        const QStringList out = f.rec.outLines();
        QCOMPARE((loaded ? QString::asprintf("%dx%d", f.image.width(), f.image.height())
                         : QString("refused")) +
                     " | " + f.log.entries + " | " + f.reports() + " | " +
                     (f.reports().isEmpty() ? QString() : out.value(out.size() - 2) + " / ") +
                     out.value(out.size() - 1),
                 expected.replace("%1", path(file)));
    }

    // A second movie opened from an event handled during an index scan is
    // refused; the scan under way finishes normally.
    void busyConverterRefusesASecondMovie() {
        Fixture f;
        QString nested;
        connect(&f.converter, &DataConverter::filePercentageChanged, this, [&]() {
            if (!nested.isEmpty())
                return;
            SignalLog log(&f.controller);
            nested = f.load("five.THM") ? "loaded" : log.entries;
        });
        QVERIFY(f.load("five.TMC"));
        QCOMPARE(nested, kMovieStart);
        QVERIFY(f.rec.outLines().contains(QStringLiteral("Error while loading video file")));
        QCOMPARE(QString::number(f.converter.getNumberOfVideoFrames()) + f.reports(), "5");
    }

    // The index of the refused movie succeeded and its first frame failed:
    // before, the converter kept the refused movie open.
    void firstFrameThatFailsKeepsTheMovie() {
        Fixture f;
        QVERIFY(f.load("five.THM"));
        const auto rawOf = [&f](int frame) {
            QImage image;
            bool ok = false;
            f.controller.getThermalImageFromVideoRawdata(unsigned(frame), &ok,
                                                         ksDefines::NoSerialData, f.set, image);
            return ok ? f.converter.getRawBuffer() : std::vector<uint16_t>();
        };
        const std::vector<uint16_t> second = rawOf(2);
        const std::vector<uint16_t> shown = rawOf(3);
        QVERIFY(!shown.empty() && second != shown);
        QVERIFY(!f.load("bare.TMC"));
        QCOMPARE(f.reports(), "Error: Error while loading file \"" + path("bare.TMC") + '"');
        QCOMPARE(f.converter.getCurrentFileName() + ' ' +
                     QString::number(f.converter.getNumberOfVideoFrames()),
                 path("five.THM") + " 5");
        QVERIFY(f.converter.getRawBuffer() == shown);
        QVERIFY(rawOf(2) == second);
    }

    void loadImage() {
        Fixture f;
        QVERIFY(f.controller.loadImage(path("pic.png"), f.image));
        QCOMPARE(f.image.size(), QSize(3, 2));
        QCOMPARE(f.log.entries, "updateFileNameLabel(pic.png);updateImageZoom(1);"
                                "requestDisplayImageResize;requestUILabelUpdate;"
                                "updateCurrentFileType(1)");
        f.log.entries.clear();
        // A file that is no picture leaves the size of the last one.
        QVERIFY(!f.controller.loadImage(path("broken.png"), f.image));
        QCOMPARE(f.log.entries + f.rec.out + f.reports() +
                     QString::asprintf(" %ux%u", f.converter.getImageWidth(),
                                       f.converter.getImageHeight()),
                 "Error while loading image\nError: Error while loading image \"" +
                     path("broken.png") + "\" 3x2");
    }

    void laterFrames() {
        Fixture f;
        QVERIFY(f.load("five.THM"));
        f.log.entries.clear();
        f.set.lowerBound = 6000;
        const auto frame = [&](unsigned n, bool* ok) {
            return f.controller.getThermalImageFromVideoRawdata(n, ok, ksDefines::NoSerialData,
                                                                f.set, f.image);
        };
        // Without a flag to report to, nothing is signalled; frame numbers outside
        // 1..5 leave the flag as it was.
        bool ok = false, untouched = true;
        QVERIFY(!frame(2, nullptr) && frame(5, &ok) && ok && frame(0, &untouched) &&
                frame(6, &untouched) && untouched);
        QCOMPARE(f.log.entries,
                 QString("updateMinMaxRAWSliders(6000,9000);requestDisplayImageResize;"
                         "requestUILabelUpdate;")
                     .repeated(3)
                     .chopped(1));
    }

    void fileTest_data() {
        QTest::addColumn<QString>("file"); // empty: nothing loaded
        QTest::addColumn<QString>("expected");
        // The verdict is also reported to the user.
        const QString ok = "Testing TMC file\nFile ok\n?Test TMC file: File ok";
        row("no file", "", ok);
        row("continuous counter", "five.TMC", ok);
        // Counters 42 43 44 46 47 48: one jump of two after the third frame.
        row("counter skips one", "gap.TMC",
            "Testing TMC file\nCurrent: 46  |  Last: 44  |  Diff: 2\nFile CORRUPT\n"
            "?Test TMC file: File CORRUPT");
    }

    void fileTest() {
        QFETCH(QString, file);
        Fixture f;
        QVERIFY(file.isEmpty() || f.load(file));
        f.rec.clear();
        f.controller.checkCurrentTMC();
        QTEST(f.rec.out + f.reports(), "expected");
    }
};

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
