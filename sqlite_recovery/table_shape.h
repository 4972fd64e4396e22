// Whether a record can be a row of a table, judged by its serial types
// against the table's columns: a record with more columns than the table, a
// number in a TEXT column, a value in the INTEGER PRIMARY KEY column (which
// always holds NULL) or a NULL in a NOT NULL column cannot be one of its rows.
// Records may have fewer columns than the table: rows written before ALTER
// TABLE ADD COLUMN stay short.
#pragma once

#include <vector>

#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// Whether a column can hold a value of this serial type.
inline bool columnAccepts(const ColumnInfo& column, uint64_t type) {
    if (column.rowidAlias)
        return type == 0;
    if (column.affinity == Affinity::Text && type != 0 && type < 12)
        return false;
    return !(column.notNull && type == 0);
}

// How well the record fits the table: -1 when it cannot be one of its rows,
// else higher for a closer fit (full width, NULL rowid column, texts in TEXT
// columns).
int shapeScore(const TableInfo& table, const RecordShape& shape);

// Whether the record fits the table without any allowance: every column
// present, no number in a TEXT column and no text in a column of numeric
// affinity (SQLite would have stored the texts such rows are made of, digits
// and names, as numbers, or there would be no reason to expect a number).
// What a record must pass to be given to a table when no b-tree of its page
// version tells whose page it is.
bool fitsExactly(const TableInfo& table, const RecordShape& shape);

// The table (index into tables) the record fits exactly, or -1 when none or
// more than one does.
int exactTable(const std::vector<TableInfo>& tables, const RecordShape& shape);

// The table (index into tables) the record fits best, or -1, for a record
// found by scanning free bytes. A preferred table (>= 0) that fits wins.
// Records shorter than a table are rows written before ALTER TABLE ADD
// COLUMN, but they are also what other tables' records look like (a short
// record fits the leading columns of many tables): a short record is only
// taken for the page's owner (preferredOwns), and then only when it holds
// at least half of its columns, so short runs of bytes that happen to parse
// are not taken for rows. Any other table must be fitted full width.
int bestTable(const std::vector<TableInfo>& tables, const RecordShape& shape, int preferred,
              bool preferredOwns);

} // namespace fennaro::deep
