#include "record_reader.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "readonly_db.h"

namespace fennaro {

namespace {

// Owns an open database handle.
struct Database {
    sqlite3* handle = nullptr;
    explicit Database(const std::string& path) : handle(openReadOnlyDatabase(path)) {}
    ~Database() { sqlite3_close(handle); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
};

// Owns a prepared statement; null when the query does not fit the database.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement(sqlite3* db, const char* sql) {
        if (db && sqlite3_prepare_v2(db, sql, -1, &handle, nullptr) != SQLITE_OK) {
            sqlite3_finalize(handle);
            handle = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
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

// Appends two digits of value to out.
char* putTwoDigits(char* out, int value) {
    out[0] = static_cast<char>('0' + value / 10 % 10);
    out[1] = static_cast<char>('0' + value % 10);
    return out + 2;
}

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

void readMessages(sqlite3* db, SmsLists& lists) {
    // Read in storage order and sort here: the database's sorter would build a
    // temporary index of the whole table first.
    Statement rows(db, "SELECT thread_id, address, person, date, type, body, _id FROM sms");
    if (!rows)
        return;
    std::vector<MessageNode> read;
    std::vector<MessageKey> keys;
    std::string dateLine;
    while (rows.next()) {
        MessageNode node;
        sqlite3_stmt* stmt = rows.handle;
        node.conversationId = intColumn(stmt, 0);
        node.address = lists.texts.add(textColumn(stmt, 1));
        node.personKey = intColumn(stmt, 2);
        const int64_t date = sqlite3_column_int64(stmt, 3);
        node.dateLine = lists.texts.add(formatDateLine(date));
        node.type = intColumn(stmt, 4);
        node.body = lists.texts.add(textColumn(stmt, 5));
        keys.push_back({sqlite3_column_int64(stmt, 0), date, sqlite3_column_int64(stmt, 6),
                        static_cast<uint32_t>(read.size())});
        read.push_back(node);
    }
    // Storage order is usually _id order already; sort only when needed.
    auto before = [](const MessageKey& a, const MessageKey& b) {
        if (a.threadId != b.threadId)
            return a.threadId < b.threadId;
        if (a.date != b.date)
            return a.date < b.date;
        return a.id < b.id;
    };
    if (!std::is_sorted(keys.begin(), keys.end(), before))
        std::sort(keys.begin(), keys.end(), before);
    lists.messages.reserve(read.size());
    for (const MessageKey& key : keys)
        lists.messages.push_back(read[key.index]);
}

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
    const std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return {};
    const long year = 1900L + local.tm_year;
    if (year < 0 || year > 9999)
        return {};
    char buffer[20];
    char* out = buffer;
    out = putTwoDigits(out, static_cast<int>(year / 100));
    out = putTwoDigits(out, static_cast<int>(year % 100));
    *out++ = '-';
    out = putTwoDigits(out, local.tm_mon + 1);
    *out++ = '-';
    out = putTwoDigits(out, local.tm_mday);
    *out++ = ' ';
    out = putTwoDigits(out, local.tm_hour);
    *out++ = ':';
    out = putTwoDigits(out, local.tm_min);
    *out++ = ':';
    out = putTwoDigits(out, local.tm_sec);
    return std::string(buffer, out);
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
