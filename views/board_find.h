// The search on the boards: marking the typed text in the texts shown and
// finding the messages that hold it, so F3 can step through a conversation.
#pragma once

#include <QColor>
#include <QFontMetricsF>
#include <QRect>
#include <QString>
#include <vector>

class QPainter;

namespace fennaro {

struct CMsgInfoItem;

// The mark behind a found text, and behind the one of the current match.
inline const QColor kFoundTextFill{255, 230, 120};
inline const QColor kCurrentFoundTextFill{255, 170, 60};

// What a board marks: the typed text, and whether the item painted is the
// current match.
struct ItemHighlight {
    QString term;
    bool current = false;
};

// Fills the background of each place where the term stands in a line of
// text drawn left-aligned in line with metrics (case ignored).
void paintLineHighlights(QPainter& p, const QRect& line, const QString& text,
                         const QFontMetricsF& metrics, const ItemHighlight& highlight);

// Returns the item after (or before) from whose body holds term, case
// ignored; from -1 starts at the top (or the bottom). -1 when none does.
int nextMatchingItem(const std::vector<CMsgInfoItem>& items, const QString& term, int from,
                     bool forward);

} // namespace fennaro
