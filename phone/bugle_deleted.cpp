#include "phone/bugle_deleted.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "phone/recovered_values.h"
#include "phone/scan_rules.h"
#include "phone/store_parts.h"
#include "phone/table_columns.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

namespace {

// A bugle message row: live or deleted.
struct BugleRow {
    std::optional<int64_t> conversation, sender, received, sent, read;
    std::string uri;
    bool live = false;
    std::string evidence;
    RecordPlace place;
};

// Returns the bugle message a row and its parts make.
DeletedMessage messageOf(std::optional<int64_t> id, const BugleRow& row,
                         const std::vector<TextPart>& parts, const BugleConversations& joins) {
    DeletedMessage message;
    message.store = MessageStore::Bugle;
    message.id = id;
    message.read = row.read;
    message.dateSent = row.sent;
    message.telephonyUri = row.uri;
    message.date = row.received;
    std::optional<int64_t> conversation = row.conversation;
    if (!parts.empty()) {
        if (!message.date)
            message.date = parts.front().timestamp;
        if (!conversation)
            conversation = parts.front().conversation;
    }
    if (!row.live) {
        message.evidence = row.evidence;
        message.place = row.place;
    }
    if (!parts.empty()) {
        message.evidence.clear();
        takeParts(message, parts);
    }
    joins.join(message, conversation, row.sender);
    message.deleted = true;
    return message;
}

} // namespace

std::vector<DeletedMessage> readDeletedBugle(const std::string& bugleDb) {
    std::vector<DeletedMessage> messages;
    std::string error;
    const OpenDatabase state = openDatabase(bugleDb, &error);
    if (!state)
        return messages;
    const auto number = [](const Value& v) { return numberOf(v.isNull() ? nullptr : &v); };
    const auto text = [](const Value& v) { return textOf(v.isNull() ? nullptr : &v); };
    // Live rows first: the first row of an id filed stays.
    BugleConversations joins;
    forEachLiveRow(
        *state, "participants", {"_id", "sub_id", "display_destination", "normalized_destination"},
        [&](std::vector<Value>& row) {
            joins.addParticipant(number(row[0]), number(row[1]), {text(row[2]), text(row[3])});
        });
    forEachLiveRow(
        *state, "conversations", phone::kBugleConversationColumns,
        [&](std::vector<Value>& row) { joins.addThread(number(row[0]), number(row[1])); });
    forEachLiveRow(
        *state, "conversation_participants", phone::kBugleMemberColumns,
        [&](std::vector<Value>& row) { joins.addMember(number(row[0]), number(row[1])); });
    std::map<int64_t, BugleRow> liveMessages;
    forEachLiveRow(*state, "messages", phone::kBugleMessageColumns, [&](std::vector<Value>& row) {
        if (const auto id = number(row[0])) {
            BugleRow& live = liveMessages[*id];
            live.conversation = number(row[1]);
            live.sender = number(row[2]);
            live.received = number(row[3]);
            live.sent = number(row[4]);
            live.read = number(row[5]);
            live.uri = text(row[6]);
            live.live = true;
        }
    });

    std::map<int64_t, BugleRow> deletedMessages;
    std::vector<TextPart> parts;
    phone::scanSelected(
        *state,
        {{"messages", {phone::columnNames(phone::kBugleMessageColumns)}},
         {"parts", {{"_id", "message_id", "content_type", "text", "timestamp", "conversation_id"}}},
         {"participants",
          {{"_id", "sub_id", "display_destination", "normalized_destination"}, true}},
         {"conversations", {phone::columnNames(phone::kBugleConversationColumns), true}},
         {"conversation_participants", {phone::columnNames(phone::kBugleMemberColumns)}}},
        {nullptr, [&](RecoveredRecord& record) {
             const auto value = [&](size_t i) { return knownValue(record, i); };
             const auto rowId = [&] { return record.rowid ? record.rowid : numberOf(value(0)); };
             if (record.table == "messages") {
                 const auto id = rowId();
                 if (!id || deletedMessages.count(*id))
                     return;
                 deletedMessages[*id] = {numberOf(value(1)),
                                         numberOf(value(2)),
                                         numberOf(value(3)),
                                         numberOf(value(4)),
                                         numberOf(value(5)),
                                         textOf(value(6)),
                                         false,
                                         evidenceWords(record),
                                         placeOf(record, bugleDb)};
             } else if (record.table == "parts") {
                 TextPart part;
                 part.text = textOf(value(3));
                 if (!isTextPart(value(2), part.text))
                     return;
                 part.id = rowId();
                 part.owner = numberOf(value(1));
                 part.timestamp = numberOf(value(4));
                 part.conversation = numberOf(value(5));
                 part.evidence = evidenceWords(record);
                 part.place = placeOf(record, bugleDb);
                 parts.push_back(std::move(part));
             } else if (record.table == "participants") {
                 joins.addParticipant(rowId(), numberOf(value(1)),
                                      {textOf(value(2)), textOf(value(3))});
             } else if (record.table == "conversations") {
                 joins.addThread(rowId(), numberOf(value(1)));
             } else if (record.table == "conversation_participants") {
                 joins.addMember(numberOf(value(0)), numberOf(value(1)));
             }
         }});

    auto byOwner = partsByOwner(std::move(parts));
    for (const auto& [id, row] : deletedMessages) {
        if (liveMessages.count(id))
            continue; // an older version of a live message
        const auto found = byOwner.find(id);
        static const std::vector<TextPart> kNoParts;
        messages.push_back(
            messageOf(id, row, found == byOwner.end() ? kNoParts : found->second, joins));
    }
    for (const auto& [owner, list] : byOwner) {
        if (owner && deletedMessages.count(*owner) && !liveMessages.count(*owner))
            continue;
        if (owner) {
            const auto live = liveMessages.find(*owner);
            messages.push_back(messageOf(
                owner, live != liveMessages.end() ? live->second : BugleRow{}, list, joins));
            continue;
        }
        for (const TextPart& part : list) {
            DeletedMessage message = messageOf(std::nullopt, BugleRow{}, {part}, joins);
            messages.push_back(std::move(message));
        }
    }
    for (DeletedMessage& message : messages) {
        if (message.place.file.empty())
            message.place.file = bugleDb;
    }
    return messages;
}

} // namespace fennaro::deep
