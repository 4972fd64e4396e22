#include "sqlite_recovery/value_sanity.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

namespace {

// 1990-01-01 and 2100-01-01 in seconds since 1970.
constexpr int64_t kEarliest = 631152000;
constexpr int64_t kLatest = 4102444800;

// Below this a REAL is not a quantity anyone stores; random bytes read as a
// double (subnormals among them) mostly land far below or far above.
constexpr double kSmallestReal = 1e-18;

// Whether all of the bytes are zero.
bool allZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (p[i] != 0)
            return false;
    }
    return true;
}

// Notes the kinds of value this stored record holds, and raises the REAL
// limits of table's columns to well above the REALs it holds.
void noteColumns(const uint8_t* payload, size_t have, TableInfo* table) {
    RecordShape shape;
    if (!parseRecordHeader(payload, have, table->columns.size(), &shape))
        return;
    uint64_t at = shape.headerSize;
    for (size_t i = 0; i < shape.types.size(); ++i) {
        const uint64_t width = serialTypeWidth(shape.types[i]);
        table->columns[i].seenTypes |= serialTypeClass(shape.types[i]);
        if (shape.types[i] == 7 && at + 8 <= have) {
            const int64_t bits = readSignedBigEndian(payload + at, 8);
            double real = 0;
            std::memcpy(&real, &bits, sizeof real);
            double& limit = table->columns[i].realLimit;
            if (std::isfinite(real) && std::fabs(real) * 1e3 > limit)
                limit = std::fabs(real) >= 1e305 ? HUGE_VAL : std::fabs(real) * 1e3;
        }
        at += width;
    }
}

} // namespace

bool mostlyControl(const uint8_t* p, size_t n) {
    // Control bytes other than tab and line ends. A short text is junk when
    // they make a quarter of it; a longer one when it holds a NUL and some
    // other control byte (looked for only behind a NUL, which memchr finds
    // fast): a real text may hold one odd byte, a record header read as text
    // holds several.
    auto controls = [&](size_t upTo) {
        size_t count = 0;
        for (size_t i = 0; i < upTo; ++i)
            count += p[i] < 0x20 && p[i] != '\t' && p[i] != '\n' && p[i] != '\r';
        return count;
    };
    if (n <= 32)
        return 4 * controls(n) > n;
    return std::memchr(p, 0, n) != nullptr && controls(n) >= 2;
}

bool isTimeColumn(std::string_view name) {
    // By name: the schemas this program reads name their times so.
    // A count named times_... is no time.
    auto has = [&](std::string_view part) { return name.find(part) != std::string_view::npos; };
    return name == "date" || name == "time" || name.starts_with("date_") ||
           name.ends_with("_date") || has("_date_") || name.ends_with("_time") ||
           has("timestamp") || has("last_time");
}

bool plausibleTime(int64_t value) {
    // Seconds or milliseconds, or the markers of an unset time.
    return value == 0 || value == -1 || (value >= kEarliest && value <= kLatest) ||
           (value >= kEarliest * 1000 && value <= kLatest * 1000);
}

bool plausibleRecord(const TableInfo& table, const RecordShape& shape, const uint8_t* body,
                     size_t bodyBytes, uint64_t unknownColumns, bool utf8Texts) {
    // Column by column: does it carry something, is it absurd.
    bool carries = false;
    uint64_t at = 0;
    for (size_t i = 0; i < shape.types.size() && i < table.columns.size(); ++i) {
        const uint64_t type = shape.types[i];
        const uint64_t width = serialTypeWidth(type);
        const uint64_t start = at;
        const bool readable = start <= bodyBytes && width <= bodyBytes - start;
        const uint8_t* p = body + start;
        at += width;
        const ColumnInfo& column = table.columns[i];
        if (column.rowidAlias || (i < 64 && (unknownColumns >> i & 1)))
            continue;
        if (type == 0 || type == 8)
            continue;
        if (type == 9) {
            carries = true;
            continue;
        }
        if (type <= 6) {
            if (!readable)
                continue;
            const int64_t value = readSignedBigEndian(p, size_t(width));
            if (column.holdsTimes && column.affinity != Affinity::Text && !plausibleTime(value))
                return false;
            carries = carries || value != 0;
            continue;
        }
        if (type == 7) {
            if (!readable)
                continue;
            const int64_t bits = readSignedBigEndian(p, 8);
            double real = 0;
            std::memcpy(&real, &bits, sizeof real);
            const double magnitude = std::fabs(real);
            if (!std::isfinite(real) || magnitude > column.realLimit ||
                (real != 0 && magnitude < kSmallestReal))
                return false;
            carries = carries || real != 0;
            continue;
        }
        // A text or a blob: something unless empty or all zero bytes (the
        // part that was read, for one an overflow chain cut).
        const size_t have = readable             ? size_t(width)
                            : start < bodyBytes ? size_t(bodyBytes - start)
                                                : 0;
        if (utf8Texts && (type & 1) && mostlyControl(p, have))
            return false;
        carries = carries || (have > 0 && !allZero(p, have));
    }
    return carries;
}

size_t profileScore(const TableInfo& table, const RecordShape& shape) {
    // Column by column, where anything was seen.
    size_t score = 0;
    for (size_t i = 0; i < shape.types.size() && i < table.columns.size(); ++i)
        score += (table.columns[i].seenTypes & serialTypeClass(shape.types[i])) != 0;
    return score;
}

// The largest rowid of the table b-tree at root: its rightmost leaf's last
// cell, reached through the right children (0 when it cannot be read).
int64_t largestRowidOf(const PageReader& reader, uint32_t root, uint32_t usableSize) {
    uint32_t page = root;
    for (int depth = 0; depth < 40; ++depth) {
        const ByteView view = reader.page(page);
        BtreeHeader header;
        if (!view.data || !readBtreeHeader(view, page, usableSize, &header))
            return 0;
        if (header.type == kTableInteriorPage) {
            page = header.rightChild;
            continue;
        }
        if (header.type != kTableLeafPage || header.cellCount == 0)
            return 0;
        LeafCell cell;
        const size_t at = view.u16(header.pointerArray + 2 * size_t(header.cellCount - 1));
        return parseLeafCell(view, at, usableSize, usableSize, &cell) ? cell.rowid : 0;
    }
    return 0;
}

void learnColumns(const PageReader& reader, uint32_t usableSize, TableInfo* table) {
    // The first rows of the table in rowid order: a sample, not a census.
    constexpr size_t kSampleRows = 256;
    for (ColumnInfo& column : table->columns)
        column.holdsTimes = isTimeColumn(column.name);
    if (table->rootPage == 0 || table->dropped)
        return;
    table->largestRowid = largestRowidOf(reader, table->rootPage, usableSize);
    VisitMarks marks;
    size_t rows = 0;
    walkBtree(reader, table->rootPage, usableSize, marks,
              [&](uint32_t, ByteView view, const BtreeHeader& header) {
                  if (header.type != kTableLeafPage || rows >= kSampleRows)
                      return;
                  std::string payload;
                  forEachLeafPayload(reader, view, header, usableSize, payload,
                                     [&](int64_t, const uint8_t* bytes, size_t have) {
                                         ++rows;
                                         noteColumns(bytes, have, table);
                                     });
              });
}

} // namespace fennaro::deep
