#include "dialog_pictures.h"

#include "paint_kit.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace {

// Draws a one-pixel frame round a dialog picture.
void drawDialogEdge(QPainter& painter, int width, int height) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(0x0E2A44));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width - 1, height - 1);
    painter.restore();
}

} // namespace

QImage messageBoxBackground() {
    const int width = 420;
    const int height = 190;
    QImage image = makeCanvas(width, height, QColor(tone::panel));
    QPainter painter(&image);
    prepare(painter);
    // The caption text is drawn at (40, 7); the close button sits at the right of the bar.
    drawCaptionBar(painter, QRectF(0, 0, width, 31));
    drawLogoMark(painter, QRectF(13, 6, 19, 19));
    // The buttons stand 15 pixels above the bottom edge, on a light band.
    painter.fillRect(QRectF(0, 132, width, height - 132), QColor(tone::neutral));
    painter.fillRect(QRectF(0, 132, width, 1), QColor(tone::divider));
    drawDialogEdge(painter, width, height);
    return image;
}

QImage aboutBoxBackground() {
    const int width = 490;
    const int height = 362;
    QImage image = makeCanvas(width, height, QColor(tone::neutral));
    QPainter painter(&image);
    prepare(painter);
    drawCaptionBar(painter, QRectF(0, 0, width, 29));
    drawLogoMark(painter, QRectF(13, 5, 18, 18));
    // Banner with the mark and the name; the version line follows at y 135.
    const QRectF banner(0, 29, width, 92);
    QLinearGradient gradient(banner.topLeft(), banner.bottomRight());
    gradient.setColorAt(0, QColor(tone::navy));
    gradient.setColorAt(1, QColor(tone::tealDark));
    painter.fillRect(banner, gradient);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 14));
    painter.drawEllipse(QPointF(430, 40), 90, 90);
    painter.drawEllipse(QPointF(480, 120), 60, 60);
    drawLogoMark(painter, QRectF(40, 47, 56, 56));
    drawText(painter, QRectF(112, 48, 360, 32), QStringLiteral("Quillmet Fennaro"),
             skinFont(24, true), Qt::white);
    drawText(painter, QRectF(113, 80, 360, 20),
             QStringLiteral("Contacts and text messages back from your Android phone"),
             skinFont(12), QColor(0xC6, 0xDD, 0xE8));
    // Thin rules frame the notice (y 190 to 254) and set off the link and rights lines.
    painter.fillRect(QRectF(40, 170, width - 80, 1), QColor(tone::border));
    painter.fillRect(QRectF(40, 262, width - 80, 1), QColor(tone::divider));
    drawDialogEdge(painter, width, height);
    return image;
}

QImage messageIcon(Glyph glyph, QColor colour, bool triangle) {
    QImage image = makeCanvas(40, 40);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    QRectF glyphBox(10, 10, 20, 20);
    if (triangle) {
        QPainterPath path;
        path.moveTo(20, 3);
        path.lineTo(38, 35);
        path.lineTo(2, 35);
        path.closeSubpath();
        painter.setPen(QPen(colour, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
        glyphBox = QRectF(10, 12, 20, 20);
    } else {
        painter.drawEllipse(QRectF(1, 1, 38, 38));
    }
    drawGlyph(painter, glyph, glyphBox, Qt::white, 3.4);
    return image;
}
