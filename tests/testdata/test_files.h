// Helpers of the test-data tests: scratch folders, file bytes, small queries.
#pragma once

#include <sqlite3.h>

#include "tests/support/temp_files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testdata_test {

// A fresh, empty folder under the system temp folder, removed again on destruction.
using ScratchDir = testfiles::TempDir;

// The whole content of a file (empty if unreadable).
std::vector<uint8_t> fileBytes(const std::string& path);

// Whether `needle` occurs in `haystack`.
bool contains(const std::vector<uint8_t>& haystack, const std::string& needle);

// The first integer of the first row of `sql` on the database at `path`.
int64_t queryInt(const std::string& path, const std::string& sql);

// The column names of `table` in order, from PRAGMA table_info.
std::vector<std::string> columnsOf(const std::string& path, const std::string& table);

} // namespace testdata_test
