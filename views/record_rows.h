// The record list's rows of both categories, made once per loading run: each
// row's cell texts and its record, deleted records first. Made on the loading
// worker after the store is complete (QString is safe to build there), so
// showing a category of tens of thousands of records only hands the ready
// texts to the list.
#pragma once

#include <QStringList>
#include <vector>

#include "records/contact_fields.h"
#include "records/conversation_index.h"
#include "records/record_store.h"
#include "records/timeline.h"

namespace fennaro {

// One row: its cells and the record it shows (a ContactNode or a ThreadNode;
// in deep mode a deep::DeepContact, a deep::DeepConversation or a
// deep::CallRecord).
struct RecordRow {
    QStringList cells;
    void* record = nullptr;
};

struct RecordRows {
    // Name, Phone, Company, Email.
    std::vector<RecordRow> contacts;
    // Name, Phone.
    std::vector<RecordRow> messages;
    // Deep mode only: Name, Number, Date, Type, Duration.
    std::vector<RecordRow> calls;
    // Deep mode only: every dated message and call, newest first. The list
    // makes their texts when it paints them (a phone may hold half a
    // million messages).
    std::vector<TimelineEvent> timeline;
};

// Makes the contact rows of a loaded store: deleted contacts with a TAB (only
// when the engine's contact text is not empty), then every live contact. The
// store must not change while the rows are used.
std::vector<RecordRow> makeContactRows(RecordStore& store, const ContactDataIndex& index);

// Makes the message rows: deleted messages with two TABs (likewise), then
// every live conversation.
std::vector<RecordRow> makeMessageRows(RecordStore& store, const ConversationIndex& index);

// Makes the call log's rows: every call of the store's deep records, in
// their order (deleted ones first). The calls must not change while the rows
// are used.
std::vector<RecordRow> makeCallRows(RecordStore& store);

} // namespace fennaro
