// What the telephony provider's other tables keep of deleted SMS: the
// messages' full-text index (words: its documents, and its carved
// words_content rows) and a deleted conversation's snippet (the text of its
// last message). Each gives partial rows of sms for the recovery engine's
// scan; an MMS text part in the index gives a partial row of part.
#pragma once

#include <vector>

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::phone {

// The records a document of the messages' index (a full-text table named
// words with index_text and source_id columns) stands for, added to out:
// a partial row of sms, _id = the document's source_id (its words_content
// row's, or the term indexed for it), else the docid; body = its
// index_text words; an MMS text part's a partial row of part (_id, text).
// Nothing for a document whose message is still live with that text.
// False when the document is not one of that index (or the schema lacks
// the table it would go to), and it is no MMS part.
bool messageFromIndex(const deep::FtsDocument& document, const deep::LiveTables& live,
                      std::vector<deep::RecoveredRecord>* out);

// The messages that carved rows of words_content (docid, c0_id,
// c1index_text, c2source_id, c3table_to_use) stand for: a partial row of
// sms each (_id = source_id, body = index_text), evidence Fts. Records of
// other tables and MMS text parts are ignored; sms holds the current
// schema's sms columns.
std::vector<deep::RecoveredRecord>
smsFromWordsContent(const std::vector<deep::RecoveredRecord>& carved,
                    const deep::TableColumns& sms);

// The messages a deleted conversation's row still tells of: its snippet is
// the text of its last message, its date that message's date. Each carved
// record of threads (values in threads' column order) with a snippet gives
// a partial row of sms (thread_id, date, body), evidence Remnant, at the
// conversation row's place.
std::vector<deep::RecoveredRecord> snippetRemnants(const std::vector<deep::RecoveredRecord>& carved,
                                                   const deep::TableColumns& threads,
                                                   const deep::TableColumns& sms);

// Drops the snippet rows that may tell of a message still there. A
// conversation the provider deleted lost all its messages first, so the
// snippet of a deleted thread is a deleted message's text. An older version
// of a thread that is still live proves nothing, and neither does a snippet
// whose thread is not known (its row lost its rowid with its first bytes):
// those are left out.
void dropLiveSnippets(const deep::LiveTables& live, const std::string& threads,
                      const deep::TableColumns& sms, std::vector<deep::RecoveredRecord>* rows);

} // namespace fennaro::phone
