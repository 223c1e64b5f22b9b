#pragma once

#include <QString>
#include <cstdint>

// Raw counts, kelvin and degrees Celsius in one place. The Tau core's T-linear
// modes deliver counts proportional to the scene temperature in kelvin; without
// radiometry the legend still scales by a nominal step so that "high" and "low"
// stay apart. The float/double mix of each formula is kept exactly: exported
// values and thresholds of earlier versions must come out the same.
namespace kx::radiometry {

constexpr double kKelvinOffset = 273.15;

// The radiometry option of the settings: 0 none, 1 T-linear high gain, 2 low gain.
enum TLinearOption { NoRadiometry = 0, HighGain = 1, LowGain = 2 };
constexpr float kHighGainKelvinPerCount = 0.04f;
constexpr float kLowGainKelvinPerCount = 0.4f;
constexpr float kNominalKelvinPerCount = 4.0f;
// The range dialog computes in double with the exact decimal steps, not with
// their float values; its labels and thresholds depend on that.
constexpr double kHighGainKelvinPerCountExact = 0.04;
constexpr double kLowGainKelvinPerCountExact = 0.4;

// Kelvin per count for an option; any other option gives the nominal step.
float kelvinPerCount(int option);
// Whether a step means real temperatures (the T-linear modes).
inline bool showsTemperatures(float kelvinPerCount) {
    return kelvinPerCount < 1.0f;
}

// Degrees Celsius of a raw count under a T-linear step (product in float).
double celsiusFromRaw(unsigned raw, float kelvinPerCount);
// Degrees Celsius of a raw count under the Planck model with the user's
// constants B, O, R1 and R2.
double planckCelsius(unsigned raw, float B, float O, float R1, float R2);

// The raw value for a temperature in degrees Celsius under a T-linear text:
// "high" 0.04 K per count, "low" 0.4 K, anything else the number itself. The
// sum with 273.15 is formed in double, narrowed to float and divided in float,
// then truncated toward zero; the result is held to the 14-bit raw range.
int32_t rawForCelsius(float celsius, const QString& tLinear);

// The Planck constants the user sets; the defaults fit a Tau 2 core.
struct PlanckConstants {
    double B = 1600.0;
    double O = -5030.0;
    double R1 = 16030.0;
    double R2 = 0.0953;
};

} // namespace kx::radiometry
