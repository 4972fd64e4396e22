#include "connect_pictures.h"

#include "glyphs.h"
#include "paint_kit.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr int kSceneWidth = 785;
constexpr int kSceneHeight = 331;

// ---- The step guide ----

// Draws a small phone on a tinted tile; the screen contents differ per step.
QRectF drawTilePhone(QPainter& painter, const QRectF& tile) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(tone::tealWash));
    painter.drawRoundedRect(tile, 12, 12);
    const QRectF phone(tile.center().x() - 18, tile.center().y() - 31, 36, 62);
    painter.setBrush(QColor(tone::navy));
    painter.drawRoundedRect(phone, 6, 6);
    const QRectF screen = phone.adjusted(3, 6, -3, -8);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(screen, 2, 2);
    return screen;
}

// Step one: a phone whose cable leaves its foot and runs out of the tile to a plug.
void drawUsbTile(QPainter& painter, const QRectF& tile) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(tone::tealWash));
    painter.drawRoundedRect(tile, 12, 12);
    // Higher than on the other tiles, to leave room for the cable below.
    const QRectF phone(tile.center().x() - 22, tile.center().y() - 39, 36, 62);
    painter.setBrush(QColor(tone::navy));
    painter.drawRoundedRect(phone, 6, 6);
    const QRectF screen = phone.adjusted(3, 6, -3, -8);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(screen, 2, 2);
    drawLogoMark(painter, QRectF(screen.center().x() - 9, screen.center().y() - 9, 18, 18));
    const QPointF foot(phone.center().x(), phone.bottom());
    const QPointF plug(tile.right() - 16, foot.y() + 9);
    QPainterPath cable;
    cable.moveTo(foot);
    cable.cubicTo(foot + QPointF(0, 9), plug + QPointF(-22, 0), plug);
    painter.setPen(QPen(QColor(tone::teal), 2.6, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(cable);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(tone::teal));
    painter.drawRoundedRect(QRectF(plug.x() - 2, plug.y() - 4.5, 11, 9), 2, 2);
    painter.setBrush(QColor(tone::tealDark));
    painter.drawRect(QRectF(plug.x() + 9, plug.y() - 3, 4, 6));
}

// Step two: a settings screen whose highlighted switch is on.
void drawDebugTile(QPainter& painter, const QRectF& tile) {
    const QRectF screen = drawTilePhone(painter, tile);
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < 4; ++row) {
        const qreal y = screen.top() + 5 + row * 9.5;
        const bool active = row == 2;
        if (active) {
            painter.setBrush(QColor(tone::tealWash));
            painter.drawRect(QRectF(screen.left(), y - 2.5, screen.width(), 9));
        }
        painter.setBrush(QColor(active ? tone::ink : tone::border));
        painter.drawRoundedRect(QRectF(screen.left() + 3, y, 10, 3.5), 1.5, 1.5);
        const QRectF track(screen.right() - 13, y - 1, 10, 5.5);
        painter.setBrush(QColor(active ? tone::teal : tone::disabledFill));
        painter.drawRoundedRect(track, 2.75, 2.75);
        painter.setBrush(Qt::white);
        painter.drawEllipse(
            QPointF(active ? track.right() - 2.75 : track.left() + 2.75, track.center().y()), 2, 2);
    }
}

// Step three: a shield with a check, the superuser grant.
void drawRootTile(QPainter& painter, const QRectF& tile) {
    const QRectF screen = drawTilePhone(painter, tile);
    const QPointF c = screen.center();
    QPainterPath shield;
    shield.moveTo(c + QPointF(0, -14));
    shield.cubicTo(c + QPointF(6, -10), c + QPointF(10, -10), c + QPointF(12, -10));
    shield.cubicTo(c + QPointF(12, 2), c + QPointF(8, 10), c + QPointF(0, 15));
    shield.cubicTo(c + QPointF(-8, 10), c + QPointF(-12, 2), c + QPointF(-12, -10));
    shield.cubicTo(c + QPointF(-10, -10), c + QPointF(-6, -10), c + QPointF(0, -14));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(tone::success));
    painter.drawPath(shield);
    drawGlyph(painter, Glyph::Check, QRectF(c.x() - 7, c.y() - 7, 14, 14), Qt::white, 2);
}

// One step of the guide: what to do and where.
struct Step {
    QString title;
    QString text;
    void (*drawTile)(QPainter&, const QRectF&);
};

constexpr qreal kTileWidth = 70;

// Returns the title width a step card of the given width leaves: tile, badge and margins off.
qreal stepTitleWidth(qreal cardWidth) {
    return cardWidth - 12 - kTileWidth - 14 - 22 - 8 - 14;
}

// Returns the largest bold font, 14 pixels at most, in which every title fits its card.
QFont stepTitleFont(const QList<Step>& steps, qreal cardWidth) {
    for (int size = 14; size > 11; --size) {
        const QFontMetricsF metrics(skinFont(size, true));
        bool fits = true;
        for (const Step& step : steps)
            fits = fits && metrics.horizontalAdvance(step.title) <= stepTitleWidth(cardWidth);
        if (fits)
            return skinFont(size, true);
    }
    return skinFont(12, true);
}

// Draws one step card: illustration, numbered title and a short instruction.
void drawStepCard(QPainter& painter, const QRectF& card, int number, const Step& step,
                  const QFont& titleFont) {
    drawCard(painter, card, 10);
    const QRectF tile(card.left() + 12, card.top() + 12, kTileWidth, card.height() - 24);
    step.drawTile(painter, tile);
    const qreal textLeft = tile.right() + 14;
    const QRectF badge(textLeft, card.top() + 18, 22, 22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(tone::teal));
    painter.drawEllipse(badge);
    drawText(painter, badge, QString::number(number), skinFont(12, true), Qt::white,
             Qt::AlignCenter);
    drawText(painter, QRectF(badge.right() + 8, badge.top() - 2, stepTitleWidth(card.width()), 26),
             step.title, titleFont, QColor(tone::ink));
    drawWrappedText(painter,
                    QRectF(textLeft, badge.bottom() + 10, card.right() - textLeft - 12,
                           card.bottom() - badge.bottom() - 20),
                    step.text, skinFont(12), QColor(tone::inkMuted), 17);
}

// ---- The connecting scene ----

// Where the cable runs: from the computer's side port to the phone's foot.
QPainterPath cablePath() {
    QPainterPath path;
    path.moveTo(318, 196);
    path.cubicTo(410, 196, 430, 248, 500, 248);
    path.cubicTo(560, 248, 585, 250, 585, 232);
    return path;
}

// Draws the computer: a laptop whose screen shows the program's mark.
void drawComputer(QPainter& painter) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(tone::navy));
    painter.drawRoundedRect(QRectF(118, 58, 196, 132), 10, 10);
    painter.setBrush(QColor(0xF4F8FB));
    painter.drawRoundedRect(QRectF(126, 66, 180, 112), 4, 4);
    // A window with a title bar and two panels on the laptop's screen.
    painter.setBrush(QColor(tone::navy));
    painter.drawRect(QRectF(126, 66, 180, 12));
    painter.setBrush(QColor(tone::divider));
    painter.drawRect(QRectF(132, 84, 40, 88));
    painter.setBrush(QColor(tone::tealWash));
    for (int i = 0; i < 5; ++i)
        painter.drawRect(QRectF(178, 86 + i * 17, 122, 11));
    QPainterPath base;
    base.moveTo(100, 192);
    base.lineTo(332, 192);
    base.lineTo(322, 206);
    base.lineTo(110, 206);
    base.closeSubpath();
    painter.setBrush(QColor(0x9FB1C0));
    painter.drawPath(base);
    painter.setBrush(QColor(0x7F93A4));
    painter.drawRoundedRect(QRectF(192, 192, 48, 4), 2, 2);
    // The USB port on its side.
    painter.setBrush(QColor(0x536779));
    painter.drawRect(QRectF(318, 193, 6, 6));
}

// Draws the phone; its screen shows the mark, or a grey screen when nothing answers.
void drawPhone(QPainter& painter, bool answering) {
    const QRectF body(535, 40, 100, 186);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(tone::navy));
    painter.drawRoundedRect(body, 16, 16);
    const QRectF screen = body.adjusted(7, 18, -7, -24);
    painter.setBrush(answering ? QColor(0xF4F8FB) : QColor(0xDDE3E8));
    painter.drawRoundedRect(screen, 4, 4);
    painter.setBrush(QColor(0x2D5478));
    painter.drawRoundedRect(QRectF(body.center().x() - 12, body.top() + 8, 24, 4), 2, 2);
    painter.drawRoundedRect(QRectF(body.center().x() - 10, body.bottom() - 15, 20, 7), 3.5, 3.5);
    if (answering) {
        drawLogoMark(painter, QRectF(screen.center().x() - 22, screen.top() + 26, 44, 44));
        painter.setBrush(QColor(tone::tealWash));
        painter.drawRoundedRect(
            QRectF(screen.left() + 12, screen.top() + 86, screen.width() - 24, 8), 4, 4);
        painter.drawRoundedRect(
            QRectF(screen.left() + 20, screen.top() + 100, screen.width() - 40, 8), 4, 4);
    } else {
        drawGlyph(painter, Glyph::Phone,
                  QRectF(screen.center().x() - 20, screen.center().y() - 28, 40, 40),
                  QColor(0xA9B6C1), 2.5);
    }
}

// Draws the cable, whole or cut in the middle.
void drawCable(QPainter& painter, bool broken) {
    const QPainterPath path = cablePath();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x8FA3B3), 5, Qt::SolidLine, Qt::RoundCap));
    if (!broken) {
        painter.drawPath(path);
    } else {
        QPainterPath first, second;
        const int steps = 80;
        for (int i = 0; i <= steps; ++i) {
            const qreal t = qreal(i) / steps;
            const QPointF p = path.pointAtPercent(t);
            if (t < 0.42)
                i == 0 ? first.moveTo(p) : first.lineTo(p);
            else if (t > 0.58)
                second.elementCount() == 0 ? second.moveTo(p) : second.lineTo(p);
        }
        painter.drawPath(first);
        painter.drawPath(second);
    }
    // Plugs at both ends.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x6E8496));
    painter.drawRoundedRect(QRectF(324, 189, 14, 14), 3, 3);
    painter.drawRoundedRect(QRectF(578, 226, 14, 12), 3, 3);
}

// Draws the scene's frame: a white card on the window's neutral colour.
void drawSceneCard(QPainter& painter) {
    painter.fillRect(QRectF(0, 0, kSceneWidth, kSceneHeight), QColor(tone::neutral));
    drawCard(painter, QRectF(4, 3, kSceneWidth - 8, kSceneHeight - 8), 12);
}

// Draws the scene's two lines of text under the pictures; `dots` trailing dots (0 to 3) follow
// the title without moving it.
void drawSceneCaption(QPainter& painter, const QString& title, QColor titleColour,
                      const QString& text, int dots = 0) {
    const QFont titleFont = skinFont(17, true);
    const qreal titleWidth = QFontMetricsF(titleFont).horizontalAdvance(title);
    const QRectF titleBox(kSceneWidth / 2.0 - titleWidth / 2, 272, titleWidth + 40, 24);
    drawText(painter, titleBox, title, titleFont, titleColour, Qt::AlignLeft | Qt::AlignVCenter);
    drawText(painter, titleBox.translated(titleWidth, 0), QString(dots, QLatin1Char('.')),
             titleFont, titleColour, Qt::AlignLeft | Qt::AlignVCenter);
    drawText(painter, QRectF(0, 297, kSceneWidth, 18), text, skinFont(12), QColor(tone::inkMuted),
             Qt::AlignCenter);
}

} // namespace

QImage stepGuidePicture() {
    const int width = 982;
    const int height = 150;
    QImage image = makeCanvas(width, height, QColor(tone::neutral));
    QPainter painter(&image);
    prepare(painter);
    const QList<Step> steps = {
        {QStringLiteral("Connect by USB"),
         QStringLiteral("Plug the phone into this computer with a USB data cable and unlock "
                        "its screen."),
         drawUsbTile},
        {QStringLiteral("Enable USB debugging"),
         QStringLiteral("Settings \u203A Developer options \u203A USB debugging. Then allow "
                        "this computer on the phone."),
         drawDebugTile},
        {QStringLiteral("Allow root access"),
         QStringLiteral("The phone must be rooted. Grant superuser access when the phone "
                        "asks for it."),
         drawRootTile},
    };
    const qreal margin = 23;
    const qreal gap = 34;
    const qreal cardWidth = (width - 2 * margin - 2 * gap) / 3;
    const QFont titleFont = stepTitleFont(steps, cardWidth);
    for (int i = 0; i < 3; ++i) {
        const QRectF card(margin + i * (cardWidth + gap), 6, cardWidth, height - 16);
        drawStepCard(painter, card, i + 1, steps[i], titleFont);
        if (i < 2) {
            const QRectF arrow(card.right() + gap / 2 - 8, card.center().y() - 8, 16, 16);
            drawGlyph(painter, Glyph::ChevronRight, arrow, QColor(tone::teal), 2.4);
        }
    }
    return image;
}

QList<GifFrame> connectingAnimation() {
    QList<GifFrame> frames;
    const int count = 12;
    const QPainterPath cable = cablePath();
    for (int f = 0; f < count; ++f) {
        QImage image = makeCanvas(kSceneWidth, kSceneHeight, QColor(tone::neutral));
        QPainter painter(&image);
        prepare(painter);
        drawSceneCard(painter);
        // A ring pulses out of the phone while it is being asked.
        const qreal phase = qreal(f) / count;
        painter.setBrush(Qt::NoBrush);
        for (qreal wave : {phase, std::fmod(phase + 0.5, 1.0)}) {
            QColor ring(tone::teal);
            ring.setAlphaF(0.35 * (1 - wave));
            painter.setPen(QPen(ring, 2));
            const qreal r = 100 + wave * 36;
            painter.drawRoundedRect(QRectF(585 - r * 0.62, 133 - r, r * 1.24, r * 2), 24, 24);
        }
        drawComputer(painter);
        drawCable(painter, false);
        drawPhone(painter, true);
        // Three packets travel from the phone to the computer; after one cycle each has moved
        // into the place of the one ahead, so the loop has no seam.
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(QColor(tone::teal));
        for (int k = 0; k < 3; ++k) {
            const qreal t = 1.0 - std::fmod(k / 3.0 + phase / 3.0, 1.0);
            painter.drawEllipse(cable.pointAtPercent(std::clamp(t, 0.0, 1.0)), 6.5, 6.5);
        }
        const int dots = f / 4 % 3 + 1;
        drawSceneCaption(painter, QStringLiteral("Looking for your phone"), QColor(tone::ink),
                         QStringLiteral("Keep the phone connected and unlocked, and accept any "
                                        "prompt on its screen."),
                         dots);
        painter.end();
        frames.append({image, 9});
    }
    return frames;
}

QImage connectFailedPicture() {
    QImage image = makeCanvas(kSceneWidth, kSceneHeight, QColor(tone::neutral));
    QPainter painter(&image);
    prepare(painter);
    drawSceneCard(painter);
    drawComputer(painter);
    drawCable(painter, true);
    drawPhone(painter, false);
    const QPointF breakPoint = cablePath().pointAtPercent(0.5);
    painter.setPen(QPen(Qt::white, 3));
    painter.setBrush(QColor(tone::warning));
    painter.drawEllipse(breakPoint, 17, 17);
    drawGlyph(painter, Glyph::Exclamation, QRectF(breakPoint.x() - 11, breakPoint.y() - 11, 22, 22),
              Qt::white, 3);
    drawSceneCaption(painter, QStringLiteral("No phone answered"), QColor(tone::warning),
                     QStringLiteral("Check the cable and the three steps above, then press "
                                    "Refresh."));
    return image;
}
