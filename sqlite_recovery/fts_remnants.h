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

#include "database_state.h"
#include "deep_scan.h"
#include "index_schema.h"
#include "table_schema.h"

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
//  - A table named words with an index_text and a source_id column (the
//    messages' index): a partial row of sms, _id = the document's
//    source_id (its <t>_content row's, or the term indexed for it), else
//    the docid; body = its index_text words.
//  - search_index (the contacts' index, docid = contact id): a partial row
//    of data for each name, number or e-mail address among its words:
//    raw_contact_id = docid, data1 = the word.
//  - Any other: a row of the full-text table itself, rowid = docid, each
//    column its words.
// evidence is Fts; known marks the columns filled. tables is the current
// schema, as readSchema gives it.
std::vector<RecoveredRecord> ftsRemnants(const DatabaseState& state,
                                         const std::vector<TableInfo>& tables,
                                         const std::vector<RecoveredRecord>& carvedFtsRows);

// The messages that carved rows of words_content (docid, c0_id,
// c1index_text, c2source_id, c3table_to_use) stand for: a partial row of
// sms each (_id = source_id, body = index_text), evidence Fts. Records of
// other tables are ignored; smsTable is the current schema's sms table.
std::vector<RecoveredRecord> smsFromWordsContent(const std::vector<RecoveredRecord>& carved,
                                                 const TableInfo& smsTable);

} // namespace fennaro::deep
