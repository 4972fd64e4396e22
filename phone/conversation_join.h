// The joining of deep mode's records: each deleted message placed in its
// conversation (by its live thread, else by a conversation of the same
// phone number, else in one of its own named by its address), in date
// order, and each deleted contact joined to the live contact it still
// belongs to or standing as a contact of its own.
#pragma once

#include <string_view>
#include <vector>

#include "deep_conversations.h"
#include "phone/phone_match.h"

namespace fennaro::deep {

// Finds the live contact of a phone number among the live contacts' numbers.
class LiveNumberNames {
  public:
    // Files every live Phone row's number under its contact.
    explicit LiveNumberNames(const ContactLists& contacts);
    // Returns the live contact whose number is the same phone number as
    // address, or null.
    const ContactNode* contactOf(std::string_view address) const;

  private:
    PhoneNumberIndex m_numbers;
    std::vector<const ContactNode*> m_contacts;
};

// Returns every conversation: the wholly deleted ones first, then the live
// ones holding deleted messages, then the others, each group in the live
// list's order (conversations not in it after the live ones, in the order
// their messages were found).
// The deleted messages get their date lines here (deleted must then not
// change: the conversations point into it).
// others are the messages of the other stores (live and deleted MMS, the
// messaging app's own messages); they join conversations as deleted SMS do,
// and count in deletedCount only when deleted.
std::vector<DeepConversation> assembleConversations(const ContactLists& contacts,
                                                    const SmsLists& sms,
                                                    std::vector<DeletedMessage>& deleted,
                                                    std::vector<DeletedMessage>* others = nullptr);

// Returns the deleted contacts with the live contacts they join: every live
// contact in list order, each with its deleted fields, then the deleted
// contacts whose raw contact is gone.
std::vector<DeepContact> assembleContacts(const ContactLists& lists,
                                          const std::vector<DeletedContact>& deleted);

// Makes the rows of a set whose contacts and messages are read, with the
// live lists they join, and marks the set loaded.
void assembleDeepRecords(DeepRecordSet& set, const ContactLists& contacts, const SmsLists& sms);

} // namespace fennaro::deep
