#include "phone/record_reader.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <tuple>
#include <unordered_map>

#include "date_line.h"
#include "readonly_db.h"

namespace fennaro {

namespace {

using Database = ReadOnlyDatabase;

// Owns a prepared statement; null when the query does not fit the database.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    // Prepares sql; the handle is null when the database lacks a table or column.
    Statement(sqlite3* db, const char* sql) {
        if (db && sqlite3_prepare_v2(db, sql, -1, &handle, nullptr) != SQLITE_OK) {
            sqlite3_finalize(handle);
            handle = nullptr;
        }
    }
    // Finalizes the statement.
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    // Returns whether the query fitted the database.
    explicit operator bool() const { return handle != nullptr; }
    // Steps to the next row; false at the end and on any error (a damaged page
    // ends the list where it is).
    bool next() { return sqlite3_step(handle) == SQLITE_ROW; }
};

// Returns a column as a 32-bit integer: the low 32 bits of SQLite's integer
// form; NULL gives 0.
int32_t intColumn(sqlite3_stmt* stmt, int column) {
    return static_cast<int32_t>(static_cast<uint32_t>(sqlite3_column_int64(stmt, column)));
}

// Returns SQLite's text form of a column, up to its first zero byte; NULL
// gives no text. The view lives until the statement steps again.
std::string_view textColumn(sqlite3_stmt* stmt, int column) {
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text)
        return {};
    auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, column));
    if (const void* zero = std::memchr(text, '\0', size))
        size = static_cast<const char*>(zero) - text;
    return {text, size};
}

// Fills the companion list: one node per aggregate contact, in _id order.
void readCompanionContacts(sqlite3* db, ContactLists& lists) {
    Statement rows(db, "SELECT _id, name_raw_contact_id FROM contacts ORDER BY _id");
    if (!rows)
        return;
    while (rows.next()) {
        CompanionContactNode node;
        node.contactId = intColumn(rows.handle, 0);
        node.personKey = intColumn(rows.handle, 1);
        lists.companionContacts.push_back(node);
    }
}

// Fills the contact list: the raw contacts not marked deleted, in _id order.
void readRawContacts(sqlite3* db, ContactLists& lists) {
    Statement rows(db, "SELECT _id, deleted, display_name, display_name_source FROM raw_contacts"
                       " ORDER BY _id");
    if (!rows)
        return;
    while (rows.next()) {
        // Raw contacts of an account are only marked deleted until the next
        // sync; they are gone for the user.
        if (sqlite3_column_int64(rows.handle, 1) != 0)
            continue;
        ContactNode node;
        node.contactId = intColumn(rows.handle, 0);
        node.personKey = node.contactId;
        node.text = lists.texts.add(textColumn(rows.handle, 2));
        node.displayNameSource = intColumn(rows.handle, 3);
        lists.contacts.push_back(node);
    }
}

// Fills the data-row list, in _id order.
void readDataRows(sqlite3* db, ContactLists& lists) {
    Statement rows(db, "SELECT mimetype_id, raw_contact_id, data1, data2, data4, data5 FROM data"
                       " ORDER BY _id");
    if (!rows)
        return;
    while (rows.next()) {
        DataRowNode node;
        node.mimeTypeId = intColumn(rows.handle, 0);
        node.contactId = intColumn(rows.handle, 1);
        node.value = lists.texts.add(textColumn(rows.handle, 2));
        node.typeNumber = lists.texts.add(textColumn(rows.handle, 3));
        node.secondOrganizationLine = lists.texts.add(textColumn(rows.handle, 4));
        node.thirdOrganizationLine = lists.texts.add(textColumn(rows.handle, 5));
        lists.dataRows.push_back(node);
    }
}

// Fills the mime type list, in _id order.
void readMimeTypes(sqlite3* db, ContactLists& lists) {
    Statement rows(db, "SELECT _id, mimetype FROM mimetypes ORDER BY _id");
    if (!rows)
        return;
    while (rows.next()) {
        MimeTypeNode node;
        node.id = intColumn(rows.handle, 0);
        node.mimeType = lists.texts.add(textColumn(rows.handle, 1));
        lists.mimeTypes.push_back(node);
    }
}

// Fills the conversation list, in _id order.
void readThreads(sqlite3* db, SmsLists& lists) {
    Statement rows(db, "SELECT _id FROM threads ORDER BY _id");
    if (!rows)
        return;
    while (rows.next()) {
        ThreadNode node;
        node.conversationId = intColumn(rows.handle, 0);
        lists.threads.push_back(node);
    }
}

// The sort key of a message: conversation, date, id, as the database holds
// them (NULL counts as 0).
struct MessageKey {
    int64_t threadId;
    int64_t date;
    int64_t id;
    uint32_t index;
};

// Orders message keys by conversation, date and id. Groups the keys by
// conversation in linear time first; a group then is usually in order already,
// as a phone stores a conversation's messages as they come.
void sortMessageKeys(std::vector<MessageKey>& keys) {
    auto before = [](const MessageKey& a, const MessageKey& b) {
        return std::tie(a.threadId, a.date, a.id) < std::tie(b.threadId, b.date, b.id);
    };
    if (std::is_sorted(keys.begin(), keys.end(), before))
        return;
    // The distinct conversations in ascending order give each its group.
    std::unordered_map<int64_t, uint32_t> groupOf;
    for (const MessageKey& key : keys)
        groupOf.try_emplace(key.threadId, 0);
    std::vector<int64_t> threadIds;
    threadIds.reserve(groupOf.size());
    for (const auto& entry : groupOf)
        threadIds.push_back(entry.first);
    std::sort(threadIds.begin(), threadIds.end());
    std::vector<uint32_t> starts(threadIds.size() + 1, 0);
    for (uint32_t group = 0; group < threadIds.size(); ++group)
        groupOf[threadIds[group]] = group;
    for (const MessageKey& key : keys)
        ++starts[groupOf[key.threadId] + 1];
    for (std::size_t group = 1; group < starts.size(); ++group)
        starts[group] += starts[group - 1];
    std::vector<MessageKey> grouped(keys.size());
    std::vector<uint32_t> next(starts.begin(), starts.end() - 1);
    for (const MessageKey& key : keys)
        grouped[next[groupOf[key.threadId]]++] = key;
    for (std::size_t group = 0; group + 1 < starts.size(); ++group) {
        auto first = grouped.begin() + starts[group];
        auto last = grouped.begin() + starts[group + 1];
        if (!std::is_sorted(first, last, before))
            std::sort(first, last, before);
    }
    keys = std::move(grouped);
}

// Fills the message list, ordered by conversation, date and id.
void readMessages(sqlite3* db, SmsLists& lists) {
    // Read in storage order and sort here: the database's sorter would build a
    // temporary index of the whole table first.
    Statement rows(db, "SELECT thread_id, address, person, date, type, body, _id FROM sms");
    if (!rows)
        return;
    // A deque grows without moving what it holds, so a large table is not
    // copied again and again while it is read.
    std::deque<MessageNode> read;
    std::vector<MessageKey> keys;
    DateLineFormatter dates;
    while (rows.next()) {
        MessageNode node;
        sqlite3_stmt* stmt = rows.handle;
        const int64_t threadId = sqlite3_column_int64(stmt, 0);
        node.conversationId = static_cast<int32_t>(static_cast<uint32_t>(threadId));
        node.address = lists.texts.add(textColumn(stmt, 1));
        node.personKey = intColumn(stmt, 2);
        const int64_t date = sqlite3_column_int64(stmt, 3);
        node.dateLine = lists.texts.add(dates.format(date));
        node.dateMs = date;
        node.type = intColumn(stmt, 4);
        node.body = lists.texts.add(textColumn(stmt, 5));
        keys.push_back(
            {threadId, date, sqlite3_column_int64(stmt, 6), static_cast<uint32_t>(read.size())});
        read.push_back(node);
    }
    sortMessageKeys(keys);
    lists.messages.reserve(read.size());
    for (const MessageKey& key : keys)
        lists.messages.push_back(read[key.index]);
}

// Fills the third SMS list with the canonical addresses, in _id order.
void readCanonicalAddresses(sqlite3* db, SmsLists& lists) {
    Statement rows(db, "SELECT _id, address FROM canonical_addresses ORDER BY _id");
    if (!rows)
        return;
    while (rows.next()) {
        SmsAddressNode node;
        node.id = intColumn(rows.handle, 0);
        node.address = lists.texts.add(textColumn(rows.handle, 1));
        lists.addresses.push_back(node);
    }
}

} // namespace

std::string formatDateLine(int64_t milliseconds) {
    DateLineFormatter formatter;
    return std::string(formatter.format(milliseconds));
}

ContactLists readContacts(const std::string& contactsDbPath) {
    ContactLists lists;
    Database db(contactsDbPath);
    if (!db.handle)
        return lists;
    readCompanionContacts(db.handle, lists);
    readRawContacts(db.handle, lists);
    readDataRows(db.handle, lists);
    readMimeTypes(db.handle, lists);
    return lists;
}

SmsLists readSms(const std::string& smsDbPath) {
    SmsLists lists;
    Database db(smsDbPath);
    if (!db.handle)
        return lists;
    readThreads(db.handle, lists);
    readMessages(db.handle, lists);
    readCanonicalAddresses(db.handle, lists);
    return lists;
}

} // namespace fennaro
