#include "conversion/FrameRenderer.h"

#include "conversion/HotspotMarker.h"
#include "conversion/Legend.h"

#include <QTransform>
#include <algorithm>
#include <cstring>

namespace kx {

bool FrameRenderer::convert(const DecodedFrame& frame, const ConversionSettings& settings,
                            QImage& image, autorange::RawWindow& used) {
    if (frame.width < kMinimumFrameSide || frame.height < kMinimumFrameSide)
        return false;
    const ThermalImageConversionSet set = settings.conversionSet();
    autorange::RawWindow fromHistogram;
    if (set.autoGainEnabled)
        fromHistogram = autorange::histogramWindow(frame.raw.data(), frame.raw.size(), histogram);
    used = autorange::frameWindow(set, autorange::RawWindow(), fromHistogram, true);
    if (!used.usable())
        return false;

    const size_t width = frame.width;
    const size_t height = frame.height;
    image = QImage(int(width), int(height), QImage::Format_RGB888);
    ConversionParameters window;
    window.lowerRawValueBound = used.lower;
    window.upperRawValueBound = used.upper;
    window.lowerBiColorRawValueBound = set.biLow;
    window.upperBiColorRawValueBound = set.biHigh;
    window.biColorEnabled = set.biColorModeEnabled;
    const PaletteTable::Style style{uint32_t(set.colorMode), set.inverted, window};
    const size_t available = std::min(width * height, frame.raw.size());
    for (size_t y = 0; y < height; ++y) {
        uint8_t* line = image.scanLine(int(y));
        const size_t first = y * width;
        const size_t converted = first < available ? std::min(width, available - first) : 0;
        if (converted > 0)
            table.convert(palette, style, frame.raw.data() + first, converted, line);
        // Pixels without a raw value behind them are black.
        if (converted < width)
            std::memset(line + 3 * converted, 0, 3 * (width - converted));
    }
    return true;
}

QImage FrameRenderer::turned(const QImage& image, int degrees) {
    if (degrees == 0)
        return image;
    return image.transformed(QTransform().rotate(degrees), Qt::FastTransformation);
}

QImage FrameRenderer::legendFor(int height, const ConversionSettings& settings,
                                autorange::RawWindow used) {
    // Decoded once per colour mode and inversion, not per frame of an export.
    if (stripMode != settings.colorMode || stripInverted != settings.inverted) {
        strip = legend::loadLegendStrip(unsigned(settings.colorMode), settings.inverted);
        stripMode = settings.colorMode;
        stripInverted = settings.inverted;
    }
    const bool biColor = settings.biColorEnabled;
    return labelledLegend(strip, height, radiometry::showsTemperatures(settings.kelvinPerCount),
                          settings.kelvinPerCount, biColor ? settings.biColorLow : used.lower,
                          biColor ? settings.biColorHigh : used.upper);
}

QImage FrameRenderer::labelledLegend(const QImage& strip, int height, bool temperatures,
                                     float kelvinPerCount, uint32_t lower, uint32_t upper) {
    if (strip.isNull() || height <= 0)
        return QImage();
    QImage legendImage =
        strip.scaled(strip.width(), height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QString top = QStringLiteral("high");
    QString bottom = QStringLiteral("low");
    if (temperatures) {
        top = legend::temperatureLabel(upper, kelvinPerCount);
        bottom = legend::temperatureLabel(lower, kelvinPerCount);
    }
    legend::paintLabels(legendImage, top, bottom);
    return legendImage;
}

QPoint FrameRenderer::hotspotCentre(uint32_t column, uint32_t row) {
    return QPoint(int(column) - 1, int(row) - 1);
}

QImage FrameRenderer::finish(QImage converted, const ConversionSettings& settings,
                             autorange::RawWindow used, const std::optional<QPoint>& marker) {
    // The marker goes on before the turn so that it stays on the hot pixel,
    // the legend after it so that it stands upright beside the picture.
    if (marker)
        paintHotspotMarker(converted, marker->x(), marker->y());
    QImage picture = turned(converted, settings.rotation);
    if (settings.legendVisible)
        picture = legend::appendLegend(picture, legendFor(picture.height(), settings, used));
    return picture;
}

bool FrameRenderer::renderConverted(const DecodedFrame& frame, const ConversionSettings& settings,
                                    bool markHotspot, QImage& picture) {
    autorange::RawWindow used;
    if (!convert(frame, settings, picture, used))
        return false;
    if (markHotspot) {
        const QPoint centre = hotspotCentre(frame.hotspotColumn, frame.hotspotRow);
        paintHotspotMarker(picture, centre.x(), centre.y());
    }
    return true;
}

bool FrameRenderer::render(const DecodedFrame& frame, const ConversionSettings& settings,
                           bool markHotspot, QImage& picture) {
    QImage image;
    autorange::RawWindow used;
    if (!convert(frame, settings, image, used))
        return false;
    std::optional<QPoint> marker;
    if (markHotspot)
        marker = hotspotCentre(frame.hotspotColumn, frame.hotspotRow);
    picture = finish(std::move(image), settings, used, marker);
    return true;
}

} // namespace kx
