// The write-ahead log beside a database: its header, every frame slot of the
// file and which frames make up the current state. SQLite reads the frames
// from the start while their salts match the header and their running
// checksum holds, and uses them up to the last commit frame among those; the
// rest (uncommitted frames, frames of an earlier generation left behind a
// restart, damaged frames) are history only.
#pragma once

#include <cstdint>
#include <vector>

#include "sqlite_recovery/mapped_file.h"

namespace fennaro::deep {

struct WalFrame {
    uint32_t number = 0;      // 1-based position of the frame in the file
    uint32_t page = 0;        // the page the frame holds an image of
    uint32_t commitSize = 0;  // database size in pages after a commit frame, else 0
    uint64_t imageOffset = 0; // where the page image starts in the -wal file
    bool sameSalts = false;   // the frame carries the header's salts
    bool committed = false;   // part of the current state
};

struct WalLog {
    bool headerValid = false;
    uint32_t pageSize = 0;
    // Every frame slot of the file that names a page, in file order.
    std::vector<WalFrame> frames;
    // The current state: frames[0, committedFrames) and the database size
    // the last of them commits (0 when no frame is committed).
    uint32_t committedFrames = 0;
    uint32_t committedPageCount = 0;
};

// The page sizes SQLite accepts: powers of two from 512 to 65536.
inline bool validPageSize(uint64_t size) {
    return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

// Reads the log. When its header is damaged no frame is committed, and the
// frames are read at the database's page size as history.
WalLog readWalLog(const MappedFile& wal, uint32_t databasePageSize);

} // namespace fennaro::deep
