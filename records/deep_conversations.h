// Deleted records placed among the live ones, as deep mode shows and writes
// them: each deleted message in its conversation (by its live thread, else
// by a conversation of the same phone number, else in one of its own named
// by its address), in date order; each deleted contact either joined to the
// live contact it still belongs to or standing as a contact of its own.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "call_records.h"
#include "deleted_records.h"
#include "record_nodes.h"

namespace fennaro::deep {

// One message of a conversation: live or deleted (exactly one is set).
struct ConversationEntry {
    const MessageNode* live = nullptr;
    const DeletedMessage* deleted = nullptr;
    // The date line shown above the message; empty for a deleted message
    // without a date. Points into the message's own record.
    std::string_view dateLine;
    // Stored milliseconds; absent for a deleted message without a date.
    std::optional<int64_t> dateMs;
    bool received = true;
    std::string_view body;
    // A live SMS of which the messaging app's store holds a copy too.
    bool liveAlsoInApp = false;
};

// Returns whether an entry is a deleted message: a live MMS or a live
// message of the messaging app's store comes as a record too, not deleted.
inline bool isDeletedEntry(const ConversationEntry& entry) {
    return entry.deleted && entry.deleted->deleted;
}

// A conversation with its live and deleted messages.
struct DeepConversation {
    // The live conversation; null for one made of deleted messages only.
    const ThreadNode* thread = nullptr;
    // Its name: the live contact whose number is its address, else the
    // name Recover writes for it, else its address; see exportSafeName.
    std::string name;
    // The other party's number: the first message's address.
    std::string address;
    // Dated messages in date order (live before deleted at the same date
    // line), then the undated ones.
    std::vector<ConversationEntry> messages;
    size_t deletedCount = 0;
    // Check mark of the list row: 1 checked, 0 not.
    uint8_t checked = 1;
};

// A contact as deep mode lists it: a live one (with the deleted fields of
// its raw contact, if any) or a deleted one.
struct DeepContact {
    const ContactNode* live = nullptr;
    const DeletedContact* deleted = nullptr;
    // Check mark of the list row: 1 checked, 0 not.
    int32_t checked = 1;
};

// How deep mode lists a record: wholly deleted, live with some of its parts
// (fields or messages) deleted, or live with nothing deleted. Listed in
// this order.
enum class RowState { Deleted, LiveWithDeleted, Live };

// Returns the state of a contact row.
RowState rowState(const DeepContact& contact);

// Returns the state of a conversation row: deleted when none of its
// messages is live in any store.
RowState rowState(const DeepConversation& conversation);

// Returns the number of deleted parts of a live row (deleted fields or
// messages); 0 for a wholly deleted row or one with nothing deleted.
size_t deletedPartCount(const DeepContact& contact);
size_t deletedPartCount(const DeepConversation& conversation);

// Returns the word list --deep prints for a state: "deleted", "live+deleted"
// or "live".
std::string_view rowStateWord(RowState state);

// Returns the rows' indices ordered by state (deleted, live with deleted
// parts, live), each group in the rows' own order.
template <typename Row>
std::vector<size_t> rowsByState(const std::vector<Row>& rows) {
    std::vector<size_t> order;
    order.reserve(rows.size());
    for (RowState state : {RowState::Deleted, RowState::LiveWithDeleted, RowState::Live}) {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rowState(rows[i]) == state)
                order.push_back(i);
        }
    }
    return order;
}

// Returns whether the contact's raw contact is still live.
bool joinsLiveContact(const DeletedContact& contact, const ContactLists& lists);

// Deep mode's records: what the deep engine recovered and the rows made of
// it with the live records. The rows point into the vectors here and into
// the store's live lists, so neither may change once the rows are made.
struct DeepRecordSet {
    // Whether deep records were loaded (deep mode); the classic deleted
    // records of the store are not used then.
    bool loaded = false;
    std::vector<DeletedContact> contacts;
    std::vector<DeletedMessage> messages;
    // The messages of the other stores, live and deleted: MMS of mmssms.db
    // and the messaging app's messages that no telephony row holds.
    std::vector<DeletedMessage> otherMessages;
    // The live SMS (by _id) of which the messaging app holds a copy too,
    // and the same by their date and text, which the live lists keep.
    std::vector<int64_t> liveSmsInBugle;
    std::set<std::pair<int64_t, std::string>> liveSmsInBugleByDateAndText;
    // The live SMS (by date and text) whose copy the app deleted: the app's
    // deleted copy in otherMessages stands for them.
    std::set<std::pair<int64_t, std::string>> liveSmsDeletedInAppByDateAndText;
    // Live and deleted calls: deleted ones first, each group newest first.
    std::vector<CallRecord> calls;
    std::vector<DeepContact> contactRows;
    std::vector<DeepConversation> conversations;
};

// Returns the name shown for a deleted contact: its own name, else its
// live contact's display name, else its first phone number, else "No Name".
std::string deletedContactName(const DeletedContact& contact, const ContactNode* live);

} // namespace fennaro::deep
