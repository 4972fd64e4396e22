// Damaged -wal and -journal files: cut frames, wrong checksums, frames with
// another generation's salts, zeroed headers, absurd page numbers. Whatever
// the damage, the current state is what SQLite itself reads from the same
// files, no live row is reported, and the files are never changed.
#include <gtest/gtest.h>

#include <filesystem>

#include "deep_test_support.h"
#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace deeptest {
namespace {

using fennaro::deep::writeCurrentState;
using fennaro::phone::scanDatabase;

constexpr size_t kPageSize = 1024;
constexpr size_t kFrameSize = 24 + kPageSize;
// Rows left after the three deletions of makeWal: 120 less 13, 14 and 14.
constexpr size_t kLiveAfterAll = 79;

// Overwrites bytes of a file in place.
void patch(const std::string& path, size_t at, const std::string& bytes) {
    std::string data = readFile(path);
    ASSERT_LE(at + bytes.size(), data.size());
    data.replace(at, bytes.size(), bytes);
    writeFile(path, data);
}

class DamagedFiles : public ::testing::Test {
  protected:
    // A WAL database of three transactions that each delete rows.
    void makeWal() {
        SqlDb db(path);
        db.exec("PRAGMA page_size=1024; PRAGMA secure_delete=ON; PRAGMA synchronous=OFF;"
                "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
        db.exec(kMessageTable);
        insertMessages(db, 1, 120, 60);
        db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        db.exec("DELETE FROM msg WHERE _id % 9 = 0");
        db.exec("DELETE FROM msg WHERE _id % 9 = 1");
        db.exec("DELETE FROM msg WHERE _id % 9 = 2");
        copy = pullCopy(path, pulled.path());
    }

    // A PERSIST journal left hot: a transaction copied while it was open.
    void makeHotJournal() {
        SqlDb db(path);
        db.exec("PRAGMA page_size=1024; PRAGMA synchronous=OFF; PRAGMA journal_mode=PERSIST;");
        db.exec(kMessageTable);
        insertMessages(db, 1, 120, 60);
        db.exec("DELETE FROM msg WHERE _id % 5 = 0");
        db.exec("PRAGMA cache_size=2; BEGIN; DELETE FROM msg WHERE _id % 2 = 0;");
        copy = pullCopy(path, pulled.path());
        db.exec("ROLLBACK");
    }

    // Checks a (damaged) copy against SQLite's reading of the same files.
    void expectReadAsSqliteDoes() {
        const auto before = folderSnapshot(pulled.path());
        const Rows live = sqliteRows(copy, "msg");
        const ScanReport report = scanDatabase(copy);
        ASSERT_TRUE(report.ok) << report.error;
        expectPrecise(report, "msg", live);
        ASSERT_TRUE(writeCurrentState(copy, out.file("current.db")));
        EXPECT_TRUE(immutableRows(out.file("current.db"), "msg") == live)
            << "current state differs from SQLite's reading";
        EXPECT_EQ(folderSnapshot(pulled.path()), before) << "the copies were changed";
    }

    TempDir dir, pulled, out;
    std::string path = dir.file("damaged.db");
    std::string copy;
};

TEST_F(DamagedFiles, IntactWalAndItsCurrentState) {
    makeWal();
    EXPECT_EQ(sqliteRows(copy, "msg").size(), kLiveAfterAll);
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, WalCutInTheMiddleOfAFrame) {
    makeWal();
    const std::string wal = readFile(copy + "-wal");
    writeFile(copy + "-wal", wal.substr(0, wal.size() - kFrameSize / 2));
    // Later transactions are lost: their deletions did not happen.
    EXPECT_GT(sqliteRows(copy, "msg").size(), kLiveAfterAll);
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, WalFrameWithAWrongChecksum) {
    makeWal();
    const size_t frames = (readFile(copy + "-wal").size() - 32) / kFrameSize;
    patch(copy + "-wal", 32 + (frames / 2) * kFrameSize + 24 + 500, "\x5A\xA5");
    // Later transactions are lost: their deletions did not happen.
    EXPECT_GT(sqliteRows(copy, "msg").size(), kLiveAfterAll);
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, WalFrameWithAnotherGenerationsSalts) {
    makeWal();
    patch(copy + "-wal", 32 + 2 * kFrameSize + 8, "\x01\x02\x03\x04");
    // Later transactions are lost: their deletions did not happen.
    EXPECT_GT(sqliteRows(copy, "msg").size(), kLiveAfterAll);
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, WalWithAZeroedHeader) {
    makeWal();
    patch(copy + "-wal", 0, std::string(32, '\0'));
    // The log is ignored: the main file is the current state.
    EXPECT_EQ(sqliteRows(copy, "msg").size(), 120u);
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, WalFramesNamingAbsurdPages) {
    makeWal();
    patch(copy + "-wal", 32, "\xFF\xFF\xFF\xF0");
    patch(copy + "-wal", 32 + 3 * kFrameSize, "\x00\x00\x00\x00");
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, HotJournalIsRolledBack) {
    makeHotJournal();
    EXPECT_EQ(sqliteRows(copy, "msg").size(), 96u);
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, HotJournalWithADamagedRecordStopsThePlayback) {
    makeHotJournal();
    // A byte of the second record's image that its checksum samples (every
    // 200th from the end): SQLite plays the first record back only.
    const std::string before = readFile(copy + "-journal");
    const size_t sampled = 512 + (kPageSize + 8) + 4 + kPageSize - 200;
    patch(copy + "-journal", sampled, std::string(1, char(before[sampled] ^ 0x55)));
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, HotJournalRecordsNamingAbsurdPages) {
    makeHotJournal();
    patch(copy + "-journal", 512, "\xFF\xFF\xFF\xF0");
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, JournalCutShort) {
    makeHotJournal();
    const std::string journal = readFile(copy + "-journal");
    writeFile(copy + "-journal", journal.substr(0, 512 + 2 * (kPageSize + 8) + 100));
    expectReadAsSqliteDoes();
}

TEST_F(DamagedFiles, UnreadableAndForeignFilesAreRefused) {
    EXPECT_FALSE(scanDatabase(dir.file("missing.db")).ok);
    writeFile(dir.file("text.db"), "just some text, no database here");
    const ScanReport foreign = scanDatabase(dir.file("text.db"));
    EXPECT_FALSE(foreign.ok);
    EXPECT_FALSE(foreign.error.empty());
    writeFile(dir.file("empty.db"), "");
    EXPECT_FALSE(scanDatabase(dir.file("empty.db")).ok);
    EXPECT_FALSE(scanDatabase(dir.path()).ok);
    EXPECT_FALSE(writeCurrentState(dir.file("text.db"), out.file("x.db")));
    EXPECT_FALSE(std::filesystem::exists(out.file("x.db")));
}

TEST_F(DamagedFiles, CurrentStateIsNeverWrittenOverItsSources) {
    makeWal();
    const auto before = folderSnapshot(pulled.path());
    for (const char* suffix : {"", "-wal", "-journal", "-shm"})
        EXPECT_FALSE(writeCurrentState(copy, copy + suffix)) << suffix;
    EXPECT_FALSE(writeCurrentState(copy, pulled.path() + "/./damaged.db"));
    EXPECT_FALSE(writeCurrentState(copy, out.path() + "/no/such/folder/current.db"));
    EXPECT_EQ(folderSnapshot(pulled.path()), before);
}

// Another program shortens a file while the engine has it open: the reads
// past the new end neither kill the process nor pass for the database, and
// the scan names the file. Both the main file and a side file.
TEST_F(DamagedFiles, FileShortenedWhileItIsReadIsNamedNotFatal) {
    makeWal();
    const std::string second = pullCopy(path, out.path());
    for (const std::string& victim : {copy, second + "-wal"}) {
        const std::string db = victim == copy ? copy : second;
        std::string error;
        auto state = fennaro::deep::openDatabaseState(db, &error);
        ASSERT_TRUE(state) << error;
        std::filesystem::resize_file(victim, std::filesystem::file_size(victim) / 3);
        const fennaro::deep::RecordVisitor visitor{nullptr, [](fennaro::deep::RecoveredRecord&) {}};
        const ScanReport report = fennaro::phone::scanSelected(*state, {}, visitor);
        EXPECT_FALSE(report.ok) << victim;
        EXPECT_EQ(report.error, victim + " changed while it was read");
    }
}

} // namespace
} // namespace deeptest
