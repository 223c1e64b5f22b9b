// The built program run as a separate process, as scripts and CI run it: no
// display, messages on standard error, exit codes that tell the truth.
#include "app/ExpectedHelpText.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <unistd.h>

namespace {

struct Run {
    int exitCode;
    QString out, err;
};

using testsupport::freshDir;
using testsupport::scratchPath;

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Sets kalorix up to run in an empty working directory without a display;
// the program must choose the offscreen platform itself.
void prepare(QProcess& process) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    // Qt warns on standard error when the runtime directory is not set, as it
    // is not for root in CI; give it one so that standard error holds only
    // what the program says.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratchPath(QStringLiteral("runtime")));
    // The user's settings store is never read or written by a test.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratchPath(QStringLiteral("config")));
    // In sanitizer builds the leak checker lists the suppressions it used
    // (Qt's and fontconfig's caches) on standard error at exit.
    if (env.contains(QStringLiteral("LSAN_OPTIONS")))
        env.insert("LSAN_OPTIONS", env.value("LSAN_OPTIONS") + ":print_suppressions=0");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(scratchPath(QStringLiteral("cwd")));
}

Run finished(QProcess& process) {
    if (!process.waitForFinished(120000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

Run kalorix(const QStringList& arguments) {
    QProcess process;
    prepare(process);
    process.start(QStringLiteral(KALORIX_EXE), arguments);
    return finished(process);
}

// Waits until the process has stopped itself; false when it ended instead or
// did not stop within a minute.
bool stopped(QProcess& process) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process.processId()));
    for (int i = 0; i < 6000 && process.state() == QProcess::Running; ++i) {
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray line = stat.readAll();
            stat.close();
            // The state follows the name, which is in parentheses.
            if (line.mid(line.lastIndexOf(')') + 2, 1) == "T")
                return true;
        }
        QThread::msleep(10);
    }
    return false;
}

void row(const char* name, const char* args, int exitCode, const char* err, const char* files,
         const char* outLines = "") {
    QTest::newRow(name) << QString::fromLatin1(args) << exitCode << QString::fromLatin1(err)
                        << QString::fromLatin1(files) << QString::fromLatin1(outLines);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
    const QString movie = scratchPath(QStringLiteral("input/flight.TMC"));
private slots:
    void initTestCase() {
        const QString runtime = freshDir(QStringLiteral("runtime"));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
        QDir().mkpath(scratchPath(QStringLiteral("input")));
        synth::MovieOptions options;
        options.frames = 5;
        options.compressed = true;
        options.version = 6;
        QVERIFY(synth::writeFile(movie, synth::makeMovie(options)));
    }
    void init() { freshDir(QStringLiteral("cwd")); }
    void cleanup() {
        // Nothing is ever written beside the input or into the working directory.
        QCOMPARE(filesIn(scratchPath(QStringLiteral("cwd"))), QStringList());
        QCOMPARE(filesIn(scratchPath(QStringLiteral("input"))), QStringList({"flight.TMC"}));
    }
    void helpText();
    void runsLeaveTheStoreAlone();
    void runs_data();
    void runs();
    void filesAsBeforeTheEngine();
    void namesInAnyLanguage();
    void inputCutWhileIndexed();
    void merges_data();
    void merges();
};

void TestCli::helpText() {
    // Options before -help act, those after it do not: nothing is opened.
    const Run run = kalorix({"-l", "-help", "-i", movie, "-c"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.split('\n'),
             QStringList("OPTION: -l => Show legend") + expectedHelpLines() + QStringList(""));
    QCOMPARE(run.err, QString());
}

// Every run exports to OUT as "f" in png (later options override these) and
// closes. Lines of standard error, and lines that standard output must hold,
// are joined by '|'; OUT, MOVIE, MISSING and INPUT stand for the paths.
void TestCli::runs_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("outLines");
    row("range, with legend and progress", "-i MOVIE -cp iron -l -exsf 2 -exef 4", 0,
        "frame 1 of 3: OUT/f_000_0002.png|frame 2 of 3: OUT/f_000_0003.png|"
        "frame 3 of 3: OUT/f_000_0004.png",
        "f_000_0002.png f_000_0003.png f_000_0004.png", "OPTION: -l => Show legend");
    // Without a range the whole recording; a step of 0 exports every frame.
    row("-q, -fs 0, -r 45", "-i MOVIE -fs 0 -r 45 -q", 0, "",
        "f_000_0001.png f_000_0002.png f_000_0003.png f_000_0004.png f_000_0005.png",
        "File to open: MOVIE|Not supported angle given, setting to 0");
    // "abc" reads as frame 0, which no recording has: the frame is reported,
    // the others are written, and the run does not claim success.
    row("-exsf abc", "-i MOVIE -exsf abc -exef 2 -q", 1,
        "Error: 1 of 3 frames could not be converted; no file was written for them",
        "f_000_0001.png f_000_0002.png");
    // The loader reports the first, the run the silent refusals of the others.
    row("inputs that do not open", "-i MISSING -i INPUT -exsf 1 -exef 1 -i", 1,
        "Error: Error while loading file \"MISSING\"|Error: Error while loading file \"INPUT\"|"
        "Error: Error while loading file \"\"",
        "");
    // A failed input does not stop the run: the next one is exported under
    // the file counter of its place on the command line.
    row("a failed input, then one that opens", "-i MISSING -I MOVIE -exsf 1 -exef 2 -q", 1,
        "Error: Error while loading file \"MISSING\"", "f_001_0001.png f_001_0002.png");
    row("start frame beyond the recording", "-i MOVIE -exsf 9 -exef 9", 1,
        "Warning: Start frame is higher than frames in dataset", "");
    row("unsupported format", "-i MOVIE -exfo bmp", 1,
        "Error: Unsupported image format selected. Available are .png, .jpg, .jpeg", "");
    row("-exfo without its format", "-i MOVIE -exfo", 1,
        "Error: An export needs a directory (-expa), a name (-exfn) and a format (-exfo); "
        "nothing was exported",
        "");
}

void TestCli::runs() {
    QFETCH(QString, args);
    QFETCH(QString, err);
    QFETCH(QString, files);
    QFETCH(QString, outLines);
    const QString out = freshDir(QStringLiteral("out"));
    auto paths = [&](QString text) {
        return text.replace("OUT", out)
            .replace("MOVIE", movie)
            .replace("MISSING", scratchPath("input/missing.TMC"))
            .replace("INPUT", scratchPath("input"));
    };
    const QStringList head = {"-expa", out, "-exfn", "f", "-exfo", "png", "-c"};
    const Run run = kalorix(head + paths(args).split(' '));
    QTEST(run.exitCode, "exitCode");
    QCOMPARE(run.err, err.isEmpty() ? QString() : paths(err).replace('|', '\n') + '\n');
    QCOMPARE(filesIn(out).join(' '), files);
    for (const QString& name : filesIn(out)) {
        const QSize size = QImage(out + QLatin1Char('/') + name).size();
        QCOMPARE(size, QSize(args.contains("-l") ? 640 + 61 : 640, 512));
    }
    for (const QString& line : outLines.split('|', Qt::SkipEmptyParts))
        QVERIFY2(run.out.split('\n').contains(paths(line)), qPrintable(run.out));
}

// A run ended by its command line neither loads nor saves the settings; before,
// "-i F -c" wrote the input's folder into the store.
void TestCli::runsLeaveTheStoreAlone() {
    const QString store = freshDir(QStringLiteral("config")) + "/Velmora Technology/Kalorix.conf";
    const QString out = freshDir(QStringLiteral("out"));
    const QStringList exportRun = {"-i", movie, "-expa", out, "-exfn", "x", "-exfo", "png", "-c"};
    QCOMPARE(kalorix(exportRun).exitCode, 0);
    QCOMPARE(filesIn(out).size(), 5);
    QVERIFY(!QFile::exists(store));

    const QByteArray stored = "[General]\nlastBrowserFolder=/nowhere\ncolorMode=2\n"
                              "parseNMEA=true\nrotation=90\n";
    QVERIFY(QDir().mkpath(QFileInfo(store).path()));
    for (const QStringList& args : {exportRun, QStringList{"-help"}}) {
        QFile file(store);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size());
        file.close();
        QCOMPARE(kalorix(args).exitCode, 0);
        QCOMPARE(testsupport::fileBytes(store), stored);
    }
}

// The export engine replaced the window's export loop; these files were
// written by the build before it, from the same simulated flight (JPEGs
// without the EXIF segment they carry now).
void TestCli::filesAsBeforeTheEngine() {
    const QString flight = freshDir(QStringLiteral("engine-input")) + "/engine.TMC";
    synth::MovieOptions movie;
    movie.frames = 12;
    movie.compressed = true;
    movie.telemetry = synth::Telemetry::Nmea;
    movie.ffcFrames = {5};
    QVERIFY(synth::writeFile(flight, synth::makeMovie(movie)));
    const QString out = freshDir(QStringLiteral("engine"));
    const auto run = [&](const QString& args) {
        return kalorix(("-i " + flight + " " + args + " -expa " + out + " -c").split(' ')).exitCode;
    };
    QCOMPARE(run("-cp iron -l -exfn scan -exfo png -exsf 1 -exef 2"), 0);
    QCOMPARE(run("-r 90 -tl high -ltt 20 -utt 40 -exfn roof -exfo jpg -fs 3 -exsf 7 -exef 10"), 0);
    QCOMPARE(run("-r -90 -l -tl low -cp arctic -exfn b -exfo jpeg -exsf 4 -exef 4"), 0);
    QStringList hashes;
    for (const char* name : {"scan_000_0001.png", "scan_000_0002.png", "roof_000_0007.jpg",
                             "roof_000_0010.jpg", "b_000_0004.jpeg"}) {
        QByteArray bytes = testsupport::fileBytes(out + QLatin1Char('/') + QLatin1String(name));
        // JPEG frames gained their EXIF segment since, right after JFIF.
        if (bytes.mid(20, 2) == QByteArray("\xFF\xE1"))
            bytes.remove(20, 2 + (uchar(bytes[22]) << 8 | uchar(bytes[23])));
        hashes << QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
    }
    QCOMPARE(hashes,
             QStringList({"8450a26f79f4117faa245b4232d74843", "c2733fe63f38da0c7e41a3c4ca4f9401",
                          "6c766b7e5b54f14a6d1fc002155e1057", "a6799aad4df17f2b6fc1e676cde11c86",
                          "5dce7124f1e28544df23fe38230424b9"}));
}

// "-exfn" names the merge's output as given; only .TMC and .TFC entries are
// merged. Refused or failed merges write nothing and exit with 1.
void TestCli::merges_data() {
    QTest::addColumn<QString>("args"); // A, B: two movies, OUT: the merge folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("output"); // what the output file holds, "-" for no file
    const auto row = [](const char* name, const char* args, int exitCode, const char* err,
                        const char* output) {
        QTest::newRow(name) << QString::fromLatin1(args) << exitCode << QString::fromLatin1(err)
                            << QString::fromLatin1(output);
    };
    row("two movies", "-exfn OUT/m.TMC -merge A B", 0, "", "AB");
    row("first and last of a .TMC, a text and a .tfc", "-exfn OUT/m -merge A OUT/b.txt B", 0, "",
        "AB");
    row("output is an input", "-exfn A -merge A B", 1,
        "Error: Merge: the output file \"A\" is also a file to merge; nothing was written", "-");
    row("no movie named", "-exfn OUT/m.TMC -merge OUT/b.txt", 1,
        "Error: Merge: the list of files to merge is empty; nothing was written", "-");
    // The shell limits files to 64 blocks and ignores the signal, so the
    // write itself fails half way.
    row("write fails", "LIMIT -exfn OUT/m.TMC -merge A B", 1,
        "Error: Merge failed: cannot write \"OUT/m.TMC\": File too large; no file was written",
        "-");
}

void TestCli::merges() {
    QFETCH(QString, args);
    QFETCH(QString, err);
    QFETCH(QString, output);
    const QString out = freshDir(QStringLiteral("merge"));
    synth::MovieOptions options;
    options.frames = 3;
    options.compressed = true;
    const QByteArray a = synth::makeMovie(options);
    options.frames = 5;
    options.scene.seed = 7;
    const QByteArray b = synth::makeMovie(options);
    QVERIFY(synth::writeFile(out + "/a.TMC", a) && synth::writeFile(out + "/B.tfc", b));
    QVERIFY(synth::writeFile(out + "/b.txt", "notes"));
    auto paths = [&](QString text) {
        return text.replace("OUT", out)
            .replace(" A", " " + out + "/a.TMC")
            .replace(" B ", " " + out + "/B.tfc ")
            .replace(" B", " " + out + "/B.tfc")
            .replace("\"A\"", "\"" + out + "/a.TMC\"");
    };
    QStringList arguments = paths(" " + args).trimmed().split(' ');
    Run run;
    if (arguments.first() == "LIMIT") {
        arguments.removeFirst();
        QStringList quoted;
        for (const QString& argument : arguments)
            quoted << "'" + argument + "'";
        const QString script = "trap '' XFSZ; ulimit -f 64; exec '" + QStringLiteral(KALORIX_EXE) +
                               "' " + quoted.join(' ');
        QProcess process;
        process.setWorkingDirectory(scratchPath(QStringLiteral("cwd")));
        process.start(QStringLiteral("/bin/sh"), {"-c", script});
        QVERIFY(process.waitForFinished(120000));
        run = {process.exitCode(), QString(),
               QString::fromLocal8Bit(process.readAllStandardError())};
    } else {
        run = kalorix(arguments);
    }
    QTEST(run.exitCode, "exitCode");
    QVERIFY2(run.err.split('\n').contains(paths(" " + err).trimmed()) || err.isEmpty(),
             qPrintable(run.err));
    if (err.isEmpty())
        QCOMPARE(run.err, QString());
    const QString merged = out + (args.contains("m.TMC") ? "/m.TMC" : "/m");
    if (output == "-")
        QVERIFY(!QFile::exists(merged));
    else
        QVERIFY(testsupport::fileBytes(merged) == a + b);
    // The inputs stay as they were, and no temporary file is left behind.
    QVERIFY(testsupport::fileBytes(out + "/a.TMC") == a);
    const QStringList expectedFiles =
        output == "-" ? QStringList{"B.tfc", "a.TMC", "b.txt"}
                      : QStringList{"B.tfc", "a.TMC", "b.txt", QFileInfo(merged).fileName()};
    QCOMPARE(filesIn(out), expectedFiles);
}

// Names were read as Latin-1: "café.TMC" failed to open as "cafÃ©.TMC".
void TestCli::namesInAnyLanguage() {
    const QString folder = freshDir(QStringLiteral("名前"));
    const QString input = folder + QStringLiteral("/café.TMC");
    QVERIFY(QFile::copy(movie, input));
    const QString out = folder + QStringLiteral("/ö_out");
    QVERIFY(QDir().mkpath(out));
    const Run run = kalorix({"-i", input, "-expa", out, "-exfn", QStringLiteral("präfix"), "-exfo",
                             "png", "-exsf", "1", "-exef", "1", "-c"});
    QCOMPARE(run.err, "frame 1 of 1: " + out + "/präfix_000_0001.png\n");
    QCOMPARE(filesIn(out), QStringList({QStringLiteral("präfix_000_0001.png")}));
}

// The input becomes shorter while it is indexed (a copy overwritten, a card
// pulled): the index ended at the cut but kept the old size, and the frame cut
// in two was exported from its first half without a word. Now the frames read
// whole stay, the run says once what happened and does not claim success.
void TestCli::inputCutWhileIndexed() {
    const QString dir = freshDir(QStringLiteral("cut"));
    const QString input = dir + QStringLiteral("/long.THM");
    synth::MovieOptions options;
    options.frames = 200;
    options.scene.width = 160;
    options.scene.height = 120;
    const QByteArray bytes = synth::makeMovie(options);
    QVERIFY(synth::writeFile(input, bytes));
    // Half-way into frame 101: the scan finds its start, not its end.
    QList<int> starts;
    for (int at = 0; starts.size() < 102; ++at)
        starts << (at = bytes.indexOf("VELM\x06", at));
    const qint64 cut = (starts[100] + starts[101]) / 2;

    QProcess process;
    prepare(process);
    QProcessEnvironment env = process.processEnvironment();
    // The scan reads 1 MiB at a time: it stops after its second read.
    env.insert(QStringLiteral("KALORIX_TEST_STOP_SCAN_AT"), QStringLiteral("10"));
    process.setProcessEnvironment(env);
    const QString out = freshDir(QStringLiteral("cut-out"));
    process.start(QStringLiteral(KALORIX_EXE), {"-i", input, "-expa", out, "-exfn", "f", "-exfo",
                                                "png", "-exsf", "99", "-exef", "100", "-q", "-c"});
    QVERIFY(process.waitForStarted());
    QVERIFY2(stopped(process), "the index scan did not stop");
    QCOMPARE(truncate(QFile::encodeName(input).constData(), cut), 0);
    QCOMPARE(kill(pid_t(process.processId()), SIGCONT), 0);
    const Run run = finished(process);

    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("Warning: The file \"%1\" became shorter while it was indexed "
                                     "(%2 of %3 bytes); only its first 100 frames are read\n")
                          .arg(input)
                          .arg(cut)
                          .arg(bytes.size()));
    QCOMPARE(filesIn(out), QStringList({"f_000_0099.png", "f_000_0100.png"}));
    for (const QString& name : filesIn(out)) {
        const QByteArray png = testsupport::fileBytes(out + QLatin1Char('/') + name);
        QVERIFY2(png.endsWith(QByteArray("\0\0\0\0IEND\xae\x42\x60\x82", 12)), qPrintable(name));
        QCOMPARE(QImage::fromData(png).size(), QSize(160, 120));
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
