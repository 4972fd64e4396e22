// The SQLite record format: serial types, the record header (a size varint
// and one serial type per column) and the body the header describes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

// Serial types 10 and 11 are reserved: no record holds them.
inline bool serialTypeValid(uint64_t type) {
    return type != 10 && type != 11;
}

// Body bytes a column of this serial type takes.
inline uint64_t serialTypeWidth(uint64_t type) {
    static const uint8_t kSmall[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
    if (type < 12)
        return kSmall[type];
    return (type - 12) / 2;
}

// Serial types that hold a text or a blob.
inline bool serialTypeIsText(uint64_t type) {
    return type >= 13 && (type & 1);
}
inline bool serialTypeIsBlob(uint64_t type) {
    return type >= 12 && !(type & 1);
}

// Reads a big-endian two's-complement integer of 1 to 8 bytes (a stored
// integer of serial type 1 to 6, or with 8 the bits of a double).
inline int64_t readSignedBigEndian(const uint8_t* p, size_t width) {
    uint64_t v = (p[0] & 0x80) ? ~uint64_t(0) : 0;
    for (size_t i = 0; i < width; ++i)
        v = (v << 8) | p[i];
    return int64_t(v);
}

// The largest record header and payload the engine believes: SQLite itself
// refuses headers above 98307 bytes and values above a billion bytes.
constexpr uint64_t kMaxHeaderSize = 98307;
constexpr uint64_t kMaxPayloadSize = 1'000'000'000;

// The parsed header of one record.
struct RecordShape {
    uint32_t headerSize = 0; // header bytes, its own size varint included
    uint64_t bodySize = 0;   // sum of the columns' widths
    std::vector<uint64_t> types;

    uint64_t payloadSize() const { return headerSize + bodySize; }
};

// Parses a whole record header at p (avail readable bytes): the size varint,
// then serial types up to that size. False unless the header ends exactly at
// its declared size, holds 1 to maxColumns columns and no reserved type, and
// header and body together take at most maxPayload bytes.
bool parseRecordHeader(const uint8_t* p, size_t avail, size_t maxColumns, RecordShape* shape,
                       uint64_t maxPayload = kMaxPayloadSize);

// Parses exactly `columns` serial types at p (avail readable bytes), for a
// header whose size varint was overwritten; headerSize then counts only the
// serial types read. False on a reserved type or a type that runs past avail.
bool parseSerialTypes(const uint8_t* p, size_t avail, size_t columns, RecordShape* shape);

// Decodes one value of this serial type from p, of which avail bytes can be
// read: a text or blob cut short keeps its first bytes, a number cut short
// becomes NULL.
Value decodeValue(uint64_t type, const uint8_t* p, uint64_t avail);
// decodeValue into *out, reusing the room its bytes already have.
void decodeValueInto(uint64_t type, const uint8_t* p, uint64_t avail, Value* out);

// Decodes the columns of shape from body (available bytes: bodyAvail, which
// is less than shape.bodySize when an overflow chain was cut). A text or blob
// cut short keeps its first bytes; a number cut short becomes NULL.
void decodeRecordBody(const RecordShape& shape, const uint8_t* body, size_t bodyAvail,
                      std::vector<Value>* values);

} // namespace fennaro::deep
