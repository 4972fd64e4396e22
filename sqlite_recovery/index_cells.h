// The entries of one index b-tree page image: the cells it lists, whole
// cells left in its unallocated space, and freed cells whose first four
// bytes the freeblock header took, rebuilt when the index's columns leave
// only one way to read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "sqlite_recovery/byte_view.h"
#include "sqlite_recovery/page_snapshot.h"
#include "sqlite_recovery/sqlite_recovery.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// What an index's records hold: one value per key term (with the affinity
// of the column it indexes; Blob for an expression), then the rowid.
struct IndexShape {
    std::vector<Affinity> terms;
    uint32_t textEncoding = 1; // 1 UTF-8, 2 UTF-16le, 3 UTF-16be
};

enum class EntryPlace : uint8_t { Listed, Unallocated, Freeblock };

struct IndexEntry {
    size_t offset = 0; // where the cell starts on the page
    EntryPlace place = EntryPlace::Listed;
    std::vector<Value> terms; // texts as UTF-8
    std::vector<bool> known;  // per term: false when the bytes left two readings
    int64_t rowid = 0;
    // Read from a freed cell with serial types chosen to fit its bytes: the
    // weakest reading, which the caller checks further.
    bool rebuilt = false;
};

// Decodes an index record (payload of payloadBytes bytes, zero padding
// after it) of shape. strict also asks every value to suit its column's
// affinity and the rowid to be positive, for bytes no page lists. False when
// the record is not one of this index.
bool decodeIndexRecord(const uint8_t* payload, size_t payloadBytes, const IndexShape& shape,
                       bool strict, IndexEntry* entry);

// Appends the cells a page lists, and whole cells found in its unallocated
// space and inside its freeblocks past their four header bytes (a cell
// freed right after a freeblock joins it without a header of its own).
// Free bytes are read strictly, and a cell there only counts where it ends
// at another cell, a freeblock or the end of the free bytes. Overflow
// chains are read through overflow (null: records that overflow are left
// out).
void wholeIndexEntries(ByteView page, uint32_t pageNumber, uint32_t usableSize,
                       const IndexShape& shape, const PageReader* overflow,
                       std::vector<IndexEntry>* out);

// Appends the freed cells of a page's freeblocks that can be rebuilt: the
// freeblock must be exactly one cell, and the serial types it lost must be
// the only ones that fit its size, the affinities and SQLite's smallest
// integer encoding. seen (per term, may be null) holds integers known from
// whole entries of the index: when several readings remain, the only one
// whose lost integers are all among them is taken.
void freedIndexEntries(ByteView page, uint32_t pageNumber, uint32_t usableSize,
                       const IndexShape& shape, const std::vector<std::set<int64_t>>* seen,
                       std::vector<IndexEntry>* out);

// Appends the whole cells of shape in the bytes [from, to) of a page that is
// no b-tree page any more (a free-list trunk keeps what the page held past
// its list of leaves).
void carvedIndexEntries(ByteView page, size_t from, size_t to, uint32_t usableSize,
                        const IndexShape& shape, std::vector<IndexEntry>* out);

// True when the cells a page lists read as records of shape, strictly
// (cells that overflow are not read), and at least one does: how a page no
// tree owns is told to be an older page of an index.
bool pageFitsIndex(ByteView page, uint32_t pageNumber, uint32_t usableSize,
                   const IndexShape& shape);

} // namespace fennaro::deep
