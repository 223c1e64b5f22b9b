// The built program run as a separate process, as scripts and CI run it: no
// display, messages on standard error, exit codes that tell the truth.
#include "app/ExpectedHelpText.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
    QStringList errLines() const {
        QStringList lines = err.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
};

QString scratch(const QString& name) {
    return testsupport::scratchDir() + QLatin1Char('/') + name;
}

QString freshDir(const QString& name) {
    const QString dir = scratch(name);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs kalorix in an empty working directory without a display; the program
// must choose the offscreen platform itself.
Run kalorix(const QStringList& arguments) {
    Run run;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    // Qt warns on standard error when the runtime directory is not set, as it
    // is not for root in CI; give it one so that standard error holds only
    // what the program says.
    const QString runtime = scratch(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    // In sanitizer builds the leak checker lists the suppressions it used
    // (Qt's and fontconfig's caches) on standard error at exit.
    if (env.contains(QStringLiteral("LSAN_OPTIONS"))) {
        env.insert(QStringLiteral("LSAN_OPTIONS"), env.value(QStringLiteral("LSAN_OPTIONS")) +
                                                       QStringLiteral(":print_suppressions=0"));
    }
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(scratch(QStringLiteral("cwd")));
    process.start(QStringLiteral(KALORIX_EXE), arguments);
    run.finished = process.waitForFinished(120000);
    if (!run.finished)
        process.kill();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QString movie() {
    return scratch(QStringLiteral("input/flight.TMC"));
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void pngRange();
    void helpText();
    void failures_data();
    void failures();
    void optionsWithOddValues_data();
    void optionsWithOddValues();
    void mergeIsRefused();
};

void TestCli::initTestCase() {
    QDir().mkpath(scratch(QStringLiteral("input")));
    synth::MovieOptions options;
    options.frames = 5;
    options.compressed = true;
    options.version = 6;
    QVERIFY(synth::writeFile(movie(), synth::makeMovie(options)));
}

void TestCli::init() {
    freshDir(QStringLiteral("cwd"));
}

void TestCli::cleanup() {
    // Nothing is ever written beside the input or into the working directory.
    QCOMPARE(filesIn(scratch(QStringLiteral("cwd"))), QStringList());
    QCOMPARE(filesIn(scratch(QStringLiteral("input"))), QStringList({"flight.TMC"}));
}

void TestCli::pngRange() {
    const QString out = freshDir(QStringLiteral("png"));
    const Run run = kalorix({"-i", movie(), "-cp", "iron", "-l", "-expa", out, "-exfn", "scan",
                             "-exfo", "png", "-exsf", "2", "-exef", "4", "-c"});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(filesIn(out),
             QStringList({"scan_000_0002.png", "scan_000_0003.png", "scan_000_0004.png"}));
    for (const QString& name : filesIn(out)) {
        const QImage picture(out + QLatin1Char('/') + name);
        QCOMPARE(picture.size(), QSize(640 + 61, 512));
    }
    QCOMPARE(run.errLines(), QStringList({"frame 1 of 3: " + out + "/scan_000_0002.png",
                                          "frame 2 of 3: " + out + "/scan_000_0003.png",
                                          "frame 3 of 3: " + out + "/scan_000_0004.png"}));
    QVERIFY(run.out.contains("File to open: " + movie() + "\n"));
    QVERIFY(run.out.contains("OPTION: -l => Show legend\n"));

    // -q: the same files, no progress lines.
    const QString quiet = freshDir(QStringLiteral("png-quiet"));
    const Run q = kalorix({"-i", movie(), "-expa", quiet, "-exfn", "scan", "-exfo", "png", "-exsf",
                           "5", "-exef", "5", "-c", "-q"});
    QCOMPARE(q.exitCode, 0);
    QCOMPARE(filesIn(quiet), QStringList({"scan_000_0005.png"}));
    QCOMPARE(q.err, QString());
}

void TestCli::helpText() {
    // Options before -help act, those after it do not: nothing is opened.
    const Run run = kalorix({"-l", "-help", "-i", movie(), "-c"});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QStringList lines = run.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString()); // the last line ends with a line break
    QStringList expected = expectedHelpLines();
    expected.prepend(QStringLiteral("OPTION: -l => Show legend"));
    for (int i = 0; i < qMin(lines.size(), expected.size()); ++i)
        QCOMPARE(lines.at(i), expected.at(i));
    QCOMPARE(lines.size(), expected.size());
    QCOMPARE(run.err, QString());
}

void TestCli::failures_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("errLines");
    QTest::addColumn<QStringList>("files");
    const QString missing = scratch(QStringLiteral("input/missing.TMC"));
    const QString folder = scratch(QStringLiteral("input"));
    QTest::newRow("missing input")
        << QStringList{"-i", missing, "-exsf", "1", "-exef", "1"}
        << QStringList{"Error: Error while loading file \"" + missing + "\""} << QStringList{};
    QTest::newRow("a folder as input")
        << QStringList{"-i", folder, "-exsf", "1", "-exef", "1"}
        << QStringList{"Error: Error while loading file \"" + folder + "\""} << QStringList{};
    QTest::newRow("start frame beyond the recording")
        << QStringList{"-i", "MOVIE", "-exsf", "9", "-exef", "9"}
        << QStringList{"Warning: Start frame is higher than frames in dataset"} << QStringList{};
    QTest::newRow("unsupported format")
        << QStringList{"-i", "MOVIE", "-exfo", "bmp"}
        << QStringList{"Error: Unsupported image format selected. Available are .png, .jpg, .jpeg"}
        << QStringList{};
    QTest::newRow("format without its writer")
        << QStringList{"-i", "MOVIE", "-exfo", "avi"}
        << QStringList{"Error: Export format \"avi\" is not available in this version; nothing "
                       "was exported"}
        << QStringList{};
    QTest::newRow("-exfo without its format")
        << QStringList{"-i", "MOVIE", "-exfo"}
        << QStringList{"Error: An export needs a directory (-expa), a name (-exfn) and a format "
                       "(-exfo); nothing was exported"}
        << QStringList{};
    QTest::newRow("-i without its file")
        << QStringList{"-exsf", "1", "-exef", "1", "-i"}
        << QStringList{"Error: Error while loading file \"\""} << QStringList{};
}

void TestCli::failures() {
    QFETCH(QStringList, args);
    const QString out = freshDir(QStringLiteral("failures"));
    for (QString& a : args) {
        if (a == QLatin1String("MOVIE"))
            a = movie();
    }
    // The export options come first so that a trailing "-i" stays last.
    const QStringList head = {"-expa", out, "-exfn", "f", "-exfo", "png", "-c"};
    const Run run = kalorix(head + args);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QTEST(run.errLines(), "errLines");
    QTEST(filesIn(out), "files");
}

void TestCli::optionsWithOddValues_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("outLine"); // a line standard output must hold
    QTest::newRow("-fs 0 exports every frame")
        << QStringList{"-exsf", "3", "-exef", "5", "-fs", "0"} << 0
        << QStringList{"f_000_0003.png", "f_000_0004.png", "f_000_0005.png"} << "";
    QTest::newRow("-r 45 falls back to 0 degrees")
        << QStringList{"-exsf", "1", "-exef", "1", "-r", "45"} << 0 << QStringList{"f_000_0001.png"}
        << "Not supported angle given, setting to 0";
    QTest::newRow("-cp fallback") << QStringList{"-exsf", "1", "-exef", "1", "-cp", "Purple"} << 0
                                  << QStringList{"f_000_0001.png"}
                                  << "Unsupported parameter given to option: -cp: purple";
    // "abc" reads as frame 0, which no recording has: the frame is reported,
    // the others are written, and the run does not claim success.
    QTest::newRow("-exsf abc") << QStringList{"-exsf", "abc", "-exef", "2"} << 1
                               << QStringList{"f_000_0001.png", "f_000_0002.png"} << "";
    QTest::newRow("no range: the whole recording")
        << QStringList{} << 0
        << QStringList{"f_000_0001.png", "f_000_0002.png", "f_000_0003.png", "f_000_0004.png",
                       "f_000_0005.png"}
        << "";
}

void TestCli::optionsWithOddValues() {
    QFETCH(QStringList, args);
    QFETCH(QString, outLine);
    const QString out = freshDir(QStringLiteral("odd"));
    const Run run = kalorix(
        QStringList{"-i", movie(), "-expa", out, "-exfn", "f", "-exfo", "png", "-c", "-q"} + args);
    QVERIFY(run.finished);
    QTEST(run.exitCode, "exitCode");
    QTEST(filesIn(out), "files");
    if (!outLine.isEmpty())
        QVERIFY2(run.out.split('\n').contains(outLine), qPrintable(run.out));
}

void TestCli::mergeIsRefused() {
    const Run run = kalorix({"-exfn", scratch("cwd/merged.TMC"), "-merge", movie(), movie()});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errLines(),
             QStringList({"-merge: merging files is not available in this version; nothing was "
                          "done"}));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
