// Placement and shape of the frameless skinned dialogs.
#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

namespace skin {

// Returns where a window of a size goes: centred over the owner when it is
// visible and not minimised, else over the work area; kept inside the work
// area of the owner's (or the primary) screen.
QPoint CenteredPosition(const QSize& size, const QWidget* owner);

// Gives a window the rounded shape: a round rectangle over (0, 0) to
// (width + 1, height + 1) with 5 x 5 corners.
void ApplyRoundedShape(QWidget* w);

// Drags a frameless window by its background: call from the press and move
// handlers with the global pointer position.
class WindowDragger {
  public:
    // Starts a drag of window w from a global point.
    void Press(QWidget* w, const QPoint& globalPos);
    // Moves the window while the left button is held.
    void Move(QWidget* w, const QPoint& globalPos, bool leftHeld);

  private:
    QPoint offset_;
    bool active_ = false;
};

} // namespace skin
