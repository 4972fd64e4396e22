// What the page carver's parts share about a record they located: where it
// lies on the page and how much of it is known, and how well a guessed
// record's end agrees with the bytes behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "sqlite_recovery/page_carver.h"

namespace fennaro::deep {

// A record located on a page, before its values are read.
struct PageCarver::Located {
    int table = -1;
    std::optional<int64_t> rowid;
    RecordShape shape;
    size_t recordStart = 0;  // the cell's first byte (reported offset)
    size_t payloadStart = 0; // the payload's first byte (maybe overwritten)
    uint64_t payloadSize = 0;
    size_t end = 0; // after the local part and the overflow page number
    Evidence evidence = Evidence::DamagedCell;
    bool headerLost = false;
    uint64_t unknownColumns = 0;
    // Body bytes that are the record's own: fewer than the body when a cell
    // allocated later took the end of the freed space the record lay in.
    size_t bodyKept = SIZE_MAX;
};

// How well a guessed freed cell's end agrees with what follows it, best last.
enum Alignment : int {
    kNoAlignment = 0,
    kSliver = 1,         // fewer than 4 bytes left: fragment bytes SQLite merged in
    kFreedCellNext = 2,  // a freed cell of the table could start there
    kWholeCellNext = 3,  // a whole cell starts there
    kWholeCellToEnd = 4, // a whole cell starts there and reaches the block's end or a merged cell
    kStaleBoundary = 5,  // a cell freed earlier and merged in starts there
    kBlockEnd = 6,       // the cell fills its block exactly
};

} // namespace fennaro::deep
