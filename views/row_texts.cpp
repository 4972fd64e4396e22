#include "row_texts.h"

namespace fennaro {

std::optional<ContactRowTexts> deletedContactRowTexts(const ContactNode& contact) {
    const std::size_t tab = contact.text.find('\t');
    if (tab == std::string_view::npos)
        return std::nullopt;
    ContactRowTexts row;
    row.name = contact.text.substr(0, tab);
    row.phone = contact.text.substr(tab + 1);
    return row;
}

ContactRowTexts liveContactRowTexts(const ContactNode& contact, const ContactDataIndex& index) {
    const ContactListFields fields = contactListFields(contact, index);
    return {listDisplayName(contact), fields.phone, fields.company, fields.email};
}

std::optional<MessageRowTexts> deletedSmsRowTexts(const ThreadNode& sms) {
    const std::size_t first = sms.text.find('\t');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t second = sms.text.find('\t', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    return MessageRowTexts{sms.text.substr(0, first),
                           sms.text.substr(first + 1, second - first - 1)};
}

MessageRowTexts liveConversationRowTexts(const ThreadNode& thread, const ConversationIndex& index) {
    const ConversationContact found = conversationContact(thread, index);
    return {conversationListName(found), found.address};
}

} // namespace fennaro
