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

// Mixes a text or blob into a running hash by its length and first bytes:
// enough to tell rows apart (equal keys are compared value by value), and
// cheap for long bodies.
uint64_t mixBytes(uint64_t hash, const uint8_t* bytes, size_t size) {
    // The first and the last (up to) eight of the first sixteen bytes.
    uint64_t head[2] = {0, 0};
    if (size >= 8) {
        std::memcpy(&head[0], bytes, 8);
        std::memcpy(&head[1], bytes + std::min<size_t>(size, 16) - 8, 8);
    } else {
        for (size_t i = 0; i < size; ++i)
            head[0] |= uint64_t(bytes[i]) << (8 * i);
    }
    return mix(mix(mix(hash, head[0]), head[1]), size);
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

// Appends a SQLite varint.
void appendVarint(std::string& out, uint64_t v) {
    uint8_t bytes[10];
    int n = 0;
    do {
        bytes[n++] = uint8_t(v & 0x7F);
        v >>= 7;
    } while (v != 0 && n < 9);
    for (int i = n - 1; i >= 0; --i)
        out += char(bytes[i] | (i > 0 ? 0x80 : 0));
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

// A record header for these serial types: its size varint, then the types.
void appendHeader(std::string& out, const std::vector<uint64_t>& types) {
    uint64_t count = 0;
    for (uint64_t type : types)
        count += varintLength(type);
    // The size counts its own varint: one byte up to 127, two up to 16383.
    const uint64_t size = count + 1 <= 127 ? count + 1 : count + 2 <= 16383 ? count + 2 : count + 3;
    appendVarint(out, size);
    for (uint64_t type : types) {
        if (type < 0x80)
            out += char(type);
        else
            appendVarint(out, type);
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
    m_wanted.assign(tables.size(), true);
    m_columns.assign(tables.size(), {});
}

void RecordCollector::select(std::vector<bool> wanted, std::vector<std::vector<int>> columns) {
    // Keeps the choice only when it names every table.
    if (wanted.size() == m_tables.size())
        m_wanted = std::move(wanted);
    if (columns.size() == m_tables.size())
        m_columns = std::move(columns);
}

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

bool RecordCollector::payloadKey(int table, const uint8_t* payload, size_t have, uint64_t* key) {
    // The header's serial types, then bodyKey over the body behind them.
    uint64_t headerSize = 0;
    const int n = readVarint(payload, have, &headerSize);
    if (n == 0 || headerSize > have)
        return false;
    m_types.clear();
    for (size_t at = size_t(n); at < headerSize;) {
        uint64_t type = payload[at];
        int m = 1;
        if (type >= 0x80) {
            m = readVarint(payload + at, size_t(headerSize) - at, &type);
            if (m == 0)
                return false;
        }
        m_types.push_back(type);
        at += size_t(m);
    }
    return bodyKey(table, m_types, payload + headerSize, have - size_t(headerSize), key);
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
    uint64_t at = 0;
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
        if (!serialTypeValid(type) || width > bodyBytes - std::min<uint64_t>(at, bodyBytes))
            return false;
        const uint8_t* p = body + at;
        at += width;
        if (kind == kAliasColumn)
            continue;
        if (type >= 12) {
            hash = mix(hash, uint64_t(type & 1 ? Value::Kind::Text : Value::Kind::Blob) + 1);
            hash = mixBytes(hash, p, size_t(width));
            continue;
        }
        int64_t integer = 0;
        if (type == 8 || type == 9) {
            integer = type == 8 ? 0 : 1;
        } else if (type >= 1 && type <= 7) {
            uint64_t v = (p[0] & 0x80) && type != 7 ? ~uint64_t(0) : 0;
            for (uint64_t k = 0; k < width; ++k)
                v = (v << 8) | p[k];
            if (type == 7) {
                hash = mix(mix(hash, uint64_t(Value::Kind::Real) + 1), v);
                continue;
            }
            integer = int64_t(v);
        }
        if (type == 0) {
            hash = mix(hash, 0);
        } else if (kind == kRealColumn) {
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

void RecordCollector::rowOf(const Candidate& candidate, std::vector<Value>* values) {
    // Decodes the stored record and completes it as SQLite would read it.
    const TableInfo& table = m_tables[size_t(candidate.table)];
    const auto* bytes = reinterpret_cast<const uint8_t*>(candidate.record.data());
    values->clear();
    if (parseRecordHeader(bytes, candidate.record.size(), table.columns.size(), &m_shape))
        decodeRecordBody(m_shape, bytes + m_shape.headerSize,
                         candidate.record.size() - m_shape.headerSize, values);
    completeRow(table, candidate.rowid, m_encoding, values);
}

uint64_t RecordCollector::recordKey(int table, const std::string& record,
                                    std::optional<int64_t> rowid) {
    // From the bytes where it can be, else from the decoded row.
    uint64_t key = 0;
    if (payloadKey(table, reinterpret_cast<const uint8_t*>(record.data()), record.size(), &key))
        return key;
    Candidate probe;
    probe.table = table;
    probe.rowid = rowid;
    probe.record = record;
    std::vector<Value> values;
    rowOf(probe, &values);
    return valuesKey(table, values);
}

bool RecordCollector::sameRow(const Candidate& a, const Candidate& b) {
    // Equal but for the rowid column and flags.
    if (a.table != b.table || a.key != b.key)
        return false;
    rowOf(a, &m_rowA);
    rowOf(b, &m_rowB);
    if (m_rowA.size() != m_rowB.size())
        return false;
    const int alias = m_tables[size_t(a.table)].aliasColumn;
    for (size_t i = 0; i < m_rowA.size(); ++i) {
        if (int(i) != alias && !sameLoosely(m_rowA[i], m_rowB[i]))
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
        !m_wanted[size_t(record.table)])
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

    // Only what the record itself holds counts as recovered: not the rowid,
    // not the defaults of columns a short record lacks.
    const std::vector<uint64_t>& types = record.shape->types;
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
    const size_t body = size_t(std::min<uint64_t>(record.bodyBytes, record.shape->bodySize));
    found.record.reserve(types.size() + 4 + body);
    appendHeader(found.record, types);
    found.record.append(reinterpret_cast<const char*>(record.body), body);
    if (!bodyKey(record.table, types, record.body, body, &found.key))
        found.key = recordKey(record.table, found.record, record.rowid);

    if (record.rowid) {
        if (known != m_byRowid.end()) {
            m_candidates[known->second] = std::move(found);
        } else {
            m_byRowid.emplace(TableRowid{record.table, *record.rowid}, m_candidates.size());
            m_candidates.push_back(std::move(found));
        }
        return;
    }
    auto [head, fresh] = m_carvedByKey.try_emplace(found.key, uint32_t(m_candidates.size()));
    if (!fresh) {
        for (uint32_t i = head->second; i != kNone; i = m_candidates[i].nextSameKey) {
            Candidate& other = m_candidates[i];
            if (sameRow(other, found)) {
                if (better(found, other)) {
                    found.nextSameKey = other.nextSameKey;
                    other = std::move(found);
                }
                return;
            }
        }
        found.nextSameKey = head->second;
        head->second = uint32_t(m_candidates.size());
    }
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
        auto head = m_carvedByKey.find(reference.key);
        if (head == m_carvedByKey.end())
            return;
        for (uint32_t i = head->second; i != kNone; i = m_candidates[i].nextSameKey) {
            Candidate& carved = m_candidates[i];
            if (&carved != &reference && sameRow(carved, reference))
                carved.dropped = true;
        }
    };
    for (const auto& [key, index] : withRowid)
        dropMatches(m_candidates[index]);

    // Live rows are keyed straight from their bytes; only a key that a
    // carving has too is worth reading the row's values for.
    std::vector<uint64_t> carvedKeys;
    carvedKeys.reserve(m_carvedByKey.size());
    for (const auto& [key, index] : m_carvedByKey)
        carvedKeys.push_back(key);
    std::sort(carvedKeys.begin(), carvedKeys.end());
    VisitMarks marks;
    Candidate live;
    std::string payload;
    for (size_t t = 0; t < m_tables.size(); ++t) {
        if (!tableHasCarvings[t])
            continue;
        const TableInfo& table = m_tables[t];
        live.table = int(t);
        walkBtree(m_current, table.rootPage, m_usable, marks,
                  [&](uint32_t, ByteView view, const BtreeHeader& header) {
                      if (header.type != kTableLeafPage)
                          return;
                      for (uint32_t i = 0; i < header.cellCount; ++i) {
                          LeafCell cell;
                          const uint32_t at = view.u16(header.pointerArray + 2 * size_t(i));
                          if (!parseLeafCell(view, at, m_usable, m_usable, &cell))
                              continue;
                          const uint8_t* bytes = view.data + cell.payloadOffset;
                          size_t have = cell.localSize;
                          if (cell.payloadSize > cell.localSize) {
                              have = readPayload(view, cell.payloadOffset, cell.payloadSize,
                                                 m_usable, &m_current, &payload);
                              bytes = reinterpret_cast<const uint8_t*>(payload.data());
                          }
                          uint64_t key = 0;
                          if (payloadKey(int(t), bytes, have, &key) &&
                              !std::binary_search(carvedKeys.begin(), carvedKeys.end(), key))
                              continue;
                          live.rowid = cell.rowid;
                          live.record.assign(reinterpret_cast<const char*>(bytes), have);
                          live.key = recordKey(int(t), live.record, live.rowid);
                          dropMatches(live);
                      }
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
    for (const Candidate* c : kept)
        ++start[place[size_t(c->table)] + 1];
    for (size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    std::vector<Candidate*> sorted(kept.size());
    std::vector<size_t> fill(start.begin(), start.end() - 1);
    for (Candidate* c : kept)
        sorted[fill[place[size_t(c->table)]]++] = c;
    for (size_t i = 0; i + 1 < start.size(); ++i) {
        const auto first = sorted.begin() + long(start[i]),
                   last = sorted.begin() + long(start[i + 1]);
        const auto carved = std::stable_partition(
            first, last, [](const Candidate* c) { return c->rowid.has_value(); });
        std::sort(first, carved,
                  [](const Candidate* a, const Candidate* b) { return *a->rowid < *b->rowid; });
    }
    kept.swap(sorted);
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
        const std::vector<int>& columns = m_columns[size_t(c->table)];
        if (columns.empty()) {
            rowOf(*c, &r.values);
        } else {
            const auto* bytes = reinterpret_cast<const uint8_t*>(c->record.data());
            const TableInfo& table = m_tables[size_t(c->table)];
            if (parseRecordHeader(bytes, c->record.size(), table.columns.size(), &m_shape))
                selectColumns(table, m_shape, bytes + m_shape.headerSize,
                              c->record.size() - m_shape.headerSize, c->rowid.value_or(0),
                              m_encoding, columns, &r.values);
            if (table.aliasColumn >= 0 && !c->rowid) {
                for (size_t k = 0; k < columns.size(); ++k) {
                    if (columns[k] == table.aliasColumn)
                        r.values[k] = Value::null();
                }
            }
        }
        std::string().swap(c->record);
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace fennaro::deep
