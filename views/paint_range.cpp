#include "views/paint_range.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>

namespace fennaro {

QRect paintableRect(const QPainter& p) {
    // Everything the device holds, seen through the inverse of the painter's
    // transform; a transform that cannot be inverted leaves nothing to draw.
    const QPaintDevice* device = p.device();
    if (!device)
        return QRect();
    bool invertible = false;
    const QTransform back = p.transform().inverted(&invertible);
    if (!invertible)
        return QRect();
    QRect area = back.mapRect(QRect(0, 0, device->width(), device->height()));
    if (p.hasClipping())
        area &= p.clipBoundingRect().toAlignedRect();
    return area;
}

std::pair<int, int> visibleRows(const QRect& area, int top, int rowHeight, int count) {
    // Rows are uniform, so the range follows from division; 64-bit arithmetic
    // keeps far-away rows from overflowing.
    if (count <= 0 || rowHeight <= 0 || area.isEmpty())
        return {0, 0};
    const long long from = (static_cast<long long>(area.top()) - top) / rowHeight;
    const long long to = (static_cast<long long>(area.bottom()) - top) / rowHeight + 1;
    const int first = static_cast<int>(std::clamp<long long>(from, 0, count));
    const int last = static_cast<int>(std::clamp<long long>(to, 0, count));
    return {first, std::max(first, last)};
}

} // namespace fennaro
