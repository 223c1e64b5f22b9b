// The command line of the main window: the options set the dialogs and the
// actions as a person would, then each input is opened and exported. Runs
// that end by themselves ("-c", "-merge", "-help") never reach a window: main
// hands them to the command-line runner before any widget exists.
#include "app/ui/Kalorix.h"

#include "app/CommandLine.h"
#include "app/CommandLineRun.h"
#include "app/ui/PlaybackControl.h"
#include "app/ui/RunReportHook.h"
#include "base/Radiometry.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/ui/VideoExportSettings.h"
#include "ui_Kalorix.h"

void Kalorix::processCommandLineParameters(int argc, char** argv) {
    const kx::CommandLineOptions options = kx::parseCommandLine(argc, argv);
    kx::Settings settings = currentSettings();
    kx::applyCommandLine(options, settings);
    // The options act on the dialogs in the order of the option table.
    if (options.legendVisible)
        rawConvertConfig->setLegendVisibility(settings.conversion.legendVisible);
    if (options.inverted)
        rawConvertConfig->setInverted(settings.conversion.inverted);
    if (options.metaCsv)
        videoExportSettings->setMetaCsvSelection(settings.exportSettings.metaCsv);
    if (options.metaRaw)
        videoExportSettings->setMetaRAWSelection(settings.exportSettings.metaRaw);
    if (options.metaType)
        videoExportSettings->setMetaTypeSelection(settings.exportSettings.metaType);
    if (options.startFrameText) {
        playback->setRangeTexts(*options.startFrameText, playback->endText());
        playback->setFrame(options.startFrame);
    }
    if (options.endFrameText)
        playback->setRangeTexts(playback->startText(), *options.endFrameText);
    if (options.rotation)
        rawConvertConfig->setRotation(settings.conversion.rotation);
    if (options.radiometryOption) {
        rawConvertConfig->setRadiometryOption(settings.conversion.radiometryOption);
        tLinearResolution = settings.conversion.kelvinPerCount;
        repaintDisplayImage();
    }
    if (options.colorMode)
        rawConvertConfig->setColorMode(settings.conversion.colorMode);
    if (options.serialKind) {
        const ksDefines::serialContent kind = settings.telemetry.serialKind;
        ui->actionParse_NMEA_Data->setChecked(kind == ksDefines::NMEA);
        ui->actionParse_MAVLink_data->setChecked(kind == ksDefines::MAVLink);
        ui->actionParse_md_downlink_data->setChecked(kind == ksDefines::MdDownlink);
        showParseChoice();
    }
    if (options.thresholdsSet) {
        rawConvertConfig->setLowerTemperatureThreshold(options.lowerThreshold);
        rawConvertConfig->setUpperTemperatureThreshold(options.upperThreshold);
        rawConvertConfig->setAutoGainEnabled(false);
    }

    const kx::InputOpener open = [this](const QString& fileName, int& frames) {
        if (!openInputFile(fileName))
            return false;
        frames = exportFrameCount();
        return true;
    };
    // The export driver counts its own failures; the inputs that did not open
    // are counted here.
    const kx::InputExporter exportInput = [this](const QString&, int,
                                                 const kx::ExportSettings& request) {
        executeFrameExport(request.path, request.prefix, request.format, request.start, request.end,
                           request.step);
        return 0;
    };
    exportFailures += kx::processCommandLineInputs(options, currentSettings(), open, exportInput);
    // From here on a person works with the window: failures become boxes.
    if (kx::commandLineAsksForWork(argc, argv))
        kx::installReportHookForRun(false);
}
