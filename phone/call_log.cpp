#include "phone/call_log.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "contact_fields.h"
#include "date_line.h"
#include "deep_conversations.h"
#include "phone/conversation_join.h"
#include "phone/table_columns.h"
#include "readonly_db.h"

namespace fennaro::deep {

namespace {

using namespace phone;

// Returns the value of an integer column; absent for NULL.
std::optional<int64_t> optionalInt(sqlite3_stmt* stmt, int column) {
    if (column < 0 || sqlite3_column_type(stmt, column) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_int64(stmt, column);
}

// Returns SQLite's text form of a column, up to its first zero byte; empty
// for NULL and for a column the table lacks.
std::string textOf(sqlite3_stmt* stmt, int column) {
    if (column < 0)
        return {};
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text)
        return {};
    std::string_view view(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
    return std::string(view.substr(0, view.find('\0')));
}

// Reads every row of the calls table of an open database into calls.
void readCallRows(sqlite3* db, const char* file, std::vector<CallRecord>& calls) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT * FROM calls", -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return;
    }
    // Where each wanted column sits in this version's table; -1 when absent.
    std::array<int, CallColumnCount> at;
    at.fill(-1);
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const char* name = sqlite3_column_name(stmt, i);
        for (size_t c = 0; c < kCallColumns.size(); ++c) {
            if (name && std::string_view(kCallColumns.begin()[c]) == name && at[c] < 0)
                at[c] = i;
        }
    }
    // A damaged page ends the list where it is, as for the other records.
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        CallRecord call;
        call.id = optionalInt(stmt, at[CallId]);
        call.number = textOf(stmt, at[CallNumber]);
        call.cachedName = textOf(stmt, at[CallName]);
        call.date = optionalInt(stmt, at[CallDate]);
        call.duration = optionalInt(stmt, at[CallDuration]);
        call.type = optionalInt(stmt, at[CallType]);
        call.file = file;
        calls.push_back(std::move(call));
    }
    sqlite3_finalize(stmt);
}

} // namespace

std::vector<CallRecord> readLiveCalls(const PhoneDatabases& dbs, const ContactLists& contacts) {
    std::vector<CallRecord> calls;
    const bool callLog = !dbs.callLogDb.empty();
    const std::string& path = callLog ? dbs.callLogDb : dbs.contactsDb;
    if (path.empty())
        return calls;
    sqlite3* db = openReadOnlyDatabase(path);
    if (!db)
        return calls;
    readCallRows(db, callLog ? "calllog.db" : "contacts2.db", calls);
    sqlite3_close(db);
    nameAndDateCalls(calls, contacts);
    sortNewestFirst(calls);
    return calls;
}

void nameAndDateCalls(std::vector<CallRecord>& calls, const ContactLists& contacts) {
    const LiveNumberNames names(contacts);
    DateLineFormatter dates;
    for (CallRecord& call : calls) {
        call.name = call.cachedName;
        if (call.name.empty()) {
            if (const ContactNode* contact = names.contactOf(call.number))
                call.name = std::string(listDisplayName(*contact));
        }
        call.dateLine = call.date ? std::string(dates.format(*call.date)) : std::string();
    }
}

void sortNewestFirst(std::vector<CallRecord>& calls) {
    std::stable_sort(calls.begin(), calls.end(), [](const CallRecord& a, const CallRecord& b) {
        if (a.date.has_value() != b.date.has_value())
            return a.date.has_value();
        if (a.date && *a.date != *b.date)
            return *a.date > *b.date;
        return a.id.value_or(INT64_MIN) > b.id.value_or(INT64_MIN);
    });
}

} // namespace fennaro::deep
