// What the contacts provider's full-text index (search_index, docid = the
// contact's id) keeps of deleted contacts: their names, numbers and e-mail
// addresses, as partial rows of data for the recovery engine's scan.
#pragma once

#include <vector>

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::phone {

// The data rows a document of search_index stands for, added to out: one
// per name, number or e-mail address among the words of its name and
// content columns (raw_contact_id = docid, data1 = the word), evidence
// Fts. False when the document is not one of that index or the schema has
// no data table.
bool contactFromIndex(const deep::FtsDocument& document, const deep::LiveTables& live,
                      std::vector<deep::RecoveredRecord>* out);

} // namespace fennaro::phone
