#include "views/board_find.h"

#include <QPainter>

#include "views/msg_info_item.h"

namespace fennaro {

void paintLineHighlights(QPainter& p, const QRect& line, const QString& text,
                         const QFontMetricsF& metrics, const ItemHighlight& highlight) {
    if (highlight.term.isEmpty())
        return;
    const QColor fill = highlight.current ? kCurrentFoundTextFill : kFoundTextFill;
    for (qsizetype at = text.indexOf(highlight.term, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(highlight.term, at + highlight.term.size(), Qt::CaseInsensitive)) {
        const qreal left = metrics.horizontalAdvance(text.left(at));
        const qreal width = metrics.horizontalAdvance(text.mid(at, highlight.term.size()));
        p.fillRect(QRectF(line.left() + left, line.top(), width, line.height()), fill);
    }
}

int nextMatchingItem(const std::vector<CMsgInfoItem>& items, const QString& term, int from,
                     bool forward) {
    if (term.isEmpty())
        return -1;
    const int count = static_cast<int>(items.size());
    int i = from < 0 ? (forward ? 0 : count - 1) : from + (forward ? 1 : -1);
    for (; i >= 0 && i < count; i += forward ? 1 : -1) {
        if (items[static_cast<std::size_t>(i)].body.contains(term, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

} // namespace fennaro
