// The escaping of texts for the page and the table: whatever bytes a record
// holds, what is written is valid UTF-8 that cannot be taken for markup or
// for the table's own commas, quotes and line ends.
#include <algorithm>
#include <array>

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

// The bytes that stand for themselves in a page: ASCII but NUL and the five
// that markup gives a meaning.
constexpr std::array<bool, 256> kPlainAscii = [] {
    std::array<bool, 256> plain{};
    for (size_t c = 1; c < 0x80; ++c)
        plain[c] = true;
    for (const char c : {'&', '<', '>', '"', '\''})
        plain[static_cast<unsigned char>(c)] = false;
    return plain;
}();

// Returns the length of the valid UTF-8 sequence that starts at text[at]
// with a byte above 0x7F, or 0 when none does there.
size_t sequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // overlong
        high = lead == 0xED ? 0x9F : 0xBF; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;  // overlong
        high = lead == 0xF4 ? 0x8F : 0xBF; // above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

// Appends text escaped when it is valid UTF-8 without a NUL, in one pass;
// otherwise leaves out as it was and returns false.
bool appendEscapedIfClean(std::string& out, std::string_view text) {
    const size_t before = out.size();
    size_t plainFrom = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        while (i < text.size() && kPlainAscii[static_cast<unsigned char>(text[i])])
            ++i;
        if (i == text.size())
            break;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::string_view reference;
        switch (c) {
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
        case '\0':
            out.resize(before);
            return false;
        default:
            if (c >= 0x80) {
                const size_t length = sequenceLength(text, i);
                if (length == 0) {
                    out.resize(before);
                    return false;
                }
                i += length - 1;
            }
            continue;
        }
        out.append(text.substr(plainFrom, i - plainFrom));
        out.append(reference);
        plainFrom = i + 1;
    }
    out.append(text.substr(plainFrom));
    return true;
}

// Appends text when it is valid UTF-8 without a NUL; otherwise leaves out as
// it was and returns false.
bool appendIfClean(std::string& out, std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0)
            return false;
        if (c >= 0x80) {
            const size_t length = sequenceLength(text, i);
            if (length == 0)
                return false;
            i += length - 1;
        }
    }
    out.append(text);
    return true;
}

} // namespace

void appendHtmlEscaped(std::string& out, std::string_view text) {
    if (appendEscapedIfClean(out, text))
        return;
    const std::string clean = cleanText(text);
    appendEscapedIfClean(out, clean);
}

std::string htmlEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 8);
    appendHtmlEscaped(escaped, text);
    return escaped;
}

std::string csvField(std::string_view text) {
    std::string clean;
    if (!appendIfClean(clean, text))
        clean = cleanText(text);
    const bool plain = std::none_of(clean.begin(), clean.end(), [](char c) {
        return c == ',' || c == '"' || c == '\r' || c == '\n';
    });
    if (plain)
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
