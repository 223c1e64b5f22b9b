#include "app/ui/ImageViewPane.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QIcon>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QWheelEvent>
#include <algorithm>

ImageViewPane::ImageViewPane(QGraphicsView* view, QAction* dragAction, QObject* parent)
    : QObject(parent)
    , view(view)
    , viewport(view->viewport())
    , dragAction(dragAction)
    , scene(new QGraphicsScene(this))
    , measurements(new MeasurementTools(view, this)) {
    view->setScene(scene);
    viewport->installEventFilter(this);
    view->viewport()->setMouseTracking(true);
    connect(dragAction, &QAction::triggered, this, &ImageViewPane::applyDragging);
    // Placing a tool and dragging the image both take the left button.
    for (QAction* place :
         {measurements->spotAction(), measurements->boxAction(), measurements->lineAction()})
        connect(place, &QAction::toggled, this, [this](bool on) {
            if (on && this->view->dragMode() == QGraphicsView::ScrollHandDrag)
                this->dragAction->trigger();
        });
}

void ImageViewPane::showCanvas(const QPixmap& canvas, const MeasurementTools::View* measured) {
    scene->clear();
    scene->setSceneRect(0, 0, canvas.width(), canvas.height());
    scene->addPixmap(canvas);
    if (measured)
        measurements->show(scene, *measured);
    else
        measurements->clearFrame();
    view->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    if (fitToPane)
        fitViewToScene();
}

void ImageViewPane::followPane(double zoomFactor) {
    zoom = zoomFactor;
    fitToPane = true;
}

bool ImageViewPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched != viewport)
        return QObject::eventFilter(watched, event);
    // The pane gets its size from the splitter only when the window is
    // shown or its panes move, after the window's own resize: a file
    // opened before (from the command line) is fitted again here.
    if (event->type() == QEvent::Resize && fitToPane)
        fitViewToScene();
    if (event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        emit pointerMoved(view->mapToScene(move->localPos().toPoint()));
        return false; // dragging goes on in the view
    }
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->angleDelta().y() > 0)
            zoomIn();
        else if (wheel->angleDelta().y() < 0)
            zoomOut();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ImageViewPane::zoomBy(double factor) {
    view->scale(factor, factor);
    zoom *= factor;
    fitToPane = false;
}

void ImageViewPane::zoomIn() {
    const QTransform t = view->transform();
    const double d = t.m11() * t.m22() - t.m12() * t.m21();
    if (d < 60.0)
        zoomBy(1.2);
}

void ImageViewPane::zoomOut() {
    const QTransform t = view->transform();
    const double d = t.m11() * t.m22() - t.m12() * t.m21();
    if (d > 0.02)
        zoomBy(0.8333333333333334);
}

void ImageViewPane::fitViewToScene() {
    const int sceneWidth = int(scene->width());
    const int sceneHeight = int(scene->height());
    if (sceneWidth <= 0 || sceneHeight <= 0)
        return;
    const float availableWidth = float(view->width() - 10);
    const float availableHeight = float(view->height() - 10);
    const float factor =
        std::min(availableWidth / float(sceneWidth), availableHeight / float(sceneHeight));
    if (factor <= 0.0f)
        return;
    view->resetTransform();
    view->scale(double(factor), double(factor));
}

void ImageViewPane::zoomFit() {
    zoom = 1.0;
    fitToPane = true;
    fitViewToScene();
}

void ImageViewPane::zoomToOriginalSize() {
    zoom = 1.0;
    fitToPane = false;
    view->resetTransform();
}

void ImageViewPane::applyDragging() {
    if (dragAction->isChecked()) {
        view->setDragMode(QGraphicsView::ScrollHandDrag);
        dragAction->setIcon(QIcon(QStringLiteral(":/icons/cursorArrow")));
    } else {
        view->setDragMode(QGraphicsView::NoDrag);
        dragAction->setIcon(QIcon(QStringLiteral(":/icons/cursorHand")));
    }
}

// ---- Fusion overlay controls -----------------------------------------------------

void ImageViewPane::attachOverlayControls(const OverlayWidgets& widgets) {
    overlay = widgets;
    // The number fields move their sliders; the sliders move the fields back
    // without a loop.
    const std::pair<QSlider*, QSpinBox*> pairs[] = {{overlay.opacity, overlay.opacityField},
                                                    {overlay.shiftX, overlay.shiftXField},
                                                    {overlay.shiftY, overlay.shiftYField}};
    for (const auto& [slider, field] : pairs) {
        connect(field, QOverload<int>::of(&QSpinBox::valueChanged), slider, &QSlider::setValue);
        connect(slider, &QSlider::valueChanged, this, [field = field](int value) {
            const QSignalBlocker block(field);
            field->setValue(value);
        });
    }
    connect(overlay.opacity, &QSlider::valueChanged, this, &ImageViewPane::overlayOpacityChanged);
    connect(overlay.shiftX, &QSlider::valueChanged, this, &ImageViewPane::overlayPlacementChanged);
    connect(overlay.shiftY, &QSlider::valueChanged, this, &ImageViewPane::overlayPlacementChanged);
    connect(overlay.scale, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &ImageViewPane::overlayPlacementChanged);
}

void ImageViewPane::setOverlayControlsVisible(bool visible) {
    for (QWidget* widget : overlay.shownWithThem)
        widget->setVisible(visible);
}

kx::FusionOverlayControls ImageViewPane::overlayControls() const {
    kx::FusionOverlayControls controls;
    controls.opacityPercent = overlay.opacity->value();
    controls.shiftX = overlay.shiftX->value();
    controls.shiftY = overlay.shiftY->value();
    controls.scalePercent = overlay.scale->value();
    return controls;
}

void ImageViewPane::setOverlayControls(const kx::FusionOverlayControls& controls) {
    overlay.scale->setValue(controls.scalePercent);
    overlay.shiftX->setValue(controls.shiftX);
    overlay.shiftY->setValue(controls.shiftY);
    overlay.opacity->setValue(controls.opacityPercent);
}
