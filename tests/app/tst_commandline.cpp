#include "app/CommandLine.h"
#include "app/CommandLineReport.h"
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
    kx::CommandLineOptions parse() const { return kx::parseCommandLine(argc(), argv()); }
};

// Every field that differs from its default, so that a row also fails when an
// option touches something it should leave alone.
QString describe(const kx::CommandLineOptions& o) {
    const auto when = [](bool given, const QString& text) { return given ? text : QString(); };
    const auto num = [&](const char* key, int v, int unset = 0) {
        return when(v != unset, key + QString::number(v));
    };
    const auto opt = [](const char* key, const auto& v) {
        return v ? key + QVariant(*v).toString() : QString();
    };
    QStringList s;
    s << when(!o.inputFiles.isEmpty(), "in=" + o.inputFiles.join(','))
      << when(!o.exportDirectory.isEmpty(), "dir=" + o.exportDirectory)
      << when(!o.namePrefix.isEmpty(), "prefix=" + o.namePrefix)
      << when(!o.exportFormat.isEmpty(), "fmt=" + o.exportFormat) << num("sf=", o.startFrame)
      << num("ef=", o.endFrame) << num("fs=", o.frameStep, 1) << opt("sft=", o.startFrameText)
      << opt("eft=", o.endFrameText) << when(!o.tLinear.isEmpty(), "tl=" + o.tLinear)
      << when(o.thresholdsSet || o.lowerThreshold || o.upperThreshold,
              QString::asprintf("thr=%d..%d", o.lowerThreshold, o.upperThreshold))
      << when(o.autoClose, "close") << when(o.quiet, "quiet") << when(o.helpRequested, "help")
      << when(o.mergeRequested || !o.mergeFiles.isEmpty(), "merge=" + o.mergeFiles.join(','))
      << opt("legend=", o.legendVisible) << opt("inv=", o.inverted) << opt("csv=", o.metaCsv)
      << opt("raw=", o.metaRaw) << opt("type=", o.metaType) << opt("rot=", o.rotation)
      << opt("radio=", o.radiometryOption) << opt("cp=", o.colorMode)
      << opt("serial=", o.serialKind);
    s.removeAll(QString());
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
    void reportLines();
};

// Arguments split at spaces; whether they ask for work and for the offscreen
// platform, then the state the options leave; console lines joined by '|'.
// Options that touch different fields share a row.
void TestCommandLine::parsing_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("console");
    row("nothing", "", "");
    row("single bare argument", "/data/a.TMC", "work in=/data/a.TMC");
    row("two bare arguments", "a.TMC b.TMC", "");
    row("a lone option is no file", "-c", "work offscreen close");
    row("a platform chosen", "-platform xcb -c", "work close");
    // In capitals too, in order, the last without a value; each switches off
    // the outputs chosen before it.
    row("-i", "-l -ic -exmeta kml -I b.THM -i a.TMC -i",
        "work in=b.THM,a.TMC, legend=false inv=false csv=false raw=false type=3",
        "OPTION: -l => Show legend|File to open: b.THM|File to open: a.TMC|File to open: ");
    row("switches after -i", "-i a.TMC -L -ic -exmeta raw -c -q",
        "work offscreen in=a.TMC close quiet legend=true inv=true csv=false raw=true",
        "File to open: a.TMC|OPTION: -l => Show legend");
    row("not a number reads 0", "-exsf abc -exef 0x10 -fs 2.5", "fs=0 sft=abc eft=0x10");
    row("export texts, frame range", "-expa /Out/Dir -exfn Scan -exfo PNG -exsf -3 -exef 40 -fs 4",
        "dir=/Out/Dir prefix=Scan fmt=png sf=-3 ef=40 fs=4 sft=-3 eft=40");
    row("gray, nmea, csvpf, tif, -r", "-cp gray -serial nmea -exmeta csvpf -exfo TIF -R 45",
        "fmt=tiff csv=true raw=false type=0 rot=45 cp=0 serial=1");
    row("iron, md, csvfa", "-CP IRON -serial MD -exmeta CSVfa",
        "csv=true raw=false type=1 cp=1 serial=2");
    row("arctic, mavlink, pix4d", "-cp arctic -Serial MAVLink -exmeta Pix4D",
        "csv=true raw=false type=2 cp=2 serial=3");
    row("rainbow, kml, unknown serial", "-cp Rainbow -serial md -serial can -EXMETA KML",
        "csv=true raw=false type=3 cp=3 serial=2");
    row("-pix4d then -exfo", "-pix4d -exfo jpg", "fmt=jpg csv=true raw=false type=2");
    row("-exfo then -pix4d", "-exfo jpg -exmeta raw -pix4d", "fmt=tiff csv=true raw=false type=2");
    // An unknown meta type switches both outputs off and keeps the type.
    row("unknown palette or meta type", "-cp gray -cp Purple -exmeta kml -exmeta xml -cp",
        "csv=false raw=false type=3 cp=1",
        "Unsupported parameter given to option: -cp: purple|Setting to 'iron'|"
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
    row("unsupported -tl, temperature that does not parse", "-ltt warm -utt 200 -tl Medium",
        "tl=none thr=0..200 radio=0",
        "Unsupported parameter given to option -l: medium|Set to 'none'|"
        "Thresholds set to: 0 - 200");
    row("thresholds held to the raw range", "-ltt -300 -utt 1e30 -tl high",
        "tl=high thr=0..16383 radio=1", "Thresholds set to: -300 - 1e+30");
    row("-ltt alone sets no thresholds; -exef without value", "-ltt 20 -tl high -exsf 5 -exef",
        "sf=5 sft=5 eft= tl=high radio=1");
    row("merge", "-exfn result.TMC -MERGE 1.TMC notes.txt 3.tfc",
        "work offscreen prefix=result.TMC merge=1.TMC,3.tfc");
    row("-help stops at once", "-l -HELP -c -i a.TMC -ltt 1 -utt 2",
        "work offscreen help legend=true", "OPTION: -l => Show legend");
    row("a value is examined as an option", "-exfn -c -expa -l",
        "work offscreen dir=-l prefix=-c close legend=true", "OPTION: -l => Show legend");
}

void TestCommandLine::parsing() {
    QFETCH(QString, args);
    QFETCH(QString, console);
    const Argv a(args.split(' ', Qt::SkipEmptyParts));
    testsupport::Recorder rec;
    QString state = describe(a.parse());
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
    const QString dir = testsupport::freshDir(QStringLiteral("folder-option"));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/sub.TMC")));
    for (const char* name : {"b.TMC", "a.TMC", "c.tmc", "d.THM", "e.TMC.txt"})
        QVERIFY(QFile(dir + QLatin1Char('/') + QLatin1String(name)).open(QIODevice::WriteOnly));
    testsupport::Recorder rec;
    QCOMPARE(Argv({"-i", "x.THR", "-folder", dir}).parse().inputFiles,
             QStringList({"x.THR", dir + "/a.TMC", dir + "/b.TMC", dir + "/c.tmc"}));
    QCOMPARE(rec.outLines(),
             QStringList({"File to open: x.THR", "Folder to process: " + dir, "Found 4 files "}));
    // A folder without movies, or none at all, names no file and prints no
    // count; without a value it lists nothing, not the working directory.
    rec.clear();
    QCOMPARE(
        Argv({"-folder", dir + "/sub.TMC", "-folder", "nowhere", "-folder"}).parse().inputFiles,
        QStringList());
    QCOMPARE(rec.out, "Folder to process: " + dir +
                          "/sub.TMC\nFolder to process: nowhere\nFolder to process: \n");
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

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
