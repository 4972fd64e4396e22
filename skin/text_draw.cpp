#include "skin/text_draw.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <vector>

namespace skin {

namespace {

// One laid-out line: the part of the text it holds.
struct LineSpan {
    int start;
    int length;
};

// Returns how much of a text can matter for a number of lines of a width:
// no glyph is narrower than a pixel, so more characters can never be shown.
int UsefulLength(const QString& text, int width, int maxLines) {
    const qint64 cap = qint64(qMax(1, width) + 1) * qint64(qMax(1, maxLines) + 1);
    return int(qMin<qint64>(text.size(), cap));
}

// Breaks text into at most maxLines + 1 lines of at most width pixels with
// the painter's font.
std::vector<LineSpan> LayoutLines(QPainter& p, const QString& fullText, int width, int maxLines) {
    std::vector<LineSpan> spans;
    if (width <= 0)
        width = 1;
    const QString text = fullText.left(UsefulLength(fullText, width, maxLines));
    QTextLayout layout(text, p.font());
    QTextOption opt;
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(opt);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        spans.push_back({line.textStart(), line.textLength()});
        if (int(spans.size()) > maxLines)
            break;
    }
    layout.endLayout();
    return spans;
}

// Replaces line-break characters so one-line drawing stays on one line.
QString Flatten(const QString& text) {
    QString s = text;
    for (QChar& c : s)
        if (c == '\n' || c == '\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = ' ';
    return s;
}

// Turns CR LF, CR and LF into line separators, which the layout breaks at.
QString NormaliseBreaks(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    s.replace(QChar('\r'), QChar::LineSeparator);
    s.replace(QChar('\n'), QChar::LineSeparator);
    return s;
}

} // namespace

void DrawElidedLine(QPainter& p, const QRect& rect, const QString& text, int alignment) {
    const QFontMetrics fm(p.font());
    const QString cut = text.left(UsefulLength(text, rect.width(), 1));
    const QString shown = fm.elidedText(Flatten(cut), Qt::ElideRight, qMax(0, rect.width()));
    p.drawText(rect, alignment | Qt::TextSingleLine, shown);
}

int WrappedLineCount(QPainter& p, const QString& text, int width, int maxLines) {
    return qMin(maxLines, int(LayoutLines(p, NormaliseBreaks(text), width, maxLines).size()));
}

void DrawWrappedText(QPainter& p, const QRect& rect, const QString& rawText, int alignment,
                     bool vcenter) {
    const QString text = NormaliseBreaks(rawText);
    const QFontMetrics fm(p.font());
    const int lh = qMax(1, fm.height());
    const int fit = qMax(1, rect.height() / lh);
    const std::vector<LineSpan> spans = LayoutLines(p, text, rect.width(), fit);
    const int shown = qMin(int(spans.size()), fit);
    int y = rect.top();
    if (vcenter)
        y += (rect.height() - shown * lh) / 2;
    const int hAlign = alignment & Qt::AlignHorizontal_Mask;
    for (int i = 0; i < shown; ++i) {
        QString line = text.mid(spans[i].start, spans[i].length);
        if (i == shown - 1 && shown < int(spans.size()))
            line = fm.elidedText(Flatten(text.mid(spans[i].start, rect.width() + 2)),
                                 Qt::ElideRight, rect.width());
        while (line.endsWith(QChar::LineSeparator))
            line.chop(1);
        p.drawText(QRect(rect.left(), y, rect.width(), lh),
                   hAlign | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += lh;
    }
}

} // namespace skin
