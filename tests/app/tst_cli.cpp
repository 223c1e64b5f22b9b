// The built program run as a separate process, as scripts and CI run it: no
// display, messages on standard error, exit codes that tell the truth.
#include "app/ExpectedHelpText.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QtTest>

namespace {

struct Run {
    int exitCode;
    QString out, err;
};

QString scratch(const QString& name) {
    return testsupport::scratchDir() + QLatin1Char('/') + name;
}

QString freshDir(const QString& name) {
    QDir(scratch(name)).removeRecursively();
    QDir().mkpath(scratch(name));
    return scratch(name);
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs kalorix in an empty working directory without a display; the program
// must choose the offscreen platform itself.
Run kalorix(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    // Qt warns on standard error when the runtime directory is not set, as it
    // is not for root in CI; give it one so that standard error holds only
    // what the program says.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch(QStringLiteral("runtime")));
    // The user's settings store is never read or written by a test.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch(QStringLiteral("config")));
    // In sanitizer builds the leak checker lists the suppressions it used
    // (Qt's and fontconfig's caches) on standard error at exit.
    if (env.contains(QStringLiteral("LSAN_OPTIONS")))
        env.insert("LSAN_OPTIONS", env.value("LSAN_OPTIONS") + ":print_suppressions=0");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(scratch(QStringLiteral("cwd")));
    process.start(QStringLiteral(KALORIX_EXE), arguments);
    if (!process.waitForFinished(120000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

void row(const char* name, const char* args, int exitCode, const char* err, const char* files,
         const char* outLines = "") {
    QTest::newRow(name) << QString::fromLatin1(args) << exitCode << QString::fromLatin1(err)
                        << QString::fromLatin1(files) << QString::fromLatin1(outLines);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
    const QString movie = scratch(QStringLiteral("input/flight.TMC"));
private slots:
    void initTestCase() {
        const QString runtime = freshDir(QStringLiteral("runtime"));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
        QDir().mkpath(scratch(QStringLiteral("input")));
        synth::MovieOptions options;
        options.frames = 5;
        options.compressed = true;
        options.version = 6;
        QVERIFY(synth::writeFile(movie, synth::makeMovie(options)));
    }
    void init() { freshDir(QStringLiteral("cwd")); }
    void cleanup() {
        // Nothing is ever written beside the input or into the working directory.
        QCOMPARE(filesIn(scratch(QStringLiteral("cwd"))), QStringList());
        QCOMPARE(filesIn(scratch(QStringLiteral("input"))), QStringList({"flight.TMC"}));
    }
    void helpText();
    void runsLeaveTheStoreAlone();
    void runs_data();
    void runs();
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
    row("start frame beyond the recording", "-i MOVIE -exsf 9 -exef 9", 1,
        "Warning: Start frame is higher than frames in dataset", "");
    row("unsupported format", "-i MOVIE -exfo bmp", 1,
        "Error: Unsupported image format selected. Available are .png, .jpg, .jpeg", "");
    row("format without its writer", "-i MOVIE -exfo avi", 1,
        "Error: Export format \"avi\" is not available in this version; nothing was exported", "");
    row("-exfo without its format", "-i MOVIE -exfo", 1,
        "Error: An export needs a directory (-expa), a name (-exfn) and a format (-exfo); "
        "nothing was exported",
        "");
    row("-merge is refused", "-merge MOVIE MOVIE", 1,
        "-merge: merging files is not available in this version; nothing was done", "");
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
            .replace("MISSING", scratch("input/missing.TMC"))
            .replace("INPUT", scratch("input"));
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
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), stored);
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
