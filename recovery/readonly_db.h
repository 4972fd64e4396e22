// Opening a database copy so that SQLite can neither change nor create any
// file: no journal, no -wal or -shm beside the copy, no checkpoint that could
// overwrite the free space we carve.
#pragma once

#include <string>

struct sqlite3;

namespace fennaro {

// The URI that opens path read-only and immutable; characters that mean
// something in a URI are percent-encoded, so any file name works.
std::string readOnlyDatabaseUri(const std::string& path);

// Opens path read-only and immutable. Returns null when it does not open (the
// half-open handle is closed). The caller closes a returned handle.
sqlite3* openReadOnlyDatabase(const std::string& path);

// Owns a database opened with openReadOnlyDatabase; the handle is null when
// it did not open.
struct ReadOnlyDatabase {
    sqlite3* handle = nullptr;
    explicit ReadOnlyDatabase(const std::string& path) : handle(openReadOnlyDatabase(path)) {}
    ~ReadOnlyDatabase();
    ReadOnlyDatabase(const ReadOnlyDatabase&) = delete;
    ReadOnlyDatabase& operator=(const ReadOnlyDatabase&) = delete;
};

} // namespace fennaro
