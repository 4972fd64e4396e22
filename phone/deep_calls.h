// The call log in deep mode: the deleted calls the deep engine finds in
// calllog.db and contacts2.db (the dropped calls table of a phone upgraded
// from Android 6 included), and the live ones of the databases' current
// states.
#pragma once

#include <vector>

#include "call_records.h"
#include "phone/phone_databases.h"
#include "phone/shared_scan.h"
#include "record_nodes.h"

namespace fennaro::deep {

// The call log as deep mode lists it: with withDeleted, the deleted calls
// first, then the live ones of the current state (-wal and -journal
// applied), each group newest first. Deleted calls are named and dated as
// the live ones are, and each is reported once: not when it is live (the
// same row of the same file, or the migrated copy in calllog.db of a row of
// contacts2.db's dropped table), and from calllog.db when deleted in both.
// Databases that are absent or cannot be read give no calls.
std::vector<CallRecord> readCallLog(const PhoneDatabases& dbs, const ContactLists& contacts,
                                    bool withDeleted);

// readCallLog with its deleted calls, contacts2.db's already read into
// contactsCalls by a scan that took contactsCallsScan.
std::vector<CallRecord> readCallLog(const PhoneDatabases& dbs, const ContactLists& contacts,
                                    std::vector<CallRecord> contactsCalls);

// The calls tables of contacts2.db (at contactsDb) for another reader's
// scan of it to select, their deleted calls added to calls as readCallLog
// would read them.
SharedScan contactsCallsScan(const std::string& contactsDb, std::vector<CallRecord>& calls);

} // namespace fennaro::deep
