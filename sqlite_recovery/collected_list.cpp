// The collected list handed out: what is kept, ordered by table name, rowid
// and place found, each record read into the values and columns chosen.
#include "sqlite_recovery/record_collector.h"

#include <algorithm>

#include "platform/side_task.h"
#include "sqlite_recovery/table_rows.h"
#include "sqlite_recovery/value_sanity.h"

namespace fennaro::deep {

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
