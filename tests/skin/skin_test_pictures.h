// Small synthetic skin pictures for the tests: strips of solid frames
// written into a temporary image folder.
#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QSize>
#include <QString>

namespace skintest {

// Writes a strip of solid frames, one colour per frame.
inline bool WriteStrip(const QString& path, const QSize& frame, const QList<QColor>& colors) {
    QImage img(frame.width() * int(colors.size()), frame.height(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    for (int i = 0; i < colors.size(); ++i)
        p.fillRect(QRect(i * frame.width(), 0, frame.width(), frame.height()), colors[i]);
    p.end();
    return img.save(path);
}

// Writes a picture of one colour.
inline bool WriteSolid(const QString& path, const QSize& size, const QColor& color) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(color);
    return img.save(path);
}

// Tells whether two colours match within a small tolerance per channel.
inline bool Near(const QColor& a, const QColor& b, int tol = 3) {
    return qAbs(a.red() - b.red()) <= tol && qAbs(a.green() - b.green()) <= tol &&
           qAbs(a.blue() - b.blue()) <= tol;
}

} // namespace skintest
