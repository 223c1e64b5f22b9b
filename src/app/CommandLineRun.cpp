#include "app/CommandLineRun.h"

#include "app/CommandLineReport.h"
#include "app/KalorixController.h"
#include "base/FileKind.h"
#include "base/Report.h"
#include "export/ExportJob.h"
#include "export/RecordingSource.h"
#include "recording/DataConverter.h"
#include "recording/FileManipulation.h"

#include <cstdio>

namespace kx {

Settings commandLineStartSettings() {
    Settings settings;
    settings.conversion.legendVisible = false;
    settings.conversion.kelvinPerCount = radiometry::kHighGainKelvinPerCount;
    settings.conversion.lowerRawBound = 5400;
    settings.conversion.upperRawBound = 9000;
    settings.conversion.biColorLow = 6500;
    settings.conversion.biColorHigh = 7500;
    settings.telemetry.serialKind = ksDefines::NMEA;
    return settings;
}

void applyCommandLine(const CommandLineOptions& options, Settings& settings) {
    ConversionSettings& conversion = settings.conversion;
    ExportSettings& exportSettings = settings.exportSettings;
    if (options.legendVisible)
        conversion.legendVisible = *options.legendVisible;
    if (options.inverted)
        conversion.inverted = *options.inverted;
    if (options.metaCsv)
        exportSettings.metaCsv = *options.metaCsv;
    if (options.metaRaw)
        exportSettings.metaRaw = *options.metaRaw;
    if (options.metaType)
        exportSettings.metaType = *options.metaType;
    if (options.rotation) {
        switch (*options.rotation) {
        case 0:
        case 90:
        case 180:
            conversion.rotation = *options.rotation;
            break;
        case 270:
        case -90:
            conversion.rotation = -90;
            break;
        default:
            console(QStringLiteral("Not supported angle given, setting to 0"));
            conversion.rotation = 0;
            break;
        }
    }
    if (options.radiometryOption)
        conversion.setRadiometryOption(*options.radiometryOption);
    if (options.colorMode)
        conversion.colorMode = *options.colorMode;
    if (options.serialKind)
        settings.telemetry.serialKind = *options.serialKind;
    if (options.thresholdsSet) {
        conversion.lowerRawBound = uint32_t(options.lowerThreshold);
        conversion.upperRawBound = uint32_t(options.upperThreshold);
        conversion.autoGainEnabled = false;
    }
}

int processCommandLineInputs(const CommandLineOptions& options, const Settings& settings,
                             const InputOpener& open, const InputExporter& exportInput) {
    int failures = 0;
    // An export needs all three; with only some of them nothing would be
    // written, and a script would believe it had its pictures.
    const bool exportNamed = !options.exportDirectory.isEmpty() || !options.namePrefix.isEmpty() ||
                             !options.exportFormat.isEmpty();
    const bool exportComplete = !options.exportDirectory.isEmpty() &&
                                !options.namePrefix.isEmpty() && !options.exportFormat.isEmpty();
    if (exportNamed && !exportComplete && !options.inputFiles.isEmpty()) {
        ++failures;
        reportError(QStringLiteral("An export needs a directory (-expa), a name (-exfn) and a "
                                   "format (-exfo); nothing was exported"));
    }

    for (int position = 0; position < options.inputFiles.size(); ++position) {
        const QString& file = options.inputFiles.at(position);
        bool opened = false;
        bool loaderReported = false;
        int frames = 0;
        {
            const ReportWatch watch;
            opened = open(file, frames);
            loaderReported = watch.reported();
        }
        if (!opened) {
            // Exporting now would write the previously opened recording under
            // this entry's number. Some refusals (an unknown extension, a
            // folder) are silent in the loader; a command line must say why.
            ++failures;
            if (!loaderReported)
                reportError(QStringLiteral("Error while loading file \"") + file +
                            QStringLiteral("\""));
            continue;
        }
        if (!exportComplete)
            continue;
        ExportSettings request = settings.exportSettings;
        request.path = options.exportDirectory;
        request.prefix = prefixWithFileCounter(options.namePrefix, unsigned(position));
        request.format = options.exportFormat;
        request.start = uint32_t(options.startFrame);
        request.end = uint32_t(options.endFrame);
        if (request.start == 0 && request.end == 0) {
            request.start = 1;
            request.end = uint32_t(qMax(0, frames));
        }
        request.step = options.frameStep == 0 ? 1u : uint32_t(options.frameStep);
        failures += exportInput(file, frames, request);
    }
    return failures;
}

int runCommandLine(const CommandLineOptions& options) {
    const auto finish = [](int code) {
        std::fflush(stdout);
        std::fflush(stderr);
        return code;
    };
    if (options.helpRequested) {
        printCommandLineHelp();
        return finish(0);
    }

    Settings settings = commandLineStartSettings();
    applyCommandLine(options, settings);
    DataConverter converter;
    KalorixController controller(&converter);
    const ksDefines::serialContent serial = settings.telemetry.serialKind;

    const InputOpener open = [&](const QString& fileName, int& frames) {
        ThermalImageConversionSet set = settings.conversion.conversionSet();
        set.percentageChange = float(settings.conversion.percentageChange / 100.0);
        QImage thermal(1, 1, QImage::Format_RGB888);
        QImage daylight(1, 1, QImage::Format_RGB888);
        if (!controller.loadRawDataFile(fileName, 0, serial, set,
                                        settings.telemetry.checkFrameCounter, thermal, daylight))
            return false;
        frames = isSingleFrameKind(fileKindOf(fileName)) ? 1 : converter.getNumberOfVideoFrames();
        return true;
    };
    const InputExporter exportInput = [&](const QString& fileName, int frames,
                                          const ExportSettings& request) {
        ExportContext context;
        context.exportSettings = request;
        context.conversion = settings.conversion;
        context.planck = settings.planck;
        context.extension = request.format;
        context.names = ExportNames(request.path, request.prefix);
        RecordingSource source(converter, fileName, serial, frames);
        ExportJob::Options jobOptions;
        jobOptions.progressLines = options.autoClose && !options.quiet;
        // A tuning knob for servers that run several exports side by side,
        // and for measuring the pool against one thread.
        jobOptions.threads = qEnvironmentVariableIntValue("KALORIX_EXPORT_THREADS");
        return ExportJob(source, context, jobOptions).run().failures;
    };
    int failures = processCommandLineInputs(options, settings, open, exportInput);
    // The merge comes after the inputs, as in the window. Its output is the
    // "-exfn" name as given.
    if (options.mergeRequested && !FileManipulation::merge(options.mergeFiles, options.namePrefix))
        ++failures;
    return finish(failures > 0 || reportedFailureCount() > 0 ? 1 : 0);
}

} // namespace kx
