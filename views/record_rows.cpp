#include "views/record_rows.h"

#include "views/row_texts.h"

namespace fennaro {

namespace {

// A record text as the list shows it; stray bytes become U+FFFD.
QString cell(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::vector<RecordRow> makeContactRows(RecordStore& store, const ContactDataIndex& index) {
    std::vector<RecordRow> rows;
    rows.reserve(store.deletedContacts.size() + store.contactLists.contacts.size());
    if (!store.deletedContactsText.empty()) {
        for (ContactNode& contact : store.deletedContacts)
            if (const auto texts = deletedContactRowTexts(contact))
                rows.push_back(
                    {{cell(texts->name), cell(texts->phone), QString(), QString()}, &contact});
    }
    for (ContactNode& contact : store.contactLists.contacts) {
        const ContactRowTexts texts = liveContactRowTexts(contact, index);
        rows.push_back(
            {{cell(texts.name), cell(texts.phone), cell(texts.company), cell(texts.email)},
             &contact});
    }
    return rows;
}

std::vector<RecordRow> makeMessageRows(RecordStore& store, const ConversationIndex& index) {
    std::vector<RecordRow> rows;
    rows.reserve(store.deletedSms.size() + store.smsLists.threads.size());
    if (!store.deletedSmsText.empty()) {
        for (ThreadNode& sms : store.deletedSms)
            if (const auto texts = deletedSmsRowTexts(sms))
                rows.push_back({{cell(texts->name), cell(texts->phone)}, &sms});
    }
    for (ThreadNode& thread : store.smsLists.threads) {
        const MessageRowTexts texts = liveConversationRowTexts(thread, index);
        rows.push_back({{cell(texts.name), cell(texts.phone)}, &thread});
    }
    return rows;
}

} // namespace fennaro
