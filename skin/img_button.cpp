#include "skin/img_button.h"

#include "skin/font_pool.h"
#include "skin/skin_image.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace skin {

CImgButton::CImgButton(QWidget* parent, int id) : QAbstractButton(parent), id_(id) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover, false);
    hide();
    connect(this, &QAbstractButton::clicked, this, [this] { emit commandClicked(id_); });
}

bool CImgButton::Init(const QString& imagePath, int x, int y, int frameCount) {
    QWidget* parent = parentWidget();
    if (!parent || frameCount < 1)
        return false;
    image_ = LoadImageFile(imagePath);
    frameCount_ = frameCount;
    frameWidth_ = StripFrameWidth(image_, frameCount);
    frameHeight_ = image_.isNull() ? 0 : image_.height();
    const QRect client = parent->rect();
    if (x < 0)
        x = client.width() - frameWidth_ + x;
    if (y < 0)
        y = client.height() - frameHeight_ + y;
    background_ = QImage();
    setGeometry(x, y, frameWidth_, frameHeight_);
    show();
    return true;
}

void CImgButton::CaptureBackground(const QImage& parentPicture, int x, int y) {
    if (width() <= 0 || height() <= 0)
        return;
    background_ = parentPicture.copy(x, y, width(), height());
}

void CImgButton::UseTextFallback(const QString& text, const QSize& size) {
    if (!image_.isNull())
        return;
    fallbackText_ = text;
    const QPoint centre = geometry().center();
    QRect r(QPoint(0, 0), size);
    r.moveCenter(centre);
    setGeometry(r);
}

int CImgButton::CurrentFrame() const {
    if (!isEnabled())
        return 3;
    if (isDown())
        return 2;
    if (hovering_)
        return 1;
    return 0;
}

void CImgButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!background_.isNull())
        p.drawImage(0, 0, background_);
    if (!image_.isNull()) {
        DrawStripFrame(p, QPoint(0, 0), image_, frameCount_, CurrentFrame());
        return;
    }
    if (fallbackText_.isEmpty())
        return;
    // Plain face for a button whose picture is missing.
    const int f = CurrentFrame();
    p.setPen(QColor(120, 120, 120));
    p.setBrush(f == 2   ? QColor(200, 210, 225)
               : f == 1 ? QColor(235, 240, 250)
                        : QColor(245, 245, 245));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setFont(PoolFontOr(256));
    p.setPen(f == 3 ? QColor(160, 160, 160) : QColor(0, 0, 0));
    p.drawText(rect(), Qt::AlignCenter, fallbackText_);
}

void CImgButton::enterEvent(QEnterEvent* e) {
    hovering_ = 1;
    update();
    QAbstractButton::enterEvent(e);
}

void CImgButton::leaveEvent(QEvent* e) {
    hovering_ = 0;
    update();
    QAbstractButton::leaveEvent(e);
}

void CImgButton::mousePressEvent(QMouseEvent* e) {
    // Pressing ends the hover tracking; the next move after release re-arms it.
    hovering_ = 0;
    QAbstractButton::mousePressEvent(e);
}

void CImgButton::mouseMoveEvent(QMouseEvent* e) {
    if (!isDown() && !hovering_ && !(e->buttons() & Qt::LeftButton) &&
        rect().contains(e->position().toPoint())) {
        hovering_ = 1;
        update();
    }
    QAbstractButton::mouseMoveEvent(e);
}

void CImgButton::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange) {
        // A disabled button can be neither hovered nor pressed.
        if (!isEnabled()) {
            hovering_ = 0;
            setDown(false);
            unsetCursor();
        } else {
            setCursor(Qt::PointingHandCursor);
        }
        update();
    }
    QAbstractButton::changeEvent(e);
}

} // namespace skin
