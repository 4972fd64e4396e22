// Decoders for the serial-type run at the start of a SQLite record: the
// varint reader, the width of each serial type and its type class.
#pragma once

#include <cstdint>

namespace fennaro {

// Type classes returned by checkDataType; only kTextClass is ever acted on.
constexpr int kIntegerClass = 1;
constexpr int kBlobClass = 2;
constexpr int kFloatClass = 3;
constexpr int kTextClass = 4;

} // namespace fennaro

// Reads one SQLite varint at p into *value, reduced to 32 bits (values that do
// not fit give 0xFFFFFFFF); returns the bytes it took, 1 to 9. Reads up to 9
// bytes from p, so callers must pad their buffers.
int readVarint32(const unsigned char* p, uint32_t* value);

// Number of body bytes a column of this serial type occupies.
int calculateDataWidth(unsigned int serialType);

// Type class of a serial type: 1 integer, 2 BLOB, 3 float, 4 text, otherwise
// the serial type itself.
int checkDataType(unsigned int serialType);
