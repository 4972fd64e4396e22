#include "sqlite_recovery/database_state.h"

#include "sqlite_recovery/sqlite_recovery.h"

#include <algorithm>

namespace fennaro::deep {

namespace {

// The size SQLite gives the database: the in-header size when it can be
// trusted and does not exceed what the files hold, else what they hold.
uint32_t effectivePageCount(const Snapshot& snapshot, uint32_t filePages) {
    DbHeader header;
    const ByteView first = snapshot.page(1);
    if (first.data && parseDbHeader(first, &header) && header.headerPageCount != 0)
        return std::min(header.headerPageCount, filePages);
    return filePages;
}

} // namespace

std::unique_ptr<DatabaseState> openDatabaseState(const std::string& path, std::string* error) {
    auto state = std::make_unique<DatabaseState>();
    DatabaseFiles& files = state->files;
    if (!files.main.open(path)) {
        *error = "cannot read " + path;
        return nullptr;
    }
    const ByteView head{files.main.bytes(0, 100), 100};
    if (!head.data || !parseDbHeader(head, &files.header)) {
        *error = path + " is not an SQLite database";
        return nullptr;
    }
    state->paths.push_back(path);
    const uint32_t pageSize = files.pageSize();
    const uint32_t mainPages = files.mainPageCount();

    // A rollback journal SQLite would play back on opening restores the
    // pages of the transaction that never committed: a pulled copy taken
    // mid-transaction shows the last committed state, as SQLite shows it.
    if (files.journal.open(path + "-journal")) {
        state->paths.push_back(path + "-journal");
        const uint32_t pageLimit = std::max<uint32_t>(mainPages, 1) * 2 + 1024;
        files.journalLog = readRollbackJournal(files.journal, pageSize, pageLimit, mainPages > 0);
        if (files.journalLog.pageSize != pageSize)
            files.journalLog = RollbackJournal{};
    }
    if (files.wal.open(path + "-wal")) {
        state->paths.push_back(path + "-wal");
        files.walLog = readWalLog(files.wal, pageSize);
        // Frames of another page size cannot be pages of this database.
        if (files.walLog.pageSize != pageSize)
            files.walLog = WalLog{};
    }

    state->current = std::make_unique<Snapshot>(files, mainPages);
    Snapshot& current = *state->current;
    current.setPageCount(effectivePageCount(current, mainPages));
    if (files.journalLog.hot) {
        for (auto it = files.journalLog.pages.rbegin(); it != files.journalLog.pages.rend(); ++it) {
            if (it->rollback)
                current.place(it->page, {FileKind::Journal, it->imageOffset, 0});
        }
        const uint32_t restored = files.journalLog.originalPageCount;
        current.setPageCount(restored);
        current.setPageCount(effectivePageCount(current, restored));
    }
    // An empty main file has no WAL to SQLite either (it deletes the log).
    const WalLog& wal = files.walLog;
    if (mainPages > 0 && wal.committedFrames > 0) {
        for (uint32_t i = 0; i < wal.committedFrames; ++i)
            current.place(wal.frames[i].page,
                          {FileKind::Wal, wal.frames[i].imageOffset, wal.frames[i].number});
        current.setPageCount(wal.committedPageCount);
        current.setPageCount(effectivePageCount(current, wal.committedPageCount));
    }

    DbHeader now;
    const ByteView first = current.page(1);
    const DbHeader& header =
        first.data && parseDbHeader(first, &now) && now.pageSize == pageSize ? now : files.header;
    state->usableSize = header.usableSize;
    state->textEncoding = header.textEncoding;
    return state;
}

bool changedWhileRead(const DatabaseState& state, std::string* which) {
    // The main file first, then the side files, by the names they were read under.
    const MappedFile* files[] = {&state.files.main, &state.files.journal, &state.files.wal};
    const char* suffixes[] = {"", "-journal", "-wal"};
    for (size_t i = 0; i < 3; ++i) {
        if (files[i]->changedWhileRead()) {
            *which = state.paths.empty() ? std::string() : state.paths[0] + suffixes[i];
            return true;
        }
    }
    return false;
}

void DatabaseCloser::operator()(DatabaseState* state) const {
    delete state;
}

OpenDatabase openDatabase(const std::string& path, std::string* error) {
    return OpenDatabase(openDatabaseState(path, error).release());
}

} // namespace fennaro::deep
