// Shared helpers of the deep engine's tests: temporary folders, databases
// written through real SQLite with chosen file settings, pulled copies of
// their files, SQLite's own reading of a copy as the reference, and the
// checks every scan must pass.
#pragma once

#include "tests/support/temp_files.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "phone/contacts_text.h"
#include "phone/scan_rules.h"
#include "phone/sms_text.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace deeptest {

using fennaro::deep::RecoveredRecord;
using fennaro::deep::ScanReport;
using fennaro::deep::Value;
using Row = std::vector<Value>;
using Rows = std::map<int64_t, Row>; // rowid -> values in column order

using testfiles::folderSnapshot;
using testfiles::readFile;
using testfiles::TempDir;
using testfiles::writeFile;

// A connection that writes a database the way a phone's provider does. It
// never checkpoints on close, so a -wal stays as the phone leaves it.
class SqlDb {
  public:
    explicit SqlDb(const std::string& path);
    ~SqlDb();
    SqlDb(const SqlDb&) = delete;
    SqlDb& operator=(const SqlDb&) = delete;

    // Runs statements; a failure fails the test that called it.
    void exec(const std::string& sql);
    int64_t scalar(const std::string& sql);
    sqlite3* handle() { return m_db; }
    void close();

  private:
    sqlite3* m_db = nullptr;
};

// Copies path and its -wal and -journal (when present) to folder, as a
// pull from the phone would; returns the copy's path.
std::string pullCopy(const std::string& path, const std::string& folder);

// The rows of a table as SQLite reads a private copy of the files (it
// recovers the -wal and rolls a hot journal back there, as on any open).
Rows sqliteRows(const std::string& path, const std::string& table);

// The rows of a plain file opened immutable, as the live-record reader does.
Rows immutableRows(const std::string& path, const std::string& table);

// Rows of a generic message table, msg(_id INTEGER PRIMARY KEY, address
// TEXT, body TEXT, date INTEGER, read INTEGER, score REAL, photo BLOB), with
// bodies of about bodyLength bytes; returns them by rowid.
extern const char* const kMessageTable;
Rows insertMessages(SqlDb& db, int64_t firstId, int count, size_t bodyLength = 40);

// The records of one table in a report, by rowid (records without one are
// left out) and all of them.
std::map<int64_t, RecoveredRecord> byRowid(const ScanReport& report, const std::string& table);
std::vector<RecoveredRecord> recordsOf(const ScanReport& report, const std::string& table);

// The rules every report keeps, whatever the files: no row of live reported
// (by rowid, or by values for records without one), no record without a
// value, no (table, rowid) twice.
void expectPrecise(const ScanReport& report, const std::string& table, const Rows& live);

// Every row of `deleted` was recovered with its rowid and its values.
void expectRecovered(const ScanReport& report, const std::string& table, const Rows& deleted);

// Every row of `deleted` was recovered with its values (the rowid column
// aside): freed cells lose their rowid.
void expectRecoveredValues(const ScanReport& report, const std::string& table, const Rows& deleted);

// The record a row of the message table is stored as (header and body, or
// the body alone).
std::string recordPayload(const Row& row, bool bodyOnly = false);

// The rows of the message table whose record (or, with bodyOnly, whose
// body: a freed cell may lose its header's first bytes) is still whole in
// the file; for a record that overflows, the part its page keeps.
Rows survivingRows(const std::string& file, const Rows& rows, uint32_t pageSize = 4096,
                   bool bodyOnly = false);

// Every file of a folder (name -> bytes).

} // namespace deeptest
