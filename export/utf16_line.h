// The bytes of one line of an exported text file: UTF-8 text turned into
// UTF-16 little-endian, with every line break inside the text written as
// CR LF and the line ended by CR LF, as Windows text files are read.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace fennaro {

// Returns the most bytes a line of textBytes bytes of UTF-8 can become: no
// input byte gives more than 4 (LF gives CR LF; a 4-byte sequence gives a
// surrogate pair), plus the line end.
constexpr std::size_t maxUtf16LineBytes(std::size_t textBytes) {
    return textBytes * 4 + 4;
}

// Writes the UTF-16LE bytes of text plus CR LF at out, which has room for
// maxUtf16LineBytes(text.size()) bytes, and returns the end of what it wrote.
// The text ends at its first zero byte. Each LF becomes CR LF; a CR is kept as
// it is. Every byte that is not part of a valid UTF-8 sequence becomes U+FFFD,
// so a stray byte stays visible and never costs the line; characters above
// U+FFFF become surrogate pairs.
char* writeUtf16Line(char* out, std::string_view text);

// Returns the most bytes a line made of pieces can become.
std::size_t maxUtf16LineBytes(std::initializer_list<std::string_view> pieces);

// Writes the line that is the concatenation of pieces, exactly as
// writeUtf16Line writes the joined text, without joining them first unless a
// character is split between two pieces (then scratch holds the joined text).
// out has room for maxUtf16LineBytes(pieces) bytes.
char* writeUtf16Line(char* out, std::initializer_list<std::string_view> pieces,
                     std::string& scratch);

// Appends the bytes writeUtf16Line makes of text to out.
void appendUtf16Line(std::string& out, std::string_view text);

} // namespace fennaro
