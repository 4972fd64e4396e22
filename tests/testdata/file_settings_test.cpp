// Page size, auto_vacuum, journal mode and secure_delete land in the files as asked.
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

// A message whose body is easy to find in raw file bytes.
Message markedMessage(int64_t id, int64_t thread, const std::string& body) {
    Message m;
    m.id = id;
    m.threadId = thread;
    m.address = "+8613800138000";
    m.dateMs = 1700000000000 + id;
    m.type = 1;
    m.body = body;
    return m;
}

// Builds an mmssms.db with 30 messages and deletes message 1015; returns the file's bytes.
std::vector<uint8_t> buildAndDeleteOne(const std::string& path, const DbOptions& options) {
    SmsDbBuilder b(path, options);
    const int64_t t = b.addThread(threadWith("+8613800138000"));
    for (int64_t id = 1000; id < 1030; ++id)
        b.addMessage(markedMessage(id, t, "body-marker-" + std::to_string(id) + " see you soon"));
    b.commit();
    EXPECT_TRUE(b.deleteMessage(1015).has_value());
    b.close();
    return fileBytes(path);
}

} // namespace

TEST(FileSettings, PageSizesAreHonoured) {
    ScratchDir dir("pagesize");
    for (int size : {1024, 4096, 65536}) {
        DbOptions options;
        options.pageSize = size;
        const std::string path = dir.file("contacts2-" + std::to_string(size) + ".db");
        ContactsDbBuilder(path, options).close();
        EXPECT_EQ(filePageSize(path), static_cast<uint32_t>(size));
        EXPECT_EQ(queryInt(path, "PRAGMA page_size"), size);
        EXPECT_EQ(fileBytes(path).size() % static_cast<size_t>(size), 0u);
    }
    DbOptions bad;
    bad.pageSize = 3000;
    EXPECT_THROW(ContactsDbBuilder(dir.file("bad.db"), bad), std::invalid_argument);
}

TEST(FileSettings, AutoVacuumAndJournalModes) {
    ScratchDir dir("modes");
    DbOptions full;
    ContactsDbBuilder(dir.file("full.db"), full).close();
    EXPECT_EQ(queryInt(dir.file("full.db"), "PRAGMA auto_vacuum"), 1);
    const auto fullBytes = fileBytes(dir.file("full.db"));
    EXPECT_EQ(fullBytes[18], 1); // rollback journal
    EXPECT_EQ(fullBytes[19], 1);
    EXPECT_NE(fullBytes[52] | fullBytes[53] | fullBytes[54] | fullBytes[55], 0); // pointer maps

    DbOptions none;
    none.autoVacuumFull = false;
    none.wal = true;
    ContactsDbBuilder(dir.file("none.db"), none).close();
    EXPECT_EQ(queryInt(dir.file("none.db"), "PRAGMA auto_vacuum"), 0);
    const auto walBytes = fileBytes(dir.file("none.db"));
    EXPECT_EQ(walBytes[18], 2);
    EXPECT_EQ(walBytes[19], 2);
}

TEST(FileSettings, SecureDeleteOffKeepsDeletedTextOnZeroesIt) {
    ScratchDir dir("secure");
    DbOptions keep;
    keep.zeroDeleted = false;
    const auto kept = buildAndDeleteOne(dir.file("keep.db"), keep);
    EXPECT_TRUE(contains(kept, "body-marker-1015 see you soon"));
    EXPECT_TRUE(contains(kept, "body-marker-1016 see you soon"));

    DbOptions zero;
    zero.zeroDeleted = true;
    const auto zeroed = buildAndDeleteOne(dir.file("zero.db"), zero);
    EXPECT_FALSE(contains(zeroed, "body-marker-1015"));
    EXPECT_TRUE(contains(zeroed, "body-marker-1016 see you soon"));
}

TEST(FileSettings, AnOlderFileIsReplaced) {
    ScratchDir dir("replace");
    {
        SmsDbBuilder b(dir.file("mmssms.db"), DbOptions{});
        const int64_t t = b.addThread(threadWith("10086"));
        b.addMessage(markedMessage(1000, t, "old content"));
        b.close();
    }
    SmsDbBuilder(dir.file("mmssms.db"), DbOptions{}).close();
    EXPECT_EQ(queryInt(dir.file("mmssms.db"), "SELECT COUNT(*) FROM sms"), 0);
    EXPECT_FALSE(contains(fileBytes(dir.file("mmssms.db")), "old content"));
}
