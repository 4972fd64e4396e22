#include "phone/value_text.h"

#include <cstdio>

namespace fennaro::deep {

// A value as a text column reads it: texts and blobs as their bytes, numbers
// in decimal, NULL as nothing.
std::string textOf(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Integer:
        return std::to_string(v.integer);
    case Value::Kind::Real: {
        char text[32];
        std::snprintf(text, sizeof text, "%.15g", v.real);
        return text;
    }
    case Value::Kind::Null:
        return "";
    default:
        return v.bytes;
    }
}

// Value `column` of a row as text, taking a text's or blob's bytes over.
std::string takeText(std::vector<Value>& values, int column) {
    if (column < 0 || size_t(column) >= values.size())
        return {};
    Value& v = values[size_t(column)];
    if (v.kind == Value::Kind::Text || v.kind == Value::Kind::Blob)
        return std::move(v.bytes);
    return textOf(v);
}

} // namespace fennaro::deep
