// The messaging app's store for a phone whose mmssms.db exists already, as
// the demo phone needs it: one conversation per telephony thread holding the
// app's copies of its live SMS (each linked by its sms_message_uri), a chat
// that never reached the telephony store (RCS) with two of its messages
// deleted, and two messages the app kept after the telephony store lost them.
#pragma once

#include "database_truth.h"
#include "layout_writer.h"

#include <string>

namespace testdata {

// The file settings of a bugle_db as Android 9 and later keep it: WAL,
// secure_delete on.
FileSettings appStoreSettings(int pageSize);

// Creates the app's tables in a new store and starts its history, foreign
// keys enforced as the app has them.
void startAppStore(LayoutWriter& w);

// Writes bugleDb (with its -wal, secure_delete on, as Android 9 and later
// leave it) from the live threads and SMS of smsDb, which is only read.
// Returns the truth of bugle_db. Throws std::runtime_error.
DatabaseTruth writeAppStoreFor(const std::string& smsDb, const std::string& bugleDb);

} // namespace testdata
