// Rows that survive only in a full-text index (FTS3/FTS4): the segment
// leaves of every version of its <t>_segdir and <t>_segments tables hold,
// for each term, the documents it stood in and where. A document none of
// whose rows is live any more comes back as its words in position order.
// The words are as the tokenizer indexed them: the simple tokenizer keeps
// runs of letters, digits and non-ASCII bytes, and lower-cases ASCII; a body
// without separators (Chinese, Japanese) is one term, and comes back whole.
#pragma once

#include <string>
#include <vector>

#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/index_schema.h"
#include "sqlite_recovery/sqlite_recovery.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// A full-text table: its name and its declared columns.
struct FtsTableInfo {
    std::string name;
    std::vector<std::string> columns;
};

// The FTS3 and FTS4 tables among the schema entries.
std::vector<FtsTableInfo> ftsTables(const std::vector<SchemaEntry>& entries);

// The documents of the full-text tables that are not live, from every
// version of their segment tables (current state, main file, WAL frames,
// journal images), from table leaves no version reaches any more (free
// pages, frames of an earlier WAL generation; only when the database has a
// single full-text table, as no page says whose it was) and from
// carvedFtsRows: rows of <t>_segdir, <t>_segments and <t>_content the table
// carving recovered (others are ignored).
// A document the rules' ftsDocument takes becomes what it makes of it;
// any other a row of the full-text table itself, rowid = docid, each
// column its words.
// evidence is Fts; known marks the columns filled. tables is the current
// schema, as readSchema gives it.
std::vector<RecoveredRecord> ftsRemnants(const DatabaseState& state,
                                         const std::vector<TableInfo>& tables,
                                         const std::vector<RecoveredRecord>& carvedFtsRows,
                                         const ScanRules& rules = {});

} // namespace fennaro::deep
