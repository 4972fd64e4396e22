// fennaro-layout-db as the lead runs it by hand: wrong arguments refused, one
// case written with a ground truth that says how every deleted row survives.
#include "test_files.h"

#include "scan_output.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>

using namespace testdata;
using namespace testdata_test;

TEST(LayoutCommand, WritesOneCaseWithItsTruthAndRefusesWrongArguments) {
    ScratchDir dir("layout-command");
    const std::string program = FENNARO_LAYOUT_DB_PATH;
    EXPECT_EQ(runProgram({program}).status, 2);
    EXPECT_EQ(runProgram({program, "no-such-layout", dir.path()}).status, 2);
    EXPECT_EQ(runProgram({program, "small-messages", dir.path(), "1x"}).status, 2);
    EXPECT_EQ(runProgram({program, "small-messages", dir.path(), "1", "1000"}).status, 2);
    std::ofstream(dir.file("plain-file")) << "x";
    EXPECT_EQ(runProgram({program, "small-messages", dir.file("plain-file") + "/x"}).status, 1);

    const ProgramRun run = runProgram({program, "small-messages", dir.file("case"), "3", "1024"});
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("header-lost"), std::string::npos) << run.out;
    Json::Value truth;
    std::ifstream in(dir.file("case/ground-truth.json"));
    Json::CharReaderBuilder reader;
    std::string errors;
    ASSERT_TRUE(Json::parseFromStream(reader, in, &truth, &errors)) << errors;
    EXPECT_EQ(truth["layout"].asString(), "small-messages");
    EXPECT_EQ(truth["pageSize"].asUInt(), 1024u);
    EXPECT_EQ(truth["deleted"].size(), truth["deletedRows"].asUInt64());
    EXPECT_EQ(queryInt(dir.file("case/layout.db"), "PRAGMA page_size"), 1024);
    size_t headerLost = 0;
    for (const Json::Value& row : truth["deleted"]) {
        headerLost += row["survival"].asString() == "header-lost";
        EXPECT_EQ(row["cells"].size(), 1u);
    }
    EXPECT_GT(headerLost, 0u);
}
