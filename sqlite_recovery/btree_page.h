// Reading b-tree pages: the page header, table leaf cells with their local
// payload and overflow chain, and walks over a whole tree of a snapshot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sqlite_recovery/byte_view.h"
#include "sqlite_recovery/page_snapshot.h"

namespace fennaro::deep {

constexpr uint32_t kIndexInteriorPage = 2;
constexpr uint32_t kTableInteriorPage = 5;
constexpr uint32_t kIndexLeafPage = 10;
constexpr uint32_t kTableLeafPage = 13;

struct BtreeHeader {
    uint32_t type = 0;
    size_t headerOffset = 0; // 100 on page 1, else 0
    uint32_t firstFreeblock = 0;
    uint32_t cellCount = 0;
    uint32_t contentStart = 0; // 65536 when the field holds 0
    uint32_t rightChild = 0;   // interior pages only
    size_t pointerArray = 0;   // offset of the first cell pointer
    size_t pointerArrayEnd = 0;
};

// Reads the header of a b-tree page; false unless its type is a b-tree type
// and its cell pointer array fits the usable size.
bool readBtreeHeader(ByteView page, uint32_t pageNumber, uint32_t usableSize, BtreeHeader* header);

// The payload bytes a table leaf cell keeps on its page.
uint32_t tableLeafLocalSize(uint64_t payloadSize, uint32_t usableSize);

struct LeafCell {
    size_t offset = 0; // where the cell starts on the page
    uint64_t payloadSize = 0;
    int64_t rowid = 0;
    size_t payloadOffset = 0;
    uint32_t localSize = 0;
    uint32_t overflowPage = 0; // 0 without overflow
    size_t end = 0;            // first byte after the cell
};

// Parses a table leaf cell at offset whose bytes must end by limit.
bool parseLeafCell(ByteView page, size_t offset, size_t limit, uint32_t usableSize, LeafCell* cell);

// Reads the payload (payloadSize bytes) of a record whose first payload byte
// is at payloadStart of a table leaf page: the local part, then the overflow
// chain through reader (null: no chain is followed). Writes it to *payload
// followed by zero padding and returns the bytes actually read, fewer than
// payloadSize when the chain is cut or missing.
size_t readPayload(ByteView page, size_t payloadStart, uint64_t payloadSize, uint32_t usableSize,
                   const PageReader* reader, std::string* payload);

// The payload bytes an index cell (leaf or interior) keeps on its page.
uint32_t indexLocalSize(uint64_t payloadSize, uint32_t usableSize);

// readPayload for a cell that keeps `local` payload bytes on its page (an
// index cell: indexLocalSize).
size_t readPayloadWithLocal(ByteView page, size_t payloadStart, uint64_t payloadSize,
                            uint32_t local, uint32_t usableSize, const PageReader* reader,
                            std::string* payload);

// Page stamps for walks: a page is visited once per walk, without clearing a
// set between walks.
class VisitMarks {
  public:
    void startWalk(uint32_t pageCount) {
        if (m_marks.size() < size_t(pageCount) + 1)
            m_marks.resize(size_t(pageCount) + 1, 0);
        ++m_stamp;
    }
    // Marks page visited; false when it was already visited in this walk or
    // lies outside the pages the walk was started for.
    bool visit(uint32_t page) {
        if (page == 0 || page >= m_marks.size() || m_marks[page] == m_stamp)
            return false;
        m_marks[page] = m_stamp;
        return true;
    }

  private:
    std::vector<uint32_t> m_marks;
    uint32_t m_stamp = 0;
};

// Calls visit(pageNumber, view, header) for every page of the b-tree rooted
// at root (table or index), children in key order, each page once. Pages
// that are not b-tree pages end their branch.
template <typename Visit>
void walkBtree(const PageReader& reader, uint32_t root, uint32_t usableSize, VisitMarks& marks,
               Visit&& visit) {
    marks.startWalk(reader.pageCount());
    std::vector<uint32_t> pending{root};
    std::vector<uint32_t> children;
    while (!pending.empty()) {
        const uint32_t number = pending.back();
        pending.pop_back();
        if (!marks.visit(number))
            continue;
        const ByteView view = reader.page(number);
        BtreeHeader header;
        if (!view.data || !readBtreeHeader(view, number, usableSize, &header))
            continue;
        visit(number, view, header);
        if (header.type != kTableInteriorPage && header.type != kIndexInteriorPage)
            continue;
        children.clear();
        for (uint32_t i = 0; i < header.cellCount; ++i) {
            const uint32_t cell = view.u16(header.pointerArray + 2 * size_t(i));
            if (cell >= usableSize || !view.has(cell, 4))
                continue;
            children.push_back(view.u32(cell));
        }
        children.push_back(header.rightChild);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

// True when the table b-tree at root holds a row with this rowid.
bool tableHasRowid(const PageReader& reader, uint32_t root, uint32_t usableSize, int64_t rowid);

// Finds the row with this rowid in the table b-tree at root: the leaf that
// holds it and its cell there. False when there is none.
bool findTableRow(const PageReader& reader, uint32_t root, uint32_t usableSize, int64_t rowid,
                  ByteView* leaf, LeafCell* cell);

// findTableRow for many rows of one table: it keeps the last leaf it went
// down to, so rows looked up in rowid order mostly cost a search of a leaf
// already at hand, and a rowid missing from it costs no more than one
// found.
class TableRowFinder {
  public:
    TableRowFinder(const PageReader& reader, uint32_t root, uint32_t usableSize);
    bool find(int64_t rowid, ByteView* leaf, LeafCell* cell);

  private:
    const PageReader& m_reader;
    uint32_t m_root;
    uint32_t m_usable;
    ByteView m_leaf; // the last leaf, when its cells are in rowid order
    BtreeHeader m_header;
    int64_t m_first = 0, m_last = 0; // its first and last rowid
    bool m_ordered = false;
};

} // namespace fennaro::deep
