// Single raw frames (.THR), and the header reader and decoder entry point of
// the single-frame readers (movie frames are read by Recording::read).
#include "base/FileKind.h"
#include "base/Report.h"
#include "recording/DataConverter.h"
#include "recording/FrameDecoder.h"
#include "recording/FrameHeader.h"

#include <QtEndian>
#include <algorithm>

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

} // namespace

uint32_t DataConverter::readHeader(qint64 offset, int version, ksDefines::serialContent serial) {
    telemetry.latitude = 0.0;
    telemetry.longitude = 0.0;
    telemetry.date.clear();
    telemetry.time.clear();
    tempFPA = 0.0;
    tempHousing = 0.0;
    telemetry.pitch = 0.0;
    telemetry.roll = 0.0;
    telemetry.yaw = 0.0;
    QFile* file = recording->file.get();
    if (!recording->isOpen() || !file->seek(offset))
        return 0;
    FrameHeaderLayout layout;
    if (!frameheader::layoutForVersion(version, layout))
        return 0;
    // The telemetry parsers work on the block in place (the NMEA parser
    // rewrites leading zero bytes), so the header is read into a buffer of its
    // own rather than parsed from a shared one.
    std::vector<char> bytes(layout.bytesToRead);
    if (file->read(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        return 0;
    FrameHeader header;
    if (!frameheader::parse(version, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                            header))
        return 0;
    // Versions 1 and 2 carry 8,192-byte blocks; the serial buffer holds them
    // whole, so the block is handed on at its full length.
    if (header.layout.serialLength > 0)
        invokeSerialDataParsing(bytes.data() + header.layout.serialOffset,
                                header.layout.serialLength, serial);
    if (header.layout.hasCameraData) {
        partNumber = QString::fromLatin1(header.partNumber);
        tempFPA = header.tempFPACelsius;
        tempHousing = header.tempHousingCelsius;
    }
    return header.layout.headerLength;
}

framedecoder::Corrections DataConverter::decoderCorrections() const {
    framedecoder::Corrections c;
    if (driftComputed && driftEnabled) {
        c.driftOffsets = driftOffsets.data();
        c.driftCount = driftOffsets.size();
    }
    if (nucEnabled) {
        c.nucOffsets = nucOffsets.data();
        c.nucCount = nucOffsets.size();
    }
    if (lensCorrectionEnabled) {
        c.lensMap = lensMap.data();
        c.lensCount = lensMap.size();
    }
    // Both tables in one, built again only when a table or a switch changed.
    if (c.nucOffsets || c.lensMap) {
        const ShiftKey key{correctionTablesGeneration, nucEnabled, lensCorrectionEnabled};
        if (!(key == pixelShiftsKey)) {
            pixelShifts =
                framedecoder::combinedShifts(c.nucOffsets, c.nucCount, c.lensMap, c.lensCount);
            pixelShiftsKey = key;
        }
        c.pixelShifts = pixelShifts.data();
        c.pixelShiftCount = pixelShifts.size();
    }
    return c;
}

void DataConverter::processDataChunk(const uint16_t* words, int64_t count, int frameIndex) {
    frameMinRaw = 16384;
    frameMaxRaw = 0;
    const framedecoder::Result r = framedecoder::decode(
        words, count > 0 ? size_t(count) : 0, frameIndex, decoderCorrections(), rawBuffer);
    frameMinRaw = r.minRaw;
    frameMaxRaw = r.maxRaw;
    hotspotColumn = r.hotspotColumn;
    hotspotRow = r.hotspotRow;
    hotspotValue = r.hotspotValue;
    imageWidth = r.width;
    imageHeight = r.height;
    if (r.decodable())
        meanRaw = r.meanRaw;
    emit hotspotAt(hotspotColumn, hotspotRow, hotspotValue);
}

bool DataConverter::openFileForReading(const QString& fileName) {
    auto opened = std::make_shared<Recording>(fileName);
    if (!opened->isOpen())
        return false;
    recording = std::move(opened);
    return true;
}

bool DataConverter::determineFileVersion(qint64 offset, int& version) {
    if (!recording->isOpen() || !recording->file->seek(offset))
        return false;
    char signature[5];
    if (recording->file->read(signature, 5) != 5)
        return false;
    version = uint8_t(signature[4]);
    return true;
}

bool DataConverter::readSingleFrameHeader(const QString& fileName, ksDefines::serialContent serial,
                                          uint32_t& headerLength) {
    frameBytes.assign(kSingleFrameBufferSize, 0);
    kx::console(QStringLiteral("Opening: ") + fileName);
    reset_internals_after_inputfile_change();
    // The file becomes the open recording here, so that the header readers
    // read it; the callers put the one before back when the load fails.
    if (!openFileForReading(fileName)) {
        kx::console(QStringLiteral("DataConverter::loadFromRawFile opening of file: ") +
                    quoted(fileName) + QStringLiteral(" failed"));
        return false;
    }
    // A single-frame file must fit the frame buffer whole; anything larger is
    // not one frame of this recorder.
    const qint64 fileSize = recording->file->size();
    if (fileSize > qint64(kSingleFrameBufferSize)) {
        kx::console(QStringLiteral("DataConverter::loadFromRawFile file too large: ") +
                    quoted(fileName) + QStringLiteral(" has ") + QString::number(fileSize) +
                    QStringLiteral(" bytes, a single frame at most ") +
                    QString::number(kSingleFrameBufferSize));
        return false;
    }
    int version = 0;
    if (!determineFileVersion(0, version)) {
        kx::console(QStringLiteral("DataConverter::loadFromRawFile Error reading signature: ") +
                    quoted(fileName));
        return false;
    }
    recording->version = version;
    headerLength = readHeader(0, version, serial);
    if (headerLength < 1) {
        kx::console(QStringLiteral("DataConverter::loadFromRawFile Error reading header: ") +
                    quoted(fileName));
        return false;
    }
    return true;
}

bool DataConverter::loadFromRawFile(const QString& fileName, ksDefines::serialContent serial) {
    return loadDataFromSingleFrameFile(fileName, serial);
}

bool DataConverter::loadDataFromSingleFrameFile(const QString& fileName,
                                                ksDefines::serialContent serial) {
    return keptUnlessLoaded([&] { return readRawFrameFile(fileName, serial); });
}

bool DataConverter::keptUnlessLoaded(const std::function<bool()>& load) {
    Kept kept = keep();
    if (load())
        return true;
    reinstate(std::move(kept));
    return false;
}

bool DataConverter::readRawFrameFile(const QString& fileName, ksDefines::serialContent serial) {
    uint32_t headerLength = 0;
    if (!readSingleFrameHeader(fileName, serial, headerLength))
        return false;

    QFile& file = *recording->file;
    const qint64 fileSize = file.size();
    qint64 got = 0;
    if (file.seek(0))
        got = file.read(reinterpret_cast<char*>(frameBytes.data()), fileSize);
    if (got < 0)
        got = 0;
    frameWordCount = fileSize / 2;

    // The stream starts at 2H and is decoded for as many words as the whole
    // file holds: the words past the end of the file are the zeroed rest of
    // the buffer, i.e. blanking words that close a last row. The count stops at
    // the buffer's end, which a file with a long header would otherwise pass.
    const size_t start = 2 * size_t(headerLength);
    const size_t available = start < frameBytes.size() ? (frameBytes.size() - start) / 2 : 0;
    const size_t count = std::min(size_t(frameWordCount), available);
    std::vector<uint16_t> words(count);
    const uchar* src = frameBytes.data() + start;
    for (size_t k = 0; k < count; ++k)
        words[k] = qFromLittleEndian<quint16>(src + 2 * k);
    processDataChunk(words.data(), int64_t(count), 0);

    if (imageWidth == 0 || imageHeight == 0) {
        kx::console(QStringLiteral("DataConverter::loadFromRawFile no frame decoded from: ") +
                    quoted(fileName));
        return false;
    }
    return true;
}

void DataConverter::fillCurrentChunk(bool withCameraData) {
    timeToNextImage = kTimeToNextImageMs;
    currentChunk.chunkTag = timeToNextImage;
    currentChunk.rawData = rawBuffer;
    currentChunk.width = imageWidth;
    currentChunk.height = imageHeight;
    currentChunk.latitude = telemetry.latitude;
    currentChunk.longitude = telemetry.longitude;
    currentChunk.date = telemetry.date;
    currentChunk.time = telemetry.time;
    currentChunk.roll = telemetry.roll;
    currentChunk.pitch = telemetry.pitch;
    currentChunk.yaw = telemetry.yaw;
    currentChunk.altitude = telemetry.altitude;
    currentChunk.satellites = telemetry.satellites;
    currentChunk.serialData = serialBuffer.data();
    currentChunk.serialDataSize = serialDataSize;
    currentChunk.currentFrameNumber = currentFrameNumber;
    currentChunk.meanRaw = meanRaw;
    if (withCameraData) {
        currentChunk.tempFPA = tempFPA;
        currentChunk.tempHousing = tempHousing;
        currentChunk.focalLength = focalLengthFromPartNumber(partNumber);
        sensorSizeMMFromPartNumber(partNumber, currentChunk.sensorWidthMM,
                                   currentChunk.sensorHeightMM);
    }
}

void DataConverter::getImageFromRAW(const QString& fileName, QImage& image,
                                    ksDefines::serialContent serial, bool* ok,
                                    ThermalImageConversionSet& set) {
    loadAndConvertSingleFrame(fileName, image, serial, ok, set, false);
}

bool DataConverter::loadSingleFrame(const QString& fileName, ksDefines::serialContent serial,
                                    bool compressed) {
    const QString caller = compressed ? QStringLiteral("DataConverter::getImageFromCompressedRAW")
                                      : QStringLiteral("DataConverter::getImageFromRAW");
    resetProcessingParameters();
    rawBuffer.clear();
    imageWidth = 1;
    imageHeight = 1;

    bool loaded =
        compressed ? readCompressedFrameFile(fileName, serial) : readRawFrameFile(fileName, serial);
    if (!loaded) {
        kx::console(caller +
                    QStringLiteral(" call of DataConverter::loadFromRawFile returned "
                                   "false: ") +
                    quoted(fileName));
    } else if (!checkImageParameters()) {
        // The conversion is never reached: say why instead of blaming it.
        const QString text = caller +
                             QStringLiteral(" frame of %1 x %2 pixels is too small to "
                                            "convert (at least 10 x 10): ")
                                 .arg(imageWidth)
                                 .arg(imageHeight) +
                             quoted(fileName);
        kx::console(text);
        kx::reportError(text);
        loaded = false;
    }
    return loaded;
}

void DataConverter::loadAndConvertSingleFrame(const QString& fileName, QImage& image,
                                              ksDefines::serialContent serial, bool* ok,
                                              ThermalImageConversionSet& set, bool compressed) {
    applyConversionStyle(set);
    Kept kept = keep();
    bool loaded = loadSingleFrame(fileName, serial, compressed);
    fillCurrentChunk(false);

    sizeCanvas(image, int(imageWidth), int(imageHeight));

    if (loaded) {
        loaded = convertDecodedFrame(image, set, false);
        if (!loaded) {
            const QString text = processRawDataFailureText(fileName);
            kx::console(text);
            kx::reportError(text);
        }
    }
    set.lowerBound = conversionParameters.lowerRawValueBound;
    set.upperBound = conversionParameters.upperRawValueBound;
    // A file that cannot be shown is no open: the recording before it stays.
    if (!loaded)
        reinstate(std::move(kept));
    if (ok)
        *ok = loaded;
}

QString DataConverter::processRawDataFailureText(const QString& fileName) const {
    return processRawDataFailureText(fileName, rawBuffer.size());
}

QString DataConverter::processRawDataFailureText(const QString& fileName, size_t rawValues) const {
    switch (kx::fileKindOf(fileName)) {
    case kx::FileKind::SingleRaw:
    case kx::FileKind::SingleCompressed: {
        const QString caller = kx::fileKindOf(fileName) == kx::FileKind::SingleCompressed
                                   ? QStringLiteral("DataConverter::getImageFromCompressedRAW")
                                   : QStringLiteral("DataConverter::getImageFromRAW");
        return caller + QStringLiteral(" call of DataConverter::processRawData returned false: ") +
               quoted(fileName) + QStringLiteral(", RAWdata.size: ") + QString::number(rawValues);
    }
    default:
        return QStringLiteral("DataConverter::getImageFromVideoRawList2 call of "
                              "DataConverter::processRawData returned false: RAWdata.size: ") +
               QString::number(rawValues);
    }
}

bool DataConverter::loadBinaryImageFromFile(const QString& fileName, QImage* image) {
    if (!image || !image->load(fileName))
        return false;
    imageWidth = uint32_t(image->width());
    imageHeight = uint32_t(image->height());
    return true;
}
