#pragma once

#include "base/ksDefines.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Reading the command line is kept apart from applying it: parseCommandLine
// reads every argument in order, prints the console lines the options owe
// and returns what was asked for; the main window then sets its dialogs from
// the record, opens the inputs and exports them.
namespace kx {

struct CommandLineOptions {
    QStringList inputFiles;  // "-i", "-folder", a single bare argument
    QString exportDirectory; // "-expa"
    QString namePrefix;      // "-exfn" (also the output of "-merge")
    QString exportFormat;    // "-exfo", "-pix4d"
    int32_t startFrame = 0;  // "-exsf"
    int32_t endFrame = 0;    // "-exef"
    int32_t frameStep = 1;   // "-fs"
    float lowerTemperature = 20.0f;
    bool lowerTemperatureGiven = false;
    float upperTemperature = 40.0f;
    bool upperTemperatureGiven = false;
    QString tLinear; // lower-cased "-tl" value; "none" after an unsupported one
    bool autoClose = false;
    bool mergeRequested = false;
    QStringList mergeFiles;
    bool helpRequested = false; // "-help": parsing stopped there
    bool quiet = false;         // "-q": no progress lines in "-c" runs

    // The texts given to "-exsf"/"-exef", for the frame fields of the window.
    std::optional<QString> startFrameText;
    std::optional<QString> endFrameText;

    // State of the dialogs and actions that the options set; an empty value
    // leaves what the dialog holds. Later options override earlier ones ("-i"
    // switches the legend off, a later "-l" on again).
    std::optional<bool> legendVisible;
    std::optional<bool> inverted;
    std::optional<bool> metaCsv;
    std::optional<bool> metaRaw;
    std::optional<int> metaType;
    std::optional<int> rotation;
    std::optional<int> radiometryOption; // 0 none, 1 high, 2 low
    std::optional<int> colorMode;        // 0 gray, 1 iron, 2 arctic, 3 rainbow
    std::optional<ksDefines::serialContent> serialKind;

    // Raw-value thresholds, set when both "-ltt" and "-utt" were given.
    bool thresholdsSet = false;
    int32_t lowerThreshold = 0;
    int32_t upperThreshold = 0;
};

// Reads argv[1 .. argc-1]. Console lines of the options are written through
// kx::console as the options are read; "Thresholds set to: " follows after the
// last argument. Stops at "-help".
CommandLineOptions parseCommandLine(int argc, const char* const* argv);

// The raw value for a temperature in degrees Celsius under a T-linear text:
// "high" 0.04 K per count, "low" 0.4 K, anything else the number itself. The
// sum with 273.15 is formed in double, narrowed to float and divided in float,
// then truncated toward zero; the result is held to the 14-bit raw range.
int32_t thresholdRawValue(float temperatureCelsius, const QString& tLinear);

// True when the arguments ask for work rather than a window: an input file,
// "-c", "-merge" or "-help".
bool commandLineAsksForWork(int argc, const char* const* argv);
// True when the run ends by itself ("-c", "-merge" or "-help"): it needs no
// window and constructs no widget.
bool commandLineRunsWithoutWindow(int argc, const char* const* argv);
// True when the run should not need a display: "-c", "-merge" or "-help" is
// given and the user chose no platform ("-platform" or QT_QPA_PLATFORM).
bool commandLineWantsOffscreen(int argc, const char* const* argv, bool platformChosenInEnv);

// The help text, line by line.
QStringList commandLineHelpLines();
// Writes the help text to standard output, one line each.
void printCommandLineHelp();

} // namespace kx
