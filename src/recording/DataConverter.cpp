#include "recording/DataConverter.h"

#include "base/FileKind.h"
#include "base/PartNumber.h"

DataConverter::DataConverter(QObject* parent)
    : QObject(parent)
    , inputFile(std::make_unique<QFile>())
    , serialBuffer(kSerialBufferSize, '\0') {
    qRegisterMetaType<ksDefines::FileTypes>("ksDefines::FileTypes");
    qRegisterMetaType<ksDefines::serialContent>("ksDefines::serialContent");
    initializeClassMembers();
    resetProcessingParameters();
    nucEnabled = false;
}

DataConverter::~DataConverter() = default;

void DataConverter::initializeClassMembers() {
    frameCount = 0;
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
    ffcFrames.clear();
    frameCounters.clear();
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
    kx::DecodedFrame frame;
    frame.frameNumber = frameNumber;
    frame.raw = rawBuffer;
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
        if (!loadSingleFrame(fileName, serial, kind == kx::FileKind::SingleCompressed))
            return false;
        fillCurrentChunk(false);
    } else {
        if (frameNumber < 1 || frameNumber > frameCount) {
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
