// Small helpers over the sqlite3 C API used by the builders: checked execution,
// a reusable prepared statement, and opening a fresh database with the phone's
// file settings.
#pragma once

#include "sql_value.h"
#include "testdata_types.h"

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

namespace testdata {

// Runs one or more SQL statements; throws std::runtime_error on failure.
void execSql(sqlite3* db, const std::string& sql);

// Deletes `path` and its -journal, -wal and -shm companions if they exist.
void removeDatabaseFiles(const std::string& path);

// Creates a new, empty database at `path` (older files are removed) with the page
// size, auto_vacuum and secure_delete of `options`, tuned for fast bulk writes.
sqlite3* openFreshDatabase(const std::string& path, const DbOptions& options);

// Finishes a database built by openFreshDatabase: commits, applies WAL if asked,
// and closes the connection. Throws on failure (the connection is closed anyway).
void finishDatabase(sqlite3* db, const DbOptions& options);

// Registers the collations the Android providers declare in their schemas
// (PHONEBOOK, LOCALIZED, UNICODE) as plain binary comparisons, so that inserts
// into indexed columns and PRAGMA integrity_check work off the phone.
void registerAndroidCollations(sqlite3* db);

// A prepared statement that is reset and reused; bind indexes start at 1.
class Statement {
  public:
    // Prepares `sql` on `db`; throws on failure.
    Statement(sqlite3* db, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds a 64-bit integer.
    Statement& bind(int index, int64_t value);
    // Binds a text (UTF-8).
    Statement& bind(int index, const std::string& value);
    // Binds a text or NULL.
    Statement& bind(int index, const std::optional<std::string>& value);
    // Binds an integer or NULL.
    Statement& bind(int index, const std::optional<int64_t>& value);
    // Binds NULL.
    Statement& bindNull(int index);
    // Binds a real.
    Statement& bindReal(int index, double value);
    // Binds a blob.
    Statement& bindBlob(int index, const std::string& bytes);

    // Steps once; true when a row is available. Throws on errors.
    bool step();
    // Steps until done and resets; for INSERT/UPDATE/DELETE.
    void run();
    // Resets the statement and clears its bindings.
    void reset();

    // Column readers for the current row.
    int64_t columnInt(int column) const;
    std::optional<int64_t> columnOptInt(int column) const;
    std::optional<std::string> columnOptText(int column) const;
    std::string columnText(int column) const;
    // Any column of the current row, as a value of its own type.
    SqlValue columnValue(int column) const;

  private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace testdata
