#pragma once

#include "base/DecodedFrame.h"
#include "conversion/AutoRange.h"
#include "conversion/ConversionSettings.h"
#include "conversion/PaletteTable.h"
#include "conversion/RGBCalculations.h"

#include <QImage>
#include <QPoint>
#include <optional>

namespace kx {

// From a decoded frame and the conversion settings to the picture that is
// written and shown: the palette over the frame's raw window, the hot-spot
// marker, the turn and the legend. A renderer keeps only caches (the colour table of the
// last window, the legend strip), so each thread of an export owns one and
// the results never depend on the frame rendered before.
class FrameRenderer {
public:
    // Frames smaller than this in either direction are not converted.
    static constexpr uint32_t kMinimumFrameSide = 10;

    // The frame in the palette of the settings, 24-bit RGB, at the frame's
    // size. The window is the settings' manual one or the frame's histogram
    // window, never smoothed against another frame. False when the frame is
    // too small or the window is not usable (lower >= upper).
    bool convert(const DecodedFrame& frame, const ConversionSettings& settings, QImage& image,
                 autorange::RawWindow& used);

    // The converted frame with the marker when asked, not turned, no legend.
    bool renderConverted(const DecodedFrame& frame, const ConversionSettings& settings,
                         bool markHotspot, QImage& picture);

    // The converted picture as exported: the marker on the hot pixel when
    // asked, then the turn, then the legend beside it (upright).
    bool render(const DecodedFrame& frame, const ConversionSettings& settings, bool markHotspot,
                QImage& picture);

    // A picture converted already (by this renderer or by the viewer's
    // converter) finished the way render() finishes it: the marker centred on
    // `marker` of the unturned picture when given, the turn, and the legend
    // when the settings show it, labelled with `used`.
    QImage finish(QImage converted, const ConversionSettings& settings, autorange::RawWindow used,
                  const std::optional<QPoint>& marker);

    // The marker's centre for the hot spot as the decoder counts it (column
    // and row from 1): the hot pixel itself.
    static QPoint hotspotCentre(uint32_t column, uint32_t row);

    // The picture turned by degrees clockwise; every pixel stays a copy of a
    // frame pixel and a quarter turn swaps width and height exactly.
    static QImage turned(const QImage& image, int degrees);
    // The legend strip for a picture of the given height, labelled with the
    // window used (or the bi-colour window while bi-colour is on).
    QImage legendFor(int height, const ConversionSettings& settings, autorange::RawWindow used);
    // A legend strip squeezed to `height` rows and labelled: the bounds in
    // degrees Celsius at kelvinPerCount when temperatures are shown, else
    // "high" and "low". Null when the strip or the height is.
    static QImage labelledLegend(const QImage& strip, int height, bool temperatures,
                                 float kelvinPerCount, uint32_t lower, uint32_t upper);

private:
    RGBCalculations palette;
    PaletteTable table;
    autorange::Histogram histogram{};
    QImage strip;
    int stripMode = -1;
    bool stripInverted = false;
};

} // namespace kx
