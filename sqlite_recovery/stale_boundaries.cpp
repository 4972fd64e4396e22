// The stale boundaries of a freeblock: the starts of the cells freed into
// it before their neighbours were, which kept their own freeblock headers
// (chained to the block's end) or, freed last, their whole cells. A record
// guessed at in the block may end at one of them.
#include "sqlite_recovery/page_carver.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "sqlite_recovery/located_record.h"
#include "sqlite_recovery/table_shape.h"

namespace fennaro::deep {

namespace {

// The bytes among the eight at p that are below the byte repeated in
// `limits` (at most 127), as the top bit of each (on a little-endian
// machine, byte i is bits 8i to 8i + 7). A byte equal to the limit right
// above one below it may be marked too; none below it is missed.
uint64_t bytesBelow(const uint8_t* p, uint64_t limits) {
    uint64_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return (v - limits) & ~v & (~uint64_t(0) / 255 * 0x80);
}

} // namespace

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
    // A size fits in the block only when its high byte is small, and most
    // freed bytes are text, whose bytes are not: eight places are looked at
    // at once, and those whose size byte is not small are passed over.
    const size_t maxHigh = (end - start) >> 8;
    const bool skim = std::endian::native == std::endian::little && maxHigh < 126;
    const uint64_t limits = ~uint64_t(0) / 255 * (maxHigh + 1);
    for (size_t at = end - 4; at > start; --at) {
        if (skim && at > start + 8) {
            // The size bytes of places at - 7 ... at are bytes at - 5 ... at + 2.
            const uint64_t small = bytesBelow(bytes + at - 5, limits);
            if (!small) {
                at -= 7; // the loop takes the eighth
                continue;
            }
            at = at - 7 + size_t(63 - std::countl_zero(small)) / 8;
        }
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

} // namespace fennaro::deep
