#include "recording/DataConverter.h"

#include "base/PartNumber.h"
#include "base/Radiometry.h"

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
    return kx::radiometry::celsiusFromRaw(getRawForPixel(x, y), resolution);
}

double DataConverter::getTemperatureForPixel(unsigned x, unsigned y, float B, float O, float R1,
                                             float R2) const {
    // A pixel outside the frame reads as raw 0 here too, instead of reading
    // past the buffer.
    return kx::radiometry::planckCelsius(getRawForPixel(x, y), B, O, R1, R2);
}

bool DataConverter::isTau2(const QString& partNumber) {
    return kx::partnumber::isTau2(partNumber);
}

int DataConverter::focalLengthFromPartNumber(const QString& partNumber) {
    return kx::partnumber::focalLengthMM(partNumber);
}

void DataConverter::sensorSizeMMFromPartNumber(const QString& partNumber, float& width,
                                               float& height) {
    kx::partnumber::sensorSizeMM(partNumber, width, height);
}
