// The replay ground truth tells a freed cell's fate from its bytes: a short
// row under a small rowid loses its record header to the freeblock header
// (header-lost), a long row under a long rowid keeps its whole record, a
// zero-filled cell is gone, and another row's identical record is not taken
// for the deleted one's. The cells are read as SQLite reads the files, a
// restarted WAL and damaged files included.
#include "test_files.h"

#include "cell_replay.h"
#include "layout_db.h"
#include "layout_writer.h"
#include "sqlite_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

using namespace testdata;
using namespace testdata_test;

namespace {

// A text value.
SqlValue textValue(const std::string& s) {
    SqlValue v;
    v.type = SqlValue::Type::Text;
    v.bytes = s;
    return v;
}

// An integer value.
SqlValue intValue(int64_t i) {
    SqlValue v;
    v.type = SqlValue::Type::Integer;
    v.integer = i;
    return v;
}

// The deleted row `rowid` of `table` in `truth`; fails the test when absent.
const DeletedRow& deletedRow(const DatabaseTruth& truth, const std::string& table, int64_t rowid) {
    for (const DeletedRow& r : truth.deleted)
        if (r.table == table && r.rowid == rowid)
            return r;
    ADD_FAILURE() << "no deleted row " << table << " " << rowid;
    static const DeletedRow none;
    return none;
}

// Short rows 1..30, then two long rows under long rowids; deletes row 10 (in
// the middle of the cell area), then long row 100000 (not at its start).
DatabaseTruth shortAndLongRows(const std::string& path, bool secureDelete) {
    FileSettings settings;
    settings.secureDelete = secureDelete;
    LayoutWriter w(path, settings);
    w.exec("CREATE TABLE t (_id INTEGER PRIMARY KEY, a TEXT, b INTEGER)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 1; i <= 30; ++i)
        rows.push_back({intValue(i), textValue("name " + std::to_string(i)), intValue(i * 1000)});
    rows.push_back({intValue(100000), textValue(std::string(300, 'x')), intValue(5)});
    rows.push_back({intValue(100001), textValue(std::string(300, 'y')), intValue(6)});
    w.insert("t", {"_id", "a", "b"}, rows);
    w.startJournaling();
    w.remove("t", {10});
    w.remove("t", {100000});
    return w.finish();
}

} // namespace

TEST(CellReplay, ShortRowsLoseTheirHeaderLongRowsKeepTheirRecord) {
    ScratchDir dir("replay-short-long");
    const DatabaseTruth open = shortAndLongRows(dir.file("open.db"), false);
    const DeletedRow& shortRow = deletedRow(open, "t", 10);
    ASSERT_EQ(shortRow.cells.size(), 1u);
    // One-byte payload length and rowid: the record starts at byte 2 and the
    // freeblock header takes its header size and first serial type.
    EXPECT_EQ(shortRow.cells[0].cell[1], '\x0a');
    EXPECT_EQ(shortRow.cells[0].recordStart, 2u);
    EXPECT_EQ(shortRow.survival, Survival::HeaderLost);
    EXPECT_TRUE(shortRow.survives);
    EXPECT_FALSE(shortRow.wholeRecord);
    EXPECT_EQ(shortRow.recordColumns, 3u);
    const DeletedRow& longRow = deletedRow(open, "t", 100000);
    EXPECT_EQ(longRow.survival, Survival::Whole);
    EXPECT_TRUE(longRow.wholeRecord);
    EXPECT_EQ(longRow.foundIn, std::vector<std::string>{"open.db"});

    // Zero-filled cells leave nothing.
    const DatabaseTruth secure = shortAndLongRows(dir.file("secure.db"), true);
    for (const int64_t rowid : {10, 100000}) {
        EXPECT_EQ(deletedRow(secure, "t", rowid).survival, Survival::Gone) << rowid;
        EXPECT_FALSE(deletedRow(secure, "t", rowid).survives) << rowid;
    }
    EXPECT_EQ(secure.survivingDeleted(), 0u);
}

TEST(CellReplay, AnotherRowsIdenticalRecordIsNotTheDeletedRows) {
    ScratchDir dir("replay-twins");
    for (const bool secureDelete : {false, true}) {
        SCOPED_TRACE(secureDelete ? "secure_delete on" : "secure_delete off");
        FileSettings settings;
        settings.secureDelete = secureDelete;
        LayoutWriter w(dir.file(secureDelete ? "s.db" : "o.db"), settings);
        // No INTEGER PRIMARY KEY: the twins' records are byte for byte the same.
        w.exec("CREATE TABLE t (a TEXT, b INT)");
        w.noteSchema();
        const std::vector<int64_t> ids = w.insert("t", {"a", "b"},
                                                  {{textValue("same text"), intValue(7)},
                                                   {textValue("other"), intValue(9)},
                                                   {textValue("same text"), intValue(7)}});
        w.startJournaling();
        w.remove("t", {ids[0]});
        const DatabaseTruth truth = w.finish();
        EXPECT_EQ(deletedRow(truth, "t", ids[0]).survival,
                  secureDelete ? Survival::Gone : Survival::HeaderLost);
    }
}

TEST(CellReplay, DroppedTablesRowsAreDeletedRowsOfItsName) {
    ScratchDir dir("replay-drop");
    LayoutSpec spec;
    spec.layout = Layout::DropTable;
    spec.pageSize = 1024;
    const DatabaseTruth truth = generateLayoutDatabase(dir.file("d.db"), spec);
    size_t dropped = 0;
    for (const DeletedRow& r : truth.deleted) {
        if (r.table != "gone")
            continue;
        ++dropped;
        EXPECT_TRUE(r.dropped);
        EXPECT_EQ(r.cells.size(), 1u) << r.rowid;
        // Freed pages keep their bytes without secure_delete; only the trunk
        // page's first bytes change.
        EXPECT_TRUE(r.survives) << r.rowid;
    }
    EXPECT_EQ(dropped, 80u);
    ASSERT_NE(findShape(truth.tables, "gone"), nullptr);
    for (const LiveRow& r : truth.live)
        EXPECT_NE(r.table, "gone");
}

TEST(CellReplay, RestartedWalIsReadAsSQLiteReadsIt) {
    ScratchDir dir("replay-wal");
    LayoutSpec spec;
    spec.layout = Layout::WalRestarted;
    spec.pageSize = 1024;
    const DatabaseTruth truth = generateLayoutDatabase(dir.file("w.db"), spec);
    ASSERT_TRUE(std::filesystem::exists(dir.file("w.db-wal")));
    // The root page from SQLite itself, on a copy (opening writes a -shm).
    ScratchDir copy("replay-wal-copy");
    for (const char* name : {"w.db", "w.db-wal"})
        std::filesystem::copy_file(dir.file(name), copy.file(name));
    const auto root = static_cast<uint32_t>(
        queryInt(copy.file("w.db"), "SELECT rootpage FROM sqlite_master WHERE name = 'sms'"));
    std::set<int64_t> read, live;
    for (const auto& [key, place] : readTableCells(dir.file("w.db"), {{"sms", root}}))
        read.insert(key.second);
    for (const LiveRow& r : truth.live)
        if (r.table == "sms")
            live.insert(r.rowid);
    EXPECT_EQ(read, live);
    EXPECT_GT(truth.survivingDeleted(), 0u);
}

TEST(CellReplay, DamagedFilesAreReadWithoutHarm) {
    ScratchDir dir("replay-damaged");
    LayoutSpec spec;
    spec.layout = Layout::EmptiedPages;
    spec.pageSize = 512;
    const DatabaseTruth truth = generateLayoutDatabase(dir.file("e.db"), spec);
    const std::vector<uint8_t> whole = fileBytes(truth.path);
    auto writeMain = [&](const std::vector<uint8_t>& bytes) {
        std::ofstream(truth.path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    // The log table's root is page 2 and interior: point its children at itself.
    std::vector<uint8_t> looped = whole;
    ASSERT_EQ(looped[512], 5) << "the root is no interior page";
    for (size_t at = 512 + 8; at < 512 + 12; ++at)
        looped[at] = (at == 512 + 11) ? 2 : 0;
    writeMain(looped);
    EXPECT_NO_THROW(readTableCells(truth.path, {{"log", 2}}));
    // Cut short, side files of garbage: read as far as they go.
    for (const size_t keep : {size_t(700), whole.size() / 2}) {
        writeMain(std::vector<uint8_t>(whole.begin(), whole.begin() + long(keep)));
        for (const char* side : {"-wal", "-journal"})
            std::ofstream(truth.path + side, std::ios::binary | std::ios::trunc)
                << std::string(5000, '\xff');
        DatabaseTruth copy = truth;
        copy.files.clear();
        EXPECT_NO_THROW(classifyByReplay(copy, {}));
        EXPECT_NO_THROW(readTableCells(truth.path, {{"log", 2}, {"single", 3}, {"none", 9999}}));
    }
    // No database at all.
    writeMain(std::vector<uint8_t>(whole.begin(), whole.begin() + 50));
    EXPECT_THROW(readTableCells(truth.path, {{"log", 2}}), std::runtime_error);
}
