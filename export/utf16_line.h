// The bytes of one line of an exported text file: UTF-8 text turned into
// UTF-16 little-endian, with every line break inside the text written as
// CR LF and the line ended by CR LF, as Windows text files are read.
#pragma once

#include <string>
#include <string_view>

namespace fennaro {

// Appends the UTF-16LE bytes of text plus CR LF to out. The text ends at its
// first zero byte. Each LF becomes CR LF; a CR is kept as it is. Every byte
// that is not part of a valid UTF-8 sequence becomes U+FFFD, so a stray byte
// stays visible and never costs the line; characters above U+FFFF become
// surrogate pairs.
void appendUtf16Line(std::string& out, std::string_view text);

} // namespace fennaro
