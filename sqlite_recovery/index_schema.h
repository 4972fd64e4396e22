// The indexes of a database as its sqlite_master lists them: which table each
// serves and which of the table's columns its entries hold, from CREATE INDEX
// statements and, for the indexes SQLite makes itself for UNIQUE and PRIMARY
// KEY constraints, from the table's own statement.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite_recovery/page_snapshot.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// One row of sqlite_master (sql is "" when NULL).
struct SchemaEntry {
    std::string type;
    std::string name;
    std::string table;
    uint32_t rootPage = 0;
    std::string sql;
};

// Every row of sqlite_master as reader holds it (the b-tree at page 1).
std::vector<SchemaEntry> readSchemaEntries(const PageReader& reader, uint32_t usableSize,
                                           uint32_t textEncoding);

// What a CREATE INDEX statement says.
struct ParsedIndex {
    std::string name;
    std::string table;
    // One per indexed term, in order; "" for an expression.
    std::vector<std::string> columns;
    bool unique = false;
};

// Parses CREATE [UNIQUE] INDEX [IF NOT EXISTS] [schema.]name ON table (...)
// [WHERE ...]. False when the text is not one.
bool parseCreateIndex(std::string_view sql, ParsedIndex* index);

// The key columns of the indexes SQLite makes for a CREATE TABLE statement's
// UNIQUE and PRIMARY KEY constraints, in the order it numbers them
// (sqlite_autoindex_<table>_<n> is entry n - 1). An INTEGER PRIMARY KEY is
// the rowid and makes none; a WITHOUT ROWID table gives none.
std::vector<std::vector<std::string>> autoindexKeys(std::string_view createTableSql);

// An index of a rowid table: its entries hold the values of columns (table
// column positions, -1 for a term that is an expression), then the rowid.
struct IndexInfo {
    std::string name;
    int table = -1; // into the tables it was matched against
    uint32_t rootPage = 0;
    std::vector<int> columns;
};

// The indexes among entries that serve one of tables (matched by name).
// Indexes whose columns cannot be told are left out.
std::vector<IndexInfo> indexesOf(const std::vector<SchemaEntry>& entries,
                                 const std::vector<TableInfo>& tables);

} // namespace fennaro::deep
