#include "phone/sms_deleted.h"

#include "phone/recovered_values.h"
#include "phone/scan_rules.h"
#include "recovered_text.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

namespace {

enum Column { Id, Thread, Address, Date, DateSent, Type, Read, Body };

} // namespace

const std::vector<std::string>& deletedSmsColumns() {
    static const std::vector<std::string> kColumns{"_id",       "thread_id", "address", "date",
                                                   "date_sent", "type",      "read",    "body"};
    return kColumns;
}

void collectDeletedSms(RecoveredRecord& record, const std::string& smsDb,
                       std::vector<DeletedMessage>& messages) {
    DeletedMessage message;
    message.id = record.rowid ? record.rowid : numberOf(knownValue(record, Id));
    message.threadId = numberOf(knownValue(record, Thread));
    message.address = textOf(knownValue(record, Address));
    message.date = numberOf(knownValue(record, Date));
    message.dateSent = numberOf(knownValue(record, DateSent));
    message.type = numberOf(knownValue(record, Type));
    message.read = numberOf(knownValue(record, Read));
    message.body = textOf(knownValue(record, Body));
    // Zeroed bytes read as a row (a blob of zeros for its address, nothing
    // else) tell of no message: a row needs a date, a conversation, or an
    // address or body that shows something before a zero byte.
    if (!message.date && !message.threadId && utf8ToAnsi(message.address).empty() &&
        utf8ToAnsi(message.body).empty())
        return;
    message.evidence = evidenceWords(record);
    message.place = placeOf(record, smsDb);
    messages.push_back(std::move(message));
}

std::vector<DeletedMessage> readDeletedMessages(const std::string& smsDb) {
    std::vector<DeletedMessage> messages;
    std::string error;
    const OpenDatabase state = openDatabase(smsDb, &error);
    if (!state)
        return messages;
    phone::scanSelected(
        *state, {{"sms", {deletedSmsColumns()}}},
        {[&](size_t records) { messages.reserve(records); },
         [&](RecoveredRecord& record) { collectDeletedSms(record, smsDb, messages); }});
    return messages;
}

} // namespace fennaro::deep
