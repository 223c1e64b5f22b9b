#include "conversion/FusionOverlay.h"

#include <QPainter>
#include <cmath>

namespace kx {

FusionOverlay composeFusionOverlay(const QImage& thermal, const QImage& daylight,
                                   const FusionOverlayControls& controls) {
    FusionOverlay overlay;
    const double factor = controls.scalePercent / 100.0;
    overlay.thermalSize = QSize(int(thermal.width() / factor), int(thermal.height() / factor));
    const QImage scaled =
        thermal.scaled(overlay.thermalSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    overlay.thermalOffset =
        QPoint(int(std::floor(daylight.width() / 2.0 - scaled.width() / 2.0)),
               int(std::floor(daylight.height() / 2.0 - scaled.height() / 2.0)));
    overlay.canvas = QImage(daylight.size(), QImage::Format_ARGB32_Premultiplied);
    overlay.canvas.fill(Qt::transparent);
    QPainter painter(&overlay.canvas);
    painter.drawImage(controls.shiftX, controls.shiftY, daylight);
    painter.setOpacity(controls.opacityPercent / 100.0);
    painter.drawImage(overlay.thermalOffset, scaled);
    return overlay;
}

QPoint fusionCanvasToThermal(const QPoint& canvasPoint, const QPoint& thermalOffset,
                             double scalePercent) {
    const double factor = 100.0 / scalePercent;
    return QPoint(int((canvasPoint.x() - thermalOffset.x()) / factor),
                  int((canvasPoint.y() - thermalOffset.y()) / factor));
}

} // namespace kx
