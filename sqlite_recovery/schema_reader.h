// The schema of a database as one snapshot holds it: the tables (with their
// columns, from the CREATE TABLE statements in sqlite_master) and the root
// pages of everything else that owns pages (indexes, WITHOUT ROWID tables).
#pragma once

#include <cstdint>
#include <vector>

#include "sqlite_recovery/page_snapshot.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

struct SchemaInfo {
    std::vector<TableInfo> tables;
    std::vector<uint32_t> otherRoots;
};

// sqlite_master as a table: (type, name, tbl_name, rootpage, sql) at page 1.
TableInfo sqliteMasterTable();

// Reads sqlite_master (the b-tree at page 1) through reader. A damaged or
// missing sqlite_master gives an empty schema. sqlite_master itself is not
// listed among the tables.
SchemaInfo readSchema(const PageReader& reader, uint32_t usableSize, uint32_t textEncoding);

} // namespace fennaro::deep
