// Databases shaped the way real ones are, not the way our phone generators
// shape them: short rows under small rowids (where a freed cell's freeblock
// header eats the record header too), tables of only integers or only reals,
// tables sharing pages, neighbouring and page-emptying deletions, dropped
// tables, overflow chains, full-text and indexed tables, tables grown by ALTER
// TABLE, restarted WAL logs, rollback journals and UTF-16 files. The ground
// truth comes from replaying the history: every cell is recorded just before
// it goes, then looked for in the files.
#pragma once

#include "database_truth.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

enum class Layout {
    SmallContacts,   // contact-like data rows under 128 bytes, rowids under 128
    SmallMessages,   // sms-like rows under 128 bytes, rowids under 128
    NoRowidAlias,    // (id INT, a INT, b INT, c INT, d INT): no INTEGER PRIMARY KEY
    OnlyIntegers,    // INTEGER PRIMARY KEY first, then only integers
    OnlyReals,       // only REAL columns
    SharedPages,     // two tables written in turns, so their leaves interleave
    AdjacentDeletes, // runs of neighbouring rows deleted: merged freeblocks
    EmptiedPages,    // every row of some pages deleted: pages left empty or freed
    DropTable,       // a table dropped whole, its pages on the free list
    DeleteThenDrop,  // rows deleted, then their table dropped
    DropVacuumed,    // a table dropped with auto_vacuum FULL
    Overflow,        // deleted rows whose records continue on overflow pages
    FullText,        // sms with an FTS4 words table (Latin and unspaced Chinese bodies)
    Indexed,         // a data table with indexes, rows deleted
    Altered,         // rows, ALTER TABLE ADD COLUMN twice, more rows, old and new deleted
    WalRestarted,    // WAL checkpointed midway: the log restarted over older frames
    JournalDelete,   // DELETE rollback journal (gone after each commit)
    JournalPersist,  // PERSIST rollback journal (the last transaction's pages kept)
    Utf16le,         // PRAGMA encoding='UTF-16le'
    Utf16be,         // PRAGMA encoding='UTF-16be'
    SecureDelete,    // short rows deleted with secure_delete on: nothing left
    Churn,           // deletions, then new and updated rows reusing the freed space, then more
    SparseRows,      // wide data-like rows, most columns NULL (long headers of zero types)
    StaleIndex,      // indexed data rows, WAL restarted: some entries left only in old frames
    AlteredSms,      // the 4.x sms table grown by ALTER TABLE ADD COLUMN, old short rows deleted
};

// Every layout, in declaration order.
std::vector<Layout> allLayouts();
// "small-contacts", "small-messages", ... (lower case, dashes).
const char* layoutName(Layout layout);
// The layout of a name layoutName gives, if any.
std::optional<Layout> layoutFromName(const std::string& name);

struct LayoutSpec {
    Layout layout = Layout::SmallContacts;
    int pageSize = 4096; // a power of two from 512 to 65536
    uint64_t seed = 1;
    std::optional<bool> secureDelete; // the layout's own setting (mostly off) when empty
};

// Writes the database of `spec` at `path` (older files there are replaced),
// with its side files as the history leaves them, and returns its ground
// truth, every deleted row classified by replay (DeletedRow::survival).
// Rows of a dropped table are deleted rows of that table, whose shape stays in
// truth.tables. Throws std::runtime_error or std::invalid_argument.
DatabaseTruth generateLayoutDatabase(const std::string& path, const LayoutSpec& spec);

} // namespace testdata
