#include "telemetry/SerialTelemetry.h"

#include "base/Report.h"
#include "telemetry/Downlink.h"
#include "telemetry/MAVService.h"
#include "telemetry/Nmea.h"

#include <QDateTime>
#include <sstream>

namespace serialtelemetry {

void parse(char* block, uint32_t length, ksDefines::serialContent kind, int hourOffset,
           kx::Telemetry& telemetry) {
    switch (kind) {
    case ksDefines::MAVLink:
        parseMAVLink(block, length, telemetry);
        break;
    case ksDefines::MdDownlink:
        parseMdDownlink(block, length, telemetry);
        break;
    case ksDefines::NMEA:
        nmea::parseBlock(block, block ? length : 0, hourOffset, telemetry);
        break;
    case ksDefines::NoSerialData:
        break;
    }
}

bool parseMAVLink(char* block, uint32_t length, kx::Telemetry& telemetry) {
    const MAVService service(reinterpret_cast<unsigned char*>(block), block ? length : 0);
    if (!service.isValid())
        return false;
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
    return true;
}

bool parseMdDownlink(const char* block, uint32_t length, kx::Telemetry& telemetry) {
    _DLDEC dec;
    DLDInitShadow(&dec);
    size_t begin = 0;
    size_t end = 0;
    if (!findLastDownlinkFrame(block, block ? length : 0, begin, end))
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

} // namespace serialtelemetry
