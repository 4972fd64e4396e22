// The deep recovery engine: deleted records of every table of an SQLite
// database, read from the main file, every frame of its -wal and every page
// image of its -journal, strictly read-only. Rows present in an older
// version of a page but absent from the current state come back whole with
// their rowids; freeblocks, unallocated space, free-list pages and overflow
// chains give what survived there. A row live in the current state, a
// record without any value and a second copy of a row are never reported.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "record_value.h"

namespace fennaro::deep {

// Where a record was found: a page of the main file, a frame of the -wal, a
// page image of the -journal, or a page on the current free list.
enum class RecordSource : uint8_t { Main, Wal, Journal, Freelist };

// "main", "wal", "journal" or "freelist".
const char* sourceName(RecordSource source);

// What a record was read from: a cell (whole, or one whose first bytes the
// freeblock header overwrote, rebuilt from the schema), an index entry of
// the row, the full-text index's copy of its text, or a trace another table
// kept of it (a conversation's snippet).
enum class RecordEvidence : uint8_t { Cell, CellHeaderLost, Index, Fts, Remnant };

// "cell", "cell-header-lost", "index", "fts" or "remnant".
const char* evidenceName(RecordEvidence evidence);

struct RecoveredRecord {
    std::string table;
    std::optional<int64_t> rowid; // unknown for records carved without their cell
    RecordSource source = RecordSource::Main;
    uint32_t page = 0;
    // Bytes from the start of the file that holds the record (the -wal when
    // frame is set) to the record's cell, or to where its carved bytes start.
    uint64_t offset = 0;
    std::optional<uint32_t> frame; // 1-based WAL frame number
    // In the table's column order; texts as the database stores them (UTF-8
    // for UTF-16 databases too), possibly with invalid bytes.
    std::vector<Value> values;
    RecordEvidence evidence = RecordEvidence::Cell;
    // Which of values are real, by position; empty when all are. A partial
    // row (an index entry, a rebuilt cell with a column it could not tell)
    // holds NULL in the others, which means "unknown", not NULL.
    std::vector<bool> known;
    bool dropped = false; // a row of a table the current schema no longer has
    bool damaged = false; // a value's overflow chain ran into a reused page: cut there
};

// Takes the records of a scan one at a time, in report order: first how
// many there are (when expect is set), then each record, which visit may
// take values from until its next call.
struct RecordVisitor {
    std::function<void(size_t records)> expect;
    std::function<void(RecoveredRecord&)> visit;
};

struct TableColumns {
    std::string table;
    std::vector<std::string> columns;
};

struct ScanReport {
    bool ok = false;
    std::string error;                // why ok is false: unreadable, or not an SQLite database
    std::vector<std::string> files;   // the paths read, database first
    std::vector<TableColumns> schema; // every table of the current state, by name
    std::vector<RecoveredRecord> records;
};

// Scans dbPath together with dbPath-wal and dbPath-journal when they exist.
ScanReport scanDatabase(const std::string& dbPath);

// Writes the database as SQLite would read it now (main file, hot journal
// rolled back, committed frames of the current WAL generation applied) to
// outPath as a plain rollback-mode database file that needs no side file.
// Never touches dbPath or its side files; refuses an outPath that is one of
// them. False when the database cannot be read or outPath cannot be written
// (a half-written outPath is removed).
bool writeCurrentState(const std::string& dbPath, const std::string& outPath);

// The deleted contacts of a contacts2.db as recovered-record text lines
// (name TAB number CR LF, "N/A" for a missing value), as the classic engine
// writes them: each deleted number with its contact's name, then each other
// value recovered (e-mail, address, birthday...) with it. smsDb is not read;
// it is taken for symmetry with deepSmsText.
// When error is given, it gets why the text may lack records (a database
// that cannot be read, or that changed while it was read), else stays empty.
std::string deepContactsText(const std::string& contactsDb, const std::string& smsDb,
                             std::string* error = nullptr);

// The deleted messages of an mmssms.db as recovered-record text lines
// (sender TAB address TAB body CR LF), senders named from the live contacts
// of contactsDb's current state.
std::string deepSmsText(const std::string& contactsDb, const std::string& smsDb,
                        std::string* error = nullptr);

} // namespace fennaro::deep
