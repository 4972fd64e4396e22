// The output of fennaro-recover scan read back: a first line describing the
// schema and the files read, then one JSON object per deleted record. Used by
// the recall tests and the recall benchmark, which run the program itself.
#pragma once

#include "sql_value.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

// One record the scan reported.
struct ScannedRecord {
    std::string table;
    std::optional<int64_t> rowid;
    std::string source; // "main", "wal", "journal" or "freelist"
    int64_t page = 0;
    int64_t offset = 0;
    std::optional<int64_t> frame;
    SqlRow values;
    size_t line = 0; // 1-based line of the output
    // What the record was rebuilt from: "cell", "cell-header-lost", "index",
    // "fts" or "remnant". Output without the key means a whole cell.
    std::string evidence = "cell";
    bool dropped = false; // a row of a table the current schema no longer has
    bool damaged = false; // a value was cut where its overflow chain ran into a reused page
    // The columns holding real values when the record is partial (the others
    // are null because they could not be rebuilt); empty: every column.
    std::optional<std::vector<std::string>> known;

    // Whether the record is partial by nature: rebuilt from an index entry, the
    // full-text index or a remnant, not from the row's own cell.
    bool partialEvidence() const {
        return evidence == "index" || evidence == "fts" || evidence == "remnant";
    }
};

struct ScanOutput {
    // False when a line is not what the command promises; `error` says which.
    bool wellFormed = false;
    std::string error;
    std::map<std::string, std::vector<std::string>> columns;
    std::vector<std::string> files;
    std::vector<ScannedRecord> records;
};

// Reads the JSON Lines text of a scan. Never throws; a broken line ends the
// reading with wellFormed false.
ScanOutput parseScanOutput(const std::string& text);

// The exit status and standard output of one run of a program.
struct ProgramRun {
    int status = -1; // exit status; -1 when it could not start or did not exit
    std::string out;
};

// Runs `argv[0]` with the arguments `argv` (no shell), standard error
// discarded, and collects its output.
ProgramRun runProgram(const std::vector<std::string>& argv);

} // namespace testdata
