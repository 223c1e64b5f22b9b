#include "conversion/FrameRenderer.h"
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
    if (image.isNull())
        return QImage();
    const ConversionParameters& window = conversionParameters;
    return kx::FrameRenderer::labelledLegend(
        legendStrip, image.height(), showTemperatures, resolution,
        useBiColorBounds ? window.lowerBiColorRawValueBound : window.lowerRawValueBound,
        useBiColorBounds ? window.upperBiColorRawValueBound : window.upperRawValueBound);
}
