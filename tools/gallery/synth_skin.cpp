#include "synth_skin.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>
#include <map>

namespace gallery {

namespace {

// Draws one frame of a strip into the painter's current area.
using FrameDraw = std::function<void(QPainter&, const QRect&, int)>;

// Makes a strip of frames of a size, each drawn by the callback.
QImage MakeStrip(QSize frame, int count, const FrameDraw& draw) {
    QImage img(frame.width() * count, frame.height(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < count; ++i)
        draw(p, QRect(QPoint(i * frame.width(), 0), frame), i);
    return img;
}

// Makes a four-state labelled push button strip.
QImage LabelledButton(const QString& label, QColor base) {
    return MakeStrip(QSize(76, 28), 4, [&](QPainter& p, const QRect& r, int i) {
        QColor c = i == 1 ? base.lighter(120) : i == 2 ? base.darker(130) : base;
        if (i == 3)
            c = QColor(190, 190, 190);
        p.setPen(c.darker(140));
        p.setBrush(c);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        p.setPen(Qt::white);
        QFont f("Sans");
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.drawText(r, Qt::AlignCenter, label);
    });
}

// Makes a four-state square caption button with a glyph.
QImage GlyphButton(const std::function<void(QPainter&, const QRectF&)>& glyph) {
    return MakeStrip(QSize(20, 20), 4, [&](QPainter& p, const QRect& r, int i) {
        const QColor bg[] = {QColor(0, 0, 0, 0), QColor(255, 255, 255, 70), QColor(0, 0, 0, 60),
                             QColor(0, 0, 0, 0)};
        p.setPen(Qt::NoPen);
        p.setBrush(bg[i]);
        p.drawRoundedRect(r, 3, 3);
        p.setPen(QPen(i == 3 ? QColor(170, 170, 170) : QColor(255, 255, 255), 2));
        p.setBrush(Qt::NoBrush);
        glyph(p, QRectF(r).adjusted(5, 5, -5, -5));
    });
}

// Makes a check box strip; checkedFrames lists frames with a tick.
QImage CheckStrip(int count, std::initializer_list<int> checkedFrames, int greyFrame) {
    return MakeStrip(QSize(14, 14), count, [&](QPainter& p, const QRect& r, int i) {
        const bool grey = i == greyFrame;
        p.setPen(grey ? QColor(200, 200, 200) : QColor(90, 120, 160));
        p.setBrush(grey ? QColor(235, 235, 235) : Qt::white);
        p.drawRect(QRectF(r).adjusted(1.5, 1.5, -1.5, -1.5));
        for (int c : checkedFrames)
            if (c == i) {
                p.setPen(QPen(QColor(40, 140, 40), 2));
                const QPointF o = r.topLeft();
                p.drawPolyline(
                    QPolygonF({o + QPointF(3.5, 7), o + QPointF(6, 10), o + QPointF(11, 4)}));
            }
    });
}

// Makes a round message icon with a letter.
QImage RoundIcon(QColor c, const QString& glyph) {
    QImage img(40, 40, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(2, 2, 36, 36));
    p.setPen(Qt::white);
    QFont f("Sans");
    f.setPixelSize(24);
    f.setBold(true);
    p.setFont(f);
    p.drawText(img.rect(), Qt::AlignCenter, glyph);
    return img;
}

// Makes a dialog background with a caption band.
QImage DialogBackground(QSize size) {
    QImage img(size, QImage::Format_ARGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), QColor(238, 244, 248));
    QLinearGradient g(0, 0, 0, 30);
    g.setColorAt(0, QColor(70, 130, 200));
    g.setColorAt(1, QColor(40, 95, 165));
    p.fillRect(QRect(0, 0, size.width(), 30), g);
    p.setPen(QColor(40, 95, 165));
    p.drawRect(img.rect().adjusted(0, 0, -1, -1));
    return img;
}

// Makes a solid picture with a centred glyph drawn by a callback.
QImage Icon(QSize size, const std::function<void(QPainter&, const QRectF&)>& draw) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QRectF(img.rect()));
    return img;
}

// Makes the full bubble template of a kind, from which the pieces are cut.
QImage BubbleTemplate(bool received) {
    const QSize size(60, 60);
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor(244, 247, 250));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fill = received ? QColor(216, 216, 216) : QColor(136, 193, 33);
    p.setPen(QPen(fill.darker(125), 1));
    p.setBrush(fill);
    QPainterPath path;
    if (received) {
        path.addRoundedRect(QRectF(8.5, 2.5, 50, 55), 6, 6);
        path.moveTo(9, 10);
        path.lineTo(1, 14);
        path.lineTo(9, 18);
    } else {
        path.addRoundedRect(QRectF(1.5, 2.5, 50, 55), 6, 6);
        path.moveTo(51, 10);
        path.lineTo(59, 14);
        path.lineTo(51, 18);
    }
    p.drawPath(path.simplified());
    return img;
}

// Cuts a piece of a bubble template by piece name.
QImage BubblePiece(bool received, const QString& piece) {
    const QImage t = BubbleTemplate(received);
    const int lw = received ? 18 : 12, rw = received ? 12 : 18, th = received ? 15 : 18;
    const std::map<QString, QRect> cuts = {
        {"lefttop", QRect(0, 0, lw, th)},        {"leftbottom", QRect(0, 60 - 18, lw, 18)},
        {"righttop", QRect(60 - rw, 0, rw, th)}, {"rightbottom", QRect(60 - rw, 60 - 18, rw, 18)},
        {"topline", QRect(30, 0, 1, th)},        {"bottomline", QRect(30, 60 - 18, 1, 18)},
        {"leftline", QRect(0, 30, lw, 1)},       {"rightline", QRect(60 - rw, 30, rw, 1)},
    };
    const auto it = cuts.find(piece);
    return it == cuts.end() ? QImage() : t.copy(it->second);
}

// Makes the picture for a skin file name, null when unknown.
QImage MakePicture(const QString& name) {
    if (name == "ok.png")
        return LabelledButton("OK", QColor(60, 130, 200));
    if (name == "yes.png")
        return LabelledButton("Yes", QColor(60, 150, 90));
    if (name == "no.png")
        return LabelledButton("No", QColor(190, 90, 60));
    if (name == "cancel.png")
        return LabelledButton("Cancel", QColor(120, 120, 130));
    if (name == "close.png")
        return GlyphButton([](QPainter& p, const QRectF& r) {
            p.drawLine(r.topLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomLeft());
        });
    if (name == "checkbox.png")
        return CheckStrip(4, {2}, 3);
    if (name == "checkboxes.png")
        return CheckStrip(5, {3}, 4);
    if (name == "deleted.png")
        return Icon(QSize(16, 16), [](QPainter& p, const QRectF& r) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(210, 40, 40));
            p.drawEllipse(r.adjusted(1, 1, -1, -1));
            p.setPen(QPen(Qt::white, 2));
            p.drawLine(QPointF(5, 5), QPointF(11, 11));
            p.drawLine(QPointF(11, 5), QPointF(5, 11));
        });
    if (name == "list_hearder.bmp") {
        QImage img(4, 30, QImage::Format_RGB32);
        QPainter p(&img);
        QLinearGradient g(0, 0, 0, 30);
        g.setColorAt(0, QColor(250, 251, 253));
        g.setColorAt(1, QColor(222, 228, 236));
        p.fillRect(img.rect(), g);
        return img;
    }
    if (name == "inc.png" || name == "dec.png") {
        const bool up = name == "inc.png";
        return Icon(QSize(9, 6), [up](QPainter& p, const QRectF&) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(90, 100, 120));
            p.drawPolygon(up ? QPolygonF({{0, 6}, {4.5, 0}, {9, 6}})
                             : QPolygonF({{0, 0}, {4.5, 6}, {9, 0}}));
        });
    }
    if (name == "tree_closed.bmp" || name == "tree_opened.bmp") {
        const bool open = name == "tree_opened.bmp";
        QImage img(16, 16, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setPen(QColor(140, 150, 160));
        p.drawRect(3, 3, 9, 9);
        p.setPen(QColor(60, 70, 80));
        p.drawLine(5, 7, 10, 7);
        if (!open)
            p.drawLine(7, 5, 7, 10);
        return img;
    }
    if (name == "treeroot.png" || name == "contacts.png" || name == "message.png") {
        const QColor c = name == "treeroot.png"   ? QColor(90, 160, 60)
                         : name == "contacts.png" ? QColor(60, 120, 200)
                                                  : QColor(230, 150, 40);
        return Icon(QSize(18, 18), [c](QPainter& p, const QRectF& r) {
            p.setPen(c.darker(130));
            p.setBrush(c);
            p.drawRoundedRect(r.adjusted(2.5, 1.5, -2.5, -1.5), 3, 3);
        });
    }
    if (name == "animate.png")
        return MakeStrip(QSize(24, 24), 8, [](QPainter& p, const QRect& r, int i) {
            p.setPen(Qt::NoPen);
            for (int k = 0; k < 8; ++k) {
                const double a = (k * 45.0) * 3.14159265 / 180.0;
                const QPointF c = QRectF(r).center() + QPointF(8 * std::cos(a), 8 * std::sin(a));
                const int age = (i - k + 8) % 8;
                p.setBrush(QColor(40, 100, 180, 255 - age * 28));
                p.drawEllipse(c, 2.5, 2.5);
            }
        });
    if (name == "msgbox.png")
        return DialogBackground(QSize(400, 180));
    if (name == "aboutbk.png")
        return DialogBackground(QSize(490, 340));
    if (name == "warn.png")
        return RoundIcon(QColor(235, 160, 30), "!");
    if (name == "error.png")
        return RoundIcon(QColor(210, 50, 50), "x");
    if (name == "info.png")
        return RoundIcon(QColor(50, 120, 210), "i");
    if (name == "right.png")
        return RoundIcon(QColor(60, 160, 70), "v");
    for (const char* prefix : {"in_", "out_"})
        if (name.startsWith(prefix) && name.endsWith(".bmp"))
            return BubblePiece(QString(prefix) == "in_", name.mid(int(qstrlen(prefix))).chopped(4));
    return QImage();
}

} // namespace

QStringList SkinFileNames() {
    QStringList names = {"ok.png",           "yes.png",      "no.png",         "cancel.png",
                         "close.png",        "checkbox.png", "checkboxes.png", "deleted.png",
                         "list_hearder.bmp", "inc.png",      "dec.png",        "tree_closed.bmp",
                         "tree_opened.bmp",  "treeroot.png", "contacts.png",   "message.png",
                         "animate.png",      "msgbox.png",   "aboutbk.png",    "warn.png",
                         "error.png",        "info.png",     "right.png"};
    for (const char* prefix : {"in_", "out_"})
        for (const char* piece : {"lefttop", "leftbottom", "righttop", "rightbottom", "topline",
                                  "bottomline", "leftline", "rightline"})
            names << QString(prefix) + piece + ".bmp";
    return names;
}

bool SynthesizeSkinFile(const QString& folder, const QString& fileName) {
    const QImage img = MakePicture(fileName);
    return !img.isNull() && img.save(folder + "/" + fileName);
}

} // namespace gallery
