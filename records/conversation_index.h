// Finding the messages of a conversation and the contact behind it without
// walking the whole message and contact lists for every conversation.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "record_nodes.h"

namespace fennaro {

// The messages of every conversation in message-list order and the first
// contact of every person key. Refers to the lists it was built from, which
// must outlive it and must not change.
class ConversationIndex {
  public:
    // Builds the index in one pass over the messages and one over the contacts.
    ConversationIndex(const ContactLists& contacts, const SmsLists& sms);

    // Returns the messages whose conversation id is conversationId, in
    // message-list order.
    std::span<const MessageNode* const> messagesOf(int32_t conversationId) const;
    // Returns the first message of a conversation, or null.
    const MessageNode* firstMessage(int32_t conversationId) const;
    // Returns the first live contact whose person key is key, or null.
    const ContactNode* contactByPersonKey(int32_t key) const;

  private:
    std::vector<const MessageNode*> m_messages;
    // Conversation id -> [begin, end) in m_messages.
    std::unordered_map<int32_t, std::pair<uint32_t, uint32_t>> m_ranges;
    std::unordered_map<int32_t, const ContactNode*> m_contacts;
};

// The contact behind a conversation, found through its first message.
struct ConversationContact {
    // The first message's address; empty without messages.
    std::string_view address;
    // The first message's person key; -1 without messages.
    int32_t personKey = -1;
    // The first contact with that key; null when the key is 0 or unknown.
    const ContactNode* contact = nullptr;
};

// Returns the contact behind a live conversation.
ConversationContact conversationContact(const ThreadNode& thread, const ConversationIndex& index);

// The name the record list shows for a live conversation: the stored display
// name of its contact, whatever its source; empty without one.
std::string_view conversationListName(const ConversationContact& found);

// The name written for a conversation whose name and address are both empty.
inline constexpr std::string_view kNoAddressName = "(no address)";

// The name the export gives a live conversation (its file name and the label
// of its received lines): the address when the person key is 0; the
// contact's display name when it comes from the structured name, else the
// address. Made safe by exportSafeName.
std::string conversationExportName(const ConversationContact& found);

// Returns name as a conversation file and its lines may use it: an empty
// name becomes the address, or "(no address)" when that is empty too, so
// conversations of different people never share one nameless file; a name
// that starts with "." gets "_" in front, so its file is not hidden.
std::string exportSafeName(std::string_view name, std::string_view address);

} // namespace fennaro
