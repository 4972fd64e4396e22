#include "skin/msg_box.h"

#include "platform/product_identity.h"
#include "skin/image_path.h"
#include "skin/skin_image.h"
#include "skin/text_draw.h"
#include "skin/ui_helpers.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <vector>

namespace skin {

namespace {

// Size used when the background picture is missing, so the box stays usable.
constexpr QSize kFallbackSize(360, 160);
// Size of a text button that stands in for a missing button picture.
constexpr QSize kFallbackButton(80, 26);

// Returns the icon file of a message kind, empty for an unknown kind.
QString IconFile(int kind) {
    switch (kind) {
    case CMsgBox::kWarn:
        return QStringLiteral("warn.png");
    case CMsgBox::kError:
        return QStringLiteral("error.png");
    case CMsgBox::kInfo:
        return QStringLiteral("info.png");
    case CMsgBox::kRight:
        return QStringLiteral("right.png");
    default:
        return QString();
    }
}

} // namespace

CMsgBox::CMsgBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), close_(this, IDC_CLOSE),
      ok_(this, IDC_OK), yes_(this, IDC_YES), no_(this, IDC_NO), cancel_(this, IDC_CANCEL) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    background_ = LoadSkinImage(QStringLiteral("msgbox.png"));
    for (CImgButton* b : {&close_, &ok_, &yes_, &no_, &cancel_})
        connect(b, &CImgButton::commandClicked, this, [this](int id) { done(id); });
}

CImgButton* CMsgBox::Button(int id) {
    for (CImgButton* b : {&close_, &ok_, &yes_, &no_, &cancel_})
        if (b->Id() == id)
            return b;
    return nullptr;
}

void CMsgBox::Prepare(int kind, int flags, const QString& text, QWidget* owner) {
    kind_ = kind;
    flags_ = flags & 0xFFFF;
    text_ = text;
    if (!owner)
        owner = QApplication::activeWindow();
    if (owner && owner != parentWidget() && owner != this)
        setParent(owner, windowFlags());
    const QString icon = IconFile(kind);
    icon_ = icon.isEmpty() ? QImage() : LoadSkinImage(icon);
    const QSize size = background_.isNull() ? kFallbackSize : background_.size();
    setFixedSize(size);
    move(CenteredPosition(size, owner));
    ApplyRoundedShape(this);
    iconRect_ = QRect(20, (size.height() - 40) / 2, 40, 40);
    close_.Init(MakeImagePath(QStringLiteral("close.png")), -5, 5, 4);
    if (close_.FrameWidth() == 0) {
        close_.UseTextFallback(QStringLiteral("X"), QSize(20, 20));
        close_.move(size.width() - 25, 5);
    }
    const struct {
        CImgButton* button;
        int flag;
        const char* file;
        const char* label;
    } buttons[] = {{&ok_, kOk, "ok.png", "OK"},
                   {&cancel_, kCancel, "cancel.png", "Cancel"},
                   {&yes_, kYes, "yes.png", "Yes"},
                   {&no_, kNo, "no.png", "No"}};
    for (const auto& b : buttons) {
        if (flags_ & b.flag) {
            b.button->Init(MakeImagePath(QString::fromLatin1(b.file)), -15, -25, 4);
            b.button->UseTextFallback(QString::fromLatin1(b.label), kFallbackButton);
            b.button->show();
        } else {
            b.button->hide();
        }
    }
    LayoutButtons();
}

void CMsgBox::LayoutButtons() {
    // Left to right: the accepting button first, the refusing one second.
    std::vector<CImgButton*> shown;
    for (CImgButton* b : {&ok_, &yes_, &no_, &cancel_})
        if (!b->isHidden())
            shown.push_back(b);
    const int w = width();
    const int bottom = height() - 15;
    if (shown.size() == 1) {
        CImgButton* b = shown[0];
        b->move((w - b->width()) / 2, bottom - b->height());
    } else if (shown.size() == 2) {
        shown[0]->move(w / 2 - shown[0]->width() - 20, bottom - shown[0]->height());
        shown[1]->move(w / 2 + 20, bottom - shown[1]->height());
    } else if (shown.size() > 2) {
        int total = 40 * int(shown.size() - 1);
        for (CImgButton* b : shown)
            total += b->width();
        int x = (w - total) / 2;
        for (CImgButton* b : shown) {
            b->move(x, bottom - b->height());
            x += b->width() + 40;
        }
    }
}

int CMsgBox::Show(int kind, int flags, const QString& text, QWidget* owner) {
    Prepare(kind, flags, text, owner);
    setModal(true);
    return exec();
}

int CMsgBox::Run(int kind, int flags, const QString& text, QWidget* owner) {
    CMsgBox box;
    return box.Show(kind, flags, text, owner);
}

void CMsgBox::reject() {
    done(IDC_CLOSE);
}

QRect CMsgBox::SafeTextArea() const {
    int bottom = height() - 10;
    for (const CImgButton* b : {&ok_, &yes_, &no_, &cancel_})
        if (!b->isHidden() && b->height() > 0)
            bottom = qMin(bottom, b->y() - 5);
    const int top = 35; // below the caption band
    return QRect(70, top, width() - 80, qMax(1, bottom - top));
}

QRect CMsgBox::TextRect() const {
    const QRect full(70, 0, width() - 80, height());
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&probe);
    p.setFont(get_font(QStringLiteral("Arial"), 16, 400));
    const QFontMetrics fm(p.font());
    const int lh = qMax(1, fm.height());
    if (fm.horizontalAdvance(text_.left(full.width() + 1)) < full.width())
        return full;
    // Wrapped lines are centred in the whole box; a block too tall for the
    // room between the caption and the buttons is cut to that room.
    const int lines = qMax(1, WrappedLineCount(p, text_, full.width(), height() / lh + 1));
    QRect block(full.left(), (height() - lines * lh) / 2, full.width(), lines * lh);
    const QRect safe = SafeTextArea();
    if (block.top() >= safe.top() && block.bottom() <= safe.bottom())
        return block;
    const int fit = qMax(1, safe.height() / lh);
    return QRect(safe.left(), safe.top() + (safe.height() - fit * lh) / 2, safe.width(), fit * lh);
}

void CMsgBox::paintEvent(QPaintEvent*) {
    QImage canvas(size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&canvas);
        if (background_.isNull()) {
            p.fillRect(canvas.rect(), QColor(240, 244, 248));
            p.fillRect(QRect(0, 0, width(), 30), QColor(60, 110, 170));
            p.setPen(QColor(120, 130, 140));
            p.drawRect(canvas.rect().adjusted(0, 0, -1, -1));
        } else {
            p.drawImage(0, 0, background_);
        }
        if (!icon_.isNull())
            p.drawImage(iconRect_, icon_);
        p.setFont(get_font(QStringLiteral("Arial"), 14, 400));
        p.setPen(Qt::white);
        DrawElidedLine(p, QRect(40, 7, width() - 80, QFontMetrics(p.font()).height()),
                       QString::fromUtf8(fennaro::kProductName), Qt::AlignLeft | Qt::AlignTop);
        p.setFont(get_font(QStringLiteral("Arial"), 16, 400));
        p.setPen(Qt::black);
        const QRect full(70, 0, width() - 80, height());
        if (QFontMetrics(p.font()).horizontalAdvance(text_.left(full.width() + 1)) < full.width())
            DrawElidedLine(p, full, text_, Qt::AlignLeft | Qt::AlignVCenter);
        else
            DrawWrappedText(p, TextRect(), text_, Qt::AlignLeft, true);
    }
    QPainter screen(this);
    screen.drawImage(0, 0, canvas);
    for (CImgButton* b : {&close_, &ok_, &yes_, &no_, &cancel_})
        if (!b->isHidden())
            b->CaptureBackground(canvas, b->x(), b->y());
}

void CMsgBox::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        dragger_.Press(this, e->globalPosition().toPoint());
}

void CMsgBox::mouseMoveEvent(QMouseEvent* e) {
    dragger_.Move(this, e->globalPosition().toPoint(), e->buttons() & Qt::LeftButton);
}

} // namespace skin
