// Deletions behave as on the phone and leave the freed cells where the carver looks.
#include "test_files.h"

#include "contacts_db_builder.h"
#include "page_inspector.h"
#include "sms_db_builder.h"

#include <gtest/gtest.h>

using namespace testdata;
using namespace testdata_test;

namespace {

// A thread with one recipient.
Thread threadWith(const std::string& address, int64_t id = 0) {
    Thread t;
    t.id = id;
    t.address = address;
    return t;
}

// A raw contact with a name and one phone row.
RawContact person(int64_t id, const std::string& name, const std::string& number) {
    RawContact c;
    c.id = id;
    c.displayName = name;
    c.displayNameSource = 40;
    DataRow nameRow, phoneRow;
    nameRow.mimetype = kMimeName;
    nameRow.data1 = nameRow.data2 = name;
    phoneRow.mimetype = kMimePhone;
    phoneRow.data1 = number;
    phoneRow.data2 = "2";
    c.rows = {nameRow, phoneRow};
    return c;
}

// A received message in thread `t`.
Message text(int64_t id, int64_t t, const std::string& body, int64_t date) {
    Message m;
    m.id = id;
    m.threadId = t;
    m.address = "+8613800138000";
    m.dateMs = date;
    m.body = body;
    return m;
}

// The leaf cell holding `rowid` on any leaf page of `table`.
std::optional<std::pair<LeafPage, LeafCell>> cellOf(const std::string& path,
                                                    const std::string& table, int64_t rowid) {
    for (const LeafPage& p : tableLeafPages(path, table))
        for (const LeafCell& c : p.cells)
            if (c.rowid == rowid)
                return std::make_pair(p, c);
    return std::nullopt;
}

// The leaf page numbered `page` of `table`.
LeafPage pageOf(const std::string& path, const std::string& table, uint32_t page) {
    for (const LeafPage& p : tableLeafPages(path, table))
        if (p.page == page)
            return p;
    return {};
}

// An SMS file with one thread of 60 short messages, committed.
void fillThread(SmsDbBuilder& b) {
    const int64_t t = b.addThread(threadWith("+8613800138000"));
    for (int64_t id = 1000; id < 1060; ++id)
        b.addMessage(text(id, t, "message number " + std::to_string(id) + " 你好 with some text",
                          1700000000000 + id * 1000));
    b.commit();
}

} // namespace

TEST(ContactsDeletion, RawContactTakesItsRowsAndLoneAggregate) {
    ScratchDir dir("contacts-delete");
    const std::string path = dir.file("contacts2.db");
    ContactsDbBuilder b(path, DbOptions{});
    RawContact ann = person(1000, "Ann", "555");
    ann.contactId = 2000;
    RawContact annWork = person(1001, "Ann Work", "13800138000");
    annWork.contactId = 2000; // joined into the same aggregate
    RawContact li = person(1002, "李伟", "+86 138 0013 8000");
    ASSERT_EQ(b.addRawContact(ann), 1000);
    b.addRawContact(annWork);
    b.addRawContact(li);

    const auto rows = b.deleteRawContact(1002);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].data1, "李伟");
    EXPECT_EQ(rows[1].mimetype, kMimePhone);
    EXPECT_EQ(rows[1].data2, "2");
    EXPECT_TRUE(b.deleteRawContact(1002).empty()); // already gone

    EXPECT_EQ(b.deleteRawContact(1000).size(), 2u);
    b.close();
    EXPECT_EQ(queryInt(path, "SELECT COUNT(*) FROM data"), 2);
    EXPECT_EQ(queryInt(path, "SELECT COUNT(*) FROM phone_lookup"), 1);
    EXPECT_EQ(queryInt(path, "SELECT name_raw_contact_id FROM contacts WHERE _id=2000"), 1001);
    EXPECT_EQ(queryInt(path, "SELECT COUNT(*) FROM contacts"), 1);
    EXPECT_EQ(queryInt(path, "SELECT COUNT(*) FROM deleted_contacts"), 1);
    EXPECT_EQ(queryInt(path, "SELECT typeof(data2)='text' FROM data WHERE data2 IS NOT NULL"), 1);
}

TEST(ContactsDeletion, SingleRowsAndScenarioHelpers) {
    ScratchDir dir("contacts-rows");
    const std::string path = dir.file("contacts2.db");
    ContactsDbBuilder b(path, DbOptions{});
    for (int64_t i = 0; i < 80; ++i)
        b.addRawContact(
            person(1000 + i, "Person " + std::to_string(i), "1380013" + std::to_string(8000 + i)));
    const int64_t phoneRow = 2; // rows without ids are numbered 1, 2, ... in order
    const auto gone = b.deleteDataRow(phoneRow);
    ASSERT_TRUE(gone.has_value());
    EXPECT_EQ(gone->data1, "13800138000");
    EXPECT_FALSE(b.deleteDataRow(phoneRow).has_value());
    EXPECT_EQ(b.deleteNeighbourDataRows().size(), 2u);
    EXPECT_TRUE(b.deleteContentStartDataRow().has_value());
    b.close();
    EXPECT_EQ(queryInt(path, "SELECT COUNT(*) FROM data"), 160 - 4);
    EXPECT_EQ(queryInt(path, "SELECT has_phone_number FROM contacts c JOIN raw_contacts r ON "
                             "r.contact_id=c._id WHERE r._id=1000"),
              0);
}

TEST(SmsDeletion, ThreadIsRecountedAndDroppedWhenEmpty) {
    ScratchDir dir("sms-thread");
    const std::string path = dir.file("mmssms.db");
    SmsDbBuilder b(path, DbOptions{});
    const int64_t t1 = b.addThread(threadWith("+8613800138000", 1000));
    const int64_t t2 = b.addThread(threadWith("10086"));
    b.addMessage(text(1000, t1, "first", 1700000001000));
    b.addMessage(text(1001, t1, "second", 1700000002000));
    b.addMessage(text(1002, t1, "third", 1700000003000));
    b.addMessage(text(1003, t2, "only", 1700000004000));
    b.commit();
    EXPECT_EQ(queryInt(path, "SELECT message_count FROM threads WHERE _id=1000"), 3);

    ASSERT_TRUE(b.deleteMessage(1002).has_value());
    b.commit();
    EXPECT_EQ(queryInt(path, "SELECT message_count FROM threads WHERE _id=1000"), 2);
    EXPECT_EQ(queryInt(path, "SELECT date FROM threads WHERE _id=1000"), 1700000002000);
    EXPECT_EQ(queryInt(path, "SELECT snippet='second' FROM threads WHERE _id=1000"), 1);

    const auto m = b.deleteMessage(1003);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->body, "only");
    EXPECT_EQ(m->threadId, t2);
    EXPECT_FALSE(b.deleteMessage(1003).has_value());
    ASSERT_EQ(b.threads().size(), 1u);
    EXPECT_EQ(b.threads()[0].messageCount, 2);
    b.close();
    EXPECT_EQ(queryInt(path, "SELECT COUNT(*) FROM threads"), 1);
    EXPECT_EQ(queryInt(path, "SELECT COUNT(*) FROM canonical_addresses"), 1);
    EXPECT_EQ(queryInt(path, "SELECT COUNT(*) FROM sms"), 2);
}

TEST(SmsDeletion, NeighboursMergeIntoOneFreeblock) {
    ScratchDir dir("sms-neighbours");
    const std::string path = dir.file("mmssms.db");
    SmsDbBuilder b(path, DbOptions{});
    fillThread(b);
    const auto pair = findNeighbourRows(path, "sms");
    ASSERT_TRUE(pair.has_value());
    const auto low = cellOf(path, "sms", pair->first);
    const auto high = cellOf(path, "sms", pair->second);
    ASSERT_TRUE(low && high);
    ASSERT_EQ(low->second.offset + low->second.size, high->second.offset);

    const auto gone = b.deleteNeighbourMessages();
    ASSERT_EQ(gone.size(), 2u);
    b.commit();
    const LeafPage after = pageOf(path, "sms", low->first.page);
    ASSERT_EQ(after.freeblocks.size(), 1u);
    EXPECT_EQ(after.freeblocks[0].offset, low->second.offset);
    EXPECT_EQ(after.freeblocks[0].size, low->second.size + high->second.size);
    b.close();
    const auto bytes = fileBytes(path);
    EXPECT_TRUE(contains(bytes, *gone[0].body));
    EXPECT_TRUE(contains(bytes, *gone[1].body));
}

TEST(SmsDeletion, ContentStartRowGrowsTheGap) {
    ScratchDir dir("sms-gap");
    const std::string path = dir.file("mmssms.db");
    SmsDbBuilder b(path, DbOptions{});
    fillThread(b);
    const auto id = findContentStartRow(path, "sms");
    ASSERT_TRUE(id.has_value());
    const auto before = cellOf(path, "sms", *id);
    ASSERT_TRUE(before.has_value());
    ASSERT_EQ(before->second.offset, before->first.contentStart);

    const auto gone = b.deleteContentStartMessage();
    ASSERT_TRUE(gone.has_value());
    EXPECT_EQ(gone->id, *id);
    b.commit();
    const LeafPage after = pageOf(path, "sms", before->first.page);
    EXPECT_TRUE(after.freeblocks.empty());
    EXPECT_EQ(after.contentStart, before->first.contentStart + before->second.size);
    EXPECT_EQ(after.gapSize, before->first.gapSize + before->second.size + 2);
    b.close();
    EXPECT_TRUE(contains(fileBytes(path), gone->body->substr(4)));
}
