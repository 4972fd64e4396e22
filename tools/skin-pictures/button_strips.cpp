#include "button_strips.h"

#include "paint_kit.h"

#include <QFontMetricsF>

#include <cmath>

namespace {

// The frames of a strip in order.
enum Frame { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

// Draws one title-bar button frame into its slot.
void drawIconFrame(QPainter& painter, const QRectF& slot, Glyph glyph, Frame frame,
                   bool closeStyle) {
    const QRectF plate = slot.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    if (frame == Hover) {
        painter.setBrush(closeStyle ? QColor(tone::danger) : QColor(255, 255, 255, 46));
        painter.drawRoundedRect(plate, 4, 4);
    } else if (frame == Pressed) {
        painter.setBrush(closeStyle ? QColor(0xA8, 0x2A, 0x24) : QColor(0, 0, 0, 70));
        painter.drawRoundedRect(plate, 4, 4);
    }
    QColor ink = frame == Normal ? QColor(0xD3, 0xE2, 0xEE) : QColor(Qt::white);
    if (frame == Disabled)
        ink = QColor(255, 255, 255, 80);
    // A whole-pixel box keeps the straight strokes of the icons on the pixel grid.
    const qreal side = std::round(std::min(slot.width(), slot.height()) * 0.7);
    const QRectF box(std::round(slot.center().x() - side / 2),
                     std::round(slot.center().y() - side / 2) + (frame == Pressed ? 1 : 0), side,
                     side);
    drawGlyph(painter, glyph, box, ink, 1.5);
}

// The fill, border and ink of a captioned button in one frame.
struct Look {
    QColor fill;
    QColor border;
    QColor ink;
    QColor shade; // one-pixel ledge under the button
};

// Returns the look of a captioned button kind in a frame.
Look lookOf(ButtonKind kind, Frame frame) {
    if (kind == ButtonKind::Primary) {
        switch (frame) {
        case Normal:
            return {QColor(tone::teal), QColor(tone::teal), Qt::white, QColor(0x0A5C6A)};
        case Hover:
            return {QColor(tone::tealLight), QColor(tone::tealLight), Qt::white, QColor(0x0E7384)};
        case Pressed:
            return {QColor(tone::tealDark), QColor(tone::tealDark), QColor(0xE6F4F6),
                    Qt::transparent};
        case Disabled:
            return {QColor(tone::disabledFill), QColor(tone::disabledFill),
                    QColor(tone::disabledInk), Qt::transparent};
        }
    }
    switch (frame) {
    case Normal:
        return {Qt::white, QColor(0xB4C3CF), QColor(tone::ink), QColor(0xD2DBE2)};
    case Hover:
        return {QColor(tone::tealWash), QColor(tone::teal), QColor(tone::tealDark),
                QColor(0xC4E2E7)};
    case Pressed:
        return {QColor(0xB3DCE3), QColor(tone::tealDark), QColor(tone::tealDark), Qt::transparent};
    case Disabled:
        return {QColor(0xEFF2F4), QColor(tone::disabledFill), QColor(tone::disabledInk),
                Qt::transparent};
    }
    return {};
}

// Draws one captioned button frame into its slot.
void drawTextFrame(QPainter& painter, const QRectF& slot, const QString& caption,
                   std::optional<Glyph> glyph, Frame frame, ButtonKind kind) {
    const Look look = lookOf(kind, frame);
    const QPointF press = frame == Pressed ? QPointF(0, 1) : QPointF();
    QRectF body = slot.adjusted(0.5, 0.5, -0.5, -1.5).translated(press);
    painter.setPen(Qt::NoPen);
    if (look.shade.alpha() > 0) {
        painter.setBrush(look.shade);
        painter.drawRoundedRect(body.translated(0, 1), 5, 5);
    }
    painter.setBrush(look.fill);
    painter.setPen(QPen(look.border, 1));
    painter.drawRoundedRect(body, 5, 5);

    const QFont font = skinFont(12, true);
    const qreal textWidth = QFontMetricsF(font).horizontalAdvance(caption);
    const qreal iconSide = 11;
    const qreal gap = glyph ? 6 : 0;
    const qreal total = textWidth + (glyph ? iconSide + gap : 0);
    qreal x = body.center().x() - total / 2;
    if (glyph) {
        const QRectF box(x, body.center().y() - iconSide / 2, iconSide, iconSide);
        drawGlyph(painter, *glyph, box, look.ink, 1.6);
        x += iconSide + gap;
    }
    drawText(painter, QRectF(x, body.top(), textWidth + 2, body.height()), caption, font, look.ink,
             Qt::AlignLeft | Qt::AlignVCenter);
}

} // namespace

QImage iconButtonStrip(Glyph glyph, QSize frame, int frames, bool closeStyle) {
    QImage strip = makeCanvas(frame.width() * frames, frame.height());
    QPainter painter(&strip);
    prepare(painter);
    for (int i = 0; i < frames; ++i) {
        const QRectF slot(i * frame.width(), 0, frame.width(), frame.height());
        drawIconFrame(painter, slot, glyph, Frame(i), closeStyle);
    }
    return strip;
}

QImage textButtonStrip(const QString& caption, std::optional<Glyph> glyph, QSize frame, int frames,
                       ButtonKind kind) {
    QImage strip = makeCanvas(frame.width() * frames, frame.height());
    QPainter painter(&strip);
    prepare(painter);
    for (int i = 0; i < frames; ++i) {
        const QRectF slot(i * frame.width(), 0, frame.width(), frame.height());
        painter.save();
        painter.setClipRect(slot);
        drawTextFrame(painter, slot, caption, glyph, Frame(i), kind);
        painter.restore();
    }
    return strip;
}
