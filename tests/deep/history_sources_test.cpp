// Deleted rows recovered from the versions of pages the -wal and the
// -journal keep: a WAL not yet checkpointed, a checkpointed one, one
// restarted over an older generation, PERSIST and TRUNCATE journals, and a
// journal left hot by a pull in the middle of a transaction. Each runs with
// secure_delete on (the freed cells zeroed, as Android 8 and later do) and
// off.
#include <gtest/gtest.h>

#include "deep_test_support.h"

namespace deeptest {
namespace {

using fennaro::deep::RecordSource;
using fennaro::phone::scanDatabase;

class HistorySources : public ::testing::TestWithParam<bool> {
  protected:
    // Opens a database with the file settings of the test.
    void open(const std::string& journalMode) {
        db = std::make_unique<SqlDb>(path);
        db->exec("PRAGMA page_size=4096; PRAGMA auto_vacuum=NONE; PRAGMA synchronous=OFF;");
        db->exec(std::string("PRAGMA secure_delete=") + (GetParam() ? "ON" : "OFF"));
        db->exec("PRAGMA journal_mode=" + journalMode + "; PRAGMA wal_autocheckpoint=0;");
        db->exec(kMessageTable);
    }

    // Deletes every row whose id is a multiple of `step` plus `from`, and
    // returns them.
    Rows deleteEvery(Rows& live, int step, int from = 0) {
        Rows deleted;
        for (auto it = live.begin(); it != live.end();) {
            if (it->first % step == from) {
                db->exec("DELETE FROM msg WHERE _id=" + std::to_string(it->first));
                deleted.insert(*it);
                it = live.erase(it);
            } else {
                ++it;
            }
        }
        return deleted;
    }

    // Scans a pulled copy and checks the rules every scan keeps.
    ScanReport scanPulled(const Rows& live) {
        const std::string copy = pullCopy(path, pulled.path());
        ScanReport report = scanDatabase(copy);
        EXPECT_TRUE(report.ok) << report.error;
        EXPECT_EQ(sqliteRows(copy, "msg").size(), live.size());
        expectPrecise(report, "msg", live);
        return report;
    }

    TempDir dir, pulled;
    std::string path = dir.file("phone.db");
    std::unique_ptr<SqlDb> db;
};

TEST_P(HistorySources, WalNotCheckpointedKeepsDeletedRowsLiveInTheMainFile) {
    open("WAL");
    Rows live = insertMessages(*db, 1, 300);
    db->exec("PRAGMA wal_checkpoint(TRUNCATE)");
    db->exec("BEGIN");
    const Rows deleted = deleteEvery(live, 7);
    db->exec("COMMIT");
    // Rows written after the checkpoint live only in the -wal.
    Rows fresh = insertMessages(*db, 1000, 20);
    live.insert(fresh.begin(), fresh.end());
    db->exec("UPDATE msg SET read=1 WHERE _id < 50");
    for (auto& [id, row] : live) {
        if (id < 50)
            row[4] = Value::ofInteger(1);
    }

    const ScanReport report = scanPulled(live);
    expectRecovered(report, "msg", deleted);
    for (const auto& [rowid, record] : byRowid(report, "msg"))
        EXPECT_EQ(record.source, RecordSource::Main) << rowid;
}

TEST_P(HistorySources, CheckpointedWalKeepsDeletedRowsInOlderFrames) {
    open("WAL");
    Rows live = insertMessages(*db, 1, 300);
    const Rows deleted = deleteEvery(live, 5, 2);
    db->exec("PRAGMA wal_checkpoint(PASSIVE)");

    const ScanReport report = scanPulled(live);
    expectRecovered(report, "msg", deleted);
    for (const auto& [rowid, record] : byRowid(report, "msg")) {
        if (GetParam()) {
            EXPECT_EQ(record.source, RecordSource::Wal) << rowid;
        }
        EXPECT_EQ(record.frame.has_value(), record.source == RecordSource::Wal) << rowid;
    }
}

TEST_P(HistorySources, RestartedWalKeepsTheEarlierGenerationsFrames) {
    open("WAL");
    db->exec("CREATE TABLE note(_id INTEGER PRIMARY KEY, text TEXT)");
    db->exec("INSERT INTO note VALUES(1, 'first')");
    db->exec("PRAGMA wal_checkpoint(TRUNCATE)");
    // Generation one: a small write, the rows, then their deletion.
    db->exec("UPDATE note SET text='second' WHERE _id=1");
    Rows live = insertMessages(*db, 1, 200);
    const Rows deleted = deleteEvery(live, 4, 1);
    db->exec("PRAGMA wal_checkpoint(PASSIVE)");
    // Generation two overwrites the log from its start with new salts.
    db->exec("UPDATE note SET text='third' WHERE _id=1");

    const ScanReport report = scanPulled(live);
    expectRecovered(report, "msg", deleted);
    const Rows notes = sqliteRows(pullCopy(path, pulled.path()), "note");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes.at(1)[1].bytes, "third");
    // The older texts of the live note are not deleted rows.
    EXPECT_TRUE(recordsOf(report, "note").empty());
}

TEST_P(HistorySources, PersistJournalKeepsTheOriginalPagesOfTheLastTransactions) {
    open("PERSIST");
    Rows live = insertMessages(*db, 1, 400);
    // A big transaction, then a smaller one: the journal holds the small
    // one's pages and, behind them, the tail of the big one.
    db->exec("BEGIN");
    Rows deleted = deleteEvery(live, 3, 0);
    db->exec("COMMIT");
    db->exec("BEGIN");
    Rows last = deleteEvery(live, 50, 1);
    db->exec("COMMIT");
    ASSERT_GT(readFile(path + "-journal").size(), 4096u);

    const ScanReport report = scanPulled(live);
    expectRecovered(report, "msg", last);
    if (GetParam()) {
        // Zeroed cells: only the journal's images hold the rows.
        for (const auto& [rowid, record] : byRowid(report, "msg"))
            EXPECT_EQ(record.source, RecordSource::Journal) << rowid;
    } else {
        expectRecoveredValues(report, "msg", deleted);
    }
}

TEST_P(HistorySources, TruncatedJournalLeavesOnlyTheFreedCells) {
    open("TRUNCATE");
    Rows live = insertMessages(*db, 1, 300);
    const Rows deleted = deleteEvery(live, 6, 5);
    EXPECT_EQ(readFile(path + "-journal").size(), 0u);

    const ScanReport report = scanPulled(live);
    if (GetParam()) {
        EXPECT_TRUE(recordsOf(report, "msg").empty()) << "records carved out of zeroed cells";
    } else {
        const Rows surviving =
            survivingRows(readFile(pulled.file("phone.db")), deleted, 4096, true);
        EXPECT_GT(surviving.size(), deleted.size() / 2);
        expectRecoveredValues(report, "msg", surviving);
    }
}

TEST_P(HistorySources, HotJournalIsRolledBackAsSqliteDoes) {
    open("DELETE");
    Rows live = insertMessages(*db, 1, 400, 200);
    // A transaction too big for a tiny page cache spills into the main file
    // before it commits; a pull now takes a hot journal along.
    db->exec("PRAGMA cache_size=2");
    db->exec("BEGIN");
    Rows uncommitted = live;
    deleteEvery(uncommitted, 2);
    insertMessages(*db, 5000, 50, 200);
    const std::string copy = pullCopy(path, pulled.path());
    db->exec("ROLLBACK");
    ASSERT_GT(readFile(copy + "-journal").size(), 0u);

    // SQLite rolls the copy back: every row of before the transaction is live.
    EXPECT_EQ(sqliteRows(copy, "msg").size(), live.size());
    const ScanReport report = scanDatabase(copy);
    ASSERT_TRUE(report.ok);
    expectPrecise(report, "msg", live);
    TempDir out;
    ASSERT_TRUE(fennaro::deep::writeCurrentState(copy, out.file("current.db")));
    EXPECT_EQ(immutableRows(out.file("current.db"), "msg").size(), live.size());
    EXPECT_TRUE(immutableRows(out.file("current.db"), "msg") == sqliteRows(copy, "msg"));
}

INSTANTIATE_TEST_SUITE_P(SecureDelete, HistorySources, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

} // namespace
} // namespace deeptest
