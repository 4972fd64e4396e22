// Modern phones: the files are left as a phone leaves them, SQLite reading
// them shows exactly the live rows of the truth, and the truth's survival
// flags match what each kind of journal keeps.
#include "test_files.h"

#include "modern_phone.h"
#include "survival_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace testdata;
using namespace testdata_test;

namespace {

// Every row of the tables of `truth`, as SQLite shows them when it opens `uri`.
std::vector<LiveRow> rowsSqliteShows(const std::string& uri, const DatabaseTruth& truth) {
    sqlite3* db = nullptr;
    std::vector<LiveRow> rows;
    if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) ==
        SQLITE_OK) {
        std::vector<std::string> names;
        for (const TableShape& t : truth.tables)
            names.push_back(t.name);
        std::sort(names.begin(), names.end());
        for (const std::string& table : names) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db,
                               ("SELECT rowid, * FROM \"" + table + "\" ORDER BY rowid").c_str(),
                               -1, &st, nullptr);
            while (st && sqlite3_step(st) == SQLITE_ROW) {
                LiveRow row{table, sqlite3_column_int64(st, 0), {}};
                for (int i = 1; i < sqlite3_column_count(st); ++i)
                    row.values.push_back(sqlValueFrom(sqlite3_column_value(st, i)));
                rows.push_back(std::move(row));
            }
            sqlite3_finalize(st);
        }
    }
    sqlite3_close(db);
    return rows;
}

// Copies a database with its side files into `dir` and returns the copy's path,
// so SQLite can open it (and make its -shm) without touching the phone's files.
std::string copyWithSideFiles(const DatabaseTruth& truth, const std::string& dir) {
    for (const std::string& f : truth.files)
        std::filesystem::copy_file(f, dir + "/" + std::filesystem::path(f).filename().string(),
                                   std::filesystem::copy_options::overwrite_existing);
    return dir + "/" + std::filesystem::path(truth.path).filename().string();
}

// Salts of the -wal header and how many frames carry other salts (stale frames
// of an earlier generation).
size_t staleWalFrames(const std::string& walPath) {
    const std::vector<uint8_t> wal = fileBytes(walPath);
    if (wal.size() < 32)
        return 0;
    const size_t pageSize =
        (size_t(wal[8]) << 24) | (size_t(wal[9]) << 16) | (size_t(wal[10]) << 8) | wal[11];
    size_t stale = 0;
    for (size_t at = 32; at + 24 + pageSize <= wal.size(); at += 24 + pageSize)
        stale += std::equal(wal.begin() + 16, wal.begin() + 24, wal.begin() + long(at) + 8) ? 0 : 1;
    return stale;
}

// The names (no folder) of the files beside a database, -shm included.
std::set<std::string> sideFiles(const std::string& path) {
    std::set<std::string> names;
    for (const char* suffix : {"-wal", "-journal", "-shm"})
        if (std::filesystem::exists(path + suffix))
            names.insert(std::filesystem::path(path + suffix).filename().string());
    return names;
}

// A generated phone of `kind` in a scratch folder of its own.
struct GeneratedPhone {
    explicit GeneratedPhone(PhoneKind kind)
        : dir(std::string("modern-") + phoneKindName(kind)),
          truth(generateModernPhone(dir.path(), modernPhoneSpec(kind))) {}
    ScratchDir dir;
    ModernPhoneTruth truth;
};

class ModernPhoneKinds : public ::testing::TestWithParam<PhoneKind> {};

} // namespace

namespace testdata {
// Names a kind in test messages.
void PrintTo(PhoneKind kind, std::ostream* out) {
    *out << phoneKindName(kind);
}
} // namespace testdata

TEST_P(ModernPhoneKinds, FilesAreLeftAsThePhoneLeavesThem) {
    const GeneratedPhone phone(GetParam());
    for (const auto* db : {&phone.truth.contacts, &phone.truth.sms}) {
        const DatabasePlan& plan =
            db == &phone.truth.contacts ? phone.truth.plan.contacts : phone.truth.plan.sms;
        SCOPED_TRACE(db->path);
        const std::vector<uint8_t> header = fileBytes(db->path);
        ASSERT_GE(header.size(), 100u);
        const bool wal = plan.journaling.mode == JournalMode::Wal;
        EXPECT_EQ(header[18], wal ? 2 : 1);
        std::set<std::string> expected;
        const std::string name = std::filesystem::path(db->path).filename().string();
        if (wal)
            expected.insert(name + "-wal");
        if (plan.journaling.mode == JournalMode::Persist ||
            plan.journaling.mode == JournalMode::Truncate)
            expected.insert(name + "-journal");
        EXPECT_EQ(sideFiles(db->path), expected);

        if (plan.journaling.mode == JournalMode::Persist) {
            // A committed PERSIST journal: zeroed header, page images behind it.
            const std::vector<uint8_t> journal = fileBytes(db->path + "-journal");
            ASSERT_GT(journal.size(), 28u + 4096u);
            EXPECT_TRUE(std::all_of(journal.begin(), journal.begin() + 28,
                                    [](uint8_t b) { return b == 0; }));
        }
        if (plan.journaling.mode == JournalMode::Truncate) {
            EXPECT_EQ(fileBytes(db->path + "-journal").size(), 0u);
        }
        if (wal) {
            const size_t stale = staleWalFrames(db->path + "-wal");
            if (plan.checkpointMidway) {
                EXPECT_GT(stale, 0u) << "the restarted log left no frames of the one before";
            } else if (plan.journaling.walAutocheckpoint == 0) {
                EXPECT_EQ(stale, 0u);
            }
        }
    }
}

TEST_P(ModernPhoneKinds, SqliteShowsExactlyTheLiveRowsOfTheTruth) {
    const GeneratedPhone phone(GetParam());
    ScratchDir copies(std::string("copies-") + phoneKindName(GetParam()));
    for (const auto* db : {&phone.truth.contacts, &phone.truth.sms}) {
        SCOPED_TRACE(db->path);
        // The -wal applied and a committed journal left alone, as SQLite reads a phone.
        const std::vector<LiveRow> shown =
            rowsSqliteShows("file:" + copyWithSideFiles(*db, copies.path()), *db);
        ASSERT_EQ(shown.size(), db->live.size());
        for (size_t i = 0; i < shown.size(); ++i) {
            ASSERT_EQ(shown[i].table, db->live[i].table);
            ASSERT_EQ(shown[i].rowid, db->live[i].rowid) << shown[i].table;
            ASSERT_EQ(shown[i].values, db->live[i].values)
                << shown[i].table << " " << shown[i].rowid;
        }
        std::set<std::pair<std::string, int64_t>> live;
        for (const LiveRow& r : db->live)
            live.emplace(r.table, r.rowid);
        for (const DeletedRow& r : db->deleted) {
            EXPECT_FALSE(live.count({r.table, r.rowid})) << r.table << " " << r.rowid;
            EXPECT_FALSE(r.versions.empty());
        }
        EXPECT_GT(db->deleted.size(), 20u);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ModernPhoneKinds,
                         ::testing::Values(PhoneKind::Wal, PhoneKind::WalCheckpointed,
                                           PhoneKind::WalRestarted, PhoneKind::Persist,
                                           PhoneKind::Truncate, PhoneKind::Upgraded,
                                           PhoneKind::Classic),
                         [](const auto& info) {
                             std::string name = phoneKindName(info.param);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(ModernPhoneTruth, WhatSurvivesFollowsTheJournal) {
    // Before a checkpoint the main file still holds the deleted contact rows as
    // live cells of the old pages: the main file alone shows them.
    const GeneratedPhone wal(PhoneKind::Wal);
    const DatabaseTruth& contacts = wal.truth.contacts;
    EXPECT_EQ(contacts.survivingDeleted(), contacts.countableDeleted());
    std::set<std::pair<std::string, int64_t>> mainOnly;
    for (const LiveRow& r : rowsSqliteShows("file:" + contacts.path + "?immutable=1", contacts))
        mainOnly.emplace(r.table, r.rowid);
    size_t inMain = 0;
    for (const DeletedRow& r : contacts.deleted) {
        if (std::find(r.foundIn.begin(), r.foundIn.end(), "contacts2.db") == r.foundIn.end())
            continue;
        ++inMain;
        EXPECT_TRUE(mainOnly.count({r.table, r.rowid})) << r.table << " " << r.rowid;
    }
    EXPECT_GT(inMain, 10u);
    // The PERSIST journal keeps the last transaction: the deleted conversation.
    size_t inJournal = 0;
    for (const DeletedRow& r : wal.truth.sms.deleted)
        inJournal += r.table == "sms" && std::find(r.foundIn.begin(), r.foundIn.end(),
                                                   "mmssms.db-journal") != r.foundIn.end();
    EXPECT_GE(inJournal, 2u);

    // secure_delete and a TRUNCATE journal leave nothing.
    const GeneratedPhone truncate(PhoneKind::Truncate);
    EXPECT_EQ(truncate.truth.contacts.survivingDeleted(), 0u);
    EXPECT_EQ(truncate.truth.sms.survivingDeleted(), 0u);

    // After the checkpoint the main file alone shows the current state, while
    // the -wal still holds older page versions.
    const GeneratedPhone checkpointed(PhoneKind::WalCheckpointed);
    const DatabaseTruth& sms = checkpointed.truth.sms;
    EXPECT_EQ(rowsSqliteShows("file:" + sms.path + "?immutable=1", sms).size(), sms.live.size());
    EXPECT_GT(sms.survivingDeleted(), sms.countableDeleted() / 2);
}

TEST(ModernPhoneTruth, UpgradedPhoneHasShortOldRecords) {
    const GeneratedPhone phone(PhoneKind::Upgraded);
    std::set<size_t> dataColumns, smsColumns;
    for (const DeletedRow& r : phone.truth.contacts.deleted)
        if (r.table == "data" && r.survives)
            dataColumns.insert(r.recordColumns);
    for (const DeletedRow& r : phone.truth.sms.deleted)
        if (r.table == "sms" && r.survives)
            smsColumns.insert(r.recordColumns);
    // Rows from before the upgrade and rows written (or rewritten) after it both survive.
    EXPECT_EQ(dataColumns, (std::set<size_t>{27, 31}));
    EXPECT_TRUE(smsColumns.count(17)) << "no deleted 4.x message survives";
    // The old rows deleted without secure_delete lie in freeblocks: their first
    // bytes are gone, but the rest of their record is there.
    EXPECT_TRUE(std::any_of(phone.truth.sms.deleted.begin(), phone.truth.sms.deleted.end(),
                            [](const DeletedRow& r) { return r.survives && !r.wholeRecord; }));
}
