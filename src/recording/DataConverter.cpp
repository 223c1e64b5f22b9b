#include "recording/DataConverter.h"

#include "base/FileKind.h"
#include "base/PartNumber.h"

#include <algorithm>

DataConverter::DataConverter(QObject* parent)
    : QObject(parent)
    , recording(std::make_shared<Recording>())
    , serialBuffer(kSerialBufferSize, '\0') {
    qRegisterMetaType<ksDefines::FileTypes>("ksDefines::FileTypes");
    qRegisterMetaType<ksDefines::serialContent>("ksDefines::serialContent");
    initializeClassMembers();
    resetProcessingParameters();
    nucEnabled = false;
}

DataConverter::~DataConverter() = default;

void DataConverter::initializeClassMembers() {
    recording = std::make_shared<Recording>();
    processingState = 0;
    imageWidth = 0;
    imageHeight = 0;
    rawBuffer.clear();
    telemetry.latitude = 0.0;
    telemetry.longitude = 0.0;
    telemetry.date.clear();
    telemetry.time.clear();
    serialDataSize = 0;
    readBlockSize = kReadBlockSize;
    currentFrameNumber = 0;
    driftComputed = false;
    lensCorrectionEnabled = false;
}

void DataConverter::resetProcessingParameters() {
    conversionParameters.lowerRawValueBound = 16383;
    conversionParameters.upperRawValueBound = 1;
    scaleMiddleValue = 0;
}

void DataConverter::reset_internals_after_inputfile_change() {
    // Offsets belong to the movie they were measured on; another file's
    // frames would receive them by index.
    driftComputed = false;
    driftOffsets.clear();
    partNumber.clear();
    telemetry.date.clear();
    telemetry.time.clear();
    telemetry.latitude = 0.0;
    telemetry.longitude = 0.0;
}

bool DataConverter::getCurrentRawVideoChunk(rawVideoChunk& out) {
    out = currentChunk;
    return true;
}

void DataConverter::changedHourOffset(int hours) {
    hourOffset = hours;
}

kx::DecodedFrame DataConverter::currentDecodedFrame(int frameNumber) const {
    return workingFrame(frameNumber, rawBuffer);
}

kx::DecodedFrame DataConverter::workingFrame(int frameNumber, std::vector<uint16_t> raw) const {
    kx::DecodedFrame frame;
    frame.frameNumber = frameNumber;
    frame.raw = std::move(raw);
    frame.width = imageWidth;
    frame.height = imageHeight;
    frame.minRaw = frameMinRaw;
    frame.maxRaw = frameMaxRaw;
    frame.meanRaw = meanRaw;
    frame.hotspotColumn = hotspotColumn;
    frame.hotspotRow = hotspotRow;
    frame.hotspotValue = hotspotValue;
    frame.partNumber = partNumber;
    frame.tempFPACelsius = tempFPA;
    frame.tempHousingCelsius = tempHousing;
    frame.streamFrameNumber = currentFrameNumber;
    frame.streamFrameNumberSeen = streamFrameNumberSeen;
    frame.focalLengthMM = kx::partnumber::focalLengthMM(partNumber);
    kx::partnumber::sensorSizeMM(partNumber, frame.sensorWidthMM, frame.sensorHeightMM);
    frame.timeToNextImageMs = timeToNextImage;
    frame.serialBlock = QByteArray(serialBuffer.data(), int(serialDataSize));
    frame.telemetry = telemetry;
    return frame;
}

bool DataConverter::decodeFrame(const QString& fileName, int frameNumber,
                                ksDefines::serialContent serial, kx::DecodedFrame& out) {
    const kx::FileKind kind = kx::fileKindOf(fileName);
    if (kx::isSingleFrameKind(kind)) {
        if (!keptUnlessLoaded([&] {
                return loadSingleFrame(fileName, serial, kind == kx::FileKind::SingleCompressed);
            }))
            return false;
        fillCurrentChunk(false);
    } else {
        if (frameNumber < 1 || frameNumber > recording->frameCount()) {
            rawBuffer.clear();
            return false;
        }
        readFromCompressedVideoFileAndParseRAW(frameNumber, serial);
        if (!checkImageParameters())
            return false;
        fillCurrentChunk(true);
    }
    out = currentDecodedFrame(kx::isSingleFrameKind(kind) ? 1 : frameNumber);
    return true;
}

DataConverter::Kept DataConverter::keep() const {
    Kept kept;
    kept.recording = recording;
    kept.frame = currentDecodedFrame(0);
    kept.chunk = currentChunk;
    kept.lastMovieFrame = lastMovieFrame;
    kept.lastMovieSerial = lastMovieSerial;
    kept.driftOffsets = driftOffsets;
    kept.driftComputed = driftComputed;
    kept.nucOffsets = nucOffsets;
    return kept;
}

void DataConverter::installFrame(kx::DecodedFrame&& frame) {
    rawBuffer = std::move(frame.raw);
    imageWidth = frame.width;
    imageHeight = frame.height;
    frameMinRaw = frame.minRaw;
    frameMaxRaw = frame.maxRaw;
    meanRaw = frame.meanRaw;
    hotspotColumn = frame.hotspotColumn;
    hotspotRow = frame.hotspotRow;
    hotspotValue = frame.hotspotValue;
    partNumber = frame.partNumber;
    tempFPA = frame.tempFPACelsius;
    tempHousing = frame.tempHousingCelsius;
    currentFrameNumber = frame.streamFrameNumber;
    streamFrameNumberSeen = frame.streamFrameNumberSeen;
    timeToNextImage = frame.timeToNextImageMs;
    // The buffer past the block stays zero, as the serial text reads up to
    // the first zero byte of the whole buffer.
    serialDataSize = uint32_t(std::min<qsizetype>(frame.serialBlock.size(), serialBuffer.size()));
    std::copy_n(frame.serialBlock.constData(), serialDataSize, serialBuffer.begin());
    std::fill(serialBuffer.begin() + serialDataSize, serialBuffer.end(), '\0');
    telemetry = std::move(frame.telemetry);
}

void DataConverter::reinstate(Kept kept) {
    recording = std::move(kept.recording);
    installFrame(std::move(kept.frame));
    currentChunk = kept.chunk;
    currentChunk.serialData = serialBuffer.data();
    lastMovieFrame = kept.lastMovieFrame;
    lastMovieSerial = kept.lastMovieSerial;
    driftOffsets = std::move(kept.driftOffsets);
    driftComputed = kept.driftComputed;
    nucOffsets = std::move(kept.nucOffsets);
    ++correctionTablesGeneration;
    // The marker follows the hot spot of the frame on show again.
    emit hotspotAt(hotspotColumn, hotspotRow, hotspotValue);
}
