// The call log as deep mode shows, writes and reports it: the order of its
// rows, its category in the tree, and the texts of a call's cells and lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "call_records.h"
#include "record_store.h"

namespace fennaro::deep {

// Orders the store's calls as the list shows them (deleted ones first, each
// group newest first, undated calls last in the order they were found) and
// gives the Call log category its caption "Call log (N)" and a count, or
// leaves it bare and empty when there are no calls. Must run before any row
// points into the calls.
void finishCallLog(RecordStore& store);

// A call's duration for people: "m:ss" ("1:05", "0:00"), "h:mm:ss" from an
// hour on, "" when it is absent, the bare number of seconds and " s" when it
// is negative (a value no phone should write, shown rather than hidden).
std::string callDurationText(std::optional<int64_t> seconds);

// The party of a call in one line: "Name (number)", or the one of the two
// that is there, or "Unknown number" for a call without either (a hidden
// caller: the phone stores an empty number then).
std::string callPartyText(const CallRecord& call);

} // namespace fennaro::deep
