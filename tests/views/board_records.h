// Record lists filled by hand for the board tests: contacts with their data
// rows, conversations with their messages, and deleted records.
#pragma once

#include <string_view>

#include "records/contact_fields.h"
#include "records/record_nodes.h"

namespace fennaro::test {

// Mime type ids of the hand-made lists.
inline constexpr int kEmailMime = 1;
inline constexpr int kOrganizationMime = 4;
inline constexpr int kPhoneMime = 5;
inline constexpr int kNameMime = 7;

struct BoardRecords {
    ContactLists contacts;
    SmsLists sms;

    BoardRecords() {
        contacts.mimeTypes = {{kEmailMime, kEmailMimeType},
                              {kOrganizationMime, kOrganizationMimeType},
                              {kPhoneMime, kPhoneMimeType},
                              {kNameMime, "vnd.android.cursor.item/name"}};
    }

    // Adds a live contact; returns its index in the contact list.
    size_t contact(int id, std::string_view name, int source = kDisplayNameSourceStructuredName) {
        contacts.contacts.push_back({id, 1, id, 0, contacts.texts.add(name), source});
        return contacts.contacts.size() - 1;
    }
    // Adds a deleted contact made of its carved line.
    size_t deletedContact(std::string_view line) {
        const int seq = static_cast<int>(contacts.contacts.size());
        contacts.contacts.push_back({seq, 1, 0, 1, contacts.texts.add(line), 0});
        return contacts.contacts.size() - 1;
    }
    // Adds a data row of a contact.
    void row(int contactId, int mime, std::string_view value, std::string_view type = {},
             std::string_view second = {}, std::string_view third = {}) {
        contacts.dataRows.push_back({mime, contactId, contacts.texts.add(value),
                                     contacts.texts.add(type), contacts.texts.add(second),
                                     contacts.texts.add(third)});
    }
    // Adds a live conversation.
    size_t thread(int id) {
        sms.threads.push_back({id, 1, 0, {}});
        return sms.threads.size() - 1;
    }
    // Adds a deleted SMS made of its carved line.
    size_t deletedSms(std::string_view line) {
        const int seq = static_cast<int>(sms.threads.size());
        sms.threads.push_back({seq, 1, 1, sms.texts.add(line)});
        return sms.threads.size() - 1;
    }
    // Adds a message to a conversation; type 1 is received.
    void message(int threadId, int type, std::string_view date, std::string_view body) {
        sms.messages.push_back(
            {threadId, sms.texts.add("555"), 0, sms.texts.add(date), type, sms.texts.add(body)});
    }
};

} // namespace fennaro::test
