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
