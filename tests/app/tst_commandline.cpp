#include "app/CommandLine.h"
#include "app/CommandLineReport.h"
#include "app/ExpectedHelpText.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <vector>

namespace {

// argv as the process receives it: the program name first.
struct Argv {
    QList<QByteArray> storage{"kalorix"};
    std::vector<const char*> pointers;
    explicit Argv(const QStringList& arguments) {
        for (const QString& a : arguments)
            storage.append(a.toLocal8Bit());
        for (const QByteArray& s : storage)
            pointers.push_back(s.constData());
    }
    int argc() const { return int(pointers.size()); }
    const char* const* argv() const { return pointers.data(); }
};

kx::CommandLineOptions parse(const QStringList& arguments) {
    const Argv args(arguments);
    return kx::parseCommandLine(args.argc(), args.argv());
}

// Every field that differs from its default, so that a row also fails when an
// option touches something it should leave alone.
QString describe(const kx::CommandLineOptions& o) {
    QStringList s;
    auto add = [&](bool given, const char* key, const QString& value = QString()) {
        if (given)
            s << QLatin1String(key) + value;
    };
    auto opt = [&](const char* key, const auto& v) {
        if constexpr (std::is_same_v<std::decay_t<decltype(*v)>, bool>)
            add(v.has_value(), key, v && *v ? "on" : "off");
        else
            add(v.has_value(), key, QString::number(v ? int(*v) : 0));
    };
    add(!o.inputFiles.isEmpty(), "in=", o.inputFiles.join(','));
    add(!o.exportDirectory.isEmpty(), "dir=", o.exportDirectory);
    add(!o.namePrefix.isEmpty(), "prefix=", o.namePrefix);
    add(!o.exportFormat.isEmpty(), "fmt=", o.exportFormat);
    add(o.startFrame != 0, "sf=", QString::number(o.startFrame));
    add(o.endFrame != 0, "ef=", QString::number(o.endFrame));
    add(o.frameStep != 1, "fs=", QString::number(o.frameStep));
    add(o.startFrameText.has_value(), "sft=", o.startFrameText.value_or(""));
    add(o.endFrameText.has_value(), "eft=", o.endFrameText.value_or(""));
    add(!o.tLinear.isEmpty(), "tl=", o.tLinear);
    add(o.thresholdsSet || o.lowerThreshold || o.upperThreshold,
        "thr=", QString::asprintf("%d..%d", o.lowerThreshold, o.upperThreshold));
    add(o.autoClose, "close");
    add(o.quiet, "quiet");
    add(o.helpRequested, "help");
    add(o.mergeRequested || !o.mergeFiles.isEmpty(), "merge=", o.mergeFiles.join(','));
    opt("legend=", o.legendVisible);
    opt("inv=", o.inverted);
    opt("csv=", o.metaCsv);
    opt("raw=", o.metaRaw);
    opt("type=", o.metaType);
    opt("rot=", o.rotation);
    opt("radio=", o.radiometryOption);
    opt("cp=", o.colorMode);
    opt("serial=", o.serialKind);
    return s.join(' ');
}

void row(const char* name, const char* args, const char* state, const char* console = "") {
    QTest::newRow(name) << QString::fromLatin1(args) << QString::fromLatin1(state)
                        << QString::fromLatin1(console);
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parsing_data();
    void parsing();
    void folder();
    void helpText();
    void reportLines();
    void reportWatch();
};

// Arguments split at spaces; whether they ask for work and for the offscreen
// platform, then the state the options leave; console lines joined by '|'.
void TestCommandLine::parsing_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("console");
    row("nothing", "", "");
    row("single bare argument", "/data/a.TMC", "work in=/data/a.TMC");
    row("two bare arguments", "a.TMC b.TMC", "");
    row("a lone option is no file", "-c", "work offscreen close");
    row("a platform chosen", "-platform xcb -c", "work close");
    row("folder that does not exist", "-folder nowhere", "work", "Folder to process: nowhere");
    row("two -i in order, -I in capitals", "-I b.THM -i a.TMC",
        "work in=b.THM,a.TMC legend=off inv=off csv=off raw=off",
        "File to open: b.THM|File to open: a.TMC");
    row("-i without value", "-l -i", "work in= legend=off inv=off csv=off raw=off",
        "OPTION: -l => Show legend|File to open: ");
    row("-i switches outputs off", "-l -ic -exmeta kml -i a.TMC",
        "work in=a.TMC legend=off inv=off csv=off raw=off type=3",
        "OPTION: -l => Show legend|File to open: a.TMC");
    row("switches after -i", "-i a.TMC -L -ic -exmeta raw -c -q",
        "work offscreen in=a.TMC close quiet legend=on inv=on csv=off raw=on",
        "File to open: a.TMC|OPTION: -l => Show legend");
    row("frame range", "-exsf 12 -exef 40 -fs 4", "sf=12 ef=40 fs=4 sft=12 eft=40");
    row("not a number reads 0", "-exsf abc -exef 0x10 -fs 2.5", "fs=0 sft=abc eft=0x10");
    row("negative", "-exsf -3 -fs -1", "sf=-3 fs=-1 sft=-3");
    row("-exef without value", "-exsf 5 -exef", "sf=5 sft=5 eft=");
    row("-r", "-R 45", "rot=45");
    row("export texts, format lower-cased", "-expa /Out/Dir -exfn Scan -exfo PNG",
        "dir=/Out/Dir prefix=Scan fmt=png");
    row("tif becomes tiff", "-exfo TIF", "fmt=tiff");
    row("-pix4d then -exfo", "-pix4d -exfo jpg", "fmt=jpg csv=on raw=off type=2");
    row("-exfo then -pix4d", "-exfo jpg -exmeta raw -pix4d", "fmt=tiff csv=on raw=off type=2");
    row("meta csvpf", "-exmeta csvpf", "csv=on raw=off type=0");
    row("meta CSVfa", "-exmeta CSVfa", "csv=on raw=off type=1");
    row("meta Pix4D", "-exmeta Pix4D", "csv=on raw=off type=2");
    row("meta KML", "-EXMETA KML", "csv=on raw=off type=3");
    row("meta unknown after kml keeps the type", "-exmeta kml -exmeta xml",
        "csv=off raw=off type=3");
    row("palette gray", "-cp gray", "cp=0");
    row("palette IRON", "-CP IRON", "cp=1");
    row("palette arctic", "-cp arctic", "cp=2");
    row("palette rainbow", "-cp Rainbow", "cp=3");
    row("unknown palette falls back to iron", "-cp gray -cp Purple", "cp=1",
        "Unsupported parameter given to option: -cp: purple|Setting to 'iron'");
    row("palette without value", "-cp", "cp=1",
        "Unsupported parameter given to option: -cp: |Setting to 'iron'");
    // 293.15 / 0.04 = 7328.75 and 313.15 / 0.04 = 7828.75, truncated.
    row("thresholds, high, -tl after the temperatures", "-ltt 20 -utt 40 -TL HIGH",
        "tl=high thr=7328..7828 radio=1", "Thresholds set to: 20 - 40");
    // 6.85 + 273.15 = 280 and 36.85 + 273.15 = 310 exactly in float, so the
    // quotients are 7000 and 7750; in double the sums fall just below and
    // would truncate to 6999 and 7749.
    row("thresholds, high, sums narrowed to float", "-tl high -ltt 6.85 -utt 36.85",
        "tl=high thr=7000..7750 radio=1", "Thresholds set to: 6.85 - 36.85");
    row("thresholds, low", "-ltt 6.85 -utt 36.85 -tl low", "tl=low thr=700..775 radio=2",
        "Thresholds set to: 6.85 - 36.85");
    row("thresholds, none: raw values", "-ltt 7300.9 -utt 8000.2 -tl none",
        "tl=none thr=7300..8000 radio=0", "Thresholds set to: 7300.9 - 8000.2");
    row("unsupported -tl counts as none", "-ltt 100 -utt 200 -tl Medium",
        "tl=none thr=100..200 radio=0",
        "Unsupported parameter given to option -l: medium|Set to 'none'|"
        "Thresholds set to: 100 - 200");
    row("temperature that does not parse reads 0", "-ltt warm -utt 40", "thr=0..40",
        "Thresholds set to: 0 - 40");
    row("thresholds held to the raw range", "-ltt -300 -utt 1e30 -tl high",
        "tl=high thr=0..16383 radio=1", "Thresholds set to: -300 - 1e+30");
    row("-ltt alone sets no thresholds", "-ltt 20 -tl high", "tl=high radio=1");
    row("merge", "-exfn result.TMC -MERGE 1.TMC notes.txt 3.tfc",
        "work offscreen prefix=result.TMC merge=1.TMC,3.tfc");
    row("serial nmea", "-serial nmea", "serial=1");
    row("serial md", "-serial MD", "serial=2");
    row("serial MAVLink", "-Serial MAVLink", "serial=3");
    row("unknown serial keeps the earlier", "-serial md -serial can", "serial=2");
    row("-help stops at once", "-l -HELP -c -i a.TMC -ltt 1 -utt 2",
        "work offscreen help legend=on", "OPTION: -l => Show legend");
    row("a value is examined as an option", "-exfn -c -expa -l",
        "work offscreen dir=-l prefix=-c close legend=on", "OPTION: -l => Show legend");
}

void TestCommandLine::parsing() {
    QFETCH(QString, args);
    QFETCH(QString, console);
    const Argv a(args.split(' ', Qt::SkipEmptyParts));
    testsupport::Recorder rec;
    QString state = describe(kx::parseCommandLine(a.argc(), a.argv()));
    if (kx::commandLineWantsOffscreen(a.argc(), a.argv(), false))
        state.prepend("offscreen ");
    if (kx::commandLineAsksForWork(a.argc(), a.argv()))
        state.prepend("work ");
    QTEST(state.trimmed(), "state");
    QCOMPARE(rec.out, console.isEmpty() ? QString() : console.replace('|', '\n') + '\n');
    QVERIFY(rec.reports.empty());
    // A platform chosen in the environment always wins.
    QVERIFY(!kx::commandLineWantsOffscreen(a.argc(), a.argv(), true));
}

void TestCommandLine::folder() {
    const QString dir = testsupport::scratchDir() + QStringLiteral("/folder-option");
    QDir(dir).removeRecursively();
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/sub.TMC")));
    for (const char* name : {"b.TMC", "a.TMC", "c.tmc", "d.THM", "e.TMC.txt"}) {
        QFile f(dir + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    testsupport::Recorder rec;
    QCOMPARE(parse({"-i", "x.THR", "-folder", dir}).inputFiles,
             QStringList({"x.THR", dir + "/a.TMC", dir + "/b.TMC", dir + "/c.tmc"}));
    QCOMPARE(rec.outLines(),
             QStringList({"File to open: x.THR", "Folder to process: " + dir, "Found 4 files "}));
    // A folder without movies names no file and prints no count; without a
    // value it lists nothing, not the working directory.
    rec.clear();
    QCOMPARE(parse({"-folder", dir + "/sub.TMC", "-folder"}).inputFiles, QStringList());
    QCOMPARE(rec.out, "Folder to process: " + dir + "/sub.TMC\nFolder to process: \n");
}

void TestCommandLine::helpText() {
    QCOMPARE(kx::commandLineHelpLines(), expectedHelpLines());
    testsupport::Recorder rec;
    kx::printCommandLineHelp();
    QCOMPARE(rec.out, expectedHelpLines().join('\n') + '\n');
}

void TestCommandLine::reportLines() {
    testsupport::Recorder rec; // restores the hooks afterwards
    kx::installCommandLineReportHook();
    kx::report(kx::ReportKind::Error, "Error", "Error while loading file \"a\"");
    kx::report(kx::ReportKind::Warning, "", "Start frame");
    kx::report(kx::ReportKind::Error, "No folder selected", "one\ntwo\r\nthree\rfour");
    kx::report(kx::ReportKind::Information, "", "done");
    QCOMPARE(rec.err, "Error: Error while loading file \"a\"\nWarning: Start frame\n"
                      "No folder selected: one two three four\nInformation: done\n");
    QVERIFY(rec.out.isEmpty());
    QCOMPARE(kx::reportedFailureCount(), 3); // information is no failure
    kx::installCommandLineReportHook();
    QCOMPARE(kx::reportedFailureCount(), 0);
}

void TestCommandLine::reportWatch() {
    testsupport::Recorder rec;
    {
        const kx::ReportWatch watch;
        QVERIFY(!watch.reported());
        kx::reportError(QStringLiteral("first"));
        QVERIFY(watch.reported());
    }
    // The watch passed the report on and put the recorder's hook back.
    kx::reportError(QStringLiteral("second"));
    QCOMPARE(int(rec.reports.size()), 2);
    QCOMPARE(rec.reports[0].text + '|' + rec.reports[0].title + '|' + rec.reports[1].text,
             QStringLiteral("first|Error|second"));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
