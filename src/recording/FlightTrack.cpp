#include "recording/FlightTrack.h"

#include "recording/FrameHeader.h"
#include "telemetry/Downlink.h"
#include "telemetry/Nmea.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace flighttrack {

namespace {

constexpr double kEarthRadiusM = 6371008.8; // mean radius
constexpr double kPi = 3.14159265358979323846;

Position fromMdDownlink(const char* data, size_t length) {
    Position position;
    size_t begin = 0;
    size_t end = 0;
    if (!findLastDownlinkFrame(data, length, begin, end))
        return position;
    _DLDEC dec;
    DLDInitShadow(&dec);
    int lines = 0;
    if (!decodeDownlinkText(data + begin, end - begin, &dec, &lines) || lines == 0 ||
        !(dec.receivedMask & (1u << 5)))
        return position;
    ECEF_to_WGS84(&dec, &position.latitude, &position.longitude);
    position.valid = true;
    return position;
}

} // namespace

Position BlockReader::read(const char* data, size_t length) {
    Position position;
    if (!data || length == 0)
        return position;
    switch (m_kind) {
    case ksDefines::NMEA: {
        m_scratch.assign(data, data + length);
        nmea::NmeaFields fields;
        if (nmea::parseBlock(m_scratch.data(), uint32_t(length), m_hourOffset, fields) > 0 &&
            (fields.latitude != 0.0 || fields.longitude != 0.0)) {
            position.latitude = fields.latitude;
            position.longitude = fields.longitude;
            position.altitude = fields.altitude;
            position.valid = true;
        }
        break;
    }
    case ksDefines::MAVLink: {
        const MAVService service(reinterpret_cast<const unsigned char*>(data), length, m_mavlink);
        if (service.isValid()) {
            position.latitude = service.getLatitude();
            position.longitude = service.getLongitude();
            position.altitude = service.getAltitude();
            position.valid = true;
        }
        break;
    }
    case ksDefines::MdDownlink: {
        const DownlinkConsoleSilence quiet;
        position = fromMdDownlink(data, length);
        break;
    }
    case ksDefines::NoSerialData:
        break;
    }
    return position;
}

bool readTrack(QIODevice& device, const std::vector<uint64_t>& offsets,
               const std::vector<int64_t>& sizes, int version, ksDefines::serialContent kind,
               std::vector<Position>& out, const std::atomic<bool>* cancel) {
    out.clear();
    FrameHeaderLayout layout;
    if (kind == ksDefines::NoSerialData || !frameheader::layoutForVersion(version, layout) ||
        layout.serialLength == 0)
        return false;
    BlockReader reader(kind);
    std::vector<Position> track(offsets.size());
    std::vector<char> block(layout.serialLength);
    for (size_t i = 0; i < offsets.size(); ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        // A frame cut short holds only part of its block, or none of it.
        const int64_t frameSize = i < sizes.size() ? sizes[i] : 0;
        const int64_t available =
            std::min<int64_t>(int64_t(layout.serialLength), frameSize - layout.serialOffset);
        if (available <= 0 || !device.seek(qint64(offsets[i] + layout.serialOffset)))
            continue;
        const qint64 got = device.read(block.data(), available);
        if (got <= 0)
            continue;
        track[i] = reader.read(block.data(), size_t(got));
    }
    out = std::move(track);
    return true;
}

LocalPoint toLocal(double latitude, double longitude, double referenceLatitude,
                   double referenceLongitude) {
    const double radPerDeg = kPi / 180.0;
    LocalPoint point;
    point.north = (latitude - referenceLatitude) * radPerDeg * kEarthRadiusM;
    point.east = (longitude - referenceLongitude) * radPerDeg * kEarthRadiusM *
                 std::cos(referenceLatitude * radPerDeg);
    return point;
}

void fromLocal(const LocalPoint& point, double referenceLatitude, double referenceLongitude,
               double& latitude, double& longitude) {
    const double degPerRad = 180.0 / kPi;
    latitude = referenceLatitude + point.north / kEarthRadiusM * degPerRad;
    const double cosLat = std::cos(referenceLatitude / degPerRad);
    longitude = referenceLongitude +
                (cosLat > 1e-12 ? point.east / (kEarthRadiusM * cosLat) * degPerRad : 0.0);
}

int nearestFrame(const std::vector<Position>& track, double latitude, double longitude) {
    int best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < track.size(); ++i) {
        if (!track[i].valid)
            continue;
        const LocalPoint p = toLocal(track[i].latitude, track[i].longitude, latitude, longitude);
        const double distance = p.east * p.east + p.north * p.north;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(i) + 1;
        }
    }
    return best;
}

} // namespace flighttrack
