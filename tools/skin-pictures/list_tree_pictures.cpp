#include "list_tree_pictures.h"

#include "paint_kit.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <cmath>

namespace {

constexpr int kBox = 16;

// The states a check box frame can show.
enum class Box { Unchecked, UncheckedHover, Partly, Checked, CheckedHover, Unavailable };

// Draws one check box frame at x.
void drawCheckFrame(QPainter& painter, int x, Box state) {
    const QRectF box(x + 1.5, 1.5, kBox - 3, kBox - 3);
    QColor fill = Qt::white;
    QColor edge(0x93A5B4);
    if (state == Box::UncheckedHover) {
        fill = QColor(tone::tealWash);
        edge = QColor(tone::teal);
    } else if (state == Box::Partly || state == Box::Checked) {
        fill = QColor(tone::teal);
        edge = QColor(tone::teal);
    } else if (state == Box::CheckedHover) {
        fill = QColor(tone::tealLight);
        edge = QColor(tone::tealLight);
    } else if (state == Box::Unavailable) {
        fill = QColor(0xE9EDF0);
        edge = QColor(tone::disabledFill);
    }
    painter.setPen(QPen(edge, 1.2));
    painter.setBrush(fill);
    painter.drawRoundedRect(box, 3, 3);
    const QRectF mark = box.adjusted(1, 1, -1, -1);
    if (state == Box::Checked || state == Box::CheckedHover)
        drawGlyph(painter, Glyph::Check, mark, Qt::white, 2);
    else if (state == Box::Partly)
        drawGlyph(painter, Glyph::Dash, mark, Qt::white, 2);
}

// Draws a strip of check box frames in the given order.
QImage checkStrip(std::initializer_list<Box> states) {
    QImage image = makeCanvas(kBox * int(states.size()), kBox);
    QPainter painter(&image);
    prepare(painter);
    int x = 0;
    for (Box state : states) {
        drawCheckFrame(painter, x, state);
        x += kBox;
    }
    return image;
}

} // namespace

QImage listCheckStrip() {
    return checkStrip({Box::Unchecked, Box::UncheckedHover, Box::Checked, Box::CheckedHover});
}

QImage treeCheckStrip() {
    return checkStrip(
        {Box::Unchecked, Box::UncheckedHover, Box::Partly, Box::Checked, Box::Unavailable});
}

QImage deletedMarker() {
    QImage image = makeCanvas(16, 16);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(tone::danger));
    painter.drawRoundedRect(QRectF(0, 0, 16, 16), 3.5, 3.5);
    drawGlyph(painter, Glyph::Trash, QRectF(2, 2, 12, 12), Qt::white, 1.3);
    return image;
}

QImage headerBackground() {
    QImage image = makeCanvas(4, 30);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 0, 29);
    gradient.setColorAt(0, QColor(0xFAFCFD));
    gradient.setColorAt(1, QColor(0xE8EEF3));
    painter.fillRect(QRect(0, 0, 4, 29), gradient);
    painter.fillRect(QRect(0, 29, 4, 1), QColor(tone::border));
    return image;
}

QImage sortArrow(bool ascending) {
    QImage image = makeCanvas(10, 10);
    QPainter painter(&image);
    prepare(painter);
    drawGlyph(painter, ascending ? Glyph::SortUp : Glyph::SortDown, QRectF(0.5, 1, 9, 8),
              QColor(tone::teal), 1.2);
    return image;
}

QImage treeExpandPicture(bool opened) {
    QImage image = makeCanvas(16, 16, Qt::white);
    QPainter painter(&image);
    prepare(painter);
    drawGlyph(painter, opened ? Glyph::ChevronDown : Glyph::ChevronRight, QRectF(2, 2, 12, 12),
              QColor(0x5E7182), 1.8);
    return image;
}

QImage treeRowPicture(Glyph glyph, QColor tile) {
    QImage image = makeCanvas(20, 20);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(0, 0, 20, 20), 5, 5);
    const qreal stroke = glyph == Glyph::Phone ? 1.6 : 1.4;
    drawGlyph(painter, glyph, QRectF(3, 3, 14, 14), Qt::white, stroke);
    return image;
}

QImage busyStrip() {
    const int side = 18;
    const int frames = 8;
    QImage image = makeCanvas(side * frames, side);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(Qt::NoPen);
    for (int f = 0; f < frames; ++f) {
        const QPointF centre(f * side + side / 2.0, side / 2.0);
        for (int d = 0; d < 8; ++d) {
            // The lead dot moves one place clockwise per frame; the ones behind it fade.
            const int age = (f - d + 8) % 8;
            const double angle = d * M_PI / 4 - M_PI / 2;
            QColor dot(tone::teal);
            dot.setAlphaF(std::max(0.18, 1.0 - age * 0.14));
            painter.setBrush(dot);
            const qreal radius = age == 0 ? 2.1 : 1.7;
            painter.drawEllipse(centre + QPointF(6.2 * std::cos(angle), 6.2 * std::sin(angle)),
                                radius, radius);
        }
    }
    return image;
}

QImage contactPicture() {
    QImage image = makeCanvas(62, 62);
    QPainter painter(&image);
    prepare(painter);
    QLinearGradient gradient(0, 0, 62, 62);
    gradient.setColorAt(0, QColor(tone::tealLight));
    gradient.setColorAt(1, QColor(tone::navyLight));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(QRectF(1, 1, 60, 60));
    painter.setClipRegion(QRegion(1, 1, 60, 60, QRegion::Ellipse));
    drawGlyph(painter, Glyph::Person, QRectF(13, 14, 36, 40), QColor(255, 255, 255, 235), 1);
    return image;
}
