// The deleted SMS of mmssms.db, from the recovery engine, as structured
// records (deleted_records.h).
#pragma once

#include <string>
#include <vector>

#include "deleted_records.h"

namespace fennaro::deep {

// The deleted messages of an mmssms.db (with its -wal and -journal), in the
// order the engine reports them. Empty when it cannot be read.
std::vector<DeletedMessage> readDeletedMessages(const std::string& smsDb);

} // namespace fennaro::deep
