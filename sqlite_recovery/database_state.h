// A database opened for the deep engine: its three files, read-only, and the
// current state as SQLite would read it now.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sqlite_recovery/page_snapshot.h"

namespace fennaro::deep {

struct DatabaseState {
    DatabaseFiles files;
    // The current state: the main file, the pages a hot journal restores,
    // then the committed frames of the current WAL generation.
    std::unique_ptr<Snapshot> current;
    uint32_t usableSize = 0;
    uint32_t textEncoding = 1;
    std::vector<std::string> paths; // the files read, database first
};

// Opens path with path-wal and path-journal beside it. Null, with a reason in
// *error, when the main file cannot be read or is not an SQLite database.
std::unique_ptr<DatabaseState> openDatabaseState(const std::string& path, std::string* error);

// Whether a file of the state changed size while it was read (another
// program shortened it): what was read from it is then no basis for a
// result. *which names the file.
bool changedWhileRead(const DatabaseState& state, std::string* which);

} // namespace fennaro::deep
