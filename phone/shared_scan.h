// Tables one reader of a database asks another's scan of it to select for
// it, so that the file is scanned once for both.
#pragma once

#include <functional>

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

// The tables (with their columns) another reader wants, and where their
// records go: each record of a table of selection is handed to visit.
struct SharedScan {
    ScanSelection selection;
    std::function<void(RecoveredRecord&)> visit;
};

} // namespace fennaro::deep
