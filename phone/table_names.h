// Finding the phone's tables and columns by name in what the recovery
// engine reports, case-blind for ASCII as SQLite compares names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::phone {

// Whether a and b are the same name to SQLite.
bool sameName(std::string_view a, std::string_view b);

// The place of the first of names that is name, or -1.
int findName(const std::vector<std::string>& names, std::string_view name);

// The first table of tables named name, or null.
const deep::TableColumns* findTable(const std::vector<deep::TableColumns>& tables,
                                    std::string_view name);

} // namespace fennaro::phone
