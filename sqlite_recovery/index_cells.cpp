#include "sqlite_recovery/index_cells.h"

#include <algorithm>
#include <optional>
#include <string>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

namespace {

// Serial types a rowid can have: the integer ones.
bool rowidType(uint64_t type) {
    return (type >= 1 && type <= 6) || type == 8 || type == 9;
}

// True when a value of this serial type can stand in a column of this
// affinity (numbers stay numbers in numeric columns, texts in text ones).
bool typeSuits(uint64_t type, Affinity affinity) {
    switch (affinity) {
    case Affinity::Integer:
    case Affinity::Real:
    case Affinity::Numeric:
        return type <= 9;
    case Affinity::Text:
        return type == 0 || serialTypeIsText(type);
    case Affinity::Blob:
        return true;
    }
    return true;
}

// True when bytes are well-formed UTF-8.
bool validUtf8(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = uint8_t(bytes[i]);
        const size_t more = c < 0x80         ? 0
                            : (c >> 5) == 6  ? 1
                            : (c >> 4) == 14 ? 2
                            : (c >> 3) == 30 ? 3
                                             : 9;
        if (more == 9 || i + more >= bytes.size())
            return false;
        for (size_t k = 1; k <= more; ++k) {
            if ((uint8_t(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += more + 1;
    }
    return true;
}

// True when SQLite would have stored v with exactly this integer serial
// type: it always takes the narrowest that holds the value.
bool narrowestInteger(int64_t v, uint64_t type) {
    static const int kBits[] = {0, 8, 16, 24, 32, 48, 64};
    if (type < 1 || type > 6)
        return true;
    auto fits = [v](int bits) {
        if (bits >= 64)
            return true;
        const int64_t limit = int64_t(1) << (bits - 1);
        return v >= -limit && v < limit;
    };
    return fits(kBits[type]) && (type == 1 || !fits(kBits[type - 1]));
}

// Gives decoded values the form they are reported in: texts of a UTF-16
// database as UTF-8, whole numbers of REAL columns as reals.
void finishTerms(const IndexShape& shape, std::vector<Value>* values) {
    for (size_t i = 0; i < values->size() && i < shape.terms.size(); ++i) {
        Value& v = (*values)[i];
        if (shape.terms[i] == Affinity::Real && v.kind == Value::Kind::Integer)
            v = Value::ofReal(double(v.integer));
        if ((shape.textEncoding == 2 || shape.textEncoding == 3) && v.kind == Value::Kind::Text)
            v.bytes = utf16ToUtf8(v.bytes, shape.textEncoding == 3);
    }
}

// One index cell as its header says: where its payload starts and how much
// of it the page keeps.
struct IndexCell {
    uint64_t payloadSize = 0;
    size_t payloadOffset = 0;
    uint32_t local = 0;
    size_t end = 0;
};

// Parses the index cell at offset (after the child page number on interior
// pages), which must end by limit.
bool parseIndexCell(ByteView page, size_t offset, size_t limit, uint32_t usableSize, bool interior,
                    IndexCell* cell) {
    limit = std::min({limit, page.size, size_t(usableSize)});
    const size_t start = offset + (interior ? 4 : 0);
    if (start >= limit)
        return false;
    uint64_t payloadSize = 0;
    const int length = readVarint(page.data + start, limit - start, &payloadSize);
    if (length == 0 || payloadSize == 0 || payloadSize > kMaxPayloadSize)
        return false;
    cell->payloadSize = payloadSize;
    cell->payloadOffset = start + size_t(length);
    cell->local = indexLocalSize(payloadSize, usableSize);
    cell->end = cell->payloadOffset + cell->local + (payloadSize > cell->local ? 4 : 0);
    return cell->end <= limit;
}

// Decodes the cell at offset into out when its record is one of shape's;
// its whole payload is needed (the rowid comes last).
bool decodeCellAt(ByteView page, size_t offset, size_t limit, uint32_t usableSize, bool interior,
                  const IndexShape& shape, const PageReader* overflow, bool strict,
                  std::string& buffer, IndexEntry* entry, size_t* end) {
    IndexCell cell;
    if (!parseIndexCell(page, offset, limit, usableSize, interior, &cell))
        return false;
    // A header holds one to nine bytes per column and its own size: most
    // offsets of free bytes fail here, before anything is decoded.
    const size_t columns = shape.terms.size() + 1;
    uint64_t headerSize = 0;
    if (readVarint(page, cell.payloadOffset, &headerSize) == 0 || headerSize < columns + 1 ||
        headerSize > cell.payloadSize || headerSize > 9 * columns + 3)
        return false;
    const uint8_t* payload = page.data + cell.payloadOffset;
    if (cell.payloadSize > cell.local) {
        if (!overflow)
            return false;
        const size_t have = readPayloadWithLocal(page, cell.payloadOffset, cell.payloadSize,
                                                 cell.local, usableSize, overflow, &buffer);
        if (have != cell.payloadSize)
            return false;
        payload = reinterpret_cast<const uint8_t*>(buffer.data());
    }
    if (!decodeIndexRecord(payload, size_t(cell.payloadSize), shape, strict, entry))
        return false;
    entry->offset = offset;
    *end = cell.end;
    return true;
}

// A serial type a lost header byte may have held, for a value of `width`
// body bytes; unknownValue when the type (and so the value) stays open.
struct LostType {
    uint64_t type;
    uint64_t width;
    bool unknownValue;
};

// The one-byte serial types of width body bytes a term of this affinity
// (or the rowid, when rowid is set) can have.
std::vector<LostType> lostTypes(uint64_t width, Affinity affinity, bool rowid) {
    static const uint64_t kIntegerOfWidth[9] = {0, 1, 2, 3, 4, 0, 5, 0, 6};
    std::vector<LostType> out;
    const bool numeric = affinity == Affinity::Integer || affinity == Affinity::Real ||
                         affinity == Affinity::Numeric;
    if (rowid) {
        if (width >= 1 && width <= 8 && kIntegerOfWidth[width] != 0)
            out.push_back({kIntegerOfWidth[width], width, false});
        return out;
    }
    if (width == 0)
        return out; // NULL, 0, 1 or an empty text: the bytes cannot tell

    if (numeric || affinity == Affinity::Blob) {
        if (width <= 8 && kIntegerOfWidth[width] != 0)
            out.push_back({kIntegerOfWidth[width], width, false});
        if (width == 8)
            out.push_back({7, 8, false});
    }
    if ((affinity == Affinity::Text || affinity == Affinity::Blob) && 13 + 2 * width <= 127)
        out.push_back({13 + 2 * width, width, false});
    if (affinity == Affinity::Blob && 12 + 2 * width <= 127)
        out.push_back({12 + 2 * width, width, false});
    return out;
}

// The readings of a freed leaf cell at f that filled exactly size bytes.
void rebuildFreedCell(ByteView page, size_t f, size_t size, uint32_t usableSize,
                      const IndexShape& shape, std::vector<IndexEntry>* readings) {
    const size_t n = shape.terms.size() + 1;
    // The payload size varint took L bytes and the header size one: the
    // first 3 - L serial types (one byte each) went with them.
    for (size_t L = 1; L <= 3; ++L) {
        const size_t lost = 3 - L;
        if (lost > n || size <= L)
            continue;
        const uint64_t payloadSize = size - L;
        const size_t varintLength = payloadSize < 0x80 ? 1 : payloadSize < 0x4000 ? 2 : 3;
        if (varintLength != L || indexLocalSize(payloadSize, usableSize) != payloadSize)
            continue;
        RecordShape known;
        if (n > lost) {
            if (!parseSerialTypes(page.data + f + 4, size - 4, n - lost, &known))
                continue;
        } else {
            known.headerSize = 0;
            known.bodySize = 0;
        }
        const uint64_t headerSize = 1 + lost + known.headerSize;
        if (headerSize >= 0x80 || headerSize + known.bodySize > payloadSize)
            continue;
        const uint64_t lostWidth = payloadSize - headerSize - known.bodySize;
        if (lost == 0 && lostWidth != 0)
            continue;
        auto affinityOf = [&](size_t i) {
            return i < shape.terms.size() ? shape.terms[i] : Affinity::Integer;
        };
        // Every way to split lostWidth among the lost types.
        std::vector<std::vector<LostType>> choices;
        if (lost == 0)
            choices.push_back({});
        for (uint64_t w0 = 0; lost > 0 && w0 <= lostWidth; ++w0) {
            if (lost == 1 && w0 != lostWidth)
                continue;
            for (const LostType& a : lostTypes(w0, affinityOf(0), n == 1)) {
                if (lost == 1) {
                    choices.push_back({a});
                    continue;
                }
                for (const LostType& b : lostTypes(lostWidth - w0, affinityOf(1), n == 2))
                    choices.push_back({a, b});
            }
        }
        for (const std::vector<LostType>& choice : choices) {
            RecordShape record;
            record.headerSize = uint32_t(headerSize);
            for (const LostType& t : choice)
                record.types.push_back(t.type);
            record.types.insert(record.types.end(), known.types.begin(), known.types.end());
            if (!rowidType(record.types.back()))
                continue;
            const uint8_t* bytes = page.data + f + L + headerSize;
            IndexEntry entry;
            entry.offset = f;
            entry.place = EntryPlace::Freeblock;
            entry.rebuilt = lost > 0;
            uint64_t at = 0;
            bool good = true;
            std::vector<Value> values;
            for (size_t i = 0; i < n && good; ++i) {
                const uint64_t type = record.types[i];
                const uint64_t width = i < choice.size() ? choice[i].width : serialTypeWidth(type);
                const Value v = decodeValue(type, bytes + at, payloadSize - headerSize - at);
                if (i < choice.size()) {
                    if (v.kind == Value::Kind::Integer && !narrowestInteger(v.integer, type))
                        good = false;
                    else if (v.kind == Value::Kind::Text && shape.textEncoding == 1 &&
                             !validUtf8(v.bytes))
                        good = false;
                    else if (v.kind == Value::Kind::Text && shape.textEncoding != 1)
                        good = false; // any even split of UTF-16 bytes reads as text
                }
                if (i + 1 < n && !typeSuits(type, affinityOf(i)))
                    good = false;
                values.push_back(v);
                entry.known.push_back(!(i < choice.size() && choice[i].unknownValue));
                at += width;
            }
            if (!good || values.back().kind != Value::Kind::Integer || values.back().integer <= 0)
                continue;
            entry.rowid = values.back().integer;
            values.pop_back();
            entry.known.pop_back();
            finishTerms(shape, &values);
            for (size_t i = 0; i < values.size(); ++i) {
                if (!entry.known[i])
                    values[i] = Value::null();
            }
            entry.terms = std::move(values);
            readings->push_back(std::move(entry));
        }
    }
}

// True when two readings give the same entry.
bool sameReading(const IndexEntry& a, const IndexEntry& b) {
    return a.rowid == b.rowid && a.terms == b.terms && a.known == b.known;
}

// Calls visit(offset, size) for each freeblock of a page. The chain runs
// forward through the page; a block that goes back, overlaps the pointer
// array or leaves the page ends it.
template <typename Visit>
void forEachFreeblock(ByteView page, const BtreeHeader& header, size_t limit, Visit&& visit) {
    size_t f = header.firstFreeblock;
    size_t previous = 0;
    while (f != 0 && f > previous && f >= header.pointerArrayEnd && f + 4 <= limit) {
        const size_t size = page.u16(f + 2);
        if (size < 4 || f + size > limit)
            return;
        visit(f, size);
        previous = f;
        f = page.u16(f);
    }
}

// Where the page's listed cells and freeblocks start, and where its usable
// bytes end: the places a cell of free bytes may end at.
std::vector<size_t> cellBoundaries(ByteView page, const BtreeHeader& header, size_t limit) {
    std::vector<size_t> at{limit};
    for (uint32_t i = 0; i < header.cellCount; ++i)
        at.push_back(page.u16(header.pointerArray + 2 * size_t(i)));
    forEachFreeblock(page, header, limit, [&](size_t f, size_t) { at.push_back(f); });
    return at;
}

// A whole cell found in free bytes.
struct Carved {
    size_t start = 0, end = 0;
    IndexEntry entry;
};

// The whole cells of shape in the free bytes [from, to) of a page, read as
// leaf cells (an interior cell is a leaf cell behind a child page number,
// and a page that turned from leaf to interior keeps leaf cells there).
// Cells of an old layout lie end to end: a reading is believed when it ends
// where another cell, a freeblock, a listed cell or the free bytes end.
std::vector<Carved> carveFreeBytes(ByteView page, size_t from, size_t to, uint32_t usableSize,
                                   const IndexShape& shape, const PageReader* overflow,
                                   std::string& buffer, const std::vector<size_t>& boundaries,
                                   bool interior) {
    std::vector<Carved> all;
    Carved carved;
    for (size_t at = from; at < to && all.size() < 4096; ++at) {
        if (decodeCellAt(page, at, to, usableSize, false, shape, overflow, true, buffer,
                         &carved.entry, &carved.end)) {
            carved.start = at;
            all.push_back(carved);
        }
    }
    auto overlaps = [](const Carved& a, const Carved& b) {
        return a.start < b.end && b.start < a.end;
    };
    // Up to three bytes may follow a cell: a fragment, the rest of a
    // freeblock too small to be one, which SQLite joins to freed neighbours.
    auto meets = [](size_t end, size_t at) { return at >= end && at - end <= 3; };
    auto meetsCell = [&](size_t end) {
        // Another carved cell must start right there: allowing slack there
        // lets a cell whose tail a newer cell's first bytes overwrote pass
        // for whole. On an interior page the next cell starts four bytes on,
        // past its child page number; one right at the end is believed only
        // when the four bytes before it cannot be a child page number (a
        // page of leaf cells that turned interior).
        const bool childBefore = interior && page.u32(end - 4) < 0x10000;
        return meets(end, to) ||
               std::any_of(boundaries.begin(), boundaries.end(),
                           [&](size_t b) { return meets(end, b); }) ||
               std::any_of(all.begin(), all.end(), [&](const Carved& o) {
                   return (o.start == end && !childBefore) || (interior && o.start == end + 4);
               });
    };
    // Or a freed cell whose first four bytes an old freeblock header took:
    // the header's size leads on to where the next thing starts.
    auto chained = [&](const Carved& c) {
        size_t at = c.end;
        for (int hop = 0; hop < 64; ++hop) {
            if (meetsCell(at))
                return true;
            const size_t next = page.u16(at), size = page.u16(at + 2);
            if (size < 4 || at + size > to || (next != 0 && next <= at))
                return false;
            at += size;
        }
        return false;
    };
    // A cell whose end meets nothing may be one whose tail a newer cell
    // overwrote, and a text cut that way still reads as text: such a
    // reading is not believed.
    std::vector<Carved> kept;
    for (size_t i = 0; i < all.size(); ++i) {
        const bool clash = std::any_of(kept.begin(), kept.end(),
                                       [&](const Carved& k) { return overlaps(k, all[i]); });
        if (!clash && chained(all[i]))
            kept.push_back(std::move(all[i]));
    }
    return kept;
}

// The reading of the freed leaf cell of exactly size bytes at f, when the
// bytes leave only one (or seen settles between them).
std::optional<IndexEntry> rebuildOne(ByteView page, size_t f, size_t size, uint32_t usableSize,
                                     const IndexShape& shape,
                                     const std::vector<std::set<int64_t>>* seen) {
    std::vector<IndexEntry> readings;
    rebuildFreedCell(page, f, size, usableSize, shape, &readings);
    // Readings that agree count once.
    std::vector<IndexEntry> distinct;
    for (IndexEntry& r : readings) {
        if (std::none_of(distinct.begin(), distinct.end(),
                         [&](const IndexEntry& d) { return sameReading(d, r); }))
            distinct.push_back(std::move(r));
    }
    if (distinct.size() > 1 && seen) {
        // Keep the readings whose integers the index holds elsewhere.
        std::vector<IndexEntry> backed;
        for (IndexEntry& r : distinct) {
            bool all = true;
            for (size_t i = 0; i < r.terms.size() && i < seen->size(); ++i) {
                // Whole entries that hold only integers back no real either.
                const Value& v = r.terms[i];
                if (r.known[i] && !(*seen)[i].empty() &&
                    ((v.kind == Value::Kind::Integer && !(*seen)[i].count(v.integer)) ||
                     v.kind == Value::Kind::Real))
                    all = false;
            }
            if (all)
                backed.push_back(std::move(r));
        }
        distinct = std::move(backed);
    }
    if (distinct.size() != 1)
        return std::nullopt;
    return std::move(distinct[0]);
}

} // namespace

bool decodeIndexRecord(const uint8_t* payload, size_t payloadBytes, const IndexShape& shape,
                       bool strict, IndexEntry* entry) {
    // Exactly the index's terms and the rowid, ending where the payload does.
    const size_t n = shape.terms.size() + 1;
    RecordShape record;
    if (!parseRecordHeader(payload, payloadBytes, n, &record) || record.types.size() != n ||
        record.payloadSize() != payloadBytes || !rowidType(record.types.back()))
        return false;
    for (size_t i = 0; strict && i + 1 < n; ++i) {
        if (!typeSuits(record.types[i], shape.terms[i]))
            return false;
        // SQLite stores whole UTF-16 code units.
        if (shape.textEncoding != 1 && serialTypeIsText(record.types[i]) &&
            serialTypeWidth(record.types[i]) % 2 != 0)
            return false;
    }
    std::vector<Value> values;
    decodeRecordBody(record, payload + record.headerSize, payloadBytes - record.headerSize,
                     &values);
    for (size_t i = 0; strict && shape.textEncoding == 1 && i < values.size(); ++i) {
        // A text a newer cell partly overwrote rarely stays valid UTF-8.
        if (values[i].kind == Value::Kind::Text && !validUtf8(values[i].bytes))
            return false;
    }
    if (values.size() != n || values.back().kind != Value::Kind::Integer)
        return false;
    entry->rowid = values.back().integer;
    if (strict && entry->rowid <= 0)
        return false;
    values.pop_back();
    finishTerms(shape, &values);
    entry->terms = std::move(values);
    entry->known.assign(entry->terms.size(), true);
    return true;
}

void wholeIndexEntries(ByteView page, uint32_t pageNumber, uint32_t usableSize,
                       const IndexShape& shape, const PageReader* overflow,
                       std::vector<IndexEntry>* out) {
    // The listed cells as they are; then the unallocated space between the
    // pointer array and the cell content, offset by offset, strictly.
    BtreeHeader header;
    if (!page.data || !readBtreeHeader(page, pageNumber, usableSize, &header) ||
        (header.type != kIndexLeafPage && header.type != kIndexInteriorPage))
        return;
    const bool interior = header.type == kIndexInteriorPage;
    std::string buffer;
    IndexEntry entry;
    size_t end = 0;
    for (uint32_t i = 0; i < header.cellCount; ++i) {
        const uint32_t at = page.u16(header.pointerArray + 2 * size_t(i));
        if (at < header.pointerArrayEnd)
            continue;
        if (decodeCellAt(page, at, usableSize, usableSize, interior, shape, overflow, false, buffer,
                         &entry, &end)) {
            entry.place = EntryPlace::Listed;
            out->push_back(entry);
        }
    }
    // The unallocated space, and the bytes of each freeblock after the four
    // its header took: a cell freed next to the block before it was merged
    // into it without a header of its own, and is whole.
    const size_t limit = std::min(size_t(usableSize), page.size);
    const size_t gapEnd = std::min(size_t(header.contentStart), limit);
    const std::vector<size_t> boundaries = cellBoundaries(page, header, limit);
    auto carve = [&](size_t from, size_t to, EntryPlace place) {
        for (Carved& c : carveFreeBytes(page, from, to, usableSize, shape, overflow, buffer,
                                        boundaries, interior)) {
            c.entry.offset = c.start;
            c.entry.place = place;
            out->push_back(std::move(c.entry));
        }
    };
    carve(header.pointerArrayEnd, gapEnd, EntryPlace::Unallocated);
    forEachFreeblock(page, header, limit,
                     [&](size_t f, size_t size) { carve(f + 4, f + size, EntryPlace::Freeblock); });
}

void freedIndexEntries(ByteView page, uint32_t pageNumber, uint32_t usableSize,
                       const IndexShape& shape, const std::vector<std::set<int64_t>>* seen,
                       std::vector<IndexEntry>* out) {
    // The freeblock chain runs forward through the page; a block that goes
    // back, overlaps the pointer array or leaves the page ends it.
    BtreeHeader header;
    if (!page.data || !readBtreeHeader(page, pageNumber, usableSize, &header) ||
        (header.type != kIndexLeafPage && header.type != kIndexInteriorPage))
        return;
    if (header.type != kIndexLeafPage)
        return; // an interior cell loses only its child page number: it is whole
    const size_t limit = std::min(size_t(usableSize), page.size);
    const std::vector<size_t> boundaries = cellBoundaries(page, header, limit);
    std::string buffer;
    forEachFreeblock(page, header, limit, [&](size_t f, size_t size) {
        // A block may hold several freed cells: whole ones (merged into the
        // block before them without a header) and ones that kept the header
        // they had as a block of their own, whose size field still says
        // how long the cell was. The block's own size is the first cell's
        // only when nothing else is inside.
        const size_t end = f + size;
        const std::vector<Carved> whole =
            carveFreeBytes(page, f + 4, end, usableSize, shape, nullptr, buffer, boundaries, false);
        std::vector<size_t> ends{end};
        for (const Carved& c : whole)
            ends.push_back(c.start);
        std::vector<std::pair<size_t, size_t>> kept; // (start, size), found from the back
        for (size_t x = end >= 8 ? end - 8 : 0; x > f + 4; --x) {
            const bool inWhole = std::any_of(whole.begin(), whole.end(), [&](const Carved& c) {
                return c.start <= x && x < c.end;
            });
            const size_t next = page.u16(x), cell = page.u16(x + 2);
            // Its size may have taken in up to three fragment bytes after it.
            auto leadsTo = [&](size_t e) { return e >= x + cell && e - (x + cell) <= 3; };
            if (inWhole || cell < 5 || x + cell > end || (next != 0 && next <= x) ||
                std::none_of(ends.begin(), ends.end(), leadsTo))
                continue;
            kept.emplace_back(x, cell);
            ends.push_back(x);
        }
        // Four bytes that read as such a header may be any bytes, and a run
        // of a cell's own bytes can pass for one between two whole cells.
        // So only a block of two freed cells is split there: its first cell
        // in the room before the header, its second in the room the header
        // gives, each read one way only.
        if (whole.empty() && kept.size() == 1) {
            const auto [x, cell] = kept.front();
            std::optional<IndexEntry> head = rebuildOne(page, f, x - f, usableSize, shape, seen);
            std::optional<IndexEntry> tail = rebuildOne(page, x, cell, usableSize, shape, seen);
            if (head && tail && x + cell == end) {
                out->push_back(std::move(*head));
                out->push_back(std::move(*tail));
            }
        }
        if (ends.size() == 1) {
            if (std::optional<IndexEntry> reading =
                    rebuildOne(page, f, size, usableSize, shape, seen))
                out->push_back(std::move(*reading));
        }
    });
}

void carvedIndexEntries(ByteView page, size_t from, size_t to, uint32_t usableSize,
                        const IndexShape& shape, std::vector<IndexEntry>* out) {
    // Free bytes like any other, strictly, without overflow chains.
    std::string buffer;
    to = std::min({to, size_t(usableSize), page.size});
    for (Carved& c :
         carveFreeBytes(page, from, to, usableSize, shape, nullptr, buffer, {}, false)) {
        c.entry.offset = c.start;
        c.entry.place = EntryPlace::Unallocated;
        out->push_back(std::move(c.entry));
    }
}

bool pageFitsIndex(ByteView page, uint32_t pageNumber, uint32_t usableSize,
                   const IndexShape& shape) {
    // Every listed cell that keeps its payload on the page must fit.
    BtreeHeader header;
    if (!page.data || !readBtreeHeader(page, pageNumber, usableSize, &header) ||
        (header.type != kIndexLeafPage && header.type != kIndexInteriorPage))
        return false;
    const bool interior = header.type == kIndexInteriorPage;
    std::string buffer;
    IndexEntry entry;
    size_t fitting = 0, end = 0;
    for (uint32_t i = 0; i < header.cellCount; ++i) {
        const uint32_t at = page.u16(header.pointerArray + 2 * size_t(i));
        IndexCell cell;
        if (at < header.pointerArrayEnd ||
            !parseIndexCell(page, at, usableSize, usableSize, interior, &cell))
            return false;
        if (cell.payloadSize > cell.local)
            continue;
        if (!decodeCellAt(page, at, usableSize, usableSize, interior, shape, nullptr, true, buffer,
                          &entry, &end))
            return false;
        ++fitting;
    }
    return fitting > 0;
}

} // namespace fennaro::deep
