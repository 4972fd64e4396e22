// Tells which deleted rows still have an entry in one of their table's
// indexes somewhere in the files: the key columns and the rowid, as SQLite
// writes an index record, byte for byte in the main file, a -wal frame of any
// generation or a -journal page image. A row whose table cell is gone can
// still come back through such an entry.
#pragma once

#include "database_truth.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace testdata {

// One index of a rowid table: its table and key columns in order.
struct IndexShape {
    std::string name;
    std::string table;
    std::vector<std::string> columns;
};

// The indexes of the ordinary tables of an open database that key plain
// columns (expression indexes are left out). Throws std::runtime_error.
std::vector<IndexShape> readIndexShapes(sqlite3* db);

// Sets `indexSurvives` on every countable deleted row an index record of one
// of its versions (8 bytes or more, so that it cannot turn up by chance) lies
// in one of truth.files.
void findIndexSurvivors(DatabaseTruth& truth, const std::vector<IndexShape>& indexes);

} // namespace testdata
