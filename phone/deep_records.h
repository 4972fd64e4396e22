// Reading the deep engine's deleted messages and contacts as structured
// records (deleted_records.h), and putting them into a loaded store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deleted_records.h"
#include "phone_databases.h"
#include "record_store.h"

namespace fennaro::deep {

// The deleted messages of an mmssms.db (with its -wal and -journal), in the
// order the engine reports them. Empty when it cannot be read.
std::vector<DeletedMessage> readDeletedMessages(const std::string& smsDb);

// The deleted contacts of a contacts2.db, grouped by raw contact, in raw
// contact order (loose rows last). liveMimeTypes names the mime type ids the
// live database still holds; deleted mime types the scan finds add to them.
std::vector<DeletedContact> readDeletedContacts(const std::string& contactsDb,
                                                const std::vector<MimeTypeNode>& liveMimeTypes);

// Reads the deleted records of both databases into store.deep and makes
// their rows with the store's live lists, which must be loaded. The
// categories' captions then count the rows deep mode shows.
void loadDeepRecords(RecordStore& store, const std::string& contactsDb, const std::string& smsDb);

// The same for a phone's set of databases, with the other stores: live and
// deleted MMS of dbs.smsDb and the messages of dbs.bugleDb join the
// conversations, a message held by both stores once (its telephony copy).
// The live MMS and bugle messages are read from liveStates' smsDb and
// bugleDb (current-state copies) when given, else from current states this
// writes for the time of the call.
void loadDeepRecords(RecordStore& store, const PhoneDatabases& dbs,
                     const PhoneDatabases* liveStates = nullptr);

} // namespace fennaro::deep
