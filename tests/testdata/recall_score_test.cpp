// The measuring instrument of the recall tests: scan output that breaks the
// command's promises is refused, and a scan's faults are counted exactly.
#include "test_files.h"

#include "generic_db.h"
#include "recall_score.h"
#include "truth_json.h"

#include <gtest/gtest.h>

using namespace testdata;
using namespace testdata_test;

namespace {

// The JSON Lines text a scan would print for `records` of `truth`.
std::string scanText(const DatabaseTruth& truth, const std::vector<ScannedRecord>& records) {
    Json::Value head(Json::objectValue);
    for (const TableShape& t : truth.tables)
        for (const std::string& c : t.columns)
            head["columns"][t.name].append(c);
    head["files"].append("g.db");
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    std::string text = Json::writeString(b, head) + "\n";
    for (const ScannedRecord& r : records) {
        Json::Value line(Json::objectValue);
        line["table"] = r.table;
        line["rowid"] = r.rowid ? Json::Value(Json::Int64(*r.rowid)) : Json::Value();
        line["source"] = r.source;
        line["page"] = Json::Int64(r.page);
        line["offset"] = Json::Int64(r.offset);
        line["frame"] = Json::Value();
        line["values"] = Json::Value(Json::arrayValue);
        for (const SqlValue& v : r.values)
            line["values"].append(valueToJson(v));
        text += Json::writeString(b, line) + "\n";
    }
    return text;
}

// A record reporting `values` of `table` as found in the main file.
ScannedRecord reported(const std::string& table, std::optional<int64_t> rowid,
                       const SqlRow& values) {
    ScannedRecord r;
    r.table = table;
    r.rowid = rowid;
    r.source = "main";
    r.page = 2;
    r.offset = 5000;
    r.values = values;
    return r;
}

} // namespace

TEST(RecallScore, CountsFoundRowsAndEachPrecisionFault) {
    ScratchDir dir("score");
    GenericDbSpec spec;
    spec.tables = 2;
    spec.rowsPerTable = 60;
    const DatabaseTruth truth = generateGenericDatabase(dir.file("g.db"), spec);
    std::vector<const DeletedRow*> surviving;
    for (const DeletedRow& r : truth.deleted)
        if (r.survives)
            surviving.push_back(&r);
    ASSERT_GE(surviving.size(), 10u);

    std::vector<ScannedRecord> records;
    // Every surviving row but the last, half of them without their rowid.
    for (size_t i = 0; i + 1 < surviving.size(); ++i)
        records.push_back(reported(
            surviving[i]->table, i % 2 ? std::nullopt : std::optional<int64_t>(surviving[i]->rowid),
            surviving[i]->versions.back()));
    // Faults: a live row by rowid and one by values, a row twice, one without a
    // value, one under a rowid its table never had.
    const LiveRow& live = truth.live.front();
    records.push_back(reported(live.table, live.rowid, live.values));
    records.push_back(reported(truth.live.back().table, std::nullopt, truth.live.back().values));
    records.push_back(records.front());
    records.push_back(reported(live.table, std::nullopt, SqlRow(live.values.size())));
    records.push_back(reported(live.table, 999999, live.values));

    const ScanOutput scan = parseScanOutput(scanText(truth, records));
    ASSERT_TRUE(scan.wellFormed) << scan.error;
    ASSERT_EQ(scan.records.size(), records.size());
    const RecallScore score = scoreScan(truth, scan);
    EXPECT_EQ(score.all.surviving, truth.survivingDeleted());
    EXPECT_EQ(score.all.found, surviving.size() - 1) << describeScore(score);
    EXPECT_EQ(score.liveReported, 2u);
    EXPECT_EQ(score.duplicates, 1u);
    EXPECT_EQ(score.valueless, 1u);
    EXPECT_EQ(score.wrongValues, 0u);
    EXPECT_EQ(score.neverExisted, 1u);
    EXPECT_EQ(score.reported, records.size());
}

TEST(RecallScore, OutputBreakingThePromisesIsRefused) {
    const std::string head = "{\"columns\":{\"t\":[\"a\"]},\"files\":[\"x.db\"]}\n";
    const std::string good =
        "{\"table\":\"t\",\"rowid\":null,\"source\":\"wal\",\"page\":3,\"offset\":40,"
        "\"frame\":2,\"values\":[1,2.5,\"x\",null,{\"hex\":\"00ff\"}]}\n";
    const ScanOutput fine = parseScanOutput(head + good);
    ASSERT_TRUE(fine.wellFormed) << fine.error;
    ASSERT_EQ(fine.records.size(), 1u);
    EXPECT_EQ(fine.records[0].values[1].type, SqlValue::Type::Real);
    EXPECT_EQ(fine.records[0].values[4].bytes, std::string("\x00\xff", 2));
    EXPECT_EQ(fine.files, std::vector<std::string>{"x.db"});

    for (const std::string& bad : {
             std::string(""),                                                // no output at all
             std::string("{\"files\":[]}\n"),                                // no columns
             head + "not json\n",                                            // garbage line
             head + "{\"table\":\"t\",\"source\":\"main\",\"values\":[]}\n", // no page/offset
             head + "{\"table\":\"t\",\"rowid\":1,\"source\":\"disk\",\"page\":1,\"offset\":1,"
                    "\"frame\":null,\"values\":[]}\n", // unknown source
             head + "{\"table\":\"t\",\"rowid\":1,\"source\":\"main\",\"page\":1,\"offset\":1,"
                    "\"frame\":4,\"values\":[]}\n", // a frame outside the WAL
             head + "{\"table\":\"t\",\"rowid\":1,\"source\":\"main\",\"page\":1,\"offset\":1,"
                    "\"frame\":null,\"values\":[[1]]}\n", // a value of no promised form
             head + "{\"table\":\"t\",\"rowid\":1,\"source\":\"main\",\"page\":1,\"offset\":1,"
                    "\"frame\":null,\"values\":[{\"hex\":\"0g\"}]}\n", // bad hex
         }) {
        const ScanOutput out = parseScanOutput(bad);
        EXPECT_FALSE(out.wellFormed) << bad;
        EXPECT_FALSE(out.error.empty());
    }
}

namespace {

// A truth of one table t (_id INTEGER PRIMARY KEY, a TEXT, b INTEGER, c TEXT)
// with deleted rows 5 ("x", 7, "y") and 6 ("p", 8, "q") and live row 1.
DatabaseTruth smallTruth() {
    auto text = [](const std::string& s) {
        SqlValue v;
        v.type = SqlValue::Type::Text;
        v.bytes = s;
        return v;
    };
    auto integer = [](int64_t i) {
        SqlValue v;
        v.type = SqlValue::Type::Integer;
        v.integer = i;
        return v;
    };
    DatabaseTruth truth;
    TableShape t;
    t.name = "t";
    t.columns = {"_id", "a", "b", "c"};
    t.realAffinity.assign(4, false);
    t.defaults.assign(4, SqlValue{});
    t.rowidColumn = 0;
    t.columnCounts = {4};
    truth.tables.push_back(t);
    for (const auto& [rowid, row] :
         {std::pair<int64_t, SqlRow>{5, {integer(5), text("x"), integer(7), text("y")}},
          std::pair<int64_t, SqlRow>{6, {integer(6), text("p"), integer(8), text("q")}}}) {
        DeletedRow d;
        d.table = "t";
        d.rowid = rowid;
        d.versions = {row};
        d.countable = d.survives = true;
        d.survival = Survival::HeaderLost;
        truth.deleted.push_back(d);
    }
    truth.live.push_back({"t", 1, {integer(1), text("live"), integer(1), text("row")}});
    return truth;
}

} // namespace

TEST(RecallScore, PartialRecordsAreComparedOnTheirKnownColumns) {
    const DatabaseTruth truth = smallTruth();
    const std::string head =
        "{\"columns\":{\"t\":[\"_id\",\"a\",\"b\",\"c\"]},\"files\":[\"t.db\"]}\n";
    // Lines of a scan: where, then the line's own keys.
    auto line = [](const std::string& rowid, const std::string& rest) {
        return "{\"table\":\"t\",\"rowid\":" + rowid +
               ",\"source\":\"main\",\"page\":2,\"offset\":9,\"frame\":null," + rest + "}\n";
    };
    const std::string text =
        head +
        // Found whole, and found with only its rowid and a known.
        line("5", "\"values\":[5,\"x\",7,\"y\"]") +
        line("6", "\"values\":[6,\"p\",null,null],\"evidence\":\"cell-header-lost\","
                  "\"known\":[\"_id\",\"a\"]") +
        // Values of row 6 mixed with row 5's, row 5's shifted by a column, and a
        // record holding nothing.
        line("null", "\"values\":[null,\"p\",8,\"y\"]") +
        line("null", "\"values\":[null,7,\"y\",null]") +
        line("null", "\"values\":[null,null,0,\"\"],\"damaged\":true") +
        // Row 5 cut where another cell took its last text: no fault.
        line("null", "\"values\":[null,\"x\",7,\"\"],\"damaged\":true") +
        // Partial by nature: one that agrees, one that contradicts, one of a live row.
        line("6", "\"values\":[6,null,8,null],\"evidence\":\"index\",\"known\":[\"_id\",\"b\"]") +
        line("5", "\"values\":[5,\"zzz\",null,null],\"evidence\":\"fts\",\"known\":[\"a\"]") +
        line("1", "\"values\":[1,null,null,null],\"evidence\":\"remnant\",\"known\":[],"
                  "\"dropped\":true");
    const ScanOutput scan = parseScanOutput(text);
    ASSERT_TRUE(scan.wellFormed) << scan.error;
    ASSERT_EQ(scan.records.size(), 9u);
    EXPECT_EQ(scan.records[1].evidence, "cell-header-lost");
    EXPECT_EQ(scan.records[0].evidence, "cell");
    EXPECT_FALSE(scan.records[0].known.has_value());
    EXPECT_TRUE(scan.records[4].damaged);
    EXPECT_TRUE(scan.records[8].dropped);
    EXPECT_TRUE(scan.records[8].known && scan.records[8].known->empty());

    const RecallScore score = scoreScan(truth, scan);
    EXPECT_EQ(score.all.found, 2u) << describeScore(score);
    EXPECT_EQ(score.all.headerLostFound(), 2u);
    EXPECT_EQ(score.junk, 1u);
    // Mixed from two rows, shifted by a column, and the contradicting fts record.
    EXPECT_EQ(score.wrongValues, 3u) << describeScore(score);
    EXPECT_EQ(score.partialReported, 3u);
    EXPECT_EQ(score.partialMatched, 1u);
    EXPECT_EQ(score.liveReported, 1u);
    EXPECT_EQ(score.duplicates, 0u);
    EXPECT_EQ(score.unmatched, 1u) << describeScore(score); // the junk record
    EXPECT_EQ(score.all.foundAny, 2u);

    for (const std::string& bad : {
             line("5", "\"values\":[5],\"evidence\":\"guess\""), // unknown evidence
             line("5", "\"values\":[5],\"known\":\"a\""),        // known is no list
             line("5", "\"values\":[5],\"known\":[\"nope\"]"),   // no such column
             line("5", "\"values\":[5],\"known\":[1]"),          // a name that is no text
             line("5", "\"values\":[5],\"dropped\":\"yes\""),    // a mark that is no bool
         }) {
        const ScanOutput out = parseScanOutput(head + bad);
        EXPECT_FALSE(out.wellFormed) << bad;
    }
}
