#include "paint_kit.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainterPath>

#include <algorithm>

QString skinFontFamily() {
    static const QString family = [] {
        for (const char* file :
             {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
            if (QFileInfo::exists(QString::fromLatin1(file)))
                QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        }
        if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
            return QStringLiteral("Tahoma");
        return QStringLiteral("DejaVu Sans");
    }();
    return family;
}

QFont skinFont(int pixelSize, bool bold) {
    QFont font(skinFontFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QImage makeCanvas(int width, int height, QColor fill) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void prepare(QPainter& painter) {
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
}

void drawCaptionBar(QPainter& painter, const QRectF& bar) {
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0, QColor(tone::navyLight));
    gradient.setColorAt(1, QColor(tone::navy));
    painter.fillRect(bar, gradient);
    painter.fillRect(QRectF(bar.left(), bar.bottom() - 1, bar.width(), 1), QColor(0x0E2A44));
}

void drawLogoMark(QPainter& painter, const QRectF& box) {
    painter.save();
    const qreal s = box.width();
    QLinearGradient gradient(box.topLeft(), box.bottomRight());
    gradient.setColorAt(0, QColor(tone::tealLight));
    gradient.setColorAt(1, QColor(tone::tealDark));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(box, s * 0.24, s * 0.24);
    // A phone outline...
    const QRectF phone(box.left() + s * 0.30, box.top() + s * 0.16, s * 0.40, s * 0.68);
    painter.setPen(
        QPen(Qt::white, std::max(1.2, s * 0.075), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(phone, s * 0.07, s * 0.07);
    // ...with an arrow that brings something back into it.
    QPainterPath arrow;
    arrow.moveTo(phone.center().x(), phone.top() + s * 0.16);
    arrow.lineTo(phone.center().x(), phone.bottom() - s * 0.18);
    arrow.moveTo(phone.center().x() - s * 0.09, phone.bottom() - s * 0.27);
    arrow.lineTo(phone.center().x(), phone.bottom() - s * 0.18);
    arrow.lineTo(phone.center().x() + s * 0.09, phone.bottom() - s * 0.27);
    painter.drawPath(arrow);
    painter.restore();
}

void drawCard(QPainter& painter, const QRectF& card, qreal radius) {
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        painter.setBrush(QColor(20, 50, 80, 6 * (4 - i)));
        painter.drawRoundedRect(card.adjusted(-i + 0.5, -i + 1.5, i - 0.5, i + 0.5), radius + i,
                                radius + i);
    }
    painter.setBrush(QColor(tone::panel));
    painter.setPen(QPen(QColor(tone::border), 1));
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.restore();
}

// Draws one line of bold text as an outline filled and traced with a hairline: the bold face
// that ships with Wine is barely heavier than the regular one, so headings get a little help.
static void drawHeavyLine(QPainter& painter, const QRectF& box, const QString& text,
                          const QFont& font, QColor colour, int flags) {
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(text);
    qreal x = box.left();
    if (flags & Qt::AlignHCenter)
        x = box.center().x() - width / 2;
    else if (flags & Qt::AlignRight)
        x = box.right() - width;
    qreal baseline = box.top() + metrics.ascent();
    if (flags & Qt::AlignVCenter)
        baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    else if (flags & Qt::AlignBottom)
        baseline = box.bottom() - metrics.descent();
    QPainterPath path;
    path.addText(QPointF(x, baseline), font, text);
    painter.setPen(QPen(colour, std::max(0.3, font.pixelSize() / 36.0)));
    painter.setBrush(colour);
    painter.drawPath(path);
}

void drawText(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
              QColor colour, int flags) {
    painter.save();
    if (font.bold() && font.family() == QStringLiteral("Tahoma") && !(flags & Qt::TextWordWrap)) {
        drawHeavyLine(painter, box, text, font, colour, flags);
    } else {
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(box, flags, text);
    }
    painter.restore();
}

void drawWrappedText(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                     QColor colour, qreal linePitch) {
    const QFontMetricsF metrics(font);
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > box.width()) {
            lines.append(line);
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRectF row(box.left(), box.top() + i * linePitch, box.width(), linePitch);
        if (row.bottom() > box.bottom() + 0.5)
            break;
        drawText(painter, row, lines[i], font, colour, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

bool savePicture(const QImage& image, const QString& path) {
    if (path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive))
        return image.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
    // Opaque pictures are written without an alpha channel: a quarter fewer bytes to store.
    bool opaque = true;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height() && opaque; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width() && opaque; ++x)
            opaque = qAlpha(line[x]) == 255;
    }
    QImageWriter writer(path, "png");
    // For PNG, Qt turns the lowest "quality" into the strongest (lossless) deflate level.
    writer.setQuality(0);
    return writer.write(opaque ? argb.convertToFormat(QImage::Format_RGB32) : argb);
}
