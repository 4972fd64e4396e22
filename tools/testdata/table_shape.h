// What the ground truth needs to know of a table: its columns in order, which
// of them is the rowid (stored as NULL inside the record), which have REAL
// affinity (integral reals are stored as integers there), and the column
// counts the table has had, since ALTER TABLE ADD leaves older rows shorter.
#pragma once

#include "sql_value.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace testdata {

struct TableShape {
    std::string name;
    std::vector<std::string> columns;
    std::vector<bool> realAffinity; // one flag per column
    // Each column's DEFAULT when it is a plain number or string, else NULL: what
    // reading a record that lacks the column gives.
    SqlRow defaults;
    int rowidColumn = -1;             // the INTEGER PRIMARY KEY column, or -1
    std::vector<size_t> columnCounts; // ascending; the last one is columns.size()
};

// Whether SQLite gives a column of this declared type REAL affinity.
bool hasRealAffinity(const std::string& declaredType);

// The shape of every ordinary rowid table of an open database, in sqlite_master
// order (virtual and WITHOUT ROWID tables are left out). Each table's
// columnCounts holds only its present count. Throws std::runtime_error.
std::vector<TableShape> readTableShapes(sqlite3* db);

// The shape named `table` in `shapes`, or nullptr.
const TableShape* findShape(const std::vector<TableShape>& shapes, const std::string& table);

} // namespace testdata
