// The bytes SQLite writes for a row: the record payload (header of serial
// types, then the values) and the part of it a table-leaf cell keeps on its
// page. The ground truth looks for these bytes in a phone's files to tell
// whether a deleted row survives anywhere.
#pragma once

#include "sql_value.h"
#include "table_shape.h"

#include <cstdint>
#include <string>

namespace testdata {

// SQLite's variable-length integer (1 to 9 bytes, big-endian groups of 7 bits).
std::string encodeVarint(uint64_t value);

// The record payload SQLite (file format 4, UTF-8) writes for the first
// `columns` values of `row` in a table of `shape`: the rowid column as NULL,
// 0 and 1 without body bytes, integers in their smallest width, integral
// values of REAL columns as integers when they fit in six bytes.
std::string encodeRecord(const TableShape& shape, const SqlRow& row, size_t columns);

// How many of a payload's `payloadSize` bytes a table-leaf cell keeps on a
// page of `usableSize` bytes; the rest goes to overflow pages.
size_t localPayloadSize(uint64_t payloadSize, uint32_t usableSize);

} // namespace testdata
