// Text drawing shared by the controls: one line cut with an ellipsis, and a
// word-wrapped block that never runs past its rectangle.
#pragma once

#include <QRect>
#include <QString>

class QPainter;

namespace skin {

// Draws text on one line in the rectangle with the alignment, ending it with
// an ellipsis when it is too wide. Line breaks in the text become spaces.
void DrawElidedLine(QPainter& p, const QRect& rect, const QString& text, int alignment);

// Returns the number of lines the text takes when word-wrapped to a width,
// counting no further than maxLines.
int WrappedLineCount(QPainter& p, const QString& text, int width, int maxLines);

// Draws text word-wrapped to the rectangle's width (breaking inside words
// that do not fit), lines aligned horizontally as asked and the block
// vertically centred when vcenter is set. Lines that would fall below the
// rectangle are dropped and the last shown line ends with an ellipsis.
void DrawWrappedText(QPainter& p, const QRect& rect, const QString& text, int alignment,
                     bool vcenter);

} // namespace skin
