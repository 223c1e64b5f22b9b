#include "conversion/Legend.h"
#include "recording/DataConverter.h"

QImage DataConverter::generateLegendForImage(QImage& image, bool showTemperatures, float resolution,
                                             bool useBiColorBounds) {
    // The strip is decoded once per colour mode and inversion, not per frame
    // of an export.
    if (!legendStripLoaded || legendStripMode != colorMode || legendStripInverted != inverted) {
        legendStrip = legend::loadLegendStrip(colorMode, inverted);
        legendStripMode = colorMode;
        legendStripInverted = inverted;
        legendStripLoaded = true;
    }
    if (legendStrip.isNull() || image.isNull())
        return QImage();

    QImage legendImage = legendStrip.scaled(legendStrip.width(), image.height(),
                                            Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QString top = QStringLiteral("high");
    QString bottom = QStringLiteral("low");
    if (showTemperatures) {
        const uint32_t upper = useBiColorBounds ? conversionParameters.upperBiColorRawValueBound
                                                : conversionParameters.upperRawValueBound;
        const uint32_t lower = useBiColorBounds ? conversionParameters.lowerBiColorRawValueBound
                                                : conversionParameters.lowerRawValueBound;
        top = legend::temperatureLabel(upper, resolution);
        bottom = legend::temperatureLabel(lower, resolution);
    }
    legend::paintLabels(legendImage, top, bottom);
    return legendImage;
}
