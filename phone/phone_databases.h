// The database copies of one phone that deep mode reads. The classic path
// reads only the first two; the others may be absent (empty path, or no
// such file), which is no error.
#pragma once

#include <string>

namespace fennaro {

struct PhoneDatabases {
    std::string contactsDb; // contacts2.db
    std::string smsDb;      // mmssms.db
    std::string callLogDb;  // calllog.db, beside contacts2.db (Android 7 and later)
    std::string bugleDb;    // bugle_db, the messaging app's store, beside mmssms.db
};

// Returns the databases of a phone whose two classic copies are given, with
// calllog.db looked for beside contactsDb and bugle_db beside smsDb (each
// left empty when no such file exists).
PhoneDatabases phoneDatabasesBeside(const std::string& contactsDb, const std::string& smsDb);

// True when something (of any kind) exists at path; nothing is opened.
bool pathExists(const std::string& path);

} // namespace fennaro
