#include "record_encoding.h"

#include <cmath>
#include <cstring>

namespace testdata {

namespace {

// Largest integer SQLite stores in six bytes (serial type 5).
constexpr int64_t kMax6Byte = (int64_t(1) << 47) - 1;

// Serial type and body bytes of an integer.
void encodeInteger(int64_t value, std::string& header, std::string& body) {
    if (value == 0 || value == 1) {
        header += encodeVarint(static_cast<uint64_t>(8 + value));
        return;
    }
    // Width from the magnitude, as SQLite measures it (~v for negative numbers).
    const uint64_t u = value < 0 ? ~static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    int type, width;
    if (u <= 127) {
        type = 1, width = 1;
    } else if (u <= 32767) {
        type = 2, width = 2;
    } else if (u <= 8388607) {
        type = 3, width = 3;
    } else if (u <= 2147483647) {
        type = 4, width = 4;
    } else if (u <= static_cast<uint64_t>(kMax6Byte)) {
        type = 5, width = 6;
    } else {
        type = 6, width = 8;
    }
    header += encodeVarint(static_cast<uint64_t>(type));
    for (int i = width - 1; i >= 0; --i)
        body += static_cast<char>((static_cast<uint64_t>(value) >> (8 * i)) & 0xff);
}

// Serial type and body bytes of a real.
void encodeReal(double value, std::string& header, std::string& body) {
    header += encodeVarint(7);
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 7; i >= 0; --i)
        body += static_cast<char>((bits >> (8 * i)) & 0xff);
}

// Whether a REAL column stores `value` as an integer: it is integral, and as an
// integer it takes fewer than eight bytes (else SQLite keeps the real).
bool storedAsInteger(double value, int64_t& asInteger) {
    if (!std::isfinite(value) || value != std::trunc(value) || value <= -9.2e18 || value >= 9.2e18)
        return false;
    asInteger = static_cast<int64_t>(value);
    const uint64_t u =
        asInteger < 0 ? ~static_cast<uint64_t>(asInteger) : static_cast<uint64_t>(asInteger);
    return u <= static_cast<uint64_t>(kMax6Byte);
}

} // namespace

std::string encodeVarint(uint64_t value) {
    if (value > 0x00ffffffffffffffull) {
        // Nine bytes: eight groups of seven bits, then a whole last byte.
        std::string out(9, '\0');
        out[8] = static_cast<char>(value & 0xff);
        value >>= 8;
        for (int i = 7; i >= 0; --i, value >>= 7)
            out[static_cast<size_t>(i)] = static_cast<char>((value & 0x7f) | 0x80);
        return out;
    }
    std::string groups;
    do {
        groups.insert(groups.begin(), static_cast<char>(value & 0x7f));
        value >>= 7;
    } while (value != 0);
    for (size_t i = 0; i + 1 < groups.size(); ++i)
        groups[i] = static_cast<char>(groups[i] | 0x80);
    return groups;
}

std::string encodeRecord(const TableShape& shape, const SqlRow& row, size_t columns) {
    std::string types, body;
    for (size_t i = 0; i < columns; ++i) {
        const SqlValue none;
        const SqlValue& v = i < row.size() ? row[i] : none;
        if (static_cast<int>(i) == shape.rowidColumn) {
            types += encodeVarint(0);
            continue;
        }
        const bool realColumn = i < shape.realAffinity.size() && shape.realAffinity[i];
        int64_t asInteger = 0;
        switch (v.type) {
        case SqlValue::Type::Null:
            types += encodeVarint(0);
            break;
        case SqlValue::Type::Integer:
            if (realColumn && !storedAsInteger(static_cast<double>(v.integer), asInteger))
                encodeReal(static_cast<double>(v.integer), types, body);
            else
                encodeInteger(v.integer, types, body);
            break;
        case SqlValue::Type::Real:
            if (realColumn && storedAsInteger(v.real, asInteger))
                encodeInteger(asInteger, types, body);
            else
                encodeReal(v.real, types, body);
            break;
        case SqlValue::Type::Text:
            types += encodeVarint(v.bytes.size() * 2 + 13);
            body += v.bytes;
            break;
        case SqlValue::Type::Blob:
            types += encodeVarint(v.bytes.size() * 2 + 12);
            body += v.bytes;
            break;
        }
    }
    // The header size counts its own varint, which may grow by a byte with it.
    uint64_t headerSize = types.size() + 1;
    if (encodeVarint(headerSize).size() > 1) {
        headerSize = types.size() + encodeVarint(types.size()).size();
        if (encodeVarint(headerSize).size() > encodeVarint(types.size()).size())
            ++headerSize;
    }
    return encodeVarint(headerSize) + types + body;
}

size_t localPayloadSize(uint64_t payloadSize, uint32_t usableSize) {
    const uint64_t maxLocal = usableSize - 35;
    const uint64_t minLocal = (uint64_t(usableSize) - 12) * 32 / 255 - 23;
    if (payloadSize <= maxLocal)
        return static_cast<size_t>(payloadSize);
    const uint64_t surplus = minLocal + (payloadSize - minLocal) % (usableSize - 4);
    return static_cast<size_t>(surplus <= maxLocal ? surplus : minLocal);
}

} // namespace testdata
