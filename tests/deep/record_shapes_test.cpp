// Databases of any shape: page sizes from 512 to 65536 bytes with records
// that spill into overflow pages, auto_vacuum on and off, every kind of
// value, rows shorter than their table (written before ALTER TABLE ADD
// COLUMN), UTF-16 texts, tables without a rowid column, and the schema text
// the columns come from.
#include <gtest/gtest.h>

#include <algorithm>

#include "deep_test_support.h"
#include "sqlite_recovery/table_schema.h"

namespace deeptest {
namespace {

using fennaro::deep::Affinity;
using fennaro::deep::parseCreateTable;
using fennaro::deep::ParsedTable;
using fennaro::phone::scanDatabase;

// Deletes the rows of `rows` whose id satisfies pick; returns them.
template <typename Pick>
Rows deleteWhere(SqlDb& db, Rows& rows, Pick pick) {
    Rows deleted;
    db.exec("BEGIN");
    for (auto it = rows.begin(); it != rows.end();) {
        if (pick(it->first)) {
            db.exec("DELETE FROM msg WHERE _id=" + std::to_string(it->first));
            deleted.insert(*it);
            it = rows.erase(it);
        } else {
            ++it;
        }
    }
    db.exec("COMMIT");
    return deleted;
}

struct FileSettings {
    int pageSize;
    bool autoVacuum;
};

class PageSizes : public ::testing::TestWithParam<FileSettings> {
  protected:
    void open(const std::string& journalMode, bool secureDelete) {
        db = std::make_unique<SqlDb>(path);
        db->exec("PRAGMA page_size=" + std::to_string(GetParam().pageSize));
        db->exec(std::string("PRAGMA auto_vacuum=") + (GetParam().autoVacuum ? "FULL" : "NONE"));
        db->exec(std::string("PRAGMA secure_delete=") + (secureDelete ? "ON" : "OFF"));
        db->exec("PRAGMA synchronous=OFF; PRAGMA wal_autocheckpoint=0;");
        db->exec("PRAGMA journal_mode=" + journalMode);
        db->exec(kMessageTable);
    }

    // Short rows, and every fifth one longer than a page, so it overflows.
    Rows insertMixed() {
        Rows rows;
        for (int64_t id = 1; id <= 60; ++id) {
            const size_t length = id % 5 == 0 ? size_t(GetParam().pageSize) * 3 / 2 + 17 : 30;
            Rows one = insertMessages(*db, id, 1, length);
            rows.insert(one.begin(), one.end());
        }
        return rows;
    }

    TempDir dir, pulled;
    std::string path = dir.file("any.db");
    std::unique_ptr<SqlDb> db;
};

TEST_P(PageSizes, WalHistoryGivesBackOverflowingRowsWhole) {
    open("WAL", true);
    Rows live = insertMixed();
    db->exec("PRAGMA wal_checkpoint(TRUNCATE)");
    const Rows deleted =
        deleteWhere(*db, live, [](int64_t id) { return id % 5 == 0 || id % 7 == 0; });

    const ScanReport report = scanDatabase(pullCopy(path, pulled.path()));
    ASSERT_TRUE(report.ok) << report.error;
    expectPrecise(report, "msg", live);
    expectRecovered(report, "msg", deleted);
}

TEST_P(PageSizes, FreedCellsAndFreePagesGiveBackTheirValues) {
    open("TRUNCATE", false);
    Rows live = insertMixed();
    // The first page freed becomes the free list's trunk, whose page list
    // overwrites its old bytes: let it be a page of no interest.
    db->exec("CREATE TABLE spare(x); INSERT INTO spare VALUES(1)");
    db->exec("DROP TABLE spare");
    const Rows deleted =
        deleteWhere(*db, live, [](int64_t id) { return id % 5 == 0 || id % 7 == 3; });

    const std::string copy = pullCopy(path, pulled.path());
    const ScanReport report = scanDatabase(copy);
    ASSERT_TRUE(report.ok) << report.error;
    expectPrecise(report, "msg", live);
    // Rows whose start is still in the file come back. Without auto_vacuum
    // the freed overflow pages stay on the free list; with it they are moved
    // and cut off at the commit.
    if (!GetParam().autoVacuum) {
        const Rows surviving = survivingRows(readFile(copy), deleted, GetParam().pageSize, true);
        EXPECT_GT(surviving.size(), deleted.size() / 2);
        expectRecoveredValues(report, "msg", surviving);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PageSizes,
                         ::testing::Values(FileSettings{512, false}, FileSettings{1024, true},
                                           FileSettings{4096, false}, FileSettings{4096, true},
                                           FileSettings{16384, false}, FileSettings{65536, false},
                                           FileSettings{65536, true}),
                         [](const auto& info) {
                             return std::to_string(info.param.pageSize) +
                                    (info.param.autoVacuum ? "Vacuum" : "Plain");
                         });

// Freed cells next to each other merge into one freeblock, and each keeps
// the freeblock header it got when it was freed: the first bytes of every
// cell are gone. How many bytes that costs the record depends on how long
// its payload-size and rowid varints were.
struct FreedNeighbours {
    int64_t firstId;
    size_t bodyLength;
    bool ascending;
};

class FreedCells : public ::testing::TestWithParam<FreedNeighbours> {};

TEST_P(FreedCells, NeighboursFreedInEitherOrderKeepTheirValues) {
    TempDir dir, pulled;
    const std::string path = dir.file("freed.db");
    SqlDb db(path);
    db.exec("PRAGMA secure_delete=OFF; PRAGMA journal_mode=TRUNCATE; PRAGMA synchronous=OFF;");
    db.exec(kMessageTable);
    Rows live = insertMessages(db, GetParam().firstId, 120, GetParam().bodyLength);
    Rows deleted;
    std::vector<int64_t> ids;
    for (const auto& [id, row] : live) {
        if ((id / 4) % 3 == 0)
            ids.push_back(id);
    }
    if (!GetParam().ascending)
        std::reverse(ids.begin(), ids.end());
    db.exec("BEGIN");
    for (int64_t id : ids) {
        db.exec("DELETE FROM msg WHERE _id=" + std::to_string(id));
        deleted.insert(*live.find(id));
        live.erase(id);
    }
    db.exec("COMMIT");

    const std::string copy = pullCopy(path, pulled.path());
    const ScanReport report = scanDatabase(copy);
    expectPrecise(report, "msg", live);
    // Freeing cells can rebuild the page over some of them.
    const Rows surviving = survivingRows(readFile(copy), deleted, 4096, true);
    EXPECT_GT(surviving.size(), deleted.size() / 2);
    expectRecoveredValues(report, "msg", surviving);
}

INSTANTIATE_TEST_SUITE_P(
    Varints, FreedCells,
    ::testing::Values(FreedNeighbours{1, 12, true}, FreedNeighbours{1, 12, false},
                      FreedNeighbours{200, 30, true}, FreedNeighbours{200, 90, false},
                      FreedNeighbours{20000, 60, true}, FreedNeighbours{3000000, 200, false},
                      FreedNeighbours{3000000, 200, true}));

// Cells freed from the back of a run to its front each write a header
// whose size reaches the run's end; a cell freed after its front neighbour
// is merged in without a header and stays whole, so the old headers reach
// that cell rather than the block's end. Such a header is four bytes of
// offsets that may happen to read as a short cell of another table; it is
// still taken for what it is, and the record behind it comes back.
TEST(FreedCellsOrder, StaleHeadersThatReadAsACellStillMarkTheFreedCells) {
    TempDir dir, pulled;
    const std::string path = dir.file("order.db");
    SqlDb db(path);
    db.exec("PRAGMA secure_delete=OFF; PRAGMA journal_mode=TRUNCATE; PRAGMA synchronous=OFF;");
    db.exec(kMessageTable);
    db.exec("CREATE TABLE one(v BLOB); INSERT INTO one VALUES (x'0102')");
    Rows live = insertMessages(db, 1, 30, 60);
    Rows deleted;
    // A higher rowid lies lower on the page: rowids 2..10 run from the
    // back of the run to its front, then 11 (the front) and 1 (behind).
    db.exec("BEGIN");
    for (int64_t id : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 1}) {
        db.exec("DELETE FROM msg WHERE _id=" + std::to_string(id));
        deleted.insert(*live.find(id));
        live.erase(id);
    }
    db.exec("COMMIT");
    const std::string copy = pullCopy(path, pulled.path());

    // Rewrite the next-offset of one stale header so that its four bytes
    // read as a cell of `one`: payload size P, rowid 1, a header of two
    // bytes (the size's high byte) and a blob type (its low byte).
    std::string file = readFile(copy);
    const size_t page = 4096; // msg's only leaf, page 2
    auto u16 = [&](size_t at) { return size_t(uint8_t(file[at])) << 8 | uint8_t(file[at + 1]); };
    bool patched = false;
    for (size_t at = 200; at + 4 < 4096 && !patched; ++at) {
        const size_t size = u16(page + at + 2), type = size & 0xFF;
        const size_t payload = 2 + (type - 12) / 2;
        if (size < 512 || size > 767 || type < 12 || type % 2 != 0 || payload >= 128 ||
            (payload << 8 | 1) <= at || u16(page + at) != 0)
            continue;
        // It must be one of the stale headers: a deleted row's record follows.
        bool isStale = false;
        for (const auto& [id, row] : deleted) {
            const size_t body = file.find(recordPayload(row, true), page + at);
            isStale = isStale || (body != std::string::npos && body < page + at + 24);
        }
        if (!isStale)
            continue;
        file[page + at] = char(payload);
        file[page + at + 1] = 1;
        patched = true;
    }
    ASSERT_TRUE(patched) << "no stale header to turn into a look-alike cell";
    writeFile(copy, file);

    const ScanReport report = scanDatabase(copy);
    expectPrecise(report, "msg", live);
    expectRecoveredValues(report, "msg", survivingRows(file, deleted, 4096, true));
}

class RecordKinds : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<SqlDb>(path);
        db->exec("PRAGMA synchronous=OFF; PRAGMA secure_delete=ON; PRAGMA journal_mode=WAL;"
                 "PRAGMA wal_autocheckpoint=0;");
    }

    // Deletes rows (a WHERE clause) of a table after a checkpoint and
    // returns how SQLite read them before.
    Rows deleteAfterCheckpoint(const std::string& table, const std::string& where) {
        db->exec("PRAGMA wal_checkpoint(TRUNCATE)");
        Rows before = sqliteRows(path, table);
        db->exec("DELETE FROM " + table + " WHERE " + where);
        const Rows after = sqliteRows(path, table);
        for (const auto& [rowid, row] : after)
            before.erase(rowid);
        return before;
    }

    TempDir dir, pulled;
    std::string path = dir.file("kinds.db");
    std::unique_ptr<SqlDb> db;
};

TEST_F(RecordKinds, EveryKindOfValueComesBackAsStored) {
    db->exec("CREATE TABLE v(_id INTEGER PRIMARY KEY, i INTEGER, r REAL, t TEXT, b BLOB, n)");
    db->exec("INSERT INTO v VALUES"
             "(1, 0, 0.5, '', x'', NULL), (2, 1, -1.25, 'abc', x'00ff', 7),"
             "(3, -1, 1e300, 'tab\there', x'01', 'x'), (4, 127, 3.0, 'é中😀', x'7f80', 1.5),"
             "(5, -32768, 2.5, x'ff41', NULL, x'00'), (6, 8388607, -0.0, 'z', NULL, NULL),"
             "(7, 2147483647, 1.0, 'y', NULL, NULL), (8, 140737488355327, 6.0, 'w', NULL, NULL),"
             "(9, -9223372036854775808, 7.5, 'v', NULL, NULL), (10, 42, NULL, NULL, NULL, NULL),"
             "(11, NULL, NULL, NULL, NULL, NULL), (12, 5, 1, 'keep', NULL, NULL)");
    Rows deleted = deleteAfterCheckpoint("v", "_id <= 11");
    // A row without a single value is nothing to give back.
    deleted.erase(11);

    const ScanReport report = scanDatabase(pullCopy(path, pulled.path()));
    expectPrecise(report, "v", sqliteRows(path, "v"));
    expectRecovered(report, "v", deleted);
    EXPECT_EQ(byRowid(report, "v").count(11), 0u);
}

TEST_F(RecordKinds, RowidsAtBothEndsOfTheirRangeComeBack) {
    db->exec("CREATE TABLE v(_id INTEGER PRIMARY KEY, t TEXT)");
    db->exec(
        "INSERT INTO v VALUES(9223372036854775807, 'highest'), (-9223372036854775808, "
        "'lowest'), (4611686018427387904, 'high'), (-4611686018427387904, 'low'), (1, 'kept')");
    const Rows deleted = deleteAfterCheckpoint("v", "_id <> 1");
    ASSERT_EQ(deleted.size(), 4u);

    const ScanReport report = scanDatabase(pullCopy(path, pulled.path()));
    expectPrecise(report, "v", sqliteRows(path, "v"));
    expectRecovered(report, "v", deleted);
}

TEST_F(RecordKinds, ShortOldRowsReadWithTheDefaultsOfNewerColumns) {
    db->exec("CREATE TABLE sms(_id INTEGER PRIMARY KEY, address TEXT, body TEXT, seen INTEGER)");
    db->exec("INSERT INTO sms VALUES(1, '10086', 'old one', 1), (2, '10010', 'old two', 0)");
    db->exec("ALTER TABLE sms ADD COLUMN sub_id INTEGER DEFAULT -1");
    db->exec("ALTER TABLE sms ADD COLUMN creator TEXT");
    db->exec("ALTER TABLE sms ADD COLUMN error_code INTEGER NOT NULL DEFAULT '0'");
    db->exec("INSERT INTO sms VALUES(3, '95588', 'new one', 1, 2, 'com.app', 5)");
    const Rows deleted = deleteAfterCheckpoint("sms", "_id IN (1, 3)");
    ASSERT_EQ(deleted.at(1)[4].integer, -1);

    const ScanReport report = scanDatabase(pullCopy(path, pulled.path()));
    ASSERT_EQ(report.schema.size(), 1u);
    EXPECT_EQ(report.schema[0].columns.size(), 7u);
    expectPrecise(report, "sms", sqliteRows(path, "sms"));
    expectRecovered(report, "sms", deleted);
}

TEST_F(RecordKinds, Utf16TextsComeBackAsUtf8) {
    SqlDb& d = *db;
    d.close();
    std::remove(path.c_str());
    db = std::make_unique<SqlDb>(path);
    db->exec("PRAGMA encoding='UTF-16le'; PRAGMA secure_delete=ON; PRAGMA journal_mode=WAL;");
    db->exec("CREATE TABLE t(_id INTEGER PRIMARY KEY, name TEXT)");
    db->exec("INSERT INTO t VALUES(1, 'Zoë 张伟'), (2, 'kept')");
    const Rows deleted = deleteAfterCheckpoint("t", "_id=1");

    const ScanReport report = scanDatabase(pullCopy(path, pulled.path()));
    expectRecovered(report, "t", deleted);
    EXPECT_EQ(deleted.at(1)[1].bytes, "Zoë 张伟");
}

TEST_F(RecordKinds, TablesWithoutRowidColumnReportTheRowidBeside) {
    db->exec("CREATE TABLE log(kind TEXT, at INTEGER)");
    db->exec("INSERT INTO log VALUES('boot', 100), ('call', 200), ('sms', 300)");
    const Rows deleted = deleteAfterCheckpoint("log", "at = 200");

    const ScanReport report = scanDatabase(pullCopy(path, pulled.path()));
    const auto found = byRowid(report, "log");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.begin()->first, 2);
    EXPECT_TRUE(found.begin()->second.values == deleted.at(2));
}

TEST(CreateTableText, ColumnsComeFromTheStatementAsSqliteStoresIt) {
    ParsedTable t;
    ASSERT_TRUE(parseCreateTable(
        "CREATE TABLE \"my \"\"data\"\"\" ( -- comment, with a comma\n"
        " [_id] INTEGER PRIMARY KEY AUTOINCREMENT, `a b` VARCHAR(10, 2) NOT NULL DEFAULT 'x,y',"
        " c DOUBLE DEFAULT -1.5, d /* type-less */, e INT DEFAULT (0x10), f TEXT DEFAULT 42,"
        " g AS (c * 2), h INTEGER GENERATED ALWAYS AS (e + 1) STORED,"
        " CONSTRAINT u UNIQUE (c, d), CHECK (e > 0))",
        &t));
    ASSERT_EQ(t.columns.size(), 7u);
    EXPECT_EQ(t.aliasColumn, 0);
    EXPECT_EQ(t.columns[0].name, "_id");
    EXPECT_TRUE(t.columns[0].rowidAlias);
    EXPECT_EQ(t.columns[1].name, "a b");
    EXPECT_EQ(t.columns[1].affinity, Affinity::Text);
    EXPECT_TRUE(t.columns[1].notNull);
    EXPECT_EQ(t.columns[1].defaultValue.bytes, "x,y");
    EXPECT_EQ(t.columns[2].affinity, Affinity::Real);
    EXPECT_EQ(t.columns[2].defaultValue.real, -1.5);
    EXPECT_EQ(t.columns[3].affinity, Affinity::Blob);
    EXPECT_EQ(t.columns[4].defaultValue.integer, 16);
    EXPECT_EQ(t.columns[5].defaultValue.bytes, "42");
    EXPECT_EQ(t.columns[6].name, "h");

    // Only an INTEGER PRIMARY KEY is the rowid, and not in a WITHOUT ROWID
    // table, nor as a column-level DESC key.
    ASSERT_TRUE(parseCreateTable("CREATE TABLE t(a INT PRIMARY KEY, b)", &t));
    EXPECT_EQ(t.aliasColumn, -1);
    ASSERT_TRUE(parseCreateTable("CREATE TABLE t(a, b INTEGER, PRIMARY KEY(b))", &t));
    EXPECT_EQ(t.aliasColumn, 1);
    ASSERT_TRUE(parseCreateTable("CREATE TABLE t(a INTEGER PRIMARY KEY DESC, b)", &t));
    EXPECT_EQ(t.aliasColumn, -1);
    ASSERT_TRUE(parseCreateTable("CREATE TABLE t(a INTEGER PRIMARY KEY, b) WITHOUT ROWID", &t));
    EXPECT_TRUE(t.withoutRowid);
    EXPECT_EQ(t.aliasColumn, -1);
    EXPECT_FALSE(parseCreateTable("CREATE VIRTUAL TABLE w USING fts4(a)", &t));
    EXPECT_FALSE(parseCreateTable("CREATE TABLE t AS SELECT 1", &t));
    EXPECT_FALSE(parseCreateTable("CREATE TABLE t(", &t));
}

} // namespace
} // namespace deeptest
