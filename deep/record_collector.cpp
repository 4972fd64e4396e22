#include "record_collector.h"

#include <algorithm>
#include <cstring>

#include "btree_page.h"
#include "table_rows.h"

namespace fennaro::deep {

namespace {

// Mixes one 64-bit word into a running hash.
uint64_t mix(uint64_t hash, uint64_t word) {
    hash ^= word + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    return hash * 0xff51afd7ed558ccdull;
}

uint64_t mixBytes(uint64_t hash, const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, std::min<size_t>(8, size - i));
        hash = mix(hash, word);
    }
    return mix(hash, size);
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
        return mix(hash, 0);
    hash = mix(hash, uint64_t(v.kind) + 1);
    if (v.kind == Value::Kind::Integer)
        return mix(hash, uint64_t(v.integer));
    if (v.kind == Value::Kind::Real) {
        uint64_t bits = 0;
        std::memcpy(&bits, &v.real, sizeof bits);
        return mix(hash, bits);
    }
    return mixBytes(hash, reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size());
}

bool sameLoosely(const Value& a, const Value& b) {
    if (isFlag(a) || isFlag(b))
        return isFlag(a) && isFlag(b);
    return a == b;
}

} // namespace

RecordCollector::RecordCollector(const std::vector<TableInfo>& tables, const PageReader& current,
                                 uint32_t usableSize, uint32_t textEncoding)
    : m_tables(tables), m_current(current), m_usable(usableSize), m_encoding(textEncoding) {}

bool RecordCollector::isLive(int table, int64_t rowid) {
    // A b-tree search of the current state, remembered when it finds the row.
    const TableRowid key{table, rowid};
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

bool RecordCollector::recordKey(int table, const RecordShape& shape, const uint8_t* body,
                                size_t bodyBytes, uint64_t* key) const {
    // valuesKey of the row the record gives, read from its bytes without
    // building its values; false where that is not the same thing (a cut
    // record, texts of a UTF-16 database).
    const TableInfo& info = m_tables[size_t(table)];
    if (bodyBytes < shape.bodySize || m_encoding != 1)
        return false;
    uint64_t hash = uint64_t(table) + 1;
    size_t at = 0;
    for (size_t i = 0; i < info.columns.size(); ++i) {
        const ColumnInfo& column = info.columns[i];
        if (i >= shape.types.size()) {
            if (int(i) != info.aliasColumn)
                hash = mixValue(hash, column.defaultValue);
            continue;
        }
        const uint64_t type = shape.types[i];
        const size_t width = size_t(serialTypeWidth(type));
        const uint8_t* p = body + at;
        at += width;
        if (int(i) == info.aliasColumn)
            continue;
        if (type >= 12) {
            hash = mix(hash, uint64_t(type & 1 ? Value::Kind::Text : Value::Kind::Blob) + 1);
            hash = mixBytes(hash, p, width);
            continue;
        }
        int64_t integer = 0;
        if (type == 8 || type == 9) {
            integer = type == 8 ? 0 : 1;
        } else if (type >= 1 && type <= 7) {
            uint64_t v = (p[0] & 0x80) && type != 7 ? ~uint64_t(0) : 0;
            for (size_t k = 0; k < width; ++k)
                v = (v << 8) | p[k];
            if (type == 7) {
                hash = mix(hash, uint64_t(Value::Kind::Real) + 1);
                hash = mix(hash, v);
                continue;
            }
            integer = int64_t(v);
        }
        if (type == 0) {
            hash = mix(hash, 0);
        } else if (column.affinity == Affinity::Real) {
            const double real = double(integer);
            uint64_t bits = 0;
            std::memcpy(&bits, &real, sizeof bits);
            hash = mix(mix(hash, uint64_t(Value::Kind::Real) + 1), bits);
        } else if (integer >= -1 && integer <= 1) {
            hash = mix(hash, 0);
        } else {
            hash = mix(mix(hash, uint64_t(Value::Kind::Integer) + 1), uint64_t(integer));
        }
    }
    *key = hash;
    return true;
}

bool RecordCollector::sameRow(const Candidate& a, const Candidate& b) const {
    // Equal but for the rowid column and flags.
    if (a.table != b.table || a.values.size() != b.values.size())
        return false;
    const int alias = m_tables[size_t(a.table)].aliasColumn;
    for (size_t i = 0; i < a.values.size(); ++i) {
        if (int(i) != alias && !sameLoosely(a.values[i], b.values[i]))
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
    // Live rows and known rows cost a lookup only; values are read for new ones.
    if (record.table < 0 || size_t(record.table) >= m_tables.size())
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

    auto known = m_byRowid.end();
    if (record.rowid) {
        known = m_byRowid.find({record.table, *record.rowid});
        if (known != m_byRowid.end() && !better(found, m_candidates[known->second]))
            return;
        if (known == m_byRowid.end() && isLive(record.table, *record.rowid))
            return;
    }

    decodeRecordBody(*record.shape, record.body, record.bodyBytes, &m_values);
    // Only what the record itself holds counts as recovered: not the rowid,
    // not the defaults of columns a short record lacks.
    bool hasValue = false;
    for (size_t i = 0; i < m_values.size() && i < table.columns.size(); ++i)
        hasValue = hasValue || (int(i) != table.aliasColumn && m_values[i].hasContent());
    if (!hasValue)
        return;
    completeRow(table, record.rowid, m_encoding, &m_values);
    found.values = std::move(m_values);
    found.key = valuesKey(record.table, found.values);

    if (record.rowid) {
        if (known != m_byRowid.end()) {
            m_candidates[known->second] = std::move(found);
        } else {
            m_byRowid.emplace(TableRowid{record.table, *record.rowid}, m_candidates.size());
            m_candidates.push_back(std::move(found));
        }
        return;
    }
    auto [from, to] = m_carvedByKey.equal_range(found.key);
    for (auto it = from; it != to; ++it) {
        Candidate& other = m_candidates[it->second];
        if (sameRow(other, found)) {
            if (better(found, other))
                other = std::move(found);
            return;
        }
    }
    m_carvedByKey.emplace(found.key, m_candidates.size());
    m_candidates.push_back(std::move(found));
}

void RecordCollector::dropLiveCarvings() {
    // Records carved without a rowid are compared by value with the records
    // that have one and with every live row of their table.
    std::unordered_multimap<uint64_t, size_t> withRowid;
    std::vector<bool> tableHasCarvings(m_tables.size(), false);
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        if (m_candidates[i].rowid)
            withRowid.emplace(m_candidates[i].key, i);
        else
            tableHasCarvings[size_t(m_candidates[i].table)] = true;
    }
    auto dropMatches = [&](const Candidate& reference) {
        auto [from, to] = m_carvedByKey.equal_range(reference.key);
        for (auto it = from; it != to; ++it) {
            Candidate& carved = m_candidates[it->second];
            if (&carved != &reference && sameRow(carved, reference))
                carved.dropped = true;
        }
    };
    for (const auto& [key, index] : withRowid)
        dropMatches(m_candidates[index]);

    VisitMarks marks;
    Candidate live;
    for (size_t t = 0; t < m_tables.size(); ++t) {
        if (!tableHasCarvings[t])
            continue;
        const TableInfo& table = m_tables[t];
        live.table = int(t);
        forEachTableRow(
            m_current, table.rootPage, m_usable, marks, table.columns.size(),
            [&](int64_t rowid, const RecordShape& shape, const uint8_t* body, size_t bodyBytes) {
                decodeRecordBody(shape, body, bodyBytes, &live.values);
                completeRow(table, rowid, m_encoding, &live.values);
                live.key = valuesKey(int(t), live.values);
                if (m_carvedByKey.count(live.key))
                    dropMatches(live);
            });
    }
}

std::vector<RecoveredRecord> RecordCollector::finish() {
    // Drops what is live, then orders by table, rowid (carvings last) and place.
    dropLiveCarvings();
    std::vector<Candidate*> kept;
    for (Candidate& c : m_candidates) {
        if (!c.dropped)
            kept.push_back(&c);
    }
    std::sort(kept.begin(), kept.end(), [&](const Candidate* a, const Candidate* b) {
        const std::string& ta = m_tables[size_t(a->table)].name;
        const std::string& tb = m_tables[size_t(b->table)].name;
        if (ta != tb)
            return ta < tb;
        if (a->rowid.has_value() != b->rowid.has_value())
            return a->rowid.has_value();
        if (a->rowid && *a->rowid != *b->rowid)
            return *a->rowid < *b->rowid;
        if (a->source != b->source)
            return a->source < b->source;
        if (a->frame != b->frame)
            return a->frame < b->frame;
        return a->offset < b->offset;
    });
    std::vector<RecoveredRecord> records;
    records.reserve(kept.size());
    for (Candidate* c : kept) {
        RecoveredRecord r;
        r.table = m_tables[size_t(c->table)].name;
        r.rowid = c->rowid;
        r.source = c->source;
        r.page = c->page;
        r.offset = c->offset;
        if (c->frame != 0)
            r.frame = c->frame;
        r.values = std::move(c->values);
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace fennaro::deep
