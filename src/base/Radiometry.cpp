#include "base/Radiometry.h"

#include <cmath>

namespace kx::radiometry {

float kelvinPerCount(int option) {
    switch (option) {
    case HighGain:
        return kHighGainKelvinPerCount;
    case LowGain:
        return kLowGainKelvinPerCount;
    default:
        return kNominalKelvinPerCount;
    }
}

double celsiusFromRaw(unsigned raw, float kelvinPerCount) {
    const float kelvin = float(raw) * kelvinPerCount;
    return double(float(double(kelvin) - kKelvinOffset));
}

double planckCelsius(unsigned raw, float B, float O, float R1, float R2) {
    const float aboveOffset = float(raw) + O;
    const float quotient = R1 / (aboveOffset * R2) + 1.0f;
    return double(B) / std::log(double(quotient)) - kKelvinOffset;
}

int32_t rawForCelsius(float celsius, const QString& tLinear) {
    float raw = 0.0f;
    if (tLinear == QLatin1String("high"))
        raw = float(double(celsius) + kKelvinOffset) / kHighGainKelvinPerCount;
    else if (tLinear == QLatin1String("low"))
        raw = float(double(celsius) + kKelvinOffset) / kLowGainKelvinPerCount;
    else
        raw = celsius;
    raw = std::trunc(raw);
    // Converting a float outside the int range is undefined; raw values are
    // 14-bit counts anyway, so anything outside is held to the ends.
    if (!(raw >= 0.0f))
        return 0;
    if (raw > 16383.0f)
        return 16383;
    return int32_t(raw);
}

} // namespace kx::radiometry
