// Tables the current schema no longer has. DROP TABLE deletes the table's
// row from sqlite_master (page 1, or the pages of the schema's b-tree) and
// puts the table's pages on the free list; without secure_delete both
// survive: the schema row in a freed cell, the pages with their cells. An
// older version of page 1 in the -wal or the -journal may still list the
// table outright.
#pragma once

#include <vector>

#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// The dropped tables whose CREATE TABLE statement survives, each with the
// root page it had (dropped set, never one whose name the current schema
// has), by name. current is the current schema.
std::vector<TableInfo> findDroppedTables(const DatabaseState& state,
                                         const std::vector<TableInfo>& current);

// Marks in owners (as from pageOwners: an entry per page, kNoOwner where no
// live tree has the page) the pages that the dropped table `table` (index
// into tables) still reaches from its old root through pages no live tree
// owns: its interior pages, its leaves, and the pages its interior pages
// point to that were reused as free-list trunks since.
void markDroppedPages(const PageReader& snapshot, const std::vector<TableInfo>& tables, int table,
                      uint32_t usableSize, std::vector<int>* owners);

} // namespace fennaro::deep
