#include "bubble_pieces.h"

#include "paint_kit.h"

#include <QPainterPath>

namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 70;
constexpr int kTail = 7; // how far the tail reaches out of the body
constexpr qreal kRadius = 10;

// Draws a whole bubble of the kind on the board colour, the body filled flat so the pieces meet
// the inner rectangle the program fills.
QImage wholeBubble(bool sent) {
    QImage image = makeCanvas(kWidth, kHeight, QColor(tone::messageBoard));
    QPainter painter(&image);
    prepare(painter);
    if (sent) {
        // Draw the received shape mirrored, so both tails are the same curve.
        painter.translate(kWidth, 0);
        painter.scale(-1, 1);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(sent ? tone::sentFill : tone::receivedFill));
    QPainterPath body;
    body.addRoundedRect(QRectF(kTail, 0, kWidth - kTail, kHeight), kRadius, kRadius);
    QPainterPath tail;
    tail.moveTo(kTail, kHeight - 18);
    tail.cubicTo(kTail, kHeight - 6, kTail - 3, kHeight - 1.5, 0, kHeight - 0.2);
    tail.cubicTo(kTail + 3, kHeight, kTail + 8, kHeight - 1, kTail + 12, kHeight - 4);
    tail.lineTo(kTail + 12, kHeight - 18);
    tail.closeSubpath();
    painter.drawPath(body.united(tail));
    return image;
}

} // namespace

QList<BubblePiece> bubblePieces(bool sent) {
    const QImage whole = wholeBubble(sent);
    // Margins round the inner rectangle: received 18 left, 15 top, 12 right, 18 bottom;
    // sent 12 left, 18 top, 18 right, 18 bottom.
    const int left = sent ? 12 : 18;
    const int top = sent ? 18 : 15;
    const int right = sent ? 18 : 12;
    const int bottom = 18;
    const QString prefix = sent ? QStringLiteral("out_") : QStringLiteral("in_");
    const int midX = kWidth / 2;
    const int midY = kHeight / 2;
    return {
        {prefix + "lefttop.bmp", whole.copy(0, 0, left, top)},
        {prefix + "leftbottom.bmp", whole.copy(0, kHeight - bottom, left, bottom)},
        {prefix + "righttop.bmp", whole.copy(kWidth - right, 0, right, top)},
        {prefix + "rightbottom.bmp", whole.copy(kWidth - right, kHeight - bottom, right, bottom)},
        {prefix + "topline.bmp", whole.copy(midX, 0, 1, top)},
        {prefix + "bottomline.bmp", whole.copy(midX, kHeight - bottom, 1, bottom)},
        {prefix + "leftline.bmp", whole.copy(0, midY, left, 1)},
        {prefix + "rightline.bmp", whole.copy(kWidth - right, midY, right, 1)},
    };
}
