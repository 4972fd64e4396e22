// The live call log of a phone: the calls table of calllog.db (Android 7 and
// later) or, on older phones, of contacts2.db. Its columns are looked up by
// name, since every version of the provider ordered them differently.
#pragma once

#include <vector>

#include "call_records.h"
#include "phone/phone_databases.h"
#include "record_nodes.h"

namespace fennaro::deep {

// Reads the live calls from dbs.callLogDb when it is set, else from the
// calls table of dbs.contactsDb when it has one; newest first. Each call is
// named by its cached name, else by the live contact (of contacts) whose
// number is the same phone number. The files are opened read-only and
// immutable, so a -wal beside them is not read: give current-state copies
// for that. A file that does not open, or lacks the table, gives no calls.
std::vector<CallRecord> readLiveCalls(const PhoneDatabases& dbs, const ContactLists& contacts);

// Gives each call without a cached name the name of the live contact whose
// number is the same phone number, and every call its date line.
void nameAndDateCalls(std::vector<CallRecord>& calls, const ContactLists& contacts);

// Orders calls newest first; calls without a date last, higher ids first.
void sortNewestFirst(std::vector<CallRecord>& calls);

} // namespace fennaro::deep
