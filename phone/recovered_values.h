// What the structured deep records read out of a recovered record: the words
// that say what it was read from, its place, and its values as numbers or
// texts. Shared by the readers of deleted contacts, messages and calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "deleted_records.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

// Returns the words a report uses for what a record was read from ("cell",
// "header lost"..., with ", cut short" and ", dropped table" where they apply).
std::string evidenceWords(const RecoveredRecord& record);

// Returns the place of a record in the files of database dbPath.
RecordPlace placeOf(const RecoveredRecord& record, const std::string& dbPath);

// Returns value `column` of a record, or null when the record lacks it or
// the engine could not tell it.
const Value* knownValue(const RecoveredRecord& record, size_t column);

// Returns a value as a whole number: integers as they are, reals when
// whole, texts of decimal digits; absent otherwise.
std::optional<int64_t> numberOf(const Value* value);

// Returns a value as a text column reads it: texts and blobs as their bytes,
// numbers in decimal, NULL and unknown values as nothing.
std::string textOf(const Value* value);

// Returns whether a value is stored as a text or a blob.
bool isTextual(const Value* value);

} // namespace fennaro::deep
