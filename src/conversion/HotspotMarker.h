#pragma once

#include <QPaintDevice>

// The hot-spot marker that the viewer and the exported pictures share: a
// 20 x 20 square outline centred on the hot spot, drawn with a black pen 3
// pixels wide, and a 22 x 22 outline one pixel outside it in white, 1 pixel
// wide, so that it shows on dark and on bright palettes alike.
namespace kx {
void paintHotspotMarker(QPaintDevice& device, int x, int y);
} // namespace kx
