// What both board suites share: wheel turns, counting pixels, and a skin
// folder of solid stand-in pictures whose colours the pixel checks know.
#pragma once

#include <QApplication>
#include <QImage>
#include <QWheelEvent>
#include <QWidget>
#include <functional>

namespace fennaro::test {

// Turns the wheel over a widget by delta eighths of a degree (120 a notch;
// negative towards the user).
inline void turnWheel(QWidget& w, int delta) {
    const QPointF at(w.width() / 2.0, w.height() / 2.0);
    QWheelEvent event(at, w.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &event);
}

// Counts the pixels of a rectangle of an image that match a test.
inline int countPixels(const QImage& img, const QRect& rect,
                       const std::function<bool(const QColor&)>& match) {
    int n = 0;
    const QRect r = rect & img.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += match(img.pixelColor(x, y)) ? 1 : 0;
    return n;
}

// Tells whether a pixel is text-dark.
inline bool isDark(const QColor& c) {
    return c.red() < 110 && c.green() < 110 && c.blue() < 110;
}

} // namespace fennaro::test
