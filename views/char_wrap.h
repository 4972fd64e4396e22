// Character-by-character wrapping of the contact board's values: a line takes
// characters until the next one would reach the width, and CR and LF each end
// a line of their own. Counting and drawing share one pass, so the height a
// value is given always holds what is drawn.
#pragma once

#include <QRect>
#include <QString>
#include <QStringView>
#include <vector>

class QFontMetrics;
class QPainter;

namespace fennaro {

// The outcome of wrapping one text.
struct CharWrap {
    // Lines counted: every wrapped line, and every CR and every LF that ends
    // one, so a CR LF pair counts two lines although it shows one break.
    int lineCount = 0;
    // The lines as they show, the line-end characters removed.
    std::vector<QString> shownLines;
};

// Wraps text to width - 1 pixels with the font of fm. Lines are collected only
// when collectLines is set.
CharWrap wrapCharacters(const QFontMetrics& fm, QStringView text, int width, bool collectLines);

// Returns the number of lines text takes when wrapped character by character
// to width. lineHeight receives the font's line height when it is 0 and the
// text is not empty.
int wrapLineCount(const QFontMetrics& fm, QStringView text, int width, int& lineHeight);

// Draws lines from the rectangle's top left, one line height apart, skipping
// those outside the painter's clip. Lines are not cut at the rectangle's
// right edge, so an over-wide single character still shows.
void drawTextLines(QPainter& p, const std::vector<QString>& lines, const QRect& rect,
                   int lineHeight);

// Draws text wrapped character by character to the rectangle's width with the
// painter's font and pen.
void drawWrappedText(QPainter& p, QStringView text, const QRect& rect);

} // namespace fennaro
