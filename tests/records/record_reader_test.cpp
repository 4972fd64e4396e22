// The live-record reader on small database copies: which columns feed which
// field, list order, NULLs and odd values, and copies that are damaged or not
// databases at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "date_line.h"
#include "phone/record_reader.h"
#include "test_db.h"

namespace fennaro {
namespace {

using test::kContactsSchema;
using test::kMimeTypeRows;
using test::kSmsSchema;
using test::makeDatabase;
using test::ScratchDir;

// Runs the test in UTC so date lines are predictable.
class RecordReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_savedTz = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (m_savedTz)
            setenv("TZ", m_savedTz->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScratchDir dir;

  private:
    std::optional<std::string> m_savedTz;
};

// Returns the names of the files in a folder.
std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(RecordReaderTest, ContactFieldsComeFromTheirColumnsInIdOrder) {
    const std::string path = dir.file("contacts2.db");
    makeDatabase(path, std::string(kContactsSchema) + kMimeTypeRows + R"sql(
        INSERT INTO contacts VALUES (1, 9, NULL), (2, 4, NULL);
        INSERT INTO raw_contacts (_id, deleted, display_name, display_name_source) VALUES
            (9, 0, 'Zoe', 40), (4, 0, '555 1234', 20), (6, 1, 'Marked', 40),
            (7, 0, NULL, 0);
        INSERT INTO data (_id, mimetype_id, raw_contact_id, data1, data2, data4, data5) VALUES
            (20, 5, 9, '555', 2, NULL, NULL),
            (11, 4, 9, 'ACME', '1', 'Boss', 'R&D'),
            (15, 1, 4, 'x@y.org', NULL, NULL, NULL);
    )sql");

    const ContactLists lists = readContacts(path);

    ASSERT_EQ(lists.companionContacts.size(), 2u);
    EXPECT_EQ(lists.companionContacts[0].contactId, 1);
    EXPECT_EQ(lists.companionContacts[0].personKey, 9);

    // Raw contacts marked deleted are gone; the rest in _id order.
    ASSERT_EQ(lists.contacts.size(), 3u);
    EXPECT_EQ(lists.contacts[0].contactId, 4);
    EXPECT_EQ(lists.contacts[0].personKey, 4);
    EXPECT_EQ(lists.contacts[0].text, "555 1234");
    EXPECT_EQ(lists.contacts[0].displayNameSource, 20);
    EXPECT_EQ(lists.contacts[0].deleted, 0);
    EXPECT_EQ(lists.contacts[1].contactId, 7);
    EXPECT_EQ(lists.contacts[1].text, "");
    EXPECT_EQ(lists.contacts[2].text, "Zoe");
    EXPECT_EQ(lists.contacts[2].displayNameSource, 40);

    ASSERT_EQ(lists.dataRows.size(), 3u);
    EXPECT_EQ(lists.dataRows[0].value, "ACME");
    EXPECT_EQ(lists.dataRows[0].mimeTypeId, 4);
    EXPECT_EQ(lists.dataRows[0].contactId, 9);
    EXPECT_EQ(lists.dataRows[0].typeNumber, "1");
    EXPECT_EQ(lists.dataRows[0].secondOrganizationLine, "Boss");
    EXPECT_EQ(lists.dataRows[0].thirdOrganizationLine, "R&D");
    EXPECT_EQ(lists.dataRows[1].value, "x@y.org");
    EXPECT_EQ(lists.dataRows[1].typeNumber, "");
    // A type stored as a number reads as its decimal text.
    EXPECT_EQ(lists.dataRows[2].typeNumber, "2");

    ASSERT_EQ(lists.mimeTypes.size(), 7u);
    EXPECT_EQ(lists.mimeTypes[4].id, 5);
    EXPECT_EQ(lists.mimeTypes[4].mimeType, "vnd.android.cursor.item/phone_v2");
}

TEST_F(RecordReaderTest, MessagesAreOrderedByConversationDateAndId) {
    const std::string path = dir.file("mmssms.db");
    makeDatabase(path, std::string(kSmsSchema) + R"sql(
        INSERT INTO threads (_id) VALUES (3), (1);
        INSERT INTO sms (_id, thread_id, address, person, date, type, body) VALUES
            (1, 3, '+4477', 12, 1000, 1, 'late'),
            (2, 1, '555', NULL, 1383579012345, 2, 'Hi'),
            (3, 3, '+4477', 12, 999, 1, 'early'),
            (4, 3, '+4477', 12, 1000, 1, 'same time, higher id'),
            (5, 1, NULL, 0, NULL, NULL, NULL);
        INSERT INTO canonical_addresses (address) VALUES ('555'), ('+4477');
    )sql");

    const SmsLists lists = readSms(path);

    ASSERT_EQ(lists.threads.size(), 2u);
    EXPECT_EQ(lists.threads[0].conversationId, 1);
    EXPECT_EQ(lists.threads[1].conversationId, 3);
    EXPECT_EQ(lists.threads[0].deleted, 0);

    ASSERT_EQ(lists.messages.size(), 5u);
    std::vector<std::string_view> bodies;
    for (const MessageNode& message : lists.messages)
        bodies.push_back(message.body);
    EXPECT_EQ(bodies,
              (std::vector<std::string_view>{"", "Hi", "early", "late", "same time, higher id"}));
    // NULLs: no address, person 0, date 0, type 0.
    const MessageNode& empty = lists.messages[0];
    EXPECT_EQ(empty.address, "");
    EXPECT_EQ(empty.personKey, 0);
    EXPECT_EQ(empty.dateLine, "1970-01-01 00:00:00");
    EXPECT_EQ(empty.type, 0);
    const MessageNode& hi = lists.messages[1];
    EXPECT_EQ(hi.conversationId, 1);
    EXPECT_EQ(hi.address, "555");
    EXPECT_EQ(hi.type, 2);
    // Milliseconds are cut to whole seconds.
    EXPECT_EQ(hi.dateLine, "2013-11-04 15:30:12");
    EXPECT_EQ(lists.messages[2].personKey, 12);

    ASSERT_EQ(lists.addresses.size(), 2u);
    EXPECT_EQ(lists.addresses[1].address, "+4477");
}

TEST_F(RecordReaderTest, OddValuesKeepDefinedForms) {
    const std::string path = dir.file("mmssms.db");
    makeDatabase(path, std::string(kSmsSchema) + R"sql(
        INSERT INTO threads (_id) VALUES (4294967297);
        INSERT INTO sms (_id, thread_id, address, person, date, type, body) VALUES
            (1, 4294967297, 12345, -1, -1500, 2.5, X'41004243'),
            (2, 4294967297, 'bad ' || X'FF' || ' bytes', 'seven', 0, 1, 'ok');
    )sql");

    const SmsLists lists = readSms(path);

    ASSERT_EQ(lists.threads.size(), 1u);
    // Integers keep their low 32 bits.
    EXPECT_EQ(lists.threads[0].conversationId, 1);
    ASSERT_EQ(lists.messages.size(), 2u);
    const MessageNode& odd = lists.messages[0];
    EXPECT_EQ(odd.conversationId, 1);
    // A number in a text column reads as its decimal text.
    EXPECT_EQ(odd.address, "12345");
    EXPECT_EQ(odd.personKey, -1);
    EXPECT_EQ(odd.dateLine, "1969-12-31 23:59:59");
    EXPECT_EQ(odd.type, 2);
    // A text ends at its first zero byte.
    EXPECT_EQ(odd.body, "A");
    // Bytes that are not UTF-8 are kept as they are; output replaces them.
    EXPECT_EQ(lists.messages[1].address, "bad \xFF bytes");
    EXPECT_EQ(lists.messages[1].personKey, 0);
}

TEST_F(RecordReaderTest, DamagedOrForeignCopiesGiveEmptyListsAndNoFiles) {
    const std::string garbage = dir.file("garbage.db");
    std::ofstream(garbage) << "this is not a database, just some text that is long enough";
    const std::string empty = dir.file("empty.db");
    std::ofstream{empty};
    const std::string truncated = dir.file("truncated.db");
    makeDatabase(truncated, std::string(kContactsSchema) + kMimeTypeRows);
    std::filesystem::resize_file(truncated, 100);
    const std::string noTables = dir.file("other.db");
    makeDatabase(noTables, "CREATE TABLE unrelated (x);");
    const std::vector<std::string> before = filesIn(dir.path());

    for (const std::string& path : {garbage, empty, truncated, noTables, dir.file("missing.db")}) {
        SCOPED_TRACE(path);
        const ContactLists contacts = readContacts(path);
        EXPECT_TRUE(contacts.companionContacts.empty());
        EXPECT_TRUE(contacts.contacts.empty());
        EXPECT_TRUE(contacts.dataRows.empty());
        EXPECT_TRUE(contacts.mimeTypes.empty());
        const SmsLists sms = readSms(path);
        EXPECT_TRUE(sms.threads.empty());
        EXPECT_TRUE(sms.messages.empty());
        EXPECT_TRUE(sms.addresses.empty());
    }
    // Nothing was created beside the copies (no journal, no -wal, no -shm).
    EXPECT_EQ(filesIn(dir.path()), before);
}

TEST_F(RecordReaderTest, AMissingColumnEmptiesOnlyItsOwnList) {
    const std::string path = dir.file("contacts2.db");
    makeDatabase(path, std::string(kMimeTypeRows).insert(0, R"sql(
        CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY, mimetype TEXT);
        CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY, deleted INTEGER, display_name TEXT);
        CREATE TABLE data (_id INTEGER PRIMARY KEY, mimetype_id INTEGER, raw_contact_id INTEGER,
            data1 TEXT, data2 TEXT, data4 TEXT, data5 TEXT);
        INSERT INTO raw_contacts VALUES (1, 0, 'Ann');
        INSERT INTO data VALUES (1, 5, 1, '555', '2', NULL, NULL);
    )sql"));

    const ContactLists lists = readContacts(path);

    // raw_contacts lacks display_name_source and there is no contacts table.
    EXPECT_TRUE(lists.contacts.empty());
    EXPECT_TRUE(lists.companionContacts.empty());
    EXPECT_EQ(lists.dataRows.size(), 1u);
    EXPECT_EQ(lists.mimeTypes.size(), 7u);
}

TEST_F(RecordReaderTest, ModernColumnOrderReadsTheSame) {
    // data1 moved behind hash_id and raw_contacts grew columns in between:
    // columns are found by name, so nothing changes.
    const std::string path = dir.file("contacts2.db");
    makeDatabase(path, std::string(R"sql(
        CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY AUTOINCREMENT, mimetype TEXT NOT NULL);
        CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT, account_id INTEGER,
            sourceid TEXT, backup_id TEXT, raw_contact_is_read_only INTEGER, version INTEGER,
            dirty INTEGER, deleted INTEGER NOT NULL DEFAULT 0, metadata_dirty INTEGER,
            contact_id INTEGER, display_name TEXT, display_name_alt TEXT,
            display_name_source INTEGER NOT NULL DEFAULT 0);
        CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT, package_id INTEGER,
            mimetype_id INTEGER NOT NULL, raw_contact_id INTEGER NOT NULL, hash_id TEXT,
            is_read_only INTEGER, data1 TEXT, data2 TEXT, data3 TEXT, data4 TEXT, data5 TEXT);
        INSERT INTO raw_contacts (_id, deleted, display_name, display_name_source)
            VALUES (3, 0, '张伟', 40);
        INSERT INTO data (mimetype_id, raw_contact_id, hash_id, data1, data2)
            VALUES (5, 3, 'abc', '+86 138 0013 8000', '2');
    )sql") + kMimeTypeRows);

    const ContactLists lists = readContacts(path);

    ASSERT_EQ(lists.contacts.size(), 1u);
    EXPECT_EQ(lists.contacts[0].text, "张伟");
    ASSERT_EQ(lists.dataRows.size(), 1u);
    EXPECT_EQ(lists.dataRows[0].value, "+86 138 0013 8000");
    EXPECT_EQ(lists.dataRows[0].typeNumber, "2");
}

// Returns the date line the C library gives for a time in seconds.
std::string libraryDateLine(int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&time, &local))
        return {};
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

TEST_F(RecordReaderTest, DateLinesFollowClockChangesInEveryZone) {
    // Zones with summer time, with changes at odd minutes and by half hours.
    for (const char* zone : {"Europe/Berlin", "America/St_Johns", "Australia/Lord_Howe",
                             "Asia/Kathmandu", "America/Sao_Paulo"}) {
        SCOPED_TRACE(zone);
        setenv("TZ", zone, 1);
        tzset();
        DateLineFormatter formatter;
        // Two years in steps of 7 minutes 13 seconds, then the same times
        // scattered, so both the remembered day and fresh days are used.
        const int64_t start = 1'300'000'000;
        for (int64_t t = start; t < start + 2 * 366 * 86400; t += 433)
            ASSERT_EQ(formatter.format(t * 1000 + 999), libraryDateLine(t)) << t;
        for (int64_t i = 0; i < 20000; ++i) {
            const int64_t t = start + (i * 7'919'993) % (2 * 366 * 86400);
            ASSERT_EQ(formatter.format(t * 1000), libraryDateLine(t)) << t;
        }
    }
    // Years without four digits give no date line.
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(formatDateLine(253'402'300'799'000), "9999-12-31 23:59:59");
    EXPECT_EQ(formatDateLine(-62'200'000'000'000), "");
    EXPECT_EQ(formatDateLine(253'402'300'800'000), "");
}

} // namespace
} // namespace fennaro
