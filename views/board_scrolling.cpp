#include "views/board_scrolling.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

namespace fennaro {

namespace {

// One notch of a mouse wheel, in eighths of a degree.
constexpr int kNotch = 120;

} // namespace

QScrollBar* makeBoardScrollBar(QWidget* board) {
    auto* bar = new QScrollBar(Qt::Vertical, board);
    const int width = board->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar);
    bar->setGeometry(board->width() - width, 0, width, board->height());
    bar->setRange(0, 0);
    bar->setSingleStep(1);
    bar->setEnabled(false);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->show();
    return bar;
}

int wheelNotchesDown(const QWheelEvent& event, int& rest) {
    // Turning towards the user gives a negative delta and scrolls down.
    rest -= event.angleDelta().y();
    const int notches = rest / kNotch;
    rest -= notches * kNotch;
    return notches;
}

bool scrollByKey(QScrollBar& bar, const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Down:
        bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return true;
    case Qt::Key_Up:
        bar.triggerAction(QAbstractSlider::SliderSingleStepSub);
        return true;
    case Qt::Key_PageDown:
        bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
        return true;
    case Qt::Key_PageUp:
        bar.triggerAction(QAbstractSlider::SliderPageStepSub);
        return true;
    case Qt::Key_Home:
        bar.triggerAction(QAbstractSlider::SliderToMinimum);
        return true;
    case Qt::Key_End:
        bar.triggerAction(QAbstractSlider::SliderToMaximum);
        return true;
    default:
        return false;
    }
}

} // namespace fennaro
