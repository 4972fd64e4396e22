// Short values of the kinds phones hold, for the layout databases: names,
// numbers, e-mail addresses, message bodies in Latin words or in Chinese
// without spaces, and SqlValue makers.
#pragma once

#include "random_source.h"
#include "sql_value.h"

#include <cstdint>
#include <string>

namespace testdata::layout {

// Value makers.
SqlValue integer(int64_t value);
SqlValue real(double value);
SqlValue text(const std::string& value);
SqlValue blob(const std::string& bytes);
SqlValue null();

// "Ana Kovač", short and made of two parts.
std::string personName(RandomSource& rng);
// "+1 555 0134" or "0171 2345678".
std::string phoneNumber(RandomSource& rng);
// "ana.k@mail.test".
std::string emailAddress(RandomSource& rng);
// A few Latin words, about `words` of them ("see you at five").
std::string latinBody(RandomSource& rng, int words);
// Chinese characters without separators, `characters` of them.
std::string chineseBody(RandomSource& rng, int characters);
// About `bytes` bytes of Latin sentences, for records that overflow.
std::string longText(RandomSource& rng, size_t bytes);
// `bytes` random bytes.
std::string randomBytes(RandomSource& rng, size_t bytes);
// A date in milliseconds within 2019..2024.
int64_t dateMs(RandomSource& rng);

} // namespace testdata::layout
