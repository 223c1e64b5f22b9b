#include "app/CommandLine.h"
#include "app/CommandLineReport.h"
#include "app/ExpectedHelpText.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <vector>

using kx::CommandLineOptions;

namespace {

// argv as the process receives it: the program name first.
class Argv {
public:
    explicit Argv(const QStringList& arguments) {
        storage.append(QByteArrayLiteral("kalorix"));
        for (const QString& a : arguments)
            storage.append(a.toLocal8Bit());
        for (const QByteArray& s : storage)
            pointers.push_back(s.constData());
    }
    int argc() const { return int(pointers.size()); }
    const char* const* argv() const { return pointers.data(); }

private:
    QList<QByteArray> storage;
    std::vector<const char*> pointers;
};

CommandLineOptions parse(const QStringList& arguments, testsupport::Recorder& recorder) {
    recorder.clear();
    const Argv args(arguments);
    return kx::parseCommandLine(args.argc(), args.argv());
}

QStringList consoleLines(const testsupport::Recorder& recorder) {
    QStringList lines = recorder.out.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString b(bool v) {
    return v ? QStringLiteral("on") : QStringLiteral("off");
}
template <typename T>
QString opt(const std::optional<T>& v) {
    if (!v)
        return QStringLiteral("-");
    if constexpr (std::is_same_v<T, bool>)
        return b(*v);
    else
        return QString::number(int(*v));
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void inputFiles_data();
    void inputFiles();
    void inputSwitchesOutputsOff_data();
    void inputSwitchesOutputsOff();
    void folder();
    void numbers_data();
    void numbers();
    void exportTexts_data();
    void exportTexts();
    void metaTypes_data();
    void metaTypes();
    void palette_data();
    void palette();
    void tLinear_data();
    void tLinear();
    void thresholds_data();
    void thresholds();
    void legendAndInversion();
    void merge();
    void serialKind_data();
    void serialKind();
    void helpStopsAtOnce();
    void valueIsExaminedAsOption();
    void helpText();
    void asksForWork_data();
    void asksForWork();
    void reportLines_data();
    void reportLines();
    void reportWatch();
};

void TestCommandLine::defaults() {
    testsupport::Recorder rec;
    const CommandLineOptions o = parse({}, rec);
    QVERIFY(o.inputFiles.isEmpty());
    QVERIFY(o.exportDirectory.isEmpty());
    QVERIFY(o.namePrefix.isEmpty());
    QVERIFY(o.exportFormat.isEmpty());
    QCOMPARE(o.startFrame, 0);
    QCOMPARE(o.endFrame, 0);
    QCOMPARE(o.frameStep, 1);
    QCOMPARE(o.lowerTemperature, 20.0f);
    QCOMPARE(o.upperTemperature, 40.0f);
    QVERIFY(!o.thresholdsSet);
    QVERIFY(!o.autoClose && !o.mergeRequested && !o.helpRequested && !o.quiet);
    QVERIFY(!o.legendVisible && !o.inverted && !o.metaCsv && !o.metaRaw && !o.metaType);
    QVERIFY(!o.rotation && !o.radiometryOption && !o.colorMode && !o.serialKind);
    QVERIFY(rec.out.isEmpty());
    QVERIFY(rec.reports.empty());
}

void TestCommandLine::inputFiles_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("console");
    QTest::newRow("single bare argument")
        << QStringList{"/data/a.TMC"} << QStringList{"/data/a.TMC"} << QStringList{};
    QTest::newRow("two bare arguments")
        << QStringList{"a.TMC", "b.TMC"} << QStringList{} << QStringList{};
    QTest::newRow("-i") << QStringList{"-i", "a.TMC"} << QStringList{"a.TMC"}
                        << QStringList{"File to open: a.TMC"};
    QTest::newRow("-I in capitals")
        << QStringList{"-I", "a.TMC"} << QStringList{"a.TMC"} << QStringList{"File to open: a.TMC"};
    QTest::newRow("two -i in order")
        << QStringList{"-i", "b.THM", "-i", "a.TMC"} << QStringList{"b.THM", "a.TMC"}
        << QStringList{"File to open: b.THM", "File to open: a.TMC"};
    QTest::newRow("a lone option is no file")
        << QStringList{"-c"} << QStringList{} << QStringList{};
    QTest::newRow("-i without value") << QStringList{"-l", "-i"} << QStringList{""}
                                      << QStringList{"OPTION: -l => Show legend", "File to open: "};
}

void TestCommandLine::inputFiles() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, console);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QCOMPARE(o.inputFiles, inputs);
    QCOMPARE(consoleLines(rec), console);
}

void TestCommandLine::inputSwitchesOutputsOff_data() {
    // legend, inversion, meta CSV, meta RAW, meta type after all arguments
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("state");
    QTest::newRow("-i after the switches")
        << QStringList{"-l", "-ic", "-exmeta", "kml", "-i", "a.TMC"} << "off off off off 3";
    QTest::newRow("switches after -i")
        << QStringList{"-i", "a.TMC", "-l", "-ic", "-exmeta", "raw"} << "on on off on -";
    QTest::newRow("-i alone") << QStringList{"-i", "a.TMC"} << "off off off off -";
}

void TestCommandLine::inputSwitchesOutputsOff() {
    QFETCH(QStringList, args);
    QFETCH(QString, state);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QCOMPARE(QStringList({opt(o.legendVisible), opt(o.inverted), opt(o.metaCsv), opt(o.metaRaw),
                          opt(o.metaType)})
                 .join(' '),
             state);
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
    CommandLineOptions o = parse({"-i", "x.THR", "-folder", dir}, rec);
    QCOMPARE(o.inputFiles, QStringList({"x.THR", dir + "/a.TMC", dir + "/b.TMC", dir + "/c.tmc"}));
    QCOMPARE(consoleLines(rec),
             QStringList({"File to open: x.THR", "Folder to process: " + dir, "Found 4 files "}));

    // A folder without movies names no file and prints no count.
    const QString empty = dir + QStringLiteral("/sub.TMC");
    o = parse({"-folder", empty}, rec);
    QVERIFY(o.inputFiles.isEmpty());
    QCOMPARE(consoleLines(rec), QStringList({"Folder to process: " + empty}));

    // Without a value it lists nothing, not the working directory.
    o = parse({"-folder"}, rec);
    QVERIFY(o.inputFiles.isEmpty());
    QCOMPARE(consoleLines(rec), QStringList({"Folder to process: "}));
}

void TestCommandLine::numbers_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("rotation");
    QTest::addColumn<QString>("texts"); // start and end field texts, "-" when not given
    QTest::newRow("range") << QStringList{"-exsf", "12", "-exef", "40", "-fs", "4"} << 12 << 40 << 4
                           << "-"
                           << "12|40";
    QTest::newRow("not a number reads 0")
        << QStringList{"-exsf", "abc", "-exef", "0x10", "-fs", "2.5"} << 0 << 0 << 0 << "-"
        << "abc|0x10";
    QTest::newRow("-fs 0") << QStringList{"-fs", "0"} << 0 << 0 << 0 << "-"
                           << "-|-";
    QTest::newRow("negative") << QStringList{"-exsf", "-3", "-fs", "-1"} << -3 << 0 << -1 << "-"
                              << "-3|-";
    QTest::newRow("-r 45") << QStringList{"-r", "45"} << 0 << 0 << 1 << "45"
                           << "-|-";
    QTest::newRow("-r 270") << QStringList{"-R", "270"} << 0 << 0 << 1 << "270"
                            << "-|-";
    QTest::newRow("-exef without value") << QStringList{"-exsf", "5", "-exef"} << 5 << 0 << 1 << "-"
                                         << "5|";
    QTest::newRow("-r without value") << QStringList{"-fs", "3", "-r"} << 0 << 0 << 3 << "0"
                                      << "-|-";
}

void TestCommandLine::numbers() {
    QFETCH(QStringList, args);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QTEST(int(o.startFrame), "start");
    QTEST(int(o.endFrame), "end");
    QTEST(int(o.frameStep), "step");
    QTEST(opt(o.rotation), "rotation");
    QTEST(QString(o.startFrameText.value_or("-") + "|" + o.endFrameText.value_or("-")), "texts");
}

void TestCommandLine::exportTexts_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("format");
    QTest::newRow("as given, format lower-cased")
        << QStringList{"-expa", "/Out/Dir", "-exfn", "Scan", "-exfo", "PNG"} << "/Out/Dir"
        << "Scan"
        << "png";
    QTest::newRow("tif becomes tiff") << QStringList{"-exfo", "TIF"} << ""
                                      << ""
                                      << "tiff";
    QTest::newRow("tiff stays") << QStringList{"-exfo", "tiff"} << ""
                                << ""
                                << "tiff";
    QTest::newRow("meta_only") << QStringList{"-exfo", "Meta_Only"} << ""
                               << ""
                               << "meta_only";
    QTest::newRow("-exfn without value") << QStringList{"-expa", "d", "-exfn"} << "d"
                                         << ""
                                         << "";
    QTest::newRow("-pix4d then -exfo") << QStringList{"-pix4d", "-exfo", "jpg"} << ""
                                       << ""
                                       << "jpg";
    QTest::newRow("-exfo then -pix4d") << QStringList{"-exfo", "jpg", "-pix4d"} << ""
                                       << ""
                                       << "tiff";
}

void TestCommandLine::exportTexts() {
    QFETCH(QStringList, args);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QTEST(o.exportDirectory, "directory");
    QTEST(o.namePrefix, "prefix");
    QTEST(o.exportFormat, "format");
    QVERIFY(rec.out.isEmpty());
}

void TestCommandLine::metaTypes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("state"); // meta CSV, meta RAW, meta type
    QTest::newRow("csvpf") << QStringList{"-exmeta", "csvpf"} << "on off 0";
    QTest::newRow("CSVfa") << QStringList{"-exmeta", "CSVfa"} << "on off 1";
    QTest::newRow("Pix4D") << QStringList{"-exmeta", "Pix4D"} << "on off 2";
    QTest::newRow("KML") << QStringList{"-EXMETA", "KML"} << "on off 3";
    QTest::newRow("raw") << QStringList{"-exmeta", "RAW"} << "off on -";
    QTest::newRow("unknown switches both off") << QStringList{"-exmeta", "xml"} << "off off -";
    QTest::newRow("unknown after kml keeps the type")
        << QStringList{"-exmeta", "kml", "-exmeta", "xml"} << "off off 3";
    QTest::newRow("-pix4d") << QStringList{"-exmeta", "raw", "-pix4d"} << "on off 2";
    QTest::newRow("missing value") << QStringList{"-exmeta"} << "off off -";
}

void TestCommandLine::metaTypes() {
    QFETCH(QStringList, args);
    QFETCH(QString, state);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QCOMPARE(QStringList({opt(o.metaCsv), opt(o.metaRaw), opt(o.metaType)}).join(' '), state);
    QVERIFY(rec.out.isEmpty());
}

void TestCommandLine::palette_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("console");
    QTest::newRow("gray") << QStringList{"-cp", "gray"} << 0 << QStringList{};
    QTest::newRow("IRON") << QStringList{"-CP", "IRON"} << 1 << QStringList{};
    QTest::newRow("arctic") << QStringList{"-cp", "arctic"} << 2 << QStringList{};
    QTest::newRow("rainbow") << QStringList{"-cp", "Rainbow"} << 3 << QStringList{};
    QTest::newRow("unknown falls back to iron")
        << QStringList{"-cp", "gray", "-cp", "Purple"} << 1
        << QStringList{"Unsupported parameter given to option: -cp: purple", "Setting to 'iron'"};
    QTest::newRow("missing value")
        << QStringList{"-cp"} << 1
        << QStringList{"Unsupported parameter given to option: -cp: ", "Setting to 'iron'"};
}

void TestCommandLine::palette() {
    QFETCH(QStringList, args);
    QFETCH(int, mode);
    QFETCH(QStringList, console);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QVERIFY(o.colorMode.has_value());
    QCOMPARE(*o.colorMode, mode);
    QCOMPARE(consoleLines(rec), console);
}

void TestCommandLine::tLinear_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("console");
    QTest::newRow("none") << QStringList{"-tl", "none"} << 0 << "none" << QStringList{};
    QTest::newRow("HIGH") << QStringList{"-TL", "HIGH"} << 1 << "high" << QStringList{};
    QTest::newRow("low") << QStringList{"-tl", "low"} << 2 << "low" << QStringList{};
    QTest::newRow("unknown falls back to none")
        << QStringList{"-tl", "Medium"} << 0 << "none"
        << QStringList{"Unsupported parameter given to option -l: medium", "Set to 'none'"};
}

void TestCommandLine::tLinear() {
    QFETCH(QStringList, args);
    QFETCH(int, option);
    QFETCH(QString, text);
    QFETCH(QStringList, console);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QVERIFY(o.radiometryOption.has_value());
    QCOMPARE(*o.radiometryOption, option);
    QCOMPARE(o.tLinear, text);
    QCOMPARE(consoleLines(rec), console);
}

void TestCommandLine::thresholds_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("set");
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::addColumn<QStringList>("console");
    // 293.15 / 0.04 = 7328.75 and 313.15 / 0.04 = 7828.75, truncated.
    QTest::newRow("high, -tl after the temperatures")
        << QStringList{"-ltt", "20", "-utt", "40", "-tl", "high"} << true << 7328 << 7828
        << QStringList{"Thresholds set to: 20 - 40"};
    // 6.85 + 273.15 = 280 and 36.85 + 273.15 = 310 exactly in float, so the
    // quotients are 7000 and 7750; in double the sums fall just below and
    // would truncate to 6999 and 7749.
    QTest::newRow("high, sums narrowed to float")
        << QStringList{"-tl", "high", "-ltt", "6.85", "-utt", "36.85"} << true << 7000 << 7750
        << QStringList{"Thresholds set to: 6.85 - 36.85"};
    QTest::newRow("low") << QStringList{"-ltt", "6.85", "-utt", "36.85", "-tl", "LOW"} << true
                         << 700 << 775 << QStringList{"Thresholds set to: 6.85 - 36.85"};
    QTest::newRow("none: the numbers are raw values")
        << QStringList{"-ltt", "7300.9", "-utt", "8000.2"} << true << 7300 << 8000
        << QStringList{"Thresholds set to: 7300.9 - 8000.2"};
    QTest::newRow("unsupported -tl counts as none")
        << QStringList{"-ltt", "100", "-utt", "200", "-tl", "x"} << true << 100 << 200
        << QStringList{"Unsupported parameter given to option -l: x", "Set to 'none'",
                       "Thresholds set to: 100 - 200"};
    QTest::newRow("temperature that does not parse reads 0")
        << QStringList{"-ltt", "warm", "-utt", "40"} << true << 0 << 40
        << QStringList{"Thresholds set to: 0 - 40"};
    QTest::newRow("held to the raw range")
        << QStringList{"-ltt", "-300", "-utt", "1e30", "-tl", "high"} << true << 0 << 16383
        << QStringList{"Thresholds set to: -300 - 1e+30"};
    QTest::newRow("-ltt alone changes nothing")
        << QStringList{"-ltt", "20", "-tl", "high"} << false << 0 << 0 << QStringList{};
    QTest::newRow("-utt alone changes nothing")
        << QStringList{"-utt", "20"} << false << 0 << 0 << QStringList{};
}

void TestCommandLine::thresholds() {
    QFETCH(QStringList, args);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QTEST(o.thresholdsSet, "set");
    QTEST(int(o.lowerThreshold), "lower");
    QTEST(int(o.upperThreshold), "upper");
    QTEST(consoleLines(rec), "console");
}

void TestCommandLine::legendAndInversion() {
    testsupport::Recorder rec;
    CommandLineOptions o = parse({"-L", "-ic", "-c", "-q"}, rec);
    QCOMPARE(opt(o.legendVisible), QStringLiteral("on"));
    QCOMPARE(opt(o.inverted), QStringLiteral("on"));
    QVERIFY(o.autoClose);
    QVERIFY(o.quiet);
    QCOMPARE(consoleLines(rec), QStringList({"OPTION: -l => Show legend"}));
}

void TestCommandLine::merge() {
    testsupport::Recorder rec;
    const CommandLineOptions o =
        parse({"-exfn", "result.TMC", "-MERGE", "1.TMC", "notes.txt", "3.tfc"}, rec);
    QVERIFY(o.mergeRequested);
    QCOMPARE(o.mergeFiles, QStringList({"1.TMC", "3.tfc"}));
    QCOMPARE(o.namePrefix, QStringLiteral("result.TMC"));
    QVERIFY(o.inputFiles.isEmpty());
    QVERIFY(rec.out.isEmpty());
}

void TestCommandLine::serialKind_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("kind");
    QTest::newRow("nmea") << QStringList{"-serial", "nmea"} << "1";
    QTest::newRow("md") << QStringList{"-serial", "MD"} << "2";
    QTest::newRow("MAVLink") << QStringList{"-Serial", "MAVLink"} << "3";
    QTest::newRow("unknown changes nothing") << QStringList{"-serial", "can"} << "-";
    QTest::newRow("unknown keeps the earlier")
        << QStringList{"-serial", "md", "-serial", "x"} << "2";
}

void TestCommandLine::serialKind() {
    QFETCH(QStringList, args);
    testsupport::Recorder rec;
    const CommandLineOptions o = parse(args, rec);
    QTEST(opt(o.serialKind), "kind");
}

void TestCommandLine::helpStopsAtOnce() {
    testsupport::Recorder rec;
    const CommandLineOptions o =
        parse({"-l", "-HELP", "-c", "-i", "a.TMC", "-ltt", "1", "-utt", "2"}, rec);
    QVERIFY(o.helpRequested);
    QCOMPARE(opt(o.legendVisible), QStringLiteral("on"));
    QVERIFY(!o.autoClose);
    QVERIFY(o.inputFiles.isEmpty());
    QVERIFY(!o.thresholdsSet);
    QCOMPARE(consoleLines(rec), QStringList({"OPTION: -l => Show legend"}));
}

void TestCommandLine::valueIsExaminedAsOption() {
    testsupport::Recorder rec;
    const CommandLineOptions o = parse({"-exfn", "-c", "-expa", "-l"}, rec);
    QCOMPARE(o.namePrefix, QStringLiteral("-c"));
    QVERIFY(o.autoClose);
    QCOMPARE(o.exportDirectory, QStringLiteral("-l"));
    QCOMPARE(opt(o.legendVisible), QStringLiteral("on"));
}

void TestCommandLine::helpText() {
    const QStringList expected = expectedHelpLines();
    const QStringList lines = kx::commandLineHelpLines();
    for (int i = 0; i < qMin(lines.size(), expected.size()); ++i)
        QCOMPARE(lines.at(i), expected.at(i));
    QCOMPARE(lines.size(), expected.size());

    testsupport::Recorder rec;
    kx::printCommandLineHelp();
    QCOMPARE(rec.out, expected.join('\n') + '\n');
}

void TestCommandLine::asksForWork_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("env");
    QTest::addColumn<bool>("work");
    QTest::addColumn<bool>("offscreen");
    QTest::newRow("nothing") << QStringList{} << false << false << false;
    QTest::newRow("bare file") << QStringList{"a.TMC"} << false << true << false;
    QTest::newRow("-i") << QStringList{"-I", "a.TMC", "-l"} << false << true << false;
    QTest::newRow("-folder") << QStringList{"-folder", "d"} << false << true << false;
    QTest::newRow("-c") << QStringList{"-i", "a.TMC", "-C"} << false << true << true;
    QTest::newRow("-c, platform in environment") << QStringList{"-c"} << true << true << false;
    QTest::newRow("-c, -platform argument")
        << QStringList{"-platform", "xcb", "-c"} << false << true << false;
    QTest::newRow("-merge") << QStringList{"-merge", "1.TMC"} << false << true << true;
    QTest::newRow("-help") << QStringList{"-help"} << false << true << true;
    QTest::newRow("settings only") << QStringList{"-l", "-cp", "iron"} << false << false << false;
}

void TestCommandLine::asksForWork() {
    QFETCH(QStringList, args);
    QFETCH(bool, env);
    const Argv a(args);
    QTEST(kx::commandLineAsksForWork(a.argc(), a.argv()), "work");
    QTEST(kx::commandLineWantsOffscreen(a.argc(), a.argv(), env), "offscreen");
}

void TestCommandLine::reportLines_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("failures");
    QTest::newRow("error") << int(kx::ReportKind::Error) << "Error"
                           << "Error while loading file \"a\""
                           << "Error: Error while loading file \"a\"" << 1;
    QTest::newRow("untitled warning")
        << int(kx::ReportKind::Warning) << ""
        << "Start frame is higher than frames in dataset"
        << "Warning: Start frame is higher than frames in dataset" << 1;
    QTest::newRow("line breaks") << int(kx::ReportKind::Error) << "No folder selected"
                                 << "one\ntwo\r\nthree"
                                 << "No folder selected: one two three" << 1;
    QTest::newRow("information is no failure") << int(kx::ReportKind::Information) << ""
                                               << "done"
                                               << "Information: done" << 0;
}

void TestCommandLine::reportLines() {
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, line);
    testsupport::Recorder rec; // restores the hooks afterwards
    kx::installCommandLineReportHook();
    kx::report(kx::ReportKind(kind), title, text);
    QCOMPARE(rec.err, line + '\n');
    QVERIFY(rec.out.isEmpty());
    QTEST(kx::reportedFailureCount(), "failures");
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
    QCOMPARE(rec.reports[0].text, QStringLiteral("first"));
    QCOMPARE(rec.reports[0].title, QStringLiteral("Error"));
    QCOMPARE(rec.reports[1].text, QStringLiteral("second"));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
