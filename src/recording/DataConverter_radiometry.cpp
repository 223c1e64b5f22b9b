#include "recording/DataConverter.h"

#include <cmath>

namespace {

constexpr double kKelvinToCelsiusOffset = 273.15;

// Tau 2 part numbers: "46" or "48", then the sensor code at positions 2 to 4
// and the focal length in mm at positions 5 to 7.
constexpr int kSensorCodePosition = 2;
constexpr int kFocalLengthPosition = 5;
constexpr int kFieldLength = 3;

// The three-digit field at position, or false when the text is too short to
// hold it or the field is not a decimal number. QStringView never reads past
// the text, whatever its length or content.
bool readNumberField(const QString& partNumber, int position, int& value) {
    if (partNumber.size() < position + kFieldLength)
        return false;
    bool ok = false;
    const int parsed = partNumber.midRef(position, kFieldLength).toInt(&ok, 10);
    if (!ok)
        return false;
    value = parsed;
    return true;
}

} // namespace

bool DataConverter::isPixelWithinData(unsigned x, unsigned y) const {
    // Unsigned 32-bit index arithmetic, as every caller computes it.
    const uint32_t index = uint32_t(y) * imageWidth + uint32_t(x);
    return index < rawBuffer.size();
}

unsigned DataConverter::getRawForPixel(unsigned x, unsigned y) const {
    const uint32_t index = uint32_t(y) * imageWidth + uint32_t(x);
    return index < rawBuffer.size() ? rawBuffer[index] : 0u;
}

double DataConverter::getTemperatureForPixel(unsigned x, unsigned y, float resolution) const {
    const float kelvin = float(getRawForPixel(x, y)) * resolution;
    return double(float(double(kelvin) - kKelvinToCelsiusOffset));
}

double DataConverter::getTemperatureForPixel(unsigned x, unsigned y, float B, float O, float R1,
                                             float R2) const {
    // A pixel outside the frame reads as raw 0 here too, instead of reading
    // past the buffer.
    const float aboveOffset = float(getRawForPixel(x, y)) + O;
    const float quotient = R1 / (aboveOffset * R2) + 1.0f;
    return double(B) / std::log(double(quotient)) - kKelvinToCelsiusOffset;
}

bool DataConverter::isTau2(const QString& partNumber) {
    return partNumber.startsWith(QLatin1String("46")) || partNumber.startsWith(QLatin1String("48"));
}

int DataConverter::focalLengthFromPartNumber(const QString& partNumber) {
    if (!isTau2(partNumber))
        return 1;
    int focalLengthMM = 0;
    return readNumberField(partNumber, kFocalLengthPosition, focalLengthMM) ? focalLengthMM : 0;
}

void DataConverter::sensorSizeMMFromPartNumber(const QString& partNumber, float& width,
                                               float& height) {
    int code = 0;
    if (!isTau2(partNumber) || !readNumberField(partNumber, kSensorCodePosition, code))
        return;
    switch (code) {
    case 324:
        width = 8.1f;
        height = 6.4f;
        break;
    case 336:
        width = 5.712f;
        height = 4.352f;
        break;
    case 640:
        width = 10.88f;
        height = 8.704f;
        break;
    default:
        break;
    }
}
