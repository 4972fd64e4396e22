#include "skin/about_box.h"

#include "skin/font_pool.h"
#include "skin/image_path.h"
#include "skin/skin_color.h"
#include "skin/skin_image.h"
#include "skin/text_draw.h"
#include "skin/ui_helpers.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace skin {

namespace {

// Size used when the background picture is missing.
constexpr QSize kFallbackSize(490, 340);

const char* const kNotice =
    "Quillmet Fennaro reads the contacts and text messages of a rooted Android phone, "
    "finds deleted ones that are still inside the phone's databases and saves the "
    "records you check as text files on this computer.";
const char* const kRights = "Copyright (C) Quillmet. All rights reserved.";

} // namespace

QString AppVersionText() {
    return QString::fromLatin1(fennaro::kProgramVersion);
}

CAboutBox::CAboutBox(QWidget* owner, const QString& version)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), close_(this, IDC_ABOUT_CLOSE),
      ok_(this, IDC_ABOUT_OK), link_(this), version_(version) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    background_ = LoadSkinImage(QStringLiteral("aboutbk.png"));
    const QSize size = background_.isNull() ? kFallbackSize : background_.size();
    setFixedSize(size);
    move(CenteredPosition(size, owner));
    close_.Init(MakeImagePath(QStringLiteral("close.png")), -8, 5, 4);
    if (close_.FrameWidth() == 0) {
        close_.UseTextFallback(QStringLiteral("X"), QSize(20, 20));
        close_.move(size.width() - 28, 5);
    }
    ok_.Init(MakeImagePath(QStringLiteral("ok.png")), -20, -15, 4);
    if (ok_.FrameWidth() == 0) {
        ok_.UseTextFallback(QStringLiteral("OK"), QSize(80, 26));
        ok_.move(size.width() - 100, size.height() - 41);
    }
    for (CImgButton* b : {&close_, &ok_})
        connect(b, &CImgButton::commandClicked, this, [this](int id) { done(id); });
    const QString home = QString::fromLatin1(kHomePageUrl);
    link_.SetLinkFont(get_font(QStringLiteral("Arial"), 16, 400));
    link_.SetLabel(QStringLiteral("Homepage:") + home);
    link_.SetTarget(home);
    link_.SetBackgroundColor(FromColorRef(0xF8F4EE));
    link_.setGeometry(QRect(QPoint(40, 270), link_.IdealSize()));
    link_.show();
}

int CAboutBox::Show() {
    setModal(true);
    return exec();
}

CImgButton* CAboutBox::Button(int id) {
    if (id == IDC_ABOUT_CLOSE)
        return &close_;
    if (id == IDC_ABOUT_OK)
        return &ok_;
    return nullptr;
}

void CAboutBox::reject() {
    done(IDC_ABOUT_CLOSE);
}

void CAboutBox::resizeEvent(QResizeEvent* e) {
    ApplyRoundedShape(this);
    QDialog::resizeEvent(e);
}

void CAboutBox::paintEvent(QPaintEvent*) {
    QImage canvas(size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&canvas);
        if (background_.isNull()) {
            p.fillRect(canvas.rect(), FromColorRef(0xF8F4EE));
            p.fillRect(QRect(0, 0, width(), 30), QColor(60, 110, 170));
        } else {
            p.drawImage(canvas.rect(), background_);
        }
        p.setFont(PoolFontOr(0));
        p.setPen(Qt::white);
        DrawElidedLine(p, QRect(38, 7, width() - 80, 16), QString::fromUtf8(fennaro::kProductName),
                       Qt::AlignLeft | Qt::AlignTop);
        p.setFont(PoolFontOr(512));
        p.setPen(FromColorRef(0x5A0000));
        DrawElidedLine(p, QRect(40, 135, width() - 50, 18), QStringLiteral("Version: ") + version_,
                       Qt::AlignLeft | Qt::AlignTop);
        p.setFont(PoolFontOr(256));
        p.setPen(Qt::black);
        DrawWrappedText(p, noticeRect_, QString::fromLatin1(kNotice), Qt::AlignLeft, false);
        DrawElidedLine(p, QRect(40, 310, width() - 50, 16), QString::fromLatin1(kRights),
                       Qt::AlignLeft | Qt::AlignTop);
    }
    QPainter screen(this);
    screen.drawImage(0, 0, canvas);
    for (CImgButton* b : {&close_, &ok_})
        b->CaptureBackground(canvas, b->x(), b->y());
}

void CAboutBox::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        dragger_.Press(this, e->globalPosition().toPoint());
}

void CAboutBox::mouseMoveEvent(QMouseEvent* e) {
    dragger_.Move(this, e->globalPosition().toPoint(), e->buttons() & Qt::LeftButton);
}

} // namespace skin
