// A child window that hands its painting and its timer ticks to two virtual
// operations, and offers a third for placing it.
#pragma once

#include <QWidget>

class QPainter;

namespace skin {

class CAnimateStaticBase : public QWidget {
    Q_OBJECT
  public:
    // Builds a stopped control that answers no background erase.
    explicit CAnimateStaticBase(QWidget* parent = nullptr);

    // Paints the control's picture.
    virtual void OnPaint(QPainter& p) = 0;
    // Handles a tick of one of the control's timers.
    virtual void OnTimer(int timerId) = 0;
    // Places the control at (x, y); flags are the Move* values. Does nothing here.
    virtual bool MoveTo(int x, int y, int flags);

    // Placement flags understood by MoveTo.
    static constexpr int kMoveShow = 0x40;
    static constexpr int kMoveHide = 0x80;

    // Returns 1 while the timer is set.
    int Running() const { return running_; }
    // Returns the timer period in milliseconds.
    int Period() const { return period_; }
    // Sets the timer period (takes effect at the next start).
    void SetPeriod(int ms) { period_ = ms > 0 ? ms : 1; }
    // Returns the id of the running timer (0 while stopped).
    int TimerId() const { return timerId_; }

  protected:
    // Hands painting to OnPaint.
    void paintEvent(QPaintEvent* e) override;
    // Hands timer ticks to OnTimer.
    void timerEvent(QTimerEvent* e) override;

    int running_ = 0;
    int period_ = 100;
    QRect clientRect_;
    int timerId_ = 0;
};

} // namespace skin
