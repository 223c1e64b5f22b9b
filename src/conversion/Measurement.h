#pragma once

#include "base/DecodedFrame.h"
#include "base/Radiometry.h"

#include <QPoint>
#include <QPointF>
#include <QString>
#include <QTransform>
#include <array>
#include <cstdint>
#include <vector>

// Spot, box and line measurements over a decoded frame. Every tool is held in
// frame coordinates (column and row from 0, as the raw buffer stores them), so
// zoom, dragging and the rotation of the view only map coordinates on screen
// and never change what a tool covers.
namespace kx::measure {

enum class Kind { Spot, Box, Line };

struct Tool {
    Kind kind = Kind::Spot;
    QPoint from; // the spot itself, a box corner or the line's start
    QPoint to;   // the opposite box corner or the line's end; unused by a spot
    QString label;
};

// How a raw count is turned into the value shown: raw counts without
// radiometry, degrees Celsius in a T-linear mode or under the Planck model.
class Scale {
public:
    enum class Mode { Raw, TLinear, Planck };
    static Scale raw();
    static Scale tLinear(float kelvinPerCount);
    static Scale planck(const radiometry::PlanckConstants& constants);

    Mode mode() const { return m_mode; }
    // "raw" or "°C".
    QString unit() const;
    // The value of a count above the 14 bits is that of 16383; a count below
    // the Planck offset has none (not finite) and is left out of statistics.
    double value(uint16_t raw) const { return m_table[raw < kCounts ? raw : kCounts - 1]; }
    // Raw counts are whole numbers; temperatures are shown to 0.01 degrees.
    QString format(double value) const;

private:
    static constexpr size_t kCounts = 16384;
    Mode m_mode = Mode::Raw;
    std::vector<double> m_table; // value per 14-bit count, formed once
};

struct Statistics {
    int pixels = 0; // pixels inside the frame that have a value
    double min = 0.0;
    double max = 0.0;
    double mean = 0.0;
    // The first pixel (row by row for a box, from the start for a line) that
    // holds the minimum or the maximum.
    QPoint minAt;
    QPoint maxAt;
    bool valid() const { return pixels > 0; }
};

// The pixels of a line from one end to the other, by Bresenham's algorithm:
// each step moves one pixel along the major axis, so every pixel is visited
// once and the ends are included. Pixels outside the frame are not dropped.
std::vector<QPoint> linePixels(const QPoint& from, const QPoint& to);

// The statistics of a tool over a frame; a tool wholly outside the frame (a
// frame of another size) gives invalid statistics.
Statistics measure(const DecodedFrame& frame, const Tool& tool, const Scale& scale);
Statistics measure(const uint16_t* raw, uint32_t width, uint32_t height, const Tool& tool,
                   const Scale& scale);

// Frame coordinates (pixel (x, y) covers x to x + 1) to those of the frame
// turned by rotation degrees (0, 90, 180 or -90, as the view turns it; any
// other angle is taken as 0), and back to the pixel under a turned point.
QTransform frameToCanvas(int rotation, int width, int height);
QPoint canvasToFrame(int rotation, int width, int height, const QPointF& canvasPoint);

// "S1 (12, 40)", "B2 (10, 10)-(209, 209)", "L3 (0, 5)-(100, 80)".
QString describe(const Tool& tool);

// The clipboard table: a header line, then one line per tool, tab-separated,
// values in the scale's unit, lines ended by "\n".
QString table(const std::vector<Tool>& tools, const std::vector<Statistics>& statistics,
              const Scale& scale);

} // namespace kx::measure
