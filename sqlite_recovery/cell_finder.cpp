// Finding cells in a page's free bytes: the cells a freeblock holds, one
// after the other to its end, every whole or freed cell a region of free
// bytes keeps, and whether a whole cell starts at a given byte.
#include "sqlite_recovery/page_carver.h"

#include <algorithm>

#include "sqlite_recovery/located_record.h"
#include "sqlite_recovery/table_shape.h"

namespace fennaro::deep {

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

} // namespace fennaro::deep
