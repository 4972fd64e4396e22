// Phone-number helpers shared by the builders and the generator.
#pragma once

#include <string>

namespace testdata {

// The digits of `number` (with a leading "+" kept when `keepPlus`).
std::string digitsOf(const std::string& number, bool keepPlus);

// The provider's min_match key: the last 7 digits of a number, reversed.
std::string minMatchOf(const std::string& number);

// E.164 form of a number as the provider stores it in data4 ("+8613800138000"),
// or an empty string for short codes and other numbers it cannot normalize.
std::string e164Of(const std::string& number);

} // namespace testdata
