#include "recording/DataConverter.h"

#include "base/Report.h"
#include "telemetry/Downlink.h"
#include "telemetry/MAVService.h"
#include "telemetry/Nmea.h"

#include <QDateTime>
#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>

// The serial data block of a frame: dispatched to the parser of the chosen
// kind, then kept in serialBuffer for display and raw export. The parsers work
// on the block in place and never read past serialDataSize bytes, whether or
// not the block holds a zero byte.

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
    switch (kind) {
    case ksDefines::MAVLink:
        parseMAVLink(block);
        break;
    case ksDefines::MdDownlink:
        parseMdDownlink(block);
        break;
    case ksDefines::NMEA:
        parseNMEASerialDataBlock(block);
        break;
    case ksDefines::NoSerialData:
        break;
    }
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
    const MAVService service(reinterpret_cast<unsigned char*>(block), block ? serialDataSize : 0);
    if (!service.isValid())
        return;
    telemetry.latitude = service.getLatitude();
    telemetry.longitude = service.getLongitude();
    telemetry.altitude = service.getAltitude();
    telemetry.magneticHeading = float(service.getHdg());
    telemetry.satellites = int32_t(service.getVisibleSatellites());
    telemetry.trackHeading = 0.0f;
    // The recorder's clock field is 32 bits wide: later seconds wrap.
    const QDateTime local =
        QDateTime::fromSecsSinceEpoch(qint64(uint32_t(service.getUnixTimestamp())), Qt::LocalTime);
    telemetry.date = local.toString(QStringLiteral("dd.MM.yyyy"));
    telemetry.time = local.toString(QStringLiteral("hh:mm:ss"));
}

bool DataConverter::parseMdDownlink(char* block) {
    _DLDEC dec;
    DLDInitShadow(&dec);
    size_t begin = 0;
    size_t end = 0;
    if (!findLastDownlinkFrame(block, block ? serialDataSize : 0, begin, end))
        return false;
    // The frame runs up to the next record 1, so its final line (ended by the
    // CR LF in front of that record) is decoded like the others.
    const size_t frameLength = end - begin;
    int lines = 0;
    if (!decodeDownlinkText(block + begin, frameLength, &dec, &lines)) {
        kx::consoleErr(QString::number(qulonglong(frameLength)));
        return false;
    }
    // A frame without a single complete line carries no telemetry at all.
    if (lines == 0)
        return false;
    // Without record 5 the position would be that of the Earth's centre
    // (latitude 180); the cleared position is kept instead.
    if (dec.receivedMask & (1u << 5))
        ECEF_to_WGS84(&dec, &telemetry.latitude, &telemetry.longitude);
    char text[32];
    GPS_TIME_to_Date_String(&dec, text, int(sizeof text));
    telemetry.date = QString::fromLatin1(text);
    GPS_TIME_to_Time_String(&dec, text, int(sizeof text));
    telemetry.time = QString::fromLatin1(text);
    telemetry.pitch = dec.attitude[1];
    telemetry.roll = dec.attitude[0];
    telemetry.yaw = dec.attitude[2];
    std::ostringstream attitude;
    attitude << telemetry.pitch << ' ' << telemetry.roll << ' ' << telemetry.yaw << '\n';
    kx::consoleWrite(kx::Stream::Err, QString::fromStdString(attitude.str()));
    return true;
}
