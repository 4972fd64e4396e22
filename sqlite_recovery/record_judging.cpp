// Judging a located record: how well its end agrees with the bytes behind
// it, where a cell written later took its tail, and whether its values are
// ones the table holds.
#include "sqlite_recovery/page_carver.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "sqlite_recovery/located_record.h"
#include "sqlite_recovery/table_shape.h"
#include "sqlite_recovery/value_sanity.h"

namespace fennaro::deep {

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
    // Such a P, kept whole on the page, leaves the rowid varint exactly the
    // bytes up to P's body: those and no others carry the continuation bit.
    // Looked at first, that spares parsing the cell at most places.
    const bool localWhole = tableLeafLocalSize(0x7F, m_usable) == 0x7F;
    auto rowidFits = [&](size_t x, size_t payload) {
        const size_t width = end - x - 1 - payload;
        for (size_t i = 1; i < width; ++i) {
            if (page.data[x + i] < 0x80)
                return false;
        }
        return width == 9 || page.data[x + width] < 0x80;
    };
    auto tailCellAt = [&](size_t x) {
        const size_t payload = page.data[x];
        if (localWhole && page.data[x + 1] < 0x80) {
            // A one-byte rowid (text bytes mostly are one): P must reach
            // the end exactly.
            if (payload + x + 2 != end || payload >= 0x80)
                return false;
        } else if (!(payload >= 2 && payload < 0x80 && size_t(end - x - 2 - payload) <= 8 &&
                     (!localWhole || rowidFits(x, payload)))) {
            return false;
        }
        return cellEndingThere(x);
    };
    // Eight places at once: none of them needs a look when no byte there
    // is the P that reaches the end from it and none behind it carries the
    // continuation bit (so every rowid there takes one byte).
    size_t x = near;
    if (localWhole && std::endian::native == std::endian::little && end >= x + 12) {
        const uint64_t ones = ~uint64_t(0) / 255, highs = ones * 0x80;
        uint64_t reaching = 0; // byte i: end - 2 - (x + i), the P that reaches the end
        for (size_t i = 0; i < 8; ++i)
            reaching |= uint64_t(uint8_t(end - 2 - x - i)) << (8 * i);
        for (; x + 12 <= end; x += 8, reaching -= ones * 8) {
            uint64_t leads = 0, behind = 0;
            std::memcpy(&leads, page.data + x, 8);
            std::memcpy(&behind, page.data + x + 1, 8);
            const uint64_t diff = leads ^ reaching;
            if (((diff - ones) & ~diff & highs) == 0 && (behind & highs) == 0)
                continue;
            for (size_t i = 0; i < 8; ++i) {
                if (tailCellAt(x + i))
                    return cutAt(x + i);
            }
        }
    }
    for (; x + 4 <= end; ++x) {
        if (tailCellAt(x))
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

} // namespace fennaro::deep
