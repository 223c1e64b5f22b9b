#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

// Legend strips from the application resources and the helpers that turn a
// strip into the legend beside a converted image.
namespace legend {

// ":/legends/640_<mode>_<inverted>_black.png"; the same strips serve every
// sensor size.
QString legendResourceName(unsigned colorMode, bool inverted);

// The strip for a colour mode and inversion, or a null image when there is
// none (colour modes above 3).
QImage loadLegendStrip(unsigned colorMode, bool inverted);

// The label of a raw bound: degrees Celsius with one decimal.
QString temperatureLabel(uint32_t rawBound, float resolution);

// Paints the two labels onto a legend: white, the painter's default font, the
// top label's baseline at (13, 15) and the bottom one's at (13, height - 8).
void paintLabels(QImage& legend, const QString& top, const QString& bottom);

// The image widened by the legend at its right edge, in the image's format.
// A null image gives a null result; a null legend adds no width.
QImage appendLegend(const QImage& image, const QImage& legend);

} // namespace legend
