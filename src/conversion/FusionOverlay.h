#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>

// The picture of a fusion recording: the thermal frame, scaled, centred on the
// daylight picture and blended over it. The four controls of the window are
// plain values here so the window, the tests and any export compose alike.
namespace kx {

struct FusionOverlayControls {
    int opacityPercent = 50; // of the thermal picture, 0 to 100
    int shiftX = -36;        // daylight picture against the canvas, pixels
    int shiftY = -20;
    double scalePercent = 49.0; // the thermal picture is drawn at 100 / scale times its size
};

struct FusionOverlay {
    QImage canvas;        // the daylight picture's size
    QPoint thermalOffset; // top-left of the scaled thermal picture on the canvas
    QSize thermalSize;    // the scaled thermal picture
};

// thermal and daylight are already turned by the rotation setting.
FusionOverlay composeFusionOverlay(const QImage& thermal, const QImage& daylight,
                                   const FusionOverlayControls& controls);

// The thermal pixel (in the turned thermal picture) under a canvas point; may
// lie outside the picture.
QPoint fusionCanvasToThermal(const QPoint& canvasPoint, const QPoint& thermalOffset,
                             double scalePercent);

} // namespace kx
