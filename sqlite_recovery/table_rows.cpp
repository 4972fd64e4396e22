#include "sqlite_recovery/table_rows.h"

#include <algorithm>

namespace fennaro::deep {

namespace {

// Appends one code point as UTF-8.
void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string utf16ToUtf8(const std::string& bytes, bool bigEndian) {
    // Unit by unit; a lone or reversed surrogate and an odd last byte give U+FFFD.
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](size_t i) {
        const auto a = uint8_t(bytes[i]), b = uint8_t(bytes[i + 1]);
        return bigEndian ? uint32_t(a << 8 | b) : uint32_t(b << 8 | a);
    };
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
    if (i < bytes.size())
        appendUtf8(out, 0xFFFD);
    return out;
}

namespace {

// Gives a decoded value of column c what SQLite gives it when read: the rowid
// for a NULL alias of it, a real for a whole number in a REAL column, UTF-8
// for the text of a UTF-16 database.
void finishValue(const TableInfo& table, int c, int64_t rowid, uint32_t textEncoding, Value* v) {
    if (c == table.aliasColumn && v->isNull())
        *v = Value::ofInteger(rowid);
    if (table.columns[size_t(c)].affinity == Affinity::Real && v->kind == Value::Kind::Integer)
        *v = Value::ofReal(double(v->integer));
    if ((textEncoding == 2 || textEncoding == 3) && v->kind == Value::Kind::Text)
        v->bytes = utf16ToUtf8(v->bytes, textEncoding == 3);
}

// Column c as read from a record, into *v: NULL for a column the table
// lacks, the default past the stored columns (stored is false), else the
// value of serial type `type` at `offset` in the body; then finished as
// SQLite reads it.
void readColumn(const TableInfo& table, int c, bool stored, uint64_t type, uint64_t offset,
                const uint8_t* body, uint64_t bodyBytes, int64_t rowid, uint32_t textEncoding,
                Value* v) {
    if (c < 0 || size_t(c) >= table.columns.size()) {
        *v = Value::null();
        return;
    }
    if (stored)
        decodeValueInto(type, body + std::min(offset, bodyBytes),
                        offset < bodyBytes ? bodyBytes - offset : 0, v);
    else
        *v = table.columns[size_t(c)].defaultValue;
    finishValue(table, c, rowid, textEncoding, v);
}

} // namespace

void selectColumns(const TableInfo& table, const RecordShape& shape, const uint8_t* body,
                   size_t bodyBytes, int64_t rowid, uint32_t textEncoding,
                   const std::vector<int>& columns, std::vector<Value>* values) {
    // Each column asked for: its offset from the widths before it, then its value.
    values->resize(columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        const int c = columns[k];
        const bool stored = c >= 0 && size_t(c) < shape.types.size();
        uint64_t offset = 0;
        for (int i = 0; stored && i < c; ++i)
            offset += serialTypeWidth(shape.types[size_t(i)]);
        readColumn(table, c, stored, stored ? shape.types[size_t(c)] : 0, offset, body, bodyBytes,
                   rowid, textEncoding, &(*values)[k]);
    }
}

bool pickColumns(const TableInfo& table, const uint8_t* payload, size_t payloadBytes, int64_t rowid,
                 uint32_t textEncoding, const std::vector<int>& columns,
                 std::vector<Value>* values) {
    // The serial types up to the last column wanted, with their offsets.
    uint64_t headerSize = 0;
    const int n = readVarint(payload, payloadBytes, &headerSize);
    if (n == 0 || headerSize > payloadBytes)
        return false;
    int last = -1;
    for (int c : columns)
        last = std::max(last, c);
    uint64_t types[64], offsets[64];
    size_t count = 0;
    uint64_t offset = 0;
    for (size_t at = size_t(n); at < headerSize && int(count) <= last;) {
        if (count == 64)
            return false;
        uint64_t type = payload[at];
        int m = 1;
        if (type >= 0x80)
            m = readVarint(payload + at, size_t(headerSize) - at, &type);
        if (m == 0 || !serialTypeValid(type))
            return false;
        at += size_t(m);
        types[count] = type;
        offsets[count++] = offset;
        offset += serialTypeWidth(type);
    }
    const uint8_t* body = payload + headerSize;
    const uint64_t bodyBytes = payloadBytes - headerSize;
    values->resize(columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        const int c = columns[k];
        const bool stored = c >= 0 && size_t(c) < count;
        readColumn(table, c, stored, stored ? types[c] : 0, stored ? offsets[c] : 0, body,
                   bodyBytes, rowid, textEncoding, &(*values)[k]);
    }
    return true;
}

void completeRow(const TableInfo& table, std::optional<int64_t> rowid, uint32_t textEncoding,
                 std::vector<Value>* values) {
    // Pads or cuts to the table's width, then fills the rowid and the texts.
    const size_t width = table.columns.size();
    if (values->size() > width)
        values->resize(width);
    for (size_t i = values->size(); i < width; ++i)
        values->push_back(table.columns[i].defaultValue);
    if (table.aliasColumn >= 0 && rowid && (*values)[size_t(table.aliasColumn)].isNull())
        (*values)[size_t(table.aliasColumn)] = Value::ofInteger(*rowid);
    // A REAL column stores whole numbers as integers to save space; SQLite
    // reads them back as reals.
    for (size_t i = 0; i < width; ++i) {
        Value& v = (*values)[i];
        if (table.columns[i].affinity == Affinity::Real && v.kind == Value::Kind::Integer)
            v = Value::ofReal(double(v.integer));
    }
    if (textEncoding == 2 || textEncoding == 3) {
        for (Value& v : *values) {
            if (v.kind == Value::Kind::Text)
                v.bytes = utf16ToUtf8(v.bytes, textEncoding == 3);
        }
    }
}

} // namespace fennaro::deep
