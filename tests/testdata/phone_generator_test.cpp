// A generated phone matches its ground truth and looks like a real one.
#include "test_files.h"

#include "page_inspector.h"
#include "phone_generator.h"
#include "sqlite_util.h"

#include <gtest/gtest.h>

#include <set>

using namespace testdata;
using namespace testdata_test;

namespace {

// A phone small enough for quick tests but with every kind of record.
PhoneSpec smallPhone() {
    PhoneSpec spec;
    spec.contacts = 120;
    spec.messages = 600;
    spec.threads = 30;
    spec.deleteFraction = 0.25;
    spec.seed = 7;
    return spec;
}

// "a,b,c" of the ids.
template <typename T>
std::string idList(const std::vector<T>& items) {
    std::string out;
    for (const T& item : items)
        out += (out.empty() ? "" : ",") + std::to_string(item.id);
    return out.empty() ? "-1" : out;
}

// PRAGMA integrity_check of a file, with the phone's collations available.
std::string integrityOf(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    registerAndroidCollations(db);
    sqlite3_stmt* st = nullptr;
    std::string result = "no answer";
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return result;
}

} // namespace

// Checks that the files in `dir` hold exactly what `truth` says.
static void expectTruthMatchesFiles(const ScratchDir& dir, const PhoneTruth& truth) {
    const std::string contacts = dir.file("contacts2.db");
    const std::string sms = dir.file("mmssms.db");
    EXPECT_EQ(integrityOf(contacts), "ok");
    EXPECT_EQ(integrityOf(sms), "ok");

    size_t liveRows = 0;
    std::vector<DataRow> live;
    for (const RawContact& c : truth.liveContacts) {
        liveRows += c.rows.size();
        live.insert(live.end(), c.rows.begin(), c.rows.end());
    }
    EXPECT_EQ(queryInt(contacts, "SELECT COUNT(*) FROM raw_contacts"),
              static_cast<int64_t>(truth.liveContacts.size()));
    EXPECT_EQ(queryInt(contacts, "SELECT COUNT(*) FROM data"), static_cast<int64_t>(liveRows));
    EXPECT_EQ(queryInt(contacts, "SELECT COUNT(*) FROM data WHERE _id IN (" + idList(live) + ")"),
              static_cast<int64_t>(liveRows));
    EXPECT_EQ(queryInt(contacts, "SELECT COUNT(*) FROM data WHERE _id IN (" +
                                     idList(truth.deletedDataRows) + ")"),
              0);
    EXPECT_EQ(queryInt(contacts, "SELECT COUNT(*) FROM raw_contacts WHERE _id IN (" +
                                     idList(truth.deletedContacts) + ")"),
              0);
    EXPECT_FALSE(truth.deletedContacts.empty());
    const double share =
        double(truth.deletedDataRows.size()) / double(truth.deletedDataRows.size() + liveRows);
    EXPECT_NEAR(share, 0.25, 0.05);

    EXPECT_EQ(queryInt(sms, "SELECT COUNT(*) FROM sms"),
              static_cast<int64_t>(truth.liveMessages.size()));
    EXPECT_EQ(truth.liveMessages.size() + truth.deletedMessages.size(), 600u);
    EXPECT_EQ(queryInt(sms, "SELECT COUNT(*) FROM sms WHERE _id IN (" +
                                idList(truth.deletedMessages) + ")"),
              0);
    EXPECT_EQ(queryInt(sms, "SELECT COUNT(*) FROM threads"),
              static_cast<int64_t>(truth.threads.size()));
    for (const Thread& t : truth.threads) {
        const std::string where = " FROM sms WHERE thread_id=" + std::to_string(t.id);
        EXPECT_EQ(queryInt(sms, "SELECT COUNT(*)" + where), t.messageCount);
        EXPECT_EQ(queryInt(sms, "SELECT MAX(date)" + where), t.dateMs);
        EXPECT_EQ(
            queryInt(sms, "SELECT message_count FROM threads WHERE _id=" + std::to_string(t.id)),
            t.messageCount);
    }
}

// The ground truth holds for both layouts and for small, usual and large pages.
TEST(PhoneGenerator, GroundTruthMatchesTheFiles) {
    struct Case {
        Generation generation;
        int pageSize;
        bool wal;
    };
    for (const Case& c :
         {Case{Generation::Old, 4096, false}, Case{Generation::Modern, 1024, true},
          Case{Generation::Old, 65536, false}, Case{Generation::Upgraded, 4096, true}}) {
        SCOPED_TRACE(c.pageSize);
        ScratchDir dir("phone-truth");
        PhoneSpec spec = smallPhone();
        spec.contactsOptions.generation = spec.smsOptions.generation = c.generation;
        spec.contactsOptions.pageSize = spec.smsOptions.pageSize = c.pageSize;
        spec.contactsOptions.wal = c.wal;
        const PhoneTruth truth = generatePhone(dir.path(), spec);
        EXPECT_EQ(filePageSize(dir.file("mmssms.db")), static_cast<uint32_t>(c.pageSize));
        expectTruthMatchesFiles(dir, truth);
    }
}

TEST(PhoneGenerator, ContentLooksLikeARealPhone) {
    ScratchDir dir("phone-content");
    PhoneSpec spec = smallPhone();
    spec.messages = 1500;
    const PhoneTruth truth = generatePhone(dir.path(), spec);

    bool cjkName = false, spacedPlus86 = false, numberName = false, organization = false;
    for (const RawContact& c : truth.liveContacts) {
        EXPECT_GE(c.id, spec.firstId);
        cjkName |= c.displayName && static_cast<unsigned char>((*c.displayName)[0]) >= 0xE4 &&
                   c.displayNameSource == 40;
        numberName |= c.displayNameSource == 20;
        for (const DataRow& r : c.rows) {
            spacedPlus86 |= r.data1 && r.data1->rfind("+86 ", 0) == 0;
            organization |= r.mimetype == kMimeOrganization && r.data4.has_value();
        }
    }
    EXPECT_TRUE(cjkName && spacedPlus86 && numberName && organization);

    std::set<int64_t> rawIds;
    for (const RawContact& c : truth.liveContacts)
        rawIds.insert(c.id);
    for (const RawContact& c : truth.deletedContacts)
        rawIds.insert(c.id);
    bool overflowing = false, crlf = false, withPerson = false;
    std::vector<Message> all = truth.liveMessages;
    all.insert(all.end(), truth.deletedMessages.begin(), truth.deletedMessages.end());
    for (const Message& m : all) {
        EXPECT_TRUE(m.type == 1 || m.type == 2);
        if (m.person) {
            EXPECT_EQ(m.type, 1);
            EXPECT_TRUE(rawIds.count(*m.person));
            withPerson = true;
        }
        overflowing |= m.body && m.body->size() > 4061;
        crlf |= m.body && m.body->find("\r\n") != std::string::npos;
    }
    EXPECT_TRUE(overflowing && crlf && withPerson);
}

TEST(PhoneGenerator, DeletedBodiesStayInFreeSpaceUnlessZeroed) {
    for (bool zero : {false, true}) {
        ScratchDir dir(zero ? "phone-zero" : "phone-keep");
        PhoneSpec spec = smallPhone();
        spec.smsOptions.zeroDeleted = zero;
        const PhoneTruth truth = generatePhone(dir.path(), spec);
        const auto bytes = fileBytes(dir.file("mmssms.db"));
        std::set<std::string> liveBodies;
        for (const Message& m : truth.liveMessages)
            liveBodies.insert(*m.body);
        size_t checked = 0, found = 0;
        for (const Message& m : truth.deletedMessages) {
            // Bodies on overflow pages go with the freed pages; short ones may repeat.
            if (m.body->size() < 24 || m.body->size() > 3000 || liveBodies.count(*m.body))
                continue;
            ++checked;
            found += contains(bytes, *m.body);
        }
        ASSERT_GT(checked, 50u);
        if (zero)
            EXPECT_EQ(found, 0u);
        else
            EXPECT_GE(found, checked * 95 / 100);

        size_t freeblocks = 0;
        for (const LeafPage& p : tableLeafPages(dir.file("mmssms.db"), "sms"))
            freeblocks += p.freeblocks.size();
        EXPECT_GT(freeblocks, 20u);
    }
}

TEST(PhoneGenerator, SameSeedGivesSameBytes) {
    ScratchDir a("phone-seed-a"), b("phone-seed-b"), c("phone-seed-c");
    PhoneSpec spec = smallPhone();
    spec.contactsOptions.generation = Generation::Modern;
    spec.contactsOptions.wal = true;
    generatePhone(a.path(), spec);
    generatePhone(b.path(), spec);
    spec.seed = 8;
    generatePhone(c.path(), spec);
    for (const char* name : {"contacts2.db", "mmssms.db"}) {
        const auto bytes = fileBytes(a.file(name));
        EXPECT_FALSE(bytes.empty());
        EXPECT_EQ(bytes, fileBytes(b.file(name))) << name;
        EXPECT_NE(bytes, fileBytes(c.file(name))) << name;
    }
}

TEST(PhoneGenerator, RejectsImpossibleSpecs) {
    ScratchDir dir("phone-bad");
    PhoneSpec spec;
    spec.deleteFraction = 0.9;
    EXPECT_THROW(generatePhone(dir.path(), spec), std::invalid_argument);
    spec = PhoneSpec{};
    spec.messages = -1;
    EXPECT_THROW(generatePhone(dir.path(), spec), std::invalid_argument);
    spec = PhoneSpec{};
    spec.threads = 0; // messages would have nowhere to go
    EXPECT_THROW(generatePhone(dir.path(), spec), std::invalid_argument);
    EXPECT_THROW(generatePhone("/proc/no-such-place/phone", PhoneSpec{}), std::exception);
}
