// Watches a connection that writes a phone's database and records, through
// SQLite's pre-update hook, every version of every row that is updated or
// deleted, triggers included. At the end it reads the live rows and hands out
// the database's ground truth.
#pragma once

#include "database_truth.h"

#include <sqlite3.h>

#include <map>
#include <set>
#include <string>
#include <utility>

namespace testdata {

class RowHistory {
  public:
    // Starts watching `db` (which must outlive this object). Throws
    // std::runtime_error when the SQLite library was built without the hook.
    explicit RowHistory(sqlite3* db);
    // Stops watching.
    ~RowHistory();
    RowHistory(const RowHistory&) = delete;
    RowHistory& operator=(const RowHistory&) = delete;

    // Notes the column count every table has now. Call it once the schema is
    // there and again after each ALTER TABLE ADD, so rows written before can be
    // told by their shorter records.
    void noteSchema();

    // Stops watching and returns the truth of the current state: the table
    // shapes, the live rows, and the rows deleted since watching began whose
    // rowid is not live again. Files, page size and survival are left to the
    // caller (see findSurvivors). Rows deleted from a table dropped since
    // are kept too (marked dropped) when `dropped` has the table's shape.
    // No transaction may be open. Throws std::runtime_error, also for an
    // error met inside the hook.
    DatabaseTruth capture(const std::vector<TableShape>& dropped = {});

  private:
    // The hook SQLite calls before each insert, update and delete.
    static void onChange(void* self, sqlite3* db, int op, const char* dbName, const char* table,
                         sqlite3_int64 oldRowid, sqlite3_int64 newRowid);
    // Keeps the old version of the row being changed.
    void keepOldVersion(const char* table, int64_t rowid);

    using RowKey = std::pair<std::string, int64_t>;
    sqlite3* m_db;
    bool m_watching = false;
    std::string m_error;
    std::map<RowKey, std::vector<SqlRow>> m_versions;
    std::set<RowKey> m_deleted;
    std::map<std::string, std::set<size_t>> m_columnCounts;
};

} // namespace testdata
