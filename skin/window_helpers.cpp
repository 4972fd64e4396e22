#include "skin/window_helpers.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QWidget>

namespace skin {

QPoint CenteredPosition(const QSize& size, const QWidget* owner) {
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QRect target(QPoint(0, 0), size);
    if (owner && owner->isVisible() && !owner->isMinimized())
        target.moveCenter(owner->frameGeometry().center());
    else
        target.moveCenter(work.center());
    if (target.right() > work.right())
        target.moveRight(work.right());
    if (target.bottom() > work.bottom())
        target.moveBottom(work.bottom());
    if (target.left() < work.left())
        target.moveLeft(work.left());
    if (target.top() < work.top())
        target.moveTop(work.top());
    return target.topLeft();
}

void ApplyRoundedShape(QWidget* w) {
    // Headless platforms cannot shape windows and would only warn about it.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, w->width() + 1, w->height() + 1), 2.5, 2.5);
    w->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void WindowDragger::Press(QWidget* w, const QPoint& globalPos) {
    offset_ = globalPos - w->frameGeometry().topLeft();
    active_ = true;
}

void WindowDragger::Move(QWidget* w, const QPoint& globalPos, bool leftHeld) {
    if (!active_ || !leftHeld) {
        active_ = false;
        return;
    }
    w->move(globalPos - offset_);
}

} // namespace skin
