// Reading the deep engine's deleted messages and contacts as structured
// records (deleted_records.h), and putting them into a loaded store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deleted_records.h"
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

} // namespace fennaro::deep
