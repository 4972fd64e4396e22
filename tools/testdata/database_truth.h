// Ground truth of one database file as a phone leaves it: every row deleted
// during its history (with each version it had), whether the bytes of a
// deleted row survive anywhere in the files, and the live rows of the current
// state, which is what SQLite itself would show.
#pragma once

#include "sql_value.h"
#include "table_shape.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

// What is left of a deleted row's cell in the files, best first from the
// row's point of view.
enum class Survival : uint8_t {
    Gone,              // nothing tellable is left
    PartlyOverwritten, // a run of its bytes is left where the cell was, not the whole tail
    HeaderLost,        // everything from byte 4 of the cell on is intact, the start is not
    Whole,             // the cell, or at least its whole record, lies byte for byte in a file
};

// "gone", "partly-overwritten", "header-lost" or "whole".
const char* survivalName(Survival survival);

// A cell of a deleted row as it was stored just before it went: where it was
// (in the database as SQLite saw it then) and its bytes.
struct CellPlace {
    uint32_t page = 0;   // 1-based page number
    uint32_t offset = 0; // page-relative start of the cell
    // Payload-length varint, rowid varint, the payload's local part and, when the
    // record overflows, the first overflow page's number.
    std::string cell;
    std::string overflow;   // the payload's bytes on overflow pages, in chain order
    size_t recordStart = 0; // where the record starts inside `cell`
    size_t recordEnd = 0;   // where its local part ends inside `cell`
};

// One deleted row of a rowid table.
struct DeletedRow {
    std::string table;
    int64_t rowid = 0;
    // Every version the row had while it was watched, oldest first; the last one
    // is how it was deleted. Values are in column order, the rowid column holding
    // the rowid, and columns the stored record did not have as NULL.
    std::vector<SqlRow> versions;
    // Whether recall counts this row: it holds a value someone could read (not
    // only NULLs and empty texts besides the rowid), and its record is long
    // enough (8 bytes or more) not to turn up in unrelated bytes by chance.
    bool countable = false;
    // A record of one of its versions (for a record that overflows: the part a
    // leaf cell keeps) lies in one of the files, whole or missing no more than
    // the bytes that can be worked out from the schema: the header's length and,
    // when the first column is the rowid, its serial type (0). Freeing a cell
    // without secure_delete writes the freeblock header over its first four
    // bytes (payload length, rowid and, when they are short, these bytes).
    bool survives = false;
    bool wholeRecord = false;         // the record was found with all its bytes
    std::vector<std::string> foundIn; // names (no folder) of the files holding it
    size_t recordColumns = 0;         // columns of the surviving record; 0 when none survives
    // How its bytes survive. Set by both searches: the record search gives Whole
    // or HeaderLost (only what the schema gives back lost) or Gone; the replay of
    // the recorded cells tells all four apart.
    Survival survival = Survival::Gone;
    // The cells the row had just before it was deleted (or its table dropped),
    // one per deletion of its rowid; empty when no replay recorded them.
    std::vector<CellPlace> cells;
    bool dropped = false; // its table was dropped (it is no longer in the schema)
    // An index entry of one of its versions (key columns and rowid, 8 bytes or
    // more) lies in one of the files; only where the writer knew the indexes.
    bool indexSurvives = false;
};

// One row of the current state.
struct LiveRow {
    std::string table;
    int64_t rowid = 0;
    SqlRow values; // as SELECT shows them
};

struct DatabaseTruth {
    std::string path;               // the database file
    std::vector<std::string> files; // path and the side files (-wal, -journal) beside it
    uint32_t pageSize = 0;
    std::vector<TableShape> tables;
    std::vector<DeletedRow> deleted; // by table name, then rowid
    std::vector<LiveRow> live;       // by table name, then rowid

    // Deleted rows that recall counts / of those, the ones whose bytes survive
    // (whole, or missing only the bytes the schema gives back).
    size_t countableDeleted() const;
    size_t survivingDeleted() const;
};

} // namespace testdata
