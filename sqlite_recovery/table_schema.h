// What the engine knows of a table: its columns as its CREATE TABLE statement
// declares them (name, type affinity, NOT NULL, default, the INTEGER PRIMARY
// KEY that is the rowid) and the root page of its b-tree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

enum class Affinity : uint8_t { Integer, Text, Blob, Real, Numeric };

struct ColumnInfo {
    std::string name;
    Affinity affinity = Affinity::Blob;
    bool notNull = false;
    // The INTEGER PRIMARY KEY column: the record holds NULL, the value is the rowid.
    bool rowidAlias = false;
    // What SQLite reads for this column when a record is shorter than the
    // table (rows written before ALTER TABLE ADD COLUMN).
    Value defaultValue;
    // The largest magnitude a REAL carved for this column is believed at:
    // random bytes read as a double mostly land far beyond what the column's
    // live rows hold. Raised for a column whose live rows hold huge reals.
    double realLimit = 1e18;
    // The kinds of serial type (serialTypeClass bits) the column's live
    // rows were seen to hold: which of two readings of freed bytes puts
    // values where the table keeps such values.
    uint16_t seenTypes = 0;
    // Whether the column holds times (isTimeColumn of its name), noted once
    // per scan rather than asked of every record.
    bool holdsTimes = false;
};

// One bit per kind of serial type: NULL, the constants 0 and 1, integers
// of 1, 2, 3, 4, 6 and 8 bytes, a REAL, a text, a blob.
inline uint16_t serialTypeClass(uint64_t type) {
    if (type <= 9)
        return uint16_t(1u << (type == 8 ? 1 : type == 9 ? 1 : type == 0 ? 0 : type + 1));
    return uint16_t(type & 1 ? 1u << 9 : 1u << 10);
}

struct TableInfo {
    std::string name;
    uint32_t rootPage = 0;
    std::vector<ColumnInfo> columns;
    int aliasColumn = -1;
    // Gone from the current schema; rootPage is where its tree began.
    bool dropped = false;
    // The largest rowid the table's current tree holds (0 when empty or
    // not looked at): deleted rows had rowids below about that.
    int64_t largestRowid = 0;
};

// The column list of a CREATE TABLE statement.
struct ParsedTable {
    std::vector<ColumnInfo> columns;
    int aliasColumn = -1;
    bool withoutRowid = false;
};

// Parses a CREATE TABLE statement as sqlite_master keeps it. False when the
// text is not one (CREATE VIRTUAL TABLE included) or declares no column.
// Generated VIRTUAL columns are left out: records do not store them.
bool parseCreateTable(std::string_view sql, ParsedTable* table);

// The affinity SQLite derives from a declared type name.
Affinity affinityOfType(std::string_view declaredType);

} // namespace fennaro::deep
