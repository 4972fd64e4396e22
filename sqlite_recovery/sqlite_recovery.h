// sqlite_recovery: the records of an SQLite database that are gone, read
// from the database file, every frame of its -wal and every page image of
// its -journal, byte by byte and strictly read-only (SQLite itself is never
// asked). Rows present in an older version of a page but absent from the
// current state come back whole with their rowids; freeblocks, unallocated
// space, free-list pages, overflow chains, the pages of dropped tables, the
// entries of indexes and the segments of full-text (FTS3/FTS4) tables give
// what survived there. A row live in the current state, a record without
// any value and a second copy of a row are never reported. It works on any
// table of any database and knows no program's tables.
//
// This header is the library's whole interface. A caller either scans a
// path in one go:
//
//     ScanReport report = scanDatabase("/copies/app.db");
//     for (const RecoveredRecord& r : report.records) ... r.table, r.rowid, r.values
//
// or opens the database once, streams the records of the tables and
// columns it wants, and reads the rows that still stand beside them:
//
//     std::string error;
//     OpenDatabase db = openDatabase(path, &error);     // null: error says why
//     scanSelected(*db, {{"items", {{"name", "price"}}}},
//                  {[](size_t count) {...}, [](RecoveredRecord& r) {...}});
//     forEachLiveRow(*db, "items", {"_id", "name"}, [](std::vector<Value>& row) {...});
//     LiveRowFinder prices(*db, "items", {"price"});  // live rows by rowid
//
// writeCurrentState writes the database as SQLite would read it now as one
// plain file. What one program's tables tell of another's rows (a
// full-text document standing for a row of the indexed table, a carved row
// of one table holding a trace of a row of another) the engine cannot
// know; the caller brings such knowledge as ScanRules, which every scan
// takes, and the engine hands the rules its services (LiveTables).
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fennaro::deep {

// One column value of a recovered record, as SQLite stores it: NULL, a 64-bit
// integer, a double, or the bytes of a text or a blob (texts are kept as the
// file holds them; whoever shows them decides what to do with bad UTF-8).
struct Value {
    enum class Kind : uint8_t { Null, Integer, Real, Text, Blob };

    Kind kind = Kind::Null;
    int64_t integer = 0;
    double real = 0;
    std::string bytes;

    static Value null() { return {}; }
    static Value ofInteger(int64_t v) {
        Value value;
        value.kind = Kind::Integer;
        value.integer = v;
        return value;
    }
    static Value ofReal(double v) {
        Value value;
        value.kind = Kind::Real;
        value.real = v;
        return value;
    }
    static Value ofText(std::string v) {
        Value value;
        value.kind = Kind::Text;
        value.bytes = std::move(v);
        return value;
    }
    static Value ofBlob(std::string v) {
        Value value;
        value.kind = Kind::Blob;
        value.bytes = std::move(v);
        return value;
    }

    bool isNull() const { return kind == Kind::Null; }

    // True when the value carries something: not NULL, and not an empty text
    // or blob.
    bool hasContent() const {
        return kind == Kind::Integer || kind == Kind::Real || !bytes.empty();
    }

    bool operator==(const Value& other) const {
        if (kind != other.kind)
            return false;
        switch (kind) {
        case Kind::Null:
            return true;
        case Kind::Integer:
            return integer == other.integer;
        case Kind::Real:
            // Bitwise, so a NaN read from a damaged file equals itself.
            return std::string_view(reinterpret_cast<const char*>(&real), sizeof real) ==
                   std::string_view(reinterpret_cast<const char*>(&other.real), sizeof real);
        default:
            return bytes == other.bytes;
        }
    }
};

// Where a record was found: a page of the main file, a frame of the -wal, a
// page image of the -journal, or a page on the current free list.
enum class RecordSource : uint8_t { Main, Wal, Journal, Freelist };

// "main", "wal", "journal" or "freelist".
const char* sourceName(RecordSource source);

// What a record was read from: a cell (whole, or one whose first bytes the
// freeblock header overwrote, rebuilt from the schema), an index entry of
// the row, the full-text index's copy of its text, or a trace another table
// kept of it (found by a caller's rule).
enum class RecordEvidence : uint8_t { Cell, CellHeaderLost, Index, Fts, Remnant };

// "cell", "cell-header-lost", "index", "fts" or "remnant".
const char* evidenceName(RecordEvidence evidence);

struct RecoveredRecord {
    std::string table;
    std::optional<int64_t> rowid; // unknown for records carved without their cell
    RecordSource source = RecordSource::Main;
    uint32_t page = 0;
    // Bytes from the start of the file that holds the record (the -wal when
    // frame is set) to the record's cell, or to where its carved bytes start.
    uint64_t offset = 0;
    std::optional<uint32_t> frame; // 1-based WAL frame number
    // In the table's column order; texts as the database stores them (UTF-8
    // for UTF-16 databases too), possibly with invalid bytes.
    std::vector<Value> values;
    RecordEvidence evidence = RecordEvidence::Cell;
    // Which of values are real, by position; empty when all are. A partial
    // row (an index entry, a rebuilt cell with a column it could not tell)
    // holds NULL in the others, which means "unknown", not NULL.
    std::vector<bool> known;
    bool dropped = false; // a row of a table the current schema no longer has
    bool damaged = false; // a value's overflow chain ran into a reused page: cut there
};

// Takes the records of a scan one at a time, in report order: first how
// many there are (when expect is set), then each record, which visit may
// take values from until its next call.
struct RecordVisitor {
    std::function<void(size_t records)> expect;
    std::function<void(RecoveredRecord&)> visit;
};

struct TableColumns {
    std::string table;
    std::vector<std::string> columns;
};

struct ScanReport {
    bool ok = false;
    std::string error;                // why ok is false: unreadable, or not an SQLite database
    std::vector<std::string> files;   // the paths read, database first
    std::vector<TableColumns> schema; // every table of the current state, by name
    std::vector<RecoveredRecord> records;
};

// What is wanted of one table: the columns, in the order wanted (all when
// empty); with rowidsOnly, only the rows that come back with their rowid
// (records carved without one are neither kept nor compared with the live
// rows, which saves keying every live row of the table).
struct TableSelection {
    // The columns wanted, whether only rows with their rowid are, and the layout known.
    TableSelection(std::vector<std::string> wanted = {}, bool onlyWithRowid = false,
                   std::string layout = {})
        : columns(std::move(wanted)), rowidsOnly(onlyWithRowid), knownLayout(std::move(layout)) {}

    std::vector<std::string> columns;
    bool rowidsOnly = false;
    // A CREATE TABLE statement the table is known to have had. When the
    // database has no table of that name, live or dropped with its schema row
    // surviving, its rows are looked for as those of a dropped table of this
    // layout whose pages are not known (a freed schema page can be reused as
    // a free-list trunk, which overwrites the statement).
    std::string knownLayout;
};

// Table name -> what is wanted of it. An empty selection selects every
// column of every table.
using ScanSelection = std::map<std::string, TableSelection>;

// The current state of a scanned database as the rules see it.
class LiveTables {
  public:
    virtual ~LiveTables() = default;
    // The tables of the current schema (dropped ones not), by name, each
    // with all its columns in table order.
    virtual const std::vector<TableColumns>& tables() const = 0;
    // Whether table (a name from tables()) holds a live row of rowid.
    virtual bool hasRowid(const std::string& table, int64_t rowid) const = 0;
    // Column `column` (its place in the table) of live row rowid of table,
    // completed as SQLite would return it. False when there is no such row
    // or its record does not decode.
    virtual bool liveValue(const std::string& table, int64_t rowid, int column,
                           Value* value) const = 0;
};

// A document of a full-text table that is no longer live, as its segments
// kept it.
struct FtsDocument {
    const std::string& table;                // the full-text table
    const std::vector<std::string>& columns; // its declared columns
    int64_t docid = 0;
    // The terms of the document by (column, position).
    const std::map<std::pair<uint32_t, uint32_t>, std::string>& words;
    // The values of its <table>_content row (docid first, then one per
    // column) when the table carving recovered that row, else null.
    const std::vector<Value>* content = nullptr;
    // An empty record at the place the document was read from, evidence
    // Fts: what a rule starts the records it makes from.
    RecoveredRecord place;

    // The words of one column in position order, joined by single spaces.
    std::string columnText(uint32_t column) const;
};

// A rule by which carved rows (of one table or several) tell of rows of
// table target that are gone: partial rows beside the carved ones.
struct DerivedRows {
    std::string target;
    // A table read for this rule alone (its rows not reported) when a
    // selection asks for target and not for it; empty when none is.
    std::string source;
    // Whether the rule runs in scans that hand their records to a visitor
    // too: it is given the rows of source only, and a row it makes that
    // holds a text equal to textColumn of a carved row of target is left out.
    bool inVisitedScans = false;
    std::string textColumn;
    // The partial rows (values in target's column order) the carved records
    // tell of; target holds target's columns.
    std::function<std::vector<RecoveredRecord>(const std::vector<RecoveredRecord>& carved,
                                               const TableColumns& target, const LiveTables& live)>
        derive;
};

// What a caller knows of its database's tables that the engine cannot.
struct ScanRules {
    // Called for every full-text document that is not live: true when it
    // took the document (adding records to out, or none); otherwise the
    // document comes back as a row of the full-text table itself, rowid =
    // docid, each column its words.
    std::function<bool(const FtsDocument& document, const LiveTables& live,
                       std::vector<RecoveredRecord>* out)>
        ftsDocument;
    std::vector<DerivedRows> derived;
};

// Scans dbPath together with dbPath-wal and dbPath-journal when they exist.
ScanReport scanDatabase(const std::string& dbPath, const ScanRules* rules = nullptr);

// scanDatabase limited to a selection: the report's schema and records hold
// the selected tables, and each record's values the selected columns in the
// selection's order (NULL for a column the table lacks). A scan of chosen
// tables and columns costs far less than a scan of every column of every
// table; pages of other tables are still read where they decide whose a
// page is.
ScanReport scanSelected(const std::string& dbPath, const ScanSelection& selection,
                        const ScanRules* rules = nullptr);

// A database opened for the engine: its three files, read-only, and the
// current state as SQLite would read it now.
struct DatabaseState;

// Closes a database opened by openDatabase.
struct DatabaseCloser {
    void operator()(DatabaseState* state) const;
};
using OpenDatabase = std::unique_ptr<DatabaseState, DatabaseCloser>;

// Opens path with path-wal and path-journal beside it. Null, with a reason in
// *error, when the main file cannot be read or is not an SQLite database.
OpenDatabase openDatabase(const std::string& path, std::string* error);

// scanSelected on a database already open, each record handed to visitor
// instead of kept in the report (whose records stay empty): for callers
// that turn records into something smaller as they come.
ScanReport scanSelected(const DatabaseState& state, const ScanSelection& selection,
                        const RecordVisitor& visitor, const ScanRules* rules = nullptr);

// Calls onRow(values) for every live row of table `name` of a database's
// current state, values holding the columns asked for in that order; a
// column the table lacks (an older version of it) reads as NULL, so its
// rows still stand as live. False when the table is missing (no row is
// passed then).
bool forEachLiveRow(const DatabaseState& state, const std::string& name,
                    std::initializer_list<const char*> columns,
                    const std::function<void(std::vector<Value>&)>& onRow);

// Live rows of one table of a database's current state by rowid, some of
// their columns decoded; quickest when asked in rowid order.
class LiveRowFinder {
  public:
    // Finds rows of table in state, which must outlive this; usable only
    // when the table has every column asked for.
    LiveRowFinder(const DatabaseState& state, const std::string& table,
                  const std::vector<std::string>& columns);
    ~LiveRowFinder();
    LiveRowFinder(const LiveRowFinder&) = delete;
    LiveRowFinder& operator=(const LiveRowFinder&) = delete;

    // Whether the table and its columns are there.
    bool usable() const;
    // The columns asked for of live row rowid into *values; false when
    // there is no such row or its record does not decode.
    bool find(int64_t rowid, std::vector<Value>* values);

  private:
    struct Reader;
    std::unique_ptr<Reader> m_reader;
};

// Writes the database as SQLite would read it now (main file, hot journal
// rolled back, committed frames of the current WAL generation applied) to
// outPath as a plain rollback-mode database file that needs no side file.
// Never touches dbPath or its side files; refuses an outPath that is one of
// them. False when the database cannot be read or outPath cannot be written
// (a half-written outPath is removed).
bool writeCurrentState(const std::string& dbPath, const std::string& outPath);

} // namespace fennaro::deep
