#include "recording/DataConverter.h"

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
    latitude = 0.0;
    longitude = 0.0;
    date.clear();
    time.clear();
    serialDataSize = 0;
    readBlockSize = kReadBlockSize;
    currentFrameNumber = 0;
    driftComputed = false;
    ffcFrames.clear();
    lensCorrectionEnabled = false;
}

void DataConverter::resetProcessingParameters() {
    conversionParameters.lowerRawValueBound = 16383;
    conversionParameters.upperRawValueBound = 1;
    scaleMiddleValue = 0;
}

void DataConverter::reset_internals_after_inputfile_change() {
    partNumber.clear();
    date.clear();
    time.clear();
    latitude = 0.0;
    longitude = 0.0;
}

bool DataConverter::getCurrentRawVideoChunk(rawVideoChunk& out) {
    out = currentChunk;
    return true;
}

void DataConverter::changedHourOffset(int hours) {
    hourOffset = hours;
}
