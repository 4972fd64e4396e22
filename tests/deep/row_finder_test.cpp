// Rows looked up by rowid, one after another, through a finder that keeps
// the last leaf it reached: in any order, rows missing between and beyond
// the live ones, and a leaf whose cells a damaged file holds out of order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "deep_test_support.h"
#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/database_state.h"

namespace deeptest {
namespace {

using fennaro::deep::ByteView;
using fennaro::deep::DatabaseState;
using fennaro::deep::LeafCell;
using fennaro::deep::openDatabaseState;
using fennaro::deep::TableRowFinder;

constexpr int64_t kLastId = 6001;

// A table of the odd ids up to kLastId over many leaves; its root page.
uint32_t writeOddRows(const std::string& path) {
    SqlDb db(path);
    db.exec("PRAGMA page_size=1024; PRAGMA journal_mode=DELETE;"
            "CREATE TABLE t(_id INTEGER PRIMARY KEY, v TEXT);"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 2 FROM n WHERE x < " +
            std::to_string(kLastId) + ") INSERT INTO t SELECT x, printf('%040d', x) FROM n;");
    return uint32_t(db.scalar("SELECT rootpage FROM sqlite_master WHERE name = 't'"));
}

// Looks every id of `ids` up and checks the answer and the cell found.
void expectAnswers(const DatabaseState& state, uint32_t root, const std::vector<int64_t>& ids) {
    TableRowFinder finder(*state.current, root, state.usableSize);
    for (int64_t id : ids) {
        ByteView leaf;
        LeafCell cell;
        const bool live = id % 2 == 1 && id >= 1 && id <= kLastId;
        ASSERT_EQ(finder.find(id, &leaf, &cell), live) << "rowid " << id;
        if (live) {
            EXPECT_EQ(cell.rowid, id);
            EXPECT_TRUE(leaf.has(cell.payloadOffset, cell.localSize));
        }
    }
}

TEST(TableRowFinder, AnswersAsTheTreeHoldsInEveryOrderAndOnALeafOutOfOrder) {
    TempDir dir;
    const std::string path = dir.path() + "/rows.db";
    const uint32_t root = writeOddRows(path);
    std::vector<int64_t> ids;
    for (int64_t id = -2; id <= kLastId + 3; ++id)
        ids.push_back(id);
    std::vector<int64_t> shuffled = ids;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    std::string error;
    {
        auto state = openDatabaseState(path, &error);
        ASSERT_TRUE(state) << error;
        expectAnswers(*state, root, ids);
        expectAnswers(*state, root, {ids.rbegin(), ids.rend()});
        expectAnswers(*state, root, shuffled);
    }

    // The leaf of row 3001 with its first and last cell pointers swapped:
    // no search by halving can be trusted there any more.
    std::string bytes = readFile(path);
    size_t leafStart = 0;
    {
        auto state = openDatabaseState(path, &error);
        ASSERT_TRUE(state) << error;
        ByteView leaf;
        LeafCell cell;
        ASSERT_TRUE(fennaro::deep::findTableRow(*state->current, root, state->usableSize, 3001,
                                                &leaf, &cell));
        leafStart = size_t(leaf.data - state->current->page(1).data);
    }
    const size_t cells = (uint8_t(bytes[leafStart + 3]) << 8) | uint8_t(bytes[leafStart + 4]);
    ASSERT_GT(cells, 2u);
    std::swap_ranges(bytes.begin() + long(leafStart + 8), bytes.begin() + long(leafStart + 10),
                     bytes.begin() + long(leafStart + 8 + 2 * (cells - 1)));
    const std::string damaged = dir.path() + "/damaged.db";
    writeFile(damaged, bytes);
    auto state = openDatabaseState(damaged, &error);
    ASSERT_TRUE(state) << error;
    expectAnswers(*state, root, ids);
    expectAnswers(*state, root, shuffled);
}

} // namespace
} // namespace deeptest
