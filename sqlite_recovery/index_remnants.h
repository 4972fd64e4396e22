// Rows that survive only as entries of an index: every version of every
// index b-tree page (current state, main file, WAL frames, journal images,
// and index pages no tree reaches any more) read for its listed cells, the
// whole cells in its unallocated space and the freed cells of its
// freeblocks. Each entry becomes a partial row of the table the index
// serves: the rowid and the indexed columns, the rest unknown.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/sqlite_recovery.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// The index entries of rows that are not live: one record per (table,
// rowid, values), evidence Index, values in the table's column order with
// known marking the indexed columns (and the INTEGER PRIMARY KEY, which is
// the rowid). An entry whose rowid the table's current state holds with the
// same values in those columns is a live row's and left out. tables is the
// current schema, as readSchema gives it.
// With wantedColumns (per table name; a table not named, or named with no
// columns, keeps all its indexes), only the indexes that hold one of a
// table's wanted columns are read: an index of other columns gives its
// reader nothing it asked for.
// With historyOnly, only the page images the current state does not read
// (WAL frames, journal images, main-file pages the WAL replaced) are read:
// where secure_delete zeroes freed bytes, that is where index entries of
// deleted rows survive, and where it does not, the rows' own cells do.
//
// guessFreedHeaders also reads freed cells whose first four bytes (size,
// header size, first serial types) the freeblock header took, choosing the
// serial types that fit the block's size and the columns' affinities. The
// block's size is the cell's only until SQLite allocates from the block's
// tail, which it does first when it needs room; in tests about one such
// reading in a hundred was wrong (a shifted text, a rowid read from a text's
// last byte), so it is off unless asked for.
std::vector<RecoveredRecord> indexRemnants(
    const DatabaseState& state, const std::vector<TableInfo>& tables,
    const std::map<std::string, std::vector<std::string>>* wantedColumns = nullptr,
    bool historyOnly = false, bool guessFreedHeaders = false);

// True when fuller, a record of the same table and rowid, holds every value
// partial knows.
bool recordCovers(const RecoveredRecord& fuller, const RecoveredRecord& partial);

// Removes the partial records (index or full-text evidence) that some record
// of fullers covers: a fuller record of the same row says all they say.
void dropCoveredRecords(std::vector<RecoveredRecord>* partials,
                        const std::vector<RecoveredRecord>& fullers);

} // namespace fennaro::deep
