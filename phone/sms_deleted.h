// The deleted SMS of mmssms.db, from the recovery engine, as structured
// records (deleted_records.h).
#pragma once

#include <string>
#include <vector>

#include "deleted_records.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

// The deleted messages of an mmssms.db (with its -wal and -journal), in the
// order the engine reports them. Empty when it cannot be read.
std::vector<DeletedMessage> readDeletedMessages(const std::string& smsDb);

// The columns of sms a deleted message is read from, in the order
// collectDeletedSms takes them.
const std::vector<std::string>& deletedSmsColumns();

// Adds to messages the message a carved record of sms (the values of
// deletedSmsColumns) tells of, unless it tells of none; smsDb names its file.
void collectDeletedSms(RecoveredRecord& record, const std::string& smsDb,
                       std::vector<DeletedMessage>& messages);

} // namespace fennaro::deep
