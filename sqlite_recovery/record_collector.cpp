// Collecting what the page carver finds: each record is taken once per row
// with a rowid (the better copy kept), dropped when that row is live, and
// kept as its rebuilt header and body bytes; the live rows of the current
// state are keyed as their leaves go by, and a collector of the same scan
// can be absorbed.
#include "sqlite_recovery/record_collector.h"

#include <algorithm>
#include <cstring>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/table_rows.h"
#include "sqlite_recovery/value_sanity.h"

namespace fennaro::deep {

namespace {

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

} // namespace fennaro::deep
