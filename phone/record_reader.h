// The live-record reader: reads a pulled contacts2.db or mmssms.db through
// SQLite, read-only and without creating or changing any file, and returns the
// record lists. A copy that does not open, or lacks a table or a column, gives
// empty lists for what cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "record_nodes.h"

namespace fennaro {

// Reads the aggregate contacts, the raw contacts not marked deleted, the data
// rows and the mime types, each in _id order.
ContactLists readContacts(const std::string& contactsDbPath);

// Reads the conversations (_id order), the messages (ordered by conversation,
// date, _id) and the canonical addresses.
SmsLists readSms(const std::string& smsDbPath);

// Formats a message date (milliseconds since 1970 UTC, cut to whole seconds)
// as local time "YYYY-MM-DD hh:mm:ss"; empty when the time cannot be shown.
std::string formatDateLine(int64_t milliseconds);

} // namespace fennaro
