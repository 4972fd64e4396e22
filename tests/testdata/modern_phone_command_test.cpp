// fennaro-modern-phone as a script runs it: wrong arguments, a folder it
// cannot make, and the demo phone's files with a ground truth that matches.
#include "test_files.h"

#include "scan_output.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <set>

using namespace testdata;
using namespace testdata_test;

TEST(ModernPhoneCommand, WrongArgumentsAndAFolderItCannotMake) {
    ScratchDir dir("modern-command");
    const std::string program = FENNARO_MODERN_PHONE_PATH;
    EXPECT_EQ(runProgram({program}).status, 2);
    EXPECT_EQ(runProgram({program, "wal"}).status, 2);
    EXPECT_EQ(runProgram({program, "sqlite", dir.path()}).status, 2);
    EXPECT_EQ(runProgram({program, "wal", dir.path(), "12x"}).status, 2);
    std::ofstream(dir.file("plain-file")) << "x";
    EXPECT_EQ(runProgram({program, "wal", dir.file("plain-file") + "/phone"}).status, 1);
}

TEST(ModernPhoneCommand, WalPhoneForTheDeepAcquisition) {
    ScratchDir dir("modern-command-wal");
    const ProgramRun run = runProgram({FENNARO_MODERN_PHONE_PATH, "wal", dir.path()});
    ASSERT_EQ(run.status, 0);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"contacts2.db", "contacts2.db-wal", "mmssms.db",
                                            "mmssms.db-journal", "ground-truth.json"}));

    Json::Value truth;
    std::ifstream in(dir.file("ground-truth.json"));
    Json::CharReaderBuilder reader;
    std::string errors;
    ASSERT_TRUE(Json::parseFromStream(reader, in, &truth, &errors)) << errors;
    EXPECT_EQ(truth["kind"].asString(), "wal");
    const Json::Value& contacts = truth["databases"]["contacts2.db"];
    const Json::Value& sms = truth["databases"]["mmssms.db"];
    EXPECT_EQ(contacts["journalMode"].asString(), "wal");
    EXPECT_EQ(sms["journalMode"].asString(), "persist");
    // A few deleted contacts and a deleted conversation, as the demo needs.
    size_t rawContacts = 0, threads = 0;
    for (const Json::Value& row : contacts["deleted"])
        rawContacts += row["table"].asString() == "raw_contacts";
    for (const Json::Value& row : sms["deleted"])
        threads += row["table"].asString() == "threads";
    EXPECT_GE(rawContacts, 3u);
    EXPECT_GE(threads, 1u);
    EXPECT_EQ(contacts["deleted"].size(), contacts["deletedRows"].asUInt64());
    EXPECT_EQ(contacts["columns"]["data"].size(), 31u);
    EXPECT_NE(run.out.find("contacts2.db + contacts2.db-wal"), std::string::npos) << run.out;
}
