// Engine runs on real database files: what makes a run carve nothing, the
// page-size field, tables whose rows were all deleted, and the promise that a
// run never changes or creates a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <sqlite3.h>

#include "contacts_db_builder.h"
#include "engine_test_support.h"
#include "sms_db_builder.h"
#include "sqlite_util.h"

namespace {

using enginetest::carve;
using enginetest::TempDir;
using testdata::DataRow;
using testdata::RawContact;

// A contact with a structured name and a mobile number. Ids are those of a
// phone in use for years (two-byte rowids), as the carvers expect them.
RawContact person(int i, const std::string& name, const std::string& number) {
    RawContact c;
    c.id = 500 + i;
    c.displayName = name;
    c.displayNameSource = 40;
    c.rows.push_back({1000 + 2 * i, 0, testdata::kMimeName, name, name, std::nullopt, std::nullopt,
                      std::nullopt});
    c.rows.push_back({1001 + 2 * i, 0, testdata::kMimePhone, number, "2", std::nullopt,
                      std::nullopt, std::nullopt});
    return c;
}

// Writes a contacts2.db of `count` contacts and deletes every tenth one (few
// enough that SQLite does not merge the pages and rebuild them), or
// runs `deleteSql` instead when it is given.
void buildContacts(const std::string& path, const testdata::DbOptions& options, int count = 60,
                   const std::string& deleteSql = "") {
    testdata::ContactsDbBuilder db(path, options);
    std::vector<int64_t> ids;
    for (int i = 0; i < count; ++i)
        ids.push_back(db.addRawContact(
            person(i, "Person " + std::to_string(i), "1380013" + std::to_string(8000 + i))));
    db.commit();
    if (!deleteSql.empty()) {
        testdata::execSql(db.db(), deleteSql);
    } else {
        for (size_t i = 1; i < ids.size(); i += 10)
            db.deleteRawContact(ids[i]);
    }
    db.close();
}

// Writes an mmssms.db with a few messages and deletes one.
void buildSms(const std::string& path, const testdata::DbOptions& options) {
    testdata::SmsDbBuilder db(path, options);
    const int64_t thread = db.addThread({});
    std::vector<int64_t> ids;
    for (int i = 0; i < 20; ++i) {
        testdata::Message m;
        m.id = 1000 + i;
        m.threadId = thread;
        m.address = "+8613800138" + std::to_string(100 + i);
        m.dateMs = 1700000000000 + i;
        m.type = 1;
        m.body = "Message number " + std::to_string(i) + " about the weekend";
        ids.push_back(db.addMessage(m));
    }
    db.commit();
    db.deleteMessage(ids.at(5));
    db.close();
}

class EngineFiles : public ::testing::Test {
  protected:
    TempDir dir;
    std::string contacts = dir.file("contacts2.db");
    std::string sms = dir.file("mmssms.db");
};

TEST_F(EngineFiles, BothRunsFindTheirDeletedRows) {
    buildContacts(contacts, {});
    buildSms(sms, {});
    std::string people = carve(ePaserContacts, contacts, sms);
    EXPECT_NE(people.find("Person 1\t13800138001\r\n"), std::string::npos) << people;
    std::string messages = carve(ePaserSms, contacts, sms);
    EXPECT_NE(messages.find("+8613800138105\tMessage number 5 about the weekend\r\n"),
              std::string::npos)
        << messages;
}

TEST_F(EngineFiles, RunsThatCarveNothing) {
    buildContacts(contacts, {});
    buildSms(sms, {});
    SqliteParse untouched(contacts, sms);
    EXPECT_EQ(untouched.get_contacts_mem(), "");

    // A contacts run needs "contacts2.db" in its path, an SMS run "mmssms.db".
    std::filesystem::copy_file(contacts, dir.file("people.db"));
    std::filesystem::copy_file(sms, dir.file("texts.db"));
    EXPECT_EQ(carve(ePaserContacts, dir.file("people.db"), sms), "");
    EXPECT_EQ(carve(ePaserSms, contacts, dir.file("texts.db")), "");
    // An SMS run needs both files, and a kind that is neither does nothing.
    EXPECT_EQ(carve(ePaserSms, dir.file("missing/contacts2.db"), sms), "");
    EXPECT_EQ(carve(static_cast<ePaserType>(7), contacts, sms), "");
    EXPECT_EQ(carve(ePaserContacts, dir.file("absent/contacts2.db"), sms), "");
}

TEST_F(EngineFiles, NotADatabaseOrMissingTableCarvesNothing) {
    enginetest::writeFile(contacts, std::string(8192, 'x'));
    buildSms(sms, {});
    EXPECT_EQ(carve(ePaserContacts, contacts, sms), "");
    // A broken contacts file also stops the SMS run: its live rows name senders.
    EXPECT_EQ(carve(ePaserSms, contacts, sms), "");

    std::filesystem::remove(contacts);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(contacts.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE other(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(carve(ePaserContacts, contacts, sms), "");
}

TEST_F(EngineFiles, AbsentWantedColumnCarvesNothing) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(contacts.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db,
                 "PRAGMA secure_delete=OFF; CREATE TABLE data(_id INTEGER PRIMARY KEY, "
                 "raw_contact_id INTEGER, value TEXT);"
                 "INSERT INTO data VALUES(1000, 5, 'Ann'); DELETE FROM data;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(carve(ePaserContacts, contacts, sms), "");
}

TEST_F(EngineFiles, TableWithAllRowsDeletedIsStillCarved) {
    // Column positions come from the statement's column names, which exist
    // without a row; the emptied leaf keeps the rows' bytes in its gap.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(contacts.c_str(), &db), SQLITE_OK);
    testdata::execSql(db, "PRAGMA secure_delete=OFF;"
                          "CREATE TABLE data(_id INTEGER PRIMARY KEY, raw_contact_id INTEGER,"
                          " data1 TEXT);"
                          "INSERT INTO data VALUES(1000, 5, 'Ann'), (1001, 5, '555');"
                          "DELETE FROM data;");
    sqlite3_close(db);
    EXPECT_EQ(carve(ePaserContacts, contacts, sms), "Ann\t555\r\n");
}

TEST_F(EngineFiles, PageSizeFieldOfOneMeans65536) {
    testdata::DbOptions options;
    options.pageSize = 65536;
    buildContacts(contacts, options);
    ASSERT_EQ(enginetest::readFile(contacts).substr(16, 2), std::string("\x00\x01", 2));
    EXPECT_NE(carve(ePaserContacts, contacts, sms).find("Person 11\t13800138011\r\n"),
              std::string::npos);
}

TEST_F(EngineFiles, PageSizeFieldOfZeroCarvesNothing) {
    buildContacts(contacts, {});
    std::string bytes = enginetest::readFile(contacts);
    bytes[16] = 0, bytes[17] = 0;
    enginetest::writeFile(contacts, bytes);
    EXPECT_EQ(carve(ePaserContacts, contacts, sms), "");
}

TEST_F(EngineFiles, RunsLeaveEveryByteAndTheFolderListingUnchanged) {
    testdata::DbOptions wal;
    wal.generation = testdata::Generation::Modern;
    wal.wal = true;
    buildContacts(contacts, wal);
    buildSms(sms, {});
    auto before = enginetest::folderSnapshot(dir.path());
    carve(ePaserContacts, contacts, sms);
    carve(ePaserSms, contacts, sms);
    EXPECT_EQ(enginetest::folderSnapshot(dir.path()), before);
}

TEST_F(EngineFiles, CopyWithAPendingWalIsNeitherCheckpointedNorJoinedByAShm) {
    // A copy pulled together with its -wal: opening it read-write would
    // replay the log into the main file, over the free space being carved.
    TempDir phone;
    testdata::DbOptions wal;
    wal.generation = testdata::Generation::Modern;
    wal.wal = true;
    buildContacts(phone.file("contacts2.db"), wal);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(phone.file("contacts2.db").c_str(), &db), SQLITE_OK);
    testdata::registerAndroidCollations(db);
    testdata::execSql(db, "PRAGMA wal_autocheckpoint=0; DELETE FROM data WHERE _id % 2 = 0;");
    ASSERT_TRUE(std::filesystem::exists(phone.file("contacts2.db-wal")));
    std::filesystem::copy_file(phone.file("contacts2.db"), contacts);
    std::filesystem::copy_file(phone.file("contacts2.db-wal"), contacts + "-wal");
    sqlite3_close(db);

    auto before = enginetest::folderSnapshot(dir.path());
    ASSERT_EQ(before.size(), 2u);
    carve(ePaserContacts, contacts, sms);
    enginetest::writeFile(sms, "");
    std::filesystem::remove(sms);
    carve(ePaserSms, contacts, sms);
    EXPECT_EQ(enginetest::folderSnapshot(dir.path()), before);
}

} // namespace
