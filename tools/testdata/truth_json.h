// The ground truth of a generated phone as JSON, for benchmarks, manual runs
// and tests written in other languages. Values take the form fennaro-recover
// scan gives them: numbers, UTF-8 texts, null, blobs as {"hex": "..."}.
#pragma once

#include "modern_phone.h"

#include <json/json.h>

#include <string>

namespace testdata {

// One value.
Json::Value valueToJson(const SqlValue& value);

// One database: its files, page size, table columns, every deleted row with
// its versions, how and where its bytes survive (and its recorded cells when a
// replay gave them), and the live rows.
Json::Value truthToJson(const DatabaseTruth& truth);

// One database of a phone: truthToJson and the settings it was kept with.
Json::Value databaseTruthToJson(const DatabaseTruth& truth, const DatabasePlan& plan);

// The whole phone: {"kind": ..., "databases": {"contacts2.db": ..., "mmssms.db": ...}}.
Json::Value phoneTruthToJson(const ModernPhoneTruth& truth);

// Writes `json` to `path` in one compact text; throws std::runtime_error on failure.
void writeJsonFile(const std::string& path, const Json::Value& json);

} // namespace testdata
