#include "conversion/HotspotMarker.h"

#include <QPainter>
#include <QPen>

namespace kx {

void paintHotspotMarker(QPaintDevice& device, int cx, int cy) {
    QPainter painter(&device);
    QPen pen(Qt::black, 3, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawRect(cx - 10, cy - 10, 20, 20);
    pen.setColor(Qt::white);
    pen.setWidth(1);
    painter.setPen(pen);
    painter.drawRect(cx - 11, cy - 11, 22, 22);
}

} // namespace kx
