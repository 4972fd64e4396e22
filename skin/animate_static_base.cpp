#include "skin/animate_static_base.h"

#include <QPainter>
#include <QTimerEvent>

namespace skin {

CAnimateStaticBase::CAnimateStaticBase(QWidget* parent) : QWidget(parent) {
    // The control paints every pixel itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CAnimateStaticBase::MoveTo(int, int, int) {
    return true;
}

void CAnimateStaticBase::paintEvent(QPaintEvent*) {
    QPainter p(this);
    OnPaint(p);
}

void CAnimateStaticBase::timerEvent(QTimerEvent* e) {
    OnTimer(e->timerId());
}

} // namespace skin
