// How the main window fits its screen: the size it opens at, the navigation
// row that breaks into two rows when the image pane is narrow, and the image
// details that wrap instead of being cut off.

#include "app/ui/Kalorix.h"

#include "ui_Kalorix.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QResizeEvent>
#include <QScreen>

namespace {

// The share of the screen a first window takes, and the room left for the
// title bar and borders that the window system adds around it.
constexpr double kScreenShare = 0.9;
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 40;

} // namespace

void Kalorix::placeOnScreen(const QRect& available) {
    const QSize room = available.size() - QSize(kFrameWidth, kFrameHeight);
    const QSize wanted = (QSizeF(available.size()) * kScreenShare).toSize();
    const QSize size = wanted.expandedTo(minimumSize()).boundedTo(room);
    resize(size);
    move(available.left() + (available.width() - size.width() - kFrameWidth) / 2,
         available.top() + (available.height() - size.height() - kFrameHeight) / 2);
}

void Kalorix::placeOnScreen() {
    placeOnScreen(screen()->availableGeometry());
}

void Kalorix::setupAdaptiveLayout() {
    // The export range (begin and end fields with their buttons) becomes one
    // widget that sits at the end of the button row or on a row of its own,
    // its begin and end parts side by side or one above the other.
    frameRange = new QWidget(ui->wgVideoControls);
    frameRange->setObjectName(QStringLiteral("wgFrameRange"));
    auto* grid = new QGridLayout(frameRange);
    grid->setContentsMargins(0, 0, 0, 0);
    QHBoxLayout* row = ui->buttonRow;
    const int from = row->indexOf(ui->lblStartFrame);
    while (row->count() > from) {
        QLayoutItem* item = row->takeAt(from);
        if (QWidget* widget = item->widget())
            widget->setParent(frameRange);
        delete item; // the spacer between the parts becomes a column gap
    }
    arrangeFrameRange(true);
    rangeLineWidth = frameRange->sizeHint().width();
    steppingRowWidth = row->sizeHint().width();
    row->addWidget(frameRange);
    ui->wgVideoControls->installEventFilter(this);
}

void Kalorix::arrangeFrameRange(bool oneLine) {
    auto* grid = static_cast<QGridLayout*>(frameRange->layout());
    QWidget* begin[] = {ui->lblStartFrame, ui->leStartFrame, ui->btnSetBegin};
    QWidget* end[] = {ui->lblEndFrame, ui->leEndFrame, ui->btnSetEnd};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(begin[i], 0, i);
        grid->removeWidget(end[i]);
        if (oneLine)
            grid->addWidget(end[i], 0, 4 + i);
        else
            grid->addWidget(end[i], 1, i);
    }
    grid->setColumnMinimumWidth(3, oneLine ? 12 : 0);
}

void Kalorix::arrangeNavigationRows(int width) {
    const QMargins margins = ui->videoLayout->contentsMargins();
    const int available = width - margins.left() - margins.right();
    const bool beside = available >= steppingRowWidth + ui->buttonRow->spacing() + rangeLineWidth;
    const bool oneLine = available >= rangeLineWidth;
    const bool inButtonRow = ui->buttonRow->indexOf(frameRange) >= 0;
    if (beside != inButtonRow) {
        if (beside) {
            ui->videoLayout->removeWidget(frameRange);
            ui->buttonRow->addWidget(frameRange);
        } else {
            ui->buttonRow->removeWidget(frameRange);
            ui->videoLayout->addWidget(frameRange, 0, Qt::AlignLeft);
        }
    }
    auto* grid = static_cast<QGridLayout*>(frameRange->layout());
    const bool isOneLine = grid->itemAtPosition(1, 0) == nullptr;
    if (oneLine != isOneLine)
        arrangeFrameRange(oneLine);
}
