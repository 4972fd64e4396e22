// One column value of a recovered record, as SQLite stores it: NULL, a 64-bit
// integer, a double, or the bytes of a text or a blob (texts are kept as the
// file holds them; whoever shows them decides what to do with bad UTF-8).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fennaro::deep {

struct Value {
    enum class Kind : uint8_t { Null, Integer, Real, Text, Blob };

    Kind kind = Kind::Null;
    int64_t integer = 0;
    double real = 0;
    std::string bytes;

    static Value null() { return {}; }
    static Value ofInteger(int64_t v) {
        Value value;
        value.kind = Kind::Integer;
        value.integer = v;
        return value;
    }
    static Value ofReal(double v) {
        Value value;
        value.kind = Kind::Real;
        value.real = v;
        return value;
    }
    static Value ofText(std::string v) {
        Value value;
        value.kind = Kind::Text;
        value.bytes = std::move(v);
        return value;
    }
    static Value ofBlob(std::string v) {
        Value value;
        value.kind = Kind::Blob;
        value.bytes = std::move(v);
        return value;
    }

    bool isNull() const { return kind == Kind::Null; }

    // True when the value carries something: not NULL, and not an empty text
    // or blob.
    bool hasContent() const {
        return kind == Kind::Integer || kind == Kind::Real || !bytes.empty();
    }

    bool operator==(const Value& other) const {
        if (kind != other.kind)
            return false;
        switch (kind) {
        case Kind::Null:
            return true;
        case Kind::Integer:
            return integer == other.integer;
        case Kind::Real:
            // Bitwise, so a NaN read from a damaged file equals itself.
            return std::string_view(reinterpret_cast<const char*>(&real), sizeof real) ==
                   std::string_view(reinterpret_cast<const char*>(&other.real), sizeof real);
        default:
            return bytes == other.bytes;
        }
    }
};

} // namespace fennaro::deep
