// A scan of chosen tables and columns only: what the recovered-record texts
// need (a few columns of two or three tables) costs far less than a scan of
// every column of every table. Pages of other tables are still read where
// they decide whose a page is.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "database_state.h"
#include "deep_scan.h"

namespace fennaro::deep {

// What is wanted of one table: the columns, in the order wanted (all when
// empty); with rowidsOnly, only the rows that come back with their rowid
// (records carved without one are neither kept nor compared with the live
// rows, which saves keying every live row of the table).
struct TableSelection {
    // The columns wanted, whether only rows with their rowid are, and the layout known.
    TableSelection(std::vector<std::string> wanted = {}, bool onlyWithRowid = false,
                   std::string layout = {})
        : columns(std::move(wanted)), rowidsOnly(onlyWithRowid), knownLayout(std::move(layout)) {}

    std::vector<std::string> columns;
    bool rowidsOnly = false;
    // A CREATE TABLE statement the table is known to have had. When the
    // database has no table of that name, live or dropped with its schema row
    // surviving, its rows are looked for as those of a dropped table of this
    // layout whose pages are not known (a freed schema page can be reused as
    // a free-list trunk, which overwrites the statement).
    std::string knownLayout;
};

// Table name -> what is wanted of it. An empty selection selects every
// column of every table.
using ScanSelection = std::map<std::string, TableSelection>;

// scanDatabase limited to a selection: the report's schema and records hold
// the selected tables, and each record's values the selected columns in the
// selection's order (NULL for a column the table lacks).
ScanReport scanSelected(const std::string& dbPath, const ScanSelection& selection);

// scanSelected on a database already open, each record handed to visitor
// instead of kept in the report (whose records stay empty): for callers
// that turn records into something smaller as they come.
ScanReport scanSelected(const DatabaseState& state, const ScanSelection& selection,
                        const RecordVisitor& visitor);

} // namespace fennaro::deep
