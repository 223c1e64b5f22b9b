// Fusion recordings (.TFC): the index of thermal frames and daylight blocks,
// the daylight pictures, and cutting a frame range out of the open movie.
#include "base/FileKind.h"
#include "base/Report.h"
#include "recording/DataConverter.h"
#include "recording/FileManipulation.h"
#include "recording/FusionIndex.h"

#include <algorithm>

namespace {

// A daylight picture of the recorder is a few hundred kilobytes; a block of
// more than this is a damaged file and is not loaded into memory.
constexpr int64_t kLargestDaylightBytes = int64_t(64) << 20;

std::pair<bool, QImage> decodeJpeg(const QByteArray& jpeg) {
    std::pair<bool, QImage> picture;
    picture.first = !jpeg.isEmpty() && picture.second.loadFromData(jpeg, "JPG");
    return picture;
}

// The JPEG of the daylight block at offset with size bytes (the block's
// header skipped), bounded by what the file holds; empty when there is none.
QByteArray daylightBlockJpeg(QFile& file, uint64_t blockOffset, int64_t blockSize,
                             const QString& currentFileName) {
    const qint64 offset = qint64(blockOffset);
    const int64_t remaining = file.size() - (offset + fusionindex::kDaylightHeaderBytes);
    const int64_t length = std::min(blockSize - fusionindex::kDaylightHeaderBytes, remaining);
    if (length <= 0 || length > kLargestDaylightBytes)
        return {};
    if (!file.seek(offset + fusionindex::kDaylightHeaderBytes)) {
        kx::console(QStringLiteral("Couldn't jump to address ") + QString::number(offset) +
                    QStringLiteral(" in file ") + currentFileName);
        return {};
    }
    return file.read(length);
}

} // namespace

void DataConverter::clearDaylightIndex() {
    if (firstDaylightPicture.valid())
        firstDaylightPicture.wait();
    firstDaylightPicture = {};
    daylightOffsets.clear();
    daylightSizes.clear();
    daylightOfFrame.clear();
    fusionRecording = false;
}

uint64_t DataConverter::getDaylightOffset(int blockNumber) const {
    return (blockNumber >= 1 && blockNumber <= getNumberOfDaylightFrames())
               ? daylightOffsets[size_t(blockNumber - 1)]
               : 0;
}

int64_t DataConverter::getDaylightSize(int blockNumber) const {
    return (blockNumber >= 1 && blockNumber <= getNumberOfDaylightFrames())
               ? daylightSizes[size_t(blockNumber - 1)]
               : 0;
}

int DataConverter::parseFusionFile(const QString& fileName) {
    // Fusion thermal frames are always compressed.
    std::unique_ptr<QFile> file = beginIndexScan(fileName, QStringLiteral("parseFusionFile"), true);
    if (!file)
        return 0;
    // The window shows the first picture with the first frame: decoding it
    // on another processor meanwhile takes it off the time to open the file.
    QFile& scanned = *file;
    const auto decodeFirst = [&](uint64_t offset, int64_t size) {
        const QByteArray jpeg = daylightBlockJpeg(scanned, offset, size, fileName);
        if (!jpeg.isEmpty())
            firstDaylightPicture = std::async(std::launch::async, decodeJpeg, jpeg);
    };
    fusionindex::FusionScan scan =
        fusionindex::scanFusion(*file, file->size(), readBlockSize, indexScanHooks(), decodeFirst);
    inputFile = std::move(file);
    fileVersion = scan.version;

    for (size_t i = 0; i < scan.daylightOfFrame.size(); ++i) {
        if (scan.daylightOfFrame[i] == fusionindex::kNoDaylight)
            kx::console(QStringLiteral("DataConverter::parseFusionFile frame ") +
                        QString::number(i + 1) + QStringLiteral(" has no daylight picture"));
    }
    // Version 5 counters carry no FFC mark in fusion files.
    for (int32_t index : fusionindex::findFusionFfcFrames(scan))
        ffcFrames.push_back(index + 1);

    frameOffsets = std::move(scan.thermalOffsets);
    frameSizes = std::move(scan.thermalSizes);
    daylightOffsets = std::move(scan.daylightOffsets);
    daylightSizes = std::move(scan.daylightSizes);
    daylightOfFrame = std::move(scan.daylightOfFrame);
    fusionRecording = true;
    frameCount = int32_t(std::min<size_t>(frameOffsets.size(), size_t(INT32_MAX)));
    processingState = 0;
    emit disableProgressBar();
    if (fileVersion >= 6)
        calcFrameTempDifferenceMap();
    return frameCount;
}

QByteArray DataConverter::daylightJpegBytes(int frame) {
    if (!fusionRecording || frame < 1 || frame > frameCount || !inputFile || !inputFile->isOpen())
        return {};
    const int32_t block = daylightOfFrame[size_t(frame - 1)];
    if (block == fusionindex::kNoDaylight)
        return {};
    // The block's length already ends at the next signature or the end of
    // the file; the read is bounded by what the file holds all the same.
    return daylightBlockJpeg(*inputFile, daylightOffsets[size_t(block)],
                             daylightSizes[size_t(block)], currentFileName);
}

void DataConverter::getDaylightImageFromVideoRawList(int frame, QImage& image, bool& ok) {
    if (!fusionRecording || frame < 1 || frame > frameCount)
        return;
    std::pair<bool, QImage> picture;
    if (daylightOfFrame[size_t(frame - 1)] == 0 && firstDaylightPicture.valid())
        picture = firstDaylightPicture.get();
    else
        picture = decodeJpeg(daylightJpegBytes(frame));
    ok = picture.first;
    if (ok)
        image = picture.second;
}

bool DataConverter::splitFile(const QString& fileName, int startFrame, int endFrame) {
    // The index describes the open movie only while inputFile is that movie:
    // opening a single frame replaces the file but not the index.
    const bool movieOpen = inputFile && inputFile->isOpen() && frameCount > 0 &&
                           kx::isMovieKind(kx::fileKindOf(inputFile->fileName()));
    if (!movieOpen) {
        kx::reportError(QStringLiteral("Split: no movie is open; nothing was written"));
        return false;
    }
    if (startFrame < 0 || endFrame < startFrame || endFrame >= frameCount) {
        kx::reportError(QStringLiteral("Split: frames %1 to %2 are not a range within 1 to %3; "
                                       "nothing was written")
                            .arg(qint64(startFrame) + 1)
                            .arg(qint64(endFrame) + 1)
                            .arg(frameCount));
        return false;
    }
    const uint64_t start = frameOffsets[size_t(startFrame)];
    uint64_t end = frameOffsets[size_t(endFrame)] + uint64_t(frameSizes[size_t(endFrame)]);
    if (fusionRecording) {
        const int32_t block = daylightOfFrame[size_t(endFrame)];
        if (block != fusionindex::kNoDaylight)
            end = daylightOffsets[size_t(block)] + uint64_t(daylightSizes[size_t(block)]);
    }
    return FileManipulation::splitFile(inputFile.get(), fileName, start, end - start);
}
