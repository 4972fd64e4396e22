#include "utf16_line.h"

#include <cstdint>

namespace fennaro {

namespace {

// Writes one UTF-16 code unit little-endian at p and returns the next position.
inline char* putUnit(char* p, uint32_t unit) {
    p[0] = static_cast<char>(unit & 0xFF);
    p[1] = static_cast<char>(unit >> 8);
    return p + 2;
}

// Decodes the valid UTF-8 sequence that starts with a non-ASCII byte at
// text[at]; returns its length and sets codePoint, or returns 0 when the byte
// does not start a valid sequence (stray continuation, cut or overlong
// sequence, surrogate, value above U+10FFFF).
std::size_t decodeSequence(std::string_view text, std::size_t at, uint32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    return length;
}

} // namespace

void appendUtf16Line(std::string& out, std::string_view text) {
    if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    // No input byte gives more than 4 output bytes (LF gives CR LF; a 4-byte
    // sequence gives a surrogate pair), plus the line end.
    const std::size_t start = out.size();
    out.resize(start + text.size() * 4 + 4);
    char* p = out.data() + start;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) {
            if (c == '\n')
                p = putUnit(p, '\r');
            p = putUnit(p, c);
            ++at;
            continue;
        }
        uint32_t codePoint = 0;
        const std::size_t length = decodeSequence(text, at, codePoint);
        if (length == 0) {
            p = putUnit(p, 0xFFFD);
            ++at;
        } else if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            p = putUnit(p, 0xD800 | (codePoint >> 10));
            p = putUnit(p, 0xDC00 | (codePoint & 0x3FF));
            at += length;
        } else {
            p = putUnit(p, codePoint);
            at += length;
        }
    }
    p = putUnit(p, '\r');
    p = putUnit(p, '\n');
    out.resize(static_cast<std::size_t>(p - out.data()));
}

} // namespace fennaro
