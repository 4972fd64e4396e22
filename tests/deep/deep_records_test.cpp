// Deleted messages and contacts as structured records: a phone's databases
// written through SQLite, rows deleted, and what the deep records make of
// the deleted rows: every column of a message with its place, and a
// contact's rows grouped and labelled as a live contact's.
#include <gtest/gtest.h>

#include "deep_test_support.h"
#include "phone/conversation_join.h"
#include "phone/deep_records.h"

namespace fennaro::deep {
namespace {

using deeptest::SqlDb;
using deeptest::TempDir;

TEST(DeepRecords, DeletedMessagesKeepEveryColumnAndTheirPlace) {
    TempDir dir("deep-records");
    const std::string path = dir.file("mmssms.db");
    {
        SqlDb db(path);
        // As the phone keeps it: a write-ahead log, deleted cells not wiped.
        db.exec("PRAGMA secure_delete=OFF; PRAGMA journal_mode=WAL");
        db.exec("CREATE TABLE sms (_id INTEGER PRIMARY KEY, thread_id INTEGER, address TEXT,"
                " person INTEGER, date INTEGER, date_sent INTEGER, read INTEGER, type INTEGER,"
                " body TEXT)");
        db.exec("INSERT INTO sms VALUES (1, 4, '+8618950061093', 0, 1500000000123, 1500000000001,"
                " 1, 1, 'see you at <b>ten</b>, \"ok\"?')");
        db.exec("INSERT INTO sms VALUES (2, 4, '+8618950061093', 0, 1500000100000, 0, 1, 2,"
                " 'sent one')");
        db.exec("INSERT INTO sms VALUES (3, 5, '10086', 0, 1500000200000, 0, 0, 1, 'stays')");
        db.exec("DELETE FROM sms WHERE _id IN (1, 2)");
    }
    const std::vector<DeletedMessage> messages = readDeletedMessages(path);
    ASSERT_EQ(messages.size(), 2u);
    const DeletedMessage& received = messages[0].id == 1 ? messages[0] : messages[1];
    const DeletedMessage& sent = messages[0].id == 1 ? messages[1] : messages[0];
    EXPECT_EQ(received.threadId, 4);
    EXPECT_EQ(received.address, "+8618950061093");
    EXPECT_EQ(received.date, 1500000000123);
    EXPECT_EQ(received.dateSent, 1500000000001);
    EXPECT_EQ(received.read, 1);
    EXPECT_TRUE(isReceived(received));
    EXPECT_EQ(received.body, "see you at <b>ten</b>, \"ok\"?");
    EXPECT_FALSE(isReceived(sent));
    EXPECT_EQ(sent.body, "sent one");
    for (const DeletedMessage& message : messages) {
        EXPECT_FALSE(message.evidence.empty());
        EXPECT_EQ(message.place.file.substr(0, path.size()), path);
        EXPECT_GT(message.place.page, 0u);
        EXPECT_EQ(message.place.frame.has_value(), message.place.file == path + "-wal");
    }
    // A file that is not a database gives nothing, and no crash.
    deeptest::writeFile(dir.file("junk.db"), std::string(5000, 'x'));
    EXPECT_TRUE(readDeletedMessages(dir.file("junk.db")).empty());
    EXPECT_TRUE(readDeletedMessages(dir.file("missing.db")).empty());
    EXPECT_TRUE(readDeletedContacts(dir.file("junk.db"), {}).empty());
    // Copies cut short anywhere, and logs cut short: whatever survives, never
    // a crash (the suite runs with the sanitizers).
    const std::string whole = deeptest::readFile(path);
    const std::string log = deeptest::readFile(path + "-wal");
    for (const size_t keep : {size_t(100), size_t(4096), whole.size() / 2, whole.size() - 7}) {
        const std::string cut = dir.file("cut" + std::to_string(keep) + ".db");
        deeptest::writeFile(cut, whole.substr(0, keep));
        deeptest::writeFile(cut + "-wal", log.substr(0, log.size() * keep / whole.size()));
        for (const DeletedMessage& message : readDeletedMessages(cut))
            EXPECT_EQ(message.place.file.substr(0, cut.size()), cut);
        readDeletedContacts(cut, {{1, "vnd.android.cursor.item/phone_v2"}});
    }
}

TEST(DeepRecords, DeletedContactRowsAreGroupedAndLabelledAsLiveOnes) {
    TempDir dir("deep-records");
    const std::string path = dir.file("contacts2.db");
    const char* kTypes[] = {"vnd.android.cursor.item/name",
                            "vnd.android.cursor.item/phone_v2",
                            "vnd.android.cursor.item/email_v2",
                            "vnd.android.cursor.item/organization",
                            "vnd.android.cursor.item/postal-address_v2",
                            "vnd.android.cursor.item/website",
                            "vnd.android.cursor.item/contact_event",
                            "vnd.android.cursor.item/note",
                            "vnd.android.cursor.item/group_membership"};
    {
        SqlDb db(path);
        db.exec("PRAGMA secure_delete=OFF; PRAGMA journal_mode=WAL");
        db.exec("CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY, mimetype TEXT)");
        db.exec("CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY, display_name TEXT)");
        db.exec("CREATE TABLE data (_id INTEGER PRIMARY KEY, mimetype_id INTEGER,"
                " raw_contact_id INTEGER, data1 TEXT, data2 TEXT, data4 TEXT, data5 TEXT)");
        for (int i = 0; i < 9; ++i)
            db.exec("INSERT INTO mimetypes VALUES (" + std::to_string(i + 1) + ", '" + kTypes[i] +
                    "')");
        db.exec("INSERT INTO raw_contacts VALUES (1, 'Ann Lee'), (2, 'Bob')");
        // Ann, whose whole contact goes: the birthday and the address must
        // not end up as phone numbers.
        db.exec("INSERT INTO data VALUES (10, 8, 1, 'call after six', NULL, NULL, NULL),"
                " (11, 2, 1, '18950061093', '2', NULL, NULL),"
                " (12, 7, 1, '1974-01-28', '3', NULL, NULL),"
                " (13, 1, 1, 'Ann Lee', NULL, NULL, NULL),"
                " (14, 3, 1, 'ann@example.com', '1', NULL, NULL),"
                " (15, 4, 1, 'Acme', NULL, 'Chemist', 'Lab'),"
                " (16, 5, 1, '1 Main St', '1', NULL, NULL),"
                " (17, 6, 1, 'https://ann.example', NULL, NULL, NULL),"
                " (18, 9, 1, '3', NULL, NULL, NULL),"
                " (19, 2, 1, '555 0101', '12', NULL, NULL)");
        // Bob stays; one of his numbers goes.
        db.exec("INSERT INTO data VALUES (20, 1, 2, 'Bob', NULL, NULL, NULL),"
                " (21, 2, 2, '5550102', '1', NULL, NULL),"
                " (22, 2, 2, '5550103', '17', NULL, NULL)");
        db.exec("DELETE FROM data WHERE raw_contact_id = 1 OR _id = 22");
        db.exec("DELETE FROM raw_contacts WHERE _id = 1");
    }
    std::vector<MimeTypeNode> live;
    for (int i = 0; i < 9; ++i)
        live.push_back({i + 1, kTypes[i]});
    const std::vector<DeletedContact> contacts = readDeletedContacts(path, live);
    ASSERT_EQ(contacts.size(), 2u);

    const DeletedContact& ann = contacts[0];
    EXPECT_EQ(ann.rawContactId, 1);
    EXPECT_EQ(ann.name, "Ann Lee");
    std::vector<std::string> seen;
    for (const ContactField& field : ann.fields)
        seen.push_back(field.label + "=" + field.value);
    // Name, phones, e-mails, company, then address, website, birthday, note;
    // the group membership's number is no value of the user's.
    EXPECT_EQ(seen, (std::vector<std::string>{"Name=Ann Lee", "Mobile=18950061093", "=555 0101",
                                              "Home Email=ann@example.com", "Company=Acme",
                                              "Address=1 Main St", "Website=https://ann.example",
                                              "Birthday=1974-01-28", "Note=call after six"}));
    const ContactField* company = firstField(ann, FieldKind::Organization);
    ASSERT_NE(company, nullptr);
    EXPECT_EQ(company->secondLine, "Chemist");
    EXPECT_EQ(company->thirdLine, "Lab");
    EXPECT_EQ(firstField(ann, FieldKind::Phone)->value, "18950061093");

    const DeletedContact& bob = contacts[1];
    EXPECT_EQ(bob.rawContactId, 2);
    ASSERT_EQ(bob.fields.size(), 1u);
    EXPECT_EQ(bob.fields[0].label, "WorkMobile");
    EXPECT_EQ(bob.fields[0].value, "5550103");
    EXPECT_FALSE(bob.fields[0].evidence.empty());
}

} // namespace
} // namespace fennaro::deep

namespace fennaro::deep {
namespace {

// A hand-made phone: Ann (number 18950061093) with one live conversation,
// Bob with another, and deleted messages of every kind of home.
struct SmallPhone {
    ContactLists contacts;
    SmsLists sms;
    std::vector<DeletedMessage> deleted;

    SmallPhone() {
        contacts.mimeTypes = {{5, "vnd.android.cursor.item/phone_v2"}};
        contacts.contacts = {{1, 1, 1, 0, "Ann", 40}, {2, 1, 2, 0, "Bob", 40}};
        contacts.dataRows = {{5, 1, "189 5006 1093", "2", {}, {}}, {5, 2, "5550102", "2", {}, {}}};
        sms.threads = {{10, 1, 0, {}}, {20, 1, 0, {}}};
        sms.messages = {{10, "18950061093", 0, "t1000", 1, "live one", 1000},
                        {10, "18950061093", 0, "t3000", 2, "live two", 3000},
                        {20, "5550102", 2, "t5000", 1, "bob", 5000}};
        deleted.push_back(message(10, "18950061093", 2000, 2, "between"));
        deleted.push_back(message(99, "+8618950061093", 500, 1, "by number"));
        deleted.push_back(message(10, "", std::nullopt, 1, "undated"));
        deleted.push_back(message(77, "10086", 100, 1, "own"));
        deleted.push_back(message(77, "", 50, 2, "same dead thread"));
        deleted.push_back(message(std::nullopt, ".x", 60, 1, "dot"));
    }

    static DeletedMessage message(std::optional<int64_t> thread, std::string address,
                                  std::optional<int64_t> date, int64_t type, std::string body) {
        DeletedMessage m;
        m.threadId = thread;
        m.address = std::move(address);
        m.date = date;
        m.type = type;
        m.body = std::move(body);
        return m;
    }
};

// The bodies of a conversation's messages, a deleted one marked with "x:".
std::vector<std::string> bodies(const DeepConversation& conversation) {
    std::vector<std::string> result;
    for (const ConversationEntry& entry : conversation.messages)
        result.push_back((entry.deleted ? "x:" : "") + std::string(entry.body));
    return result;
}

TEST(DeepConversations, DeletedMessagesJoinTheirConversationInDateOrder) {
    SmallPhone phone;
    const std::vector<DeepConversation> conversations =
        assembleConversations(phone.contacts, phone.sms, phone.deleted);
    ASSERT_EQ(conversations.size(), 4u);
    // The wholly deleted conversations first, then Ann's live one with
    // deleted messages, then Bob's.
    const DeepConversation& ann = conversations[2];
    EXPECT_EQ(ann.name, "Ann");
    EXPECT_EQ(ann.deletedCount, 3u);
    EXPECT_EQ(rowState(ann), RowState::LiveWithDeleted);
    EXPECT_EQ(bodies(ann), (std::vector<std::string>{"x:by number", "live one", "x:between",
                                                     "live two", "x:undated"}));
    EXPECT_FALSE(ann.messages[2].received);
    EXPECT_TRUE(ann.messages[4].dateLine.empty());
    // A dead thread with an unknown number: its own conversation, named by
    // the number, holding the other message of that thread too.
    EXPECT_EQ(conversations[0].thread, nullptr);
    EXPECT_EQ(conversations[0].name, "10086");
    EXPECT_EQ(rowState(conversations[0]), RowState::Deleted);
    EXPECT_EQ(bodies(conversations[0]), (std::vector<std::string>{"x:same dead thread", "x:own"}));
    EXPECT_EQ(conversations[1].name, "_.x");
    EXPECT_EQ(conversations[3].name, "Bob");
    EXPECT_EQ(conversations[3].deletedCount, 0u);
    EXPECT_EQ(rowState(conversations[3]), RowState::Live);
}

TEST(DeepConversations, DeletedFieldsJoinTheirLiveContact) {
    const SmallPhone phone;
    std::vector<DeletedContact> deleted(2);
    deleted[0].rawContactId = 2;
    deleted[0].fields.push_back({FieldKind::Phone, 30, "Mobile", "5550199", {}, {}, "cell", {}});
    deleted[1].rawContactId = 9;
    deleted[1].fields.push_back({FieldKind::Phone, 31, "", "5550100", {}, {}, "cell", {}});
    const std::vector<DeepContact> contacts = assembleContacts(phone.contacts, deleted);
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0].deleted, nullptr);
    EXPECT_EQ(contacts[1].live, &phone.contacts.contacts[1]);
    EXPECT_EQ(contacts[1].deleted, &deleted[0]);
    EXPECT_EQ(contacts[2].live, nullptr);
    EXPECT_EQ(deletedContactName(*contacts[2].deleted, nullptr), "5550100");
    EXPECT_EQ(deletedContactName(deleted[0], contacts[1].live), "Bob");
    EXPECT_TRUE(joinsLiveContact(deleted[0], phone.contacts));
    EXPECT_FALSE(joinsLiveContact(deleted[1], phone.contacts));
}

} // namespace
} // namespace fennaro::deep
