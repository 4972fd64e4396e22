// CREATE statements of contacts2.db and mmssms.db as a freshly installed phone
// of each generation creates them (tables, indexes and deletion triggers).
#pragma once

#include "testdata_types.h"

#include <string>
#include <vector>

namespace testdata {

// Schema of contacts2.db for `generation`, ready for sqlite3_exec.
std::string contactsSchemaSql(Generation generation);

// Schema of mmssms.db for `generation`, ready for sqlite3_exec.
std::string smsSchemaSql(Generation generation);

// The tables, foreign keys, indexes and triggers of the messaging app's
// bugle_db, as the app creates them.
const char* bugleSchemaSql();

// What upgrading a 4.x contacts2.db / mmssms.db to 10+ runs: ALTER TABLE ADD for
// the newer columns (appended at the end) and the newer indexes.
std::string contactsUpgradeSql();
std::string smsUpgradeSql();

// The mimetypes the provider inserts first on a new file, in id order (id = index + 1).
std::vector<std::string> initialMimetypes(Generation generation);

// PRAGMA user_version the provider leaves in each file.
int contactsDbVersion(Generation generation);
int smsDbVersion(Generation generation);

} // namespace testdata
