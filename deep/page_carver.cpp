#include "page_carver.h"

#include <algorithm>
#include <cstring>

#include "table_shape.h"
#include "value_sanity.h"

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

namespace {

// Largest header-size varint the damaged-cell guesses consider: the header
// of a record with a few hundred one-byte serial types.
constexpr uint64_t kOneByteHeaderLimit = 127;

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

// columnAccepts for serial types read where a header is guessed at: there
// an INTEGER or REAL column takes numbers only. SQLite would keep a text or
// a blob there, but rows hardly ever hold one, and bytes read as types at
// the wrong place very often do.
bool guessAccepts(const ColumnInfo& column, uint64_t type) {
    if ((column.affinity == Affinity::Integer || column.affinity == Affinity::Real) && type >= 12)
        return false;
    return columnAccepts(column, type);
}

// The longest text or blob whose serial type is a one-byte varint.
constexpr uint64_t kOneByteTypeWidth = (0x7F - 13) / 2;

// The serial type a column held when its type byte was lost but the body
// bytes it took are known, as *type (a stand-in of that width when it
// cannot be told: *known is then false). False when no value of the
// column's kind takes that many bytes.
bool rebuildLostType(const ColumnInfo& column, uint64_t width, uint64_t* type, bool* known) {
    *known = true;
    if (column.rowidAlias) {
        *type = 0;
        return width == 0;
    }
    switch (column.affinity) {
    case Affinity::Integer:
    case Affinity::Real:
    case Affinity::Numeric:
        // NULL, 0 and 1 take no byte; the widths of stored numbers are fixed.
        if (width == 0) {
            *type = column.notNull ? 8 : 0;
            *known = false;
            return true;
        }
        if (width <= 4 || width == 6) {
            *type = width == 6 ? 5 : width;
            return true;
        }
        if (width != 8)
            return false;
        *type = column.affinity == Affinity::Real ? 7 : 6;
        *known = column.affinity != Affinity::Numeric;
        return true;
    case Affinity::Text:
        if (width == 0) {
            *type = column.notNull ? 13 : 0;
            *known = column.notNull;
            return true;
        }
        *type = 13 + 2 * width;
        return true;
    case Affinity::Blob:
        // No declared type: a number, a text or a blob of that width alike.
        *type = width == 0 ? 0 : 13 + 2 * width;
        *known = false;
        return true;
    }
    return false;
}

// Where a record with this payload ends on the page: local part, plus the
// overflow page number when there is one.
size_t recordEnd(size_t payloadStart, uint64_t payloadSize, uint32_t usable) {
    const uint32_t local = tableLeafLocalSize(payloadSize, usable);
    return payloadStart + local + (payloadSize > local ? 4 : 0);
}

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

void PageCarver::carveFreeblock(ByteView page, size_t start, size_t end, int table,
                                const VersionInfo& version) {
    // The cells the block holds, then whatever else its bytes keep.
    const size_t stop = carveCells(page, start, end, table, DamagedGuess::Loose, version);
    scanRegion(page, stop == start ? start + 4 : stop, end, table, version);
}

size_t PageCarver::carveCells(ByteView page, size_t start, size_t end, int table,
                              DamagedGuess firstGuess, const VersionInfo& version, size_t limit) {
    // The freed cell at the block's start lost its first four bytes to the
    // freeblock header. Cells freed before it and merged in behind it lost
    // theirs to their own freeblock headers; a cell merged in that was freed
    // after its neighbour is whole. Record follows record to the block's end,
    // each judged as strictly as the block's own start: a block only guessed
    // at proves no more behind its first record than at it.
    Located& found = m_found;
    findStaleBoundaries(page, start, end);

    size_t at = start;
    bool first = true;
    while (at + 4 <= end) {
        const auto wholeCell = [&] {
            return tryWholeCell(page, at, end, table, Evidence::ScannedCell, &found) &&
                   found.end <= limit && cutAtReusedTail(page, end, &found) &&
                   holdsValues(page, found);
        };
        const auto freedCell = [&] {
            return table >= 0 && locateDamaged(page, at, end, table, firstGuess, &found) &&
                   found.end <= limit &&
                   !(first && firstGuess == DamagedGuess::Strict &&
                     wholeCellNear(page, at, limit)) &&
                   cutAtReusedTail(page, end, &found) && holdsValues(page, found);
        };
        // Four bytes that chain as a stale freeblock header to the block's
        // end are one, even when they happen to parse as a short cell.
        const bool staleHeader = !first && isStaleHeader(at);
        if (!first && !staleHeader && wholeCell()) {
            emit(page, found, version);
        } else if (freedCell()) {
            emit(page, found, version);
        } else if (staleHeader && wholeCell()) {
            emit(page, found, version);
        } else {
            break;
        }
        at = found.end;
        first = false;
    }
    m_boundaries.clear();
    m_boundariesFound = true;
    m_blockStart = m_blockEnd = 0;
    return first ? start : at;
}

void PageCarver::scanRegion(ByteView page, size_t from, size_t to, int table,
                            const VersionInfo& version) {
    // At every byte: a whole cell, or a freed cell that still carries the
    // freeblock header it was given, with the cells merged in behind it
    // (the record must end where the header's size or a merged cell's
    // header says). Zeros or leftovers right in front of a whole cell are
    // not taken for such a header.
    Located& found = m_found;
    size_t at = from;
    while (at + 4 <= to) {
        if (tryWholeCell(page, at, to, table, Evidence::ScannedCell, &found) &&
            cutAtReusedTail(page, to, &found) && holdsValues(page, found)) {
            emit(page, found, version);
            at = found.end;
            continue;
        }
        if (table >= 0) {
            const uint32_t size = page.u16(at + 2);
            const uint32_t next = page.u16(at);
            // A block freed before the content area grew back over its end
            // still says where its cells ended; only those below `to` count.
            const size_t usable = std::min<size_t>(m_usable, page.size);
            if (size >= 4 && at + size <= usable && (next == 0 || next >= at + size)) {
                const size_t stop =
                    carveCells(page, at, at + size, table, DamagedGuess::Strict, version, to);
                if (stop != at) {
                    at = stop;
                    continue;
                }
            }
        }
        ++at;
    }
}

bool PageCarver::cutAtReusedTail(ByteView page, size_t limit, Located* found) {
    // SQLite fills a cell into the end of a freed block. A record found in
    // freed space whose body holds a whole cell ending where the record
    // ends lost its tail to that cell: its body is cut where the cell
    // begins, and the carving goes on from there. Never false: it only cuts.
    if (found->payloadSize > tableLeafLocalSize(found->payloadSize, m_usable))
        return true;
    const size_t bodyStart = found->payloadStart + found->shape.headerSize;
    const size_t end = found->end;
    if (end < bodyStart + 5)
        return true;
    // A whole cell of the record's table at x that ends at end.
    LeafCell cell;
    auto cellEndingThere = [&](size_t x) {
        if (!parseLeafCell(page, x, limit, m_usable, &cell) || cell.payloadSize < 2 ||
            cell.rowid < 0 || cell.end != end)
            return false;
        const size_t avail = std::min<size_t>(cell.localSize, limit - cell.payloadOffset);
        return parseRecordHeader(page.data + cell.payloadOffset, avail, m_maxColumns, &m_scratch,
                                 cell.payloadSize) &&
               m_scratch.payloadSize() == cell.payloadSize &&
               bestTable(m_tables, m_scratch, found->table, true) == found->table;
    };
    auto cutAt = [&](size_t x) {
        found->bodyKept = x - bodyStart;
        found->end = x;
        return true;
    };
    // A cell at x is its payload size P, its rowid (1 to 9 bytes), then P
    // bytes: P lies 2 to 10 bytes short of end - x (one more for a two-byte
    // P). The earliest such cell is the one that took the tail (any later
    // one lies inside it), so x goes from the body's start up. Far from the
    // end P takes two bytes, the first 0x80 | P >> 7: for each run of x
    // where P >> 7 can take only two values, the bytes that start such a P
    // are found with memchr, not looked at one by one. Within 140 bytes of
    // the end P takes one byte, and x is looked at closely only where the
    // byte there is such a P.
    const size_t near = std::max(bodyStart + 1, end > 140 ? end - 140 : size_t(0));
    const size_t highest = std::min<size_t>(0x7F, (end - bodyStart) / 128 + 1);
    for (size_t high = highest; high >= 1; --high) {
        // x with (end - x - 3) >> 7 == high: P >> 7 is high or high - 1.
        if (end < 3 + 128 * high)
            continue;
        const size_t last = end - 3 - 128 * high; // largest x of the run
        const size_t first = end >= 3 + 128 * (high + 1) ? end - 3 - 128 * (high + 1) + 1 : 0;
        const size_t from = std::max(first, bodyStart + 1);
        const size_t to = std::min(last, near - 1);
        if (from > to)
            continue;
        size_t best = SIZE_MAX;
        for (const size_t lead : {0x80 | high, 0x80 | (high - 1)}) {
            const uint8_t* at = page.data + from;
            const uint8_t* stop = page.data + to + 1;
            while (at < stop) {
                at = static_cast<const uint8_t*>(std::memchr(at, int(lead), size_t(stop - at)));
                if (!at)
                    break;
                const size_t x = size_t(at - page.data);
                const size_t payload = size_t(page.data[x] & 0x7F) << 7 | page.data[x + 1];
                if (x < best && payload + x + 3 <= end && payload + x + 12 >= end &&
                    cellEndingThere(x)) {
                    best = x;
                    break;
                }
                ++at;
            }
        }
        if (best != SIZE_MAX)
            return cutAt(best);
    }
    for (size_t x = near; x + 4 <= end; ++x) {
        const size_t payload = page.data[x];
        if (payload >= 2 && payload < 0x80 && size_t(end - x - 2 - payload) <= 8 &&
            cellEndingThere(x))
            return cutAt(x);
    }
    return true;
}

bool PageCarver::holdsValues(ByteView page, const Located& found) const {
    // Judged on the part of the body the page holds. A run of zeros parses
    // as a record of NULLs anywhere; taken for one, it would move the
    // carving past the real cells behind it.
    // Not the overflow page number at the end of the local part.
    const size_t bodyStart = found.payloadStart + found.shape.headerSize;
    const size_t localEnd = found.payloadStart + tableLeafLocalSize(found.payloadSize, m_usable);
    const size_t local = std::min<size_t>({found.end, localEnd, m_usable, page.size});
    const size_t have = bodyStart < local ? local - bodyStart : 0;
    return plausibleRecord(m_tables[size_t(found.table)], found.shape, page.data + bodyStart,
                           std::min({have, size_t(found.shape.bodySize), found.bodyKept}),
                           found.unknownColumns, m_utf8);
}

bool PageCarver::tryWholeCell(ByteView page, size_t at, size_t limit, int table, Evidence evidence,
                              Located* found) {
    // Payload size, rowid, then a header whose columns add up to that size.
    // A payload size of 0 or 1 cannot hold a record (zeroed bytes are common).
    if (page.u8(at) < 2)
        return false;
    LeafCell cell;
    if (!parseLeafCell(page, at, limit, m_usable, &cell) || cell.payloadSize < 2 || cell.rowid < 0)
        return false;
    const size_t avail = std::min<size_t>(cell.localSize, limit - cell.payloadOffset);
    if (!parseRecordHeader(page.data + cell.payloadOffset, avail, m_maxColumns, &found->shape,
                           cell.payloadSize) ||
        found->shape.payloadSize() != cell.payloadSize)
        return false;
    found->table = bestTable(m_tables, found->shape, table, m_ownerKnown);
    if (found->table < 0)
        return false;
    found->rowid = cell.rowid;
    found->recordStart = at;
    found->payloadStart = cell.payloadOffset;
    found->payloadSize = cell.payloadSize;
    found->end = cell.end;
    found->evidence = evidence;
    found->headerLost = false;
    found->unknownColumns = 0;
    found->bodyKept = SIZE_MAX;
    return true;
}

int PageCarver::alignment(ByteView page, size_t at, size_t end, int table, int toBeat) {
    // How well a record ending at `at` agrees with the bytes behind it. The
    // costly last look (could a freed cell start there?) is left out when a
    // better end is already known: it could not win.
    if (at == end)
        return kBlockEnd;
    if (end - at < 4)
        return kSliver;
    if (isStaleBoundary(at))
        return kStaleBoundary;
    LeafCell cell;
    if (parseLeafCell(page, at, end, m_usable, &cell) && cell.payloadSize >= 2 &&
        parseRecordHeader(page.data + cell.payloadOffset,
                          std::min<size_t>(cell.localSize, end - cell.payloadOffset), m_maxColumns,
                          &m_scratch) &&
        m_scratch.payloadSize() == cell.payloadSize &&
        bestTable(m_tables, m_scratch, table, m_ownerKnown) >= 0)
        return cell.end == end || isStaleBoundary(cell.end) ? kWholeCellToEnd : kWholeCellNext;
    if (toBeat > kFreedCellNext)
        return kNoAlignment;
    return freedCellAt(page, at, end, table) ? kFreedCellNext : kNoAlignment;
}

void PageCarver::findStaleBoundaries(ByteView page, size_t start, size_t end) {
    // Only notes the block: most blocks hold one cell whose record ends at
    // the block's end, and their bytes need no second look.
    m_blockPage = page;
    m_blockStart = start;
    m_blockEnd = end;
    m_boundaries.clear();
    m_boundariesFound = false;
}

const std::vector<size_t>& PageCarver::staleBoundaries() {
    // A cell freed before its neighbour in front was freed kept the header
    // its own freeblock got: the next free offset (0, or past it) and its
    // size. When the neighbour was freed, the two merged, so the old headers
    // chain from cell to cell to the block's end. Walked backwards, every
    // offset whose size reaches the end or another such offset is one. So
    // is a whole cell that does: one freed after its neighbour in front got
    // no header, and the old headers in front of it reach its start.
    if (m_boundariesFound)
        return m_boundaries;
    m_boundariesFound = true;
    const size_t start = m_blockStart, end = m_blockEnd;
    m_reaches.clear();
    if (end <= start + 8)
        return m_boundaries;
    m_reaches.assign(end - start + 1, 0);
    m_reaches[end - start] = kReachedByHeader;
    // The block lies within the page, so its bytes are read directly.
    const uint8_t* bytes = m_blockPage.data;
    auto headerAt = [&](size_t at, size_t* size) {
        *size = size_t(bytes[at + 2]) << 8 | bytes[at + 3];
        const size_t next = size_t(bytes[at]) << 8 | bytes[at + 1];
        return *size >= 4 && at + *size <= end && (next == 0 || next > at);
    };
    // A whole cell is looked for only where header-like bytes end that
    // reach nothing else, once per place: parsing one at every byte would
    // cost more than the rest of the carving. Behind the walk, so whether
    // it reaches the end is known.
    for (size_t at = end - 4; at > start; --at) {
        size_t size = 0;
        if (!headerAt(at, &size))
            continue;
        uint8_t& target = m_reaches[at + size - start];
        if (!(target & (kReaches | kCellTried))) {
            target |= kCellTried;
            if (wholeCellReaches(at + size)) {
                target |= kReachedByCell;
                m_boundaries.push_back(at + size);
            }
        }
        if (target & kReaches) {
            m_reaches[at - start] |= kReachedByHeader;
            m_boundaries.push_back(at);
        }
    }
    std::sort(m_boundaries.begin(), m_boundaries.end());
    return m_boundaries;
}

bool PageCarver::wholeCellReaches(size_t at) {
    // A whole cell of some table starts at `at` and ends at the block's end
    // or at a boundary already found behind it.
    LeafCell cell;
    const size_t start = m_blockStart, end = m_blockEnd;
    if (m_blockPage.u8(at) < 2 || !parseLeafCell(m_blockPage, at, end, m_usable, &cell) ||
        cell.payloadSize < 2 || cell.end > end || !(m_reaches[cell.end - start] & kReaches))
        return false;
    const size_t avail = std::min<size_t>(cell.localSize, end - cell.payloadOffset);
    return parseRecordHeader(m_blockPage.data + cell.payloadOffset, avail, m_maxColumns, &m_scratch,
                             cell.payloadSize) &&
           m_scratch.payloadSize() == cell.payloadSize &&
           bestTable(m_tables, m_scratch, -1, false) >= 0;
}

bool PageCarver::isStaleHeader(size_t at) {
    // As isStaleBoundary, for the boundaries that are freeblock headers.
    if (at <= m_blockStart || at >= m_blockEnd)
        return false;
    staleBoundaries();
    return at - m_blockStart < m_reaches.size() &&
           (m_reaches[at - m_blockStart] & kReachedByHeader) != 0;
}

bool PageCarver::isStaleBoundary(size_t at) {
    // Only inside the block whose boundaries were found; the walk that
    // found them marked each one.
    if (at <= m_blockStart || at >= m_blockEnd)
        return false;
    staleBoundaries();
    return at - m_blockStart < m_reaches.size() && (m_reaches[at - m_blockStart] & kReaches) != 0;
}

bool PageCarver::freedCellAt(ByteView page, size_t at, size_t end, int table) {
    // Any freed-cell layout that fits the table, without looking further.
    Located probe;
    return locateDamaged(page, at, end, table, DamagedGuess::Probe, &probe);
}

bool PageCarver::wholeCellNear(ByteView page, size_t at, size_t limit) {
    // Whether a whole cell starts within the four bytes a freeblock header
    // at `at` would take: then those bytes are zeros or leftovers in front
    // of that cell, not the header of a freed one.
    LeafCell cell;
    for (size_t k = 1; k < 4 && at + k + 4 <= limit; ++k) {
        if (page.u8(at + k) < 2 || !parseLeafCell(page, at + k, limit, m_usable, &cell) ||
            cell.payloadSize < 2)
            continue;
        const size_t avail = std::min<size_t>(cell.localSize, limit - cell.payloadOffset);
        if (parseRecordHeader(page.data + cell.payloadOffset, avail, m_maxColumns, &m_scratch,
                              cell.payloadSize) &&
            m_scratch.payloadSize() == cell.payloadSize &&
            bestTable(m_tables, m_scratch, -1, false) >= 0)
            return true;
    }
    return false;
}

bool PageCarver::locateDamaged(ByteView page, size_t start, size_t end, int table,
                               DamagedGuess guess, Located* found) {
    // The cell was [payload size][rowid][header size][types][body]; its first
    // four bytes are gone. Depending on how long the two leading varints
    // were, the header starts before, at or after byte 4. Each guess must fit
    // the table and end where the block (or the next record) does; the guess
    // whose end agrees best with what follows wins, a whole header before a
    // rebuilt one.
    const bool probe = guess == DamagedGuess::Probe;
    GuessScratch& s = m_guess[probe ? 1 : 0];
    const TableInfo& info = m_tables[size_t(table)];
    const size_t columns = info.columns.size();
    // A row has every column its table had when it was written: rarely less
    // than half of today's (tables grow by ALTER TABLE ADD COLUMN). Only in
    // a page the table owns: elsewhere a short guess fits other tables'
    // records as well, so it must be full width.
    const size_t minColumns = m_ownerKnown ? (columns + 1) / 2 : columns;
    int bestAlign = -1, bestRank = 0;
    size_t bestPayloadStart = 0, bestCount = 0;
    int bestLost = -1; // -1: header whole; 0: its size lost; 1: its size and a NULL type lost
    auto consider = [&](int align, int rank, size_t payloadStart, int lost, size_t count) {
        if (align < bestAlign || (align == bestAlign && rank <= bestRank))
            return;
        bestAlign = align;
        bestRank = rank;
        bestPayloadStart = payloadStart;
        bestLost = lost;
        bestCount = count;
    };

    // The header whole at byte k: k == 4, or further on when the rest of a
    // long rowid varint (continuation bytes, then a last byte) is in front.
    for (size_t k = 4; k <= 13 && start + k < end && bestAlign < kBlockEnd; ++k) {
        if (k > 4) {
            if (page.u8(start + k - 1) >= 0x80)
                continue;
            if (k > 5 && page.u8(start + k - 2) < 0x80)
                break;
        }
        const size_t q = start + k;
        if (!parseRecordHeader(page.data + q, end - q, columns, &s.shape) ||
            s.shape.types.size() < minColumns || shapeScore(info, s.shape) < 0)
            continue;
        const size_t e = recordEnd(q, s.shape.payloadSize(), m_usable);
        if (e > end)
            continue;
        if (probe)
            return true;
        consider(alignment(page, e, end, table, bestAlign), 3, q, -1, 0);
    }

    // The header-size varint lost (and, with a rowid column first, its NULL
    // serial type too): the serial types that follow are read once, then
    // every column count the table allows is tried. A record written before
    // columns were added is shorter than the table: a count too high reads
    // body bytes as types, so only where the end agrees does a count win.
    for (int lost = 0; lost <= (info.aliasColumn == 0 ? 1 : 0) && bestAlign < kBlockEnd; ++lost) {
        s.typeBytes.assign(1, 0);
        s.bodyBytes.assign(1, 0);
        // Columns [0, fitting) accept their serial types.
        size_t fitting = lost;
        size_t at = start + 4;
        while (fitting < columns && at < end) {
            uint64_t type = 0;
            const int n = readVarint(page.data + at, end - at, &type);
            if (n == 0 || !serialTypeValid(type) || !guessAccepts(info.columns[fitting], type))
                break;
            at += size_t(n);
            s.typeBytes.push_back(uint32_t(at - start - 4));
            s.bodyBytes.push_back(s.bodyBytes.back() + serialTypeWidth(type));
            ++fitting;
        }
        for (size_t count = fitting; count >= std::max<size_t>(minColumns, 1 + size_t(lost));
             --count) {
            const size_t read = count - size_t(lost);
            const uint64_t headerSize = 1 + size_t(lost) + s.typeBytes[read];
            const size_t payloadStart = start + 3 - size_t(lost);
            const size_t e = recordEnd(payloadStart, headerSize + s.bodyBytes[read], m_usable);
            if (headerSize > kOneByteHeaderLimit || e > end)
                continue;
            if (probe)
                return true;
            consider(alignment(page, e, end, table, bestAlign), count == columns ? 2 : 1,
                     payloadStart, lost, count);
            if (bestAlign == kBlockEnd)
                break;
        }
    }
    if (probe)
        return info.aliasColumn != 0 &&
               (firstTypeLost(page, start, end, table, false, minColumns, guess, found) ||
                firstTypeLost(page, start, end, table, true, minColumns, guess, found));

    // A guess at a place where a freed cell must start (a freeblock, or
    // right behind a record in one) needs a whole header, every column, or
    // another record right behind it; elsewhere the record must be followed
    // by the block's end or another record.
    auto accepted = [&](int align, int rank) {
        return guess == DamagedGuess::Loose
                   ? align >= kFreedCellNext || rank >= 2
                   : align >= kWholeCellNext || (align == kFreedCellNext && rank >= 2);
    };
    // With a first column other than the rowid, the size and the first
    // serial type were lost together when the payload size and the rowid
    // took a byte each: rebuilt only when nothing better fits.
    // Where both readings end as well, the one that puts values of the
    // kinds the table's live rows hold in each column wins: reading the
    // first body byte as one more serial type shifts every value a column.
    if (info.aliasColumn != 0) {
        Located& rebuilt = m_rebuilt;
        int align = -1;
        if (firstTypeLost(page, start, end, table, false, minColumns, guess, &rebuilt) ||
            firstTypeLost(page, start, end, table, true, minColumns, guess, &rebuilt))
            align = alignment(page, rebuilt.end, end, table);
        bool better = align > bestAlign;
        if (align == bestAlign && align >= 0) {
            RecordShape& other = m_guess[0].shape;
            if (bestLost < 0) {
                parseRecordHeader(page.data + bestPayloadStart, end - bestPayloadStart, columns,
                                  &other);
            } else {
                parseSerialTypes(page.data + start + 4, end - start - 4,
                                 bestCount - size_t(bestLost), &other);
            }
            better = profileScore(info, rebuilt.shape) > profileScore(info, other);
        }
        if (better && accepted(align, 1)) {
            *found = rebuilt;
            return true;
        }
    }
    if (bestAlign < 0 || !accepted(bestAlign, bestRank))
        return false;
    RecordShape& shape = found->shape;
    if (bestLost < 0) {
        parseRecordHeader(page.data + bestPayloadStart, end - bestPayloadStart, columns, &shape);
    } else {
        // The lost NULL type first, then the types as read.
        const size_t read = bestCount - size_t(bestLost);
        parseSerialTypes(page.data + start + 4, end - start - 4, read, &shape);
        if (bestLost)
            shape.types.insert(shape.types.begin(), 0);
        shape.headerSize += 1 + uint32_t(bestLost);
    }
    found->table = table;
    found->rowid.reset();
    found->recordStart = start;
    found->payloadStart = bestPayloadStart;
    found->payloadSize = shape.payloadSize();
    found->end = recordEnd(found->payloadStart, found->payloadSize, m_usable);
    found->evidence = Evidence::DamagedCell;
    found->headerLost = bestLost >= 0;
    found->unknownColumns = 0;
    found->bodyKept = SIZE_MAX;
    return true;
}

bool PageCarver::firstTypeLost(ByteView page, size_t start, size_t end, int table, bool straddling,
                               size_t minColumns, DamagedGuess guess, Located* found) {
    // Payload size and rowid took a byte each, so the freeblock header also
    // took the header size (byte 2) and the first serial type (byte 3), or
    // the first byte of a two-byte one whose second byte (straddling) is
    // byte 4. The other types are read from byte 4 (5); the first column's
    // width is what the cell's end leaves for it, and the column must be
    // able to hold a value that wide. Ends are tried where the cell could
    // end: the block's end, a merged cell's stale header, a whole cell.
    const TableInfo& info = m_tables[size_t(table)];
    const size_t columns = info.columns.size();
    const ColumnInfo& first = info.columns[0];
    if (columns < 2 && straddling)
        return false;
    uint64_t low = 0; // the straddling type's last seven bits
    size_t at = start + 4;
    if (straddling) {
        if (first.affinity != Affinity::Text && first.affinity != Affinity::Blob)
            return false;
        low = page.u8(at++);
        if (low >= 0x80)
            return false;
    }
    const size_t payloadStart = start + 2;
    RecordShape& shape = found->shape;
    shape.types.assign(1, 0);
    uint64_t typeBytes = straddling ? 2 : 1, body = 0;
    int bestAlign = -1;
    uint64_t bestType = 0;
    bool bestKnown = false, tied = false;
    size_t bestColumns = 0;
    // Two widths that end equally well leave every value after the first
    // column in doubt; a text may take any width, so only an end that a
    // whole or freed cell confirms settles it.
    const bool anyWidth = first.affinity == Affinity::Text || first.affinity == Affinity::Blob;
    const int floor = anyWidth && !straddling ? kWholeCellNext : kFreedCellNext;
    while (shape.types.size() <= columns && at <= end) {
        const size_t count = shape.types.size();
        const uint64_t headerSize = 1 + typeBytes;
        if (count >= std::max<size_t>(minColumns, 1) && headerSize <= kOneByteHeaderLimit) {
            // Each width the first column may take, with the end it gives.
            const size_t fixed = payloadStart + size_t(headerSize + body);
            auto tryWidth = [&](uint64_t width) {
                uint64_t type = 0;
                bool known = false;
                const size_t e = fixed + size_t(width);
                if (e > end || !rebuildLostType(first, width, &type, &known))
                    return;
                if (straddling) {
                    type = (low & 1) ? 13 + 2 * width : 12 + 2 * width;
                    if (type < 0x80 || type > 0x3FFF || (type & 0x7F) != low)
                        return;
                    known = true;
                }
                if (guess == DamagedGuess::Probe) {
                    bestAlign = kBlockEnd;
                    return;
                }
                // A freed cell carrying its own header has exactly its size.
                if (guess == DamagedGuess::Strict && e != end && !isStaleBoundary(e))
                    return;
                // Across column counts the wider record wins a tie (a count
                // too low reads a column's type as the first one's width);
                // two widths that end as well within one count are a tie.
                const int align = alignment(page, e, end, table);
                if (align == bestAlign && count == bestColumns) {
                    tied = true;
                } else if (align >= bestAlign) {
                    bestAlign = align;
                    tied = false;
                    bestType = type;
                    bestKnown = known;
                    bestColumns = count;
                }
            };
            if (straddling) {
                // Its width follows from where the cell ends.
                if (end >= fixed)
                    tryWidth(end - fixed);
                for (size_t b : staleBoundaries()) {
                    if (b > fixed && b < end)
                        tryWidth(b - fixed);
                }
            } else if (anyWidth) {
                for (uint64_t w = 0; w <= kOneByteTypeWidth && bestAlign < kBlockEnd; ++w)
                    tryWidth(w);
            } else {
                for (uint64_t w : {0, 1, 2, 3, 4, 6, 8})
                    tryWidth(w);
            }
            if (guess == DamagedGuess::Probe && bestAlign >= 0)
                return true;
        }
        if (count == columns || at >= end)
            break;
        uint64_t type = 0;
        const int n = readVarint(page.data + at, end - at, &type);
        if (n == 0 || !serialTypeValid(type) || !guessAccepts(info.columns[count], type))
            break;
        at += size_t(n);
        typeBytes += uint64_t(n);
        body += serialTypeWidth(type);
        shape.types.push_back(type);
    }
    if (guess == DamagedGuess::Probe || bestAlign < floor || tied)
        return false;
    shape.types.resize(bestColumns);
    shape.types[0] = bestType;
    shape.bodySize = 0;
    uint64_t header = 1;
    for (uint64_t type : shape.types) {
        shape.bodySize += serialTypeWidth(type);
        header += type < 0x80 ? 1 : 2;
    }
    shape.headerSize = uint32_t(header);
    found->table = table;
    found->rowid.reset();
    found->recordStart = start;
    found->payloadStart = payloadStart;
    found->payloadSize = shape.payloadSize();
    found->end = recordEnd(payloadStart, found->payloadSize, m_usable);
    found->evidence = Evidence::DamagedCell;
    found->headerLost = true;
    found->unknownColumns = bestKnown ? 0 : 1;
    found->bodyKept = SIZE_MAX;
    return true;
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
