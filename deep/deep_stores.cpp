#include "deep_stores.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "database_state.h"
#include "deep_load.h"
#include "deep_records.h"
#include "live_rows.h"
#include "message_merge.h"
#include "recovered_values.h"
#include "recovered_text.h"
#include "scan_selection.h"
#include "schema_reader.h"
#include "store_messages.h"

namespace fennaro::deep {

namespace {

// The MMS address types From and To; the address a sent MMS holds for the user.
constexpr int64_t kAddrFrom = 137;
constexpr int64_t kAddrTo = 151;
constexpr std::string_view kSelfToken = "insert-address-token";
// A bugle participant's sub_id when it is someone else.
constexpr int64_t kOtherParty = -2;

// Returns whether a part holds the message's text: its content type says
// text/plain, or (when the type did not survive) it has a text that is no
// SMIL layout.
bool isTextPart(const Value* type, const std::string& text) {
    if (type) {
        std::string lower = textOf(type);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        return lower.rfind("text/plain", 0) == 0;
    }
    return !text.empty() && text.rfind("<smil", 0) != 0 && text.rfind("<?xml", 0) != 0;
}

// A deleted text part of either store.
struct TextPart {
    std::optional<int64_t> id;
    std::optional<int64_t> owner; // part.mid / parts.message_id
    std::optional<int64_t> order; // part.seq; bugle parts go by _id
    std::optional<int64_t> timestamp;
    std::optional<int64_t> conversation;
    std::string text;
    std::string evidence;
    RecordPlace place;
};

// Returns whether a part came from an index (the words or an index entry), not its cell.
bool isIndexCopy(const TextPart& part) {
    return part.evidence.rfind("index", 0) == 0 || part.evidence.rfind("words", 0) == 0;
}

// Keeps one copy of each part: by _id where it survived (the copy that
// knows its owner first), the others as they come. Returns them by owner
// and order; parts without an owner under key nullopt.
std::map<std::optional<int64_t>, std::vector<TextPart>> partsByOwner(std::vector<TextPart> parts) {
    std::stable_sort(parts.begin(), parts.end(), [](const TextPart& a, const TextPart& b) {
        return std::tuple(!a.owner, !a.id, a.id.value_or(0)) <
               std::tuple(!b.owner, !b.id, b.id.value_or(0));
    });
    std::set<int64_t> seen;
    std::map<std::optional<int64_t>, std::vector<TextPart>> byOwner;
    for (TextPart& part : parts) {
        if (part.id && !seen.insert(*part.id).second)
            continue;
        byOwner[part.owner].push_back(std::move(part));
    }
    // A part read from its cell lost its _id with the cell's first bytes
    // (header lost), while the words index and the mid index still name it:
    // the same part twice. The cell's text is the whole one; the index's
    // copy goes where a cell part has the same words (in its owner, or
    // anywhere for a copy that kept no owner).
    std::set<std::pair<std::optional<int64_t>, std::string>> cellWords;
    for (const auto& [owner, list] : byOwner) {
        for (const TextPart& part : list) {
            if (!isIndexCopy(part)) {
                cellWords.emplace(owner, indexedWords(part.text));
                cellWords.emplace(std::nullopt, indexedWords(part.text));
            }
        }
    }
    for (auto& [owner, list] : byOwner) {
        std::erase_if(list, [&, owner = owner](const TextPart& part) {
            return isIndexCopy(part) && cellWords.count({owner, indexedWords(part.text)});
        });
        std::stable_sort(list.begin(), list.end(), [](const TextPart& a, const TextPart& b) {
            return std::tuple(a.order.value_or(0), a.id.value_or(0)) <
                   std::tuple(b.order.value_or(0), b.id.value_or(0));
        });
    }
    std::erase_if(byOwner, [](const auto& entry) { return entry.second.empty(); });
    return byOwner;
}

// Joins parts' texts into a body, a line break between parts; the first
// part gives evidence and place when the message has none yet.
void takeParts(DeletedMessage& message, const std::vector<TextPart>& parts) {
    for (const TextPart& part : parts) {
        if (!message.body.empty() && !part.text.empty())
            message.body += '\n';
        message.body += part.text;
    }
    if (!parts.empty() && message.evidence.empty()) {
        message.evidence = parts.front().evidence;
        message.place = parts.front().place;
    }
}

// Adds address to list unless it is empty, the user's token or already there.
void addParty(std::vector<std::string>& list, const std::string& address) {
    if (address.empty() || address == kSelfToken ||
        std::find(list.begin(), list.end(), address) != list.end())
        return;
    list.push_back(address);
}

// Gives a message its address and recipients from the parties in order.
void setParties(DeletedMessage& message, const std::vector<std::string>& parties) {
    if (parties.empty())
        return;
    message.address = parties.front();
    message.recipients.assign(parties.begin() + 1, parties.end());
}

// A pdu row: live or deleted.
struct PduRow {
    std::optional<int64_t> thread, date, dateSent, box, read, kind;
    bool live = false;
    std::string evidence;
    RecordPlace place;
};

// Returns the MMS of a pdu row, with its parts and addresses.
DeletedMessage mmsOf(int64_t id, const PduRow& pdu, const std::vector<TextPart>& parts,
                     const std::vector<std::pair<int64_t, std::string>>& addresses) {
    DeletedMessage message;
    message.store = MessageStore::Mms;
    message.id = id;
    message.threadId = pdu.thread;
    if (pdu.date)
        message.date = *pdu.date * 1000; // pdu dates are seconds
    if (pdu.dateSent)
        message.dateSent = *pdu.dateSent * 1000;
    if (pdu.box)
        message.type = *pdu.box == 1 ? 1 : 2;
    message.read = pdu.read;
    if (!pdu.live) {
        message.evidence = pdu.evidence;
        message.place = pdu.place;
    }
    // The text is what the user reads: its part's place names the message.
    if (!parts.empty()) {
        message.evidence.clear();
        takeParts(message, parts);
    }
    // Without its pdu, the From address still tells the box: a sent MMS
    // holds the user's token there, a received one the sender.
    if (!message.type) {
        for (const auto& [type, address] : addresses) {
            if (type == kAddrFrom && !address.empty())
                message.type = address == kSelfToken ? 2 : 1;
        }
    }
    std::vector<std::string> parties;
    const int64_t own = message.type == 1 ? kAddrFrom : kAddrTo;
    for (const auto& [type, address] : addresses) {
        if (type == own)
            addParty(parties, address);
    }
    for (const auto& [type, address] : addresses)
        addParty(parties, address);
    setParties(message, parties);
    return message;
}

} // namespace

std::vector<DeletedMessage> readDeletedMms(const std::string& smsDb) {
    std::vector<DeletedMessage> messages;
    std::string error;
    const std::unique_ptr<DatabaseState> state = openDatabaseState(smsDb, &error);
    if (!state)
        return messages;
    const SchemaInfo schema = readSchema(*state->current, state->usableSize, state->textEncoding);
    std::map<int64_t, PduRow> livePdus;
    forEachLiveRow(*state, schema, "pdu",
                   {"_id", "thread_id", "date", "date_sent", "msg_box", "read", "m_type"},
                   [&](std::vector<Value>& row) {
                       const auto id = numberOf(row[0].isNull() ? nullptr : &row[0]);
                       if (!id)
                           return;
                       PduRow& pdu = livePdus[*id];
                       const auto number = [&](size_t i) {
                           return numberOf(row[i].isNull() ? nullptr : &row[i]);
                       };
                       pdu.thread = number(1);
                       pdu.date = number(2);
                       pdu.dateSent = number(3);
                       pdu.box = number(4);
                       pdu.read = number(5);
                       pdu.kind = number(6);
                       pdu.live = true;
                   });
    std::unordered_map<int64_t, std::vector<std::pair<int64_t, std::string>>> addresses;
    std::set<std::tuple<int64_t, int64_t, std::string>> seenAddresses;
    const auto addAddress = [&](std::optional<int64_t> owner, std::optional<int64_t> type,
                                std::string address) {
        if (owner && seenAddresses.emplace(*owner, type.value_or(0), address).second)
            addresses[*owner].emplace_back(type.value_or(0), std::move(address));
    };
    forEachLiveRow(*state, schema, "addr", {"msg_id", "type", "address"},
                   [&](std::vector<Value>& row) {
                       addAddress(numberOf(row[0].isNull() ? nullptr : &row[0]),
                                  numberOf(row[1].isNull() ? nullptr : &row[1]),
                                  textOf(row[2].isNull() ? nullptr : &row[2]));
                   });

    std::map<int64_t, PduRow> deletedPdus;
    std::vector<PduRow> loosePdus;
    std::vector<TextPart> parts;
    scanSelected(*state,
                 {{"pdu", {{"_id", "thread_id", "date", "date_sent", "msg_box", "read", "m_type"}}},
                  {"part", {{"_id", "mid", "seq", "ct", "text"}}},
                  {"addr", {{"msg_id", "type", "address"}}}},
                 {nullptr, [&](RecoveredRecord& record) {
                      const auto value = [&](size_t i) { return knownValue(record, i); };
                      if (record.table == "pdu") {
                          const auto id = record.rowid ? record.rowid : numberOf(value(0));
                          if (id && deletedPdus.count(*id))
                              return;
                          // A pdu whose cell lost its first bytes lost its _id
                          // with them: no part or address joins it, but its
                          // date and box still tell of a deleted MMS.
                          PduRow pdu;
                          pdu.thread = numberOf(value(1));
                          pdu.date = numberOf(value(2));
                          pdu.dateSent = numberOf(value(3));
                          pdu.box = numberOf(value(4));
                          pdu.read = numberOf(value(5));
                          pdu.kind = numberOf(value(6));
                          pdu.evidence = evidenceWords(record);
                          pdu.place = placeOf(record, smsDb);
                          if (id)
                              deletedPdus[*id] = std::move(pdu);
                          else
                              loosePdus.push_back(std::move(pdu));
                      } else if (record.table == "part") {
                          TextPart part;
                          part.text = textOf(value(4));
                          if (!isTextPart(value(3), part.text))
                              return;
                          part.id = record.rowid ? record.rowid : numberOf(value(0));
                          part.owner = numberOf(value(1));
                          part.order = numberOf(value(2));
                          part.evidence = evidenceWords(record);
                          part.place = placeOf(record, smsDb);
                          parts.push_back(std::move(part));
                      } else if (record.table == "addr") {
                          addAddress(numberOf(value(0)), numberOf(value(1)), textOf(value(2)));
                      }
                  }});

    auto byOwner = partsByOwner(std::move(parts));
    static const std::vector<TextPart> kNoParts;
    static const std::vector<std::pair<int64_t, std::string>> kNoAddresses;
    const auto partsOf = [&](int64_t id) -> const std::vector<TextPart>& {
        const auto found = byOwner.find(id);
        return found == byOwner.end() ? kNoParts : found->second;
    };
    const auto addressesOf =
        [&](int64_t id) -> const std::vector<std::pair<int64_t, std::string>>& {
        const auto found = addresses.find(id);
        return found == addresses.end() ? kNoAddresses : found->second;
    };
    for (const auto& [id, pdu] : deletedPdus) {
        // Reports of delivery (134) and reading (136) are no messages.
        if (pdu.kind && (*pdu.kind == 134 || *pdu.kind == 136) && partsOf(id).empty())
            continue;
        if (livePdus.count(id))
            continue; // an older version of a live MMS
        messages.push_back(mmsOf(id, pdu, partsOf(id), addressesOf(id)));
    }
    for (const auto& [owner, list] : byOwner) {
        if (owner && deletedPdus.count(*owner) && !livePdus.count(*owner))
            continue;
        if (owner) {
            const auto live = livePdus.find(*owner);
            // A deleted part of a live MMS, or one whose pdu is gone.
            DeletedMessage message = mmsOf(*owner, live != livePdus.end() ? live->second : PduRow{},
                                           list, addressesOf(*owner));
            messages.push_back(std::move(message));
            continue;
        }
        // Parts that kept no owner stand alone, one message each.
        for (const TextPart& part : list) {
            DeletedMessage message = mmsOf(0, PduRow{}, {part}, kNoAddresses);
            message.id.reset();
            messages.push_back(std::move(message));
        }
    }
    for (const PduRow& pdu : loosePdus) {
        if (pdu.kind && (*pdu.kind == 134 || *pdu.kind == 136))
            continue;
        DeletedMessage message = mmsOf(0, pdu, kNoParts, kNoAddresses);
        message.id.reset();
        messages.push_back(std::move(message));
    }
    for (DeletedMessage& message : messages) {
        message.deleted = true;
        if (message.place.file.empty())
            message.place.file = smsDb;
    }
    return messages;
}

namespace {

// A bugle participant: its direction and shown address.
struct Participant {
    std::optional<int64_t> subId;
    std::string address;
};

// A bugle message row: live or deleted.
struct BugleRow {
    std::optional<int64_t> conversation, sender, received, sent, read;
    std::string uri;
    bool live = false;
    std::string evidence;
    RecordPlace place;
};

// What the bugle messages are joined to: participants, conversations'
// threads and their other parties, live rows first and deleted ones after.
struct BugleJoins {
    std::unordered_map<int64_t, Participant> participants;
    std::unordered_map<int64_t, int64_t> threads;
    std::map<int64_t, std::vector<int64_t>> members;
    std::set<std::pair<int64_t, int64_t>> seenMembers;

    // Files a participant unless one of that id is known.
    void addParticipant(std::optional<int64_t> id, std::optional<int64_t> subId,
                        const std::string& display, const std::string& normalized) {
        if (!id || participants.count(*id))
            return;
        participants[*id] = {subId, display.empty() ? normalized : display};
    }
    // Files a conversation's telephony thread; -1 and NULL name none.
    void addThread(std::optional<int64_t> id, std::optional<int64_t> thread) {
        if (id && thread && *thread > 0)
            threads.try_emplace(*id, *thread);
    }
    // Files one other party of a conversation.
    void addMember(std::optional<int64_t> conversation, std::optional<int64_t> participant) {
        if (conversation && participant && seenMembers.emplace(*conversation, *participant).second)
            members[*conversation].push_back(*participant);
    }

    // Returns the bugle message a row and its parts make.
    DeletedMessage messageOf(std::optional<int64_t> id, const BugleRow& row,
                             const std::vector<TextPart>& parts) const {
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
        if (conversation) {
            if (const auto thread = threads.find(*conversation); thread != threads.end())
                message.threadId = thread->second;
        }
        const auto sender = row.sender ? participants.find(*row.sender) : participants.end();
        if (sender != participants.end() && sender->second.subId)
            message.type = *sender->second.subId == kOtherParty ? 1 : 2;
        std::vector<std::string> parties;
        if (message.type == 1)
            addParty(parties, sender->second.address);
        if (conversation) {
            if (const auto found = members.find(*conversation); found != members.end()) {
                for (int64_t member : found->second) {
                    if (const auto who = participants.find(member); who != participants.end())
                        addParty(parties, who->second.address);
                }
            }
        }
        setParties(message, parties);
        message.deleted = true;
        return message;
    }
};

} // namespace

std::vector<DeletedMessage> readDeletedBugle(const std::string& bugleDb) {
    std::vector<DeletedMessage> messages;
    std::string error;
    const std::unique_ptr<DatabaseState> state = openDatabaseState(bugleDb, &error);
    if (!state)
        return messages;
    const SchemaInfo schema = readSchema(*state->current, state->usableSize, state->textEncoding);
    const auto number = [](const Value& v) { return numberOf(v.isNull() ? nullptr : &v); };
    const auto text = [](const Value& v) { return textOf(v.isNull() ? nullptr : &v); };
    BugleJoins joins;
    forEachLiveRow(*state, schema, "participants",
                   {"_id", "sub_id", "display_destination", "normalized_destination"},
                   [&](std::vector<Value>& row) {
                       joins.addParticipant(number(row[0]), number(row[1]), text(row[2]),
                                            text(row[3]));
                   });
    forEachLiveRow(
        *state, schema, "conversations", {"_id", "sms_thread_id"},
        [&](std::vector<Value>& row) { joins.addThread(number(row[0]), number(row[1])); });
    forEachLiveRow(
        *state, schema, "conversation_participants", {"conversation_id", "participant_id"},
        [&](std::vector<Value>& row) { joins.addMember(number(row[0]), number(row[1])); });
    std::map<int64_t, BugleRow> liveMessages;
    forEachLiveRow(*state, schema, "messages",
                   {"_id", "conversation_id", "sender_id", "received_timestamp", "sent_timestamp",
                    "read", "sms_message_uri"},
                   [&](std::vector<Value>& row) {
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
    scanSelected(
        *state,
        {{"messages",
          {{"_id", "conversation_id", "sender_id", "received_timestamp", "sent_timestamp", "read",
            "sms_message_uri"}}},
         {"parts", {{"_id", "message_id", "content_type", "text", "timestamp", "conversation_id"}}},
         {"participants",
          {{"_id", "sub_id", "display_destination", "normalized_destination"}, true}},
         {"conversations", {{"_id", "sms_thread_id"}, true}},
         {"conversation_participants", {{"conversation_id", "participant_id"}}}},
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
                 joins.addParticipant(rowId(), numberOf(value(1)), textOf(value(2)),
                                      textOf(value(3)));
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
            joins.messageOf(id, row, found == byOwner.end() ? kNoParts : found->second));
    }
    for (const auto& [owner, list] : byOwner) {
        if (owner && deletedMessages.count(*owner) && !liveMessages.count(*owner))
            continue;
        if (owner) {
            const auto live = liveMessages.find(*owner);
            messages.push_back(joins.messageOf(
                owner, live != liveMessages.end() ? live->second : BugleRow{}, list));
            continue;
        }
        for (const TextPart& part : list) {
            DeletedMessage message = joins.messageOf(std::nullopt, BugleRow{}, {part});
            messages.push_back(std::move(message));
        }
    }
    for (DeletedMessage& message : messages) {
        if (message.place.file.empty())
            message.place.file = bugleDb;
    }
    return messages;
}

std::string deepStoresText(const std::string& contactsDb, const std::string& smsDb,
                           const std::string& bugleDb) {
    std::vector<DeletedMessage> mms;
    std::vector<DeletedMessage> bugle;
    // Which app messages copy a telephony one is all the live rows and the
    // deleted SMS are read for; without bugle_db the deleted MMS stand alone.
    if (!bugleDb.empty()) {
        std::vector<DeletedMessage> sms = readDeletedMessages(smsDb);
        std::vector<LiveSmsRow> liveSms;
        {
            // From the current states, as SQLite would show them now.
            const CurrentStateCopies copies({}, smsDb, bugleDb);
            const std::string& liveSmsDb = copies.smsDb().empty() ? smsDb : copies.smsDb();
            mms = readLiveMms(liveSmsDb);
            liveSms = readLiveSmsRows(liveSmsDb);
            bugle = readLiveBugle(copies.bugleDb().empty() ? bugleDb : copies.bugleDb());
        }
        for (DeletedMessage& message : readDeletedMms(smsDb))
            mms.push_back(std::move(message));
        for (DeletedMessage& message : readDeletedBugle(bugleDb))
            bugle.push_back(std::move(message));
        mergeMessageStores(sms, mms, bugle, liveSms);
    } else {
        mms = readDeletedMms(smsDb);
    }
    std::vector<CarvedSms> carved;
    for (const std::vector<DeletedMessage>* list : {&mms, &bugle}) {
        for (const DeletedMessage& message : *list) {
            // A pdu that kept neither text nor address has no line to give.
            if (!message.deleted || (message.body.empty() && message.address.empty()))
                continue;
            const std::string mark = message.evidence.rfind("words", 0) == 0   ? "[words] "
                                     : message.evidence.rfind("index", 0) == 0 ? "[index] "
                                                                               : "";
            carved.emplace_back(message.address, std::string(), mark + message.body);
        }
    }
    if (carved.empty())
        return {};
    return buildSmsText(carved, liveContactNumbers(contactsDb));
}

} // namespace fennaro::deep
