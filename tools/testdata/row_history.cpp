#include "row_history.h"

#include "sqlite_util.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

namespace testdata {

const char* survivalName(Survival survival) {
    switch (survival) {
    case Survival::Whole:
        return "whole";
    case Survival::HeaderLost:
        return "header-lost";
    case Survival::PartlyOverwritten:
        return "partly-overwritten";
    case Survival::Gone:
        break;
    }
    return "gone";
}

size_t DatabaseTruth::countableDeleted() const {
    return static_cast<size_t>(std::count_if(deleted.begin(), deleted.end(),
                                             [](const DeletedRow& r) { return r.countable; }));
}

size_t DatabaseTruth::survivingDeleted() const {
    return static_cast<size_t>(
        std::count_if(deleted.begin(), deleted.end(),
                      [](const DeletedRow& r) { return r.countable && r.survives; }));
}

RowHistory::RowHistory(sqlite3* db) : m_db(db) {
    if (!sqlite3_compileoption_used("ENABLE_PREUPDATE_HOOK"))
        throw std::runtime_error("testdata: this SQLite library has no pre-update hook");
    sqlite3_preupdate_hook(m_db, &RowHistory::onChange, this);
    m_watching = true;
}

RowHistory::~RowHistory() {
    if (m_watching)
        sqlite3_preupdate_hook(m_db, nullptr, nullptr);
}

void RowHistory::noteSchema() {
    for (const TableShape& shape : readTableShapes(m_db))
        m_columnCounts[shape.name].insert(shape.columns.size());
}

void RowHistory::onChange(void* self, sqlite3*, int op, const char* dbName, const char* table,
                          sqlite3_int64 oldRowid, sqlite3_int64 newRowid) {
    auto* history = static_cast<RowHistory*>(self);
    if (op == SQLITE_INSERT || std::string(dbName) != "main")
        return;
    try {
        history->keepOldVersion(table, oldRowid);
        // A delete, or an update that moves the row to another rowid, ends the
        // old rowid's life; an insert under it later brings it back to life.
        if (op == SQLITE_DELETE || oldRowid != newRowid)
            history->m_deleted.emplace(table, oldRowid);
    } catch (const std::exception& e) {
        if (history->m_error.empty())
            history->m_error = e.what();
    }
}

void RowHistory::keepOldVersion(const char* table, int64_t rowid) {
    const int count = sqlite3_preupdate_count(m_db);
    SqlRow row;
    row.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        sqlite3_value* v = nullptr;
        if (sqlite3_preupdate_old(m_db, i, &v) != SQLITE_OK || !v)
            throw std::runtime_error("testdata: no old value in the pre-update hook");
        row.push_back(sqlValueFrom(v));
    }
    std::vector<SqlRow>& versions = m_versions[{table, rowid}];
    if (versions.empty() || versions.back() != row)
        versions.push_back(std::move(row));
}

DatabaseTruth RowHistory::capture(const std::vector<TableShape>& dropped) {
    if (m_watching) {
        sqlite3_preupdate_hook(m_db, nullptr, nullptr);
        m_watching = false;
    }
    if (!m_error.empty())
        throw std::runtime_error(m_error);
    if (!sqlite3_get_autocommit(m_db))
        throw std::logic_error("testdata: capture() with a transaction open");

    DatabaseTruth truth;
    truth.tables = readTableShapes(m_db);
    std::set<RowKey> live;
    for (TableShape& shape : truth.tables) {
        std::set<size_t>& counts = m_columnCounts[shape.name];
        counts.insert(shape.columns.size());
        shape.columnCounts.assign(counts.begin(), counts.end());

        std::string quoted = shape.name;
        for (size_t at = quoted.find('"'); at != std::string::npos; at = quoted.find('"', at + 2))
            quoted.insert(at, 1, '"');
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db,
                               ("SELECT rowid, * FROM \"" + quoted + "\" ORDER BY rowid").c_str(),
                               -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error("testdata: cannot read table " + shape.name);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            LiveRow row{shape.name, sqlite3_column_int64(st, 0), {}};
            for (int i = 1; i < sqlite3_column_count(st); ++i)
                row.values.push_back(sqlValueFrom(sqlite3_column_value(st, i)));
            live.emplace(shape.name, row.rowid);
            truth.live.push_back(std::move(row));
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error("testdata: cannot read table " + shape.name);
    }
    std::sort(truth.live.begin(), truth.live.end(), [](const LiveRow& a, const LiveRow& b) {
        return std::tie(a.table, a.rowid) < std::tie(b.table, b.rowid);
    });

    for (const RowKey& key : m_deleted) {
        const bool inDroppedTable =
            !findShape(truth.tables, key.first) && findShape(dropped, key.first);
        if (live.count(key) || (!findShape(truth.tables, key.first) && !inDroppedTable))
            continue; // alive again under the same rowid, or its table is unknown
        DeletedRow row;
        row.table = key.first;
        row.rowid = key.second;
        row.dropped = inDroppedTable;
        row.versions = m_versions[key];
        truth.deleted.push_back(std::move(row));
    }
    return truth;
}

} // namespace testdata
