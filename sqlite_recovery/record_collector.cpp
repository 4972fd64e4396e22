#include "sqlite_recovery/record_collector.h"

#include <algorithm>
#include <cstring>

#include "sqlite_recovery/btree_page.h"
#include "platform/side_task.h"
#include "sqlite_recovery/table_rows.h"
#include "sqlite_recovery/value_sanity.h"

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

// NULL and the integers -1, 0 and 1 are flags an update flips (read, seen,
// status, is_primary...): two records that differ only there are one row.
bool isFlag(const Value& v) {
    return v.kind == Value::Kind::Null ||
           (v.kind == Value::Kind::Integer && v.integer >= -1 && v.integer <= 1);
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

// A sorted set of keys with a bit map in front: most keys asked for are not
// in it, and the map (a few bits per key, small enough to stay in cache)
// says so without the binary search's scattered reads.
class KeySet {
  public:
    // Takes the keys (in any order).
    explicit KeySet(std::vector<uint64_t> keys) : m_keys(std::move(keys)) {
        if (!std::is_sorted(m_keys.begin(), m_keys.end()))
            std::sort(m_keys.begin(), m_keys.end());
        size_t bits = 1 << 12;
        while (bits < 16 * m_keys.size() && bits < (size_t(1) << 27))
            bits <<= 1;
        m_mask = bits - 1;
        m_bits.assign(bits / 64, 0);
        for (uint64_t key : m_keys) {
            const uint64_t bit = (key >> 20) & m_mask;
            m_bits[bit / 64] |= uint64_t(1) << (bit % 64);
        }
    }

    bool contains(uint64_t key) const {
        const uint64_t bit = (key >> 20) & m_mask;
        return (m_bits[bit / 64] >> (bit % 64) & 1) != 0 &&
               std::binary_search(m_keys.begin(), m_keys.end(), key);
    }

  private:
    std::vector<uint64_t> m_keys;
    std::vector<uint64_t> m_bits;
    uint64_t m_mask = 0;
};

bool sameLoosely(const Value& a, const Value& b) {
    if (isFlag(a) || isFlag(b))
        return isFlag(a) && isFlag(b);
    return a == b;
}

// Writes a SQLite varint (of fewer than 64 bits) at out; returns its length.
size_t writeVarint(uint8_t* out, uint64_t v) {
    uint8_t bytes[10];
    size_t n = 0;
    do {
        bytes[n++] = uint8_t(v & 0x7F);
        v >>= 7;
    } while (v != 0 && n < 9);
    for (size_t i = 0; i < n; ++i)
        out[i] = uint8_t(bytes[n - 1 - i] | (n - 1 - i > 0 ? 0x80 : 0));
    return n;
}

// Bytes of a varint.
size_t varintLength(uint64_t v) {
    size_t n = 1;
    while (v >= 0x80 && n < 9) {
        v >>= 7;
        ++n;
    }
    return n;
}

// The size of a record header for these serial types, counting the size
// varint itself: one byte up to 127, two up to 16383.
uint64_t headerSizeOf(const std::vector<uint64_t>& types) {
    uint64_t count = 0;
    for (uint64_t type : types)
        count += varintLength(type);
    return count + 1 <= 127 ? count + 1 : count + 2 <= 16383 ? count + 2 : count + 3;
}

// Writes a record header for these serial types at out (headerSizeOf bytes).
void writeHeader(uint8_t* out, const std::vector<uint64_t>& types, uint64_t headerSize) {
    out += writeVarint(out, headerSize);
    for (uint64_t type : types) {
        if (type < 0x80)
            *out++ = uint8_t(type);
        else
            out += writeVarint(out, type);
    }
}

} // namespace

RecordCollector::RecordCollector(const std::vector<TableInfo>& tables, const PageReader& current,
                                 uint32_t usableSize, uint32_t textEncoding)
    : m_tables(tables), m_current(current), m_usable(usableSize), m_encoding(textEncoding) {
    // What payloadKey needs of each column, in a few bytes per table.
    for (const TableInfo& table : tables) {
        std::vector<uint8_t> kinds;
        for (const ColumnInfo& column : table.columns)
            kinds.push_back(column.rowidAlias                   ? kAliasColumn
                            : column.affinity == Affinity::Real ? kRealColumn
                                                                : kPlainColumn);
        m_columnKinds.push_back(std::move(kinds));
    }
    m_choices.assign(tables.size(), {});
}

void RecordCollector::select(std::vector<TableChoice> choices) {
    // Keeps the choice only when it names every table.
    if (choices.size() == m_tables.size())
        m_choices = std::move(choices);
}

bool RecordCollector::isLive(int table, int64_t rowid) {
    // A b-tree search of the current state, remembered when it finds the row.
    const TableRowid key{table, rowid};
    if (m_tables[size_t(table)].dropped)
        return false;
    if (m_liveRowids.count(key))
        return true;
    if (!tableHasRowid(m_current, m_tables[size_t(table)].rootPage, m_usable, rowid))
        return false;
    m_liveRowids.insert(key);
    return true;
}

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

void RecordCollector::rowOf(const Candidate& candidate, RecordShape* scratch,
                            std::vector<Value>* values) const {
    // Decodes the stored record and completes it as SQLite would read it.
    const TableInfo& table = m_tables[size_t(candidate.table)];
    values->clear();
    if (parseRecordHeader(candidate.bytes, candidate.size, table.columns.size(), scratch))
        decodeRecordBody(*scratch, candidate.bytes + scratch->headerSize,
                         candidate.size - scratch->headerSize, values);
    completeRow(table, candidate.rowid, m_encoding, values);
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

bool RecordCollector::sameRow(const Candidate& a, const Candidate& b, Scratch& scratch) const {
    // Equal but for the rowid column and flags.
    if (a.table != b.table || a.key != b.key)
        return false;
    rowOf(a, &scratch.shape, &scratch.rowA);
    rowOf(b, &scratch.shape, &scratch.rowB);
    if (scratch.rowA.size() != scratch.rowB.size())
        return false;
    const int alias = m_tables[size_t(a.table)].aliasColumn;
    for (size_t i = 0; i < scratch.rowA.size(); ++i) {
        if (int(i) != alias && !sameLoosely(scratch.rowA[i], scratch.rowB[i]))
            return false;
    }
    return true;
}

bool RecordCollector::better(const Candidate& a, const Candidate& b) const {
    // A cell a page lists beats one found in free bytes (which may be an
    // older leftover even in a recent page); then the more recent version.
    if (a.evidence != b.evidence)
        return a.evidence > b.evidence;
    return a.rank > b.rank;
}

void RecordCollector::add(const FoundRecord& record, const VersionInfo& version) {
    // Live rows and known rows cost a lookup only; the record's bytes are
    // kept for new ones, its values read only at the end.
    if (record.table < 0 || size_t(record.table) >= m_tables.size() ||
        !m_choices[size_t(record.table)].wanted ||
        (!record.rowid && m_choices[size_t(record.table)].rowidsOnly))
        return;
    const TableInfo& table = m_tables[size_t(record.table)];
    Candidate found;
    found.table = record.table;
    found.rowid = record.rowid;
    found.evidence = record.evidence;
    found.rank = version.rank;
    found.source = version.source;
    found.page = version.page;
    found.offset = version.imageOffset + record.offsetInPage;
    found.frame = version.frame;
    found.headerLost = record.headerLost;
    found.unknownColumns = record.unknownColumns;
    found.damaged = record.damaged;

    auto known = m_byRowid.end();
    if (record.rowid) {
        known = m_byRowid.find({record.table, *record.rowid});
        if (known != m_byRowid.end() && !better(found, m_candidates[known->second]))
            return;
        if (known == m_byRowid.end() && isLive(record.table, *record.rowid))
            return;
    }

    // Only what the record itself holds counts as recovered: not the rowid,
    // not the defaults of columns a short record lacks. Records carved from
    // free bytes were judged by their values where they were found; one cut
    // short since (its chain or its tail gone) is judged on what is left.
    const std::vector<uint64_t>& types = record.shape->types;
    if (record.damaged && !plausibleRecord(table, *record.shape, record.body, record.bodyBytes,
                                           record.unknownColumns, m_encoding == 1))
        return;
    if (record.evidence == Evidence::CellArray) {
        bool hasValue = false;
        uint64_t at = 0;
        for (size_t i = 0; i < types.size() && !hasValue; ++i) {
            const uint64_t width = serialTypeWidth(types[i]);
            hasValue = int(i) != table.aliasColumn && types[i] != 0 &&
                       (types[i] < 12 || (width > 0 && at < record.bodyBytes));
            at += width;
        }
        if (!hasValue)
            return;
    }
    const size_t body = size_t(std::min<uint64_t>(record.bodyBytes, record.shape->bodySize));
    const uint64_t headerSize = headerSizeOf(types);
    uint8_t* bytes = m_arena.allocate(size_t(headerSize) + body);
    writeHeader(bytes, types, headerSize);
    if (body != 0)
        std::memcpy(bytes + headerSize, record.body, body);
    found.bytes = bytes;
    found.size = size_t(headerSize) + body;
    if (!bodyKey(record.table, types, record.body, body, &found.key))
        found.key = recordKey(record.table, found.bytes, found.size, record.rowid, m_scratch);

    if (record.rowid) {
        if (known != m_byRowid.end()) {
            m_candidates[known->second] = std::move(found);
        } else {
            m_byRowid.emplace(TableRowid{record.table, *record.rowid}, m_candidates.size());
            m_candidates.push_back(std::move(found));
        }
        return;
    }
    // Copies of one carving are merged at the end, all at once.
    m_candidates.push_back(std::move(found));
}

void RecordCollector::startNotingLiveRows() {
    // A table index must fit the 16 bits a noted row has for it.
    m_liveRowsNoted = m_tables.size() <= 0xFFFF;
    m_liveRows.clear();
}

void RecordCollector::expectPages(uint32_t pages) {
    // A record per 512 usable bytes of a page, a live row per 128; capped,
    // so a huge file asks for no more than a few megabytes ahead.
    constexpr size_t kCap = size_t(1) << 18;
    m_candidates.reserve(std::min(kCap, size_t(pages) * (m_usable / 512)));
    if (m_liveRowsNoted)
        m_liveRows.reserve(std::min(kLiveRowBudget, size_t(pages) * (m_usable / 128)));
}

void RecordCollector::noteLiveLeaf(int table, uint32_t page, ByteView view,
                                   const BtreeHeader& header) {
    // Keys every row of the leaf; past the budget all noted rows are
    // forgotten and the end walks the tables instead. A table that keeps
    // no carved records has nothing to compare its live rows with.
    if (!m_liveRowsNoted || m_choices[size_t(table)].rowidsOnly)
        return;
    if (m_liveRows.size() + header.cellCount > kLiveRowBudget) {
        m_liveRowsNoted = false;
        std::vector<LiveRowKey>().swap(m_liveRows);
        return;
    }
    int64_t rowid = 0;
    const uint8_t* bytes = nullptr;
    size_t have = 0;
    for (uint32_t i = 0; i < header.cellCount; ++i) {
        if (leafCellPayload(m_current, view, header, m_usable, i, m_livePayload, &rowid, &bytes,
                            &have))
            m_liveRows.push_back({recordKey(table, bytes, have, rowid, m_scratch), page,
                                  uint16_t(table), uint16_t(i)});
    }
}

void RecordCollector::absorb(RecordCollector&& other) {
    // The other's records follow ours; a row both found keeps the better copy,
    // ours when they are as good, as add() would have decided.
    m_arena.absorb(std::move(other.m_arena));
    m_liveRowids.merge(other.m_liveRowids);
    m_liveRowsNoted = m_liveRowsNoted && other.m_liveRowsNoted;
    if (m_liveRowsNoted)
        m_liveRows.insert(m_liveRows.end(), other.m_liveRows.begin(), other.m_liveRows.end());
    else
        std::vector<LiveRowKey>().swap(m_liveRows);
    m_candidates.reserve(m_candidates.size() + other.m_candidates.size());
    for (Candidate& c : other.m_candidates) {
        if (c.rowid) {
            const TableRowid key{c.table, *c.rowid};
            auto known = m_byRowid.find(key);
            if (known != m_byRowid.end()) {
                if (better(c, m_candidates[known->second]))
                    m_candidates[known->second] = c;
                continue;
            }
            m_byRowid.emplace(key, m_candidates.size());
        }
        m_candidates.push_back(c);
    }
    other.m_candidates.clear();
    other.m_byRowid.clear();
}

void RecordCollector::dropLiveCarvings() {
    // Records carved without a rowid, ordered by key (the best copy first):
    // copies of one row are merged, then each is compared by value with the
    // records that have a rowid and with every live row of its table.
    std::vector<uint32_t> carved;
    std::vector<bool> tableHasCarvings(m_tables.size(), false);
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        if (!m_candidates[i].rowid) {
            carved.push_back(uint32_t(i));
            tableHasCarvings[size_t(m_candidates[i].table)] = true;
        }
    }
    {
        // By key first, on pairs that compare fast; then each run of one
        // key (rarely more than one record) by strongest evidence, most
        // recent version and place found.
        std::vector<std::pair<uint64_t, uint32_t>> order;
        order.reserve(carved.size());
        for (uint32_t i : carved)
            order.emplace_back(m_candidates[i].key, i);
        std::sort(order.begin(), order.end());
        auto stronger = [&](const std::pair<uint64_t, uint32_t>& a,
                            const std::pair<uint64_t, uint32_t>& b) {
            const Candidate& x = m_candidates[a.second];
            const Candidate& y = m_candidates[b.second];
            if (x.evidence != y.evidence)
                return x.evidence > y.evidence;
            if (x.rank != y.rank)
                return x.rank > y.rank;
            return a.second < b.second;
        };
        for (size_t run = 0, end; run < order.size(); run = end) {
            end = run + 1;
            while (end < order.size() && order[end].first == order[run].first)
                ++end;
            if (end - run > 1)
                std::sort(order.begin() + long(run), order.begin() + long(end), stronger);
        }
        for (size_t k = 0; k < order.size(); ++k)
            carved[k] = order[k].second;
    }
    for (size_t run = 0; run < carved.size();) {
        size_t end = run + 1;
        while (end < carved.size() &&
               m_candidates[carved[end]].key == m_candidates[carved[run]].key)
            ++end;
        for (size_t i = run + 1; i < end; ++i) {
            for (size_t j = run; j < i && !m_candidates[carved[i]].dropped; ++j) {
                if (!m_candidates[carved[j]].dropped &&
                    sameRow(m_candidates[carved[j]], m_candidates[carved[i]], m_scratch))
                    m_candidates[carved[i]].dropped = true;
            }
        }
        run = end;
    }
    std::vector<uint64_t> carvedKeys;
    carvedKeys.reserve(carved.size());
    for (uint32_t i : carved)
        carvedKeys.push_back(m_candidates[i].key);
    // Calls drop(i) for every carving i that equals reference.
    auto matches = [&](const Candidate& reference, Scratch& scratch, auto&& drop) {
        auto [from, to] = std::equal_range(carvedKeys.begin(), carvedKeys.end(), reference.key);
        for (auto it = from; it != to; ++it) {
            const uint32_t i = carved[size_t(it - carvedKeys.begin())];
            const Candidate& other = m_candidates[i];
            if (&other != &reference && !other.dropped && sameRow(other, reference, scratch))
                drop(i);
        }
    };
    for (const Candidate& c : m_candidates) {
        if (c.rowid)
            matches(c, m_scratch, [&](uint32_t i) { m_candidates[i].dropped = true; });
    }

    const KeySet carvedKeySet(carvedKeys);
    if (m_liveRowsNoted) {
        // Every live row was keyed as its page was carved: only a row whose
        // key a carving has too is read again, to compare values.
        Candidate live;
        BtreeHeader header;
        for (const LiveRowKey& row : m_liveRows) {
            if (!tableHasCarvings[row.table] || !carvedKeySet.contains(row.key))
                continue;
            const ByteView view = m_current.page(row.page);
            int64_t rowid = 0;
            if (!view.data || !readBtreeHeader(view, row.page, m_usable, &header) ||
                !leafCellPayload(m_current, view, header, m_usable, row.cell, m_livePayload, &rowid,
                                 &live.bytes, &live.size))
                continue;
            live.table = row.table;
            live.rowid = rowid;
            live.key = row.key;
            matches(live, m_scratch, [&](uint32_t i) { m_candidates[i].dropped = true; });
        }
        std::vector<LiveRowKey>().swap(m_liveRows);
        return;
    }

    // Live rows are sifted by their texts, which costs a look at the header
    // and the texts alone; only those a carving shares are keyed whole, and
    // only a key a carving has too is worth reading the row's values for.
    // Carvings shorter than their table are signed over their own length;
    // a live row is signed at each such length. A table with a carving
    // that cannot be signed is not sifted.
    std::vector<uint64_t> texts;
    std::vector<std::vector<size_t>> lengths(m_tables.size());
    std::vector<bool> sifted(m_tables.size(), true);
    std::vector<uint64_t> signatures;
    const std::vector<size_t> none;
    // In the order found, which is the order the arena holds them in.
    for (const Candidate& c : m_candidates) {
        size_t columns = 0;
        if (c.rowid || c.dropped)
            continue;
        const Signature kind = textSignature(c.bytes, c.size, none, &signatures, &columns);
        if (kind == Signature::Signed) {
            texts.push_back(signatures.back());
            lengths[size_t(c.table)].push_back(columns);
        } else if (kind == Signature::None) {
            sifted[size_t(c.table)] = false;
        }
    }
    const KeySet carvedTexts(std::move(texts));
    for (std::vector<size_t>& l : lengths) {
        std::sort(l.begin(), l.end());
        l.erase(std::unique(l.begin(), l.end()), l.end());
    }
    // Whether a live record may equal a carving: its signatures meet theirs.
    auto mayEqualCarving = [&](size_t t, const uint8_t* bytes, size_t have,
                               std::vector<uint64_t>& itsSignatures) {
        size_t columns = 0;
        if (!sifted[t] ||
            textSignature(bytes, have, lengths[t], &itsSignatures, &columns) != Signature::Signed ||
            columns != m_tables[t].columns.size())
            return true;
        for (uint64_t signature : itsSignatures) {
            if (carvedTexts.contains(signature))
                return true;
        }
        return false;
    };
    // The leaves of each table with carvings are shared out between two
    // threads for a big table; what they find equal is dropped after both.
    auto siftLeaves = [&](size_t t, const uint32_t* leaves, size_t count, Scratch& scratch,
                          std::vector<uint32_t>& equal) {
        Candidate live;
        live.table = int(t);
        std::string payload;
        BtreeHeader header;
        for (size_t k = 0; k < count; ++k) {
            const ByteView view = m_current.page(leaves[k]);
            if (!view.data || !readBtreeHeader(view, leaves[k], m_usable, &header))
                continue;
            forEachLeafPayload(m_current, view, header, m_usable, payload,
                               [&](int64_t rowid, const uint8_t* bytes, size_t have) {
                                   uint64_t key = 0;
                                   if (!mayEqualCarving(t, bytes, have, scratch.signatures))
                                       return;
                                   if (payloadKey(int(t), bytes, have, &key) &&
                                       !carvedKeySet.contains(key))
                                       return;
                                   live.rowid = rowid;
                                   live.bytes = bytes;
                                   live.size = have;
                                   live.key = recordKey(int(t), bytes, have, rowid, scratch);
                                   matches(live, scratch, [&](uint32_t i) { equal.push_back(i); });
                               });
        }
    };
    VisitMarks marks;
    std::vector<uint32_t> leaves, equal, upperEqual;
    for (size_t t = 0; t < m_tables.size(); ++t) {
        // A dropped table has no live rows to walk.
        if (!tableHasCarvings[t] || m_tables[t].dropped)
            continue;
        leaves.clear();
        walkBtree(m_current, m_tables[t].rootPage, m_usable, marks,
                  [&](uint32_t page, ByteView, const BtreeHeader& header) {
                      if (header.type == kTableLeafPage)
                          leaves.push_back(page);
                  });
        const size_t half = leaves.size() / 2;
        if (leaves.size() >= 256 && SideTask::worthwhile()) {
            Scratch upperScratch;
            SideTask upper([&] {
                siftLeaves(t, leaves.data() + half, leaves.size() - half, upperScratch, upperEqual);
            });
            siftLeaves(t, leaves.data(), half, m_scratch, equal);
            upper.join();
        } else {
            siftLeaves(t, leaves.data(), leaves.size(), m_scratch, equal);
        }
        for (const std::vector<uint32_t>* found : {&equal, &upperEqual}) {
            for (uint32_t i : *found)
                m_candidates[i].dropped = true;
        }
        equal.clear();
        upperEqual.clear();
    }
}

void RecordCollector::report(const Candidate& c, RecordShape* scratch, RecoveredRecord* out) const {
    // The record as the report gives it: place, rowid and the chosen columns.
    RecoveredRecord& r = *out;
    r.table = m_tables[size_t(c.table)].name;
    r.rowid = c.rowid;
    r.source = c.source;
    r.page = c.page;
    r.offset = c.offset;
    if (c.frame != 0)
        r.frame = c.frame;
    r.evidence = c.headerLost ? RecordEvidence::CellHeaderLost : RecordEvidence::Cell;
    r.dropped = m_tables[size_t(c.table)].dropped;
    r.damaged = c.damaged;
    r.known.clear();
    const std::vector<int>& columns = m_choices[size_t(c.table)].columns;
    // A column the rebuilt header could not tell reads NULL and is not known.
    auto markUnknown = [&](size_t value, int column) {
        if (column < 0 || column >= 64 || !(c.unknownColumns >> column & 1))
            return;
        if (r.known.empty())
            r.known.assign(r.values.size(), true);
        r.known[value] = false;
        r.values[value] = Value::null();
    };
    if (columns.empty()) {
        rowOf(c, scratch, &r.values);
        for (size_t i = 0; c.unknownColumns && i < r.values.size(); ++i)
            markUnknown(i, int(i));
        return;
    }
    const TableInfo& table = m_tables[size_t(c.table)];
    if (!pickColumns(table, c.bytes, c.size, c.rowid.value_or(0), m_encoding, columns, &r.values))
        r.values.assign(columns.size(), Value::null());
    if (table.aliasColumn >= 0 && !c.rowid) {
        for (size_t k = 0; k < columns.size(); ++k) {
            if (columns[k] == table.aliasColumn)
                r.values[k] = Value::null();
        }
    }
    for (size_t k = 0; c.unknownColumns && k < columns.size(); ++k)
        markUnknown(k, columns[k]);
}

std::vector<const RecordCollector::Candidate*> RecordCollector::keptInOrder() const {
    // Tables by name (a counting sort through their places in name order);
    // within a table the records with a rowid by rowid, then the others in
    // the order they were found.
    std::vector<size_t> byName(m_tables.size()), start(m_tables.size() + 1, 0);
    for (size_t t = 0; t < byName.size(); ++t)
        byName[t] = t;
    std::sort(byName.begin(), byName.end(),
              [&](size_t a, size_t b) { return m_tables[a].name < m_tables[b].name; });
    std::vector<size_t> place(m_tables.size());
    for (size_t i = 0; i < byName.size(); ++i)
        place[byName[i]] = i;
    for (const Candidate& c : m_candidates) {
        if (!c.dropped)
            ++start[place[size_t(c.table)] + 1];
    }
    for (size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    std::vector<const Candidate*> sorted(start.back());
    std::vector<size_t> fill(start.begin(), start.end() - 1);
    for (const Candidate& c : m_candidates) {
        if (!c.dropped)
            sorted[fill[place[size_t(c.table)]]++] = &c;
    }
    for (size_t i = 0; i + 1 < start.size(); ++i) {
        const auto first = sorted.begin() + long(start[i]),
                   last = sorted.begin() + long(start[i + 1]);
        const auto carved = std::stable_partition(
            first, last, [](const Candidate* c) { return c->rowid.has_value(); });
        std::sort(first, carved,
                  [](const Candidate* a, const Candidate* b) { return *a->rowid < *b->rowid; });
    }
    return sorted;
}

void RecordCollector::finishEach(const RecordVisitor& visitor) {
    // One record at a time, so no report of them all is ever built.
    dropLiveCarvings();
    const std::vector<const Candidate*> kept = keptInOrder();
    if (visitor.expect)
        visitor.expect(kept.size());
    RecordShape scratch;
    RecoveredRecord record;
    for (const Candidate* c : kept) {
        record.frame.reset();
        report(*c, &scratch, &record);
        visitor.visit(record);
    }
    std::vector<Candidate>().swap(m_candidates);
    m_arena.clear();
}

std::vector<RecoveredRecord> RecordCollector::finish() {
    // Drops what is live, then orders by table, rowid (carvings last) and place.
    dropLiveCarvings();
    const std::vector<const Candidate*> kept = keptInOrder();
    // The values are read on two threads for a long list, each its half.
    std::vector<RecoveredRecord> records(kept.size());
    auto reportRange = [&](size_t from, size_t to) {
        RecordShape scratch;
        for (size_t i = from; i < to; ++i)
            report(*kept[i], &scratch, &records[i]);
    };
    const size_t half = kept.size() / 2;
    if (kept.size() >= 4096 && SideTask::worthwhile()) {
        SideTask upper([&] { reportRange(half, kept.size()); });
        reportRange(0, half);
        upper.join();
    } else {
        reportRange(0, kept.size());
    }
    // The bytes of every record go at once now the values are read.
    std::vector<Candidate>().swap(m_candidates);
    m_arena.clear();
    return records;
}

} // namespace fennaro::deep
