// kalorix-probe FILE [--frame N] [--raw OUT.pgm]: prints what the converter
// decodes from a recorder file as one JSON object on standard output.
#include "Probe.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kalorix-probe"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Loads a Kestrum recorder file as Kalorix does and prints one JSON object: file, type, "
        "headerVersion, frames and the decoded frame (size, minimum, maximum, mean, hot spot, "
        "camera part number, temperatures, serial block size). A file that does not load "
        "gives {\"file\", \"error\"} and exit status 1."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Recorder file (.THR; other types to follow)."));
    const QCommandLineOption frameOption(QStringLiteral("frame"),
                                         QStringLiteral("Frame to describe, from 1 (default 1)."),
                                         QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption rawOption(
        QStringLiteral("raw"),
        QStringLiteral("Also write the frame's raw values as a binary 16-bit PGM (P5, maxval "
                       "65535, big-endian)."),
        QStringLiteral("OUT.pgm"));
    parser.addOption(frameOption);
    parser.addOption(rawOption);
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    bool frameOk = false;
    const int frame = parser.value(frameOption).toInt(&frameOk);
    if (files.size() != 1 || !frameOk || frame < 1) {
        std::fputs(qPrintable(parser.helpText()), stderr);
        return 2;
    }

    probe::Options options;
    options.file = files.first();
    options.frame = frame;
    options.rawOut = parser.value(rawOption);
    const probe::Result result = probe::probeFile(options);
    const QByteArray json = result.json.toJson() + '\n';
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return result.ok ? 0 : 1;
}
