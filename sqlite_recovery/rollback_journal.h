// The rollback journal beside a database: the original images of the pages
// the last transaction changed, and behind them whatever an earlier, bigger
// transaction left. A journal whose header survives is read by its headers;
// one whose header was zeroed after a commit (PERSIST mode) is read by
// finding its page records: page number, page image, and a checksum that
// equals the transaction's nonce plus a sample of the image's bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "sqlite_recovery/mapped_file.h"

namespace fennaro::deep {

struct JournalPage {
    uint32_t page = 0;
    uint64_t imageOffset = 0; // where the page image starts in the -journal file
    // Part of the rollback SQLite would play back when it opens the database.
    bool rollback = false;
};

struct RollbackJournal {
    bool headerValid = false;
    // SQLite would roll this journal back on opening the database: its
    // header is intact, the database has pages, and it names no super-journal
    // (whose absence would mean the transaction committed).
    bool hot = false;
    uint32_t pageSize = 0;
    // The database size in pages before the transaction (hot journals).
    uint32_t originalPageCount = 0;
    // Every page image found, in file order.
    std::vector<JournalPage> pages;
};

// Reads the journal. pageLimit bounds the page numbers believed (absurd ones
// are damage); databaseHasPages tells whether the main file holds a page.
RollbackJournal readRollbackJournal(const MappedFile& journal, uint32_t databasePageSize,
                                    uint32_t pageLimit, bool databaseHasPages);

} // namespace fennaro::deep
