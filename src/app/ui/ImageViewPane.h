#pragma once

#include "conversion/FusionOverlay.h"
#include "conversion/ui/MeasurementTools.h"

#include <QObject>
#include <QPointF>
#include <QWidgetList>

class QAction;
class QGraphicsScene;
class QGraphicsView;
class QDoubleSpinBox;
class QPixmap;
class QSlider;
class QSpinBox;

// The picture of the main window: the view of the composed frame, its zoom
// (fitted to the pane until the user zooms by hand), dragging, and the
// pointer over it. The view belongs to the window's form; the pane owns its
// scene and its logic.
class ImageViewPane : public QObject {
    Q_OBJECT
public:
    // dragAction: the checkable action that switches dragging with the mouse.
    ImageViewPane(QGraphicsView* view, QAction* dragAction, QObject* parent);

    // Shows canvas in place of what was shown, fitted when the view follows
    // the pane, with the measurement tools measured over the frame measured
    // shows (none drawn without one: a picture or no frame).
    void showCanvas(const QPixmap& canvas, const MeasurementTools::View* measured);
    // The spot, box and line tools placed on the view.
    MeasurementTools* measurementTools() const { return measurements; }
    // The view follows the pane again, from the next canvas or resize on.
    void followPane(double zoom = 1.0);
    double zoomFactor() const { return zoom; }
    // The drag mode and the action's icon as the action is checked.
    void applyDragging();

    // The controls that lay the thermal picture over the daylight picture of
    // a fusion recording: each slider with its number field, the scale, and
    // what is shown or hidden with them.
    struct OverlayWidgets {
        QSlider* opacity;
        QSpinBox* opacityField;
        QSlider* shiftX;
        QSpinBox* shiftXField;
        QSlider* shiftY;
        QSpinBox* shiftYField;
        QDoubleSpinBox* scale;
        QWidgetList shownWithThem;
    };
    void attachOverlayControls(const OverlayWidgets& widgets);
    void setOverlayControlsVisible(bool visible);
    kx::FusionOverlayControls overlayControls() const;
    void setOverlayControls(const kx::FusionOverlayControls& controls);

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void zoomIn();
    void zoomOut();
    // Fits the canvas to the pane now and from then on.
    void zoomFit();
    void zoomToOriginalSize();

signals:
    // The pointer moved over the view, to this point of the canvas.
    void pointerMoved(const QPointF& canvasPoint);
    // The thermal picture's opacity, or its place over the daylight picture,
    // was changed.
    void overlayOpacityChanged();
    void overlayPlacementChanged();

private:
    void zoomBy(double factor);
    void fitViewToScene();

    QGraphicsView* view;
    // What the filter watches, kept apart from the view: while the view is
    // destroyed its viewport still gets events, and the view can no longer be
    // asked for it.
    QWidget* viewport;
    QAction* dragAction;
    QGraphicsScene* scene;
    MeasurementTools* measurements;
    OverlayWidgets overlay{};
    double zoom = 1.0;
    // The view follows its pane until the user zooms by hand.
    bool fitToPane = true;
};
