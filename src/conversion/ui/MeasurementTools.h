#pragma once

#include "conversion/Measurement.h"

#include <QObject>
#include <QPointer>
#include <QTransform>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QGraphicsScene;
class QGraphicsView;
class MeasurementOverlay;

// The spot, box and line tools of the image view. Tools are placed with the
// mouse while one of the three actions is checked (a click places a spot, a
// drag a box or a line), are kept in frame coordinates and are measured again
// whenever the view shows a frame, so they stay on the same pixels under
// zoom, dragging and rotation and follow the frames of a playing movie.
class MeasurementTools : public QObject {
    Q_OBJECT
public:
    explicit MeasurementTools(QGraphicsView* view, QObject* parent = nullptr);
    ~MeasurementTools() override;

    // What the view shows: the raw values of the frame (copied, so tools
    // placed later are measured on the frame on screen), the mapping of frame coordinates into the
    // scene, and the unit the read-out uses (radiometry option 0 without
    // temperatures, else kelvinPerCount; the Planck action takes precedence).
    struct View {
        const uint16_t* raw = nullptr;
        uint32_t width = 0;
        uint32_t height = 0;
        QTransform frameToScene;
        int radiometryOption = 0;
        float kelvinPerCount = 0.04f;
        kx::radiometry::PlanckConstants planck;
    };
    // Measures every tool over the frame and draws the tools into the scene
    // (which the caller has just filled with the image).
    void show(QGraphicsScene* scene, const View& view);
    // Forgets the frame (a picture or no file is shown): nothing is drawn
    // and the statistics are invalid until the next show().
    void clearFrame();

    const std::vector<kx::measure::Tool>& tools() const { return m_tools; }
    const std::vector<kx::measure::Statistics>& statistics() const { return m_statistics; }
    const kx::measure::Scale& scale() const { return m_scale; }
    QString tableText() const;

    void addTool(kx::measure::Kind kind, const QPoint& from, const QPoint& to);
    void removeTool(int index);
    // The list's selection, which "Delete measurement" removes (the newest
    // tool when nothing is selected).
    void setSelectedTool(int index) { m_selected = index; }

    QAction* spotAction() const { return m_spot; }
    QAction* boxAction() const { return m_box; }
    QAction* lineAction() const { return m_line; }
    QAction* deleteAction() const { return m_delete; }
    QAction* copyAction() const { return m_copy; }
    QAction* planckAction() const { return m_planckAction; }
    QList<QAction*> actions() const;

    // For the overlay: the tool being dragged, in frame coordinates.
    std::optional<kx::measure::Tool> draft() const { return m_draft; }
    QTransform frameToScene() const { return m_frameToScene; }

signals:
    // Tools, their statistics or the unit changed.
    void measurementsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<kx::measure::Kind> placing() const;
    // The newest tool drawn within a few screen pixels of a viewport point
    // (inside a box counts), or -1.
    int toolAt(const QPoint& viewportPos) const;
    void offerToolMenu(int index, const QPoint& globalPos);
    QPoint frameAt(const QPoint& viewportPos) const;
    void measureAll();
    void redraw();
    void chooseScale(const View& view);

    QGraphicsView* m_view;
    // Compared with what the filter sees instead of asking the view: while the
    // view is destroyed its viewport still gets events, and the view can no
    // longer be asked for anything.
    QWidget* m_viewport = nullptr;
    QActionGroup* m_placing;
    QAction* m_spot;
    QAction* m_box;
    QAction* m_line;
    QAction* m_delete;
    QAction* m_copy;
    QAction* m_planckAction;
    std::vector<kx::measure::Tool> m_tools;
    std::vector<kx::measure::Statistics> m_statistics;
    std::optional<kx::measure::Tool> m_draft;
    int m_selected = -1;
    int m_nextNumber = 1;
    // The units of the last show(), for a change of the Planck action.
    View m_units;
    // The frame of the last show().
    std::vector<uint16_t> m_raw;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    QTransform m_frameToScene;
    kx::measure::Scale m_scale = kx::measure::Scale::raw();
    // What m_scale was made for: remade only when this changes.
    struct ScaleKey {
        kx::measure::Scale::Mode mode = kx::measure::Scale::Mode::Raw;
        float kelvinPerCount = 0.0f;
        double B = 0, O = 0, R1 = 0, R2 = 0;
        bool operator==(const ScaleKey& o) const {
            return mode == o.mode && kelvinPerCount == o.kelvinPerCount && B == o.B && O == o.O &&
                   R1 == o.R1 && R2 == o.R2;
        }
    } m_scaleKey;
    QPointer<MeasurementOverlay> m_overlay;
};
