#include "sqlite_recovery/partial_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "sqlite_recovery/value_sanity.h"

namespace fennaro::deep {

namespace {

// Whether the partial row knows column c.
bool knows(const RecoveredRecord& r, size_t c) {
    return r.known.empty() || (c < r.known.size() && r.known[c]);
}

// The record's values rearranged into the report's columns (names), with
// known to match; false when none of the known values carries anything.
bool shapeTo(RecoveredRecord& r, const std::vector<std::string>& all,
             const std::vector<std::string>& wanted) {
    std::vector<Value> values(wanted.size());
    std::vector<bool> known(wanted.size(), false);
    bool carries = false;
    for (size_t k = 0; k < wanted.size(); ++k) {
        const auto at = std::find(all.begin(), all.end(), wanted[k]);
        const size_t c = size_t(at - all.begin());
        if (at == all.end() || c >= r.values.size() || !knows(r, c))
            continue;
        values[k] = std::move(r.values[c]);
        known[k] = true;
        carries = carries || values[k].hasContent();
    }
    r.values = std::move(values);
    r.known = std::move(known);
    return carries;
}

} // namespace

bool plausiblePartialRow(const RecoveredRecord& row, const TableInfo& table, bool utf8Texts) {
    // Column by column, on the values the row knows.
    // Rowids are handed out upwards; a deleted row's lies below about the
    // largest the table holds now (plus what a busy table deletes at its end).
    constexpr int64_t kLargestRowid = int64_t(1) << 40;
    if (row.rowid && (*row.rowid <= 0 || *row.rowid >= kLargestRowid ||
                      (table.largestRowid > 0 && *row.rowid > 2 * table.largestRowid + 1000)))
        return false;
    for (size_t c = 0; c < row.values.size() && c < table.columns.size(); ++c) {
        const Value& v = row.values[c];
        const ColumnInfo& column = table.columns[c];
        if (!knows(row, c) || v.isNull() || column.rowidAlias)
            continue;
        switch (column.affinity) {
        case Affinity::Integer:
            if (v.kind != Value::Kind::Integer)
                return false;
            break;
        case Affinity::Real:
            if (v.kind == Value::Kind::Text || v.kind == Value::Kind::Blob)
                return false;
            break;
        case Affinity::Text:
            if (v.kind != Value::Kind::Text && v.kind != Value::Kind::Blob)
                return false;
            break;
        default:
            break;
        }
        if (v.kind == Value::Kind::Integer && (column.holdsTimes || isTimeColumn(column.name)) &&
            !plausibleTime(v.integer))
            return false;
        // A kind of value the live rows never hold there: a flag column
        // (live rows 0 or 1) holds no 4; a number column no text.
        const uint16_t seen = column.seenTypes & ~serialTypeClass(0);
        if (seen != 0) {
            const uint16_t constants = serialTypeClass(8);
            const bool integer = v.kind == Value::Kind::Integer;
            const bool flag = integer && (v.integer == 0 || v.integer == 1);
            const uint16_t kind = flag      ? constants
                                  : integer ? uint16_t(0x7C | 0x80) // any stored integer
                                  : v.kind == Value::Kind::Real ? serialTypeClass(7)
                                  : v.kind == Value::Kind::Text ? serialTypeClass(13)
                                                                : serialTypeClass(12);
            const bool integersSeen = (seen & (0x7C | 0x80 | constants)) != 0;
            if ((seen & kind) == 0 && !(flag && integersSeen))
                return false;
        }
        if (v.kind == Value::Kind::Real &&
            (!std::isfinite(v.real) || std::fabs(v.real) > column.realLimit))
            return false;
        if (v.kind == Value::Kind::Text && utf8Texts &&
            mostlyControl(reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size()))
            return false;
    }
    return true;
}

void mergePartialRows(std::vector<RecoveredRecord>* partials) {
    // By (table, rowid); a row without rowid stays as it is.
    std::map<std::pair<std::string, int64_t>, size_t> first;
    std::vector<bool> merged(partials->size(), false);
    for (size_t i = 0; i < partials->size(); ++i) {
        RecoveredRecord& r = (*partials)[i];
        if (!r.rowid)
            continue;
        auto [it, fresh] = first.emplace(std::make_pair(r.table, *r.rowid), i);
        if (fresh)
            continue;
        RecoveredRecord& into = (*partials)[it->second];
        if (into.values.size() != r.values.size())
            continue;
        bool agree = true;
        for (size_t c = 0; c < r.values.size() && agree; ++c)
            agree = !knows(r, c) || !knows(into, c) || into.values[c] == r.values[c];
        if (!agree)
            continue;
        if (into.known.empty())
            into.known.assign(into.values.size(), true);
        for (size_t c = 0; c < r.values.size(); ++c) {
            if (knows(r, c) && !into.known[c]) {
                into.values[c] = std::move(r.values[c]);
                into.known[c] = true;
            }
        }
        merged[i] = true;
    }
    size_t kept = 0;
    for (size_t i = 0; i < partials->size(); ++i) {
        if (merged[i])
            continue;
        // Never onto itself: a string moved onto itself may come out empty.
        if (kept != i)
            (*partials)[kept] = std::move((*partials)[i]);
        ++kept;
    }
    partials->resize(kept);
}

PartialRows::PartialRows(std::vector<RecoveredRecord> partials, const ScanSelection& selection,
                         const std::vector<TableColumns>& reportColumns,
                         const std::vector<TableColumns>& tableColumns) {
    // Shaped once, so that covering compares values column by column.
    auto columnsIn = [](const std::vector<TableColumns>& list, const std::string& table)
        -> const std::vector<std::string>* {
        for (const TableColumns& t : list) {
            if (t.table == table)
                return &t.columns;
        }
        return nullptr;
    };
    for (RecoveredRecord& r : partials) {
        const std::vector<std::string>* all = columnsIn(tableColumns, r.table);
        const std::vector<std::string>* wanted = columnsIn(reportColumns, r.table);
        if (!all || !wanted || (!selection.empty() && !selection.count(r.table)))
            continue;
        if (!shapeTo(r, *all, *wanted))
            continue;
        Lookup& lookup = m_byTable[r.table];
        const size_t index = m_partials.size();
        if (r.rowid)
            lookup.byRowid[*r.rowid].push_back(index);
        // The known columns that are not the rowid over again.
        std::vector<bool> columns = r.known;
        for (size_t c = 0; c < columns.size(); ++c) {
            if (r.rowid && r.values[c].kind == Value::Kind::Integer &&
                r.values[c].integer == *r.rowid)
                columns[c] = false;
        }
        auto group = std::find_if(lookup.byValues.begin(), lookup.byValues.end(),
                                  [&](const auto& g) { return g.first == columns; });
        if (group == lookup.byValues.end()) {
            lookup.byValues.emplace_back(columns, std::unordered_multimap<uint64_t, size_t>());
            group = lookup.byValues.end() - 1;
        }
        group->second.emplace(valuesKey(r, columns), index);
        m_partials.push_back(std::move(r));
    }
    m_covered.assign(m_partials.size(), false);
}

uint64_t PartialRows::valuesKey(const RecoveredRecord& r, const std::vector<bool>& columns) const {
    // FNV-1a over the kinds and contents of the chosen values.
    uint64_t hash = 1469598103934665603ull;
    auto mixByte = [&](uint8_t b) { hash = (hash ^ b) * 1099511628211ull; };
    for (size_t c = 0; c < columns.size() && c < r.values.size(); ++c) {
        if (!columns[c])
            continue;
        const Value& v = r.values[c];
        mixByte(uint8_t(v.kind));
        if (v.kind == Value::Kind::Integer || v.kind == Value::Kind::Real) {
            uint64_t bits = 0;
            std::memcpy(&bits, v.kind == Value::Kind::Integer ? static_cast<const void*>(&v.integer)
                                                              : static_cast<const void*>(&v.real),
                        sizeof bits);
            for (int i = 0; i < 8; ++i)
                mixByte(uint8_t(bits >> (8 * i)));
        } else {
            for (char ch : v.bytes)
                mixByte(uint8_t(ch));
        }
    }
    return hash;
}

bool PartialRows::covers(const RecoveredRecord& record, const RecoveredRecord& partial) const {
    // The same row, or (carved without its rowid) the same values wherever
    // the partial row knows one; a rowid column is the rowid, not a value.
    if (record.values.size() != partial.values.size())
        return false;
    if (record.rowid && partial.rowid && *record.rowid != *partial.rowid)
        return false;
    for (size_t c = 0; c < partial.values.size(); ++c) {
        if (!knows(partial, c))
            continue;
        if (!knows(record, c))
            return false;
        const bool rowidValue = partial.rowid && partial.values[c].kind == Value::Kind::Integer &&
                                partial.values[c].integer == *partial.rowid;
        if (rowidValue && !record.rowid)
            continue;
        if (!(record.values[c] == partial.values[c]))
            return false;
    }
    return true;
}

void PartialRows::see(const RecoveredRecord& record) {
    // Only rows of tables that have partial rows are compared.
    if (record.evidence == RecordEvidence::Index || record.evidence == RecordEvidence::Fts)
        return;
    const auto found = m_byTable.find(record.table);
    if (found == m_byTable.end())
        return;
    Lookup& lookup = found->second;
    if (record.rowid) {
        const auto row = lookup.byRowid.find(*record.rowid);
        if (row != lookup.byRowid.end()) {
            for (size_t i : row->second) {
                if (!m_covered[i] && covers(record, m_partials[i]))
                    m_covered[i] = true;
            }
        }
    }
    for (const auto& [columns, byKey] : lookup.byValues) {
        const auto [from, to] = byKey.equal_range(valuesKey(record, columns));
        for (auto it = from; it != to; ++it) {
            if (!m_covered[it->second] && covers(record, m_partials[it->second]))
                m_covered[it->second] = true;
        }
    }
}

std::vector<RecoveredRecord> PartialRows::remaining() {
    // In report order: by table, then rowid.
    std::vector<RecoveredRecord> out;
    for (size_t i = 0; i < m_partials.size(); ++i) {
        if (!m_covered[i])
            out.push_back(std::move(m_partials[i]));
    }
    std::stable_sort(out.begin(), out.end(), [](const RecoveredRecord& a, const RecoveredRecord& b) {
        if (a.table != b.table)
            return a.table < b.table;
        return a.rowid.value_or(INT64_MAX) < b.rowid.value_or(INT64_MAX);
    });
    m_partials.clear();
    m_covered.clear();
    m_byTable.clear();
    return out;
}

} // namespace fennaro::deep
