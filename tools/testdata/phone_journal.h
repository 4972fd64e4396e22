// How a phone's SQLite keeps a database's journal, and leaving the files the
// way a phone leaves them when they are pulled: a WAL neither checkpointed nor
// removed, a PERSIST journal with its zeroed header, an empty TRUNCATE journal.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace testdata {

enum class JournalMode { Wal, Persist, Truncate, Delete };

// The journal settings of a database while the phone uses it.
struct Journaling {
    JournalMode mode = JournalMode::Wal;
    bool secureDelete = true;          // Android 8 and later zero-fill freed cells
    int walAutocheckpoint = 0;         // pages; 0: SQLite never checkpoints by itself
    int64_t journalSizeLimit = 524288; // bytes a -wal or -journal is cut back to; -1: no limit

    bool operator==(const Journaling&) const = default;
};

// "wal", "persist", "truncate" or "delete".
const char* journalModeName(JournalMode mode);

// Sets PRAGMA secure_delete, synchronous, journal_size_limit,
// wal_autocheckpoint and journal_mode on `db`, which has no transaction open.
// Throws std::runtime_error when SQLite does not take the mode.
void applyJournaling(sqlite3* db, const Journaling& journaling);

// Copies every committed WAL frame into the database file (a complete
// checkpoint: the writer has no reader to wait for). The -wal keeps its
// frames; the next write starts the log over with new salts, writing over the
// old frames from the start and cutting the file back to journal_size_limit.
void checkpointWal(sqlite3* db);

// Closes `db` (the database at `path`) without the checkpoint a last
// connection makes on closing, so a WAL stays as the phone had it. The -shm,
// which only holds the index SQLite rebuilds from the -wal, is removed. Throws
// std::runtime_error when the connection does not close.
void closeAsPhone(sqlite3* db, const std::string& path);

} // namespace testdata
