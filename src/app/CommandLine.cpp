#include "app/CommandLine.h"

#include "base/FileKind.h"
#include "base/Radiometry.h"
#include "base/Report.h"
#include "export/FormatRegistry.h"

#include <QDir>
#include <cmath>

namespace kx {
namespace {

// Option names, compared with the lower-cased argument.
const char* const kOptionNames[] = {"-help",  "-i",     "-folder", "-exsf", "-exef", "-expa",
                                    "-exfn",  "-exfo",  "-exmeta", "-fs",   "-c",    "-r",
                                    "-l",     "-tl",    "-ltt",    "-utt",  "-cp",   "-ic",
                                    "-pix4d", "-merge", "-serial", "-q"};

bool isOptionName(const QString& argument) {
    const QString lower = argument.toLower();
    for (const char* name : kOptionNames) {
        if (lower == QLatin1String(name))
            return true;
    }
    return false;
}

// A number that does not parse reads as 0, as the dialogs' fields would.
int32_t toNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? int32_t(value) : 0;
}

float toTemperature(const QString& text) {
    bool ok = false;
    const float value = text.toFloat(&ok);
    return ok ? value : 0.0f;
}

bool endsWithMovieSuffix(const QString& argument) {
    const FileKind kind = fileKindOf(argument);
    return kind == FileKind::CompressedMovie || kind == FileKind::Fusion;
}

} // namespace

int32_t thresholdRawValue(float temperatureCelsius, const QString& tLinear) {
    return radiometry::rawForCelsius(temperatureCelsius, tLinear);
}

CommandLineOptions parseCommandLine(int argc, const char* const* argv) {
    CommandLineOptions options;
    // A file handed over by the desktop comes as the only argument. An option
    // name on its own is not a file: "kalorix -c" opens nothing.
    if (argc == 2 && !isOptionName(QString::fromLocal8Bit(argv[1])))
        options.inputFiles.append(QString::fromLocal8Bit(argv[1]));

    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]).toLower();
        const bool hasValue = i + 1 < argc;
        const QString value = hasValue ? QString::fromLocal8Bit(argv[i + 1]) : QString();
        const QString lowerValue = value.toLower();

        if (argument == QLatin1String("-help")) {
            options.helpRequested = true;
            return options;
        } else if (argument == QLatin1String("-i")) {
            console(QStringLiteral("File to open: ") + value);
            options.inputFiles.append(value);
            options.legendVisible = false;
            options.inverted = false;
            options.metaCsv = false;
            options.metaRaw = false;
        } else if (argument == QLatin1String("-folder")) {
            const QString path = hasValue ? QString::fromLocal8Bit(argv[i + 1]) : QString();
            console(QStringLiteral("Folder to process: ") + path);
            // An empty path would list the working directory; it names no folder.
            const QStringList names =
                path.isEmpty() ? QStringList()
                               : QDir(path).entryList(QStringList{QStringLiteral("*.TMC")},
                                                      QDir::Files, QDir::Name);
            for (const QString& name : names)
                options.inputFiles.append(path + QDir::separator() + name);
            if (!names.isEmpty()) {
                console(QStringLiteral("Found ") + QString::number(options.inputFiles.size()) +
                        QStringLiteral(" files "));
            }
        } else if (argument == QLatin1String("-exsf")) {
            options.startFrameText = value;
            options.startFrame = toNumber(value);
        } else if (argument == QLatin1String("-exef")) {
            options.endFrameText = value;
            options.endFrame = toNumber(value);
        } else if (argument == QLatin1String("-expa")) {
            options.exportDirectory = value;
        } else if (argument == QLatin1String("-exfn")) {
            options.namePrefix = value;
        } else if (argument == QLatin1String("-exfo")) {
            options.exportFormat =
                lowerValue == QLatin1String("tif") ? QStringLiteral("tiff") : lowerValue;
        } else if (argument == QLatin1String("-exmeta")) {
            static const char* const kMetaTypes[] = {"csvpf", "csvfa", "pix4d", "kml"};
            options.metaCsv = false;
            options.metaRaw = false;
            for (int type = 0; type < 4; ++type) {
                if (lowerValue == QLatin1String(kMetaTypes[type])) {
                    options.metaCsv = true;
                    options.metaType = type;
                }
            }
            if (lowerValue == QLatin1String("raw"))
                options.metaRaw = true;
        } else if (argument == QLatin1String("-fs")) {
            options.frameStep = toNumber(value);
        } else if (argument == QLatin1String("-c")) {
            options.autoClose = true;
        } else if (argument == QLatin1String("-r")) {
            options.rotation = toNumber(value);
        } else if (argument == QLatin1String("-l")) {
            console(QStringLiteral("OPTION: -l => Show legend"));
            options.legendVisible = true;
        } else if (argument == QLatin1String("-tl")) {
            options.tLinear = lowerValue;
            if (lowerValue == QLatin1String("none")) {
                options.radiometryOption = 0;
            } else if (lowerValue == QLatin1String("high")) {
                options.radiometryOption = 1;
            } else if (lowerValue == QLatin1String("low")) {
                options.radiometryOption = 2;
            } else {
                options.radiometryOption = 0;
                console(QStringLiteral("Unsupported parameter given to option -l: ") + lowerValue);
                console(QStringLiteral("Set to 'none'"));
                options.tLinear = QStringLiteral("none");
            }
        } else if (argument == QLatin1String("-ltt")) {
            options.lowerTemperature = toTemperature(value);
            options.lowerTemperatureGiven = true;
        } else if (argument == QLatin1String("-utt")) {
            options.upperTemperature = toTemperature(value);
            options.upperTemperatureGiven = true;
        } else if (argument == QLatin1String("-cp")) {
            static const char* const kPalettes[] = {"gray", "iron", "arctic", "rainbow"};
            options.colorMode.reset();
            for (int mode = 0; mode < 4; ++mode) {
                if (lowerValue == QLatin1String(kPalettes[mode]))
                    options.colorMode = mode;
            }
            if (!options.colorMode) {
                options.colorMode = 1;
                console(QStringLiteral("Unsupported parameter given to option: -cp: ") +
                        lowerValue);
                console(QStringLiteral("Setting to 'iron'"));
            }
        } else if (argument == QLatin1String("-ic")) {
            options.inverted = true;
        } else if (argument == QLatin1String("-pix4d")) {
            options.exportFormat = QStringLiteral("tiff");
            options.metaCsv = true;
            options.metaRaw = false;
            options.metaType = 2;
        } else if (argument == QLatin1String("-merge")) {
            for (int k = i + 1; k < argc; ++k) {
                const QString file = QString::fromLocal8Bit(argv[k]);
                if (endsWithMovieSuffix(file))
                    options.mergeFiles.append(file);
            }
            options.mergeRequested = true;
        } else if (argument == QLatin1String("-serial")) {
            if (lowerValue == QLatin1String("nmea"))
                options.serialKind = ksDefines::NMEA;
            else if (lowerValue == QLatin1String("mavlink"))
                options.serialKind = ksDefines::MAVLink;
            else if (lowerValue == QLatin1String("md"))
                options.serialKind = ksDefines::MdDownlink;
        } else if (argument == QLatin1String("-q")) {
            options.quiet = true;
        }
    }

    if (options.lowerTemperatureGiven && options.upperTemperatureGiven) {
        options.thresholdsSet = true;
        options.lowerThreshold = thresholdRawValue(options.lowerTemperature, options.tLinear);
        options.upperThreshold = thresholdRawValue(options.upperTemperature, options.tLinear);
        console(QStringLiteral("Thresholds set to: ") +
                QString::number(double(options.lowerTemperature)) + QStringLiteral(" - ") +
                QString::number(double(options.upperTemperature)));
    }
    return options;
}

bool commandLineAsksForWork(int argc, const char* const* argv) {
    if (argc == 2 && !isOptionName(QString::fromLocal8Bit(argv[1])))
        return true;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]).toLower();
        if (argument == QLatin1String("-i") || argument == QLatin1String("-folder") ||
            argument == QLatin1String("-c") || argument == QLatin1String("-merge") ||
            argument == QLatin1String("-help"))
            return true;
    }
    return false;
}

bool commandLineRunsWithoutWindow(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const QString lower = QString::fromLocal8Bit(argv[i]).toLower();
        if (lower == QLatin1String("-c") || lower == QLatin1String("-merge") ||
            lower == QLatin1String("-help"))
            return true;
    }
    return false;
}

bool commandLineWantsOffscreen(int argc, const char* const* argv, bool platformChosenInEnv) {
    if (platformChosenInEnv)
        return false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("-platform") || argument == QLatin1String("--platform"))
            return false;
    }
    return commandLineRunsWithoutWindow(argc, argv);
}

QStringList commandLineHelpLines() {
    // Section names at column 0, option lines indented by 6, their
    // descriptions by 10 and the meta data types by 14; an empty line closes
    // the NAME and SYNOPSIS blocks and every option's block.
    const QString option = QStringLiteral("      ");
    const QString text = QStringLiteral("          ");
    const QString type = QStringLiteral("              ");
    QStringList lines;
    auto section = [&](const char* name) { lines << QString::fromLatin1(name); };
    auto block = [&](const char* head, std::initializer_list<QString> descriptions) {
        lines << option + QString::fromLatin1(head);
        for (const QString& d : descriptions)
            lines << text + d;
    };
    auto types = [&](std::initializer_list<const char*> entries) {
        for (const char* e : entries)
            lines << type + QString::fromLatin1(e);
    };
    auto gap = [&]() { lines << QString(); };

    gap();
    section("NAME");
    lines << option + QStringLiteral("Kalorix - Application to process Kestrum files");
    gap();
    section("SYNOPSIS");
    lines << option + QStringLiteral("Kalorix [OPTIONS]");
    gap();
    section("OPTIONS");
    block("-c", {"Automatically closes the application after processing all given tasks"});
    gap();
    block("-cp palette", {"Sets the color palette", "Available are: gray, iron, arctic, rainbow"});
    gap();
    block("-folder path", {"Processes all files in given path"});
    gap();
    block("-help", {"Displays this help screen"});
    gap();
    block("-i file", {"Loads the given file after opening the application"});
    gap();
    block("-ic", {"Enables color inversion"});
    gap();
    block("-exef number", {"Sets export ending frame to number"});
    gap();
    block("-exfn name", {"Sets the name prefix for exported files to name"});
    gap();
    block("-exfo <format>", {QStringLiteral("Sets the export format"),
                             QStringLiteral("Available are: ") + helpFormatList()});
    gap();
    block("-expa path", {"Sets the directory to which exports are written to path"});
    gap();
    block("-exsf number", {"Sets export starting frame to number"});
    gap();
    block("-exmeta <type>",
          {"Set the ouput format for meta data. If ommited, no meta data will be written",
           "Available options are: "});
    types({"CSVpf - One CSV per frame", "CSVfa - One CSV for all frames",
           "Pix4D - One CSV for all frames, Pix4D compatible", "KML   - One .kml for all frames",
           "RAW   - Binary raw data"});
    gap();
    block("-fs number", {"Sets the frame step between two exported frames, standard is 1 (2 will "
                         "result in every secondth frame exported)"});
    gap();
    block("-merge <fileList>",
          {"Merges all files from fileList into file specified by -exfn parameter",
           "IMPORTANT: -merge must be the last parameter follwed only by TMC filenames"});
    gap();
    block("-pix4d", {"Exports to TIF files and generates meta data file ready for Pix4D processing",
                     "Overwrites -exfo and -exmeta settings"});
    gap();
    block("-tl format",
          {"T Linear settings", "Available are: none, high, low",
           "high = Tau core is in high gain mode", "low = Tau core is in low gain mode"});
    gap();
    block("-ltt temperature", {"Sets lower temperature threshold for conversion"});
    gap();
    block("-utt temperature", {"Sets upper temperature threshold for conversion"});
    gap();
    block("-l", {"Adds a legend to the exported image"});
    gap();
    block("-r degree", {"Rotates the input frames. Supported degrees are 0, 90, 180, 270."});
    gap();
    block("-serial <type>", {"Sets the type of serial data in order to do right parsing",
                             "Available are: nmea, mavlink, md"});
    gap();
    section("EXAMPLE #1");
    block("Kalorix -i /home/ormund/Desktop/00000001.TMC -r 180 -l -cp iron -expa "
          "/home/ormund/Desktop/ -exfn image -exfo jpg -exsf 42 -exef 42 -c",
          {"* Opens the file '/home/ormund/Desktop/00000001.TMC'",
           "* Rotates the output by 180 degrees", "* Adds a legend to the image",
           "* Sets the color palette to iron",
           "* Set the export directory to '/home/ormund/Desktop/'",
           "* Sets the file prefix to 'image'", "* Sets the export format to 'jpg'",
           "* Sets the start frame to 42", "* Sets the end frame to 42",
           "* Closes the application after export"});
    section("EXAMPLE #2");
    block("Kalorix -exfn result.TMC -merge 1.TMC 2.TMC 3.TMC", {});
    return lines;
}

void printCommandLineHelp() {
    for (const QString& line : commandLineHelpLines())
        console(line);
}

} // namespace kx
