// Whether the values of a record carved out of free bytes are ones a row of
// its table could hold. Free bytes are full of things that parse as a
// record: zeroed space, leftover cell pointers, pieces of other records.
// Such a parse gives values no one wrote: nothing but NULLs and zeros, a
// REAL of 1e68, a date in the year 40000.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sqlite_recovery/page_snapshot.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// Whether a text is made of what zeroed space and record headers read as
// a text hold rather than of what people write: a short one mostly control
// bytes (NUL and the like; tabs and line ends aside), a longer one a NUL
// with another control byte. A real text may hold one odd byte, and stays.
bool mostlyControl(const uint8_t* p, size_t n);

// Whether a column holds dates or times (date, date_sent, timestamp,
// last_time_used...), in seconds or milliseconds since 1970.
bool isTimeColumn(std::string_view name);

// Whether a stored time is one a device could have written: 0 or -1 (unset),
// or a moment from 1990 to 2100 in seconds or in milliseconds.
bool plausibleTime(int64_t value);

// Whether a carved record of table (its serial types in shape, body with
// bodyBytes readable bytes) holds at least one value that carries something
// and no value its column's kind makes absurd. Columns in unknownColumns
// (bit i for column i) and the rowid column are not judged.
// A text of a UTF-8 database (utf8Texts) that is mostly control bytes is
// absurd: no one types them, and zeroed space read as a text holds little else.
bool plausibleRecord(const TableInfo& table, const RecordShape& shape, const uint8_t* body,
                     size_t bodyBytes, uint64_t unknownColumns, bool utf8Texts = true);

// Learns from a sample of the table's live rows in reader what its columns
// hold: the kinds of value (seenTypes), and REAL limits raised to what the
// rows hold, so a column of huge reals keeps its deleted ones.
void learnColumns(const PageReader& reader, uint32_t usableSize, TableInfo* table);

// How many of the record's serial types are of a kind its column's live
// rows hold (0 when nothing was learnt of the table).
size_t profileScore(const TableInfo& table, const RecordShape& shape);

} // namespace fennaro::deep
