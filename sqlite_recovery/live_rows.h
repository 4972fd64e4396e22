// The live rows of one table of a database's current state, decoded by
// column name: what joins deleted rows to the rows that still stand.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/schema_reader.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

// Calls onRow(values) for every live row of table `name` of a database's
// current state, values holding the columns asked for in that order; a
// column the table lacks (an older version of it) reads as NULL, so its
// rows still stand as live. False when the table is missing (no row is
// passed then).
template <typename OnRow>
bool forEachLiveRow(const DatabaseState& state, const SchemaInfo& schema, const std::string& name,
                    std::initializer_list<const char*> columnNames, OnRow&& onRow) {
    const TableInfo* table = nullptr;
    for (const TableInfo& t : schema.tables) {
        if (t.name == name)
            table = &t;
    }
    if (!table)
        return false;
    std::vector<int> columns;
    for (const char* column : columnNames) {
        int index = -1;
        for (size_t i = 0; i < table->columns.size(); ++i) {
            if (table->columns[i].name == column)
                index = int(i);
        }
        columns.push_back(index);
    }
    VisitMarks marks;
    std::vector<Value> values;
    forEachTablePayload(
        *state.current, table->rootPage, state.usableSize, marks,
        [&](int64_t rowid, const uint8_t* payload, size_t bytes) {
            if (pickColumns(*table, payload, bytes, rowid, state.textEncoding, columns, &values))
                onRow(values);
        });
    return true;
}

} // namespace fennaro::deep
