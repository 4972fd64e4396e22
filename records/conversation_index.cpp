#include "conversation_index.h"

namespace fennaro {

ConversationIndex::ConversationIndex(const ContactLists& contacts, const SmsLists& sms) {
    // Stable grouping by conversation: count, turn counts into starts, place.
    for (const MessageNode& message : sms.messages)
        ++m_ranges[message.conversationId].second;
    uint32_t start = 0;
    for (auto& [conversationId, range] : m_ranges) {
        const uint32_t count = range.second;
        range = {start, start};
        start += count;
    }
    m_messages.resize(sms.messages.size());
    for (const MessageNode& message : sms.messages)
        m_messages[m_ranges[message.conversationId].second++] = &message;

    m_contacts.reserve(contacts.contacts.size());
    for (const ContactNode& contact : contacts.contacts)
        m_contacts.try_emplace(contact.personKey, &contact);
}

std::span<const MessageNode* const> ConversationIndex::messagesOf(int32_t conversationId) const {
    auto range = m_ranges.find(conversationId);
    if (range == m_ranges.end())
        return {};
    return std::span<const MessageNode* const>(m_messages)
        .subspan(range->second.first, range->second.second - range->second.first);
}

const MessageNode* ConversationIndex::firstMessage(int32_t conversationId) const {
    auto messages = messagesOf(conversationId);
    return messages.empty() ? nullptr : messages.front();
}

const ContactNode* ConversationIndex::contactByPersonKey(int32_t key) const {
    auto found = m_contacts.find(key);
    return found == m_contacts.end() ? nullptr : found->second;
}

ConversationContact conversationContact(const ThreadNode& thread, const ConversationIndex& index) {
    ConversationContact found;
    const MessageNode* first = index.firstMessage(thread.conversationId);
    if (!first)
        return found;
    found.address = first->address;
    found.personKey = first->personKey;
    if (found.personKey != 0)
        found.contact = index.contactByPersonKey(found.personKey);
    return found;
}

std::string_view conversationListName(const ConversationContact& found) {
    return found.contact ? found.contact->text : std::string_view();
}

std::string conversationExportName(const ConversationContact& found) {
    std::string_view name;
    if (found.personKey == 0)
        name = found.address;
    else if (found.contact && found.contact->displayNameSource == kDisplayNameSourceStructuredName)
        name = found.contact->text;
    else if (found.contact)
        name = found.address;
    return exportSafeName(name, found.address);
}

std::string exportSafeName(std::string_view name, std::string_view address) {
    std::string safe(name.empty() ? address : name);
    if (safe.empty())
        safe = kNoAddressName;
    if (safe.front() == '.')
        safe.insert(0, "_");
    return safe;
}

} // namespace fennaro
