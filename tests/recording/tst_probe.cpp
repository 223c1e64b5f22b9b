// Runs the built kalorix-probe on simulated recordings and reads its JSON and
// PGM output.
#include "Recordings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <cmath>
#include <tuple>

using recordings::row;
using recordings::scratch;
// Version, compressed, width, height, frames (1: a single-frame file) and a
// fault ("cut": last row three words short; "pad": file padded to 2 MiB).
using Case = std::tuple<int, bool, int, int, int, QString>;

// File name (empty: no file argument), bytes (null: no file), further
// arguments, the error (empty: a usage error, exit status 2).
using Refusal = std::tuple<QString, QByteArray, QString, QString>;
Q_DECLARE_METATYPE(Refusal)

namespace {

struct Run {
    QByteArray err;
    QJsonObject json;
    // "exit=N", then every member as key=value in the order written, values as
    // the JSON text has them (quotes inside strings unescaped); "{" and "["
    // open objects and arrays.
    QString flat;
};

Run probe(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(KALORIX_PROBE_PATH), args);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.err = process.readAllStandardError();
    const QByteArray out = process.readAllStandardOutput();
    QJsonParseError error;
    run.json = QJsonDocument::fromJson(out, &error).object();
    const QRegularExpression member(QStringLiteral("^\\s*\"(\\w+)\": (.*?),?$"));
    QStringList pairs{QStringLiteral("exit=%1").arg(process.exitCode())};
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

} // namespace

Q_DECLARE_METATYPE(Case)

class TestProbe : public QObject {
    Q_OBJECT
private slots:
    void recording_data() {
        QTest::addColumn<Case>("c");
        QTest::newRow("v0 160x128") << Case{0, false, 160, 128, 1, ""};
        QTest::newRow("v1 324x256") << Case{1, false, 324, 256, 1, ""};
        QTest::newRow("v4 336x256") << Case{4, false, 336, 256, 1, ""};
        QTest::newRow("v5 336x256") << Case{5, false, 336, 256, 1, ""};
        QTest::newRow("v6 640x512") << Case{6, false, 640, 512, 1, ""};
        // The code starts after the header, 8,200 or 8,204 bytes for versions 1 and 2.
        QTest::newRow("compressed v1") << Case{1, true, 160, 128, 1, ""};
        QTest::newRow("compressed v2") << Case{2, true, 324, 256, 1, ""};
        QTest::newRow("compressed v6") << Case{6, true, 160, 128, 1, ""};
        // The three missing values repeat the last one.
        QTest::newRow("last row three words short") << Case{6, false, 640, 512, 1, "cut"};
        // The stream starts at 16408 and would run past the frame buffer if all
        // of the file's 1,048,576 words were decoded from there. (Also the plain
        // version 2 case: the padding changes nothing of the output.)
        QTest::newRow("v2 padded to 2 MiB") << Case{2, false, 160, 128, 1, "pad"};
        // Movies of six frames, frame 3 shown; only version 5 lists FFC frames.
        QTest::newRow("TMC v5") << Case{5, true, 160, 128, 6, ""};
        QTest::newRow("THM v5") << Case{5, false, 160, 128, 6, ""};
        QTest::newRow("TMC v6") << Case{6, true, 160, 128, 6, ""};
    }

    void recording() {
        QFETCH(Case, c);
        const auto [version, compressed, width, height, frames, fault] = c;
        synth::MovieOptions o = recordings::options(version, compressed, frames, width, height);
        o.stream.cutLastRow = fault == QLatin1String("cut");
        const bool movie = frames > 1;
        if (movie) {
            // Counters 10, 11, 12 | 0x2000 = 8204, 13, then 15 instead of 14,
            // 16: 11 -> 8204 (mark set) and 8204 -> 13 (mark cleared) are steps,
            // 13 -> 15 is the gap at 0-based frame 4.
            o.firstCounter = 10;
            o.ffcFrames = {3};
            o.counterGapsAfter = {4};
        }
        QByteArray bytes = movie ? synth::makeMovie(o) : synth::makeSingleFrameFile(o);
        if (fault == QLatin1String("pad"))
            bytes.append(QByteArray(2097152 - bytes.size(), '\0'));
        const QString type = movie ? (compressed ? "TMC" : "THM") : (compressed ? "THC" : "THR");
        // The type comes from the extension in any case.
        const QString file = scratch("probe." + (movie ? type : type.toLower()), bytes);
        const QString pgm = scratch("probe.pgm");
        const int shown = movie ? 3 : 1;
        const Run run = probe(QStringList{file, "--all", "--raw", pgm} +
                              (movie ? QStringList{"--frame", "3"} : QStringList()));
        // The stream's frame number only for a compressed frame.
        const QStringList counters =
            movie ? QStringList{"10", "11", "8204", "13", "15", "16"} : QStringList{"42"};
        const auto number = [&](int n) { return compressed ? counters[n - 1] : "null"; };
        QString expected = QString::asprintf(
            "exit=0 file=\"%s\" type=\"%s\" headerVersion=%d frames=%d ffcFrames=[%s] "
            "frameCounterGaps=[%s] frame={ number=%d ok=true width=%d height=%d ",
            qUtf8Printable(file), qUtf8Printable(type), version, frames,
            movie && version == 5 ? "3" : "", movie ? "4" : "", shown, width, height);
        // Versions 5 and 6 carry camera data; the serial block's size by version.
        const int serialBytes[] = {0, 8192, 8192, 0, 2036, 2006, 1978};
        const QString header =
            (version >= 5 ? "partNumber=\"" + synth::defaultPartNumber(width) +
                                "\" tempFPA=31.4 tempHousing=29.87"
                          : QByteArray("partNumber=\"\" tempFPA=0 tempHousing=0")) +
            QStringLiteral(" serialBytes=%1").arg(serialBytes[version]);
        expected += recordings::stats(o, shown) + ' ' + header +
                    " streamFrameNumber=" + number(shown) + " frameList=[";
        for (int n = 1; n <= frames; ++n)
            expected += QStringLiteral(" number=%1 ok=true %2 streamFrameNumber=%3")
                            .arg(n)
                            .arg(recordings::stats(o, n), number(n));
        QCOMPARE(run.flat, expected);
        // The loaders' console lines go to standard error: the counter check
        // comes before the FFC list.
        QCOMPARE(run.err,
                 movie ? "Bad FC: 4\nFramecounter jump\n" +
                             QByteArray(version == 5 ? "FFC => 3: 12, 0010000000001100\n" : "")
                       : "Opening: " + file.toUtf8() + '\n');
        // The PGM of the frame: P5, maxval 65535, big-endian samples.
        QByteArray image = QString::asprintf("P5\n%d %d\n65535\n", width, height).toLatin1();
        for (uint16_t v : recordings::decoded(o, shown))
            image.append(char(v >> 8)).append(char(v & 0xFF));
        QFile in(pgm);
        QVERIFY(in.open(QIODevice::ReadOnly) && in.readAll() == image);
    }

    void refusals_data() {
        QTest::addColumn<Refusal>("c");
        const QByteArray two = synth::makeMovie(recordings::options(6, true, 2));
        row("missing", Refusal("gone.THR", QByteArray(), "",
                               "DataConverter::loadFromRawFile opening of file: \"%P\" failed"));
        row("not a recorder file",
            Refusal("picture.png", "png", "",
                    "kalorix-probe: not a recorder file (.THR, .THC, .THM, .TMC, .TFC): %P"));
        row("movie without a signature",
            Refusal("none.TMC", QByteArray(5000, 'x'), "", "kalorix-probe: no frame found"));
        row("frame 3 of 2", Refusal("two.TMC", two, "--frame 3",
                                    "kalorix-probe: frame 3 is not in the file (frames 1 to 2)"));
        row("no file", Refusal("", QByteArray(), "", ""));
        row("frame 0", Refusal("two.TMC", two, "--frame 0", ""));
        row("empty range", Refusal("two.TMC", two, "--png p.png --range 9 9", ""));
        row("unknown telemetry", Refusal("two.TMC", two, "--serial gps", ""));
    }

    void refusals() {
        QFETCH(Refusal, c);
        auto [name, bytes, args, error] = c;
        const QString file = name.isEmpty() ? QString() : scratch(name, bytes);
        const Run run = probe((file.isEmpty() ? QStringList() : QStringList{file}) +
                              args.split(' ', Qt::SkipEmptyParts));
        // Usage: the help text on standard error, nothing on standard output.
        QCOMPARE(run.flat,
                 error.isEmpty()
                     ? QString("exit=2")
                     : QString("exit=1 file=\"%P\" error=\"" + error + '"').replace("%P", file));
        QCOMPARE(run.err.contains("--range <LOW> <HIGH>"), error.isEmpty());
    }

    // Kalorix decodes a 160 x 6 frame but converts (shows, exports) only frames
    // of 10 rows or more; the probe once called the small one "ok" with exit 0.
    void refusedFrame_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("png");
        row("THR 160 x 6", QString("THR"), 6, false);
        row("THC 160 x 6", QString("THC"), 6, false);
        row("TMC 160 x 6", QString("TMC"), 6, false);
        row("THR 160 x 6 with --png", QString("THR"), 6, true);
        row("THR 160 x 9", QString("THR"), 9, false);
        row("THR 160 x 10 converted", QString("THR"), 10, true);
        row("TMC 160 x 10 converted", QString("TMC"), 10, false);
    }

    void refusedFrame() {
        QFETCH(QString, type);
        QFETCH(int, height);
        QFETCH(bool, png);
        const bool movie = type == "TMC";
        const synth::MovieOptions o =
            recordings::options(6, type != "THR", movie ? 2 : 1, 160, height);
        const QString file =
            scratch("small." + type, movie ? synth::makeMovie(o) : synth::makeSingleFrameFile(o));
        const QString picture = scratch("small.png");
        const Run run =
            probe(QStringList{file} + (png ? QStringList{"--png", picture} : QStringList()));
        const bool refused = height < 10;
        QCOMPARE(run.flat.section(' ', 0, 0), refused ? "exit=1" : "exit=0");
        const QJsonObject frame = run.json["frame"].toObject();
        QCOMPARE(frame["ok"].toBool(), !refused);
        QCOMPARE(frame["width"].toInt(), 160);
        QCOMPARE(frame["height"].toInt(), height);
        QCOMPARE(run.json["error"].toString(),
                 refused ? QString("kalorix-probe: the program refuses frame 1: 160 x %1 values "
                                   "are too few to convert")
                               .arg(height)
                         : QString());
        QCOMPARE(QFile::exists(picture), png && !refused);
    }

    void telemetry_data() {
        QTest::addColumn<int>("telemetry");
        QTest::addColumn<double>("tolerance"); // degrees: what the sentence format keeps
        QTest::addColumn<QString>("date");
        QTest::newRow("nmea") << int(synth::Telemetry::Nmea) << 2e-6 << "31.05.2016";
        QTest::newRow("mavlink") << int(synth::Telemetry::MAVLink) << 1e-7 << "31.05.2016";
        QTest::newRow("md") << int(synth::Telemetry::MdDownlink) << 1e-5 << "2016-05-31";
    }

    void telemetry() {
        const QString kind = QTest::currentDataTag();
        QFETCH(int, telemetry);
        QFETCH(double, tolerance);
        QFETCH(QString, date);
        synth::MovieOptions o = recordings::options(6, true, 4);
        o.telemetry = synth::Telemetry(telemetry);
        const QString file = scratch("flight-" + kind + ".TMC", synth::makeMovie(o));
        // MAVLink dates are local time: pin the child's time zone.
        qputenv("TZ", "UTC");
        const Run run = probe({file, "--serial", kind, "--frame", "3", "--all"});
        // The frame and every entry of the list carry the telemetry.
        const QString members = QString("telemetry={ latitude=\\S+ longitude=\\S+ altitude=\\S+ "
                                        "satellites=\\d+ date=\"%1\" time=\"14:24:23\" "
                                        "trackHeading=\\S+ magneticHeading=\\S+ roll=\\S+ "
                                        "pitch=\\S+ yaw=\\S+ serialText=\"")
                                    .arg(date);
        QCOMPARE(run.flat.count(QRegularExpression(members)), 5);
        // Frame 3 carries the position of 2/9 s after the start.
        const QJsonObject t = run.json["frame"].toObject()["telemetry"].toObject();
        const synth::FlightState state = synth::flightStateAt(o.flight, 2 * o.frameIntervalS);
        QVERIFY(std::abs(t["latitude"].toDouble() - state.latitude) < tolerance &&
                std::abs(t["longitude"].toDouble() - state.longitude) < tolerance);
        QVERIFY(!probe({file}).flat.contains("telemetry"));
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
