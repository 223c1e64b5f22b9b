// kalorix-probe FILE [--frame N] [--raw OUT.pgm] [--all] [--png OUT.png --palette
// gray|iron|arctic|rainbow [--range LOW HIGH] [--invert]]: prints what the
// converter decodes from a recorder file as one JSON object on standard output.
#include "Probe.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kalorix-probe"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Loads a Kestrum recorder file as Kalorix does and prints one JSON object: file, type, "
        "headerVersion, frames, ffcFrames, frameCounterGaps and the decoded frame (size, "
        "minimum, maximum, mean, hot spot, camera part number, temperatures, serial block size, "
        "the compressed stream's frame number or null). A file that does not load gives "
        "{\"file\", \"error\"} and exit status 1."));
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
    parser.addOption(frameOption);
    parser.addOption(rawOption);
    parser.addOption(allOption);
    parser.addOption(pngOption);
    parser.addOption(paletteOption);
    parser.addOption(invertOption);
    // "--range LOW HIGH" takes two values, which the parser cannot express: it
    // is taken out of the arguments first.
    QStringList arguments = app.arguments();
    bool rangeGiven = false;
    bool rangeOk = true;
    uint rangeLow = 0;
    uint rangeHigh = 0;
    const int rangeAt = int(arguments.indexOf(QStringLiteral("--range")));
    if (rangeAt > 0) {
        rangeGiven = true;
        bool lowOk = false;
        bool highOk = false;
        if (rangeAt + 2 < arguments.size()) {
            rangeLow = arguments.at(rangeAt + 1).toUInt(&lowOk);
            rangeHigh = arguments.at(rangeAt + 2).toUInt(&highOk);
        }
        const int taken = std::min(3, int(arguments.size()) - rangeAt);
        arguments.erase(arguments.begin() + rangeAt, arguments.begin() + rangeAt + taken);
        rangeOk = lowOk && highOk && rangeLow < rangeHigh && rangeHigh <= 16383;
    }
    parser.process(arguments);

    const QStringList files = parser.positionalArguments();
    bool frameOk = false;
    const int frame = parser.value(frameOption).toInt(&frameOk);
    const int palette = probe::paletteFromName(parser.value(paletteOption));
    if (files.size() != 1 || !frameOk || frame < 1 || palette < 0 || !rangeOk ||
        ((rangeGiven || parser.isSet(invertOption) || parser.isSet(paletteOption)) &&
         !parser.isSet(pngOption))) {
        std::fputs(qPrintable(parser.helpText()), stderr);
        std::fputs("  --range <LOW> <HIGH>      Raw window of the PNG instead of the automatic "
                   "one (0 <= LOW < HIGH <= 16383).\n",
                   stderr);
        return 2;
    }

    probe::Options options;
    options.file = files.first();
    options.frame = frame;
    options.rawOut = parser.value(rawOption);
    options.all = parser.isSet(allOption);
    options.pngOut = parser.value(pngOption);
    options.palette = palette;
    options.invert = parser.isSet(invertOption);
    options.rangeGiven = rangeGiven;
    options.rangeLow = rangeLow;
    options.rangeHigh = rangeHigh;
    const probe::Result result = probe::probeFile(options);
    const QByteArray json = result.json.toJson() + '\n';
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return result.ok ? 0 : 1;
}
