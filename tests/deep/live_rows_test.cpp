// A freed cell loses its rowid, so the engine tells a deleted row from a
// stale copy of a live one by its values. The live rows are keyed as the
// scan meets them while they fit a fixed budget, and walked again when a
// table is too big for it: both ways must drop the same records.
#include <gtest/gtest.h>

#include "deep_test_support.h"

namespace deeptest {
namespace {

using fennaro::deep::scanDatabase;

class LiveRowsOfAnySize : public ::testing::TestWithParam<int> {};

TEST_P(LiveRowsOfAnySize, ARowWrittenAgainWithTheSameValuesIsNotReportedDeleted) {
    const int count = GetParam();
    TempDir dir;
    const std::string path = dir.path() + "/rows.db";
    {
        SqlDb db(path);
        db.exec("PRAGMA secure_delete=OFF; PRAGMA journal_mode=DELETE;"
                "CREATE TABLE big(_id INTEGER PRIMARY KEY, v TEXT);"
                "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
                std::to_string(count) +
                ") INSERT INTO big(_id, v) SELECT x, 'row ' || x FROM n;"
                "DELETE FROM big WHERE _id % 1000 = 0;"
                // Deleted, then written again under another id: its freed
                // cell holds the values of a live row.
                "INSERT INTO big(v) VALUES('row 2000');");
    }
    const ScanReport report = scanDatabase(path);
    ASSERT_TRUE(report.ok) << report.error;
    std::set<int> found;
    for (const RecoveredRecord& record : recordsOf(report, "big")) {
        ASSERT_EQ(record.values.size(), 2u);
        const std::string& text = record.values[1].bytes;
        ASSERT_EQ(text.rfind("row ", 0), 0u) << text;
        const int n = std::stoi(text.substr(4));
        EXPECT_TRUE(n % 1000 == 0 && n != 2000) << "a live row reported: " << text;
        found.insert(n);
    }
    // The last row's cell is where the row written again went.
    for (int n = 1000; n < count; n += 1000) {
        if (n != 2000) {
            EXPECT_TRUE(found.count(n)) << "row " << n << " not recovered";
        }
    }
}

// A table that fits the budget, and one too big for it on either thread.
INSTANTIATE_TEST_SUITE_P(Rows, LiveRowsOfAnySize, ::testing::Values(20000, 600000));

} // namespace
} // namespace deeptest
