// Checking the UTF-8 texts of the phone, which may hold any bytes: what is
// shown or written always is valid UTF-8, with every stray byte visible as a
// replacement character rather than dropped.
#pragma once

#include <string>
#include <string_view>

namespace fennaro {

// Returns text with every byte that is not part of a valid UTF-8 sequence
// (stray continuation bytes, cut or overlong sequences, surrogates, values
// above U+10FFFF) replaced by U+FFFD.
std::string toValidUtf8(std::string_view text);

} // namespace fennaro
