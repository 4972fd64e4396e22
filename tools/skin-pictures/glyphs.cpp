#include "glyphs.h"

#include <QPainterPath>

namespace {

// Returns a point of the box in relative coordinates (0..1 each way).
QPointF at(const QRectF& box, qreal fx, qreal fy) {
    return {box.left() + box.width() * fx, box.top() + box.height() * fy};
}

// Returns a sub-rectangle of the box in relative coordinates.
QRectF part(const QRectF& box, qreal fx, qreal fy, qreal fw, qreal fh) {
    return {at(box, fx, fy), QSizeF(box.width() * fw, box.height() * fh)};
}

// Draws an open polyline through relative points.
void polyline(QPainter& painter, const QRectF& box, std::initializer_list<QPointF> points) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& p : points) {
        const QPointF q = at(box, p.x(), p.y());
        if (first)
            path.moveTo(q);
        else
            path.lineTo(q);
        first = false;
    }
    painter.drawPath(path);
}

} // namespace

void drawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, QColor colour, qreal stroke) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPen pen(colour, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (glyph) {
    case Glyph::Close:
        polyline(painter, box, {{0.2, 0.2}, {0.8, 0.8}});
        polyline(painter, box, {{0.8, 0.2}, {0.2, 0.8}});
        break;
    case Glyph::Minimise:
        polyline(painter, box, {{0.2, 0.72}, {0.8, 0.72}});
        break;
    case Glyph::Menu:
        for (qreal y : {0.25, 0.5, 0.75})
            polyline(painter, box, {{0.18, y}, {0.82, y}});
        break;
    case Glyph::Home:
        polyline(painter, box, {{0.1, 0.5}, {0.5, 0.14}, {0.9, 0.5}});
        polyline(painter, box, {{0.22, 0.42}, {0.22, 0.86}, {0.78, 0.86}, {0.78, 0.42}});
        polyline(painter, box, {{0.42, 0.86}, {0.42, 0.62}, {0.58, 0.62}, {0.58, 0.86}});
        break;
    case Glyph::Help: {
        painter.drawEllipse(part(box, 0.1, 0.1, 0.8, 0.8));
        QPainterPath q;
        q.moveTo(at(box, 0.38, 0.4));
        q.cubicTo(at(box, 0.38, 0.22), at(box, 0.64, 0.22), at(box, 0.63, 0.4));
        q.cubicTo(at(box, 0.62, 0.5), at(box, 0.5, 0.5), at(box, 0.5, 0.6));
        painter.drawPath(q);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(at(box, 0.5, 0.73), stroke * 0.6, stroke * 0.6);
        break;
    }
    case Glyph::Back:
        polyline(painter, box, {{0.85, 0.5}, {0.15, 0.5}});
        polyline(painter, box, {{0.45, 0.2}, {0.15, 0.5}, {0.45, 0.8}});
        break;
    case Glyph::Pause:
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(part(box, 0.2, 0.15, 0.2, 0.7), 1, 1);
        painter.drawRoundedRect(part(box, 0.6, 0.15, 0.2, 0.7), 1, 1);
        break;
    case Glyph::Play: {
        QPainterPath p;
        p.moveTo(at(box, 0.25, 0.14));
        p.lineTo(at(box, 0.85, 0.5));
        p.lineTo(at(box, 0.25, 0.86));
        p.closeSubpath();
        painter.setPen(QPen(colour, stroke * 0.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(colour);
        painter.drawPath(p);
        break;
    }
    case Glyph::Stop:
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(part(box, 0.18, 0.18, 0.64, 0.64), 1.5, 1.5);
        break;
    case Glyph::Recover:
        polyline(painter, box, {{0.5, 0.1}, {0.5, 0.62}});
        polyline(painter, box, {{0.28, 0.42}, {0.5, 0.64}, {0.72, 0.42}});
        polyline(painter, box, {{0.12, 0.66}, {0.12, 0.88}, {0.88, 0.88}, {0.88, 0.66}});
        break;
    case Glyph::Refresh: {
        const QRectF ring = part(box, 0.16, 0.16, 0.68, 0.68);
        painter.drawArc(ring, 60 * 16, 280 * 16);
        // Arrow head at the arc's open end, pointing along the turn.
        QPainterPath head;
        const QPointF tip = at(box, 0.76, 0.14);
        head.moveTo(tip + QPointF(-box.width() * 0.26, box.height() * 0.04));
        head.lineTo(tip);
        head.lineTo(tip + QPointF(box.width() * 0.02, box.height() * 0.26));
        painter.drawPath(head);
        break;
    }
    case Glyph::Check:
        polyline(painter, box, {{0.2, 0.52}, {0.42, 0.74}, {0.8, 0.28}});
        break;
    case Glyph::Dash:
        polyline(painter, box, {{0.25, 0.5}, {0.75, 0.5}});
        break;
    case Glyph::ChevronRight:
        polyline(painter, box, {{0.38, 0.22}, {0.66, 0.5}, {0.38, 0.78}});
        break;
    case Glyph::ChevronDown:
        polyline(painter, box, {{0.22, 0.38}, {0.5, 0.66}, {0.78, 0.38}});
        break;
    case Glyph::SortUp:
    case Glyph::SortDown: {
        const bool up = glyph == Glyph::SortUp;
        QPainterPath p;
        p.moveTo(at(box, 0.1, up ? 0.75 : 0.25));
        p.lineTo(at(box, 0.5, up ? 0.25 : 0.75));
        p.lineTo(at(box, 0.9, up ? 0.75 : 0.25));
        p.closeSubpath();
        painter.setPen(QPen(colour, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(colour);
        painter.drawPath(p);
        break;
    }
    case Glyph::Trash:
        polyline(painter, box, {{0.14, 0.26}, {0.86, 0.26}});
        polyline(painter, box, {{0.38, 0.26}, {0.38, 0.12}, {0.62, 0.12}, {0.62, 0.26}});
        polyline(painter, box, {{0.24, 0.34}, {0.3, 0.9}, {0.7, 0.9}, {0.76, 0.34}});
        polyline(painter, box, {{0.44, 0.42}, {0.44, 0.78}});
        polyline(painter, box, {{0.56, 0.42}, {0.56, 0.78}});
        break;
    case Glyph::Person: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(part(box, 0.32, 0.1, 0.36, 0.38));
        QPainterPath body;
        body.moveTo(at(box, 0.12, 0.92));
        body.cubicTo(at(box, 0.12, 0.6), at(box, 0.3, 0.54), at(box, 0.5, 0.54));
        body.cubicTo(at(box, 0.7, 0.54), at(box, 0.88, 0.6), at(box, 0.88, 0.92));
        body.closeSubpath();
        painter.drawPath(body);
        break;
    }
    case Glyph::Bubble: {
        QPainterPath p;
        p.addRoundedRect(part(box, 0.08, 0.14, 0.84, 0.58), box.width() * 0.16, box.width() * 0.16);
        QPainterPath tail;
        tail.moveTo(at(box, 0.28, 0.66));
        tail.lineTo(at(box, 0.24, 0.9));
        tail.lineTo(at(box, 0.5, 0.7));
        tail.closeSubpath();
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPath(p.united(tail));
        break;
    }
    case Glyph::Phone:
        painter.drawRoundedRect(part(box, 0.26, 0.06, 0.48, 0.88), box.width() * 0.08,
                                box.width() * 0.08);
        polyline(painter, box, {{0.44, 0.8}, {0.56, 0.8}});
        break;
    case Glyph::Exclamation:
        polyline(painter, box, {{0.5, 0.18}, {0.5, 0.6}});
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(at(box, 0.5, 0.8), stroke * 0.65, stroke * 0.65);
        break;
    case Glyph::Info:
        polyline(painter, box, {{0.5, 0.42}, {0.5, 0.82}});
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(at(box, 0.5, 0.2), stroke * 0.65, stroke * 0.65);
        break;
    case Glyph::Cross:
        polyline(painter, box, {{0.25, 0.25}, {0.75, 0.75}});
        polyline(painter, box, {{0.75, 0.25}, {0.25, 0.75}});
        break;
    }
    painter.restore();
}
