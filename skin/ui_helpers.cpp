#include "skin/ui_helpers.h"

#include "skin/font_pool.h"
#include "skin/skin_color.h"

#include <QLinearGradient>
#include <QPainter>

namespace skin {

QFont get_font(const QString& face, int height, int weight) {
    QFont f(face);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(height > 0 ? height : 12);
    f.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
    // Emoji in colour rather than from an outline face.
    NameColorEmojiFamily(f);
    return f;
}

void gradient_fillrect(QPainter& p, const QRect& rect, std::uint32_t startColor,
                       std::uint32_t endColor, int mode) {
    if (rect.isEmpty())
        return;
    const QPointF end =
        mode == 0 ? QPointF(rect.right() + 1, rect.top()) : QPointF(rect.left(), rect.bottom() + 1);
    QLinearGradient g(rect.topLeft(), end);
    g.setColorAt(0, FromColorRef(startColor));
    g.setColorAt(1, FromColorRef(endColor));
    p.fillRect(rect, g);
}

SkinRect calc_subrect(SkinRect rect, int dx, int dy) {
    SkinRect r{rect.left + dx, rect.top + dy, rect.right - dx, rect.bottom - dy};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

} // namespace skin
