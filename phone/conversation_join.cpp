#include "phone/conversation_join.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "contact_fields.h"
#include "conversation_index.h"
#include "date_line.h"

namespace fennaro::deep {

namespace {

// Orders a conversation's messages: dated ones by their stored time, then
// the undated ones; ties keep the order they were added in (live first).
void sortByDate(std::vector<ConversationEntry>& messages) {
    std::stable_sort(messages.begin(), messages.end(),
                     [](const ConversationEntry& a, const ConversationEntry& b) {
                         return std::pair(!a.dateMs, a.dateMs.value_or(0)) <
                                std::pair(!b.dateMs, b.dateMs.value_or(0));
                     });
}

// Returns the name of a conversation in deep mode: the live contact whose
// number is its address, else fallback, made safe for a file name.
std::string conversationName(const LiveNumberNames& names, std::string_view address,
                             std::string_view fallback) {
    const ContactNode* contact = names.contactOf(address);
    const std::string_view name =
        contact && !listDisplayName(*contact).empty() ? listDisplayName(*contact) : fallback;
    return exportSafeName(name, address);
}

} // namespace

LiveNumberNames::LiveNumberNames(const ContactLists& contacts) {
    std::unordered_map<int32_t, const ContactNode*> byId;
    for (const ContactNode& contact : contacts.contacts)
        byId.try_emplace(contact.contactId, &contact);
    for (const DataRowNode& row : contacts.dataRows) {
        const auto owner = byId.find(row.contactId);
        if (owner == byId.end() || row.value.empty() ||
            resolveDataRowKind(row, contacts.mimeTypes) != DataRowKind::Phone)
            continue;
        m_numbers.add(row.value, int64_t(m_contacts.size()));
        m_contacts.push_back(owner->second);
    }
}

const ContactNode* LiveNumberNames::contactOf(std::string_view address) const {
    int64_t at = 0;
    return m_numbers.find(address, &at) ? m_contacts[size_t(at)] : nullptr;
}

std::vector<DeepConversation> assembleConversations(const ContactLists& contacts,
                                                    const SmsLists& sms,
                                                    std::vector<DeletedMessage>& deleted,
                                                    std::vector<DeletedMessage>* others) {
    const ConversationIndex index(contacts, sms);
    const LiveNumberNames names(contacts);
    std::vector<DeepConversation> conversations;
    conversations.reserve(sms.threads.size());
    // Where deleted messages go: live threads by id, every conversation by
    // its address, conversations of deleted messages by their dead thread.
    std::unordered_map<int64_t, size_t> byThread;
    std::map<int64_t, size_t> byDeadThread;
    PhoneNumberIndex byAddress;
    for (const ThreadNode& thread : sms.threads) {
        DeepConversation conversation;
        conversation.thread = &thread;
        const ConversationContact found = conversationContact(thread, index);
        conversation.address = std::string(found.address);
        conversation.name = conversationName(names, found.address, conversationExportName(found));
        for (const MessageNode* message : index.messagesOf(thread.conversationId)) {
            conversation.messages.push_back({message, nullptr, message->dateLine, message->dateMs,
                                             message->type == 1, message->body});
        }
        byThread.try_emplace(thread.conversationId, conversations.size());
        if (!conversation.address.empty())
            byAddress.add(conversation.address, int64_t(conversations.size()));
        conversations.push_back(std::move(conversation));
    }

    DateLineFormatter dates;
    std::vector<DeletedMessage*> extra;
    extra.reserve(deleted.size() + (others ? others->size() : 0));
    for (DeletedMessage& message : deleted)
        extra.push_back(&message);
    if (others) {
        for (DeletedMessage& message : *others)
            extra.push_back(&message);
    }
    std::vector<bool> joined(conversations.size(), false);
    // Messages that kept neither a thread nor an address share one
    // conversation: apart, each would stand as another "(no address)".
    constexpr size_t kNone = size_t(-1);
    size_t nowhere = kNone;
    for (DeletedMessage* added : extra) {
        DeletedMessage& message = *added;
        size_t at = conversations.size();
        int64_t found = 0;
        const bool placeless = !message.threadId && message.address.empty();
        if (message.threadId && byThread.count(*message.threadId)) {
            at = byThread[*message.threadId];
        } else if (byAddress.find(message.address, &found)) {
            at = size_t(found);
        } else if (message.threadId && byDeadThread.count(*message.threadId)) {
            at = byDeadThread[*message.threadId];
        } else if (placeless && nowhere != kNone) {
            at = nowhere;
        } else {
            if (placeless)
                nowhere = at;
            DeepConversation own;
            own.address = message.address;
            own.name = conversationName(names, message.address, {});
            if (message.threadId)
                byDeadThread.emplace(*message.threadId, at);
            if (!message.address.empty())
                byAddress.add(message.address, int64_t(at));
            conversations.push_back(std::move(own));
        }
        ConversationEntry entry;
        entry.deleted = &message;
        if (message.date) {
            message.dateLine = std::string(dates.format(*message.date));
            entry.dateMs = message.date;
        }
        entry.dateLine = message.dateLine;
        entry.received = isReceived(message);
        entry.body = message.body;
        conversations[at].messages.push_back(std::move(entry));
        // A live MMS or a live message of the app's store is no deleted one.
        if (message.deleted)
            ++conversations[at].deletedCount;
        joined.resize(conversations.size(), false);
        joined[at] = true;
    }

    for (size_t i = 0; i < conversations.size(); ++i) {
        if (i >= joined.size() || !joined[i])
            continue;
        DeepConversation& conversation = conversations[i];
        sortByDate(conversation.messages);
        // A thread of MMS only has no SMS to name its other party: its
        // first message with an address does.
        if (!conversation.thread || !conversation.address.empty())
            continue;
        for (const ConversationEntry& entry : conversation.messages) {
            if (entry.deleted && !entry.deleted->address.empty()) {
                conversation.address = entry.deleted->address;
                conversation.name = conversationName(names, conversation.address, {});
                break;
            }
        }
    }
    // Listed by state: wholly deleted conversations, then live ones holding
    // deleted messages, then the other live ones.
    std::vector<DeepConversation> ordered;
    ordered.reserve(conversations.size());
    for (size_t at : rowsByState(conversations))
        ordered.push_back(std::move(conversations[at]));
    return ordered;
}

std::vector<DeepContact> assembleContacts(const ContactLists& lists,
                                          const std::vector<DeletedContact>& deleted) {
    std::unordered_map<int64_t, const DeletedContact*> byRawContact;
    for (const DeletedContact& contact : deleted) {
        if (contact.rawContactId)
            byRawContact.try_emplace(*contact.rawContactId, &contact);
    }
    std::vector<DeepContact> result;
    result.reserve(lists.contacts.size() + deleted.size());
    std::unordered_map<const DeletedContact*, bool> joined;
    for (const ContactNode& live : lists.contacts) {
        const auto found = byRawContact.find(live.contactId);
        const DeletedContact* fields = found == byRawContact.end() ? nullptr : found->second;
        if (fields)
            joined[fields] = true;
        result.push_back({&live, fields});
    }
    for (const DeletedContact& contact : deleted) {
        if (!joined.count(&contact))
            result.push_back({nullptr, &contact});
    }
    return result;
}

void assembleDeepRecords(DeepRecordSet& set, const ContactLists& contacts, const SmsLists& sms) {
    set.contactRows = assembleContacts(contacts, set.contacts);
    set.conversations = assembleConversations(contacts, sms, set.messages, &set.otherMessages);
    if (!set.liveSmsDeletedInAppByDateAndText.empty()) {
        // A live SMS the app deleted shows once: as the app's deleted copy.
        for (DeepConversation& conversation : set.conversations) {
            std::erase_if(conversation.messages, [&](const ConversationEntry& entry) {
                return entry.live && set.liveSmsDeletedInAppByDateAndText.count(
                                         {entry.live->dateMs, std::string(entry.live->body)});
            });
        }
    }
    if (!set.liveSmsInBugleByDateAndText.empty()) {
        for (DeepConversation& conversation : set.conversations) {
            for (ConversationEntry& entry : conversation.messages) {
                entry.liveAlsoInApp =
                    entry.live && set.liveSmsInBugleByDateAndText.count(
                                      {entry.live->dateMs, std::string(entry.live->body)}) != 0;
            }
        }
    }
    set.loaded = true;
}

} // namespace fennaro::deep
