#include "skin/hyper_link.h"

#include "skin/skin_color.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <QUrl>

namespace skin {

CHyperLink::CHyperLink(QWidget* parent, std::uint32_t flags) : QWidget(parent), flags_(flags) {
    normalFont_ = parent ? parent->font() : font();
    linkFont_ = normalFont_;
    if (flags_ & kNoUnderline)
        linkFont_.setUnderline(false);
    else if ((flags_ & 0x30) == 0x30)
        linkFont_.setBold(true);
    else
        linkFont_.setUnderline(true);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    ComputeLabelRect();
}

void CHyperLink::SetLabel(const QString& label) {
    label_ = label;
    ComputeLabelRect();
    update();
}

void CHyperLink::SetTarget(const QString& target) {
    target_ = target;
    if (label_.isEmpty())
        ComputeLabelRect();
    update();
}

void CHyperLink::SetLinkFont(const QFont& font) {
    linkFont_ = font;
    ComputeLabelRect();
    update();
}

void CHyperLink::SetBackgroundColor(const QColor& c) {
    background_ = c;
    update();
}

QString CHyperLink::ShownText() const {
    return label_.isEmpty() ? target_ : label_;
}

QFont CHyperLink::CurrentFont() const {
    if ((flags_ & kUnderlineHover) && !hovering_)
        return normalFont_;
    return linkFont_;
}

QSize CHyperLink::IdealSize() const {
    const QFontMetrics fm(linkFont_);
    return fm.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft, ShownText()).size();
}

void CHyperLink::ComputeLabelRect() {
    QRect r(QPoint(0, 0), IdealSize());
    r.setWidth(qMin(r.width(), width()));
    r.setHeight(qMin(r.height(), height()));
    labelRect_ = r;
}

QColor CHyperLink::TextColor() const {
    if (!isEnabled())
        return palette().color(QPalette::Disabled, QPalette::WindowText);
    return FromColorRef(visited_ ? visitedColor_ : linkColor_);
}

void CHyperLink::Navigate() {
    if ((flags_ & kCommandButton) && (flags_ & kNotifyButton)) {
        emit notifyClicked();
        return;
    }
    if (flags_ & kCommandButton) {
        emit commandClicked();
        return;
    }
    const QString target = target_.isEmpty() ? label_ : target_;
    if (target.isEmpty())
        return;
    if (QDesktopServices::openUrl(QUrl::fromUserInput(target)))
        MarkVisited();
}

void CHyperLink::MarkVisited() {
    visited_ = true;
    update();
}

bool CHyperLink::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (!(flags_ & kNoToolTip) && !target_.isEmpty() && labelRect_.contains(help->pos()))
            QToolTip::showText(help->globalPos(), target_, this, labelRect_);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

void CHyperLink::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (background_.isValid())
        p.fillRect(rect(), background_);
    p.setFont(CurrentFont());
    p.setPen(TextColor());
    p.drawText(labelRect_, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, ShownText());
    if (hasFocus()) {
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = labelRect_;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    }
}

void CHyperLink::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && labelRect_.contains(e->position().toPoint())) {
        setFocus(Qt::MouseFocusReason);
        pressed_ = true;
    }
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    if (labelRect_.contains(e->position().toPoint()))
        OnClick();
}

void CHyperLink::mouseMoveEvent(QMouseEvent* e) {
    const bool over = labelRect_.contains(e->position().toPoint()) &&
                      (!target_.isEmpty() || (flags_ & kCommandButton));
    if (over)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    if ((flags_ & kUnderlineHover) && over != hovering_) {
        hovering_ = over;
        update();
    }
}

void CHyperLink::leaveEvent(QEvent*) {
    if (hovering_) {
        hovering_ = false;
        update();
    }
}

void CHyperLink::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space) {
        OnClick();
        return;
    }
    QWidget::keyPressEvent(e);
}

void CHyperLink::resizeEvent(QResizeEvent*) {
    ComputeLabelRect();
}

void CHyperLink::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange) {
        normalFont_ = font();
        ComputeLabelRect();
    }
    if (e->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(e);
}

} // namespace skin
