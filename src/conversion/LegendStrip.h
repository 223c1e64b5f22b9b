#pragma once

#include <QImage>

// The colour strips that legends are cut from, one per colour mode and
// inversion: a bar of the palette at the left edge, the top row the colour of
// the upper bound and the bottom row that of the lower bound, on black. The
// build draws them with this function into the application resources, so the
// strips always show the palettes the conversion uses.
namespace legendstrip {

constexpr int kStripWidth = 61;
constexpr int kStripHeight = 640;
constexpr int kBarWidth = 10;
constexpr unsigned kColourModeCount = 4;

// Grayscale8 for colour mode 0, RGB888 for the others.
QImage drawLegendStrip(unsigned colorMode, bool inverted);

// The file name under the ":/legends/" resource prefix, e.g. "640_1_0_black.png".
QString stripFileName(unsigned colorMode, bool inverted);

} // namespace legendstrip
