// The converter's share of the corrections: running the computations over the
// open movie and holding their tables, which the frame decoder applies.
#include "recording/DataConverter.h"

#include "base/FileKind.h"
#include "base/Report.h"
#include "corrections/Drift.h"
#include "corrections/Lens.h"
#include "corrections/Nuc.h"

#include <QCoreApplication>

namespace {
void processPendingEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}
} // namespace

bool DataConverter::isMovieOpen() const {
    return frameCount > 0 && inputFile && inputFile->isOpen() &&
           kx::isMovieKind(kx::fileKindOf(inputFile->fileName()));
}

bool DataConverter::beginCorrectionRun(const char* what) {
    if (correctionRunning || processingState != 0) {
        kx::console(QStringLiteral("DataConverter::") + QLatin1String(what) +
                    QStringLiteral(" busy, refused"));
        return false;
    }
    correctionRunning = true;
    // Refuses an index scan, and the loads of the controller, while frames of
    // this movie are being read.
    processingState = 2;
    return true;
}

void DataConverter::endCorrectionRun(int frameToRestore) {
    processingState = 0;
    correctionRunning = false;
    if (frameToRestore > 0)
        redecodeMovieFrame(frameToRestore);
    else
        lastMovieFrame = 0;
}

void DataConverter::redecodeMovieFrame(int frameNumber) {
    if (!isMovieOpen() || frameNumber < 1 || frameNumber > frameCount)
        return;
    readFromCompressedVideoFileAndParseRAW(frameNumber, lastMovieSerial);
    if (imageWidth && imageHeight)
        fillCurrentChunk(true);
}

// ---- Drift ------------------------------------------------------------------

void DataConverter::changedDriftCompensation(bool enabled) {
    driftEnabled = enabled;
}

void DataConverter::addFFCFrame(int frame) {
    ffcFrames.push_back(frame);
}

void DataConverter::resetFFCCorrection() {
    driftComputed = false;
    ffcFrames.clear();
}

bool DataConverter::calcFrameTempDifferenceMap() {
    if (!beginCorrectionRun("calcFrameTempDifferenceMap"))
        return false;
    const int shown = lastMovieFrame;
    const ksDefines::serialContent shownSerial = lastMovieSerial;
    driftComputed = false;
    const int frames = isMovieOpen() ? frameCount : 0;
    driftOffsets =
        drift::computeOffsets(frames, ffcFrames, [this](int f) -> std::optional<int64_t> {
            readFromCompressedVideoFileAndParseRAW(f, ksDefines::NoSerialData);
            if (!imageWidth || !imageHeight)
                return std::nullopt;
            return int64_t(meanRaw);
        });
    driftComputed = true;
    lastMovieSerial = shownSerial;
    endCorrectionRun(shown);
    emit compensationFinished();
    return true;
}

// ---- Non-uniformity offsets ---------------------------------------------------

void DataConverter::executeMotionBasedNUC(int firstFrame, int lastFrame) {
    // A run refused because another one is under way must leave that run's
    // progress bar up.
    const bool othersBar = correctionRunning;
    if (!othersBar)
        emit enableProgressBar();
    executeNUC(firstFrame, lastFrame, 50);
    if (!othersBar)
        emit disableProgressBar();
}

bool DataConverter::executeNUC(int firstFrame, int lastFrame, int blurRadius) {
    if (!isMovieOpen() || firstFrame < 1 || lastFrame < firstFrame || lastFrame > frameCount) {
        kx::console(QStringLiteral("Frame numbers not valid"));
        return false;
    }
    if (!beginCorrectionRun("executeNUC"))
        return false;
    const int shown = lastMovieFrame;
    const ksDefines::serialContent shownSerial = lastMovieSerial;
    const QFile* movie = inputFile.get();
    const int movieFrames = frameCount;
    nucEnabled = false;
    if (!imageWidth || !imageHeight)
        readFromCompressedVideoFileAndParseRAW(firstFrame, ksDefines::NoSerialData);
    NUC nuc{int(imageWidth), int(imageHeight)};
    const int n = lastFrame - firstFrame + 1;
    bool stopped = false;
    for (int k = firstFrame; k <= lastFrame; ++k) {
        // Events run between frames: a file opened meanwhile ends the run.
        if (inputFile.get() != movie || frameCount != movieFrames) {
            stopped = true;
            break;
        }
        readFromCompressedVideoFileAndParseRAW(k, ksDefines::NoSerialData);
        nuc.addToNucOffsetMap(rawBuffer);
        emit filePercentageChanged((k - firstFrame) * 100 / n);
        processPendingEvents();
    }
    if (stopped || nuc.framesAdded() == 0) {
        kx::console(stopped ? QStringLiteral("NUC: the open file changed, map not computed")
                            : QStringLiteral("NUC: no frame of the map's size, map not computed"));
        nucOffsets.assign(nuc.map().size(), 0);
        ++correctionTablesGeneration;
        lastMovieSerial = shownSerial;
        endCorrectionRun(stopped ? 0 : shown);
        return false;
    }
    // Frames refused for their size do not weaken the mean.
    nuc.calcMean(nuc.framesAdded());
    nuc.blurOffsetMap(blurRadius, processPendingEvents);
    nuc.normalizeOffsetMap();
    nucOffsets = nuc.offsets();
    ++correctionTablesGeneration;
    nucEnabled = true;
    lastMovieSerial = shownSerial;
    endCorrectionRun(shown);
    return true;
}

void DataConverter::disableNUC() {
    nucOffsets.assign(size_t(imageWidth) * size_t(imageHeight), 0);
    ++correctionTablesGeneration;
    nucEnabled = false;
    nucStatus = false;
}

void DataConverter::setNUCStatus(bool status) {
    nucStatus = status;
}

// ---- Lens ------------------------------------------------------------------------

void DataConverter::lensCorrection() {
    if (correctionRunning) {
        kx::console(QStringLiteral("DataConverter::lensCorrection busy, refused"));
        return;
    }
    lensMap = lens::buildMap(rawBuffer, frameMaxRaw);
    ++correctionTablesGeneration;
    lensCorrectionEnabled = true;
}

void DataConverter::resetLensCorrection() {
    lensMap.clear();
    ++correctionTablesGeneration;
    lensCorrectionEnabled = false;
}
