#include "sqlite_recovery/btree_page.h"

#include <algorithm>

#include "sqlite_recovery/record_format.h"

namespace fennaro::deep {

namespace {

// Zero bytes after every payload read, so a decoder that looks a little past
// a cut value still reads inside the buffer.
constexpr size_t kPayloadPadding = 16;

} // namespace

bool readBtreeHeader(ByteView page, uint32_t pageNumber, uint32_t usableSize, BtreeHeader* header) {
    // Type, freeblock start, cell count, content start, right child.
    const size_t at = pageNumber == 1 ? 100 : 0;
    const uint32_t type = page.u8(at);
    const bool interior = type == kTableInteriorPage || type == kIndexInteriorPage;
    if (!interior && type != kTableLeafPage && type != kIndexLeafPage)
        return false;
    header->type = type;
    header->headerOffset = at;
    header->firstFreeblock = page.u16(at + 1);
    header->cellCount = page.u16(at + 3);
    const uint32_t content = page.u16(at + 5);
    header->contentStart = content == 0 ? 65536 : content;
    header->rightChild = interior ? page.u32(at + 8) : 0;
    header->pointerArray = at + (interior ? 12 : 8);
    header->pointerArrayEnd = header->pointerArray + 2 * size_t(header->cellCount);
    return header->pointerArrayEnd <= usableSize && header->pointerArrayEnd <= page.size;
}

uint32_t tableLeafLocalSize(uint64_t payloadSize, uint32_t usableSize) {
    // All of it when it fits, else a share chosen so that the overflow part
    // fills whole overflow pages where it can.
    const uint64_t maxLocal = usableSize - 35;
    if (payloadSize <= maxLocal)
        return uint32_t(payloadSize);
    const uint64_t minLocal = (uint64_t(usableSize) - 12) * 32 / 255 - 23;
    const uint64_t local = minLocal + (payloadSize - minLocal) % (usableSize - 4);
    return uint32_t(local <= maxLocal ? local : minLocal);
}

bool parseLeafCell(ByteView page, size_t offset, size_t limit, uint32_t usableSize,
                   LeafCell* cell) {
    // Payload size varint, rowid varint, local payload, overflow page number.
    limit = std::min({limit, page.size, size_t(usableSize)});
    if (offset >= limit)
        return false;
    uint64_t payloadSize = 0, rowid = 0;
    int a = readVarint(page.data + offset, limit - offset, &payloadSize);
    if (a == 0 || payloadSize > kMaxPayloadSize)
        return false;
    int b = readVarint(page.data + offset + a, limit - offset - a, &rowid);
    if (b == 0)
        return false;
    cell->offset = offset;
    cell->payloadSize = payloadSize;
    cell->rowid = int64_t(rowid);
    cell->payloadOffset = offset + size_t(a) + size_t(b);
    cell->localSize = tableLeafLocalSize(payloadSize, usableSize);
    const bool overflow = payloadSize > cell->localSize;
    cell->end = cell->payloadOffset + cell->localSize + (overflow ? 4 : 0);
    if (cell->end > limit)
        return false;
    cell->overflowPage = overflow ? page.u32(cell->payloadOffset + cell->localSize) : 0;
    return true;
}

size_t readPayload(ByteView page, size_t payloadStart, uint64_t payloadSize, uint32_t usableSize,
                   const PageReader* reader, std::string* payload) {
    // A table leaf keeps tableLeafLocalSize bytes in place.
    return readPayloadWithLocal(page, payloadStart, payloadSize,
                                tableLeafLocalSize(payloadSize, usableSize), usableSize, reader,
                                payload);
}

uint32_t indexLocalSize(uint64_t payloadSize, uint32_t usableSize) {
    // As for table leaves, with the smaller in-place limit index cells have.
    const uint64_t maxLocal = (uint64_t(usableSize) - 12) * 64 / 255 - 23;
    if (payloadSize <= maxLocal)
        return uint32_t(payloadSize);
    const uint64_t minLocal = (uint64_t(usableSize) - 12) * 32 / 255 - 23;
    const uint64_t local = minLocal + (payloadSize - minLocal) % (usableSize - 4);
    return uint32_t(local <= maxLocal ? local : minLocal);
}

size_t readPayloadWithLocal(ByteView page, size_t payloadStart, uint64_t payloadSize,
                            uint32_t local, uint32_t usableSize, const PageReader* reader,
                            std::string* payload) {
    // The local part from the page, then overflow page after overflow page
    // (each: next page number, then usable - 4 bytes of payload).
    payload->clear();
    if (page.has(payloadStart, local))
        payload->append(reinterpret_cast<const char*>(page.data + payloadStart), local);
    if (payloadSize > local && reader && payload->size() == local) {
        uint32_t next = page.u32(payloadStart + local);
        const uint64_t perPage = usableSize - 4;
        uint64_t pagesLeft = (payloadSize - local + perPage - 1) / perPage;
        while (next != 0 && pagesLeft-- > 0) {
            const ByteView overflow = reader->page(next);
            if (!overflow.data)
                break;
            // The last page of a chain points nowhere and the others point on.
            // A page that breaks this was taken for something else since the
            // record was freed: its bytes are not the record's, so the chain
            // ends here rather than lend the record another page's bytes.
            const uint32_t after = overflow.u32(0);
            if ((pagesLeft == 0) != (after == 0))
                break;
            const uint64_t take = std::min<uint64_t>(perPage, payloadSize - payload->size());
            payload->append(reinterpret_cast<const char*>(overflow.data + 4), size_t(take));
            next = after;
        }
    }
    const size_t have = payload->size();
    payload->resize(have + kPayloadPadding, '\0');
    return have;
}

bool tableHasRowid(const PageReader& reader, uint32_t root, uint32_t usableSize, int64_t rowid) {
    ByteView leaf;
    LeafCell cell;
    return findTableRow(reader, root, usableSize, rowid, &leaf, &cell);
}

namespace {

// The leaf of the table b-tree at root where rowid belongs: down the
// interior pages by binary search on their keys. False when a page on the
// way is missing or damaged, or the tree is deeper than any real one.
bool descendToLeaf(const PageReader& reader, uint32_t root, uint32_t usableSize, int64_t rowid,
                   ByteView* leaf, BtreeHeader* leafHeader) {
    uint32_t number = root;
    for (int depth = 0; depth < 40; ++depth) {
        const ByteView view = reader.page(number);
        BtreeHeader header;
        if (!view.data || !readBtreeHeader(view, number, usableSize, &header))
            return false;
        if (header.type == kTableLeafPage) {
            *leaf = view;
            *leafHeader = header;
            return true;
        }
        if (header.type != kTableInteriorPage)
            return false;
        // The first cell whose key is at least rowid leads to it; past the
        // last key, the right child does.
        uint32_t lo = 0, hi = header.cellCount;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            const uint32_t at = view.u16(header.pointerArray + 2 * size_t(mid));
            uint64_t key = 0;
            if (!view.has(at, 5) || readVarint(view, at + 4, &key) == 0)
                return false;
            if (int64_t(key) < rowid)
                lo = mid + 1;
            else
                hi = mid;
        }
        number = lo < header.cellCount ? view.u32(view.u16(header.pointerArray + 2 * size_t(lo)))
                                       : header.rightChild;
    }
    return false;
}

// Cell i of a table leaf.
bool leafCellAt(ByteView view, const BtreeHeader& header, uint32_t usableSize, uint32_t i,
                LeafCell* cell) {
    const uint32_t at = view.u16(header.pointerArray + 2 * size_t(i));
    return parseLeafCell(view, at, usableSize, usableSize, cell);
}

// The cell of rowid on a leaf whose cells are in rowid order, by halving.
bool searchSortedLeaf(ByteView view, const BtreeHeader& header, uint32_t usableSize, int64_t rowid,
                      LeafCell* found) {
    LeafCell cell;
    uint32_t lo = 0, hi = header.cellCount;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (!leafCellAt(view, header, usableSize, mid, &cell))
            return false;
        if (cell.rowid == rowid) {
            *found = cell;
            return true;
        }
        if (cell.rowid < rowid)
            lo = mid + 1;
        else
            hi = mid;
    }
    return false;
}

// The cell of rowid on any leaf, cell by cell.
bool searchEveryCell(ByteView view, const BtreeHeader& header, uint32_t usableSize, int64_t rowid,
                     LeafCell* found) {
    LeafCell cell;
    for (uint32_t i = 0; i < header.cellCount; ++i) {
        if (leafCellAt(view, header, usableSize, i, &cell) && cell.rowid == rowid) {
            *found = cell;
            return true;
        }
    }
    return false;
}

} // namespace

bool findTableRow(const PageReader& reader, uint32_t root, uint32_t usableSize, int64_t rowid,
                  ByteView* leaf, LeafCell* found) {
    // Cells are in rowid order, so a search halves them; a row it misses is
    // looked for in every cell, as a damaged page may hold its cells out of
    // order.
    ByteView view;
    BtreeHeader header;
    if (!descendToLeaf(reader, root, usableSize, rowid, &view, &header))
        return false;
    if (!searchSortedLeaf(view, header, usableSize, rowid, found) &&
        !searchEveryCell(view, header, usableSize, rowid, found))
        return false;
    *leaf = view;
    return true;
}

TableRowFinder::TableRowFinder(const PageReader& reader, uint32_t root, uint32_t usableSize)
    : m_reader(reader), m_root(root), m_usable(usableSize) {}

bool TableRowFinder::find(int64_t rowid, ByteView* leaf, LeafCell* found) {
    // A rowid within the last leaf's range, on a leaf in order, is there or
    // nowhere; any other goes down the tree, and the leaf it reaches is
    // checked for order once.
    if (!m_leaf.data || rowid < m_first || rowid > m_last) {
        m_leaf = {};
        if (!descendToLeaf(m_reader, m_root, m_usable, rowid, &m_leaf, &m_header)) {
            m_leaf = {};
            return false;
        }
        m_ordered = true;
        LeafCell cell;
        for (uint32_t i = 0; i < m_header.cellCount && m_ordered; ++i) {
            m_ordered =
                leafCellAt(m_leaf, m_header, m_usable, i, &cell) && (i == 0 || cell.rowid > m_last);
            if (i == 0)
                m_first = cell.rowid;
            m_last = cell.rowid;
        }
        if (!m_ordered || m_header.cellCount == 0) {
            // Only an ordered leaf answers for its range: forget this one.
            const ByteView view = m_leaf;
            m_leaf = {};
            if (!searchEveryCell(view, m_header, m_usable, rowid, found))
                return false;
            *leaf = view;
            return true;
        }
    }
    if (!searchSortedLeaf(m_leaf, m_header, m_usable, rowid, found))
        return false;
    *leaf = m_leaf;
    return true;
}

} // namespace fennaro::deep
