#include "skin/animate_img.h"

#include "skin/skin_color.h"
#include "skin/skin_image.h"

#include <QPainter>

namespace skin {

CAnimateImg::CAnimateImg(QWidget* parent) : CAnimateStaticBase(parent) {}

bool CAnimateImg::Load(const QString& path) {
    image_ = LoadImageFile(path);
    return true;
}

void CAnimateImg::SetFrames() {
    frameCount_ = 8;
    frameWidth_ = StripFrameWidth(image_, frameCount_);
    frameHeight_ = image_.isNull() ? 0 : image_.height();
}

bool CAnimateImg::MoveTo(int x, int y, int flags) {
    setGeometry(x, y, StripFrameWidth(image_, frameCount_), image_.isNull() ? 0 : image_.height());
    raise();
    if (flags & kMoveShow)
        show();
    else if (flags & kMoveHide)
        hide();
    clientRect_ = rect();
    return true;
}

void CAnimateImg::Start() {
    if (running_)
        return;
    timerId_ = startTimer(period_);
    running_ = timerId_ != 0;
}

void CAnimateImg::Stop() {
    if (!running_)
        return;
    killTimer(timerId_);
    timerId_ = 0;
    running_ = 0;
}

void CAnimateImg::OnPaint(QPainter& p) {
    const QRect client = rect();
    p.fillRect(client, FromColorRef(0xEFF0F0));
    if (image_.isNull())
        return;
    const QRect src(client.width() * currentFrame_, 0, client.width(), client.height());
    if (src.isEmpty() || src.right() >= image_.width())
        return;
    p.drawImage(QPoint(0, 0), image_, src);
}

void CAnimateImg::OnTimer(int timerId) {
    if (timerId != timerId_ || timerId_ == 0)
        return;
    currentFrame_ = (currentFrame_ + 1) % qMax(1, frameCount_);
    update();
}

} // namespace skin
