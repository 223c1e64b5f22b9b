#pragma once

#include "base/ksDefines.h"
#include "recording/FlightTrack.h"

#include <QDockWidget>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QLabel;
class TrackCanvas;

// The "Flight track" panel: the positions of every frame of the open movie on
// a plain canvas (north up, with a scale bar; no map tiles, so it works
// offline), the current frame marked. A click near the track asks for the
// nearest frame. The positions are read on a thread of its own with its own
// file handle after the movie is indexed; opening another file cancels it.
class TrackPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit TrackPanel(QWidget* parent = nullptr);
    ~TrackPanel() override;

    // Starts reading the track of a movie whose frames the index lists; the
    // reading of an earlier file is cancelled first.
    void load(const QString& fileName, const std::vector<uint64_t>& offsets,
              const std::vector<int64_t>& sizes, int version, ksDefines::serialContent kind);
    // No movie (or no telemetry): cancels a reading and empties the canvas.
    void clear(const QString& why);
    // Shows positions directly (the loader's result, and tests).
    void setTrack(std::vector<flighttrack::Position> track);
    const std::vector<flighttrack::Position>& track() const;
    void setCurrentFrame(int frame);
    bool isLoading() const { return m_worker.joinable() && !m_done; }
    TrackCanvas* canvas() const { return m_canvas; }

signals:
    void frameRequested(int frame);
    // The track of the file asked for last is shown.
    void trackReady(int framesWithPosition);

private:
    void cancel();
    TrackCanvas* m_canvas;
    QLabel* m_status;
    std::thread m_worker;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::atomic<bool> m_done{true};
    unsigned m_generation = 0;
};

// The drawing of the track: equal metres east and north, fitted to the widget.
class TrackCanvas : public QWidget {
    Q_OBJECT
public:
    explicit TrackCanvas(QWidget* parent = nullptr);
    void setTrack(std::vector<flighttrack::Position> track);
    const std::vector<flighttrack::Position>& track() const { return m_track; }
    void setCurrentFrame(int frame);
    int currentFrame() const { return m_current; }
    // Where frame n (1-based) is drawn; null point without a position.
    QPointF pointOfFrame(int frame) const;
    // A click this many pixels or nearer to the track jumps.
    static constexpr double kClickRadiusPx = 25.0;

signals:
    void frameRequested(int frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Fit {
        double scale = 0.0; // pixels per metre
        QPointF origin;     // pixel of the reference point
    };
    Fit fit() const;
    QPointF toPixel(const flighttrack::LocalPoint& p, const Fit& f) const;

    std::vector<flighttrack::Position> m_track;
    std::vector<flighttrack::LocalPoint> m_local;
    double m_referenceLatitude = 0.0;
    double m_referenceLongitude = 0.0;
    double m_minEast = 0.0, m_maxEast = 0.0, m_minNorth = 0.0, m_maxNorth = 0.0;
    int m_valid = 0;
    int m_current = 0;
};
