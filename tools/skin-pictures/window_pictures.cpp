#include "window_pictures.h"

#include "glyphs.h"
#include "paint_kit.h"

#include <QFontMetricsF>

namespace {

constexpr int kWidth = 984;
constexpr int kHeight = 674;
constexpr int kTitleHeight = 32; // the tree and the list start right below

// Draws the main title bar: mark, product name, and a divider before the window buttons.
void drawTitleBar(QPainter& painter) {
    drawCaptionBar(painter, QRectF(0, 0, kWidth, kTitleHeight));
    drawLogoMark(painter, QRectF(10, 6, 20, 20));
    const QFont name = skinFont(13, true);
    drawText(painter, QRectF(38, 0, 200, kTitleHeight), QStringLiteral("Quillmet Fennaro"), name,
             Qt::white);
    const qreal nameWidth =
        QFontMetricsF(name).horizontalAdvance(QStringLiteral("Quillmet Fennaro"));
    drawText(painter, QRectF(38 + nameWidth + 12, 0, 300, kTitleHeight),
             QStringLiteral("Contacts & SMS recovery for Android"), skinFont(12),
             QColor(0xA9, 0xC3, 0xD8));
    // The home and help buttons end at x 894, the window buttons start at 914.
    painter.fillRect(QRectF(903.5, 9, 1, 14), QColor(255, 255, 255, 50));
}

// Draws a one-pixel frame round the window so it stands apart from any desktop.
void drawWindowEdge(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(0x0E2A44));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, kWidth - 1, kHeight - 1);
    painter.restore();
}

} // namespace

QImage connectScreenBackground() {
    QImage image = makeCanvas(kWidth, kHeight, QColor(tone::neutral));
    QPainter painter(&image);
    prepare(painter);
    drawTitleBar(painter);
    drawText(painter, QRectF(24, 36, 600, 22), QStringLiteral("Connect your Android phone"),
             skinFont(17, true), QColor(tone::ink));
    drawText(painter, QRectF(24, 56, 700, 16),
             QStringLiteral("Follow the three steps below. The program finds the phone on its "
                            "own and reads its contacts and messages."),
             skinFont(12), QColor(tone::inkMuted));
    // A quiet rule above the place of the failure texts.
    painter.fillRect(QRectF(100, 565, 784, 1), QColor(tone::divider));
    drawWindowEdge(painter);
    return image;
}

QImage dataScreenBackground() {
    QImage image = makeCanvas(kWidth, kHeight, QColor(tone::neutral));
    QPainter painter(&image);
    prepare(painter);
    drawTitleBar(painter);
    // Panels: the tree fills x 1..221, the list x 225..731, the boards x 723/733..973.
    painter.fillRect(QRectF(1, kTitleHeight, kWidth - 2, 577), QColor(tone::panel));
    painter.fillRect(QRectF(222, kTitleHeight, 3, 577), QColor(tone::neutral));
    painter.fillRect(QRectF(222, kTitleHeight, 1, 577), QColor(tone::border));
    painter.fillRect(QRectF(224, kTitleHeight, 1, 577), QColor(tone::border));
    // While the records load the list is hidden: a quiet mark where it will appear.
    painter.save();
    painter.setOpacity(0.14);
    drawLogoMark(painter, QRectF(446, 250, 64, 64));
    painter.restore();
    drawText(painter, QRectF(225, 326, 507, 20),
             QStringLiteral("Reading the phone's records\u2026"), skinFont(13),
             QColor(0x9A, 0xA7, 0xB2), Qt::AlignCenter);
    // Status bar with the busy strip at (20, 641) and the progress bar at (42, 639).
    painter.fillRect(QRectF(0, 609, kWidth, kHeight - 609), QColor(tone::statusBar));
    painter.fillRect(QRectF(0, 609, kWidth, 1), QColor(tone::border));
    drawWindowEdge(painter);
    return image;
}
