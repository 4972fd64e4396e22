// Values the recovery engine reads as the recovered-record texts write
// them: shared by the texts of deleted contacts and messages.
#pragma once

#include <string>
#include <vector>

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

// A value as a text column reads it: texts and blobs as their bytes, numbers
// in decimal, NULL as nothing.
std::string textOf(const Value& v);

// Value `column` of a row as text, taking a text's or blob's bytes over.
std::string takeText(std::vector<Value>& values, int column);

} // namespace fennaro::deep
