// Movies (.THM, .TMC): the index scan with the frame-counter check and the FFC
// list, and frame access by number.
#include "base/Report.h"
#include "conversion/FrameRenderer.h"
#include "recording/DataConverter.h"
#include "recording/MovieIndex.h"

#include <QCoreApplication>

#include <algorithm>
#include <csignal>

namespace {

QString quotedName(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

} // namespace

uint64_t DataConverter::getFrameOffset(int frameNumber) const {
    return recording->frameOffset(frameNumber);
}

int64_t DataConverter::getFrameSize(int frameNumber) const {
    return recording->frameSize(frameNumber);
}

std::shared_ptr<Recording>
DataConverter::beginIndexScan(const QString& fileName, const QString& operation, bool compressed) {
    // The scan lets the event loop run; a second scan started from an event
    // would replace the file under the first one.
    if (processingState != 0) {
        kx::console(QStringLiteral("DataConverter::") + operation +
                    QStringLiteral(" already indexing, refused: ") + quotedName(fileName));
        return nullptr;
    }
    scanShrankTo = -1;
    processingState = 1;
    emit enableProgressBar();
    // The scan builds a recording of its own: the open one stays readable
    // for events handled meanwhile, and stays open if the scan fails.
    auto scanned = std::make_shared<Recording>(fileName);
    scanned->compressed = compressed;
    if (!scanned->isOpen()) {
        kx::console(QStringLiteral("DataConverter::") + operation +
                    QStringLiteral(" opening of file: ") + quotedName(fileName) +
                    QStringLiteral(" failed"));
        processingState = 0;
        emit disableProgressBar();
        return nullptr;
    }
    return scanned;
}

void DataConverter::installScannedRecording(std::shared_ptr<Recording> scanned) {
    recording = std::move(scanned);
    driftComputed = false;
    driftOffsets.clear();
    lastMovieFrame = 0;
    nucOffsets.assign(size_t(640) * 512, 0);
    ++correctionTablesGeneration;
    reset_internals_after_inputfile_change();
}

movieindex::ScanHooks DataConverter::indexScanHooks() {
    movieindex::ScanHooks hooks;
    hooks.beforeBlock = [] {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    };
    int stopAt = -1;
#if defined(Q_OS_UNIX)
    // A test changes the file at a known point of the scan: the process stops
    // itself once the scan has passed this percentage and goes on when it is
    // continued (SIGCONT).
    if (qEnvironmentVariableIsSet("KALORIX_TEST_STOP_SCAN_AT"))
        stopAt = qEnvironmentVariableIntValue("KALORIX_TEST_STOP_SCAN_AT");
#endif
    hooks.progress = [this, stopAt](int percent) mutable {
        emit filePercentageChanged(percent);
#if defined(Q_OS_UNIX)
        if (stopAt >= 0 && percent >= stopAt) {
            stopAt = -1;
            raise(SIGSTOP);
        }
#endif
    };
    return hooks;
}

int DataConverter::parseVideoFile(const QString& fileName, bool isCompressed,
                                  bool checkFrameCounter) {
    std::shared_ptr<Recording> scanned =
        beginIndexScan(fileName, QStringLiteral("parseVideoFile"), isCompressed);
    if (!scanned)
        return 0;
    QFile& file = *scanned->file;
    movieindex::ScanResult scan =
        movieindex::scanMovie(file, file.size(), readBlockSize, indexScanHooks());
    // A file cut while it was read ends before the size the scan began with:
    // the frames past its new end are gone, and the last frame read may be
    // cut, so only the frames followed by another within the file are kept.
    scanFileSize = scan.fileSize;
    const int64_t held = std::min(scan.bytesScanned, int64_t(file.size()));
    if (held < scan.fileSize) {
        scanShrankTo = held;
        movieindex::keepFramesBefore(scan, held);
    }
    scanned->version = scan.version;

    if (checkFrameCounter && !scan.offsets.empty()) {
        const movieindex::CounterCheck check = movieindex::checkFrameCounters(scan.counters);
        for (int32_t index : check.badFrames)
            kx::console(QStringLiteral("Bad FC: ") + QString::number(index));
        scanned->frameCounterGaps = check.badFrames;
        if (check.failed)
            kx::console(QStringLiteral("Framecounter jump"));
    }

    if (scanned->version == 5) {
        for (int32_t index : movieindex::findFfcFrames(scan)) {
            kx::console(movieindex::ffcConsoleLine(index, uint16_t(scan.counters[size_t(index)])));
            scanned->ffcFrames.push_back(index + 1);
        }
    }

    scanned->frameCounters = std::move(scan.counters);
    scanned->frameOffsets = std::move(scan.offsets);
    scanned->frameSizes = std::move(scan.sizes);
    processingState = 0;
    emit disableProgressBar();
    const int frames = scanned->frameCount();
    if (frames == 0)
        return 0;
    installScannedRecording(std::move(scanned));
    if (recording->version == 5)
        calcFrameTempDifferenceMap();
    return frames;
}

void DataConverter::markFrameUndecodable() {
    rawBuffer.clear();
    imageWidth = 0;
    imageHeight = 0;
}

void DataConverter::readFromCompressedVideoFileAndParseRAW(int frameNumber,
                                                           ksDefines::serialContent serial) {
    if (frameNumber < 1 || frameNumber > recording->frameCount() || !recording->isOpen()) {
        markFrameUndecodable();
        return;
    }
    lastMovieFrame = frameNumber;
    lastMovieSerial = serial;
    if (frameTooLarge(frameNumber)) {
        markFrameUndecodable();
        return;
    }
    // The working frame goes in as the frame before this one: it lends its raw
    // storage, and what this frame does not state keeps its value.
    kx::DecodedFrame frame = workingFrame(frameNumber, std::move(rawBuffer));
    // A frame refused leaves the working frame without values (and without
    // the position of another frame when its header was cut).
    const bool decoded = recording->read(frameNumber, movieReadOptions(serial), readScratch, frame);
    installFrame(std::move(frame));
    if (decoded)
        emit hotspotAt(hotspotColumn, hotspotRow, hotspotValue);
}

bool DataConverter::frameTooLarge(int frameNumber) const {
    const int64_t frameSize = recording->frameSize(frameNumber);
    if (frameSize <= Recording::kLargestFrameBytes)
        return false;
    kx::console(QStringLiteral("DataConverter::readFromCompressedVideoFileAndParseRAW frame ") +
                QString::number(frameNumber) + QStringLiteral(" too large: ") +
                QString::number(frameSize) + QStringLiteral(" bytes"));
    return true;
}

FrameReadOptions DataConverter::movieReadOptions(ksDefines::serialContent serial) const {
    FrameReadOptions options;
    options.serial = serial;
    options.hourOffset = hourOffset;
    options.corrections = decoderCorrections();
    return options;
}

bool DataConverter::readMovieFrame(int frameNumber, ksDefines::serialContent serial,
                                   kx::DecodedFrame& frame) {
    frame.frameNumber = frameNumber;
    frame.timeToNextImageMs = kTimeToNextImageMs;
    // read refuses a frame too large, like one outside the index or of a
    // closed file, leaving no raw values and no size; only this says why.
    (void)frameTooLarge(frameNumber);
    return recording->read(frameNumber, movieReadOptions(serial), readScratch, frame) &&
           frame.width >= kx::FrameRenderer::kMinimumFrameSide &&
           frame.height >= kx::FrameRenderer::kMinimumFrameSide;
}

void DataConverter::getThermalImageFromVideoRawList(int frameNumber, QImage& image, bool* ok,
                                                    ksDefines::serialContent serial,
                                                    ThermalImageConversionSet& set) {
    applyConversionStyle(set);
    if (frameNumber < 1 || frameNumber > recording->frameCount()) {
        rawBuffer.clear();
        set.lowerBound = conversionParameters.lowerRawValueBound;
        set.upperBound = conversionParameters.upperRawValueBound;
        return;
    }

    readFromCompressedVideoFileAndParseRAW(frameNumber, serial);
    if (imageHeight < 10 || imageWidth < 10) {
        if (ok)
            *ok = false;
        return;
    }

    fillCurrentChunk(true);
    sizeCanvas(image, int(imageWidth), int(imageHeight));

    const bool converted = convertDecodedFrame(image, set, true);
    if (!converted) {
        const QString text = processRawDataFailureText(QString());
        kx::console(text);
        kx::reportError(text);
    }
    if (ok)
        *ok = converted;
    set.lowerBound = conversionParameters.lowerRawValueBound;
    set.upperBound = conversionParameters.upperRawValueBound;
}
