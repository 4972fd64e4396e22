// Rebuilding what a freed cell lost to the freeblock header written over
// its first four bytes: where its record header starts, its header size and,
// when those went too, the serial type of its first column.
#include "sqlite_recovery/page_carver.h"

#include <algorithm>

#include "sqlite_recovery/located_record.h"
#include "sqlite_recovery/table_shape.h"
#include "sqlite_recovery/value_sanity.h"

namespace fennaro::deep {

namespace {

// Largest header-size varint the damaged-cell guesses consider: the header
// of a record with a few hundred one-byte serial types.
constexpr uint64_t kOneByteHeaderLimit = 127;

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

} // namespace

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

} // namespace fennaro::deep
