#include "Recordings.h"
#include "recording/DataConverter.h"
#include "recording/KalorixController.h"

#include <QDir>
#include <QImage>
#include <QtTest>
#include <type_traits>

namespace {

template <class T>
QString text(T v) {
    if constexpr (std::is_same_v<T, QString>)
        return v;
    else
        return QString::number(double(v));
}

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
            const QStringList values{text(args)...};
            entries += (entries.isEmpty() ? "" : ";") + QString::fromLatin1(name) +
                       (values.isEmpty() ? QString() : '(' + values.join(',') + ')');
        });
    }
};

// The progress signals every movie load starts with, and those it ends with.
const QString kMovieStart = "initProgressBar(0,100,0);setVideoControlVisibility(0);"
                            "initUIVideoControls(1,1);setFilenameLableVisibility(0);"
                            "setProgressBarVisibility(1)";
const QString kMovieEnd = "setProgressBarVisibility(0);setFilenameLableVisibility(1);"
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
        put("fusion.TFC", synth::makeMovie(movie(true, 2)));
        put("movie.raw", synth::makeMovie(movie(false, 2)));
        put("broken.png", QByteArray("\x89PNG\r\n\x1a\nbroken"));
        QImage picture(3, 2, QImage::Format_RGB888);
        picture.fill(Qt::red);
        QVERIFY(picture.save(path("pic.png")));
    }

    void loadSignalOrder_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("lastWidth");
        QTest::addColumn<QString>("expected");
        const QString head = "updateImageLoadOkFlag(1);updateMinMaxRAWSliders(5000,9000);"
                             "setVideoControlVisibility(0);updateFileNameLabel(%1);";
        const QString width = "updateImageZoom(1);updateLastImageWidth(160);";
        const QString redraw = "requestDisplayImageResize;requestUILabelUpdate;";
        const QString tail = redraw + "updateCurrentFileType(0)";
        QTest::newRow("THR, new width") << "one.THR" << 0 << head.arg("one.THR") + width + tail;
        QTest::newRow("thr lower case, same width")
            << "lower.thr" << 160 << head.arg("lower.thr") + tail;
        QTest::newRow("THC") << "one.THC" << 0 << head.arg("one.THC") + width + tail;
        const QString movie = kMovieStart + ";updateMinMaxRAWSliders(5000,9000);" + redraw +
                              "updateImageLoadOkFlag(1);initUIVideoControls(5,1);"
                              "setVideoControlVisibility(1);updateFileNameLabel(1 / 5);" +
                              redraw + kMovieEnd;
        QTest::newRow("THM") << "five.THM" << 0 << movie;
        QTest::newRow("TMC") << "five.TMC" << 0 << movie;
    }

    void loadSignalOrder() {
        QFETCH(QString, file);
        QFETCH(int, lastWidth);
        Fixture f;
        QVERIFY(f.load(file, lastWidth));
        QTEST(f.log.entries, "expected");
        QCOMPARE(f.image.size(), QSize(160, 120));
        // Only the compressed single-frame loader prints the file's name.
        QCOMPARE(f.rec.outLines().contains(file), file == "one.THC");
        QCOMPARE(f.rec.reports.size(), size_t(0));
        if (file.startsWith("five"))
            QCOMPARE(f.converter.getNumberOfVideoFrames(), 5);
    }

    void failures_data() {
        QTest::addColumn<QString>("file");
        // Signals | reports | the last console line (%1: the file's path).
        QTest::addColumn<QString>("expected");
        const QString image = "updateImageLoadOkFlag(0) | Error: Error while loading image (in "
                              "Kalorix::loadRawImage) \"%1\" | Error while loading image";
        QTest::newRow("garbage THR") << "garbage.THR" << image;
        QTest::newRow("garbage THC") << "garbage.THC" << image;
        // No frame signature: the progress signals, the report, then the end of
        // the progress display; no frame signal in between.
        QTest::newRow("movie without frames")
            << "garbage.TMC"
            << kMovieStart + ";" + kMovieEnd +
                   " | Error: Error while loading file \"%1\" | Error while loading image";
        // Fusion recordings are refused before anything is touched.
        QTest::newRow("fusion")
            << "fusion.TFC"
            << " | Error: Error while loading video file \"%1\" | Error while loading video file";
        QTest::newRow("other extension") << "movie.raw"
                                         << " |  | ";
        QTest::newRow("picture") << "pic.png"
                                 << " |  | ";
    }

    void failures() {
        QFETCH(QString, file);
        QFETCH(QString, expected);
        Fixture f;
        QVERIFY(!f.load(file));
        QStringList reports;
        for (const testsupport::Report& r : f.rec.reports)
            reports << (r.kind == kx::ReportKind::Error ? "" : "?") + r.title + ": " + r.text;
        const QStringList out = f.rec.outLines();
        QCOMPARE(f.log.entries + " | " + reports.join(';') + " | " + out.value(out.size() - 1),
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
        QCOMPARE(f.converter.getNumberOfVideoFrames(), 5);
        QCOMPARE(f.rec.reports.size(), size_t(0));
    }

    void loadImage() {
        Fixture f;
        QVERIFY(f.controller.loadImage(path("pic.png"), f.image));
        QCOMPARE(f.image.size(), QSize(3, 2));
        QCOMPARE(f.log.entries, "updateFileNameLabel(pic.png);updateImageZoom(1);"
                                "requestDisplayImageResize;requestUILabelUpdate;"
                                "updateCurrentFileType(1)");
        f.log.entries.clear();
        QVERIFY(!f.controller.loadImage(path("broken.png"), f.image));
        QCOMPARE(f.log.entries + f.rec.out, QStringLiteral("Error while loading image\n"));
        QCOMPARE(f.rec.reports.size(), size_t(1));
        QCOMPARE(f.rec.reports[0].text,
                 QStringLiteral("Error while loading image \"%1\"").arg(path("broken.png")));
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
        // Without a flag to report to, nothing is signalled.
        QVERIFY(!frame(2, nullptr));
        QCOMPARE(f.log.entries, QString());
        bool ok = false;
        QVERIFY(frame(5, &ok) && ok);
        QCOMPARE(
            f.log.entries,
            "updateMinMaxRAWSliders(6000,9000);requestDisplayImageResize;requestUILabelUpdate");
        // Frame numbers outside 1..5 leave the flag as it was.
        bool untouched = true;
        frame(0, &untouched);
        frame(6, &untouched);
        QVERIFY(untouched);
    }

    void fileTest_data() {
        QTest::addColumn<QString>("file"); // empty: nothing loaded
        QTest::addColumn<QString>("expected");
        QTest::newRow("no file") << ""
                                 << "Testing TMC file\nFile ok\n";
        QTest::newRow("continuous counter") << "five.TMC"
                                            << "Testing TMC file\nFile ok\n";
        // Counters 42 43 44 46 47 48: one jump of two after the third frame.
        QTest::newRow("counter skips one")
            << "gap.TMC"
            << "Testing TMC file\nCurrent: 46  |  Last: 44  |  Diff: 2\nFile CORRUPT\n";
    }

    void fileTest() {
        QFETCH(QString, file);
        Fixture f;
        QVERIFY(file.isEmpty() || f.load(file));
        f.rec.clear();
        f.controller.checkCurrentTMC();
        QTEST(f.rec.out, "expected");
        QCOMPARE(f.rec.reports.size(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
