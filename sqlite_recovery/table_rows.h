// The rows of one table b-tree of a snapshot, decoded: the walk behind the
// schema reader, the live-row checks and the callers' live rows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// The rowid and whole payload of cell `index` of a table leaf page: the
// payload in place, or its overflow chain read into payload (fewer bytes
// when the chain is cut). False when the cell does not parse.
inline bool leafCellPayload(const PageReader& reader, ByteView view, const BtreeHeader& header,
                            uint32_t usableSize, uint32_t index, std::string& payload,
                            int64_t* rowid, const uint8_t** bytes, size_t* have) {
    LeafCell cell;
    const uint32_t at = view.u16(header.pointerArray + 2 * size_t(index));
    if (!parseLeafCell(view, at, usableSize, usableSize, &cell))
        return false;
    *rowid = cell.rowid;
    if (cell.payloadSize <= cell.localSize) {
        *bytes = view.data + cell.payloadOffset;
        *have = size_t(cell.localSize);
        return true;
    }
    *have = readPayload(view, cell.payloadOffset, cell.payloadSize, usableSize, &reader, &payload);
    *bytes = reinterpret_cast<const uint8_t*>(payload.data());
    return true;
}

// Calls onPayload(rowid, payload, payloadBytes) for every cell of one table
// leaf page in cell order, as leafCellPayload gives it.
template <typename OnPayload>
void forEachLeafPayload(const PageReader& reader, ByteView view, const BtreeHeader& header,
                        uint32_t usableSize, std::string& payload, OnPayload&& onPayload) {
    int64_t rowid = 0;
    const uint8_t* bytes = nullptr;
    size_t have = 0;
    for (uint32_t i = 0; i < header.cellCount; ++i) {
        if (leafCellPayload(reader, view, header, usableSize, i, payload, &rowid, &bytes, &have))
            onPayload(rowid, bytes, have);
    }
}

// Calls onPayload(rowid, payload, payloadBytes) for every row of the table
// b-tree at root in rowid order, with the record's whole payload (its
// overflow chain read; fewer bytes when the chain is cut), before any of it
// is parsed.
template <typename OnPayload>
void forEachTablePayload(const PageReader& reader, uint32_t root, uint32_t usableSize,
                         VisitMarks& marks, OnPayload&& onPayload) {
    std::string payload;
    walkBtree(reader, root, usableSize, marks,
              [&](uint32_t, ByteView view, const BtreeHeader& header) {
                  if (header.type == kTableLeafPage)
                      forEachLeafPayload(reader, view, header, usableSize, payload, onPayload);
              });
}

// Calls onRow(rowid, shape, body, bodyBytes) for every row of the table
// b-tree at root in rowid order; body points at bodyBytes readable bytes of
// the record's body (fewer than shape.bodySize when an overflow chain is cut)
// and is followed by padding. Cells that do not parse are passed over.
template <typename OnRow>
void forEachTableRow(const PageReader& reader, uint32_t root, uint32_t usableSize,
                     VisitMarks& marks, size_t maxColumns, OnRow&& onRow) {
    RecordShape shape;
    forEachTablePayload(
        reader, root, usableSize, marks, [&](int64_t rowid, const uint8_t* bytes, size_t have) {
            if (parseRecordHeader(bytes, have, maxColumns, &shape))
                onRow(rowid, shape, bytes + shape.headerSize, have - shape.headerSize);
        });
}

// Turns a decoded record into the row SQLite would return: the rowid in the
// INTEGER PRIMARY KEY column (when known), the defaults of the columns a
// short record lacks, whole numbers of REAL columns as reals, texts of a
// UTF-16 database as UTF-8. Columns beyond
// the table's are dropped.
void completeRow(const TableInfo& table, std::optional<int64_t> rowid, uint32_t textEncoding,
                 std::vector<Value>* values);

// The values of some columns of a table row (in the order asked for, NULL
// for a column the table lacks), completed as completeRow does: the rowid in
// the INTEGER PRIMARY KEY column, defaults past a short record's end, REAL
// columns as reals, UTF-16 texts as UTF-8. Other columns are not read.
void selectColumns(const TableInfo& table, const RecordShape& shape, const uint8_t* body,
                   size_t bodyBytes, int64_t rowid, uint32_t textEncoding,
                   const std::vector<int>& columns, std::vector<Value>* values);

// selectColumns straight from a record's payload: the header is read only
// as far as the last column asked for. False when the header is damaged.
bool pickColumns(const TableInfo& table, const uint8_t* payload, size_t payloadBytes, int64_t rowid,
                 uint32_t textEncoding, const std::vector<int>& columns,
                 std::vector<Value>* values);

// A UTF-16 text (little- or big-endian) as UTF-8; broken surrogates become U+FFFD.
std::string utf16ToUtf8(const std::string& bytes, bool bigEndian);

} // namespace fennaro::deep
