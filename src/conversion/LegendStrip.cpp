#include "conversion/LegendStrip.h"

#include "conversion/RGBCalculations.h"

#include <cstring>

namespace legendstrip {

QImage drawLegendStrip(unsigned colorMode, bool inverted) {
    const bool grey = colorMode == 0;
    QImage strip(kStripWidth, kStripHeight,
                 grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    strip.fill(0);
    // Window 1..640 with one raw value per row: row 0 holds the upper bound,
    // the last row the lower bound. Raw 0 is avoided because it is always
    // black, whatever the palette.
    const unsigned lower = 1;
    const unsigned upper = kStripHeight;
    RGBCalculations palette;
    for (int y = 0; y < kStripHeight; ++y) {
        const unsigned raw = upper - unsigned(y);
        unsigned r = 0, g = 0, b = 0;
        palette.generateRGB(raw, colorMode, inverted, lower, upper, false, 0, 0, 0, 255, r, g, b,
                            false);
        uchar* line = strip.scanLine(y);
        for (int x = 0; x < kBarWidth; ++x) {
            if (grey) {
                line[x] = uchar(r);
            } else {
                line[3 * x] = uchar(r);
                line[3 * x + 1] = uchar(g);
                line[3 * x + 2] = uchar(b);
            }
        }
    }
    return strip;
}

QString stripFileName(unsigned colorMode, bool inverted) {
    return QStringLiteral("640_%1_%2_black.png").arg(colorMode).arg(inverted ? 1 : 0);
}

} // namespace legendstrip
