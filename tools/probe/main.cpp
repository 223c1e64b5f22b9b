// kalorix-probe FILE [--frame N] [--raw OUT.pgm] [--all] [--png OUT.png --palette
// gray|iron|arctic|rainbow [--range LOW HIGH] [--invert] [--legend [--tlinear
// none|high|low]]] [--drift [--ffc-file F]] [--nuc FIRST LAST] [--lens-reference N]
// [--bitlane]: prints what the converter decodes from a recorder file as
// one JSON object on standard output.
#include "Probe.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Takes "name A B" out of the arguments; ok tells whether both values were
// unsigned numbers. Returns whether the option was given.
bool takePair(QStringList& arguments, const QString& name, uint& a, uint& b, bool& ok) {
    const int at = int(arguments.indexOf(name));
    if (at < 1)
        return false;
    bool aOk = false;
    bool bOk = false;
    if (at + 2 < arguments.size()) {
        a = arguments.at(at + 1).toUInt(&aOk);
        b = arguments.at(at + 2).toUInt(&bOk);
    }
    const int taken = std::min(3, int(arguments.size()) - at);
    arguments.erase(arguments.begin() + at, arguments.begin() + at + taken);
    ok = aOk && bOk;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // The labels of a legend need the font system of a GUI application. The
    // probe never shows a window, so it then runs offscreen unless a platform
    // is named; without a legend it stays a plain console program.
    const bool legendWanted = std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return std::strcmp(argument, "--legend") == 0;
    });
    if (legendWanted && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> application;
    if (legendWanted)
        application = std::make_unique<QGuiApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("kalorix-probe"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Loads a Kestrum recorder file as Kalorix does and prints one JSON object: file, type, "
        "headerVersion, frames, ffcFrames, frameCounterGaps and the decoded frame (size, "
        "minimum, maximum, mean, hot spot, camera part number, temperatures, serial block size, "
        "the compressed stream's frame number or null). A file that does not load gives "
        "{\"file\", \"error\"} and exit status 1; a frame that Kalorix decodes but refuses "
        "to convert has \"ok\": false, adds \"error\" and gives exit status 1."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Recorder file (.THR, .THC, .THM, .TMC)."));
    const QCommandLineOption frameOption(QStringLiteral("frame"),
                                         QStringLiteral("Frame to describe, from 1 (default 1)."),
                                         QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption rawOption(
        QStringLiteral("raw"),
        QStringLiteral("Also write the frame's raw values as a binary 16-bit PGM (P5, maxval "
                       "65535, big-endian)."),
        QStringLiteral("OUT.pgm"));
    const QCommandLineOption allOption(
        QStringLiteral("all"),
        QStringLiteral("Add \"frameList\": number, ok, min, max, mean, hot spot and the stream's "
                       "frame number of every frame."));
    const QCommandLineOption pngOption(QStringLiteral("png"),
                                       QStringLiteral("Also write the converted frame as PNG."),
                                       QStringLiteral("OUT.png"));
    const QCommandLineOption paletteOption(
        QStringLiteral("palette"),
        QStringLiteral("Palette of the PNG: gray, iron, arctic or rainbow (default gray)."),
        QStringLiteral("NAME"), QStringLiteral("gray"));
    const QCommandLineOption invertOption(QStringLiteral("invert"),
                                          QStringLiteral("Invert the palette of the PNG."));
    const QCommandLineOption legendOption(
        QStringLiteral("legend"),
        QStringLiteral("Widen the PNG by the legend strip of its palette, labelled with the "
                       "window's temperatures or \"high\" and \"low\"."));
    const QCommandLineOption tlinearOption(
        QStringLiteral("tlinear"),
        QStringLiteral("T-linear mode of the legend labels: none (\"high\" and \"low\"), high "
                       "(0.04 K per count, the default) or low (0.4 K per count)."),
        QStringLiteral("MODE"), QStringLiteral("high"));
    const QCommandLineOption serialOption(
        QStringLiteral("serial"),
        QStringLiteral("Parse each frame's serial block as nmea, mavlink or md and add "
                       "\"telemetry\" to the frame (and to every entry of \"frameList\")."),
        QStringLiteral("KIND"));
    const QCommandLineOption driftOption(
        QStringLiteral("drift"),
        QStringLiteral("Drift compensation on, with the file's FFC frames or those of --ffc-file; "
                       "frame values and statistics are then corrected."));
    const QCommandLineOption ffcFileOption(
        QStringLiteral("ffc-file"),
        QStringLiteral("FFC list file (one frame number per line) for --drift."),
        QStringLiteral("F"));
    const QCommandLineOption lensOption(
        QStringLiteral("lens-reference"),
        QStringLiteral("Frame N (from 1) of a movie becomes the lens compensation reference."),
        QStringLiteral("N"));
    const QCommandLineOption bitLaneOption(
        QStringLiteral("bitlane"),
        QStringLiteral("Add \"bitLane\": the masks of bits never set and never clear."));
    parser.addOption(driftOption);
    parser.addOption(ffcFileOption);
    parser.addOption(lensOption);
    parser.addOption(bitLaneOption);
    parser.addOption(frameOption);
    parser.addOption(serialOption);
    parser.addOption(rawOption);
    parser.addOption(allOption);
    parser.addOption(pngOption);
    parser.addOption(paletteOption);
    parser.addOption(invertOption);
    parser.addOption(legendOption);
    parser.addOption(tlinearOption);
    // "--range LOW HIGH" and "--nuc FIRST LAST" take two values, which the
    // parser cannot express: they are taken out of the arguments first.
    QStringList arguments = app.arguments();
    uint rangeLow = 0;
    uint rangeHigh = 0;
    bool rangeOk = true;
    const bool rangeGiven =
        takePair(arguments, QStringLiteral("--range"), rangeLow, rangeHigh, rangeOk);
    if (rangeGiven)
        rangeOk = rangeOk && rangeLow < rangeHigh && rangeHigh <= 16383;
    // The NUC range itself is checked by the computation, which refuses it
    // with its own message; 0 0 would read as "no map" and is refused here.
    uint nucFirst = 0;
    uint nucLast = 0;
    bool nucOk = true;
    if (takePair(arguments, QStringLiteral("--nuc"), nucFirst, nucLast, nucOk))
        nucOk =
            nucOk && (nucFirst != 0 || nucLast != 0) && nucFirst <= INT_MAX && nucLast <= INT_MAX;
    parser.process(arguments);
    bool lensOk = true;
    const int lensReference =
        parser.isSet(lensOption) ? parser.value(lensOption).toInt(&lensOk) : 0;

    const QStringList files = parser.positionalArguments();
    bool frameOk = false;
    const int frame = parser.value(frameOption).toInt(&frameOk);
    const int palette = probe::paletteFromName(parser.value(paletteOption));
    const double resolution = probe::resolutionFromName(parser.value(tlinearOption));
    ksDefines::serialContent serial = ksDefines::NoSerialData;
    const bool serialOk =
        !parser.isSet(serialOption) || probe::serialFromName(parser.value(serialOption), serial);
    if (files.size() != 1 || !serialOk || !frameOk || frame < 1 || palette < 0 || !rangeOk ||
        !nucOk || !lensOk || (parser.isSet(lensOption) && lensReference < 1) ||
        (parser.isSet(ffcFileOption) && !parser.isSet(driftOption)) || resolution < 0.0 ||
        ((rangeGiven || parser.isSet(invertOption) || parser.isSet(paletteOption) ||
          parser.isSet(legendOption)) &&
         !parser.isSet(pngOption)) ||
        (parser.isSet(tlinearOption) && !parser.isSet(legendOption))) {
        std::fputs(qPrintable(parser.helpText()), stderr);
        std::fputs("  --range <LOW> <HIGH>      Raw window of the PNG instead of the automatic "
                   "one (0 <= LOW < HIGH <= 16383).\n",
                   stderr);
        std::fputs("  --nuc <FIRST> <LAST>      Compute and switch on the non-uniformity offset "
                   "map over frames FIRST to LAST.\n",
                   stderr);
        return 2;
    }

    probe::Options options;
    options.file = files.first();
    options.frame = frame;
    options.rawOut = parser.value(rawOption);
    options.all = parser.isSet(allOption);
    options.serial = serial;
    options.pngOut = parser.value(pngOption);
    options.palette = palette;
    options.invert = parser.isSet(invertOption);
    options.legend = parser.isSet(legendOption);
    options.resolution = resolution;
    options.rangeGiven = rangeGiven;
    options.rangeLow = rangeLow;
    options.rangeHigh = rangeHigh;
    options.drift = parser.isSet(driftOption);
    options.ffcFile = parser.value(ffcFileOption);
    options.nucFirst = int(nucFirst);
    options.nucLast = int(nucLast);
    options.lensReference = lensReference;
    options.bitLane = parser.isSet(bitLaneOption);
    const probe::Result result = probe::probeFile(options);
    const QByteArray json = result.json.toJson() + '\n';
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return result.ok ? 0 : 1;
}
