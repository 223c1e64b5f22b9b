#include "conversion/ui/MeasurementTools.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGraphicsObject>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLineF>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

using kx::measure::Kind;
using kx::measure::Scale;
using kx::measure::Tool;

// Draws every tool and its label over the image. Lines are cosmetic and
// labels are drawn in device pixels, so both stay readable at any zoom.
class MeasurementOverlay : public QGraphicsObject {
public:
    MeasurementOverlay(const MeasurementTools& tools, const QRectF& canvas)
        : m_tools(tools)
        , m_bounds(
              canvas.adjusted(-canvas.width(), -canvas.height(), canvas.width(), canvas.height())) {
        setZValue(10);
    }
    QRectF boundingRect() const override { return m_bounds; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        painter->setRenderHint(QPainter::Antialiasing, false);
        for (const Tool& tool : m_tools.tools())
            drawTool(painter, tool, QColor(0, 255, 255));
        if (const auto draft = m_tools.draft())
            drawTool(painter, *draft, QColor(255, 255, 0));
    }

private:
    void drawTool(QPainter* painter, const Tool& tool, const QColor& colour) const {
        const QTransform map = m_tools.frameToScene();
        QPen pen(colour, 2);
        pen.setCosmetic(true);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        QPointF labelAt;
        switch (tool.kind) {
        case Kind::Spot: {
            const QPointF c = map.map(QPointF(tool.from) + QPointF(0.5, 0.5));
            const QPointF d = painter->transform().map(c);
            painter->save();
            painter->resetTransform();
            painter->drawEllipse(d, 5, 5);
            painter->drawLine(d + QPointF(-9, 0), d + QPointF(-3, 0));
            painter->drawLine(d + QPointF(3, 0), d + QPointF(9, 0));
            painter->drawLine(d + QPointF(0, -9), d + QPointF(0, -3));
            painter->drawLine(d + QPointF(0, 3), d + QPointF(0, 9));
            painter->restore();
            labelAt = c;
            break;
        }
        case Kind::Box: {
            // The box covers its corner pixels whole.
            const QRectF frameRect = QRectF(QRect(tool.from, tool.to).normalized());
            const QPolygonF shape = map.map(QPolygonF(frameRect));
            painter->drawPolygon(shape);
            labelAt = shape.boundingRect().topLeft();
            break;
        }
        case Kind::Line: {
            const QPointF a = map.map(QPointF(tool.from) + QPointF(0.5, 0.5));
            const QPointF b = map.map(QPointF(tool.to) + QPointF(0.5, 0.5));
            painter->drawLine(a, b);
            labelAt = a;
            break;
        }
        }
        if (tool.label.isEmpty())
            return;
        const QPointF d = painter->transform().map(labelAt) + QPointF(8, -8);
        painter->save();
        painter->resetTransform();
        const QRectF text = painter->fontMetrics().boundingRect(tool.label).translated(d.toPoint());
        painter->fillRect(text.adjusted(-2, -1, 2, 1), QColor(0, 0, 0, 160));
        painter->drawText(d, tool.label);
        painter->restore();
    }

    const MeasurementTools& m_tools;
    QRectF m_bounds;
};

MeasurementTools::MeasurementTools(QGraphicsView* view, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_placing(new QActionGroup(this)) {
    m_placing->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    auto placeAction = [this](const QString& text, const QString& name, const QString& tip) {
        auto* action = new QAction(text, m_placing);
        action->setObjectName(name);
        action->setCheckable(true);
        action->setToolTip(tip);
        return action;
    };
    m_spot = placeAction(tr("Spot"), QStringLiteral("actionMeasureSpot"),
                         tr("Click on the image to place a spot"));
    m_box = placeAction(tr("Box"), QStringLiteral("actionMeasureBox"),
                        tr("Drag over the image to place a box"));
    m_line = placeAction(tr("Line"), QStringLiteral("actionMeasureLine"),
                         tr("Drag over the image to place a line"));
    m_delete = new QAction(tr("Delete measurement"), this);
    m_delete->setObjectName(QStringLiteral("actionDeleteMeasurement"));
    m_copy = new QAction(tr("Copy measurements"), this);
    m_copy->setObjectName(QStringLiteral("actionCopyMeasurements"));
    m_planckAction = new QAction(tr("Measure with the Planck constants"), this);
    m_planckAction->setObjectName(QStringLiteral("actionMeasurePlanck"));
    m_planckAction->setCheckable(true);
    connect(m_delete, &QAction::triggered, this, [this]() {
        removeTool(m_selected >= 0 && m_selected < int(m_tools.size()) ? m_selected
                                                                       : int(m_tools.size()) - 1);
    });
    connect(m_copy, &QAction::triggered, this,
            [this]() { QApplication::clipboard()->setText(tableText()); });
    connect(m_planckAction, &QAction::toggled, this, [this]() {
        chooseScale(m_units);
        measureAll();
    });
    m_viewport = m_view->viewport();
    m_viewport->installEventFilter(this);
}

MeasurementTools::~MeasurementTools() {
    // The overlay reads the tools while the scene paints it.
    delete m_overlay;
}

QList<QAction*> MeasurementTools::actions() const {
    return {m_spot, m_box, m_line, m_delete, m_copy};
}

void MeasurementTools::chooseScale(const View& view) {
    ScaleKey key;
    if (m_planckAction->isChecked()) {
        key.mode = Scale::Mode::Planck;
        key.B = view.planck.B;
        key.O = view.planck.O;
        key.R1 = view.planck.R1;
        key.R2 = view.planck.R2;
    } else if (view.radiometryOption != 0) {
        key.mode = Scale::Mode::TLinear;
        key.kelvinPerCount = view.kelvinPerCount;
    }
    if (key == m_scaleKey && m_scale.mode() == key.mode)
        return;
    m_scaleKey = key;
    switch (key.mode) {
    case Scale::Mode::Planck:
        m_scale = Scale::planck(view.planck);
        break;
    case Scale::Mode::TLinear:
        m_scale = Scale::tLinear(key.kelvinPerCount);
        break;
    case Scale::Mode::Raw:
        m_scale = Scale::raw();
        break;
    }
}

void MeasurementTools::show(QGraphicsScene* scene, const View& view) {
    m_units = view;
    m_units.raw = nullptr;
    chooseScale(view);
    const size_t count = size_t(view.width) * view.height;
    if (view.raw && count > 0)
        m_raw.assign(view.raw, view.raw + count);
    else
        m_raw.clear();
    m_width = m_raw.empty() ? 0 : view.width;
    m_height = m_raw.empty() ? 0 : view.height;
    m_frameToScene = view.frameToScene;
    measureAll();
    if (!scene || m_raw.empty())
        return;
    // The scene deletes its items when it is cleared for the next picture.
    delete m_overlay;
    m_overlay = new MeasurementOverlay(*this, scene->sceneRect());
    scene->addItem(m_overlay);
}

void MeasurementTools::clearFrame() {
    m_raw.clear();
    m_width = m_height = 0;
    delete m_overlay;
    measureAll();
}

void MeasurementTools::measureAll() {
    m_statistics.clear();
    for (const Tool& tool : m_tools)
        m_statistics.push_back(
            kx::measure::measure(m_raw.data(), m_width, m_height, tool, m_scale));
    emit measurementsChanged();
}

void MeasurementTools::redraw() {
    if (m_overlay)
        m_overlay->update();
}

QString MeasurementTools::tableText() const {
    return kx::measure::table(m_tools, m_statistics, m_scale);
}

void MeasurementTools::addTool(Kind kind, const QPoint& from, const QPoint& to) {
    Tool tool;
    tool.kind = kind;
    tool.from = from;
    tool.to = kind == Kind::Spot ? from : to;
    const char letter = kind == Kind::Spot ? 'S' : kind == Kind::Box ? 'B' : 'L';
    tool.label = QLatin1Char(letter) + QString::number(m_nextNumber++);
    m_tools.push_back(tool);
    measureAll();
    redraw();
}

void MeasurementTools::removeTool(int index) {
    if (index < 0 || index >= int(m_tools.size()))
        return;
    m_tools.erase(m_tools.begin() + index);
    m_selected = -1;
    measureAll();
    redraw();
}

std::optional<Kind> MeasurementTools::placing() const {
    if (m_spot->isChecked())
        return Kind::Spot;
    if (m_box->isChecked())
        return Kind::Box;
    if (m_line->isChecked())
        return Kind::Line;
    return std::nullopt;
}

QPoint MeasurementTools::frameAt(const QPoint& viewportPos) const {
    const QPointF scenePos = m_view->mapToScene(viewportPos);
    const QPointF p = m_frameToScene.inverted().map(scenePos);
    return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
}

int MeasurementTools::toolAt(const QPoint& viewportPos) const {
    constexpr double kReachPx = 6.0;
    const QTransform toViewport = m_frameToScene * m_view->viewportTransform();
    const QPointF at(viewportPos);
    auto near = [&](const QPointF& a, const QPointF& b) {
        // Distance from the segment a-b.
        const QPointF d = b - a;
        const double length2 = QPointF::dotProduct(d, d);
        const double t =
            length2 > 0 ? qBound(0.0, QPointF::dotProduct(at - a, d) / length2, 1.0) : 0.0;
        return QLineF(at, a + t * d).length() <= kReachPx;
    };
    for (int i = int(m_tools.size()) - 1; i >= 0; --i) {
        const Tool& tool = m_tools[size_t(i)];
        const QPointF from = toViewport.map(QPointF(tool.from) + QPointF(0.5, 0.5));
        const QPointF to = toViewport.map(QPointF(tool.to) + QPointF(0.5, 0.5));
        switch (tool.kind) {
        case Kind::Spot:
            if (QLineF(at, from).length() <= kReachPx + 4)
                return i;
            break;
        case Kind::Box:
            if (toViewport.map(QPolygonF(QRectF(QRect(tool.from, tool.to).normalized())))
                    .boundingRect()
                    .adjusted(-kReachPx, -kReachPx, kReachPx, kReachPx)
                    .contains(at))
                return i;
            break;
        case Kind::Line:
            if (near(from, to))
                return i;
            break;
        }
    }
    return -1;
}

void MeasurementTools::offerToolMenu(int index, const QPoint& globalPos) {
    auto* menu = new QMenu(m_view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString label = m_tools[size_t(index)].label;
    menu->addAction(tr("Delete %1").arg(label), this, [this, label]() {
        // Found again by its label: the list may have changed meanwhile.
        for (size_t i = 0; i < m_tools.size(); ++i)
            if (m_tools[i].label == label)
                removeTool(int(i));
    });
    menu->addAction(m_copy);
    menu->popup(globalPos);
}

bool MeasurementTools::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_viewport && event->type() == QEvent::ContextMenu) {
        const auto* context = static_cast<QContextMenuEvent*>(event);
        const int index = toolAt(context->pos());
        if (index < 0)
            return false;
        offerToolMenu(index, context->globalPos());
        return true;
    }
    const std::optional<Kind> kind = placing();
    if (watched != m_viewport || !kind || m_raw.empty())
        return false;
    const QRect frame(0, 0, int(m_width), int(m_height));
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint at = frameAt(mouse->pos());
        if (!frame.contains(at))
            return true;
        if (*kind == Kind::Spot) {
            addTool(Kind::Spot, at, at);
            return true;
        }
        Tool draft;
        draft.kind = *kind;
        draft.from = draft.to = at;
        m_draft = draft;
        redraw();
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_draft)
            return false; // the pointer read-out goes on
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = frameAt(mouse->pos());
        m_draft->to = QPoint(qBound(0, at.x(), frame.right()), qBound(0, at.y(), frame.bottom()));
        redraw();
        return false;
    }
    case QEvent::MouseButtonRelease: {
        if (!m_draft)
            return false;
        const Tool draft = *m_draft;
        m_draft.reset();
        addTool(draft.kind, draft.from, draft.to);
        return true;
    }
    default:
        return false;
    }
}
