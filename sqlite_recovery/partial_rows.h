// Partial rows beside the carved ones: what an index entry or the
// full-text index kept of a row that is gone. They join the scan's report
// only where no fuller record of the same row says as much: a carved record
// of that rowid, or one carved without its rowid that holds the same values.
// Two partial rows of one row (its index entry and its words) become one.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "sqlite_recovery/sqlite_recovery.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// Whether the values a partial row knows are ones its columns could hold:
// an INTEGER column an integer, a TEXT column a text not mostly control bytes (in
// a UTF-8 database), a REAL within what the column holds, a time a device
// could have written, a rowid above 0 and below 2^40. An index entry read
// from freed bytes that fails this was read at the wrong place.
bool plausiblePartialRow(const RecoveredRecord& row, const TableInfo& table, bool utf8Texts);

// Joins partial rows of the same table and rowid whose known values agree:
// the known columns of both, the first one's place and evidence.
void mergePartialRows(std::vector<RecoveredRecord>* partials);

// Holds the partial rows of a scan, shaped as its selection asks (columns
// in the selection's order; rows left out that hold nothing selected), and
// drops those that the scan's records cover as they pass by.
class PartialRows {
  public:
    // columns: the report's column names per table (as its schema lists
    // them); tableColumns: every column of each table in table order.
    PartialRows(std::vector<RecoveredRecord> partials, const ScanSelection& selection,
                const std::vector<TableColumns>& reportColumns,
                const std::vector<TableColumns>& tableColumns);

    // A record of the scan (values in the report's column order).
    void see(const RecoveredRecord& record);

    // The partial rows no record covered, by table and rowid.
    std::vector<RecoveredRecord> remaining();

  private:
    bool covers(const RecoveredRecord& record, const RecoveredRecord& partial) const;

    // The partial rows of one table: by rowid, and by the values they know
    // (one map per set of known columns), so each record passing by costs a
    // few look-ups, not a look at every partial row.
    struct Lookup {
        std::unordered_map<int64_t, std::vector<size_t>> byRowid;
        std::vector<std::pair<std::vector<bool>, std::unordered_multimap<uint64_t, size_t>>> byValues;
    };
    uint64_t valuesKey(const RecoveredRecord& r, const std::vector<bool>& columns) const;

    std::vector<RecoveredRecord> m_partials;
    std::vector<bool> m_covered;
    std::unordered_map<std::string, Lookup> m_byTable;
};

} // namespace fennaro::deep
