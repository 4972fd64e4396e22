// A scan of chosen tables, handed over one record at a time: the visitor
// hears how many records come, and a table that wants rows with their
// rowid only gets exactly the rowid records a full scan reports of it.
#include <gtest/gtest.h>

#include "deep_test_support.h"
#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace deeptest {
namespace {

using fennaro::deep::openDatabaseState;
using fennaro::deep::RecordVisitor;
using fennaro::deep::scanDatabase;
using fennaro::deep::scanSelected;

TEST(ScanSelection, RowidsOnlyKeepsTheRowidRecordsOfAFullScanAndNoOther) {
    TempDir dir;
    const std::string path = dir.path() + "/t.db";
    {
        SqlDb db(path);
        // The first delete leaves freed cells only (no rowid); the second
        // leaves whole rows in the journal's page images too.
        db.exec("PRAGMA secure_delete=OFF; PRAGMA journal_mode=PERSIST;"
                "CREATE TABLE t(_id INTEGER PRIMARY KEY, v TEXT, n INTEGER);"
                "WITH RECURSIVE k(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM k WHERE x < 300)"
                " INSERT INTO t SELECT x, printf('value %d', x), x * 7 FROM k;"
                "DELETE FROM t WHERE _id % 10 = 1;"
                "DELETE FROM t WHERE _id % 10 = 2;");
    }
    const ScanReport full = scanDatabase(path);
    ASSERT_TRUE(full.ok) << full.error;
    const std::vector<RecoveredRecord> all = recordsOf(full, "t");
    const std::map<int64_t, RecoveredRecord> withRowid = byRowid(full, "t");
    ASSERT_FALSE(withRowid.empty());
    ASSERT_GT(all.size(), withRowid.size()) << "no record carved without its rowid";

    std::string error;
    const auto state = openDatabaseState(path, &error);
    ASSERT_TRUE(state) << error;
    size_t expected = 0;
    std::vector<RecoveredRecord> visited;
    const ScanReport selected =
        scanSelected(*state, {{"t", {{"v", "n"}, true}}},
                     RecordVisitor{[&](size_t records) { expected = records; },
                                   [&](RecoveredRecord& record) { visited.push_back(record); }});
    ASSERT_TRUE(selected.ok);
    EXPECT_TRUE(selected.records.empty());
    EXPECT_EQ(expected, visited.size());
    ASSERT_EQ(visited.size(), withRowid.size());
    for (const RecoveredRecord& record : visited) {
        ASSERT_TRUE(record.rowid) << "a record without its rowid";
        const RecoveredRecord& reference = withRowid.at(*record.rowid);
        ASSERT_EQ(record.values.size(), 2u);
        EXPECT_TRUE(record.values[0] == reference.values[1]) << *record.rowid;
        EXPECT_TRUE(record.values[1] == reference.values[2]) << *record.rowid;
        EXPECT_EQ(record.page, reference.page);
        EXPECT_EQ(record.source, reference.source);
    }
}

} // namespace
} // namespace deeptest
