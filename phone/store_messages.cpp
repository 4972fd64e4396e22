#include "phone/store_messages.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "phone/store_parties.h"
#include "phone/table_columns.h"
#include "readonly_db.h"

namespace fennaro {

namespace {

using Database = ReadOnlyDatabase;

// Owns a prepared statement over columns found by name.
class Query {
  public:
    // Prepares SELECT of `columns` FROM table, then `tail` (ORDER BY...); a
    // column the table lacks reads as NULL. Not prepared when the table is
    // missing or the database cannot be read.
    Query(sqlite3* db, const std::string& table, std::initializer_list<const char*> columns,
          const char* tail = "") {
        if (!db)
            return;
        std::vector<std::string> present;
        {
            sqlite3_stmt* info = nullptr;
            const std::string sql = "PRAGMA table_info(\"" + table + "\")";
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &info, nullptr) == SQLITE_OK) {
                while (sqlite3_step(info) == SQLITE_ROW) {
                    auto name = reinterpret_cast<const char*>(sqlite3_column_text(info, 1));
                    present.emplace_back(name ? name : "");
                }
            }
            sqlite3_finalize(info);
        }
        if (present.empty())
            return;
        std::string sql = "SELECT ";
        bool first = true;
        for (const char* column : columns) {
            sql += first ? "" : ", ";
            first = false;
            const bool has = std::find(present.begin(), present.end(), column) != present.end();
            sql += has ? "\"" + std::string(column) + "\"" : std::string("NULL");
        }
        sql += " FROM \"" + table + "\" " + tail;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
        }
    }
    // Finalizes the statement.
    ~Query() { sqlite3_finalize(m_stmt); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Steps to the next row; false at the end, on any error (a damaged page
    // ends the list where it is) and when the query was not prepared.
    bool next() { return m_stmt && sqlite3_step(m_stmt) == SQLITE_ROW; }

    // Returns column i as an integer, or nothing when it is NULL.
    std::optional<int64_t> number(int i) const {
        if (sqlite3_column_type(m_stmt, i) == SQLITE_NULL)
            return std::nullopt;
        return sqlite3_column_int64(m_stmt, i);
    }
    // Returns column i's text up to its first zero byte; NULL gives "".
    std::string text(int i) const {
        auto bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        if (!bytes)
            return {};
        auto size = static_cast<size_t>(sqlite3_column_bytes(m_stmt, i));
        if (const void* zero = std::memchr(bytes, '\0', size))
            size = static_cast<size_t>(static_cast<const char*>(zero) - bytes);
        return {bytes, size};
    }

  private:
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace

std::vector<deep::DeletedMessage> readLiveMms(const std::string& smsDb) {
    std::vector<deep::DeletedMessage> messages;
    Database db(smsDb);
    if (!db.handle)
        return messages;
    std::map<int64_t, std::string> bodies;
    {
        Query parts(db.handle, "part", {"mid", "ct", "text"}, "ORDER BY mid, seq, _id");
        while (parts.next()) {
            if (parts.number(0) && deep::isPlainTextType(parts.text(1)))
                deep::appendPartText(bodies[*parts.number(0)], parts.text(2));
        }
    }
    // Each MMS's addresses by type, in _id order.
    std::unordered_map<int64_t, std::vector<std::pair<int64_t, std::string>>> addresses;
    {
        Query addr(db.handle, "addr", phone::kAddrColumns, "ORDER BY _id");
        while (addr.next()) {
            if (addr.number(0))
                addresses[*addr.number(0)].emplace_back(addr.number(1).value_or(0), addr.text(2));
        }
    }
    Query pdu(db.handle, "pdu", phone::kPduColumns, "ORDER BY _id");
    while (pdu.next()) {
        const std::optional<int64_t> kind = pdu.number(6);
        // Delivery reports (134) and read reports (136) are no messages.
        if (kind && (*kind == 134 || *kind == 136))
            continue;
        deep::DeletedMessage message;
        message.store = deep::MessageStore::Mms;
        message.deleted = false;
        message.id = pdu.number(0);
        message.threadId = pdu.number(1);
        message.date = deep::mmsDateMs(pdu.number(2));
        message.dateSent = deep::mmsDateMs(pdu.number(3));
        const std::optional<int64_t> box = pdu.number(4);
        message.type = box && *box == 1 ? 1 : 2;
        message.read = pdu.number(5);
        message.place.file = smsDb;
        if (message.id) {
            if (const auto body = bodies.find(*message.id); body != bodies.end())
                message.body = std::move(body->second);
            if (const auto found = addresses.find(*message.id); found != addresses.end())
                deep::setMmsParties(message, found->second);
        }
        messages.push_back(std::move(message));
    }
    return messages;
}

std::vector<deep::DeletedMessage> readLiveBugle(const std::string& bugleDb) {
    std::vector<deep::DeletedMessage> messages;
    Database db(bugleDb);
    if (!db.handle)
        return messages;
    deep::BugleConversations joins;
    {
        Query rows(
            db.handle, "participants",
            {"_id", "sub_id", "display_destination", "normalized_destination", "send_destination"});
        while (rows.next())
            joins.addParticipant(rows.number(0), rows.number(1),
                                 {rows.text(2), rows.text(3), rows.text(4)});
    }
    {
        Query rows(db.handle, "conversation_participants", phone::kBugleMemberColumns,
                   "ORDER BY _id");
        while (rows.next())
            joins.addMember(rows.number(0), rows.number(1));
    }
    {
        Query rows(db.handle, "conversations", phone::kBugleConversationColumns);
        while (rows.next())
            joins.addThread(rows.number(0), rows.number(1));
    }
    std::map<int64_t, std::string> bodies;
    {
        Query parts(db.handle, "parts", {"message_id", "content_type", "text"}, "ORDER BY _id");
        while (parts.next()) {
            if (parts.number(0) && deep::isPlainTextType(parts.text(1)))
                deep::appendPartText(bodies[*parts.number(0)], parts.text(2));
        }
    }
    Query rows(db.handle, "messages", phone::kBugleMessageColumns, "ORDER BY _id");
    while (rows.next()) {
        deep::DeletedMessage message;
        message.store = deep::MessageStore::Bugle;
        message.deleted = false;
        message.id = rows.number(0);
        message.date = rows.number(3);
        message.dateSent = rows.number(4);
        message.read = rows.number(5);
        message.telephonyUri = rows.text(6);
        message.place.file = bugleDb;
        joins.join(message, rows.number(1), rows.number(2));
        if (message.id) {
            if (const auto body = bodies.find(*message.id); body != bodies.end())
                message.body = std::move(body->second);
        }
        messages.push_back(std::move(message));
    }
    return messages;
}

std::vector<LiveSmsRow> readLiveSmsRows(const std::string& smsDb) {
    std::vector<LiveSmsRow> rows;
    Database db(smsDb);
    Query sms(db.handle, "sms", {"_id", "address", "date", "body"}, "ORDER BY _id");
    while (sms.next()) {
        if (sms.number(0))
            rows.push_back({*sms.number(0), sms.text(1), sms.number(2).value_or(0), sms.text(3)});
    }
    return rows;
}

} // namespace fennaro
