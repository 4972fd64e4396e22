// The part of a painter's device that a painting can change, in the painter's
// own coordinates, so long contents draw only what can show.
#pragma once

#include <QRect>
#include <utility>

class QPainter;

namespace fennaro {

// Returns the area of the device the painter can draw on, mapped into its
// current coordinates and narrowed to its clip when it has one.
QRect paintableRect(const QPainter& p);

// Returns the first and one-past-last index of rows of a height starting at
// top that meet the vertical range of area, within [0, count).
std::pair<int, int> visibleRows(const QRect& area, int top, int rowHeight, int count);

} // namespace fennaro
