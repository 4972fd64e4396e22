#include "views/bubble_text.h"

#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

namespace fennaro {

namespace {

constexpr int kBasicPlaneSize = 0x10000;

// Tells whether a character ends a line.
bool isBreak(char16_t c) {
    return c == u'\r' || c == u'\n';
}

// Tells whether a character is a blank a line may end after.
bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || (c >= 0x2000 && c <= 0x200A) || c == 0x3000;
}

// Tells whether a character belongs to a script written without blanks
// between words, so a line may break before and after it.
bool isIdeographic(char16_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// Tells whether a character's width stays the same whatever surrounds it.
bool isPlainCharacter(char16_t c) {
    if (c < 0x0590)
        return true;
    if (c >= 0x1E00 && c <= 0x1FFF) // Latin and Greek extensions
        return true;
    if ((c >= 0x2000 && c <= 0x200A) || (c >= 0x2010 && c <= 0x2027) ||
        (c >= 0x2030 && c <= 0x205E) || (c >= 0x2070 && c <= 0x2BFF))
        return true;                // blanks, punctuation, symbols; not the direction controls
    if (c >= 0x2E80 && c <= 0xA4CF) // CJK, kana, Yi
        return true;
    if ((c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
        (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) || c == 0xFFFD)
        return true;
    return false;
}

// Tells whether a character outside the basic plane is a pictograph (the
// emoji blocks): drawn as one glyph of its own width, whatever surrounds it.
bool isPictograph(char32_t c) {
    return c >= 0x1F000 && c <= 0x1FAFF;
}

// Tells whether a basic-plane character only joins or restyles pictographs:
// the zero width joiner and the variation selectors.
bool isPictographJoiner(char16_t c) {
    return c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F);
}

// Returns the code point at i of text and how many UTF-16 units it takes: a
// surrogate pair is one pictograph or else nothing plain.
char32_t codePointAt(QStringView text, int i, int* units) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, text[i + 1]);
    }
    *units = 1;
    return c.unicode();
}

// Returns the advance of a character as measured for bubbles: line breaks
// take no room, a TAB a blank's; a pictograph its own measured width, and a
// joiner or variation selector a pictograph's (it may turn the character
// before it into a wide one), so a bubble is never too narrow for its text.
qreal measuredAdvance(AdvanceTable& table, char32_t c) {
    if (c > 0xFFFF)
        return table.advance(c);
    if (isBreak(char16_t(c)))
        return 0;
    if (c == u'\t')
        return table.advance(QLatin1Char(' '));
    if (isPictographJoiner(char16_t(c)))
        return table.advance(char32_t(0x1F600));
    return table.advance(QChar(char16_t(c)));
}

// Returns text with every TAB made a blank, as the painting draws it.
QString blanksForTabs(QStringView text) {
    QString s = text.toString();
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return s;
}

// Wraps one paragraph [begin, end) of a plain run by adding advances.
void wrapPlainParagraph(AdvanceTable& table, QStringView text, int begin, int end, int width,
                        std::vector<TextLine>& lines) {
    int lineStart = begin;
    int breakAt = -1; // where the next line may start
    qreal x = 0;
    // A pictograph's surrogate pair is one step: no line breaks inside it.
    int units = 1;
    for (int i = begin; i < end; i += units) {
        const char32_t c = codePointAt(text, i, &units);
        const qreal a = measuredAdvance(table, c);
        if (c <= 0xFFFF && isBlank(char16_t(c))) { // blanks hang past the width and end a word
            x += a;
            breakAt = i + 1;
            continue;
        }
        const bool ideographic = c <= 0xFFFF && isIdeographic(char16_t(c));
        if (ideographic && i > lineStart)
            breakAt = i;
        if (x + a > width && i > lineStart) {
            const int next = breakAt > lineStart ? breakAt : i;
            lines.push_back({lineStart, next - lineStart});
            lineStart = next;
            breakAt = -1;
            x = 0;
            int step = 1;
            for (int k = next; k < i; k += step)
                x += measuredAdvance(table, codePointAt(text, k, &step));
        }
        x += a;
        if (ideographic || (c == u'-' && i > lineStart && text[i - 1].isLetter()))
            breakAt = i + units;
    }
    lines.push_back({lineStart, end - lineStart});
}

// Wraps one paragraph [begin, end) with Qt's text layout, for scripts whose
// widths depend on their neighbours.
void wrapShapedParagraph(const QFont& font, QStringView text, int begin, int end, int width,
                         std::vector<TextLine>& lines) {
    QTextLayout layout(blanksForTabs(text.mid(begin, end - begin)), font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(std::max(1, width));
        lines.push_back({begin + line.textStart(), line.textLength()});
    }
    layout.endLayout();
}

} // namespace

AdvanceTable::AdvanceTable(const QFont& font)
    : m_font(font), m_metrics(font), m_advances(new float[kBasicPlaneSize]) {
    std::fill_n(m_advances.get(), kBasicPlaneSize, -1.0f);
}

qreal AdvanceTable::advance(QChar c) {
    float& slot = m_advances[c.unicode()];
    if (slot < 0)
        slot = static_cast<float>(m_metrics.horizontalAdvance(c));
    return slot;
}

qreal AdvanceTable::advance(char32_t c) {
    if (c <= 0xFFFF)
        return advance(QChar(char16_t(c)));
    const auto found = m_wideAdvances.find(c);
    if (found != m_wideAdvances.end())
        return found->second;
    const char32_t one[] = {c};
    const auto width = static_cast<float>(m_metrics.horizontalAdvance(QString::fromUcs4(one, 1)));
    m_wideAdvances.emplace(c, width);
    return width;
}

bool isPlainRun(QStringView text) {
    int units = 1;
    for (int i = 0; i < text.size(); i += units) {
        const char32_t c = codePointAt(text, i, &units);
        const bool plain = c > 0xFFFF
                               ? isPictograph(c)
                               : isPlainCharacter(char16_t(c)) || isPictographJoiner(char16_t(c));
        if (!plain)
            return false;
    }
    return true;
}

qreal oneLineWidth(AdvanceTable& table, QStringView text) {
    if (isPlainRun(text)) {
        qreal width = 0;
        int units = 1;
        for (int i = 0; i < text.size(); i += units)
            width += measuredAdvance(table, codePointAt(text, i, &units));
        return width;
    }
    QString flat = blanksForTabs(text);
    flat.remove(QLatin1Char('\r'));
    flat.remove(QLatin1Char('\n'));
    return table.metrics().horizontalAdvance(flat);
}

std::vector<TextLine> wrapWords(AdvanceTable& table, QStringView text, int width) {
    // Each paragraph between line breaks is wrapped on its own; a CR LF pair
    // is one break.
    std::vector<TextLine> lines;
    const int length = static_cast<int>(text.size());
    int begin = 0;
    while (begin < length) {
        int end = begin;
        while (end < length && !isBreak(text[end].unicode()))
            ++end;
        const QStringView paragraph = text.mid(begin, end - begin);
        if (paragraph.isEmpty())
            lines.push_back({begin, 0});
        else if (isPlainRun(paragraph))
            wrapPlainParagraph(table, text, begin, end, width, lines);
        else
            wrapShapedParagraph(table.font(), text, begin, end, width, lines);
        if (end < length && text[end] == QLatin1Char('\r') && end + 1 < length &&
            text[end + 1] == QLatin1Char('\n'))
            ++end;
        begin = end + 1;
    }
    return lines;
}

QString shownLineText(QStringView body, const TextLine& line) {
    return blanksForTabs(body.mid(line.start, line.length));
}

} // namespace fennaro
