#include "deep_conversations.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "contact_fields.h"
#include "conversation_index.h"
#include "date_line.h"

namespace fennaro::deep {

bool joinsLiveContact(const DeletedContact& contact, const ContactLists& lists) {
    return contact.rawContactId &&
           std::any_of(lists.contacts.begin(), lists.contacts.end(), [&](const ContactNode& live) {
               return live.contactId == *contact.rawContactId;
           });
}

RowState rowState(const DeepContact& contact) {
    if (!contact.live)
        return RowState::Deleted;
    return deletedPartCount(contact) != 0 ? RowState::LiveWithDeleted : RowState::Live;
}

RowState rowState(const DeepConversation& conversation) {
    const bool anyLive =
        conversation.thread ||
        std::any_of(conversation.messages.begin(), conversation.messages.end(),
                    [](const ConversationEntry& entry) { return !isDeletedEntry(entry); });
    if (!anyLive)
        return RowState::Deleted;
    return conversation.deletedCount != 0 ? RowState::LiveWithDeleted : RowState::Live;
}

size_t deletedPartCount(const DeepContact& contact) {
    return contact.live && contact.deleted ? contact.deleted->fields.size() : 0;
}

size_t deletedPartCount(const DeepConversation& conversation) {
    return rowState(conversation) == RowState::LiveWithDeleted ? conversation.deletedCount : 0;
}

std::string_view rowStateWord(RowState state) {
    switch (state) {
    case RowState::Deleted:
        return "deleted";
    case RowState::LiveWithDeleted:
        return "live+deleted";
    case RowState::Live:
        break;
    }
    return "live";
}

std::string deletedContactName(const DeletedContact& contact, const ContactNode* live) {
    if (!contact.name.empty())
        return contact.name;
    if (live && !live->text.empty())
        return std::string(live->text);
    if (const ContactField* phone = firstField(contact, FieldKind::Phone))
        return phone->value;
    return "No Name";
}

} // namespace fennaro::deep
