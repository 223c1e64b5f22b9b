#include "recording/ui/TrackPanel.h"

#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

TrackPanel::TrackPanel(QWidget* parent)
    : QDockWidget(tr("Flight track"), parent)
    , m_canvas(new TrackCanvas)
    , m_status(new QLabel) {
    setObjectName(QStringLiteral("dwFlightTrack"));
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_canvas, 1);
    m_status->setObjectName(QStringLiteral("lblTrackStatus"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    setWidget(body);
    connect(m_canvas, &TrackCanvas::frameRequested, this, &TrackPanel::frameRequested);
    clear(tr("No movie open."));
}

TrackPanel::~TrackPanel() {
    cancel();
}

void TrackPanel::cancel() {
    if (m_cancel)
        m_cancel->store(true);
    if (m_worker.joinable())
        m_worker.join();
    m_cancel.reset();
    ++m_generation;
}

void TrackPanel::clear(const QString& why) {
    cancel();
    m_canvas->setTrack({});
    m_status->setText(why);
}

void TrackPanel::load(const QString& fileName, const std::vector<uint64_t>& offsets,
                      const std::vector<int64_t>& sizes, int version,
                      ksDefines::serialContent kind) {
    cancel();
    m_canvas->setTrack({});
    if (kind == ksDefines::NoSerialData) {
        m_status->setText(tr("Choose the serial data kind (Settings menu) to see the track."));
        return;
    }
    m_status->setText(tr("Reading the positions of %1 frames...").arg(offsets.size()));
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_done = false;
    const unsigned generation = m_generation;
    m_worker = std::thread(
        [this, fileName, offsets, sizes, version, kind, generation, cancelled = m_cancel]() {
            std::vector<flighttrack::Position> track;
            QFile file(fileName);
            const bool read =
                file.open(QIODevice::ReadOnly) &&
                flighttrack::readTrack(file, offsets, sizes, version, kind, track, cancelled.get());
            m_done = true;
            if (!read || cancelled->load())
                return;
            // Handed to the window's thread; a result for an older file is dropped.
            QMetaObject::invokeMethod(
                this,
                [this, generation, track = std::move(track)]() mutable {
                    if (generation == m_generation)
                        setTrack(std::move(track));
                },
                Qt::QueuedConnection);
        });
}

void TrackPanel::setTrack(std::vector<flighttrack::Position> track) {
    const size_t frames = track.size();
    m_canvas->setTrack(std::move(track));
    const auto& shown = m_canvas->track();
    const int valid = int(std::count_if(shown.begin(), shown.end(),
                                        [](const flighttrack::Position& p) { return p.valid; }));
    if (frames == 0)
        m_status->setText(tr("No movie open."));
    else if (valid == 0)
        m_status->setText(tr("No frame carries a position."));
    else
        m_status->setText(tr("%1 of %2 frames with a position. Click the track to go to a frame.")
                              .arg(valid)
                              .arg(frames));
    emit trackReady(valid);
}

const std::vector<flighttrack::Position>& TrackPanel::track() const {
    return m_canvas->track();
}

void TrackPanel::setCurrentFrame(int frame) {
    m_canvas->setCurrentFrame(frame);
}

// ---- Canvas ---------------------------------------------------------------------

TrackCanvas::TrackCanvas(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("trackCanvas"));
    setMinimumSize(140, 140);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(246, 246, 240));
    setPalette(p);
}

void TrackCanvas::setTrack(std::vector<flighttrack::Position> track) {
    m_track = std::move(track);
    m_local.assign(m_track.size(), flighttrack::LocalPoint());
    m_valid = 0;
    for (const auto& p : m_track)
        if (p.valid) {
            if (m_valid++ == 0) {
                m_referenceLatitude = p.latitude;
                m_referenceLongitude = p.longitude;
            }
        }
    m_minEast = m_maxEast = m_minNorth = m_maxNorth = 0.0;
    for (size_t i = 0; i < m_track.size(); ++i) {
        if (!m_track[i].valid)
            continue;
        m_local[i] = flighttrack::toLocal(m_track[i].latitude, m_track[i].longitude,
                                          m_referenceLatitude, m_referenceLongitude);
        m_minEast = std::min(m_minEast, m_local[i].east);
        m_maxEast = std::max(m_maxEast, m_local[i].east);
        m_minNorth = std::min(m_minNorth, m_local[i].north);
        m_maxNorth = std::max(m_maxNorth, m_local[i].north);
    }
    update();
}

void TrackCanvas::setCurrentFrame(int frame) {
    if (frame == m_current)
        return;
    m_current = frame;
    update();
}

TrackCanvas::Fit TrackCanvas::fit() const {
    constexpr double kMargin = 24.0;
    const double spanEast = std::max(m_maxEast - m_minEast, 1.0);
    const double spanNorth = std::max(m_maxNorth - m_minNorth, 1.0);
    Fit f;
    f.scale = std::max(
        0.0, std::min((width() - 2 * kMargin) / spanEast, (height() - 2 * kMargin) / spanNorth));
    // Centred, north up.
    const double midEast = (m_minEast + m_maxEast) / 2;
    const double midNorth = (m_minNorth + m_maxNorth) / 2;
    f.origin = QPointF(width() / 2.0 - midEast * f.scale, height() / 2.0 + midNorth * f.scale);
    return f;
}

QPointF TrackCanvas::toPixel(const flighttrack::LocalPoint& p, const Fit& f) const {
    return QPointF(f.origin.x() + p.east * f.scale, f.origin.y() - p.north * f.scale);
}

QPointF TrackCanvas::pointOfFrame(int frame) const {
    if (frame < 1 || frame > int(m_track.size()) || !m_track[size_t(frame - 1)].valid)
        return QPointF();
    return toPixel(m_local[size_t(frame - 1)], fit());
}

void TrackCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_valid == 0)
        return;
    const Fit f = fit();
    // The path breaks where frames carry no position.
    QPainterPath path;
    bool open = false;
    for (size_t i = 0; i < m_track.size(); ++i) {
        if (!m_track[i].valid) {
            open = false;
            continue;
        }
        const QPointF p = toPixel(m_local[i], f);
        if (open)
            path.lineTo(p);
        else
            path.moveTo(p);
        open = true;
    }
    painter.setPen(QPen(QColor(40, 70, 160), 1.5));
    painter.drawPath(path);
    const QPointF start = pointOfFrame(
        int(std::find_if(m_track.begin(), m_track.end(), [](const auto& p) { return p.valid; }) -
            m_track.begin()) +
        1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 150, 0));
    painter.drawEllipse(start, 4, 4);
    const QPointF current = pointOfFrame(m_current);
    if (!current.isNull()) {
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(QColor(220, 0, 0));
        painter.drawEllipse(current, 6, 6);
    }

    // Scale bar: the longest 1, 2 or 5 times a power of ten that fits a
    // quarter of the width.
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(Qt::NoBrush);
    if (f.scale > 0) {
        const double wantM = width() / 4.0 / f.scale;
        const double decade = std::pow(10.0, std::floor(std::log10(wantM)));
        double barM = decade;
        for (double step : {2.0, 5.0})
            if (decade * step <= wantM)
                barM = decade * step;
        const double barPx = barM * f.scale;
        const QPointF left(10, height() - 12);
        painter.drawLine(left, left + QPointF(barPx, 0));
        painter.drawLine(left, left + QPointF(0, -5));
        painter.drawLine(left + QPointF(barPx, 0), left + QPointF(barPx, -5));
        const QString text = barM >= 1000 ? QStringLiteral("%1 km").arg(barM / 1000)
                                          : QStringLiteral("%1 m").arg(barM);
        painter.drawText(left + QPointF(barPx + 5, 0), text);
    }
    // North arrow.
    const QPointF tip(width() - 18, 10);
    QPolygonF arrow;
    arrow << tip << tip + QPointF(6, 16) << tip + QPointF(0, 12) << tip + QPointF(-6, 16);
    painter.setBrush(Qt::black);
    painter.drawPolygon(arrow);
    painter.drawText(QRectF(tip.x() - 8, tip.y() + 17, 16, 14), Qt::AlignCenter,
                     QStringLiteral("N"));
}

void TrackCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_valid == 0)
        return;
    const Fit f = fit();
    if (f.scale <= 0)
        return;
    flighttrack::LocalPoint local;
    local.east = (event->localPos().x() - f.origin.x()) / f.scale;
    local.north = (f.origin.y() - event->localPos().y()) / f.scale;
    double latitude = 0.0;
    double longitude = 0.0;
    flighttrack::fromLocal(local, m_referenceLatitude, m_referenceLongitude, latitude, longitude);
    const int frame = flighttrack::nearestFrame(m_track, latitude, longitude);
    if (frame == 0)
        return;
    const QPointF at = pointOfFrame(frame) - event->localPos();
    if (std::hypot(at.x(), at.y()) <= kClickRadiusPx)
        emit frameRequested(frame);
}
