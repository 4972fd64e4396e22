// Who a message of the phone's other stores is with: the MMS address rows'
// types, the messaging app's participants, and how a message gets its
// address and further parties from them. Shared by the live readers and the
// deep engine's readers of those stores.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "deleted_records.h"

namespace fennaro::deep {

// The MMS address types From and To; the address a sent MMS holds for the user.
inline constexpr int64_t kAddrFrom = 137;
inline constexpr int64_t kAddrTo = 151;
inline constexpr std::string_view kSelfToken = "insert-address-token";
// A messaging-app participant's sub_id when it is someone else.
inline constexpr int64_t kOtherParty = -2;

// Returns whether a part's content type is plain text (any case,
// parameters ignored): the MMS and app parts that hold a message's text.
bool isPlainTextType(std::string_view type);

// Appends a part's text to a message body, a line break between parts.
void appendPartText(std::string& body, std::string_view text);

// Returns an MMS date, which the pdu table keeps in seconds, in
// milliseconds; nothing for none, or for a value too large to be a date.
std::optional<int64_t> mmsDateMs(std::optional<int64_t> seconds);

// Adds address to list unless it is empty, the user's token or already there.
void addParty(std::vector<std::string>& list, const std::string& address);

// Gives a message its address and recipients from the parties in order.
void setParties(DeletedMessage& message, const std::vector<std::string>& parties);

// Gives an MMS its address and recipients from its address rows (type,
// address): the other party first (the From address of a received one,
// the To addresses of a sent one), then everyone else.
void setMmsParties(DeletedMessage& message,
                   const std::vector<std::pair<int64_t, std::string>>& addresses);

// A messaging-app participant as a message's direction and address need it.
struct BugleParticipant {
    std::optional<int64_t> subId;
    std::string address;
};

// What the messaging app's messages are joined to: its participants, each
// conversation's telephony thread and other parties. The first row of an id
// filed stays (live rows are filed before deleted ones).
struct BugleConversations {
    std::unordered_map<int64_t, BugleParticipant> participants;
    std::unordered_map<int64_t, int64_t> threads;
    std::unordered_map<int64_t, std::vector<int64_t>> members;
    std::set<std::pair<int64_t, int64_t>> seenMembers;

    // Files a participant under the first of its addresses that is not empty.
    void addParticipant(std::optional<int64_t> id, std::optional<int64_t> subId,
                        std::initializer_list<std::string> addresses);
    // Files a conversation's telephony thread; -1 and NULL name none.
    void addThread(std::optional<int64_t> id, std::optional<int64_t> thread);
    // Files one other party of a conversation, in the order they come.
    void addMember(std::optional<int64_t> conversation, std::optional<int64_t> participant);

    // Gives a message of a conversation (may be unknown) its thread, its
    // direction (received when its sender is someone else, sent when it is
    // one of the user's own; unknown without a sender) and its parties: the
    // sender of a received message, then the conversation's other members.
    void join(DeletedMessage& message, std::optional<int64_t> conversation,
              std::optional<int64_t> sender) const;
};

} // namespace fennaro::deep
