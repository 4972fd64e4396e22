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
    // Rows with a readable value that any record matched, those rebuilt from an
    // index, the full-text index or a remnant included, surviving or not.
    size_t foundAny = 0;
    // Rows with a readable value whose cell is gone while an entry of one of
    // their indexes survives, and of those the ones any record matched.
    size_t indexOnly = 0;
    size_t indexOnlyFound = 0;

    // found / surviving; 1 when nothing survives.
    double recall() const { return surviving ? double(found) / double(surviving) : 1.0; }
    // Surviving rows whose cell lost its first bytes, and of those the ones found.
    size_t headerLostSurviving() const { return surviving - wholeSurviving; }
    size_t headerLostFound() const { return found - wholeFound; }
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
    // Records that hold nothing: every known value besides the rowid NULL, empty or zero.
    size_t junk = 0;
    // Records partial by nature (rebuilt from an index entry, the full-text
    // index or a remnant), and of those the ones that match a deleted row. They
    // count as faults only where they contradict the truth (a live row, another
    // row's values, a rowid the table never had).
    size_t partialReported = 0;
    size_t partialMatched = 0;
    std::vector<std::string> problems; // a few examples of each fault, for messages

    // The precision faults together.
    size_t precisionFaults() const { return liveReported + valueless + duplicates; }
    // junk / reported; 0 when nothing was reported.
    double junkShare() const { return reported ? double(junk) / double(reported) : 0.0; }
};

// Scores `scan` against `truth`. Reported values are compared on the columns
// every record of the table has (the shortest column count it had) that the
// record knows (all of them unless it lists "known" ones), the rowid column
// left out, reals and integers of REAL columns alike, and for a record that
// overflowed, texts and blobs cut short allowed. Values shifted or given to
// the wrong row (a record that matches no version of a deleted row while one
// has its rowid or most of its values) count as wrong values. Recall counts
// records rebuilt from cells; the partial ones are counted apart.
RecallScore scoreScan(const DatabaseTruth& truth, const ScanOutput& scan);

// "recall 47/48 = 97.9% (whole records 40/40) ..." with a line per table and
// the problem examples.
std::string describeScore(const RecallScore& score);

} // namespace testdata
