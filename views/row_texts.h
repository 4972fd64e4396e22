// The texts of the record list's rows: what each cell of a contact row or a
// message row shows, for live and deleted records. Shared by the record list
// and the command line, so both show the same rows.
#pragma once

#include <optional>
#include <string_view>

#include "contact_fields.h"
#include "conversation_index.h"
#include "record_nodes.h"

namespace fennaro {

// The cells of a contact row: Name, Phone, Company, Email.
struct ContactRowTexts {
    std::string_view name;
    std::string_view phone;
    std::string_view company;
    std::string_view email;
};

// The cells of a message row: Name, Phone.
struct MessageRowTexts {
    std::string_view name;
    std::string_view phone;
};

// Returns the row of a deleted contact: the text before its first TAB and the
// text after it. A text without a TAB gives no row.
std::optional<ContactRowTexts> deletedContactRowTexts(const ContactNode& contact);

// Returns the row of a live contact: its stored display name and the first
// non-empty phone, company and e-mail address.
ContactRowTexts liveContactRowTexts(const ContactNode& contact, const ContactDataIndex& index);

// Returns the row of a deleted SMS: the sender name before the first TAB and
// the address between the first and the second TAB. A text with fewer than
// two TABs gives no row.
std::optional<MessageRowTexts> deletedSmsRowTexts(const ThreadNode& sms);

// Returns the row of a live conversation: the contact found through its first
// message (empty name without one) and that message's address.
MessageRowTexts liveConversationRowTexts(const ThreadNode& thread, const ConversationIndex& index);

} // namespace fennaro
