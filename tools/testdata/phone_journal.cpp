#include "phone_journal.h"

#include "sqlite_util.h"

#include <cstdio>
#include <stdexcept>

namespace testdata {

const char* journalModeName(JournalMode mode) {
    switch (mode) {
    case JournalMode::Wal:
        return "wal";
    case JournalMode::Persist:
        return "persist";
    case JournalMode::Truncate:
        return "truncate";
    case JournalMode::Delete:
        return "delete";
    }
    return "delete";
}

void applyJournaling(sqlite3* db, const Journaling& j) {
    // No syncs: the phone syncs (FULL), which only changes the record count in
    // the header of a journal while its transaction runs, and a commit zeroes,
    // cuts or deletes that header in every mode. A WAL's bytes do not depend on
    // syncing where power-safe overwrite holds (no padding frames).
    execSql(db, std::string("PRAGMA secure_delete=") + (j.secureDelete ? "ON" : "OFF") +
                    ";PRAGMA synchronous=OFF" +
                    ";PRAGMA journal_size_limit=" + std::to_string(j.journalSizeLimit) +
                    ";PRAGMA wal_autocheckpoint=" + std::to_string(j.walAutocheckpoint));
    Statement mode(db, std::string("PRAGMA journal_mode=") + journalModeName(j.mode));
    if (!mode.step() || mode.columnText(0) != journalModeName(j.mode))
        throw std::runtime_error(std::string("testdata: journal_mode ") + journalModeName(j.mode) +
                                 " not taken");
}

void checkpointWal(sqlite3* db) {
    Statement st(db, "PRAGMA wal_checkpoint(PASSIVE)");
    // Columns: busy, frames in the log, frames checkpointed.
    if (!st.step() || st.columnInt(0) != 0 || st.columnInt(1) != st.columnInt(2))
        throw std::runtime_error("testdata: the checkpoint did not complete");
}

void closeAsPhone(sqlite3* db, const std::string& path) {
    int noCheckpoint = 0;
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &noCheckpoint);
    if (sqlite3_close(db) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db);
        sqlite3_close_v2(db);
        throw std::runtime_error("testdata: cannot close " + path + ": " + msg);
    }
    std::remove((path + "-shm").c_str());
}

} // namespace testdata
