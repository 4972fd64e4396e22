#include "views/record_rows.h"

#include "records/call_log_display.h"
#include "views/row_texts.h"

namespace fennaro {

namespace {

// A record text as the list shows it; stray bytes become U+FFFD.
QString cell(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Deep mode's contact rows: the deleted contacts first, then the live ones
// with deleted fields, then the other live ones.
std::vector<RecordRow> makeDeepContactRows(RecordStore& store, const ContactDataIndex& index) {
    std::vector<RecordRow> rows;
    std::vector<deep::DeepContact>& contacts = store.deep.contactRows;
    rows.reserve(contacts.size());
    for (size_t at : deep::rowsByState(contacts)) {
        deep::DeepContact& contact = contacts[at];
        if (contact.live) {
            const ContactRowTexts texts = liveContactRowTexts(*contact.live, index);
            rows.push_back(
                {{cell(texts.name), cell(texts.phone), cell(texts.company), cell(texts.email)},
                 &contact});
            continue;
        }
        const deep::DeletedContact& gone = *contact.deleted;
        const auto value = [&](deep::FieldKind kind) {
            const deep::ContactField* field = deep::firstField(gone, kind);
            return field ? cell(field->value) : QString();
        };
        rows.push_back(
            {{cell(deep::deletedContactName(gone, nullptr)), value(deep::FieldKind::Phone),
              value(deep::FieldKind::Organization), value(deep::FieldKind::Email)},
             &contact});
    }
    return rows;
}

// A call's type as the list shows it: its label, or the bare code for a
// code no label is known for (kept rather than hidden).
QString callTypeCell(std::optional<int64_t> type) {
    const std::string_view label = deep::callTypeLabel(type);
    return label.empty() && type ? QString::number(*type) : cell(label);
}

// Deep mode's message rows: every conversation, the deleted ones first, then
// the live ones holding deleted messages, then the other live ones, named as
// Recover names them.
std::vector<RecordRow> makeDeepMessageRows(RecordStore& store) {
    std::vector<RecordRow> rows;
    std::vector<deep::DeepConversation>& conversations = store.deep.conversations;
    rows.reserve(conversations.size());
    for (size_t at : deep::rowsByState(conversations)) {
        deep::DeepConversation& conversation = conversations[at];
        rows.push_back({{cell(conversation.name), cell(conversation.address)}, &conversation});
    }
    return rows;
}

} // namespace

std::vector<RecordRow> makeContactRows(RecordStore& store, const ContactDataIndex& index) {
    if (store.deep.loaded)
        return makeDeepContactRows(store, index);
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

std::vector<RecordRow> makeCallRows(RecordStore& store) {
    std::vector<RecordRow> rows;
    rows.reserve(store.deep.calls.size());
    for (deep::CallRecord& call : store.deep.calls) {
        // A hidden caller has neither name nor number: its Number cell says
        // so (the wider Name column stays for names).
        const std::string_view number =
            call.number.empty() ? "Unknown number" : std::string_view(call.number);
        rows.push_back({{cell(call.name), cell(number), cell(call.dateLine),
                         callTypeCell(call.type), cell(deep::callDurationText(call.duration))},
                        &call});
    }
    return rows;
}

std::vector<RecordRow> makeMessageRows(RecordStore& store, const ConversationIndex& index) {
    if (store.deep.loaded)
        return makeDeepMessageRows(store);
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
