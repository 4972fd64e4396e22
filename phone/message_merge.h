// One message once: the messaging app keeps its own copy of every SMS and
// MMS it shows, so a message is often in bugle_db and in mmssms.db. The copy
// of the telephony store stays (it is what the phone's own provider held)
// and names bugle_db among its sources; the app's copy is dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deleted_records.h"
#include "phone/store_messages.h"

namespace fennaro {

// A telephony message as the merge compares it.
struct TelephonyCopy {
    deep::MessageStore store = deep::MessageStore::Sms;
    std::optional<int64_t> id;
    std::string_view address;
    std::optional<int64_t> date;
    std::string_view body;
};

// How far apart two copies' times may be (ms) and still be one message.
inline constexpr int64_t kSameMessageWindowMs = 2000;

// How many words a text must have for a copy the words index alone kept
// to be matched to the app's copy by its words.
inline constexpr size_t kMinMatchWords = 3;

// Returns a text as the messages' words index keeps it: runs of letters,
// digits and non-ASCII bytes, ASCII lower-cased, one space between them.
std::string indexedWords(std::string_view text);

// Returns whether the app's message names copy through its sms_message_uri
// (content://sms/ID or content://mms/ID) and their texts do not differ (a
// copy the words index alone kept matches in its indexed form).
bool linksTo(const deep::DeletedMessage& bugle, const TelephonyCopy& copy);

// Returns whether, without a link, the two are one message: the same
// non-empty text, the same phone number, times known and within 2 s.
bool looksSame(const deep::DeletedMessage& bugle, const TelephonyCopy& copy);

// Drops from bugle each message that is a copy of a telephony message (live
// or deleted SMS, live or deleted MMS), linked ones first, then look-alikes,
// then a deleted SMS the words index alone kept whose words no other message
// of the phone has; each telephony message takes at most one app message. A deleted SMS's or an
// MMS's record then lists both files in sources, and takes what only the app's copy kept: a date, a
// direction, an address, and the whole text where the record's is the words index's (its evidence
// then says so). Returns the ids of the live SMS that bugle also held live (live SMS are no
// records here, so their sources are the caller's to show).
// A message deleted in one store and live in the other is one live record of its deleted copy:
// an app copy the app deleted of a live SMS stays in bugle as a live SMS record, deleted in
// bugle_db, its id added to deletedInApp (the caller shows it in the live SMS's stead); a deleted
// SMS or MMS the app holds live becomes live, deleted in mmssms.db.
std::vector<int64_t> mergeMessageStores(std::vector<deep::DeletedMessage>& smsDeleted,
                                        std::vector<deep::DeletedMessage>& mms,
                                        std::vector<deep::DeletedMessage>& bugle,
                                        const std::vector<LiveSmsRow>& liveSms,
                                        std::vector<int64_t>* deletedInApp = nullptr);

} // namespace fennaro
