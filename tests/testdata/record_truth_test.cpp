// The ground truth's record bytes are SQLite's own: every live row of a
// database without a journal left over is found whole in its file, whatever
// the page size, the value types, overflow, or a table grown by ALTER TABLE.
#include "test_files.h"

#include "generic_db.h"
#include "record_encoding.h"
#include "row_history.h"
#include "sqlite_util.h"
#include "survival_search.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace testdata;
using namespace testdata_test;

namespace {

// Turns the live rows of `truth` into its deleted rows and looks for them.
void lookForLiveRows(DatabaseTruth& truth) {
    truth.deleted.clear();
    for (const LiveRow& r : truth.live) {
        DeletedRow row;
        row.table = r.table;
        row.rowid = r.rowid;
        row.versions = {r.values};
        truth.deleted.push_back(std::move(row));
    }
    findSurvivors(truth);
}

// Looks for every live row of `truth` as if it had been deleted; returns how
// many were not found whole in the files.
size_t liveRowsNotFound(DatabaseTruth truth) {
    lookForLiveRows(truth);
    size_t missing = 0;
    for (const DeletedRow& r : truth.deleted)
        missing += r.countable && !r.wholeRecord;
    EXPECT_GT(truth.countableDeleted(), truth.deleted.size() / 2);
    return missing;
}

} // namespace

TEST(RecordTruth, LiveRowsOfGenericDatabasesAreFoundWhole) {
    ScratchDir dir("record-truth");
    for (int pageSize : {512, 1024, 4096, 65536}) {
        for (bool autoVacuum : {false, true}) {
            GenericDbSpec spec;
            spec.pageSize = pageSize;
            spec.autoVacuum = autoVacuum;
            spec.seed = static_cast<uint64_t>(pageSize) + autoVacuum;
            spec.tables = 4;
            const DatabaseTruth truth = generateGenericDatabase(dir.file("g.db"), spec);
            SCOPED_TRACE("page size " + std::to_string(pageSize));
            EXPECT_EQ(liveRowsNotFound(truth), 0u);
            EXPECT_EQ(truth.files.size(), 1u);
        }
    }
}

TEST(RecordTruth, ShortRecordsOfAGrownTableAndIntegralReals) {
    ScratchDir dir("record-shapes");
    const std::string path = dir.file("grown.db");
    DbOptions options;
    sqlite3* db = openFreshDatabase(path, options);
    RowHistory history(db);
    execSql(db, "CREATE TABLE t (id INTEGER PRIMARY KEY, r REAL, n NUMERIC, x);"
                "INSERT INTO t VALUES (1, 2.0, 3.0, 4.0), (2, 1e15, '17', X'00ff'),"
                " (3, -0.0, 2.5, 'text'), (4, 9007199254740993, 0, 1);");
    history.noteSchema();
    execSql(db, "ALTER TABLE t ADD COLUMN later INTEGER DEFAULT 7;"
                "ALTER TABLE t ADD COLUMN label TEXT DEFAULT 'none';"
                "INSERT INTO t (id, r, later) VALUES (5, 0.5, 8);"
                "UPDATE t SET n = 99 WHERE id = 2;");
    history.noteSchema();
    DatabaseTruth truth = history.capture();
    sqlite3_close(db);
    truth.path = path;
    lookForLiveRows(truth);
    ASSERT_EQ(truth.deleted.size(), 5u);
    // Rows 1, 3 and 4 kept their four columns; row 2 was rewritten with six.
    const std::vector<size_t> columns = {4, 6, 4, 4, 6};
    for (size_t i = 0; i < truth.deleted.size(); ++i) {
        EXPECT_TRUE(truth.deleted[i].wholeRecord) << "row " << truth.deleted[i].rowid;
        EXPECT_EQ(truth.deleted[i].recordColumns, columns[i]) << "row " << truth.deleted[i].rowid;
    }
}

TEST(RecordTruth, EncodingOfIntegersAndHeaders) {
    TableShape shape;
    shape.columns = {"a"};
    shape.realAffinity = {false};
    // Integer widths at their edges, and 0 and 1 without body bytes.
    const std::vector<std::pair<int64_t, std::string>> cases = {
        {0, std::string("\x02\x08", 2)},
        {1, std::string("\x02\x09", 2)},
        {-1, std::string("\x02\x01\xff", 3)},
        {127, std::string("\x02\x01\x7f", 3)},
        {128, std::string("\x02\x02\x00\x80", 4)},
        {-32769, std::string("\x02\x03\xff\x7f\xff", 5)},
        {int64_t(1) << 47, std::string("\x02\x06\x00\x00\x80\x00\x00\x00\x00\x00", 10)},
    };
    for (const auto& [value, bytes] : cases) {
        SqlValue v;
        v.type = SqlValue::Type::Integer;
        v.integer = value;
        EXPECT_EQ(encodeRecord(shape, {v}, 1), bytes) << value;
    }
    // A header of 127 bytes or more takes a two-byte length.
    TableShape wide;
    wide.columns.assign(130, "c");
    wide.realAffinity.assign(130, false);
    const std::string record = encodeRecord(wide, SqlRow(130), 130);
    EXPECT_EQ(record.size(), 132u);
    EXPECT_EQ(record.substr(0, 2), std::string("\x81\x04", 2));
    EXPECT_EQ(encodeVarint(0xffffffffffffffffull), std::string(9, '\xff'));
    // Local part of an overflowing record on 4096-byte pages.
    EXPECT_EQ(localPayloadSize(4061, 4096), 4061u);
    EXPECT_EQ(localPayloadSize(4062, 4096), 489u);
    EXPECT_EQ(localPayloadSize(10000, 4096), 489u + (10000 - 489) % 4092);
}

TEST(RecordTruth, DamagedFilesAreRefusedOrReadAsBytes) {
    ScratchDir dir("record-damaged");
    GenericDbSpec spec;
    spec.tables = 1;
    spec.rowsPerTable = 40;
    spec.journal = JournalMode::Wal;
    const DatabaseTruth truth = generateGenericDatabase(dir.file("d.db"), spec);
    const std::vector<uint8_t> whole = fileBytes(truth.path);
    // A main file cut short or scribbled over is no database: refused, never read past.
    for (const size_t keep : {size_t(0), size_t(50), size_t(99)}) {
        std::ofstream(truth.path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(whole.data()), std::streamsize(keep));
        DatabaseTruth copy = truth;
        EXPECT_THROW(findSurvivors(copy), std::runtime_error) << keep;
    }
    // A header with an impossible page size, or leaving under 480 usable bytes.
    using Patch = std::vector<std::pair<size_t, uint8_t>>;
    for (const Patch& patch :
         {Patch{{16, 0x03}}, Patch{{17, 0x01}}, Patch{{16, 0x02}, {20, 0x90}}}) {
        std::vector<uint8_t> scribbled = whole;
        for (const auto& [at, value] : patch)
            scribbled[at] = value;
        std::ofstream(truth.path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(scribbled.data()),
                   std::streamsize(scribbled.size()));
        DatabaseTruth copy = truth;
        EXPECT_THROW(findSurvivors(copy), std::runtime_error) << patch.size();
    }
    // A -wal of any length, even garbage, is only bytes to look through.
    std::ofstream(truth.path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(whole.data()), std::streamsize(whole.size()));
    for (const size_t size : {size_t(0), size_t(3), size_t(4099)}) {
        std::ofstream(truth.path + "-wal", std::ios::binary | std::ios::trunc)
            << std::string(size, '\xff');
        DatabaseTruth copy = truth;
        EXPECT_NO_THROW(findSurvivors(copy));
        EXPECT_EQ(copy.files.size(), 2u);
    }
    DatabaseTruth missing = truth;
    missing.path = dir.file("absent.db");
    missing.files.clear();
    EXPECT_THROW(findSurvivors(missing), std::runtime_error);
}
