// What the two boards share about scrolling: the bar at their right edge, the
// wheel's notches and the keys.
#pragma once

class QKeyEvent;
class QScrollBar;
class QWheelEvent;
class QWidget;

namespace fennaro {

// Makes the vertical bar along the right edge of a board, over its full
// height, and returns it; the board owns it.
QScrollBar* makeBoardScrollBar(QWidget* board);

// Returns the whole notches of a wheel turn, positive when turned towards the
// user; rest keeps what is left of a partial turn (touchpads send small ones).
int wheelNotchesDown(const QWheelEvent& event, int& rest);

// Moves the bar as its buttons and track would for an arrow, page, Home or
// End key; returns false for any other key.
bool scrollByKey(QScrollBar& bar, const QKeyEvent& event);

} // namespace fennaro
