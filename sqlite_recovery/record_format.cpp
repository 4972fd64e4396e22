#include "sqlite_recovery/record_format.h"

#include <algorithm>
#include <cstring>

#include "sqlite_recovery/byte_view.h"

namespace fennaro::deep {

bool parseRecordHeader(const uint8_t* p, size_t avail, size_t maxColumns, RecordShape* shape,
                       uint64_t maxPayload) {
    // The size varint first: it counts itself and every serial type.
    uint64_t headerSize = 0;
    int n = readVarint(p, avail, &headerSize);
    if (n == 0 || headerSize <= uint64_t(n) || headerSize > kMaxHeaderSize || headerSize > avail ||
        headerSize > maxPayload)
        return false;
    // Every serial type takes a byte at least: room for them all up front,
    // then cut to those read.
    const size_t most = std::min<size_t>(size_t(headerSize) - size_t(n), maxColumns);
    shape->types.resize(most);
    uint64_t* types = shape->types.data();
    size_t count = 0;
    uint64_t bodySize = 0;
    const uint64_t bodyLimit = std::min(maxPayload, kMaxPayloadSize) - headerSize;
    size_t at = size_t(n);
    bool ok = true;
    while (ok && at < headerSize && count < most) {
        uint64_t type = p[at];
        int m = 1;
        if (type >= 0x80)
            m = readVarint(p + at, size_t(headerSize) - at, &type);
        ok = m != 0 && serialTypeValid(type);
        if (ok) {
            at += size_t(m);
            bodySize += serialTypeWidth(type);
            ok = bodySize <= bodyLimit;
            if (ok)
                types[count++] = type;
        }
    }
    shape->bodySize = bodySize;
    shape->types.resize(count);
    if (!ok || at < headerSize)
        return false;
    shape->headerSize = uint32_t(headerSize);
    return count != 0;
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

void decodeValueInto(uint64_t type, const uint8_t* p, uint64_t avail, Value* out) {
    // NULL, integers of 1 to 8 bytes, a double, the constants 0 and 1, bytes.
    const uint64_t width = serialTypeWidth(type);
    const uint64_t have = std::min(width, avail);
    out->integer = 0;
    out->real = 0;
    if (type >= 10) {
        // (10 and 11 are reserved and take no bytes.)
        out->kind = (type & 1) ? Value::Kind::Text : Value::Kind::Blob;
        out->bytes.assign(reinterpret_cast<const char*>(p), size_t(have));
        return;
    }
    out->bytes.clear();
    out->kind = Value::Kind::Null;
    if (type == 8 || type == 9) {
        out->kind = Value::Kind::Integer;
        out->integer = type == 8 ? 0 : 1;
    } else if (type >= 1 && type <= 6 && have == width) {
        out->kind = Value::Kind::Integer;
        out->integer = readSignedBigEndian(p, size_t(width));
    } else if (type == 7 && have == width) {
        const uint64_t bits = uint64_t(readSignedBigEndian(p, 8));
        out->kind = Value::Kind::Real;
        std::memcpy(&out->real, &bits, sizeof bits);
    }
}

Value decodeValue(uint64_t type, const uint8_t* p, uint64_t avail) {
    Value v;
    decodeValueInto(type, p, avail, &v);
    return v;
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
