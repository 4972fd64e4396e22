// What the phone's databases tell of deleted rows beyond their own cells,
// as rules for the recovery engine's scans: the messages' and the
// contacts' full-text indexes, the messages' words_content rows and the
// snippets of deleted conversations.
#pragma once

#include <string>

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::phone {

// The rules every scan of a phone's database takes.
deep::ScanRules phoneScanRules();

// scanDatabase with the phone's rules.
deep::ScanReport scanDatabase(const std::string& dbPath);

// scanSelected with the phone's rules.
deep::ScanReport scanSelected(const std::string& dbPath, const deep::ScanSelection& selection);

// scanSelected of a database already open, with the phone's rules.
deep::ScanReport scanSelected(const deep::DatabaseState& state,
                              const deep::ScanSelection& selection,
                              const deep::RecordVisitor& visitor);

} // namespace fennaro::phone
