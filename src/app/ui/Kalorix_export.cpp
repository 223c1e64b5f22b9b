// Picture files and the frame export driver of the main window.
#include "app/ui/Kalorix.h"

#include "base/Report.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/ExportPlan.h"
#include "export/HotspotMarker.h"
#include "export/PngWriter.h"
#include "export/ui/VideoExportSettings.h"
#include "recording/DataConverter.h"
#include "ui_Kalorix.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QTransform>

namespace {

const char* const kUnsupportedFormatText =
    "Unsupported image format selected. Available are .png, .jpg, .jpeg";

bool isSingleFrameFile(const QString& fileName) {
    const QString suffix = fileName.right(3).toLower();
    return suffix == QLatin1String("thr") || suffix == QLatin1String("thc");
}

} // namespace

QString Kalorix::generate4DigitNumberString(int number) {
    return kx::generate4DigitNumberString(number);
}

bool Kalorix::saveImageToFile(const QString& fileName, const QString& format, const QImage* image) {
    if (fileName.isEmpty() || image == nullptr)
        return false;
    // Fast transformation keeps every pixel a copy of a frame pixel; a quarter
    // turn swaps width and height exactly.
    const int rotation = rawConvertConfig->getRotation();
    QImage picture =
        rotation == 0 ? *image
                      : image->transformed(QTransform().rotate(rotation), Qt::FastTransformation);
    // The legend goes on after the turn so that it stays upright beside the
    // turned picture.
    if (rawConvertConfig->getLegendVisibility())
        addLegend(picture);

    const QString key = format.toLower();
    if (key == QLatin1String("csv"))
        return false;
    if (!kx::isEncodablePictureFormat(key)) {
        kx::reportError(QString::fromLatin1(kUnsupportedFormatText));
        return false;
    }
    // PNG at quality 95 is stored without compression; the stored writer
    // makes the same file class without the row-filter search.
    const bool written = key == QLatin1String("png") && kx::canStorePng(picture)
                             ? kx::writeStoredPng(picture, fileName)
                             : picture.save(fileName, format.toLatin1().constData(), 95);
    if (written)
        return true;
    kx::reportError(QStringLiteral("Error while writing image \"") + fileName +
                    QStringLiteral("\" with format ") + format);
    return false;
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
    if (isSingleFrameFile(currentFileName))
        return imageLoadOk ? 1 : 0;
    return dataConverter->getNumberOfVideoFrames();
}

bool Kalorix::convertExportFrame(const QString& fileName, uint frame,
                                 ksDefines::serialContent serial) {
    // The viewer's set has smoothing off: every exported frame's automatic
    // window is independent of the frame exported before it.
    ThermalImageConversionSet set = conversionSetFromConfig();
    bool ok = false;
    const QString suffix = fileName.right(3).toLower();
    if (suffix == QLatin1String("thr"))
        dataConverter->getImageFromRAW(fileName, exportImage, serial, &ok, set);
    else if (suffix == QLatin1String("thc"))
        dataConverter->getImageFromCompressedRAW(fileName, exportImage, &ok, serial, set);
    else
        dataConverter->getThermalImageFromVideoRawList(int(frame), exportImage, &ok, serial, set);
    exportRefresh = ok;
    return ok;
}

QImage Kalorix::markedExportImage() {
    if (!ui->actionMark_Hotspot->isChecked())
        return exportImage;
    // Drawn straight onto a copy of the frame: the pixels equal those of the
    // display pixmap's round trip, without two conversions per frame.
    QImage marked = exportImage.copy();
    kx::paintHotspotMarker(marked, markerCentreX(), markerCentreY());
    return marked;
}

bool Kalorix::exportCanStart(const QString& path, const QString& extension) {
    const kx::ExportKind kind = kx::exportKindForKey(extension);
    if (kind == kx::ExportKind::Picture && !kx::isEncodablePictureFormat(extension)) {
        // Checked once here rather than once per frame in the picture writer.
        kx::reportError(QString::fromLatin1(kUnsupportedFormatText));
        return false;
    }
    if (kind != kx::ExportKind::Picture) {
        kx::reportError(QStringLiteral("Export format \"") + extension +
                        QStringLiteral("\" is not available in this version; nothing was "
                                       "exported"));
        return false;
    }
    if (videoExportSettings->getMetaCsvSelection() || videoExportSettings->getMetaRAWSelection()) {
        const QString type = videoExportSettings->getMetaRAWSelection()
                                 ? QStringLiteral("RAW")
                                 : videoExportSettings->getMetaTypeSelection();
        kx::reportError(QStringLiteral("Meta data export (") + type +
                        QStringLiteral(") is not available in this version; nothing was "
                                       "exported"));
        return false;
    }
    const QFileInfo target(path);
    if (!target.isDir() || !target.isWritable()) {
        kx::reportError(QStringLiteral("Target directory \"") + path +
                        QStringLiteral("\" does not exist or is not writable"));
        return false;
    }
    return true;
}

void Kalorix::executeFrameExport(QString path, QString prefix, QString extension, uint start,
                                 uint end, uint step) {
    const QString rangeWarning = kx::checkExportRange(start, end, exportFrameCount());
    if (!rangeWarning.isEmpty()) {
        ++exportFailures;
        kx::report(kx::ReportKind::Warning, QString(), rangeWarning);
        return;
    }
    if (!exportCanStart(path, extension)) {
        ++exportFailures;
        return;
    }

    exportImage = QImage(1, 1, QImage::Format_RGB888);
    exportRefresh = false;
    const std::vector<uint32_t> frames = kx::exportFrameSequence(start, end, step);
    ui->progressBar->setValue(0);
    ui->progressBar->setMaximum(kx::exportProgressMaximum(start, end, step));
    ui->lblFilename->setVisible(false);
    ui->progressBar->setVisible(true);
    kmlStarted = false;

    // The file is fixed for the whole range: the events processed after each
    // frame must not switch a single-frame export to another file.
    const QString sourceFile = currentFileName;
    const kx::ExportNames names(path, prefix);
    // The meta data writer appends to these; earlier runs must not leak in.
    QFile::remove(names.kmlFile());
    QFile::remove(names.allFramesMetaCsv());

    // Events are processed after every frame; a selection announced by the
    // file browser then (new files appearing in the listed folder) must not
    // open another recording under the running export.
    const QScopedValueRollback<bool> running(exportRunning, true);
    int failedFrames = 0;
    const int total = int(frames.size());
    for (int i = 0; i < total; ++i) {
        const uint frame = frames[size_t(i)];
        const ksDefines::serialContent serial = currentSerialContent();
        if (!convertExportFrame(sourceFile, frame, serial)) {
            // The working image still holds the previous frame: writing it
            // under this frame's name would be wrong data.
            ++failedFrames;
        } else {
            const QImage picture = markedExportImage();
            const QString fileName = names.frameName(int(frame)) + QLatin1Char('.') + extension;
            if (saveImageToFile(fileName, extension, &picture)) {
                if (exportProgressLines) {
                    kx::consoleErr(QStringLiteral("frame %1 of %2: ").arg(i + 1).arg(total) +
                                   fileName);
                }
            } else {
                ++exportFailures;
            }
        }
        ui->progressBar->setValue(i);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    ui->progressBar->setVisible(false);
    ui->lblFilename->setVisible(true);
    if (failedFrames > 0) {
        exportFailures += failedFrames;
        kx::reportError(QStringLiteral("%1 of %2 frames could not be converted; no file was "
                                       "written for them")
                            .arg(failedFrames)
                            .arg(total));
    }
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

void Kalorix::on_actionExport_frames_triggered() {
    videoExportSettings->setFrames(ui->leStartFrame->text().toInt(),
                                   ui->leEndFrame->text().toInt());
    videoExportSettings->show();
    videoExportSettings->adjustSize();
}

void Kalorix::on_btnQuickExport_clicked() {
    const QString path = videoExportSettings->getPath();
    if (path.isEmpty()) {
        kx::report(kx::ReportKind::Information, QStringLiteral("No folder selected"),
                   QStringLiteral("Please open export dialog once and select a folder to store "
                                  "the frames into"));
        return;
    }
    // Lower case, so that the suffix of the written file is the one that
    // the JPEG tagging step opens (frame name + ".jpg").
    const uint frame = uint(qMax(0, ui->slMovieFiles->value()));
    executeFrameExport(path, videoExportSettings->getFileNamePrefix(),
                       videoExportSettings->getExtension().toLower(), frame, frame,
                       uint(qMax(1, videoExportSettings->skipFrames())));
}
