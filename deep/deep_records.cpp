#include "deep_records.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>
#include <unordered_map>

#include "call_log_display.h"
#include "contact_fields.h"
#include "database_state.h"
#include "deep_calls.h"
#include "deep_load.h"
#include "deep_stores.h"
#include "message_merge.h"
#include "phone_databases.h"
#include "recovered_text.h"
#include "recovered_values.h"
#include "scan_selection.h"
#include "store_messages.h"

namespace fennaro::deep {

namespace {

constexpr std::string_view kItemPrefix = "vnd.android.cursor.item/";

// Returns the kind of field a mime type's rows hold; absent for the kinds no
// user wrote (group memberships, photos, identities...).
std::optional<FieldKind> fieldKindOf(std::string_view mimeType) {
    if (mimeType.substr(0, kItemPrefix.size()) != kItemPrefix)
        return FieldKind::Other;
    const std::string_view type = mimeType.substr(kItemPrefix.size());
    static const std::pair<std::string_view, FieldKind> kKinds[] = {
        {"name", FieldKind::Name},
        {"phone_v2", FieldKind::Phone},
        {"email_v2", FieldKind::Email},
        {"organization", FieldKind::Organization},
        {"postal-address_v2", FieldKind::Address},
        {"website", FieldKind::Website},
        {"contact_event", FieldKind::Birthday},
        {"note", FieldKind::Note},
    };
    for (const auto& [word, kind] : kKinds) {
        if (type == word)
            return kind;
    }
    if (type == "group_membership" || type == "photo" || type == "identity")
        return std::nullopt;
    return FieldKind::Other;
}

// Returns the label of a field: the live contacts' type labels for phones
// and e-mails, the event's kind for an event, else the kind's word.
std::string fieldLabel(FieldKind kind, const std::string& typeNumber) {
    const int32_t code = parseTypeCode(typeNumber);
    switch (kind) {
    case FieldKind::Phone:
        return std::string(phoneTypeLabel(code));
    case FieldKind::Email:
        return std::string(boardEmailLabel(code));
    case FieldKind::Birthday:
        // Android's event types: 1 anniversary, 2 other, 3 birthday.
        return code == 1 ? "Anniversary" : code == 2 ? "Event" : "Birthday";
    default:
        return std::string(fieldKindWord(kind));
    }
}

// One deleted data row before its mime type is known.
struct DataRow {
    std::optional<int64_t> id;
    std::optional<int64_t> owner;
    std::optional<int64_t> mimeId;
    bool textual = false;
    std::string data1;
    std::string data2;
    std::string data4;
    std::string data5;
    std::string evidence;
    RecordPlace place;
};

// Orders the fields of a contact: by kind, then by data row id; rows that
// lost their id come last, in the order SQLite filled their page (it
// places cells from the page's end towards its start).
bool fieldOrder(const ContactField& a, const ContactField& b) {
    const auto key = [](const ContactField& field) {
        return std::tuple(field.kind, !field.dataId, field.dataId.value_or(0), field.place.file,
                          field.place.page, UINT64_MAX - field.place.offset);
    };
    return key(a) < key(b);
}

} // namespace

std::vector<DeletedMessage> readDeletedMessages(const std::string& smsDb) {
    std::vector<DeletedMessage> messages;
    std::string error;
    const std::unique_ptr<DatabaseState> state = openDatabaseState(smsDb, &error);
    if (!state)
        return messages;
    enum Column { Id, Thread, Address, Date, DateSent, Type, Read, Body };
    scanSelected(
        *state,
        {{"sms", {{"_id", "thread_id", "address", "date", "date_sent", "type", "read", "body"}}}},
        {[&](size_t records) { messages.reserve(records); },
         [&](RecoveredRecord& record) {
             DeletedMessage message;
             message.id = record.rowid ? record.rowid : numberOf(knownValue(record, Id));
             message.threadId = numberOf(knownValue(record, Thread));
             message.address = textOf(knownValue(record, Address));
             message.date = numberOf(knownValue(record, Date));
             message.dateSent = numberOf(knownValue(record, DateSent));
             message.type = numberOf(knownValue(record, Type));
             message.read = numberOf(knownValue(record, Read));
             message.body = textOf(knownValue(record, Body));
             // Zeroed bytes read as a row (a blob of zeros for its address,
             // nothing else) tell of no message: a row needs a date, a
             // conversation, or an address or body that shows something
             // before a zero byte.
             if (!message.date && !message.threadId && utf8ToAnsi(message.address).empty() &&
                 utf8ToAnsi(message.body).empty())
                 return;
             message.evidence = evidenceWords(record);
             message.place = placeOf(record, smsDb);
             messages.push_back(std::move(message));
         }});
    return messages;
}

std::vector<DeletedContact> readDeletedContacts(const std::string& contactsDb,
                                                const std::vector<MimeTypeNode>& liveMimeTypes) {
    std::vector<DeletedContact> contacts;
    std::string error;
    const std::unique_ptr<DatabaseState> state = openDatabaseState(contactsDb, &error);
    if (!state)
        return contacts;

    std::unordered_map<int64_t, std::string> mimeTypes;
    for (const MimeTypeNode& type : liveMimeTypes)
        mimeTypes.emplace(type.id, std::string(type.mimeType));
    std::map<int64_t, std::string> deletedNames;
    std::vector<DataRow> rows;
    scanSelected(*state,
                 {{"data", {{"raw_contact_id", "mimetype_id", "data1", "data2", "data4", "data5"}}},
                  {"raw_contacts", {{"display_name"}, true}},
                  {"mimetypes", {{"mimetype"}, true}}},
                 {[&](size_t records) { rows.reserve(records); },
                  [&](RecoveredRecord& record) {
                      if (record.table == "mimetypes" && record.rowid) {
                          mimeTypes.emplace(*record.rowid, textOf(knownValue(record, 0)));
                      } else if (record.table == "raw_contacts" && record.rowid) {
                          const std::string name = textOf(knownValue(record, 0));
                          if (!name.empty())
                              deletedNames.emplace(*record.rowid, name);
                      } else if (record.table == "data") {
                          DataRow row;
                          row.id = record.rowid;
                          row.owner = numberOf(knownValue(record, 0));
                          row.mimeId = numberOf(knownValue(record, 1));
                          row.textual = isTextual(knownValue(record, 2));
                          row.data1 = textOf(knownValue(record, 2));
                          row.data2 = textOf(knownValue(record, 3));
                          row.data4 = textOf(knownValue(record, 4));
                          row.data5 = textOf(knownValue(record, 5));
                          row.evidence = evidenceWords(record);
                          row.place = placeOf(record, contactsDb);
                          rows.push_back(std::move(row));
                      }
                  }});

    // Rows grouped by raw contact (std::map keeps them in id order), each
    // row a field of the kind its mime type gives.
    std::map<int64_t, DeletedContact> byOwner;
    std::vector<DeletedContact> loose;
    for (DataRow& row : rows) {
        const auto type = row.mimeId ? mimeTypes.find(*row.mimeId) : mimeTypes.end();
        std::optional<FieldKind> kind =
            type == mimeTypes.end() ? FieldKind::Other : fieldKindOf(type->second);
        // A number in data1 of an unnamed kind is a reference, not a value.
        if (!kind || (*kind == FieldKind::Other && !row.textual))
            continue;
        ContactField field;
        field.kind = *kind;
        field.dataId = row.id;
        field.label = fieldLabel(*kind, row.data2);
        field.value = std::move(row.data1);
        if (*kind == FieldKind::Organization) {
            field.secondLine = std::move(row.data4);
            field.thirdLine = std::move(row.data5);
        }
        if (field.value.empty() && field.secondLine.empty() && field.thirdLine.empty())
            continue;
        field.evidence = std::move(row.evidence);
        field.place = std::move(row.place);
        DeletedContact* contact = nullptr;
        if (row.owner) {
            contact = &byOwner[*row.owner];
            contact->rawContactId = row.owner;
        } else {
            contact = &loose.emplace_back();
        }
        if (field.kind == FieldKind::Name && contact->name.empty())
            contact->name = field.value;
        contact->fields.push_back(std::move(field));
    }
    // Deleted raw contacts name their rows; one without rows keeps its name.
    for (auto& [id, name] : deletedNames) {
        DeletedContact& contact = byOwner[id];
        contact.rawContactId = id;
        if (contact.name.empty())
            contact.name = name;
    }

    contacts.reserve(byOwner.size() + loose.size());
    for (auto& [id, contact] : byOwner)
        contacts.push_back(std::move(contact));
    for (DeletedContact& contact : loose)
        contacts.push_back(std::move(contact));
    for (DeletedContact& contact : contacts) {
        std::stable_sort(contact.fields.begin(), contact.fields.end(), fieldOrder);
    }
    return contacts;
}

void loadDeepRecords(RecordStore& store, const std::string& contactsDb, const std::string& smsDb) {
    loadDeepRecords(store, phoneDatabasesBeside(contactsDb, smsDb));
}

namespace {

// Gives records read from a current-state copy the place of the original.
void placeIn(std::vector<DeletedMessage>& messages, const std::string& file) {
    for (DeletedMessage& message : messages)
        message.place.file = file;
}

// Reads the MMS and the messaging app's messages into set.otherMessages,
// each message once across the stores.
void readOtherStores(DeepRecordSet& set, const PhoneDatabases& dbs, const PhoneDatabases& live) {
    std::vector<DeletedMessage> mms;
    std::vector<DeletedMessage> bugle;
    std::vector<LiveSmsRow> liveSms;
    if (!dbs.smsDb.empty()) {
        mms = readLiveMms(live.smsDb);
        placeIn(mms, dbs.smsDb);
        for (DeletedMessage& message : readDeletedMms(dbs.smsDb))
            mms.push_back(std::move(message));
    }
    if (!dbs.bugleDb.empty()) {
        bugle = readLiveBugle(live.bugleDb);
        placeIn(bugle, dbs.bugleDb);
        for (DeletedMessage& message : readDeletedBugle(dbs.bugleDb))
            bugle.push_back(std::move(message));
    }
    // Only the app's copies can repeat a telephony message: without them
    // the live SMS need not be read a second time.
    if (!bugle.empty()) {
        if (!dbs.smsDb.empty())
            liveSms = readLiveSmsRows(live.smsDb);
        set.liveSmsInBugle = mergeMessageStores(set.messages, mms, bugle, liveSms);
        // The live lists keep no _id: the rows are found again by date and text.
        std::vector<int64_t> ids = set.liveSmsInBugle;
        std::sort(ids.begin(), ids.end());
        for (const LiveSmsRow& row : liveSms) {
            if (std::binary_search(ids.begin(), ids.end(), row.id))
                set.liveSmsInBugleByDateAndText.emplace(row.dateMs, row.body);
        }
    }
    set.otherMessages = std::move(mms);
    for (DeletedMessage& message : bugle)
        set.otherMessages.push_back(std::move(message));
}

} // namespace

void loadDeepRecords(RecordStore& store, const PhoneDatabases& dbs,
                     const PhoneDatabases* liveStates) {
    DeepRecordSet& set = store.deep;
    set = DeepRecordSet{};
    set.contacts = readDeletedContacts(dbs.contactsDb, store.contactLists.mimeTypes);
    set.messages = readDeletedMessages(dbs.smsDb);
    set.calls = readCallLog(dbs, store.contactLists, true);
    if (liveStates) {
        readOtherStores(set, dbs, *liveStates);
    } else {
        const CurrentStateCopies copies({}, dbs.smsDb, dbs.bugleDb);
        PhoneDatabases states = dbs;
        states.smsDb = copies.smsDb();
        states.bugleDb = copies.bugleDb();
        readOtherStores(set, dbs, states);
    }
    assembleDeepRecords(set, store.contactLists, store.smsLists);
    const std::pair<RecordCategory, size_t> rows[] = {
        {RecordCategory::Contacts, set.contactRows.size()},
        {RecordCategory::Message, set.conversations.size()}};
    for (const auto& [category, count] : rows) {
        CategoryState& state = categoryState(store, category);
        if (count == 0)
            continue;
        state.caption = std::string(categoryWord(category)) + " (" + std::to_string(count) + ")";
        state.count = 1;
    }
    finishCallLog(store);
}

} // namespace fennaro::deep
