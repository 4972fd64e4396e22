// The current state of a database as the callers' rules see it: its tables
// by name, and its live rows by rowid.
#pragma once

#include <string>
#include <vector>

#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/sqlite_recovery.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// LiveTables over the tables of a database's current schema.
class CurrentTables : public LiveTables {
  public:
    // Serves tables (the current schema's, not dropped) of state; both
    // must outlive this.
    CurrentTables(const DatabaseState& state, const std::vector<TableInfo>& tables);

    const std::vector<TableColumns>& tables() const override;
    bool hasRowid(const std::string& table, int64_t rowid) const override;
    bool liveValue(const std::string& table, int64_t rowid, int column,
                   Value* value) const override;

  private:
    const TableInfo* find(const std::string& table) const;

    const DatabaseState& m_state;
    const std::vector<TableInfo>& m_tables;
    std::vector<TableColumns> m_columns;
};

} // namespace fennaro::deep
