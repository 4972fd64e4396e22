#include "record_format.h"

#include <algorithm>
#include <cstring>

#include "byte_view.h"

namespace fennaro::deep {

namespace {

// Reads a big-endian two's-complement integer of 1 to 8 bytes.
int64_t readSignedBigEndian(const uint8_t* p, size_t width) {
    uint64_t v = (p[0] & 0x80) ? ~uint64_t(0) : 0;
    for (size_t i = 0; i < width; ++i)
        v = (v << 8) | p[i];
    return int64_t(v);
}

} // namespace

bool parseRecordHeader(const uint8_t* p, size_t avail, size_t maxColumns, RecordShape* shape,
                       uint64_t maxPayload) {
    // The size varint first: it counts itself and every serial type.
    uint64_t headerSize = 0;
    int n = readVarint(p, avail, &headerSize);
    if (n == 0 || headerSize <= uint64_t(n) || headerSize > kMaxHeaderSize || headerSize > avail ||
        headerSize > maxPayload)
        return false;
    shape->types.clear();
    shape->bodySize = 0;
    const uint64_t bodyLimit = std::min(maxPayload, kMaxPayloadSize) - headerSize;
    size_t at = size_t(n);
    while (at < headerSize) {
        if (shape->types.size() >= maxColumns)
            return false;
        uint64_t type = p[at];
        int m = 1;
        if (type >= 0x80) {
            m = readVarint(p + at, size_t(headerSize) - at, &type);
            if (m == 0)
                return false;
        }
        if (!serialTypeValid(type))
            return false;
        at += size_t(m);
        shape->bodySize += serialTypeWidth(type);
        if (shape->bodySize > bodyLimit)
            return false;
        shape->types.push_back(type);
    }
    shape->headerSize = uint32_t(headerSize);
    return !shape->types.empty();
}

bool parseSerialTypes(const uint8_t* p, size_t avail, size_t columns, RecordShape* shape) {
    // The same walk without a size varint: the caller says how many columns.
    shape->types.clear();
    shape->bodySize = 0;
    size_t at = 0;
    for (size_t c = 0; c < columns; ++c) {
        uint64_t type = 0;
        int m = readVarint(p + at, avail - at, &type);
        if (m == 0 || !serialTypeValid(type))
            return false;
        at += size_t(m);
        shape->bodySize += serialTypeWidth(type);
        if (shape->bodySize > kMaxPayloadSize)
            return false;
        shape->types.push_back(type);
    }
    shape->headerSize = uint32_t(at);
    return columns > 0;
}

Value decodeValue(uint64_t type, const uint8_t* p, uint64_t avail) {
    // NULL, integers of 1 to 8 bytes, a double, the constants 0 and 1, bytes.
    const uint64_t width = serialTypeWidth(type);
    const uint64_t have = std::min(width, avail);
    if (type == 0)
        return Value::null();
    if (type <= 6)
        return have == width ? Value::ofInteger(readSignedBigEndian(p, size_t(width)))
                             : Value::null();
    if (type == 7) {
        if (have != width)
            return Value::null();
        const uint64_t bits = uint64_t(readSignedBigEndian(p, 8));
        double d = 0;
        std::memcpy(&d, &bits, sizeof d);
        return Value::ofReal(d);
    }
    if (type == 8 || type == 9)
        return Value::ofInteger(type == 8 ? 0 : 1);
    std::string bytes(reinterpret_cast<const char*>(p), size_t(have));
    return (type & 1) ? Value::ofText(std::move(bytes)) : Value::ofBlob(std::move(bytes));
}

void decodeRecordBody(const RecordShape& shape, const uint8_t* body, size_t bodyAvail,
                      std::vector<Value>* values) {
    // Walks the columns in order; each one's bytes follow the previous one's.
    values->clear();
    values->reserve(shape.types.size());
    uint64_t at = 0;
    for (uint64_t type : shape.types) {
        const uint64_t avail = at < bodyAvail ? bodyAvail - at : 0;
        values->push_back(decodeValue(type, body + (at < bodyAvail ? at : 0), avail));
        at += serialTypeWidth(type);
    }
}

} // namespace fennaro::deep
