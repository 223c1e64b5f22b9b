#include "conversion/AutoRange.h"
#include "conversion/FrameRenderer.h"
#include "recording/DataConverter.h"

#include <algorithm>
#include <cstring>

void DataConverter::setRawFrame(std::vector<uint16_t> values, uint32_t width, uint32_t height) {
    rawBuffer = std::move(values);
    imageWidth = width;
    imageHeight = height;
}

void DataConverter::sizeCanvas(QImage& image, int width, int height) {
    if (!image.isNull() && image.width() == width && image.height() == height)
        return;
    image = QImage(width, height, QImage::Format_RGB888);
    // Zero bytes are black; fill() with a colour paints 24-bit pictures
    // through a painter too.
    if (!image.isNull())
        std::memset(image.bits(), 0, size_t(image.sizeInBytes()));
}

bool DataConverter::processRawData(QImage& image) {
    if (conversionParameters.lowerRawValueBound >= conversionParameters.upperRawValueBound)
        return false;
    // The pixels are written as packed RGB triples; an image of another format
    // is converted first instead of being overwritten byte by byte.
    if (!image.isNull() && image.format() != QImage::Format_RGB888)
        image = image.convertToFormat(QImage::Format_RGB888);

    const size_t width = size_t(std::max(image.width(), 0));
    const size_t height = size_t(std::max(image.height(), 0));
    const size_t available = std::min(width * height, rawBuffer.size());
    const PaletteTable::Style style{colorMode, inverted, conversionParameters};
    for (size_t y = 0; y < height; ++y) {
        uint8_t* line = image.scanLine(int(y));
        const size_t first = y * width;
        const size_t converted = first < available ? std::min(width, available - first) : 0;
        if (converted > 0)
            paletteTable.convert(rgbCalculations, style, rawBuffer.data() + first, converted, line);
        // Pixels without a raw value behind them are black.
        if (converted < width)
            std::memset(line + 3 * converted, 0, 3 * (width - converted));
    }
    return true;
}

bool DataConverter::changeImageParameters(unsigned lower, unsigned upper, int colorModeIndex,
                                          bool biColorEnabled, unsigned biLow, unsigned biHigh,
                                          bool invertedColours, QImage& image) {
    conversionParameters.lowerRawValueBound = lower;
    conversionParameters.upperRawValueBound = upper;
    colorMode = uint32_t(colorModeIndex);
    conversionParameters.biColorEnabled = biColorEnabled;
    conversionParameters.lowerBiColorRawValueBound = biLow;
    conversionParameters.upperBiColorRawValueBound = biHigh;
    inverted = invertedColours;
    return processRawData(image);
}

bool DataConverter::autoGenerateImageParameters(QImage& image, int& lower, int& upper) {
    resetProcessingParameters();
    createHistogram(&rawBuffer);
    const bool ok = processRawData(image);
    lower = int(conversionParameters.lowerRawValueBound);
    upper = int(conversionParameters.upperRawValueBound);
    return ok;
}

void DataConverter::createHistogram(const std::vector<uint16_t>* raw) {
    const autorange::RawWindow window =
        raw != nullptr ? autorange::histogramWindow(raw->data(), raw->size(), histogram)
                       : autorange::histogramWindow(nullptr, 0, histogram);
    conversionParameters.lowerRawValueBound = window.lower;
    conversionParameters.upperRawValueBound = window.upper;
}

bool DataConverter::checkImageParameters() const {
    return imageHeight >= kx::FrameRenderer::kMinimumFrameSide &&
           imageWidth >= kx::FrameRenderer::kMinimumFrameSide;
}

float DataConverter::scaleF(float value, float inLow, float inHigh, float outLow, float outHigh) {
    return autorange::scaleF(value, inLow, inHigh, outLow, outHigh);
}

unsigned DataConverter::scaleWithMiddle(unsigned value, unsigned low, unsigned high,
                                        unsigned middle, unsigned outLow, unsigned outHigh) {
    scaleMiddleValue = middle;
    return autorange::scaleWithMiddle(value, low, high, middle, outLow, outHigh);
}

unsigned DataConverter::histogramEquilisation(unsigned char* in, unsigned char* out, unsigned width,
                                              unsigned height) {
    return autorange::histogramEquilisation(in, out, width, height);
}

void DataConverter::applyConversionStyle(const ThermalImageConversionSet& set) {
    colorMode = uint32_t(set.colorMode);
    inverted = set.inverted;
    conversionParameters.biColorEnabled = set.biColorModeEnabled;
    conversionParameters.lowerBiColorRawValueBound = set.biLow;
    conversionParameters.upperBiColorRawValueBound = set.biHigh;
}

bool DataConverter::convertDecodedFrame(QImage& image, ThermalImageConversionSet& set,
                                        bool movieFrame) {
    if (!checkImageParameters())
        return false;
    const int width = int(imageWidth);
    const int height = int(imageHeight);
    sizeCanvas(image, width, height);
    if (image.format() != QImage::Format_RGB888)
        image = image.convertToFormat(QImage::Format_RGB888);

    const autorange::RawWindow previous{conversionParameters.lowerRawValueBound,
                                        conversionParameters.upperRawValueBound};
    autorange::RawWindow fromHistogram;
    if (set.autoGainEnabled)
        fromHistogram = autorange::histogramWindow(rawBuffer.data(), rawBuffer.size(), histogram);
    const autorange::RawWindow window =
        autorange::frameWindow(set, previous, fromHistogram, movieFrame);
    conversionParameters.lowerRawValueBound = window.lower;
    conversionParameters.upperRawValueBound = window.upper;

    const bool ok = processRawData(image);
    set.lowerBound = conversionParameters.lowerRawValueBound;
    set.upperBound = conversionParameters.upperRawValueBound;
    return ok;
}
