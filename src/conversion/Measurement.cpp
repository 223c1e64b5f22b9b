#include "conversion/Measurement.h"

#include <QRect>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kx::measure {

Scale Scale::raw() {
    Scale scale;
    scale.m_mode = Mode::Raw;
    scale.m_table.resize(kCounts);
    for (size_t count = 0; count < kCounts; ++count)
        scale.m_table[count] = double(count);
    return scale;
}

Scale Scale::tLinear(float kelvinPerCount) {
    Scale scale;
    scale.m_mode = Mode::TLinear;
    scale.m_table.resize(kCounts);
    // The read-out's own formula, so a spot shows what the pointer shows.
    for (size_t count = 0; count < kCounts; ++count)
        scale.m_table[count] = radiometry::celsiusFromRaw(unsigned(count), kelvinPerCount);
    return scale;
}

Scale Scale::planck(const radiometry::PlanckConstants& constants) {
    Scale scale;
    scale.m_mode = Mode::Planck;
    scale.m_table.resize(kCounts);
    for (size_t count = 0; count < kCounts; ++count)
        scale.m_table[count] =
            radiometry::planckCelsius(unsigned(count), float(constants.B), float(constants.O),
                                      float(constants.R1), float(constants.R2));
    return scale;
}

QString Scale::unit() const {
    return m_mode == Mode::Raw ? QStringLiteral("raw") : QStringLiteral("\u00B0C");
}

QString Scale::format(double value) const {
    return QString::number(value, 'f', m_mode == Mode::Raw ? 0 : 2);
}

std::vector<QPoint> linePixels(const QPoint& from, const QPoint& to) {
    const int dx = std::abs(to.x() - from.x());
    const int dy = -std::abs(to.y() - from.y());
    const int stepX = from.x() < to.x() ? 1 : -1;
    const int stepY = from.y() < to.y() ? 1 : -1;
    std::vector<QPoint> pixels;
    pixels.reserve(size_t(std::max(dx, -dy)) + 1);
    int x = from.x();
    int y = from.y();
    int error = dx + dy;
    for (;;) {
        pixels.emplace_back(x, y);
        if (x == to.x() && y == to.y())
            break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
    return pixels;
}

namespace {

class Accumulator {
public:
    explicit Accumulator(const Scale& scale)
        : m_scale(scale) {}
    void add(uint16_t raw, int x, int y) {
        const double value = m_scale.value(raw);
        if (!std::isfinite(value))
            return;
        if (m_stats.pixels == 0 || value < m_stats.min) {
            m_stats.min = value;
            m_stats.minAt = QPoint(x, y);
        }
        if (m_stats.pixels == 0 || value > m_stats.max) {
            m_stats.max = value;
            m_stats.maxAt = QPoint(x, y);
        }
        m_sum += value;
        ++m_stats.pixels;
    }
    Statistics result() {
        if (m_stats.pixels > 0)
            m_stats.mean = m_sum / m_stats.pixels;
        return m_stats;
    }

private:
    const Scale& m_scale;
    Statistics m_stats;
    double m_sum = 0.0;
};

} // namespace

Statistics measure(const uint16_t* raw, uint32_t width, uint32_t height, const Tool& tool,
                   const Scale& scale) {
    Accumulator acc(scale);
    if (!raw || width == 0 || height == 0)
        return acc.result();
    const QRect frame(0, 0, int(width), int(height));
    switch (tool.kind) {
    case Kind::Spot:
        if (frame.contains(tool.from))
            acc.add(raw[size_t(tool.from.y()) * width + size_t(tool.from.x())], tool.from.x(),
                    tool.from.y());
        break;
    case Kind::Box: {
        const QRect box = QRect(tool.from, tool.to).normalized().intersected(frame);
        for (int y = box.top(); y <= box.bottom(); ++y) {
            const uint16_t* row = raw + size_t(y) * width;
            for (int x = box.left(); x <= box.right(); ++x)
                acc.add(row[x], x, y);
        }
        break;
    }
    case Kind::Line:
        for (const QPoint& p : linePixels(tool.from, tool.to))
            if (frame.contains(p))
                acc.add(raw[size_t(p.y()) * width + size_t(p.x())], p.x(), p.y());
        break;
    }
    return acc.result();
}

Statistics measure(const DecodedFrame& frame, const Tool& tool, const Scale& scale) {
    if (!frame.isValid())
        return Statistics();
    return measure(frame.raw.data(), frame.width, frame.height, tool, scale);
}

QTransform frameToCanvas(int rotation, int width, int height) {
    switch (rotation) {
    case 90:
        return QTransform(0, 1, -1, 0, height, 0);
    case 180:
        return QTransform(-1, 0, 0, -1, width, height);
    case -90:
        return QTransform(0, -1, 1, 0, 0, width);
    default:
        return QTransform();
    }
}

QPoint canvasToFrame(int rotation, int width, int height, const QPointF& canvasPoint) {
    const QPointF p = frameToCanvas(rotation, width, height).inverted().map(canvasPoint);
    return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
}

namespace {

QString point(const QPoint& p) {
    return QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y());
}

QString kindName(Kind kind) {
    switch (kind) {
    case Kind::Spot:
        return QStringLiteral("Spot");
    case Kind::Box:
        return QStringLiteral("Box");
    case Kind::Line:
        return QStringLiteral("Line");
    }
    return QString();
}

} // namespace

QString describe(const Tool& tool) {
    QString text = tool.label + QLatin1Char(' ') + point(tool.from);
    if (tool.kind != Kind::Spot)
        text += QLatin1Char('-') + point(tool.to);
    return text;
}

QString table(const std::vector<Tool>& tools, const std::vector<Statistics>& statistics,
              const Scale& scale) {
    const QString unit = QStringLiteral(" [") + scale.unit() + QLatin1Char(']');
    QStringList lines;
    lines << (QStringList() << QStringLiteral("Tool") << QStringLiteral("Type")
                            << QStringLiteral("From") << QStringLiteral("To")
                            << QStringLiteral("Pixels") << QStringLiteral("Min") + unit
                            << QStringLiteral("Max") + unit << QStringLiteral("Mean") + unit
                            << QStringLiteral("Min at") << QStringLiteral("Max at"))
                 .join(QLatin1Char('\t'));
    for (size_t i = 0; i < tools.size(); ++i) {
        const Tool& tool = tools[i];
        const Statistics stats = i < statistics.size() ? statistics[i] : Statistics();
        const bool spot = tool.kind == Kind::Spot;
        QStringList cells;
        cells << tool.label << kindName(tool.kind) << point(tool.from)
              << (spot ? QString() : point(tool.to)) << QString::number(stats.pixels);
        if (stats.valid())
            cells << scale.format(stats.min) << scale.format(stats.max) << scale.format(stats.mean)
                  << (spot ? QString() : point(stats.minAt))
                  << (spot ? QString() : point(stats.maxAt));
        else
            cells << QString() << QString() << QString() << QString() << QString();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace kx::measure
