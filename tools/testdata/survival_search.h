// Tells which deleted rows of a database survive in its files: a row survives
// when the whole record of one of its versions (for a record that overflows:
// the part its leaf cell keeps) lies byte for byte in the main file, the -wal
// or the -journal.
#pragma once

#include "database_truth.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

// The whole content of a file; throws std::runtime_error when it cannot be read.
std::vector<uint8_t> readWholeFile(const std::string& path);

// The main file and those of its side files (-wal, -journal) that exist.
std::vector<std::string> databaseFiles(const std::string& path);

// Fills truth.files (when empty), truth.pageSize and, for every deleted row,
// countable, survives, foundIn and recordColumns. One pass over each file,
// whatever the number of rows. Throws std::runtime_error when the main file
// cannot be read or is not a database.
void findSurvivors(DatabaseTruth& truth);

// The records a row version may have been stored as, most columns first, with
// their column counts: one per column count the table has had that leaves no
// value of the version out.
std::vector<std::pair<size_t, std::string>> possibleRecords(const TableShape& shape,
                                                            const SqlRow& version);

} // namespace testdata
