// Fusion recordings (.TFC): the index of thermal frames and daylight blocks,
// the daylight pictures, and cutting a frame range out of the open movie.
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

uint64_t DataConverter::getDaylightOffset(int blockNumber) const {
    return (blockNumber >= 1 && blockNumber <= getNumberOfDaylightFrames())
               ? recording->daylightOffsets[size_t(blockNumber - 1)]
               : 0;
}

int64_t DataConverter::getDaylightSize(int blockNumber) const {
    return (blockNumber >= 1 && blockNumber <= getNumberOfDaylightFrames())
               ? recording->daylightSizes[size_t(blockNumber - 1)]
               : 0;
}

int DataConverter::parseFusionFile(const QString& fileName) {
    // Fusion thermal frames are always compressed.
    std::shared_ptr<Recording> scanned =
        beginIndexScan(fileName, QStringLiteral("parseFusionFile"), true);
    if (!scanned)
        return 0;
    QFile& file = *scanned->file;
    // The window shows the first picture with the first frame: decoding it
    // on another processor meanwhile takes it off the time to open the file.
    Recording& r = *scanned;
    const auto decodeFirst = [&](uint64_t offset, int64_t size) {
        const QByteArray jpeg = daylightBlockJpeg(file, offset, size, fileName);
        if (!jpeg.isEmpty())
            r.firstDaylightPicture = std::async(std::launch::async, decodeJpeg, jpeg);
    };
    fusionindex::FusionScan scan =
        fusionindex::scanFusion(file, file.size(), readBlockSize, indexScanHooks(), decodeFirst);
    scanned->version = scan.version;

    for (size_t i = 0; i < scan.daylightOfFrame.size(); ++i) {
        if (scan.daylightOfFrame[i] == fusionindex::kNoDaylight)
            kx::console(QStringLiteral("DataConverter::parseFusionFile frame ") +
                        QString::number(i + 1) + QStringLiteral(" has no daylight picture"));
    }
    // Version 5 counters carry no FFC mark in fusion files.
    for (int32_t index : fusionindex::findFusionFfcFrames(scan))
        scanned->ffcFrames.push_back(index + 1);

    scanned->frameCounters = std::move(scan.counters);
    scanned->frameOffsets = std::move(scan.thermalOffsets);
    scanned->frameSizes = std::move(scan.thermalSizes);
    scanned->daylightOffsets = std::move(scan.daylightOffsets);
    scanned->daylightSizes = std::move(scan.daylightSizes);
    scanned->daylightOfFrame = std::move(scan.daylightOfFrame);
    scanned->fusion = true;
    processingState = 0;
    emit disableProgressBar();
    const int frames = scanned->frameCount();
    if (frames == 0)
        return 0;
    installScannedRecording(std::move(scanned));
    if (recording->version >= 6)
        calcFrameTempDifferenceMap();
    return frames;
}

QByteArray DataConverter::daylightJpegBytes(int frame) {
    const Recording& r = *recording;
    if (!r.fusion || frame < 1 || frame > r.frameCount() || !r.isOpen())
        return {};
    const int32_t block = r.daylightOfFrame[size_t(frame - 1)];
    if (block == fusionindex::kNoDaylight)
        return {};
    // The block's length already ends at the next signature or the end of
    // the file; the read is bounded by what the file holds all the same.
    return daylightBlockJpeg(*r.file, r.daylightOffsets[size_t(block)],
                             r.daylightSizes[size_t(block)], r.fileName);
}

void DataConverter::getDaylightImageFromVideoRawList(int frame, QImage& image, bool& ok) {
    Recording& r = *recording;
    if (!r.fusion || frame < 1 || frame > r.frameCount())
        return;
    std::pair<bool, QImage> picture;
    if (r.daylightOfFrame[size_t(frame - 1)] == 0 && r.firstDaylightPicture.valid())
        picture = r.firstDaylightPicture.get();
    else
        picture = decodeJpeg(daylightJpegBytes(frame));
    ok = picture.first;
    if (ok)
        image = picture.second;
}

bool DataConverter::splitFile(const QString& fileName, int startFrame, int endFrame) {
    const Recording& r = *recording;
    if (!r.isMovie()) {
        kx::reportError(QStringLiteral("Split: no movie is open; nothing was written"));
        return false;
    }
    if (startFrame < 0 || endFrame < startFrame || endFrame >= r.frameCount()) {
        kx::reportError(QStringLiteral("Split: frames %1 to %2 are not a range within 1 to %3; "
                                       "nothing was written")
                            .arg(qint64(startFrame) + 1)
                            .arg(qint64(endFrame) + 1)
                            .arg(r.frameCount()));
        return false;
    }
    const uint64_t start = r.frameOffset(startFrame + 1);
    uint64_t end = r.frameOffset(endFrame + 1) + uint64_t(r.frameSize(endFrame + 1));
    if (r.fusion) {
        const int32_t block = r.daylightOfFrame[size_t(endFrame)];
        if (block != fusionindex::kNoDaylight)
            end = r.daylightOffsets[size_t(block)] + uint64_t(r.daylightSizes[size_t(block)]);
    }
    return FileManipulation::splitFile(r.file.get(), fileName, start, end - start);
}
