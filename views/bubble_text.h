// Measuring message bodies for their bubbles: the one-line width that sets a
// bubble's width, and the word-wrapped lines that set its height and that the
// painting draws, so every character measured is a character shown.
//
// A conversation can hold thousands of messages, all measured when it is
// shown. Most texts are runs of characters whose widths simply add up (Latin,
// Greek, Cyrillic, CJK and the like); those are measured from a table of
// character advances filled once per font. Texts of scripts whose glyphs
// change with their neighbours are laid out by Qt's text engine instead.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringView>
#include <memory>
#include <unordered_map>
#include <vector>

namespace fennaro {

// One shown line of a body: a stretch of the body's text.
struct TextLine {
    int start = 0;
    int length = 0;
};

// Character advances of one font, looked up once per character.
class AdvanceTable {
  public:
    explicit AdvanceTable(const QFont& font);

    // Returns the advance of a character of the basic plane.
    qreal advance(QChar c);
    // Returns the advance of any character, measured once (the pictographs
    // beyond the basic plane are kept apart from the table).
    qreal advance(char32_t c);
    const QFont& font() const { return m_font; }
    const QFontMetricsF& metrics() const { return m_metrics; }

  private:
    QFont m_font;
    QFontMetricsF m_metrics;
    // Indexed by the character's code; negative until measured.
    std::unique_ptr<float[]> m_advances;
    // Characters beyond the basic plane met so far.
    std::unordered_map<char32_t, float> m_wideAdvances;
};

// Tells whether a text can be measured by adding its characters' advances:
// no joining or reordering scripts, no direction controls, and beyond the
// basic plane only pictographs (emoji), which stand as glyphs of their own.
bool isPlainRun(QStringView text);

// Returns the width of text drawn on one line, line breaks taking no room and
// TABs the room of a blank.
qreal oneLineWidth(AdvanceTable& table, QStringView text);

// Breaks text into lines no wider than width: at blanks where it can (blanks
// hang at a line's end), between CJK characters and after hyphens, inside a
// word only when the word alone is wider. CR LF, CR and LF each end a line;
// a break at the very end adds no empty line. An empty text has no lines.
std::vector<TextLine> wrapWords(AdvanceTable& table, QStringView text, int width);

// Returns a line's text as drawn: TABs shown as blanks.
QString shownLineText(QStringView body, const TextLine& line);

} // namespace fennaro
