#include "views/char_wrap.h"

#include "views/paint_range.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

namespace fennaro {

namespace {

// Tells whether a character ends a line of its own.
bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Returns how many code units the character at pos takes: 2 for a whole
// surrogate pair, so a pair is never split across lines.
qsizetype unitsAt(QStringView text, qsizetype pos) {
    if (pos + 1 < text.size() && text[pos].isHighSurrogate() && text[pos + 1].isLowSurrogate())
        return 2;
    return 1;
}

// Returns the advance of the character at pos taking units code units. Line
// ends take no room, and a TAB takes a blank's, as it is drawn as one.
qreal advanceAt(const QFontMetricsF& fm, QStringView text, qsizetype pos, qsizetype units) {
    const QChar c = text[pos];
    if (units == 2)
        return fm.horizontalAdvance(text.mid(pos, 2).toString());
    if (isLineEnd(c))
        return 0;
    if (c == QLatin1Char('\t'))
        return fm.horizontalAdvance(QLatin1Char(' '));
    return fm.horizontalAdvance(c);
}

// Splits the wrapped output into the lines it shows: CR LF, a lone CR and a
// lone LF each make one break; a TAB shows as a blank. A last line left empty
// by a final break is not kept.
std::vector<QString> shownLinesOf(const QString& output) {
    std::vector<QString> lines;
    QString current;
    for (qsizetype i = 0; i < output.size(); ++i) {
        const QChar c = output[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < output.size() &&
                output[i + 1] == QLatin1Char('\n'))
                ++i;
            lines.push_back(current);
            current.clear();
        } else {
            current.append(c == QLatin1Char('\t') ? QLatin1Char(' ') : c);
        }
    }
    if (!current.isEmpty())
        lines.push_back(current);
    return lines;
}

} // namespace

CharWrap wrapCharacters(const QFontMetrics& metrics, QStringView text, int width,
                        bool collectLines) {
    // A line grows one character at a time while it stays narrower than the
    // wrap width; the character that makes it wider is given back. A line that
    // meets a CR or LF ends with it, before any further measuring.
    const QFontMetricsF fm(metrics);
    const qreal wrapWidth = width - 1;
    CharWrap result;
    QString output;
    qsizetype pos = 0;
    const qsizetype length = text.size();
    while (pos < length) {
        qsizetype n = unitsAt(text, pos);
        qreal lineWidth = advanceAt(fm, text, pos, n);
        bool endedAtBreak = false;
        if (lineWidth < wrapWidth) {
            qsizetype lastUnits = n;
            while (pos + n < length) {
                if (isLineEnd(text[pos + n - 1])) {
                    endedAtBreak = true;
                    break;
                }
                lastUnits = unitsAt(text, pos + n);
                lineWidth += advanceAt(fm, text, pos + n, lastUnits);
                n += lastUnits;
                if (lineWidth >= wrapWidth)
                    break;
            }
            if (!endedAtBreak && lineWidth > wrapWidth)
                n -= lastUnits;
        }
        ++result.lineCount;
        if (collectLines) {
            output.append(text.mid(pos, n));
            if (!endedAtBreak)
                output.append(QLatin1String("\r\n"));
        }
        pos += n;
    }
    if (collectLines)
        result.shownLines = shownLinesOf(output);
    return result;
}

int wrapLineCount(const QFontMetrics& fm, QStringView text, int width, int& lineHeight) {
    // The height is the font's, taken at the first measurement, so an empty
    // text leaves it as it was.
    if (!text.isEmpty() && lineHeight == 0)
        lineHeight = fm.height();
    return wrapCharacters(fm, text, width, false).lineCount;
}

void drawTextLines(QPainter& p, const std::vector<QString>& lines, const QRect& rect,
                   int lineHeight) {
    // Only the lines that meet the paintable area are drawn, so a value of
    // thousands of lines costs what shows.
    const auto [first, last] =
        visibleRows(paintableRect(p), rect.top(), lineHeight, static_cast<int>(lines.size()));
    for (int i = first; i < last; ++i) {
        const QRect line(rect.left(), rect.top() + i * lineHeight, rect.width(), lineHeight);
        p.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                   lines[static_cast<size_t>(i)]);
    }
}

void drawWrappedText(QPainter& p, QStringView text, const QRect& rect) {
    const QFontMetrics fm(p.font());
    const CharWrap wrap = wrapCharacters(fm, text, rect.width(), true);
    drawTextLines(p, wrap.shownLines, rect, fm.height());
}

} // namespace fennaro
