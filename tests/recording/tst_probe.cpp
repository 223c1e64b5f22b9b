// Runs the built kalorix-probe on simulated recordings and reads its JSON,
// PGM and PNG output.
#include "Recordings.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <cmath>

#ifndef KALORIX_PROBE_PATH
#error "KALORIX_PROBE_PATH must name the kalorix-probe executable"
#endif

using recordings::scratch;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json;
    QString keys; // every key of the output, in the order written
};

Run probe(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(KALORIX_PROBE_PATH), args);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.json = QJsonDocument::fromJson(run.out).object();
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("\"(\\w+)\": ")).globalMatch(QString::fromUtf8(run.out));
    while (it.hasNext())
        run.keys += it.next().captured(1) + QLatin1Char(' ');
    return run;
}

// "min max mean column row value" of a frame or of a frame list entry.
QString stats(const QJsonValue& frame) {
    const QJsonObject f = frame.toObject();
    const QJsonObject h = f[QLatin1String("hotspot")].toObject();
    return QString::asprintf("%d %d %d %d %d %d", f["min"].toInt(), f["max"].toInt(),
                             f["mean"].toInt(), h["column"].toInt(), h["row"].toInt(),
                             h["value"].toInt());
}

QString ints(const QJsonValue& list) {
    QString text;
    for (const QJsonValue& v : list.toArray())
        text += QString::number(v.toInt()) + QLatin1Char(' ');
    return text;
}

} // namespace

class TestProbe : public QObject {
    Q_OBJECT
private slots:
    void singleFrame_data();
    void singleFrame();
    void movie_data();
    void movie();
    void png_data();
    void png();
    void refusals_data();
    void refusals();
    void telemetry_data();
    void telemetry();
};

void TestProbe::singleFrame_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("camera"); // part number, FPA and housing temperature
    QTest::addColumn<int>("serialBytes");
    const QString camera = QStringLiteral("4640019S R01234 31.4 29.87");
    QTest::newRow("v0 160x128") << 0 << false << 160 << 128 << " 0 0" << 0;
    QTest::newRow("v1 324x256") << 1 << false << 324 << 256 << " 0 0" << 8192;
    QTest::newRow("v2 160x128") << 2 << false << 160 << 128 << " 0 0" << 8192;
    QTest::newRow("v4 336x256") << 4 << false << 336 << 256 << " 0 0" << 2036;
    QTest::newRow("v5 336x256") << 5 << false << 336 << 256 << camera << 2006;
    QTest::newRow("v6 640x512") << 6 << false << 640 << 512 << camera << 1978;
    QTest::newRow("compressed v6") << 6 << true << 160 << 128 << camera << 1978;
}

void TestProbe::singleFrame() {
    QFETCH(int, version);
    QFETCH(bool, compressed);
    QFETCH(int, width);
    QFETCH(int, height);
    const synth::MovieOptions o = recordings::options(version, compressed, 1, width, height);
    const QString file = scratch(compressed ? "probe.thc" : "probe.thr", // any case
                                 synth::makeSingleFrameFile(o));
    const QString pgm = scratch("probe.pgm");
    const Run run = probe({file, "--raw", pgm, "--all"});
    QCOMPARE(run.exitCode, 0);
    // Standard output holds the JSON object alone; the loader's line went to
    // standard error.
    QCOMPARE(run.err, "Opening: " + file.toUtf8() + '\n');
    QCOMPARE(run.keys, QStringLiteral("file type headerVersion frames ffcFrames frameCounterGaps "
                                      "frame number ok width height min max mean hotspot column "
                                      "row value partNumber tempFPA tempHousing serialBytes "
                                      "streamFrameNumber frameList number ok min max mean hotspot "
                                      "column row value streamFrameNumber "));
    const QJsonObject frame = run.json["frame"].toObject();
    QCOMPARE(run.json["file"].toString(), file);
    QCOMPARE(run.json["type"].toString(), QString(compressed ? "THC" : "THR"));
    QCOMPARE(run.json["headerVersion"].toInt(), version);
    QCOMPARE(run.json["frames"].toInt(), 1);
    QCOMPARE(QString::asprintf("%d %d %d %d", frame["number"].toInt(), frame["ok"].toBool(),
                               frame["width"].toInt(), frame["height"].toInt()),
             QString::asprintf("1 1 %d %d", width, height));
    const std::vector<uint16_t> raw = recordings::decoded(o);
    QCOMPARE(stats(frame), recordings::stats(raw, width));
    QCOMPARE(stats(run.json["frameList"].toArray().at(0)), recordings::stats(raw, width));
    QTEST(QStringLiteral("%1 %2 %3")
              .arg(frame["partNumber"].toString())
              .arg(frame["tempFPA"].toDouble())
              .arg(frame["tempHousing"].toDouble()),
          "camera");
    QTEST(frame["serialBytes"].toInt(), "serialBytes");
    // The shortest text of a temperature; the stream's frame number only for
    // a compressed frame.
    QVERIFY(run.out.contains(version >= 5 ? "\"tempFPA\": 31.4,\n" : "\"tempFPA\": 0,\n"));
    QVERIFY(run.out.contains("  \"ffcFrames\": [],\n  \"frameCounterGaps\": [],\n"));
    QCOMPARE(
        run.out.count(compressed ? "\"streamFrameNumber\": 42\n" : "\"streamFrameNumber\": null\n"),
        2);
    // P5, maxval 65535, big-endian samples.
    QFile in(pgm);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QByteArray expected = QString::asprintf("P5\n%d %d\n65535\n", width, height).toLatin1();
    for (uint16_t v : raw)
        expected.append(char(v >> 8)).append(char(v & 0xFF));
    QVERIFY(in.readAll() == expected);
}

void TestProbe::movie_data() {
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("ffcFrames");
    QTest::newRow("TMC v5") << true << 5 << "3 ";
    QTest::newRow("THM v5") << false << 5 << "3 ";
    QTest::newRow("TMC v6: no FFC list") << true << 6 << "";
}

void TestProbe::movie() {
    QFETCH(bool, compressed);
    QFETCH(int, version);
    // Counters 10, 11, 12 | 0x2000 = 8204, 13, then 15 instead of 14, 16.
    synth::MovieOptions o = recordings::options(version, compressed, 6);
    o.firstCounter = 10;
    o.ffcFrames = {3};
    o.counterGapsAfter = {4};
    const Run run = probe({scratch(compressed ? "movie.TMC" : "movie.THM", synth::makeMovie(o)),
                           "--all", "--frame", "3"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.json["type"].toString(), QString(compressed ? "TMC" : "THM"));
    QCOMPARE(run.json["headerVersion"].toInt(), version);
    QCOMPARE(run.json["frames"].toInt(), 6);
    QTEST(ints(run.json["ffcFrames"]), "ffcFrames");
    // 11 -> 8204 (mark set) and 8204 -> 13 (mark cleared) are steps; 13 -> 15
    // is the gap, at 0-based frame 4.
    QCOMPARE(ints(run.json["frameCounterGaps"]), QStringLiteral("4 "));
    QVERIFY(run.err.contains("Bad FC: 4\nFramecounter jump\n"));
    QCOMPARE(run.err.contains("FFC => 3: 12, 0010000000001100\n"), version == 5);
    const QJsonObject frame = run.json["frame"].toObject();
    QCOMPARE(frame["number"].toInt(), 3);
    QCOMPARE(frame["partNumber"].toString() + ' ' + QString::number(frame["tempFPA"].toDouble()),
             QStringLiteral("4640019S R01234 31.4"));
    QCOMPARE(stats(frame), recordings::stats(recordings::decoded(o, 3), 160));
    const QJsonArray list = run.json["frameList"].toArray();
    QCOMPARE(list.size(), 6);
    const int counters[6] = {10, 11, 8204, 13, 15, 16};
    for (int n = 1; n <= 6; ++n) {
        const QJsonObject entry = list.at(n - 1).toObject();
        QCOMPARE(entry["number"].toInt(), n);
        QVERIFY(entry["ok"].toBool());
        QCOMPARE(stats(entry), recordings::stats(recordings::decoded(o, n), 160));
        QCOMPARE(entry["streamFrameNumber"].toInt(-1), compressed ? counters[n - 1] : -1);
    }
}

void TestProbe::png_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("grays"); // of the bands of 500, 1250, 1500 and 3000
    // Window 1000..2000: 500 is below (0), 255 x 250 / 1000 = 63, 255 x 500 /
    // 1000 = 127, 3000 is above (255).
    QTest::newRow("gray") << QStringList{"--palette", "gray", "--range", "1000", "2000"}
                          << "0 63 127 255 ";
    QTest::newRow("gray inverted")
        << QStringList{"--range", "1000", "2000", "--invert", "--palette", "gray"}
        << "255 192 128 0 ";
    // Window 1200..1300: 1250 is the middle, 255 x 50 / 100 = 127.
    QTest::newRow("narrow window") << QStringList{"--range", "1200", "1300"} << "0 127 255 255 ";
}

void TestProbe::png() {
    QFETCH(QStringList, args);
    std::vector<uint16_t> raw(160 * 128);
    const uint16_t bands[4] = {500, 1250, 1500, 3000};
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = bands[i % 160 / 40];
    const QByteArray file = synth::makeCompressedFrame(
        synth::HeaderOptions(), synth::makeWordStream(raw, 160, 128, synth::StreamOptions()));
    const QString png = scratch("bands.png");
    QCOMPARE(probe(QStringList{scratch("bands.THC", file), "--png", png} + args).exitCode, 0);
    QImage image;
    QVERIFY(image.load(png));
    QCOMPARE(image.size(), QSize(160, 128));
    QString grays;
    for (int band = 0; band < 4; ++band) {
        for (int y : {0, 64, 127})
            QCOMPARE(image.pixel(band * 40 + 20, y), image.pixel(band * 40 + 1, 0));
        const QRgb pixel = image.pixel(band * 40 + 20, 64);
        QCOMPARE(qRed(pixel) * 0x10101, qGreen(pixel) * 0x10100 + qBlue(pixel) * 0x1);
        grays += QString::number(qRed(pixel)) + ' ';
    }
    QTEST(grays, "grays");
}

void TestProbe::refusals_data() {
    QTest::addColumn<QString>("name");     // empty: no file argument
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error"); // empty: a usage error (exit status 2)
    const QByteArray one = synth::makeSingleFrameFile(recordings::options(6));
    const QByteArray two = synth::makeMovie(recordings::options(6, true, 2));
    const QStringList png{"--png", scratch("p.png")};
    QTest::newRow("missing") << "gone.THR" << QByteArray() << QStringList()
                             << "DataConverter::loadFromRawFile opening of file: \"%P\" failed";
    QTest::newRow("version 3") << "v3.THR" << synth::makeSingleFrameFile(recordings::options(3))
                               << QStringList()
                               << "DataConverter::loadFromRawFile Error reading header: \"%P\"";
    QTest::newRow("frame 2 of a single frame")
        << "one.THR" << one << QStringList{"--frame", "2"}
        << "kalorix-probe: frame 2 is not in the file (frames 1 to 1)";
    QTest::newRow("not a recorder file")
        << "picture.png" << QByteArray("png") << QStringList()
        << "kalorix-probe: not a recorder file (.THR, .THC, .THM, .TMC, .TFC): %P";
    QTest::newRow("movie without a signature")
        << "none.TMC" << QByteArray(5000, 'x') << QStringList() << "kalorix-probe: no frame found";
    QTest::newRow("missing movie")
        << "gone.THM" << QByteArray() << QStringList()
        << "DataConverter::parseVideoFile opening of file: \"%P\" failed";
    QTest::newRow("frame 3 of 2") << "two.TMC" << two << QStringList{"--frame", "3"}
                                  << "kalorix-probe: frame 3 is not in the file (frames 1 to 2)";
    QTest::newRow("no file") << "" << QByteArray() << QStringList() << "";
    QTest::newRow("frame 0") << "two.TMC" << two << QStringList{"--frame", "0"} << "";
    QTest::newRow("unknown palette")
        << "two.TMC" << two << png + QStringList{"--palette", "sepia"} << "";
    QTest::newRow("range without its high bound")
        << "two.TMC" << two << png + QStringList{"--range", "5"} << "";
    QTest::newRow("empty range") << "two.TMC" << two << png + QStringList{"--range", "9", "9"}
                                 << "";
    QTest::newRow("palette without png")
        << "two.TMC" << two << QStringList{"--palette", "iron"} << "";
    QTest::newRow("unknown telemetry") << "two.TMC" << two << QStringList{"--serial", "gps"} << "";
}

void TestProbe::refusals() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const QString file = name.isEmpty() ? QString() : scratch(name, bytes);
    const Run run = probe((file.isEmpty() ? QStringList() : QStringList{file}) + args);
    if (error.isEmpty()) {
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QByteArray());
        QVERIFY(run.err.contains("--range <LOW> <HIGH>"));
        return;
    }
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.keys, QStringLiteral("file error "));
    QCOMPARE(run.json["file"].toString(), file);
    QCOMPARE(run.json["error"].toString(), recordings::withPath(error, file));
}

void TestProbe::telemetry_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("telemetry");
    QTest::addColumn<double>("tolerance"); // degrees: what the sentence format keeps
    QTest::addColumn<QString>("dateTime");
    QTest::newRow("nmea") << "nmea" << int(synth::Telemetry::Nmea) << 2e-6 << "31.05.2016 14:24:23";
    QTest::newRow("mavlink") << "mavlink" << int(synth::Telemetry::MAVLink) << 1e-7
                             << "31.05.2016 14:24:23";
    QTest::newRow("md") << "md" << int(synth::Telemetry::MdDownlink) << 1e-5
                        << "2016-05-31 14:24:23";
}

void TestProbe::telemetry() {
    QFETCH(QString, kind);
    QFETCH(int, telemetry);
    QFETCH(double, tolerance);
    synth::MovieOptions o = recordings::options(6, true, 4);
    o.telemetry = synth::Telemetry(telemetry);
    const QString file = scratch("flight-" + kind + ".TMC", synth::makeMovie(o));
    // MAVLink dates are local time: pin the child's time zone.
    qputenv("TZ", "UTC");
    const Run run = probe({file, "--serial", kind, "--frame", "3", "--all"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject t = run.json["frame"].toObject()["telemetry"].toObject();
    QVERIFY(run.keys.contains("telemetry latitude longitude altitude satellites date time "
                              "trackHeading magneticHeading roll pitch yaw serialText "));
    // Frame 3 carries the position of 2/9 s after the start.
    const synth::FlightState state = synth::flightStateAt(o.flight, 2 * o.frameIntervalS);
    QVERIFY2(std::abs(t["latitude"].toDouble() - state.latitude) < tolerance,
             qPrintable(QString::number(t["latitude"].toDouble(), 'f', 9)));
    QVERIFY(std::abs(t["longitude"].toDouble() - state.longitude) < tolerance);
    QTEST(t["date"].toString() + ' ' + t["time"].toString(), "dateTime");
    if (kind == QLatin1String("md")) {
        QVERIFY(std::abs(t["roll"].toDouble() - state.rollDeg) < 1e-4);
        QVERIFY(std::abs(t["pitch"].toDouble() - state.pitchDeg) < 1e-4);
        QVERIFY(std::abs(t["yaw"].toDouble() - state.yawDeg) < 1e-4);
    } else {
        QCOMPARE(t["altitude"].toDouble(), 480.0);
        QCOMPARE(t["satellites"].toInt(), 11);
    }
    if (kind == QLatin1String("nmea"))
        QVERIFY(t["serialText"].toString().startsWith("$GP"));
    for (const QJsonValue& entry : run.json["frameList"].toArray())
        QVERIFY(entry["telemetry"].toObject().contains("latitude"));
    QCOMPARE(run.json["frameList"].toArray().size(), 4);
    QVERIFY(!probe({file}).json["frame"].toObject().contains("telemetry"));
}

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
