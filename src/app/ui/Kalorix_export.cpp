// The window's side of exports: the dialog, "Quick export" and the progress
// bar around the export job that the command line runs as well.
#include "app/ui/Kalorix.h"
#include "app/ui/PlaybackControl.h"

#include "base/FileKind.h"
#include "base/Report.h"
#include "conversion/FrameRenderer.h"
#include "conversion/ui/RadiometricConfig.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/DaylightPicture.h"
#include "export/ExportJob.h"
#include "export/ExportPlan.h"
#include "export/PictureWriter.h"
#include "export/RecordingSource.h"
#include "export/TiffExporter.h"
#include "export/ui/VideoExportSettings.h"
#include "recording/DataConverter.h"
#include "telemetry/ui/DateTimeSettings.h"
#include "ui_Kalorix.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QStatusBar>

QString Kalorix::generate4DigitNumberString(int number) {
    return kx::generate4DigitNumberString(number);
}

kx::Settings Kalorix::currentSettings() const {
    kx::Settings settings;
    kx::ConversionSettings& conversion = settings.conversion;
    conversion.colorMode = rawConvertConfig->getColorMode();
    conversion.inverted = rawConvertConfig->getInverted();
    conversion.autoGainEnabled = rawConvertConfig->getAutoGainEnabled();
    conversion.lowerRawBound = uint32_t(rawConvertConfig->getLowerBound());
    conversion.upperRawBound = uint32_t(rawConvertConfig->getUpperBound());
    conversion.percentageChange = rawConvertConfig->getPercentageChange();
    conversion.biColorEnabled = rawConvertConfig->getBiColorModeEnabled();
    conversion.biColorLow = uint32_t(rawConvertConfig->getBiLow());
    conversion.biColorHigh = uint32_t(rawConvertConfig->getBiHigh());
    conversion.rotation = rawConvertConfig->getRotation();
    conversion.legendVisible = rawConvertConfig->getLegendVisibility();
    conversion.radiometryOption = rawConvertConfig->getRadiometryOption();
    conversion.kelvinPerCount = tLinearResolution;
    settings.planck = kx::radiometry::PlanckConstants{planckB, planckO, planckR1, planckR2};
    settings.telemetry.serialKind = currentSerialContent();
    settings.telemetry.checkFrameCounter = ui->actionCheck_frame_counter_on_open->isChecked();
    settings.telemetry.hourOffset = dateTimeSettings->getHourOffset();
    kx::ExportSettings& exportSettings = settings.exportSettings;
    exportSettings.path = videoExportSettings->getPath();
    exportSettings.prefix = videoExportSettings->getFileNamePrefix();
    exportSettings.format = videoExportSettings->getExtension();
    exportSettings.step = uint32_t(qMax(1, videoExportSettings->skipFrames()));
    exportSettings.metaCsv = videoExportSettings->getMetaCsvSelection();
    exportSettings.metaRaw = videoExportSettings->getMetaRAWSelection();
    // By its text: the list loses its first entry while AVI is chosen.
    exportSettings.metaType =
        qMax(0, kx::metaTypeNames().indexOf(videoExportSettings->getMetaTypeSelection()));
    exportSettings.csvDelimiter = videoExportSettings->getCSVDelimiter();
    exportSettings.markHotspot = ui->actionMark_Hotspot->isChecked();
    return settings;
}

bool Kalorix::saveImageToFile(const QString& fileName, const QString& format, const QImage* image) {
    if (fileName.isEmpty() || image == nullptr)
        return false;
    const QImage picture =
        frameRenderer.finish(*image, shownConversion(), shownWindow(), std::nullopt);
    return kx::writePictureFile(fileName, format, picture);
}

void Kalorix::exportDaylightImage(const QString& base, int frame, bool refresh,
                                  const kx::DecodedFrame& record) {
    Q_UNUSED(refresh);
    kx::writeDaylightPicture(*dataConverter, base, frame, currentSettings().conversion.rotation,
                             record);
}

void Kalorix::exportToTiff() {
    // A failed write is said, not ignored: the user chose this file.
    QString error;
    if (!kx::TiffExporter::writeToFile(QStringLiteral("Test.tif"),
                                       dataConverter->currentDecodedFrame(1), &error))
        kx::reportError(error);
}

void Kalorix::enableProgressBar() {
    ui->lblFilename->setVisible(false);
    ui->progressBar->setVisible(true);
}

void Kalorix::disableProgressBar() {
    ui->progressBar->setVisible(false);
    ui->lblFilename->setVisible(true);
}

int Kalorix::exportFrameCount() const {
    // An ordinary picture on show has no frames: exporting would convert the
    // frames of the recording opened before it under the picture's name.
    if (currentFileType != ksDefines::RawRecording)
        return 0;
    // A single-frame file has no movie index; it is one frame, so that
    // "-exsf 0 -exef 0" and the range checks treat it like a movie of one.
    if (kx::isSingleFrameKind(kx::fileKindOf(currentFileName)))
        return imageLoadOk ? 1 : 0;
    return dataConverter->getNumberOfVideoFrames();
}

void Kalorix::executeFrameExport(QString path, QString prefix, QString extension, uint start,
                                 uint end, uint step) {
    const kx::Settings settings = currentSettings();
    kx::ExportContext context;
    context.exportSettings = settings.exportSettings;
    context.exportSettings.path = path;
    context.exportSettings.prefix = prefix;
    context.exportSettings.format = extension;
    context.exportSettings.start = start;
    context.exportSettings.end = end;
    context.exportSettings.step = step;
    context.conversion = settings.conversion;
    context.planck = settings.planck;
    context.extension = extension;
    context.names = kx::ExportNames(path, prefix);

    // The file is fixed for the whole range: the events processed after each
    // frame must not switch a single-frame export to another file, nor may a
    // selection announced by the file browser meanwhile open another
    // recording under the running export.
    kx::RecordingSource source(*dataConverter, currentFileName, settings.telemetry.serialKind,
                               exportFrameCount());
    const QScopedValueRollback<bool> running(exportRunning, true);
    kx::ExportJob job(source, context, kx::ExportJob::Options());
    bool shown = false;
    const kx::ExportJob::Outcome outcome = job.run([this, &shown](int done, int maximum) {
        if (!shown) {
            ui->progressBar->setMaximum(maximum);
            enableProgressBar();
            shown = true;
        }
        ui->progressBar->setValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    if (shown)
        disableProgressBar();
    exportFailures += outcome.failures;
    lastExportWritten = outcome.started ? outcome.written : 0;
    // A refused export has said why already; a finished one says what it did.
    if (!outcome.started)
        return;
    QString text =
        QStringLiteral("%1 %2 written to %3")
            .arg(outcome.written)
            .arg(outcome.written == 1 ? QStringLiteral("frame") : QStringLiteral("frames"))
            .arg(QDir::toNativeSeparators(path));
    if (outcome.failures > 0)
        text += QStringLiteral(", %1 failed").arg(outcome.failures);
    statusBar()->showMessage(text);
}

void Kalorix::executeExport(QString path, QString prefix, QString extension, uint start, uint end,
                            uint fileCounter, uint step) {
    if (path.isEmpty() || prefix.isEmpty() || extension.isEmpty())
        return;
    if (start == 0 && end == 0) {
        start = 1;
        end = uint(qMax(0, exportFrameCount()));
    }
    executeFrameExport(path, kx::prefixWithFileCounter(prefix, fileCounter), extension, start, end,
                       step == 0 ? 1 : step);
}

void Kalorix::showExportDialog() {
    videoExportSettings->setFrames(playback->startText().toInt(), playback->endText().toInt());
    videoExportSettings->show();
    videoExportSettings->adjustSize();
}

void Kalorix::quickExport() {
    const QString path = videoExportSettings->getPath();
    if (path.isEmpty()) {
        kx::report(kx::ReportKind::Information, QStringLiteral("No folder selected"),
                   QStringLiteral("Please open export dialog once and select a folder to store "
                                  "the frames into"));
        return;
    }
    // Lower case, so that the suffix of the written file is the one that
    // the JPEG tagging step opens (frame name + ".jpg"). A single-frame file
    // is its own frame 1, whatever the slider still shows of a movie.
    const uint frame = kx::isSingleFrameKind(kx::fileKindOf(currentFileName))
                           ? 1u
                           : uint(qMax(0, playback->frame()));
    const QString prefix = videoExportSettings->getFileNamePrefix();
    const QString extension = videoExportSettings->getExtension().toLower();
    executeFrameExport(path, prefix, extension, frame, frame,
                       uint(qMax(1, videoExportSettings->skipFrames())));
    // The one file the user now looks for is named (when it is where the
    // frame's name says).
    if (lastExportWritten != 1)
        return;
    const QString file = kx::ExportNames(path, prefix).fileOfFrame(int(frame), extension);
    if (QFileInfo::exists(file))
        statusBar()->showMessage(QStringLiteral("Quick export: ") + QDir::toNativeSeparators(file));
}
