// The escaping of texts for the page and the table: whatever bytes a record
// holds, what is written is valid UTF-8 that cannot be taken for markup or
// for the table's own commas, quotes and line ends.
#include <algorithm>

#include "report_files.h"
#include "utf8_text.h"

namespace fennaro::report {

namespace {

// U+2400 SYMBOL FOR NULL, shown where a text held a zero byte.
constexpr std::string_view kNulSymbol = "\xE2\x90\x80";

// Returns text as valid UTF-8 with every NUL shown as its symbol.
std::string cleanText(std::string_view text) {
    const std::string valid = toValidUtf8(text);
    if (valid.find('\0') == std::string::npos)
        return valid;
    std::string shown;
    shown.reserve(valid.size() + 8);
    for (const char c : valid) {
        if (c == '\0')
            shown += kNulSymbol;
        else
            shown += c;
    }
    return shown;
}

} // namespace

void appendHtmlEscaped(std::string& out, std::string_view text) {
    // Plain ASCII (most numbers, dates and many texts) needs no cleaning.
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) {
        return c != '\0' && static_cast<unsigned char>(c) < 0x80;
    });
    std::string cleaned;
    if (!ascii) {
        cleaned = cleanText(text);
        text = cleaned;
    }
    size_t plainFrom = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        std::string_view reference;
        switch (text[i]) {
        case '&':
            reference = "&amp;";
            break;
        case '<':
            reference = "&lt;";
            break;
        case '>':
            reference = "&gt;";
            break;
        case '"':
            reference = "&quot;";
            break;
        case '\'':
            reference = "&#39;";
            break;
        default:
            continue;
        }
        out.append(text.substr(plainFrom, i - plainFrom));
        out.append(reference);
        plainFrom = i + 1;
    }
    out.append(text.substr(plainFrom));
}

std::string htmlEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 8);
    appendHtmlEscaped(escaped, text);
    return escaped;
}

std::string csvField(std::string_view text) {
    std::string clean = cleanText(text);
    if (clean.find_first_of(",\"\r\n") == std::string::npos)
        return clean;
    std::string quoted = "\"";
    for (const char c : clean) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted += '"';
}

} // namespace fennaro::report
