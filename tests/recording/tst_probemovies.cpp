// Runs the built kalorix-probe on simulated movies and compressed frames:
// frame list, FFC frames, counter gaps, the stream's frame number and PNGs.
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <cmath>

#include <algorithm>

#ifndef KALORIX_PROBE_PATH
#error "KALORIX_PROBE_PATH must name the kalorix-probe executable"
#endif

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runProbe(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(KALORIX_PROBE_PATH), args);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QString scratchPath(const QString& name) {
    return testsupport::scratchDir() + '/' + name;
}

QJsonObject parse(const Run& run) {
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(run.out, &error).object();
    return error.error == QJsonParseError::NoError ? root : QJsonObject();
}

QList<int> ints(const QJsonValue& value) {
    QList<int> out;
    for (const QJsonValue& v : value.toArray())
        out << v.toInt();
    return out;
}

// Statistics of a 160 x 128 scene as the decoder reports them: the last three
// values of the last row repeat the one before them.
struct Stats {
    int min, max, mean, column, row;
};
Stats statsOf(std::vector<uint16_t> raw, int width) {
    std::fill(raw.end() - 3, raw.end(), raw[raw.size() - 4]);
    const auto maxIt = std::max_element(raw.begin(), raw.end());
    uint64_t sum = 0;
    for (uint16_t v : raw)
        sum += v;
    const int hot = int(maxIt - raw.begin());
    const int height = int(raw.size()) / width;
    return {int(*std::min_element(raw.begin(), raw.end())), int(*maxIt),
            int(sum / uint64_t(width) / uint64_t(height)), hot % width + 1, hot / width + 1};
}

synth::MovieOptions movieOptions(bool compressed, int version) {
    synth::MovieOptions o;
    o.frames = 6;
    o.version = version;
    o.compressed = compressed;
    o.scene.width = 160;
    o.scene.height = 128;
    o.scene.seed = 21;
    o.driftPerFrameRaw = 0.0;
    o.firstCounter = 10;
    o.ffcFrames = {3};        // counter 12 | 0x2000 = 8204
    o.counterGapsAfter = {4}; // frame 5 counts 15 instead of 14
    return o;
}

} // namespace

class TestProbeMovies : public QObject {
    Q_OBJECT
private slots:
    void movie_data();
    void movie();
    void frameOfAMovie();
    void singleCompressedFrame();
    void rawFrameHasNoStreamFrameNumber();
    void png_data();
    void png();
    void refusals_data();
    void refusals();
    void telemetry_data();
    void telemetry();
};

void TestProbeMovies::movie_data() {
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<int>("version");
    QTest::addColumn<QList<int>>("ffcFrames");
    QTest::newRow("TMC v5") << true << 5 << QList<int>{3};
    QTest::newRow("THM v5") << false << 5 << QList<int>{3};
    QTest::newRow("TMC v6: no FFC list") << true << 6 << QList<int>{};
}

void TestProbeMovies::movie() {
    QFETCH(bool, compressed);
    QFETCH(int, version);
    QFETCH(QList<int>, ffcFrames);
    const synth::MovieOptions o = movieOptions(compressed, version);
    const QString file = scratchPath(compressed ? "movie.TMC" : "movie.THM");
    QVERIFY(synth::writeFile(file, synth::makeMovie(o)));

    const Run run = runProbe({file, "--all"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject root = parse(run);
    QCOMPARE(root.value("type").toString(), compressed ? QString("TMC") : QString("THM"));
    QCOMPARE(root.value("headerVersion").toInt(), version);
    QCOMPARE(root.value("frames").toInt(), 6);
    QCOMPARE(ints(root.value("ffcFrames")), ffcFrames);
    // 11 -> 8204 (mark set) and 8204 -> 13 (mark cleared) are steps; 13 -> 15
    // is the gap, at 0-based frame 4.
    QCOMPARE(ints(root.value("frameCounterGaps")), QList<int>{4});
    QVERIFY(run.err.contains("Bad FC: 4\nFramecounter jump\n"));

    const QList<int> counters{10, 11, 8204, 13, 15, 16};
    const QJsonArray list = root.value("frameList").toArray();
    QCOMPARE(list.size(), 6);
    for (int n = 1; n <= 6; ++n) {
        const QJsonObject entry = list.at(n - 1).toObject();
        QCOMPARE(entry.keys(), (QStringList{"hotspot", "max", "mean", "min", "number", "ok",
                                            "streamFrameNumber"}));
        const Stats s = statsOf(synth::renderScene(o.scene, n - 1), 160);
        QCOMPARE(entry.value("number").toInt(), n);
        QCOMPARE(entry.value("ok").toBool(), true);
        QCOMPARE(entry.value("min").toInt(), s.min);
        QCOMPARE(entry.value("max").toInt(), s.max);
        QCOMPARE(entry.value("mean").toInt(), s.mean);
        const QJsonObject hotspot = entry.value("hotspot").toObject();
        QCOMPARE(hotspot.value("column").toInt(), s.column);
        QCOMPARE(hotspot.value("row").toInt(), s.row);
        QCOMPARE(hotspot.value("value").toInt(), s.max);
        if (compressed)
            QCOMPARE(entry.value("streamFrameNumber").toInt(), counters[n - 1]);
        else
            QVERIFY(entry.value("streamFrameNumber").isNull());
    }
}

void TestProbeMovies::frameOfAMovie() {
    const synth::MovieOptions o = movieOptions(true, 5);
    const QString file = scratchPath("frame3.TMC");
    QVERIFY(synth::writeFile(file, synth::makeMovie(o)));
    const Run run = runProbe({file, "--frame", "3"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject frame = parse(run).value("frame").toObject();
    const Stats s = statsOf(synth::renderScene(o.scene, 2), 160);
    QCOMPARE(frame.value("number").toInt(), 3);
    QCOMPARE(frame.value("ok").toBool(), true);
    QCOMPARE(frame.value("width").toInt(), 160);
    QCOMPARE(frame.value("height").toInt(), 128);
    QCOMPARE(frame.value("min").toInt(), s.min);
    QCOMPARE(frame.value("max").toInt(), s.max);
    QCOMPARE(frame.value("mean").toInt(), s.mean);
    QCOMPARE(frame.value("partNumber").toString(), QString("4640019S R01234"));
    QCOMPARE(frame.value("tempFPA").toDouble(), 31.4);
    QCOMPARE(frame.value("streamFrameNumber").toInt(), 8204);
    QVERIFY(!parse(run).contains("frameList"));
    // Standard output holds the JSON object alone, the FFC line went to standard error.
    QVERIFY(run.err.contains("FFC => 3: 12, 0010000000001100\n"));
}

void TestProbeMovies::singleCompressedFrame() {
    synth::MovieOptions o = movieOptions(true, 6);
    o.frames = 1;
    o.firstCounter = 0x1ABC;                        // 6844
    const QString file = scratchPath("single.thc"); // any case
    QVERIFY(synth::writeFile(file, synth::makeSingleFrameFile(o)));
    const Run run = runProbe({file, "--all"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject root = parse(run);
    QCOMPARE(root.value("type").toString(), QString("THC"));
    QCOMPARE(root.value("frames").toInt(), 1);
    QVERIFY(root.value("ffcFrames").toArray().isEmpty());
    QVERIFY(root.value("frameCounterGaps").toArray().isEmpty());
    const QJsonObject frame = root.value("frame").toObject();
    QCOMPARE(frame.value("streamFrameNumber").toInt(), 6844);
    QCOMPARE(frame.value("mean").toInt(), statsOf(synth::renderScene(o.scene, 0), 160).mean);
    const QJsonArray list = root.value("frameList").toArray();
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).toObject().value("streamFrameNumber").toInt(), 6844);
    QCOMPARE(run.err, QByteArray("Opening: ") + file.toUtf8() + '\n');
}

void TestProbeMovies::rawFrameHasNoStreamFrameNumber() {
    synth::MovieOptions o = movieOptions(false, 6);
    o.frames = 1;
    const QString file = scratchPath("single.THR");
    QVERIFY(synth::writeFile(file, synth::makeSingleFrameFile(o)));
    const Run run = runProbe({file});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.contains("  \"ffcFrames\": [],\n  \"frameCounterGaps\": [],\n"));
    QVERIFY(run.out.contains("    \"streamFrameNumber\": null\n"));
}

namespace {

// Four bands of columns: 500, 1250, 1500 and 3000.
QByteArray bandsFile() {
    std::vector<uint16_t> raw(160 * 128);
    for (size_t i = 0; i < raw.size(); ++i) {
        const size_t col = i % 160;
        raw[i] = col < 40 ? 500 : col < 80 ? 1250 : col < 120 ? 1500 : 3000;
    }
    synth::HeaderOptions header;
    header.version = 6;
    synth::StreamOptions stream;
    return synth::makeCompressedFrame(header, synth::makeWordStream(raw, 160, 128, stream));
}

} // namespace

void TestProbeMovies::png_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QList<int>>("grays"); // one per band
    // Window 1000..2000: 500 is below (0), 255 x 250 / 1000 = 63, 255 x 500 /
    // 1000 = 127, 3000 is above (255).
    QTest::newRow("gray") << QStringList{"--palette", "gray", "--range", "1000", "2000"}
                          << QList<int>{0, 63, 127, 255};
    QTest::newRow("gray inverted")
        << QStringList{"--range", "1000", "2000", "--invert", "--palette", "gray"}
        << QList<int>{255, 192, 128, 0};
    // Window 1200..1300: 1250 is the middle, 255 x 50 / 100 = 127.
    QTest::newRow("narrow window")
        << QStringList{"--range", "1200", "1300"} << QList<int>{0, 127, 255, 255};
}

void TestProbeMovies::png() {
    QFETCH(QStringList, args);
    QFETCH(QList<int>, grays);
    const QString file = scratchPath("bands.THC");
    QVERIFY(synth::writeFile(file, bandsFile()));
    const QString png = scratchPath("bands.png");
    QFile::remove(png);
    const Run run = runProbe(QStringList{file, "--png", png} + args);
    QCOMPARE(run.exitCode, 0);
    QImage image;
    QVERIFY(image.load(png));
    QCOMPARE(image.size(), QSize(160, 128));
    for (int band = 0; band < 4; ++band) {
        for (int y : {0, 64, 127}) {
            const QRgb pixel = image.pixel(band * 40 + 20, y);
            QCOMPARE(qRed(pixel), grays[band]);
            QCOMPARE(qGreen(pixel), grays[band]);
            QCOMPARE(qBlue(pixel), grays[band]);
        }
    }
}

void TestProbeMovies::refusals_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error"); // %P: the path
    QByteArray noSignature(5000, 'x');
    QTest::newRow("movie without a signature")
        << "none.TMC" << noSignature << QStringList{} << 1 << "kalorix-probe: no frame found";
    QTest::newRow("missing movie")
        << "gone.THM" << QByteArray() << QStringList{} << 1
        << "DataConverter::parseVideoFile opening of file: \"%P\" failed";
    synth::MovieOptions two = movieOptions(true, 6);
    two.frames = 2;
    QTest::newRow("frame 3 of 2") << "two.TMC" << synth::makeMovie(two)
                                  << QStringList{"--frame", "3"} << 1
                                  << "kalorix-probe: frame 3 is not in the file (frames 1 to 2)";
    QTest::newRow("unknown palette")
        << "p.TMC" << synth::makeMovie(two)
        << QStringList{"--png", scratchPath("p.png"), "--palette", "sepia"} << 2 << "";
    QTest::newRow("range without its high bound")
        << "p.TMC" << synth::makeMovie(two)
        << QStringList{"--png", scratchPath("p.png"), "--range", "5"} << 2 << "";
    QTest::newRow("empty range") << "p.TMC" << synth::makeMovie(two)
                                 << QStringList{"--png", scratchPath("p.png"), "--range", "9", "9"}
                                 << 2 << "";
    QTest::newRow("palette without png")
        << "p.TMC" << synth::makeMovie(two) << QStringList{"--palette", "iron"} << 2 << "";
}

void TestProbeMovies::refusals() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    const QString file = scratchPath(name);
    QFile::remove(file);
    if (!bytes.isNull())
        QVERIFY(synth::writeFile(file, bytes));
    const Run run = runProbe(QStringList{file} + args);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 2) {
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains("--range <LOW> <HIGH>"));
        return;
    }
    const QJsonObject root = parse(run);
    QCOMPARE(root.keys(), (QStringList{"error", "file"}));
    QCOMPARE(root.value("error").toString(), QString(error).replace("%P", file));
}

void TestProbeMovies::telemetry_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("telemetry");
    QTest::addColumn<double>("tolerance"); // degrees: what the sentence format keeps
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<bool>("attitude");
    QTest::newRow("nmea") << "nmea" << int(synth::Telemetry::Nmea) << 2e-6 << "31.05.2016"
                          << "14:24:23" << false;
    QTest::newRow("mavlink") << "mavlink" << int(synth::Telemetry::MAVLink) << 1e-7 << "31.05.2016"
                             << "14:24:23" << false;
    QTest::newRow("md") << "md" << int(synth::Telemetry::MdDownlink) << 1e-5 << "2016-05-31"
                        << "14:24:23" << true;
}

// Frame 3 of a simulated flight carries the position of 2/9 s after the start.
void TestProbeMovies::telemetry() {
    QFETCH(QString, kind);
    QFETCH(int, telemetry);
    QFETCH(double, tolerance);
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(bool, attitude);
    synth::MovieOptions o = movieOptions(true, 6);
    o.frames = 4;
    o.telemetry = synth::Telemetry(telemetry);
    const QString file = scratchPath("flight-" + kind + ".TMC");
    QVERIFY(synth::writeFile(file, synth::makeMovie(o)));

    // MAVLink dates are local time: pin the child's time zone.
    qputenv("TZ", "UTC");
    const Run run = runProbe({file, "--serial", kind, "--frame", "3", "--all"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject root = parse(run);
    const QJsonObject t = root.value("frame").toObject().value("telemetry").toObject();
    QCOMPARE(t.keys(),
             (QStringList{"altitude", "date", "latitude", "longitude", "magneticHeading", "pitch",
                          "roll", "satellites", "serialText", "time", "trackHeading", "yaw"}));
    QVERIFY(run.out.indexOf("\"latitude\"") < run.out.indexOf("\"serialText\""));
    const synth::FlightState state = synth::flightStateAt(o.flight, 2 * o.frameIntervalS);
    QVERIFY2(std::abs(t.value("latitude").toDouble() - state.latitude) < tolerance,
             qPrintable(QString::number(t.value("latitude").toDouble(), 'f', 9)));
    QVERIFY(std::abs(t.value("longitude").toDouble() - state.longitude) < tolerance);
    QCOMPARE(t.value("date").toString(), date);
    QCOMPARE(t.value("time").toString(), time);
    if (attitude) {
        QVERIFY(std::abs(t.value("roll").toDouble() - state.rollDeg) < 1e-4);
        QVERIFY(std::abs(t.value("pitch").toDouble() - state.pitchDeg) < 1e-4);
        QVERIFY(std::abs(t.value("yaw").toDouble() - state.yawDeg) < 1e-4);
    } else {
        QCOMPARE(t.value("altitude").toDouble(), 480.0);
        QCOMPARE(t.value("satellites").toInt(), 11);
    }
    if (kind == "nmea")
        QVERIFY(t.value("serialText").toString().startsWith("$GP"));

    const QJsonArray list = root.value("frameList").toArray();
    QCOMPARE(list.size(), 4);
    for (const QJsonValue& entry : list)
        QVERIFY(entry.toObject().value("telemetry").toObject().contains("latitude"));

    const Run without = runProbe({file});
    QVERIFY(!parse(without).value("frame").toObject().contains("telemetry"));
    const Run unknown = runProbe({file, "--serial", "gps"});
    QCOMPARE(unknown.exitCode, 2);
}

QTEST_GUILESS_MAIN(TestProbeMovies)
#include "tst_probemovies.moc"
