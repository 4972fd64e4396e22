// How well a scan did against the ground truth of a database: recall over the
// deleted rows whose bytes survive, and the precision faults (live rows
// reported as deleted, records without a value, rows reported twice).
#pragma once

#include "database_truth.h"
#include "scan_output.h"

#include <map>
#include <string>
#include <vector>

namespace testdata {

// Counts of one table (or of all of them).
struct RecallCounts {
    size_t deleted = 0;        // rows deleted in the history
    size_t countable = 0;      // of those, rows with a readable value
    size_t surviving = 0;      // of those, rows whose bytes survive in the files
    size_t found = 0;          // of the surviving ones, rows the scan reported
    size_t wholeSurviving = 0; // surviving with every byte of their record
    size_t wholeFound = 0;     // of those, rows the scan reported
    size_t foundBeyond = 0;    // rows reported whose record was not found by the truth

    // found / surviving; 1 when nothing survives.
    double recall() const { return surviving ? double(found) / double(surviving) : 1.0; }
};

struct RecallScore {
    RecallCounts all;
    std::map<std::string, RecallCounts> tables;
    size_t reported = 0;     // records in the scan
    size_t liveReported = 0; // records that are a row of the current state
    size_t valueless = 0;    // records without a value besides the rowid
    size_t duplicates = 0;   // a table and rowid (or, without rowid, the values) once more
    size_t wrongValues = 0;  // the rowid of a deleted row with values it never had
    size_t neverExisted = 0; // a rowid the table never had (another table's row, or garbage)
    size_t unmatched = 0;    // records without rowid of no deleted row (remnants, old versions)
    std::vector<std::string> problems; // a few examples of each fault, for messages

    // The precision faults together.
    size_t precisionFaults() const { return liveReported + valueless + duplicates; }
};

// Scores `scan` against `truth`. Reported values are compared on the columns
// every record of the table has (the shortest column count it had), the
// rowid column left out, reals and integers of REAL columns alike, and for a
// record that overflowed, texts and blobs cut short allowed.
RecallScore scoreScan(const DatabaseTruth& truth, const ScanOutput& scan);

// "recall 47/48 = 97.9% (whole records 40/40) ..." with a line per table and
// the problem examples.
std::string describeScore(const RecallScore& score);

} // namespace testdata
