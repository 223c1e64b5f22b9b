// How the main window fits its screen: the size it opens at.

#include "app/ui/Kalorix.h"

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
