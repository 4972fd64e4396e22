// Keys of a row's values, which group carved records and live rows that may
// be one row: read from a record's bytes where they can be, from its decoded
// values otherwise, with every flag alike; and the signatures of its texts
// alone that sift live rows before they are keyed.
#include "sqlite_recovery/record_collector.h"

#include <algorithm>
#include <cstring>

#include "sqlite_recovery/flag_values.h"

namespace fennaro::deep {

namespace {

// Mixes one 64-bit word into a running hash (cheap: keys only sort rows
// into groups, whose members are then compared value by value).
uint64_t mix(uint64_t hash, uint64_t word) {
    hash ^= word;
    return ((hash << 27) | (hash >> 37)) * 0x9e3779b97f4a7c15ull;
}

// Tags that keep the kinds of value apart in a key.
constexpr uint64_t kFlagTag = 0x5bd1e9955bd1e995ull;
constexpr uint64_t kIntegerTag = 0x2127599bf4325c37ull;
constexpr uint64_t kRealTag = 0x880355f21e6d1965ull;
constexpr uint64_t kTextTag = 0xc2b2ae3d27d4eb4full;
constexpr uint64_t kBlobTag = 0x165667b19e3779f9ull;

// Mixes a text or blob into a running hash by its length and first bytes:
// enough to tell rows apart, and cheap for long bodies.
uint64_t mixBytes(uint64_t hash, uint64_t tag, const uint8_t* bytes, size_t size) {
    // The first and the last (up to) eight of the first sixteen bytes.
    // A short one is read as two words that overlap where it is too short
    // for both (OR-ing a byte with itself changes nothing), never past its end.
    uint64_t head[2] = {0, 0};
    if (size >= 8) {
        std::memcpy(&head[0], bytes, 8);
        std::memcpy(&head[1], bytes + std::min<size_t>(size, 16) - 8, 8);
    } else if (size >= 4) {
        uint32_t low = 0, high = 0;
        std::memcpy(&low, bytes, 4);
        std::memcpy(&high, bytes + size - 4, 4);
        head[0] = low | uint64_t(high) << (8 * (size - 4));
    } else if (size > 0) {
        head[0] = bytes[0] | uint64_t(bytes[size / 2]) << (8 * (size / 2)) |
                  uint64_t(bytes[size - 1]) << (8 * (size - 1));
    }
    return mix(mix(hash, head[0] ^ tag), head[1] + size);
}

// Mixes one value into a running hash: flags as one token, others by kind
// and content.
uint64_t mixValue(uint64_t hash, const Value& v) {
    if (isFlag(v))
        return mix(hash, kFlagTag);
    if (v.kind == Value::Kind::Integer)
        return mix(hash, uint64_t(v.integer) ^ kIntegerTag);
    if (v.kind == Value::Kind::Real) {
        uint64_t bits = 0;
        std::memcpy(&bits, &v.real, sizeof bits);
        return mix(hash, bits ^ kRealTag);
    }
    return mixBytes(hash, v.kind == Value::Kind::Text ? kTextTag : kBlobTag,
                    reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size());
}

} // namespace

uint64_t RecordCollector::valuesKey(int table, const std::vector<Value>& values) const {
    // Every column but the rowid's, flags all alike.
    const int alias = m_tables[size_t(table)].aliasColumn;
    uint64_t hash = uint64_t(table) + 1;
    for (size_t i = 0; i < values.size(); ++i) {
        if (int(i) != alias)
            hash = mixValue(hash, values[i]);
    }
    return hash;
}

RecordCollector::Signature RecordCollector::textSignature(const uint8_t* payload, size_t have,
                                                          const std::vector<size_t>& lengths,
                                                          std::vector<uint64_t>* signatures,
                                                          size_t* columns) const {
    // The texts a record holds, with their columns, read from its header
    // and the bytes of those texts only: alike in rows equal but for flags
    // (a flag is never a text). One signature per length in lengths (sorted)
    // that the record reaches: the texts of its first so many columns, and
    // one for its own length. None for texts of a UTF-16 database or a
    // damaged header; Cut for a record whose body was cut short (no whole
    // row equals it).
    signatures->clear();
    uint64_t headerSize = 0;
    const int n = readVarint(payload, have, &headerSize);
    if (n == 0 || headerSize > have || m_encoding != 1)
        return Signature::None;
    const uint64_t bodyBytes = have - headerSize;
    uint64_t body = 0, hash = 0;
    size_t column = 0, next = 0;
    for (size_t at = size_t(n); at < headerSize;) {
        uint64_t type = payload[at];
        int m = 1;
        if (type >= 0x80) {
            m = readVarint(payload + at, size_t(headerSize) - at, &type);
            if (m == 0)
                return Signature::None;
        }
        at += size_t(m);
        const uint64_t width = serialTypeWidth(type);
        if (type >= 13 && (type & 1)) {
            if (body > bodyBytes || width > bodyBytes - body)
                return Signature::Cut;
            hash =
                mixBytes(mix(hash, column), kTextTag, payload + headerSize + body, size_t(width));
        }
        body += width;
        ++column;
        while (next < lengths.size() && lengths[next] < column)
            ++next;
        if (next < lengths.size() && lengths[next] == column)
            signatures->push_back(mix(hash, column));
    }
    *columns = column;
    signatures->push_back(mix(hash, column));
    return Signature::Signed;
}

namespace {

// Mixes one stored column into a key as mixValue would mix its value: the
// serial type, the column's kind (rowid alias columns are left out by the
// caller) and the width bytes at p.
uint64_t mixStored(uint64_t hash, bool realColumn, uint64_t type, const uint8_t* p,
                   uint64_t width) {
    if (type >= 12)
        return mixBytes(hash, type & 1 ? kTextTag : kBlobTag, p, size_t(width));
    if (type == 0)
        return mix(hash, kFlagTag);
    if (type == 7)
        return mix(hash, uint64_t(readSignedBigEndian(p, 8)) ^ kRealTag);
    const int64_t integer = type <= 6 ? readSignedBigEndian(p, size_t(width)) : type == 9 ? 1 : 0;
    if (realColumn) {
        const double real = double(integer);
        uint64_t bits = 0;
        std::memcpy(&bits, &real, sizeof bits);
        return mix(hash, bits ^ kRealTag);
    }
    if (integer >= -1 && integer <= 1)
        return mix(hash, kFlagTag);
    return mix(hash, uint64_t(integer) ^ kIntegerTag);
}

// mixStored for a column of any kind but the rowid's, the commonest
// columns (NULL, and 0 and 1 outside REAL columns: flags) without a call.
inline uint64_t mixColumn(uint64_t hash, bool realColumn, uint64_t type, const uint8_t* p,
                          uint64_t width) {
    if (type == 0 || ((type == 8 || type == 9) && !realColumn))
        return mix(hash, kFlagTag);
    return mixStored(hash, realColumn, type, p, width);
}

} // namespace

bool RecordCollector::payloadKey(int table, const uint8_t* payload, size_t have,
                                 uint64_t* key) const {
    // bodyKey of the record, its serial types read one by one beside the
    // values they describe (a live row is keyed once, so nothing is kept).
    uint64_t headerSize = 0;
    const int n = readVarint(payload, have, &headerSize);
    if (n == 0 || headerSize > have || m_encoding != 1)
        return false;
    const TableInfo& info = m_tables[size_t(table)];
    const std::vector<uint8_t>& kinds = m_columnKinds[size_t(table)];
    const uint8_t* body = payload + headerSize;
    const uint64_t bodyBytes = have - headerSize;
    uint64_t at = 0; // never past bodyBytes
    uint64_t hash = uint64_t(table) + 1;
    size_t column = 0;
    for (size_t h = size_t(n); h < headerSize; ++column) {
        uint64_t type = payload[h];
        int m = 1;
        if (type >= 0x80) {
            m = readVarint(payload + h, size_t(headerSize) - h, &type);
            if (m == 0)
                return false;
        }
        h += size_t(m);
        const uint64_t width = serialTypeWidth(type);
        if (column >= kinds.size() || !serialTypeValid(type) || width > bodyBytes - at)
            return false;
        if (kinds[column] != kAliasColumn)
            hash = mixColumn(hash, kinds[column] == kRealColumn, type, body + at, width);
        at += width;
    }
    for (; column < kinds.size(); ++column) {
        if (kinds[column] != kAliasColumn)
            hash = mixValue(hash, info.columns[column].defaultValue);
    }
    *key = hash;
    return true;
}

bool RecordCollector::bodyKey(int table, const std::vector<uint64_t>& types, const uint8_t* body,
                              size_t bodyBytes, uint64_t* key) const {
    // valuesKey of the row a record gives, read from its bytes without
    // building its values; false where that is not the same thing (a cut
    // record, more columns than the table, texts of a UTF-16 database).
    const TableInfo& info = m_tables[size_t(table)];
    const std::vector<uint8_t>& kinds = m_columnKinds[size_t(table)];
    if (m_encoding != 1 || types.size() > kinds.size())
        return false;
    uint64_t at = 0; // never past bodyBytes
    uint64_t hash = uint64_t(table) + 1;
    for (size_t i = 0; i < kinds.size(); ++i) {
        const uint8_t kind = kinds[i];
        if (i >= types.size()) {
            if (kind != kAliasColumn)
                hash = mixValue(hash, info.columns[i].defaultValue);
            continue;
        }
        const uint64_t type = types[i];
        const uint64_t width = serialTypeWidth(type);
        if (!serialTypeValid(type) || width > bodyBytes - at)
            return false;
        if (kind != kAliasColumn)
            hash = mixColumn(hash, kind == kRealColumn, type, body + at, width);
        at += width;
    }
    *key = hash;
    return true;
}

uint64_t RecordCollector::recordKey(int table, const uint8_t* bytes, size_t size,
                                    std::optional<int64_t> rowid, Scratch& scratch) const {
    // From the bytes where it can be, else from the decoded row.
    uint64_t key = 0;
    if (payloadKey(table, bytes, size, &key))
        return key;
    Candidate probe;
    probe.table = table;
    probe.rowid = rowid;
    probe.bytes = bytes;
    probe.size = size;
    rowOf(probe, &scratch.shape, &scratch.rowA);
    return valuesKey(table, scratch.rowA);
}

} // namespace fennaro::deep
