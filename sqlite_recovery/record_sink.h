// What the page carver hands over for every record it finds, and what it
// knows of the page version the record came from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "sqlite_recovery/page_snapshot.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

// One version of one page: where its image lives and how recent it is.
struct VersionInfo {
    RecordSource source = RecordSource::Main;
    uint32_t page = 0;
    uint64_t imageOffset = 0; // of the page image in its file
    uint32_t frame = 0;       // 1-based WAL frame, 0 outside the -wal
    uint32_t rank = 0;        // higher for more recent versions
    // Where the overflow pages of this version's records are looked up.
    const PageReader* overflowReader = nullptr;
};

// How much a record found on a page can be trusted, best last.
enum class Evidence : uint8_t {
    DamagedCell = 1, // carved from a freed cell whose first bytes were overwritten
    ScannedCell = 2, // a whole cell found in free bytes
    CellArray = 3,   // a cell the page's own cell pointer array lists
};

struct FoundRecord {
    int table = -1;
    std::optional<int64_t> rowid;
    const RecordShape* shape = nullptr;
    const uint8_t* body = nullptr; // followed by padding
    size_t bodyBytes = 0;          // readable body bytes (fewer when a chain was cut)
    Evidence evidence = Evidence::DamagedCell;
    size_t offsetInPage = 0;
    // A freed cell whose record header lost bytes (its size, a first serial
    // type) that were rebuilt from the schema and the cell's size.
    bool headerLost = false;
    // Columns (bit i for column i < 64) whose value the rebuilt header could
    // not tell: the record holds a stand-in of the right width there.
    uint64_t unknownColumns = 0;
    // The body was cut short where its bytes were taken for something else.
    bool damaged = false;
};

class RecordSink {
  public:
    virtual ~RecordSink() = default;
    virtual void add(const FoundRecord& record, const VersionInfo& version) = 0;
};

} // namespace fennaro::deep
