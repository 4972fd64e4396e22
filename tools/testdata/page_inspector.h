// Reads the table-leaf pages of one table straight from a database file: where
// the cells are, the freeblock chain and the unallocated gap of each page. Used
// to pick rows for exact deletion scenarios and to check what a deletion left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

// One cell of a table-leaf page.
struct LeafCell {
    uint32_t offset = 0; // page-relative start of the cell
    uint32_t size = 0;   // bytes the cell takes on the page (overflow page number included)
    int64_t rowid = 0;
    bool overflows = false; // the record continues on overflow pages
};

// One freeblock of a leaf page's chain.
struct Freeblock {
    uint32_t offset = 0;
    uint32_t size = 0; // header included
};

// Layout of one table-leaf page.
struct LeafPage {
    uint32_t page = 0; // 1-based page number
    uint32_t firstFreeblock = 0;
    uint32_t contentStart = 0; // start of the cell content area (65536 for a stored 0)
    uint32_t fragmentedBytes = 0;
    uint32_t gapStart = 0;             // first byte after the cell pointer array
    uint32_t gapSize = 0;              // contentStart - gapStart
    std::vector<Freeblock> freeblocks; // in chain order
    std::vector<LeafCell> cells;       // in cell pointer order (ascending rowid)

    // Free bytes of the page: gap, freeblocks and fragments.
    uint32_t freeBytes() const;
};

// Every table-leaf page of `table` in `path`, ascending page number. A committed
// file is read as it stands on disk (frames still in a -wal are not seen).
// Throws std::runtime_error when the file or the table cannot be read.
std::vector<LeafPage> tableLeafPages(const std::string& path, const std::string& table);

// Page size of a database file from its header; 0 if unreadable.
uint32_t filePageSize(const std::string& path);

// Rowids of two cells that lie next to each other on one leaf page, the lower
// one not at the start of the cell content area, so deleting both leaves one
// merged freeblock. Pages that deleting both would leave more than half empty
// are skipped. `nth` selects a later candidate.
std::optional<std::pair<int64_t, int64_t>> findNeighbourRows(const std::string& path,
                                                             const std::string& table, int nth = 0);

// Rowid of the cell that starts the cell content area of a leaf page holding
// other cells too, so deleting it grows the page's unallocated gap. `nth`
// selects a later page.
std::optional<int64_t> findContentStartRow(const std::string& path, const std::string& table,
                                           int nth = 0);

} // namespace testdata
