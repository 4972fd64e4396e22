#include "page_carver.h"

#include <algorithm>

#include "table_shape.h"

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
};

namespace {

// Largest header-size varint the damaged-cell guesses consider: the header
// of a record with a few hundred one-byte serial types.
constexpr uint64_t kOneByteHeaderLimit = 127;

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

} // namespace

PageCarver::PageCarver(const std::vector<TableInfo>& tables, uint32_t usableSize, RecordSink& sink)
    : m_tables(tables), m_usable(usableSize), m_sink(sink), m_foundSlot(new Located()),
      m_found(*m_foundSlot) {
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
    if (gapEnd > header.pointerArrayEnd)
        scanRegion(page, header.pointerArrayEnd, gapEnd, table, version);
}

void PageCarver::carveInterior(ByteView page, const BtreeHeader& header, int table,
                               const VersionInfo& version) {
    // Whole cells only: the freeblocks of an interior page held interior cells.
    const size_t gapEnd = interiorLeftoversEnd(page, header, std::min<size_t>(m_usable, page.size));
    size_t at = header.pointerArrayEnd;
    Located& found = m_found;
    while (at + 4 <= gapEnd) {
        if (tryWholeCell(page, at, gapEnd, table, Evidence::ScannedCell, &found)) {
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
    // take records shorter than itself.
    m_ownerKnown = false;
    scanRegion(page, from, to, table, version);
    m_ownerKnown = true;
}

int PageCarver::attributeLeaf(ByteView page, const BtreeHeader& header,
                              const std::vector<int>& candidates) {
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
    return 2 * bestCount > shapes.size() ? best : -1;
}

void PageCarver::carveFreeblock(ByteView page, size_t start, size_t end, int table,
                                const VersionInfo& version) {
    // The freed cell at the block's start lost its first four bytes to the
    // freeblock header. Cells freed before it and merged in behind it lost
    // theirs to their own freeblock headers; a cell merged in that was freed
    // after its neighbour is whole. Record follows record to the block's end.
    Located& found = m_found;
    size_t at = start;
    bool first = true;
    while (at + 4 <= end) {
        if (!first && tryWholeCell(page, at, end, table, Evidence::ScannedCell, &found)) {
            emit(page, found, version);
        } else if (table >= 0 && locateDamaged(page, at, end, table, DamagedGuess::Loose, &found)) {
            emit(page, found, version);
        } else {
            break;
        }
        at = found.end;
        first = false;
    }
    scanRegion(page, first ? start + 4 : at, end, table, version);
}

void PageCarver::scanRegion(ByteView page, size_t from, size_t to, int table,
                            const VersionInfo& version) {
    // At every byte: a whole cell, or a freed cell that still carries the
    // freeblock header it was given (its size must match the record).
    Located& found = m_found;
    size_t at = from;
    while (at + 4 <= to) {
        if (tryWholeCell(page, at, to, table, Evidence::ScannedCell, &found)) {
            emit(page, found, version);
            at = found.end;
            continue;
        }
        if (table >= 0) {
            const uint32_t size = page.u16(at + 2);
            const uint32_t next = page.u16(at);
            if (size >= 4 && at + size <= to && (next == 0 || next >= at + size) &&
                locateDamaged(page, at, at + size, table, DamagedGuess::Strict, &found)) {
                emit(page, found, version);
                at = found.end;
                continue;
            }
        }
        ++at;
    }
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
    return true;
}

int PageCarver::alignment(ByteView page, size_t at, size_t end, int table) {
    // 3: the record fills the block; 2: another record, whole or freed,
    // starts right behind it; 1: only a sliver too small for a cell is left;
    // 0: none of these.
    if (at == end)
        return 3;
    if (end - at < 4)
        return 1;
    LeafCell cell;
    if (parseLeafCell(page, at, end, m_usable, &cell) && cell.payloadSize >= 2 &&
        parseRecordHeader(page.data + cell.payloadOffset,
                          std::min<size_t>(cell.localSize, end - cell.payloadOffset), m_maxColumns,
                          &m_scratch) &&
        m_scratch.payloadSize() == cell.payloadSize)
        return 2;
    return freedCellAt(page, at, end, table) ? 2 : 0;
}

bool PageCarver::freedCellAt(ByteView page, size_t at, size_t end, int table) {
    // Any freed-cell layout that fits the table, without looking further.
    Located probe;
    return locateDamaged(page, at, end, table, DamagedGuess::Probe, &probe);
}

bool PageCarver::locateDamaged(ByteView page, size_t start, size_t end, int table,
                               DamagedGuess guess, Located* found) {
    // The cell was [payload size][rowid][header size][types][body]; its first
    // four bytes are gone. Depending on how long the two leading varints
    // were, the header starts before, at or after byte 4. Each guess must fit
    // the table and end where the block (or the next record) does.
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
    for (size_t k = 4; k <= 13 && start + k < end && bestAlign < 3; ++k) {
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
        consider(alignment(page, e, end, table), 3, q, -1, 0);
    }

    // The header-size varint lost (and, with a rowid column first, its NULL
    // serial type too): the serial types that follow are read once, then
    // every column count the table allows is tried, widest first.
    for (int lost = 0; lost <= (info.aliasColumn == 0 ? 1 : 0) && bestAlign < 3; ++lost) {
        s.typeBytes.assign(1, 0);
        s.bodyBytes.assign(1, 0);
        // Columns [0, fitting) accept their serial types.
        size_t fitting = lost;
        size_t at = start + 4;
        while (fitting < columns && at < end) {
            uint64_t type = 0;
            const int n = readVarint(page.data + at, end - at, &type);
            if (n == 0 || !serialTypeValid(type) || !columnAccepts(info.columns[fitting], type))
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
            const int rank = count == columns ? 2 : 1;
            if (bestAlign >= 2 && rank <= bestRank)
                break;
            consider(alignment(page, e, end, table), rank, payloadStart, lost, count);
            if (bestAlign == 3)
                break;
        }
    }
    if (probe)
        return false;

    // A guess at a place where a freed cell must start (a freeblock, or
    // right behind a record in one) needs a whole header, every column, or
    // another record right behind it; elsewhere the record must be followed
    // by the block's end or another record.
    const bool accepted =
        guess == DamagedGuess::Loose ? bestAlign >= 2 || bestRank >= 2 : bestAlign >= 2;
    if (bestAlign < 0 || !accepted)
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
    const uint32_t header = found.shape.headerSize;
    if (found.payloadSize <= tableLeafLocalSize(found.payloadSize, m_usable)) {
        record.body = page.data + found.payloadStart + header;
        record.bodyBytes = size_t(found.shape.bodySize);
    } else {
        const size_t have = readPayload(page, found.payloadStart, found.payloadSize, m_usable,
                                        version.overflowReader, &m_payload);
        record.body = reinterpret_cast<const uint8_t*>(m_payload.data()) + header;
        record.bodyBytes = have > header ? have - header : 0;
        if (have < header)
            record.body = reinterpret_cast<const uint8_t*>(m_payload.data());
    }
    m_sink.add(record, version);
}

} // namespace fennaro::deep
