// One SQLite value as a row holds it (NULL, integer, real, text or blob), for
// the ground truth of deleted and live rows.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

struct SqlValue {
    enum class Type { Null, Integer, Real, Text, Blob };
    Type type = Type::Null;
    int64_t integer = 0;
    double real = 0;
    std::string bytes; // text (UTF-8) or blob bytes

    bool operator==(const SqlValue&) const = default;

    // True for NULL, an empty text and an empty blob: nothing a user could read.
    bool isEmpty() const {
        return type == Type::Null || ((type == Type::Text || type == Type::Blob) && bytes.empty());
    }
};

// Copies a value handed out by SQLite (a column or a pre-update value).
inline SqlValue sqlValueFrom(sqlite3_value* v) {
    SqlValue out;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        out.type = SqlValue::Type::Integer;
        out.integer = sqlite3_value_int64(v);
        break;
    case SQLITE_FLOAT:
        out.type = SqlValue::Type::Real;
        out.real = sqlite3_value_double(v);
        break;
    case SQLITE_TEXT:
        out.type = SqlValue::Type::Text;
        if (const unsigned char* text = sqlite3_value_text(v))
            out.bytes.assign(reinterpret_cast<const char*>(text),
                             static_cast<size_t>(sqlite3_value_bytes(v)));
        break;
    case SQLITE_BLOB:
        out.type = SqlValue::Type::Blob;
        if (const void* blob = sqlite3_value_blob(v))
            out.bytes.assign(static_cast<const char*>(blob),
                             static_cast<size_t>(sqlite3_value_bytes(v)));
        break;
    default:
        break;
    }
    return out;
}

using SqlRow = std::vector<SqlValue>;

} // namespace testdata
