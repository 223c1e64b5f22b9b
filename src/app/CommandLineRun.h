#pragma once

#include "app/CommandLine.h"
#include "app/Settings.h"

#include <functional>

namespace kx {

// What a run starts from before its options: the window's own start values,
// before any stored settings are loaded, so that a run without a window
// converts exactly as the window's command line does (legend off, counts
// labelled at the high gain step, NMEA parsing on, manual raw window 5400 to 9000, bi-colour window
// 6500 to 7500).
Settings commandLineStartSettings();

// Applies the options to the settings as the dialogs would take them; an
// unsupported rotation is reported on the console and taken as 0.
void applyCommandLine(const CommandLineOptions& options, Settings& settings);

// Opens an input; on success frames says how many frames an export may cover.
using InputOpener = std::function<bool(const QString& fileName, int& frames)>;
// Exports the opened input with the given request; returns the failures.
using InputExporter =
    std::function<int(const QString& fileName, int frames, const ExportSettings& request)>;

// Opens and exports every input of the options in turn, as the window and a
// "-c" run both do: the file counter is the input's position, start 0 and end
// 0 mean every frame, an input that does not open is not exported (and is
// reported when its loader said nothing). Returns the failures.
int processCommandLineInputs(const CommandLineOptions& options, const Settings& settings,
                             const InputOpener& open, const InputExporter& exportInput);

// A run that needs no window ("-help", "-merge" or "-c"): builds no widget and
// returns the exit code.
int runCommandLine(const CommandLineOptions& options);

} // namespace kx
