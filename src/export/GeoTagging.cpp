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

} // namespace kx::geotag
