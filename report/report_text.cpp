// The escaping of texts for the page and the table: whatever bytes a record
// holds, what is written is valid UTF-8 that cannot be taken for markup or
// for the table's own commas, quotes and line ends.
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

std::string htmlEscape(std::string_view text) {
    const std::string clean = cleanText(text);
    std::string escaped;
    escaped.reserve(clean.size() + clean.size() / 8);
    for (const char c : clean) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
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
