// Putting the deleted records the phone's readers recover (SMS, contacts,
// MMS, the messaging app's messages, calls) into a loaded store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deleted_records.h"
#include "phone/contacts_deleted.h"
#include "phone/phone_databases.h"
#include "phone/sms_deleted.h"
#include "record_store.h"

namespace fennaro::deep {

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
