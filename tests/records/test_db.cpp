#include "test_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <unistd.h>

namespace fennaro::test {

ScratchDir::ScratchDir() {
    static std::atomic<int> serial{0};
    m_path = std::filesystem::temp_directory_path() /
             ("fennaro-records-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

ScratchDir::~ScratchDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::string ScratchDir::file(const std::string& name) const {
    return (m_path / name).string();
}

void makeDatabase(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

const char* const kContactsSchema = R"sql(
CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY AUTOINCREMENT, mimetype TEXT NOT NULL);
CREATE TABLE contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT, name_raw_contact_id INTEGER,
    photo_id INTEGER);
CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT, account_id INTEGER,
    sourceid TEXT, deleted INTEGER NOT NULL DEFAULT 0, contact_id INTEGER,
    display_name TEXT, display_name_alt TEXT,
    display_name_source INTEGER NOT NULL DEFAULT 0);
CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT, package_id INTEGER,
    mimetype_id INTEGER NOT NULL, raw_contact_id INTEGER NOT NULL,
    is_read_only INTEGER NOT NULL DEFAULT 0, data1 TEXT, data2 TEXT, data3 TEXT,
    data4 TEXT, data5 TEXT, data6 TEXT);
)sql";

const char* const kSmsSchema = R"sql(
CREATE TABLE threads (_id INTEGER PRIMARY KEY AUTOINCREMENT, date INTEGER DEFAULT 0,
    message_count INTEGER DEFAULT 0, recipient_ids TEXT, snippet TEXT);
CREATE TABLE sms (_id INTEGER PRIMARY KEY, thread_id INTEGER, address TEXT,
    person INTEGER, date INTEGER, date_sent INTEGER DEFAULT 0, protocol INTEGER,
    read INTEGER DEFAULT 0, status INTEGER DEFAULT -1, type INTEGER,
    reply_path_present INTEGER, subject TEXT, body TEXT);
CREATE TABLE canonical_addresses (_id INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT);
)sql";

const char* const kMimeTypeRows = R"sql(
INSERT INTO mimetypes (mimetype) VALUES ('vnd.android.cursor.item/email_v2'),
    ('vnd.android.cursor.item/im'), ('vnd.android.cursor.item/nickname'),
    ('vnd.android.cursor.item/organization'), ('vnd.android.cursor.item/phone_v2'),
    ('vnd.android.cursor.item/sip_address'), ('vnd.android.cursor.item/name');
)sql";

} // namespace fennaro::test
