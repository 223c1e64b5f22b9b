#include "app/KalorixController.h"

#include "app/CommandLine.h"
#include "base/FileKind.h"
#include "base/Report.h"
#include "recording/DataConverter.h"
#include "recording/MovieIndex.h"
#include "recording/RecordingFault.h"

#include <QFileInfo>

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The failure line and message stay as they were; the reason the file is not
// a recording follows on a second line and under the message.
void reportUnreadable(const QString& consoleLine, const QString& message, const QString& fileName) {
    const QString reason = recordingfault::reasonForFile(fileName);
    kx::console(consoleLine);
    kx::console(reason);
    kx::reportErrorDetailed(message, reason);
}

} // namespace

KalorixController::KalorixController(DataConverter* converter, QObject* parent)
    : QObject(parent)
    , converter(converter) {}

bool KalorixController::loadRawDataFile(const QString& fileName, int lastImageWidth,
                                        ksDefines::serialContent serial,
                                        ThermalImageConversionSet& set, bool checkFrameCounter,
                                        QImage& thermalImage, QImage& daylightImage) {
    const kx::FileKind kind = kx::fileKindOf(fileName);
    if (kind == kx::FileKind::SingleRaw || kind == kx::FileKind::SingleCompressed)
        return loadSingleFrame(fileName, kind == kx::FileKind::SingleCompressed, lastImageWidth,
                               serial, set, thermalImage);
    if (kind == kx::FileKind::Movie || kind == kx::FileKind::CompressedMovie)
        return loadMovie(fileName, kind == kx::FileKind::CompressedMovie, serial, set,
                         checkFrameCounter, thermalImage);
    if (kind == kx::FileKind::Fusion)
        return loadFusion(fileName, serial, set, thermalImage, daylightImage);
    return false;
}

bool KalorixController::loadSingleFrame(const QString& fileName, bool compressed,
                                        int lastImageWidth, ksDefines::serialContent serial,
                                        ThermalImageConversionSet& set, QImage& thermalImage) {
    bool ok = false;
    if (compressed)
        converter->getImageFromCompressedRAW(fileName, thermalImage, &ok, serial, set);
    else
        converter->getImageFromRAW(fileName, thermalImage, serial, &ok, set);
    // Both single-frame types report the outcome, so that a frame that loads
    // after a failed one is painted again (the window paints nothing while
    // the flag is false).
    emit updateImageLoadOkFlag(ok);
    if (!ok) {
        reportUnreadable(QStringLiteral("Error while loading image"),
                         QStringLiteral("Error while loading image (in Kalorix::loadRawImage) ") +
                             quoted(fileName),
                         fileName);
        return false;
    }
    const QString shortName = QFileInfo(fileName).fileName();
    emit updateMinMaxRAWSliders(set.lowerBound, set.upperBound);
    emit setVideoControlVisibility(false);
    if (compressed)
        kx::console(shortName);
    emit updateFileNameLabel(shortName);
    if (thermalImage.width() != lastImageWidth) {
        emit updateImageZoom(1.0f);
        emit updateLastImageWidth(thermalImage.width());
    }
    emit requestDisplayImageResize();
    emit requestUILabelUpdate();
    emit updateCurrentFileType(ksDefines::RawRecording);
    return true;
}

void KalorixController::startMovieProgress() {
    emit initProgressBar(0, 100, 0);
    emit setVideoControlVisibility(false);
    emit initUIVideoControls(1, 1);
    emit setFilenameLableVisibility(false);
    emit setProgressBarVisibility(true);
}

bool KalorixController::finishMovie(bool ok) {
    emit setProgressBarVisibility(false);
    emit setFilenameLableVisibility(true);
    emit updateCurrentFileType(ksDefines::RawRecording);
    return ok;
}

bool KalorixController::showFirstMovieFrame(int frames, ksDefines::serialContent serial,
                                            ThermalImageConversionSet& set, QImage& thermalImage) {
    bool ok = false;
    converter->getThermalImageFromVideoRawList(1, thermalImage, &ok, serial, set);
    emit updateMinMaxRAWSliders(set.lowerBound, set.upperBound);
    emit requestDisplayImageResize();
    emit requestUILabelUpdate();
    emit updateImageLoadOkFlag(ok);
    if (ok) {
        emit initUIVideoControls(frames, 1);
        emit setVideoControlVisibility(true);
        emit updateFileNameLabel(QStringLiteral("1 / ") + QString::number(frames));
        emit requestDisplayImageResize();
        emit requestUILabelUpdate();
    }
    return ok;
}

bool KalorixController::loadMovie(const QString& fileName, bool compressed,
                                  ksDefines::serialContent serial, ThermalImageConversionSet& set,
                                  bool checkFrameCounter, QImage& thermalImage) {
    startMovieProgress();
    if (converter->getProcessingState()) {
        // Another index scan is under way (started from an event handled
        // during it); its own end hides the progress bar again.
        kx::console(QStringLiteral("Error while loading video file"));
        return false;
    }
    // A movie whose first frame cannot be shown is no open either: the
    // recording before it comes back with its frame.
    DataConverter::Kept kept = converter->keep();
    const int frames = converter->parseVideoFile(fileName, compressed, checkFrameCounter);
    QString shrank;
    if (converter->indexedFileShrankTo() >= 0)
        shrank = QStringLiteral("The file %1 became shorter while it was indexed (%2 of %3 bytes); "
                                "only its first %4 frames are read")
                     .arg(quoted(fileName))
                     .arg(converter->indexedFileShrankTo())
                     .arg(converter->indexedFileSize())
                     .arg(frames);
    if (frames > 0 && showFirstMovieFrame(frames, serial, set, thermalImage)) {
        // The frames that were read whole stay usable; a run over them must
        // still not pass for one over the whole recording.
        if (!shrank.isEmpty())
            kx::report(kx::ReportKind::Warning, QStringLiteral("Warning"), shrank);
        return finishMovie(true);
    }
    if (frames > 0)
        converter->reinstate(std::move(kept));
    if (shrank.isEmpty()) {
        reportUnreadable(QStringLiteral("Error while loading image"),
                         QStringLiteral("Error while loading file ") + quoted(fileName), fileName);
    } else {
        kx::console(QStringLiteral("Error while loading image"));
        kx::console(shrank);
        kx::reportErrorDetailed(QStringLiteral("Error while loading file ") + quoted(fileName),
                                shrank);
    }
    return finishMovie(false);
}

bool KalorixController::loadFusion(const QString& fileName, ksDefines::serialContent serial,
                                   ThermalImageConversionSet& set, QImage& thermalImage,
                                   QImage& daylightImage) {
    startMovieProgress();
    if (converter->getProcessingState()) {
        kx::console(QStringLiteral("Error while loading video file"));
        return false;
    }
    DataConverter::Kept kept = converter->keep();
    const int frames = converter->parseFusionFile(fileName);
    if (frames == 0) {
        // A file without a single frame must not look like a selection that
        // silently does nothing.
        reportUnreadable(QStringLiteral("Error while loading video file"),
                         QStringLiteral("Error while loading file ") + quoted(fileName), fileName);
        return finishMovie(false);
    }
    const bool ok = showFirstMovieFrame(frames, serial, set, thermalImage);
    if (!ok)
        reportUnreadable(QStringLiteral("Error while loading image"),
                         QStringLiteral("Error while loading file ") + quoted(fileName), fileName);
    // The daylight picture is fetched whether or not the thermal frame decoded.
    bool daylightOk = false;
    converter->getDaylightImageFromVideoRawList(1, daylightImage, daylightOk);
    if (!ok)
        converter->reinstate(std::move(kept));
    return finishMovie(ok);
}

bool KalorixController::loadImage(const QString& fileName, QImage& image) {
    if (!converter->loadBinaryImageFromFile(fileName, &image)) {
        kx::console(QStringLiteral("Error while loading image"));
        kx::reportError(QStringLiteral("Error while loading image ") + quoted(fileName));
        return false;
    }
    emit updateFileNameLabel(QFileInfo(fileName).fileName());
    emit updateImageZoom(1.0f);
    emit requestDisplayImageResize();
    emit requestUILabelUpdate();
    emit updateCurrentFileType(ksDefines::Image);
    return true;
}

bool KalorixController::getThermalImageFromVideoRawdata(unsigned frame, bool* ok,
                                                        ksDefines::serialContent serial,
                                                        ThermalImageConversionSet& set,
                                                        QImage& image) {
    converter->getThermalImageFromVideoRawList(int(frame), image, ok, serial, set);
    if (ok == nullptr)
        return false;
    emit updateMinMaxRAWSliders(set.lowerBound, set.upperBound);
    emit requestDisplayImageResize();
    emit requestUILabelUpdate();
    return true;
}

void KalorixController::getDaylightImageFromVideoRawData(int frame, bool& ok, QImage& image) {
    converter->getDaylightImageFromVideoRawList(frame, image, ok);
}

void KalorixController::checkCurrentTMC() {
    kx::console(QStringLiteral("Testing TMC file"));
    QImage image(1, 1, QImage::Format_RGB888);
    bool corrupt = false;
    bool haveLast = false;
    uint32_t last = 0;
    const int frames = converter->getNumberOfVideoFrames();
    for (int i = 1; i <= frames; ++i) {
        ThermalImageConversionSet set;
        set.lowerBound = 0;
        set.upperBound = 0;
        set.autoGainEnabled = true;
        set.percentageChange = 1.0f;
        bool ok = false;
        converter->getThermalImageFromVideoRawList(i, image, &ok, ksDefines::NoSerialData, set);
        const uint32_t current = converter->getCurrentFrameNumber();
        if (haveLast) {
            const qint64 diff = qint64(current) - qint64(last);
            // FFC marks and the counter's wrap are steps of the recorder, not
            // gaps: the index check accepts the same ones.
            if (!movieindex::counterStepAccepted(uint16_t(last), uint16_t(current))) {
                kx::console(QStringLiteral("Current: ") + QString::number(current) +
                            QStringLiteral("  |  Last: ") + QString::number(last) +
                            QStringLiteral("  |  Diff: ") + QString::number(diff));
                corrupt = true;
            }
        }
        last = current;
        haveLast = true;
    }
    const QString verdict = corrupt ? QStringLiteral("File CORRUPT") : QStringLiteral("File ok");
    kx::console(verdict);
    kx::report(kx::ReportKind::Information, QStringLiteral("Test TMC file"), verdict);
}

void KalorixController::printCommandLineHelp() const {
    kx::printCommandLineHelp();
}
