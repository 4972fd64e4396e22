// The phone's call log as deep mode shows it: live calls read from
// calllog.db (or, on phones before Android 7, from the calls table of
// contacts2.db) and deleted calls the deep engine recovered from both, the
// dropped calls table of an upgraded contacts2.db included.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "deleted_records.h"

namespace fennaro::deep {

// One call, live or deleted. Values that could not be read are absent.
struct CallRecord {
    bool deleted = false;
    std::optional<int64_t> id;
    std::string number;
    // The contact name the phone cached when the call was logged; it stays
    // after the contact is gone.
    std::string cachedName;
    // The name shown: cachedName, else the live contact whose number is the
    // same phone number (phone_match.h), else empty.
    std::string name;
    // Start of the call, milliseconds since 1970 UTC.
    std::optional<int64_t> date;
    // The local date line "YYYY-MM-DD hh:mm:ss"; empty without a date.
    std::string dateLine;
    // Seconds.
    std::optional<int64_t> duration;
    // The provider's type code: 1 incoming, 2 outgoing, 3 missed,
    // 4 voicemail, 5 rejected, 6 blocked, 7 answered elsewhere.
    std::optional<int64_t> type;
    // The database file name it was read from: "calllog.db" or "contacts2.db".
    std::string file;
    // Deleted calls: what the engine read it from ("cell", "header lost"...,
    // with ", dropped table" for the old calls table of an upgraded phone)
    // and where.
    std::string evidence;
    RecordPlace place;
    // Check mark of the list row: 1 checked, 0 not.
    int32_t checked = 1;
};

// "Incoming", "Outgoing", "Missed", "Voicemail", "Rejected", "Blocked",
// "Answered elsewhere", or "" for an unknown or absent type.
std::string_view callTypeLabel(std::optional<int64_t> type);

} // namespace fennaro::deep
