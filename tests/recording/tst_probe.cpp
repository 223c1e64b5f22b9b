// Runs the built kalorix-probe on simulated recordings and reads its JSON and
// PGM output.
#include "Recordings.h"

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
    QByteArray err;
    QJsonObject json;
    // Every member as key=value in the order written, values as the JSON text
    // has them (quotes inside strings unescaped); "{" and "[" open objects
    // and arrays.
    QString flat;
};

Run probe(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(KALORIX_PROBE_PATH), args);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.err = process.readAllStandardError();
    const QByteArray out = process.readAllStandardOutput();
    QJsonParseError error;
    run.json = QJsonDocument::fromJson(out, &error).object();
    const QRegularExpression member(QStringLiteral("^\\s*\"(\\w+)\": (.*?),?$"));
    QStringList pairs;
    for (const QString& line : QString::fromUtf8(out).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = member.match(line);
        if (m.hasMatch())
            pairs << m.captured(1) + '=' + m.captured(2).replace(QLatin1String("\\\""), "\"");
    }
    // Standard output holds nothing but the object.
    run.flat = error.error == QJsonParseError::NoError || out.isEmpty()
                   ? pairs.join(QLatin1Char(' '))
                   : "unreadable: " + QString::fromUtf8(out);
    return run;
}

// The PGM of frame n: P5, maxval 65535, big-endian samples.
QByteArray expectedPgm(const synth::MovieOptions& o, int frame = 1) {
    QByteArray bytes =
        QString::asprintf("P5\n%d %d\n65535\n", o.scene.width, o.scene.height).toLatin1();
    for (uint16_t v : recordings::decoded(o, frame))
        bytes.append(char(v >> 8)).append(char(v & 0xFF));
    return bytes;
}

} // namespace

class TestProbe : public QObject {
    Q_OBJECT
private slots:
    void singleFrame_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("header"); // the frame's members from the header
        const QString none = "partNumber=\"\" tempFPA=0 tempHousing=0 serialBytes=";
        const QString camera = "partNumber=\"4640019S R01234\" tempFPA=31.4 tempHousing=29.87 "
                               "serialBytes=";
        QTest::newRow("v0 160x128") << 0 << false << 160 << 128 << "" << none + "0";
        QTest::newRow("v1 324x256") << 1 << false << 324 << 256 << "" << none + "8192";
        QTest::newRow("v2 160x128") << 2 << false << 160 << 128 << "" << none + "8192";
        QTest::newRow("v4 336x256") << 4 << false << 336 << 256 << "" << none + "2036";
        QTest::newRow("v5 336x256") << 5 << false << 336 << 256 << "" << camera + "2006";
        QTest::newRow("v6 640x512") << 6 << false << 640 << 512 << "" << camera + "1978";
        // The code starts after the header, 8,200 or 8,204 bytes for versions 1 and 2.
        QTest::newRow("compressed v1") << 1 << true << 160 << 128 << "" << none + "8192";
        QTest::newRow("compressed v2") << 2 << true << 324 << 256 << "" << none + "8192";
        QTest::newRow("compressed v6") << 6 << true << 160 << 128 << "" << camera + "1978";
        // The three missing values repeat the last one.
        QTest::newRow("last row three words short")
            << 6 << false << 640 << 512 << "cut" << camera + "1978";
        // The stream starts at 16408 and would run past the frame buffer if all
        // of the file's 1,048,576 words were decoded from there.
        QTest::newRow("v2 padded to 2 MiB") << 2 << false << 160 << 128 << "pad" << none + "8192";
    }

    void singleFrame() {
        QFETCH(int, version);
        QFETCH(bool, compressed);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, fault);
        QFETCH(QString, header);
        synth::MovieOptions o = recordings::options(version, compressed, 1, width, height);
        o.stream.cutLastRow = fault == QLatin1String("cut");
        QByteArray bytes = synth::makeSingleFrameFile(o);
        if (fault == QLatin1String("pad"))
            bytes.append(QByteArray(2097152 - bytes.size(), '\0'));
        const QString file = scratch(compressed ? "probe.thc" : "probe.thr", bytes); // any case
        const QString pgm = scratch("probe.pgm");
        const Run run = probe({file, "--raw", pgm, "--all"});
        QCOMPARE(run.exitCode, 0);
        // The loader's console line goes to standard error.
        QCOMPARE(run.err, "Opening: " + file.toUtf8() + '\n');
        // The stream's frame number only for a compressed frame.
        const QString number = compressed ? "42" : "null";
        QCOMPARE(run.flat,
                 QStringLiteral("file=\"%1\" type=\"%2\" headerVersion=%3 frames=1 ffcFrames=[] "
                                "frameCounterGaps=[] frame={ number=1 ok=true width=%4 "
                                "height=%5 %6 %7 streamFrameNumber=%8 frameList=[ number=1 "
                                "ok=true %6 streamFrameNumber=%8")
                     .arg(file, compressed ? "THC" : "THR")
                     .arg(version)
                     .arg(width)
                     .arg(height)
                     .arg(recordings::stats(o), header, number));
        QFile in(pgm);
        QVERIFY(in.open(QIODevice::ReadOnly) && in.readAll() == expectedPgm(o));
    }

    void movie_data() {
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<int>("version");
        QTest::newRow("TMC v5") << true << 5;
        QTest::newRow("THM v5") << false << 5;
        QTest::newRow("TMC v6: no FFC list") << true << 6;
    }

    void movie() {
        QFETCH(bool, compressed);
        QFETCH(int, version);
        // Counters 10, 11, 12 | 0x2000 = 8204, 13, then 15 instead of 14, 16:
        // 11 -> 8204 (mark set) and 8204 -> 13 (mark cleared) are steps, 13 -> 15
        // is the gap at 0-based frame 4.
        synth::MovieOptions o = recordings::options(version, compressed, 6);
        o.firstCounter = 10;
        o.ffcFrames = {3};
        o.counterGapsAfter = {4};
        const QString file = scratch(compressed ? "movie.TMC" : "movie.THM", synth::makeMovie(o));
        const QString pgm = scratch("movie.pgm");
        const Run run = probe({file, "--all", "--frame", "3", "--raw", pgm});
        QCOMPARE(run.exitCode, 0);
        const QString counters[6] = {"10", "11", "8204", "13", "15", "16"};
        auto number = [&](int n) { return compressed ? counters[n - 1] : QStringLiteral("null"); };
        QString expected =
            QStringLiteral("file=\"%1\" type=\"%2\" headerVersion=%3 frames=6 ffcFrames=[%4] "
                           "frameCounterGaps=[4] frame={ number=3 ok=true width=160 height=128 %5 "
                           "partNumber=\"4640019S R01234\" tempFPA=31.4 tempHousing=29.87 "
                           "serialBytes=%6 streamFrameNumber=%7 frameList=[")
                .arg(file, compressed ? "TMC" : "THM")
                .arg(version)
                .arg(version == 5 ? "3" : "", recordings::stats(o, 3),
                     version == 5 ? "2006" : "1978", number(3));
        for (int n = 1; n <= 6; ++n)
            expected += QStringLiteral(" number=%1 ok=true %2 streamFrameNumber=%3")
                            .arg(n)
                            .arg(recordings::stats(o, n), number(n));
        QCOMPARE(run.flat, expected);
        QCOMPARE(run.err.contains("FFC => 3: 12, 0010000000001100\n"), version == 5);
        QVERIFY(run.err.contains("Bad FC: 4\nFramecounter jump\n"));
        QFile in(pgm);
        QVERIFY(in.open(QIODevice::ReadOnly) && in.readAll() == expectedPgm(o, 3));
    }

    void refusals_data() {
        QTest::addColumn<QString>("name");     // empty: no file argument
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error"); // empty: a usage error (exit status 2)
        const QByteArray two = synth::makeMovie(recordings::options(6, true, 2));
        QTest::newRow("missing") << "gone.THR" << QByteArray() << QStringList()
                                 << "DataConverter::loadFromRawFile opening of file: \"%P\" failed";
        QTest::newRow("not a recorder file")
            << "picture.png" << QByteArray("png") << QStringList()
            << "kalorix-probe: not a recorder file (.THR, .THC, .THM, .TMC, .TFC): %P";
        QTest::newRow("movie without a signature")
            << "none.TMC" << QByteArray(5000, 'x') << QStringList()
            << "kalorix-probe: no frame found";
        QTest::newRow("missing movie")
            << "gone.THM" << QByteArray() << QStringList()
            << "DataConverter::parseVideoFile opening of file: \"%P\" failed";
        QTest::newRow("frame 3 of 2")
            << "two.TMC" << two << QStringList{"--frame", "3"}
            << "kalorix-probe: frame 3 is not in the file (frames 1 to 2)";
        QTest::newRow("no file") << "" << QByteArray() << QStringList() << "";
        QTest::newRow("frame 0") << "two.TMC" << two << QStringList{"--frame", "0"} << "";
        QTest::newRow("empty range")
            << "two.TMC" << two << QStringList{"--png", "p.png", "--range", "9", "9"} << "";
        QTest::newRow("unknown telemetry")
            << "two.TMC" << two << QStringList{"--serial", "gps"} << "";
    }

    void refusals() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const QString file = name.isEmpty() ? QString() : scratch(name, bytes);
        const Run run = probe((file.isEmpty() ? QStringList() : QStringList{file}) + args);
        QCOMPARE(run.exitCode, error.isEmpty() ? 2 : 1);
        if (error.isEmpty()) // usage: the help text on standard error, nothing on standard output
            QVERIFY(run.flat.isEmpty() && run.err.contains("--range <LOW> <HIGH>"));
        else
            QCOMPARE(run.flat, QString("file=\"%P\" error=\"" + error + '"').replace("%P", file));
    }

    void telemetry_data() {
        QTest::addColumn<int>("telemetry");
        QTest::addColumn<double>("tolerance"); // degrees: what the sentence format keeps
        QTest::addColumn<QString>("dateTime");
        const QString date = QStringLiteral("date=\"%1\" time=\"14:24:23\"");
        QTest::newRow("nmea") << int(synth::Telemetry::Nmea) << 2e-6 << date.arg("31.05.2016");
        QTest::newRow("mavlink") << int(synth::Telemetry::MAVLink) << 1e-7
                                 << date.arg("31.05.2016");
        QTest::newRow("md") << int(synth::Telemetry::MdDownlink) << 1e-5 << date.arg("2016-05-31");
    }

    void telemetry() {
        const QString kind = QTest::currentDataTag();
        QFETCH(int, telemetry);
        QFETCH(double, tolerance);
        QFETCH(QString, dateTime);
        synth::MovieOptions o = recordings::options(6, true, 4);
        o.telemetry = synth::Telemetry(telemetry);
        const QString file = scratch("flight-" + kind + ".TMC", synth::makeMovie(o));
        // MAVLink dates are local time: pin the child's time zone.
        qputenv("TZ", "UTC");
        const Run run = probe({file, "--serial", kind, "--frame", "3", "--all"});
        QCOMPARE(run.exitCode, 0);
        // The frame and every entry of the list carry the telemetry.
        const QString members = "telemetry={ latitude=\\S+ longitude=\\S+ altitude=\\S+ "
                                "satellites=\\d+ " +
                                QRegularExpression::escape(dateTime) +
                                " trackHeading=\\S+ magneticHeading=\\S+ roll=\\S+ pitch=\\S+ "
                                "yaw=\\S+ serialText=\"";
        QCOMPARE(run.flat.count(QRegularExpression(members)), 5);
        // Frame 3 carries the position of 2/9 s after the start.
        const QJsonObject t = run.json["frame"].toObject()["telemetry"].toObject();
        const synth::FlightState state = synth::flightStateAt(o.flight, 2 * o.frameIntervalS);
        QVERIFY2(std::abs(t["latitude"].toDouble() - state.latitude) < tolerance,
                 qPrintable(QString::number(t["latitude"].toDouble(), 'f', 9)));
        QVERIFY(std::abs(t["longitude"].toDouble() - state.longitude) < tolerance);
        QVERIFY(!probe({file}).flat.contains("telemetry"));
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
