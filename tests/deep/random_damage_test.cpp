// Thousands of randomly damaged databases, -wal and -journal files, for the
// sanitizer build: every scan must end, with a report or a refusal, without
// reading outside a buffer.
#include <gtest/gtest.h>

#include <random>

#include "deep_test_support.h"

namespace deeptest {
namespace {

using fennaro::deep::deepContactsText;
using fennaro::deep::deepSmsText;
using fennaro::deep::writeCurrentState;
using fennaro::phone::scanDatabase;

// The undamaged files one scenario leaves: name suffix -> bytes.
using FileSet = std::map<std::string, std::string>;

// Writes a database through SQLite with setup, then copies its files while
// the connection is still open (so a -wal or a hot -journal stays).
FileSet makeScenario(const std::string& setup, const std::string& work) {
    TempDir dir, pulled;
    const std::string path = dir.file("s.db");
    SqlDb db(path);
    db.exec("PRAGMA page_size=512; PRAGMA synchronous=OFF;");
    db.exec(setup);
    db.exec(kMessageTable);
    insertMessages(db, 1, 80, 40);
    for (int id = 5; id <= 80; id += 11) {
        Rows big = insertMessages(db, 1000 + id, 1, 1500);
        (void)big;
    }
    db.exec(work);
    const std::string copy = pullCopy(path, pulled.path());
    FileSet files;
    for (const char* suffix : {"", "-wal", "-journal"}) {
        const std::string bytes = readFile(copy + suffix);
        if (!bytes.empty() || suffix[0] == '\0')
            files[suffix] = bytes;
    }
    return files;
}

// Damages one file of a set in one of several ways.
void damage(FileSet& files, std::mt19937& rng) {
    auto pick = std::next(files.begin(), long(rng() % files.size()));
    std::string& bytes = pick->second;
    if (bytes.empty())
        return;
    switch (rng() % 5) {
    case 0: // a few flipped bytes
        for (int i = 0, n = 1 + int(rng() % 8); i < n; ++i)
            bytes[rng() % bytes.size()] ^= char(1 + rng() % 255);
        break;
    case 1: // cut short
        bytes.resize(rng() % bytes.size());
        break;
    case 2: { // a zeroed run
        const size_t at = rng() % bytes.size();
        const size_t len = std::min<size_t>(bytes.size() - at, 1 + rng() % 600);
        std::fill_n(bytes.begin() + long(at), len, '\0');
        break;
    }
    case 3: { // a run of 0xFF (huge varints, absurd sizes and page numbers)
        const size_t at = rng() % bytes.size();
        const size_t len = std::min<size_t>(bytes.size() - at, 1 + rng() % 40);
        std::fill_n(bytes.begin() + long(at), len, '\xFF');
        break;
    }
    default: { // a page-sized block copied elsewhere (a page in the wrong place)
        if (bytes.size() < 1024)
            break;
        const size_t from = rng() % (bytes.size() - 512), to = rng() % (bytes.size() - 512);
        bytes.replace(to, 512, bytes.substr(from, 512));
        break;
    }
    }
}

TEST(RandomDamage, EveryDamagedScanEnds) {
    const std::vector<FileSet> scenarios = {
        makeScenario("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                     "PRAGMA secure_delete=ON;",
                     "PRAGMA wal_checkpoint(TRUNCATE); DELETE FROM msg WHERE _id % 3 = 0;"
                     "DELETE FROM msg WHERE _id > 1000; INSERT INTO msg(body) VALUES('late');"),
        makeScenario("PRAGMA journal_mode=PERSIST; PRAGMA secure_delete=OFF;",
                     "DELETE FROM msg WHERE _id % 2 = 0; PRAGMA cache_size=1; BEGIN;"
                     "DELETE FROM msg WHERE _id % 5 = 1;"),
        makeScenario("PRAGMA auto_vacuum=FULL; PRAGMA journal_mode=TRUNCATE;",
                     "DELETE FROM msg WHERE _id % 4 = 1 OR _id > 1000;"),
    };
    std::mt19937 rng(20240611);
    TempDir dir;
    const std::string path = dir.file("contacts2.db");
    int reports = 0;
    for (int round = 0; round < 2000; ++round) {
        FileSet files = scenarios[size_t(round) % scenarios.size()];
        for (int i = 0, n = 1 + int(rng() % 3); i < n; ++i)
            damage(files, rng);
        for (const char* suffix : {"", "-wal", "-journal"}) {
            std::remove((path + suffix).c_str());
            if (files.count(suffix))
                writeFile(path + suffix, files[suffix]);
        }
        const ScanReport report = scanDatabase(path);
        reports += report.ok;
        for (const RecoveredRecord& r : report.records) {
            bool anyValue = false;
            for (const Value& v : r.values)
                anyValue = anyValue || v.hasContent();
            ASSERT_TRUE(anyValue) << "round " << round;
        }
        writeCurrentState(path, dir.file("current.db"));
        if (round % 10 == 0) {
            deepContactsText(path, path);
            deepSmsText(path, path);
        }
    }
    // Most damage leaves the header alone: most rounds are scanned.
    EXPECT_GT(reports, 1000);
}

} // namespace
} // namespace deeptest
