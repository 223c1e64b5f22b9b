#include "conversion/Legend.h"

#include "base/Radiometry.h"
#include "conversion/LegendStrip.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>

// The strips are compiled into the core library from a generated resource
// file; a static library drops such an object unless something refers to it.
static void registerLegendResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(legends);
        return true;
    }();
    (void)registered;
}

namespace legend {

namespace {
using kx::radiometry::kKelvinOffset;
const QPoint kTopLabelBaseline(13, 15);
constexpr int kBottomLabelX = 13;
constexpr int kBottomLabelAboveBottom = 8;

bool paintable(QImage::Format format) {
    return format != QImage::Format_Invalid && format != QImage::Format_Indexed8 &&
           format != QImage::Format_Mono && format != QImage::Format_MonoLSB;
}
} // namespace

QString legendResourceName(unsigned colorMode, bool inverted) {
    return QStringLiteral(":/legends/") + legendstrip::stripFileName(colorMode, inverted);
}

QImage loadLegendStrip(unsigned colorMode, bool inverted) {
    registerLegendResources();
    const QString name = legendResourceName(colorMode, inverted);
    // Checked first so that a missing strip is a plain null image.
    if (!QFile::exists(name))
        return QImage();
    return QImage(name);
}

QString temperatureLabel(uint32_t rawBound, float resolution) {
    const double celsius = double(float(rawBound) * resolution) - kKelvinOffset;
    return QString::number(celsius, 'f', 1);
}

void paintLabels(QImage& legend, const QString& top, const QString& bottom) {
    // Text needs the font system of a GUI application; without one the strip
    // stays unlabelled rather than failing.
    if (legend.isNull() || qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    if (!paintable(legend.format()))
        legend = legend.convertToFormat(QImage::Format_RGB888);
    QPainter painter(&legend);
    painter.setPen(Qt::white);
    painter.drawText(kTopLabelBaseline, top);
    painter.drawText(QPoint(kBottomLabelX, legend.height() - kBottomLabelAboveBottom), bottom);
}

QImage appendLegend(const QImage& image, const QImage& legend) {
    if (image.isNull())
        return QImage();
    const QImage::Format format = paintable(image.format()) ? image.format() : QImage::Format_RGB32;
    QImage widened(image.width() + legend.width(), image.height(), format);
    if (widened.isNull())
        return QImage();
    // A legend of another height leaves part of the strip column open.
    widened.fill(Qt::black);
    QPainter painter(&widened);
    painter.drawImage(0, 0, image);
    if (!legend.isNull())
        painter.drawImage(image.width(), 0, legend);
    painter.end();
    return widened;
}

} // namespace legend
