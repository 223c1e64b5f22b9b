// The command line of the main window: the options set the dialogs and the
// actions as a person would, then each input is opened and exported.
#include "app/ui/Kalorix.h"

#include "app/CommandLine.h"
#include "app/CommandLineReport.h"
#include "app/KalorixController.h"
#include "app/ui/RunReportHook.h"
#include "base/Radiometry.h"
#include "base/Report.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/ui/VideoExportSettings.h"
#include "ui_Kalorix.h"

#include <cstdio>

void Kalorix::finishCommandLine(int exitCode) {
    std::fflush(stdout);
    std::fflush(stderr);
    exitCodeRequested = exitCode;
}

void Kalorix::processCommandLineParameters(int argc, char** argv) {
    const kx::CommandLineOptions options = kx::parseCommandLine(argc, argv);
    if (options.helpRequested) {
        controller->printCommandLineHelp();
        finishCommandLine(0);
        return;
    }
    if (options.mergeRequested) {
        kx::consoleErr(QStringLiteral("-merge: merging files is not available in this version; "
                                      "nothing was done"));
        finishCommandLine(1);
        return;
    }

    // The options act on the dialogs in the order of the option table.
    if (options.legendVisible)
        rawConvertConfig->setLegendVisibility(*options.legendVisible);
    if (options.inverted)
        rawConvertConfig->setInverted(*options.inverted);
    if (options.metaCsv)
        videoExportSettings->setMetaCsvSelection(*options.metaCsv);
    if (options.metaRaw)
        videoExportSettings->setMetaRAWSelection(*options.metaRaw);
    if (options.metaType)
        videoExportSettings->setMetaTypeSelection(*options.metaType);
    if (options.startFrameText) {
        ui->leStartFrame->setText(*options.startFrameText);
        ui->slMovieFiles->setValue(options.startFrame);
    }
    if (options.endFrameText)
        ui->leEndFrame->setText(*options.endFrameText);
    if (options.rotation)
        rawConvertConfig->setRotation(*options.rotation);
    if (options.radiometryOption) {
        rawConvertConfig->setRadiometryOption(*options.radiometryOption);
        tLinearResolution = kx::radiometry::kelvinPerCount(*options.radiometryOption);
        repaintDisplayImage();
    }
    if (options.colorMode)
        rawConvertConfig->setColorMode(*options.colorMode);
    if (options.serialKind) {
        ui->actionParse_NMEA_Data->setChecked(*options.serialKind == ksDefines::NMEA);
        ui->actionParse_MAVLink_data->setChecked(*options.serialKind == ksDefines::MAVLink);
        ui->actionParse_md_downlink_data->setChecked(*options.serialKind == ksDefines::MdDownlink);
        reloadCurrentImage();
        setLables();
    }
    if (options.thresholdsSet) {
        rawConvertConfig->setLowerTemperatureThreshold(options.lowerThreshold);
        rawConvertConfig->setUpperTemperatureThreshold(options.upperThreshold);
        rawConvertConfig->setAutoGainEnabled(false);
    }

    // An export needs all three; with only some of them the driver would
    // silently do nothing, and a script would believe it had its pictures.
    const bool exportNamed = !options.exportDirectory.isEmpty() || !options.namePrefix.isEmpty() ||
                             !options.exportFormat.isEmpty();
    const bool exportComplete = !options.exportDirectory.isEmpty() &&
                                !options.namePrefix.isEmpty() && !options.exportFormat.isEmpty();
    if (exportNamed && !exportComplete && !options.inputFiles.isEmpty()) {
        ++exportFailures;
        kx::reportError(QStringLiteral("An export needs a directory (-expa), a name (-exfn) and a "
                                       "format (-exfo); nothing was exported"));
    }

    exportProgressLines = options.autoClose && !options.quiet;
    for (int position = 0; position < options.inputFiles.size(); ++position) {
        const QString& file = options.inputFiles.at(position);
        bool opened = false;
        bool loaderReported = false;
        {
            const kx::ReportWatch watch;
            opened = openInputFile(file);
            loaderReported = watch.reported();
        }
        if (!opened) {
            // Exporting now would write the previously opened recording under
            // this entry's number. Some refusals (an unknown extension, a
            // folder) are silent in the loader; a command line must say why.
            ++exportFailures;
            if (!loaderReported) {
                kx::reportError(QStringLiteral("Error while loading file \"") + file +
                                QStringLiteral("\""));
            }
            continue;
        }
        executeExport(options.exportDirectory, options.namePrefix, options.exportFormat,
                      uint(options.startFrame), uint(options.endFrame), uint(position),
                      uint(options.frameStep));
    }
    exportProgressLines = false;

    if (options.autoClose) {
        const bool failed = exportFailures > 0 || kx::reportedFailureCount() > 0;
        finishCommandLine(failed ? 1 : 0);
        return;
    }
    // From here on a person works with the window: failures become boxes.
    if (kx::commandLineAsksForWork(argc, argv))
        kx::installReportHookForRun(false);
}
