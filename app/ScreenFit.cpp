#include "app/ScreenFit.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

void FitWindowToScreen(QWidget& window) {
    if (window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    const QScreen* shownOn = window.screen();
    if (!shownOn) return;
    const QRect available = shownOn->availableGeometry();
    const QSize frame = window.isVisible() ? window.frameGeometry().size() - window.geometry().size() : QSize();
    const int width = std::max(std::min(window.width(), available.width() - frame.width()), window.minimumWidth());
    const int height = std::max(std::min(window.height(), available.height() - frame.height()), window.minimumHeight());
    if (width != window.width() || height != window.height()) window.resize(width, height);
    // A window grown past the screen's right or bottom edge moves back in.
    QRect placed = window.frameGeometry();
    if (placed.right() > available.right()) placed.moveRight(available.right());
    if (placed.bottom() > available.bottom()) placed.moveBottom(available.bottom());
    if (placed.left() < available.left()) placed.moveLeft(available.left());
    if (placed.top() < available.top()) placed.moveTop(available.top());
    if (placed.topLeft() != window.frameGeometry().topLeft()) window.move(placed.topLeft());
}
