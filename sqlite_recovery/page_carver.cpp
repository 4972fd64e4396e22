// The page carver's entry points, one per kind of page: a table leaf, a
// table interior page, the free bytes of a page that is no b-tree page, and
// the owner a leaf's listed cells point to; and the hand-over of each
// located record to the sink.
#include "sqlite_recovery/page_carver.h"

#include <algorithm>

#include "sqlite_recovery/located_record.h"
#include "sqlite_recovery/table_shape.h"

namespace fennaro::deep {

namespace {

// Where the bytes an interior page may have kept from an earlier life end.
// Its content area, listed cells and freeblocks are its own. So are the
// cells it freed at the start of its content area: freeing one moves the
// content start past it but leaves a freeblock header on its first bytes
// (the next freeblock, or 0, and a size reaching the old boundary). Such a
// header proves the content area once began there, and every byte from
// there to the page end was then one of this page's cells, so no older cell
// lies whole above it.
size_t interiorLeftoversEnd(ByteView page, const BtreeHeader& header, size_t usable) {
    const size_t floor = header.pointerArrayEnd;
    size_t end = std::min<size_t>(header.contentStart, usable);
    for (uint32_t i = 0; i < header.cellCount; ++i) {
        const size_t at = page.u16(header.pointerArray + 2 * size_t(i));
        if (at >= floor)
            end = std::min(end, at);
    }
    if (header.firstFreeblock >= floor)
        end = std::min<size_t>(end, header.firstFreeblock);
    // Freed cells below the boundary, nearest first; each one found moves
    // the boundary down to its start.
    for (size_t at = end; at-- > floor;) {
        if (at + 4 > end)
            continue;
        const size_t next = page.u16(at);
        if (page.u16(at + 2) == end - at && (next == 0 || (next >= end && next + 4 <= usable)))
            end = at;
    }
    return end;
}

// Where the unallocated gap of a leaf starts to be worth carving: deleting
// cells shortens the cell pointer array but leaves its old entries behind
// it, offsets into the content area that would parse as the start of a
// record. A run of such offsets right behind the array is passed over. Not
// on a page that lost every cell: its content start went back to the page's
// end, and the freed cells' own headers (offsets too) may lie right there.
size_t pastStalePointers(ByteView page, const BtreeHeader& header, size_t gapEnd) {
    size_t at = header.pointerArrayEnd;
    if (header.cellCount == 0)
        return at;
    while (at + 2 <= gapEnd) {
        const uint32_t pointer = page.u16(at);
        if (pointer < header.contentStart || pointer >= page.size)
            break;
        at += 2;
    }
    return at;
}

// The one table whose leading columns (fewer than all, at least half of
// them) a record fits as exactly as fitsExactly asks of a full row: a row
// written before its table grew by ALTER TABLE ADD COLUMN. -1 when none or
// more than one does.
int leadingColumnsTable(const std::vector<TableInfo>& tables, const RecordShape& shape) {
    int found = -1;
    const size_t n = shape.types.size();
    for (size_t t = 0; t < tables.size(); ++t) {
        const TableInfo& table = tables[t];
        if (n >= table.columns.size() || 2 * n < table.columns.size() ||
            shapeScore(table, shape) < 0)
            continue;
        bool exact = true;
        for (size_t i = 0; i < n && exact; ++i) {
            const Affinity affinity = table.columns[i].affinity;
            const bool numeric = affinity == Affinity::Integer || affinity == Affinity::Real ||
                                 affinity == Affinity::Numeric;
            exact = !(numeric && shape.types[i] >= 13 && (shape.types[i] & 1));
        }
        if (!exact)
            continue;
        if (found >= 0)
            return -1;
        found = int(t);
    }
    return found;
}

} // namespace

PageCarver::PageCarver(const std::vector<TableInfo>& tables, uint32_t usableSize, RecordSink& sink,
                       uint32_t textEncoding)
    : m_tables(tables), m_usable(usableSize), m_utf8(textEncoding == 1), m_sink(sink),
      m_foundSlot(new Located()), m_found(*m_foundSlot), m_rebuiltSlot(new Located()),
      m_rebuilt(*m_rebuiltSlot) {
    for (const TableInfo& table : tables)
        m_maxColumns = std::max(m_maxColumns, table.columns.size());
}

PageCarver::~PageCarver() = default;

void PageCarver::carveLeaf(ByteView page, const BtreeHeader& header, int table, bool withCells,
                           const VersionInfo& version) {
    // Listed cells first, then the freeblock chain, then the unallocated gap.
    const size_t usable = std::min<size_t>(m_usable, page.size);
    if (withCells) {
        for (uint32_t i = 0; i < header.cellCount; ++i) {
            const size_t at = page.u16(header.pointerArray + 2 * size_t(i));
            LeafCell cell;
            if (at < header.pointerArrayEnd || !parseLeafCell(page, at, usable, m_usable, &cell))
                continue;
            Located& found = m_found;
            found.rowid = cell.rowid;
            found.recordStart = at;
            found.payloadStart = cell.payloadOffset;
            found.payloadSize = cell.payloadSize;
            found.end = cell.end;
            found.evidence = Evidence::CellArray;
            found.headerLost = false;
            found.unknownColumns = 0;
            found.bodyKept = SIZE_MAX;
            // A header that spills into the overflow chain is read from the
            // whole payload.
            const uint8_t* bytes = page.data + cell.payloadOffset;
            size_t have = cell.localSize;
            if (cell.payloadSize > cell.localSize) {
                have = readPayload(page, cell.payloadOffset, cell.payloadSize, m_usable,
                                   version.overflowReader, &m_payload);
                bytes = reinterpret_cast<const uint8_t*>(m_payload.data());
            }
            if (!parseRecordHeader(bytes, have, m_maxColumns, &found.shape) ||
                found.shape.payloadSize() != cell.payloadSize)
                continue;
            // A listed cell is a row of the page's owner or of nothing: a
            // cell that does not fit it is damage, not another table's row.
            // Without an owner only a table the record fits exactly takes it.
            if (table >= 0)
                found.table = shapeScore(m_tables[size_t(table)], found.shape) >= 0 ? table : -1;
            else
                found.table = exactTable(m_tables, found.shape);
            if (found.table >= 0)
                emit(page, found, version);
        }
    }

    uint32_t offset = header.firstFreeblock;
    size_t previousEnd = header.pointerArrayEnd;
    for (size_t steps = 0; offset != 0 && steps < usable / 4; ++steps) {
        const uint32_t size = page.u16(offset + 2);
        if (offset < previousEnd || size < 4 || offset + size_t(size) > usable)
            break;
        const uint32_t next = page.u16(offset);
        carveFreeblock(page, offset, offset + size_t(size), table, version);
        previousEnd = offset + size_t(size);
        offset = next;
    }

    const size_t gapEnd = std::min<size_t>(header.contentStart, usable);
    const size_t gapStart = pastStalePointers(page, header, gapEnd);
    if (gapEnd > gapStart)
        scanRegion(page, gapStart, gapEnd, table, version);
}

void PageCarver::carveInterior(ByteView page, const BtreeHeader& header, int table,
                               const VersionInfo& version) {
    // Whole cells only: the freeblocks of an interior page held interior cells.
    const size_t gapEnd = interiorLeftoversEnd(page, header, std::min<size_t>(m_usable, page.size));
    size_t at = header.pointerArrayEnd;
    Located& found = m_found;
    while (at + 4 <= gapEnd) {
        if (tryWholeCell(page, at, gapEnd, table, Evidence::ScannedCell, &found) &&
            holdsValues(page, found)) {
            emit(page, found, version);
            at = found.end;
        } else {
            ++at;
        }
    }
}

void PageCarver::scanFreeBytes(ByteView page, size_t from, size_t to, const VersionInfo& version) {
    // The page most likely held one table's leaf: the table most whole
    // cells in it fit is taken as its owner, so the freed cells between them
    // can be guessed at too.
    to = std::min<size_t>({to, m_usable, page.size});
    std::vector<size_t> votes(m_tables.size(), 0);
    Located& found = m_found;
    for (size_t at = from; at + 4 <= to;) {
        if (tryWholeCell(page, at, to, -1, Evidence::ScannedCell, &found)) {
            ++votes[size_t(found.table)];
            at = found.end;
        } else {
            ++at;
        }
    }
    const auto best = std::max_element(votes.begin(), votes.end());
    const int table = best == votes.end() || *best == 0 ? -1 : int(best - votes.begin());
    // A table chosen by votes is a guess, not the page's owner: it may not
    // take records shorter than itself. Only where no cell fits any table at
    // full width, and most of the whole cells there are rows of one table's
    // older, shorter layout, was the page a leaf of that table before it
    // grew, and is read as its own.
    const int older = table < 0 ? olderLayoutOwner(page, from, to) : -1;
    m_ownerKnown = older >= 0;
    scanRegion(page, from, to, table < 0 ? older : table, version);
    m_ownerKnown = true;
}

int PageCarver::olderLayoutOwner(ByteView page, size_t from, size_t to) {
    // Cells whose payload size, rowid and header add up, given to the one
    // table whose leading columns they fit; two at least, and most of them.
    std::vector<size_t> votes(m_tables.size(), 0);
    size_t cells = 0;
    RecordShape& shape = m_scratch;
    for (size_t at = from; at + 4 <= to;) {
        LeafCell cell;
        if (page.u8(at) < 2 || !parseLeafCell(page, at, to, m_usable, &cell) ||
            cell.payloadSize < 2 || cell.rowid < 0 ||
            !parseRecordHeader(page.data + cell.payloadOffset,
                               std::min<size_t>(cell.localSize, to - cell.payloadOffset),
                               m_maxColumns, &shape, cell.payloadSize) ||
            shape.payloadSize() != cell.payloadSize || cell.end > to) {
            ++at;
            continue;
        }
        ++cells;
        const int t = leadingColumnsTable(m_tables, shape);
        if (t >= 0)
            ++votes[size_t(t)];
        at = cell.end;
    }
    const auto best = std::max_element(votes.begin(), votes.end());
    if (best == votes.end() || *best < 2 || 2 * *best <= cells)
        return -1;
    return int(best - votes.begin());
}

void PageCarver::carveFreeBytesOf(ByteView page, size_t from, size_t to, int table,
                                  const VersionInfo& version) {
    // As a region of the table's own page, past what is left of the leaf's
    // cell pointer array: a trunk header takes only the leaf header's
    // place, and the offsets behind it would read as a record.
    to = std::min<size_t>({to, m_usable, page.size});
    while (from + 2 <= to) {
        const uint32_t pointer = page.u16(from);
        if (pointer < from + 2 || pointer >= to)
            break;
        from += 2;
    }
    if (from < to)
        scanRegion(page, from, to, table, version);
}

int PageCarver::attributeLeaf(ByteView page, const BtreeHeader& header,
                              const std::vector<int>& candidates, bool onFreeList) {
    // Reads the headers of (at most 64) listed cells once, then counts fits.
    std::vector<RecordShape> shapes;
    const size_t usable = std::min<size_t>(m_usable, page.size);
    for (uint32_t i = 0; i < header.cellCount && shapes.size() < 64; ++i) {
        const size_t at = page.u16(header.pointerArray + 2 * size_t(i));
        LeafCell cell;
        RecordShape shape;
        if (at >= header.pointerArrayEnd && parseLeafCell(page, at, usable, m_usable, &cell) &&
            parseRecordHeader(page.data + cell.payloadOffset, cell.localSize, m_maxColumns, &shape))
            shapes.push_back(std::move(shape));
    }
    auto fits = [&](int table) {
        size_t count = 0;
        for (const RecordShape& shape : shapes)
            count += shapeScore(m_tables[size_t(table)], shape) >= 0;
        return count;
    };
    for (int table : candidates) {
        if (table >= 0 && (shapes.empty() || 2 * fits(table) > shapes.size()))
            return table;
    }
    // No candidate owner: the page is only given to a table most of its
    // cells fit exactly, as a look-alike table would take them otherwise.
    if (shapes.empty())
        return -1;
    // A free page that still lists its cells was most likely freed whole by
    // DROP TABLE (a live table's leaf freed by rebalancing lists rows that
    // live on in its siblings): a dropped table that fits wins there.
    if (onFreeList) {
        int dropped = -1;
        for (size_t t = 0; t < m_tables.size(); ++t) {
            if (!m_tables[t].dropped)
                continue;
            size_t count = 0;
            for (const RecordShape& shape : shapes)
                count += fitsExactly(m_tables[t], shape);
            if (2 * count > shapes.size()) {
                if (dropped >= 0)
                    return -1;
                dropped = int(t);
            }
        }
        if (dropped >= 0)
            return dropped;
    }
    int best = -1;
    size_t bestCount = 0;
    for (size_t t = 0; t < m_tables.size(); ++t) {
        size_t count = 0;
        for (const RecordShape& shape : shapes)
            count += exactTable(m_tables, shape) == int(t);
        if (count > bestCount) {
            best = int(t);
            bestCount = count;
        }
    }
    if (2 * bestCount > shapes.size())
        return best;
    // A leaf freed before a table grew by ALTER TABLE ADD COLUMN lists rows
    // shorter than the table, which fit no table at full width: the page
    // goes to a table most of its cells fit the leading columns of.
    best = -1;
    bestCount = 0;
    std::vector<size_t> counts(m_tables.size(), 0);
    for (const RecordShape& shape : shapes) {
        const int t = leadingColumnsTable(m_tables, shape);
        if (t >= 0 && ++counts[size_t(t)] > bestCount) {
            best = t;
            bestCount = counts[size_t(t)];
        }
    }
    return 2 * bestCount > shapes.size() ? best : -1;
}

void PageCarver::emit(ByteView page, const Located& found, const VersionInfo& version) {
    // The body from the page, or from the assembled payload when the record
    // continues on overflow pages.
    FoundRecord record;
    record.table = found.table;
    record.rowid = found.rowid;
    record.shape = &found.shape;
    record.evidence = found.evidence;
    record.offsetInPage = found.recordStart;
    record.headerLost = found.headerLost;
    record.unknownColumns = found.unknownColumns;
    const uint32_t header = found.shape.headerSize;
    if (found.payloadSize <= tableLeafLocalSize(found.payloadSize, m_usable)) {
        record.body = page.data + found.payloadStart + header;
        record.bodyBytes = std::min(size_t(found.shape.bodySize), found.bodyKept);
    } else {
        const size_t have = readPayload(page, found.payloadStart, found.payloadSize, m_usable,
                                        version.overflowReader, &m_payload);
        record.body = reinterpret_cast<const uint8_t*>(m_payload.data()) + header;
        record.bodyBytes = have > header ? have - header : 0;
        if (have < header)
            record.body = reinterpret_cast<const uint8_t*>(m_payload.data());
    }
    if (record.bodyBytes < found.shape.bodySize) {
        // Cut where its bytes ran into something else (a cell written over
        // its tail, an overflow page taken for other use): the columns that
        // begin past the cut are not known, the one it falls in keeps what
        // it has, and the record says it is damaged.
        record.damaged = true;
        uint64_t at = 0;
        for (size_t i = 0; i < found.shape.types.size() && i < 64; ++i) {
            const uint64_t width = serialTypeWidth(found.shape.types[i]);
            const bool cutHere = at + width > record.bodyBytes;
            const bool keepsPart = serialTypeIsText(found.shape.types[i]) && at < record.bodyBytes;
            if (width > 0 && cutHere && !keepsPart)
                record.unknownColumns |= uint64_t(1) << i;
            at += width;
        }
    }
    m_sink.add(record, version);
}

} // namespace fennaro::deep
