// Carving round trips on generated phones: every deleted row whose record
// still stands whole in a freeblock of the table is found, for several page
// sizes, both column orders and both auto_vacuum modes; neighbouring rows
// merged into one freeblock and rows pushed into the page gap are found too.
#include <gtest/gtest.h>

#include "contacts_db_builder.h"
#include "engine_test_support.h"
#include "page_inspector.h"
#include "sms_db_builder.h"
#include "sqlite_util.h"

namespace {

using enginetest::carve;
using enginetest::TempDir;

// True when value lies whole inside one freeblock of the table's leaf pages:
// the bytes a carver can reach without relying on the gap.
bool inFreeblock(const std::string& file, const std::vector<testdata::LeafPage>& pages,
                 uint32_t pageSize, const std::string& value) {
    for (const auto& page : pages) {
        size_t start = size_t(page.page - 1) * pageSize;
        for (const auto& block : page.freeblocks) {
            std::string bytes = file.substr(start + block.offset, block.size);
            if (bytes.find(value) != std::string::npos)
                return true;
        }
    }
    return false;
}

struct Variant {
    testdata::Generation generation;
    int pageSize;
    bool autoVacuumFull;

    testdata::DbOptions options() const {
        testdata::DbOptions o;
        o.generation = generation;
        o.pageSize = pageSize;
        o.autoVacuumFull = autoVacuumFull;
        return o;
    }
};

class ContactRoundTrip : public ::testing::TestWithParam<Variant> {};

TEST_P(ContactRoundTrip, EveryDeletedRowInAFreeblockIsFound) {
    TempDir dir;
    const testdata::DbOptions options = GetParam().options();
    const std::string path = dir.file("contacts2.db");
    std::vector<testdata::DataRow> deleted;
    {
        testdata::ContactsDbBuilder db(path, options);
        std::vector<int64_t> ids;
        for (int i = 0; i < 400; ++i) {
            testdata::RawContact c;
            c.id = 2000 + i;
            c.displayName = i % 3 ? "Zhang Wei " + std::to_string(i) : "张伟" + std::to_string(i);
            c.displayNameSource = 40;
            c.rows.push_back({5000 + 3 * i, 0, testdata::kMimeName, *c.displayName, std::nullopt,
                              std::nullopt, std::nullopt, std::nullopt});
            c.rows.push_back({5001 + 3 * i, 0, testdata::kMimePhone,
                              (i % 2 ? "+86 138 0013 " : "1380013") + std::to_string(1000 + i), "2",
                              std::nullopt, std::nullopt, std::nullopt});
            c.rows.push_back({5002 + 3 * i, 0, testdata::kMimeEmail,
                              "person" + std::to_string(i) + "@example.org", "1", std::nullopt,
                              std::nullopt, std::nullopt});
            ids.push_back(db.addRawContact(c));
        }
        db.commit();
        for (size_t i = 3; i < ids.size(); i += 7) {
            auto rows = db.deleteRawContact(ids[i]);
            deleted.insert(deleted.end(), rows.begin(), rows.end());
        }
        db.close();
    }
    const std::string text = carve(ePaserContacts, path, dir.file("mmssms.db"));
    const std::string file = enginetest::readFile(path);
    const auto pages = testdata::tableLeafPages(path, "data");
    size_t reachable = 0;
    for (const auto& row : deleted) {
        if (!inFreeblock(file, pages, uint32_t(options.pageSize), *row.data1))
            continue;
        ++reachable;
        EXPECT_NE(text.find(*row.data1), std::string::npos) << "lost: " << *row.data1;
    }
    // Spread-out deletions of a phone that kept its old bytes leave most rows
    // in freeblocks; a test that reaches none would prove nothing.
    EXPECT_GT(reachable, deleted.size() / 2);
    // Nothing live is reported as deleted.
    EXPECT_EQ(text.find("Zhang Wei 1\t"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(PageSizesAndLayouts, ContactRoundTrip,
                         ::testing::Values(Variant{testdata::Generation::Old, 1024, true},
                                           Variant{testdata::Generation::Old, 4096, true},
                                           Variant{testdata::Generation::Old, 65536, true},
                                           Variant{testdata::Generation::Modern, 4096, false},
                                           Variant{testdata::Generation::Modern, 1024, true}));

class SmsRoundTrip : public ::testing::TestWithParam<Variant> {};

TEST_P(SmsRoundTrip, EveryDeletedMessageInAFreeblockIsFound) {
    TempDir dir;
    const testdata::DbOptions options = GetParam().options();
    const std::string contacts = dir.file("contacts2.db");
    testdata::ContactsDbBuilder(contacts, {}).close();
    const std::string path = dir.file("mmssms.db");
    std::vector<testdata::Message> deleted;
    {
        testdata::SmsDbBuilder db(path, options);
        std::vector<int64_t> threads;
        for (int t = 0; t < 25; ++t)
            threads.push_back(db.addThread({}));
        std::vector<int64_t> ids;
        for (int i = 0; i < 500; ++i) {
            testdata::Message m;
            m.id = 3000 + i;
            m.threadId = threads[size_t(i % 25)];
            m.address = "+86138001" + std::to_string(38000 + i % 25);
            m.dateMs = 1690000000000 + int64_t(i) * 60000;
            m.type = 1 + i % 2;
            m.body = "Body " + std::to_string(i) + ": " +
                     std::string(size_t(i * 37 % 300), "see you at the station "[i % 23]);
            ids.push_back(db.addMessage(m));
        }
        db.commit();
        for (size_t i = 2; i < ids.size(); i += 5)
            if (auto m = db.deleteMessage(ids[i]))
                deleted.push_back(*m);
        db.close();
    }
    const std::string text = carve(ePaserSms, contacts, path);
    const std::string file = enginetest::readFile(path);
    const auto pages = testdata::tableLeafPages(path, "sms");
    size_t reachable = 0;
    for (const auto& m : deleted) {
        if (!inFreeblock(file, pages, uint32_t(options.pageSize), *m.body))
            continue;
        ++reachable;
        EXPECT_NE(text.find("\t" + *m.address + "\t" + *m.body + "\r\n"), std::string::npos)
            << "lost: " << *m.body;
    }
    EXPECT_GT(reachable, deleted.size() / 2);
}

INSTANTIATE_TEST_SUITE_P(PageSizesAndLayouts, SmsRoundTrip,
                         ::testing::Values(Variant{testdata::Generation::Old, 1024, true},
                                           Variant{testdata::Generation::Old, 4096, true},
                                           Variant{testdata::Generation::Old, 65536, false},
                                           Variant{testdata::Generation::Modern, 4096, true}));

// A contacts2.db of name rows only, with two-byte rowids.
void addNamedContacts(testdata::ContactsDbBuilder& db, int count) {
    for (int i = 0; i < count; ++i) {
        testdata::RawContact c;
        c.id = 700 + i;
        c.displayName = "Neighbour " + std::to_string(i);
        c.displayNameSource = 40;
        c.rows.push_back({4000 + i, 0, testdata::kMimeName, *c.displayName, std::nullopt,
                          std::nullopt, std::nullopt, std::nullopt});
        db.addRawContact(c);
    }
    db.commit();
}

TEST(FreeSpaceShapes, MergedNeighboursAreBothFound) {
    TempDir dir;
    const std::string path = dir.file("contacts2.db");
    testdata::ContactsDbBuilder db(path, {});
    addNamedContacts(db, 120);
    auto pair = db.deleteNeighbourDataRows();
    db.close();
    ASSERT_EQ(pair.size(), 2u);
    const auto pages = testdata::tableLeafPages(path, "data");
    size_t merged = 0;
    for (const auto& page : pages)
        for (const auto& block : page.freeblocks)
            merged += block.size > 60 ? 1 : 0;
    ASSERT_EQ(merged, 1u) << "the two cells should share one freeblock";
    const std::string text = carve(ePaserContacts, path, dir.file("mmssms.db"));
    EXPECT_EQ(text, *pair[0].data1 + "\tN/A\r\n" + *pair[1].data1 + "\tN/A\r\n");
}

TEST(FreeSpaceShapes, RowPushedIntoTheGapIsFound) {
    TempDir dir;
    const std::string path = dir.file("contacts2.db");
    testdata::ContactsDbBuilder db(path, {});
    addNamedContacts(db, 120);
    // The gap scan only recognises rows whose columns before data1 have
    // one-byte serial types; give these rows small integers instead of the
    // stored 0 and 1 (which take none), without the trigger that bumps one.
    testdata::execSql(db.db(), "DROP TRIGGER IF EXISTS data_updated;"
                               "UPDATE data SET package_id=2, is_read_only=2, is_primary=2,"
                               " is_super_primary=2, data_version=2");
    db.commit();
    auto gapRow = db.deleteContentStartDataRow();
    db.close();
    ASSERT_TRUE(gapRow.has_value());
    const std::string text = carve(ePaserContacts, path, dir.file("mmssms.db"));
    EXPECT_NE(text.find(*gapRow->data1 + "\tN/A\r\n"), std::string::npos) << text;
}

} // namespace
