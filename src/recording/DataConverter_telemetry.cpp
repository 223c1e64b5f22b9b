#include "recording/DataConverter.h"

#include "telemetry/Nmea.h"
#include "telemetry/SerialTelemetry.h"

#include <algorithm>
#include <cstring>
#include <functional>

// The serial data block of a frame: dispatched to the parser of the chosen
// kind (serialtelemetry), then kept in serialBuffer for display and raw export.

void DataConverter::invokeSerialDataParsing(char* block, uint32_t length,
                                            ksDefines::serialContent kind) {
    // serialDataSize describes what the buffer holds, since the raw export
    // writes that many bytes from it.
    serialDataSize = block ? std::min(length, kSerialBufferSize) : 0;
    // A block handed in from the buffer itself (a frame parsed again from the
    // kept copy) must survive the zeroing below.
    const char* bufferBegin = serialBuffer.data();
    const char* bufferEnd = bufferBegin + serialBuffer.size();
    const std::less<const char*> before;
    const bool fromBuffer = block && !before(block, bufferBegin) && before(block, bufferEnd);
    if (fromBuffer)
        serialDataSize = std::min(serialDataSize, uint32_t(bufferEnd - block));
    serialtelemetry::parse(block, serialDataSize, kind, hourOffset, telemetry);
    const std::vector<char> kept =
        fromBuffer ? std::vector<char>(block, block + serialDataSize) : std::vector<char>();
    const char* source = fromBuffer ? kept.data() : block;
    std::fill(serialBuffer.begin(), serialBuffer.end(), '\0');
    if (serialDataSize > 0)
        std::memcpy(serialBuffer.data(), source, serialDataSize);
}

QString DataConverter::getSerialDataString() const {
    const char* data = serialBuffer.data();
    const void* zero = std::memchr(data, 0, serialBuffer.size());
    const size_t length =
        zero ? size_t(static_cast<const char*>(zero) - data) : serialBuffer.size();
    return QString::fromLatin1(data, int(length));
}

void DataConverter::getImageMetaData(double& latitude, double& longitude, QString& date,
                                     QString& time, double& altitude, int& satellites,
                                     float& trackHeading, float& magneticHeading,
                                     unsigned int& currentFrameNumber, QString& partNumber,
                                     float& tempHousing, float& tempFPA) {
    latitude = telemetry.latitude;
    longitude = telemetry.longitude;
    date = telemetry.date;
    time = telemetry.time;
    altitude = telemetry.altitude;
    satellites = telemetry.satellites;
    trackHeading = telemetry.trackHeading;
    magneticHeading = telemetry.magneticHeading;
    currentFrameNumber = this->currentFrameNumber;
    partNumber = this->partNumber;
    tempHousing = float(currentChunk.tempHousing);
    tempFPA = float(currentChunk.tempFPA);
}

bool DataConverter::parseNMEASerialDataBlock(char* block) {
    // The block sets the fields NMEA carries; the attitude stays as it was.
    return nmea::parseBlock(block, block ? serialDataSize : 0, hourOffset, telemetry) > 0;
}

bool DataConverter::parseGPRMCString(const QString& sentence) {
    return nmea::parseRMC(sentence, hourOffset, telemetry);
}

bool DataConverter::parseGPGGAString(const QString& sentence) {
    return nmea::parseGGA(sentence, telemetry);
}

bool DataConverter::parseGPVTGString(const QString& sentence) {
    return nmea::parseVTG(sentence, telemetry);
}

double DataConverter::nmeaToDezimal(const QString& value, bool isLongitude) {
    return nmea::nmeaToDezimal(value, isLongitude);
}

void DataConverter::parseMAVLink(char* block) {
    serialtelemetry::parseMAVLink(block, serialDataSize, telemetry);
}

bool DataConverter::parseMdDownlink(char* block) {
    return serialtelemetry::parseMdDownlink(block, serialDataSize, telemetry);
}
