#include "export/GeoTagging.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kx::geotag {

bool hasUsablePosition(const Telemetry& telemetry) {
    return std::isfinite(telemetry.latitude) && std::isfinite(telemetry.longitude) &&
           std::fabs(telemetry.latitude) <= 90.0 && std::fabs(telemetry.longitude) <= 180.0;
}

Dms splitDegrees(double degrees, double secondsScale) {
    Dms dms;
    const double value = std::fabs(degrees);
    if (!std::isfinite(value) || value > 360.0)
        return dms;
    const double whole = std::floor(value);
    const double fraction = value - whole;
    dms.degrees = uint32_t(whole);
    dms.minutes = std::min(uint32_t(fraction * 60.0), 59u);
    const double seconds = (fraction - dms.minutes / 60.0) * 60.0 * 60.0 * secondsScale;
    const double limit = 60.0 * secondsScale - 1.0;
    dms.scaledSeconds = uint32_t(std::clamp(seconds, 0.0, limit));
    return dms;
}

uint32_t scaledMagnitude(double value, double scale) {
    const double scaled = std::fabs(value) * scale;
    if (!std::isfinite(scaled))
        return 0;
    return scaled >= double(std::numeric_limits<uint32_t>::max())
               ? std::numeric_limits<uint32_t>::max()
               : uint32_t(scaled);
}

int focalLengthIn35mm(uint32_t frameWidth, double focalLengthMM) {
    switch (frameWidth) {
    case 324:
        return int(focalLengthMM * 4.2);
    case 336:
        return int(focalLengthMM * 6);
    case 640:
        return int(focalLengthMM * 3.1);
    default:
        return 0;
    }
}

QByteArray exifDate(const QString& date) {
    if (date.size() != 10)
        return QByteArray();
    const QByteArray d = date.toLatin1();
    if (d[2] == '.' && d[5] == '.')
        return d.right(4) + ':' + d.mid(3, 2) + ':' + d.left(2);
    if (d[4] == '-' && d[7] == '-')
        return QByteArray(d).replace('-', ':');
    return QByteArray();
}

QByteArray exifDateTime(const Telemetry& telemetry) {
    const QByteArray date = exifDate(telemetry.date);
    const QByteArray time = telemetry.time.toLatin1().replace('.', ':');
    if (date.isEmpty() || time.size() != 8)
        return QByteArray();
    return date + ' ' + time;
}

} // namespace kx::geotag
