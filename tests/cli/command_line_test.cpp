// fennaro-recover as a script meets it: --help and --version, and what every
// command does with a path that cannot be read or with bytes that are not a
// database. A wrong path must never pass for an empty phone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "program_info.h"
#include "program_runner.h"
#include "testdata.h"

namespace fennaro {
namespace {

using test::ProgramRun;
using test::runRecover;

// Every command that reads the two copies, with its leading words.
const std::vector<std::vector<std::string>> kReadingCommands = {{"carve", "contacts"},
                                                                {"carve", "sms"},
                                                                {"list", "contacts"},
                                                                {"list", "messages"},
                                                                {"export"},
                                                                {"deep", "contacts"},
                                                                {"deep", "sms"},
                                                                {"list", "--deep", "contacts"},
                                                                {"export", "--deep"}};

// A small generated phone in a folder every user may enter.
class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testdata::PhoneSpec spec;
        spec.contacts = 12;
        spec.messages = 40;
        spec.threads = 4;
        spec.seed = 5;
        testdata::generatePhone(dir.path().string(), spec);
    }

    // Returns the command's words followed by the two copies (and an output
    // folder for export).
    std::vector<std::string> commandLine(std::vector<std::string> words,
                                         const std::string& contacts,
                                         const std::string& sms) const {
        const bool exporting = words[0] == "export";
        words.push_back(contacts);
        words.push_back(sms);
        if (exporting)
            words.push_back(dir.path().string());
        return words;
    }

    // Runs the command with the copies and expects the refusal that names
    // each path with its reason, status 1 and nothing on standard output.
    void expectRefused(const std::vector<std::string>& words, const std::string& contacts,
                       const std::string& sms, const std::string& expectedErr,
                       const test::RunOptions& options = {}) {
        SCOPED_TRACE(words[0] + " " + (words.size() > 1 ? words[1] : ""));
        const ProgramRun run = runRecover(commandLine(words, contacts, sms), options);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, expectedErr);
    }

    test::OpenScratchDir dir;
    std::string contactsDb = dir.file("contacts2.db");
    std::string smsDb = dir.file("mmssms.db");
};

TEST(InfoOptionsTest, HelpAndVersionAnswerOnStandardOutput) {
    const ProgramRun version = runRecover({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out,
              "fennaro-recover 1.5.0.0\nCopyright (C) Quillmet. All rights reserved.\n");
    EXPECT_EQ(version.err, "");

    const ProgramRun help = runRecover({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    for (const char* line : {"fennaro-recover carve contacts CONTACTS_DB SMS_DB\n",
                             "fennaro-recover list [--deep] messages CONTACTS_DB SMS_DB\n",
                             "fennaro-recover acquire [--deep]\n",
                             "fennaro-recover export [--deep] CONTACTS_DB SMS_DB OUT_FOLDER\n"})
        EXPECT_NE(help.out.find(line), std::string::npos) << line;

    // A text that cannot be written is a failure, and says so.
    test::RunOptions full;
    full.stdoutPath = "/dev/full";
    const ProgramRun lost = runRecover({"--version"}, full);
    EXPECT_EQ(lost.status, 1);
    EXPECT_EQ(lost.err, "fennaro-recover: standard output: No space left on device\n");

    // Wrong command lines still get the usage text on standard error.
    const ProgramRun wrong = runRecover({"--versions"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err.rfind("usage:\n", 0), 0u);
}

TEST(InfoOptionsTest, TheWindowProgramGoesOnUnlessAskedForInformation) {
    char program[] = "quillmet-fennaro";
    char platform[] = "-platform";
    char help[] = "--help";
    char* plain[] = {program, nullptr};
    char* qtOption[] = {program, platform, help, nullptr};
    // Only a first argument of --help or --version is taken; Qt's own options pass.
    EXPECT_EQ(handleInfoOption(1, plain, "quillmet-fennaro", windowHelpText()), std::nullopt);
    EXPECT_EQ(handleInfoOption(3, qtOption, "quillmet-fennaro", windowHelpText()), std::nullopt);
    EXPECT_EQ(versionText("quillmet-fennaro").rfind("quillmet-fennaro 1.5.0.0\n", 0), 0u);
    EXPECT_NE(windowHelpText().find("--version"), std::string_view::npos);
}

// Options go before, between or after the operands, as GNU getopt lets
// them; "--" ends them, and a word after it is a file even when it looks
// like an option. A value option without its value is still a wrong line.
TEST_F(CommandLineTest, OptionsMayStandAnywhereOnTheLine) {
    const ProgramRun first = runRecover({"list", "--deep", "contacts", contactsDb, smsDb});
    ASSERT_EQ(first.status, 0);
    ASSERT_NE(first.out, "");
    const std::vector<std::vector<std::string>> sameLines = {
        {"list", "contacts", contactsDb, smsDb, "--deep"},
        {"--deep", "list", "contacts", contactsDb, smsDb},
        {"list", "contacts", contactsDb, "--deep", "--", smsDb}};
    for (const auto& words : sameLines) {
        const ProgramRun run = runRecover(words);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, first.out);
    }
    const ProgramRun dashed = runRecover({"list", "contacts", "--", "-no-such.db", smsDb});
    EXPECT_EQ(dashed.status, 1);
    EXPECT_EQ(dashed.err, "fennaro-recover: ./-no-such.db: No such file or directory\n");
    EXPECT_EQ(runRecover({"list", "--deep", "calls", contactsDb, "--calllog"}).status, 2);
    EXPECT_EQ(runRecover({"list", "contacts", contactsDb, smsDb, "--bogus"}).status, 2);
    EXPECT_EQ(runRecover({"--deep"}).status, 2);
}

TEST_F(CommandLineTest, EveryCommandNamesTheFileItCannotReadAndWhy) {
    const std::string missing = dir.file("no-such.db");
    const std::string pipe = dir.file("pipe.db");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    for (const auto& words : kReadingCommands) {
        expectRefused(words, missing, smsDb,
                      "fennaro-recover: " + missing + ": No such file or directory\n");
        // A folder where a copy should be, and a pipe that would hold the
        // program up: both named, each with its own reason.
        expectRefused(words, dir.path().string(), pipe,
                      "fennaro-recover: " + dir.path().string() +
                          ": Is a directory\nfennaro-recover: " + pipe + ": Not a regular file\n");
    }
    // Nothing was exported from the refused runs.
    EXPECT_EQ(test::entriesBelow(dir.path()),
              (std::vector<std::string>{"contacts2.db", "mmssms.db", "pipe.db"}));
}

TEST_F(CommandLineTest, AFileTheUserMayNotReadIsRefused) {
    if (!test::permissionsBind())
        GTEST_SKIP() << "cannot run the program as a user without root's rights";
    ASSERT_EQ(::chmod(smsDb.c_str(), 0200), 0);
    test::RunOptions asUser;
    asUser.asUser = true;
    for (const auto& words : kReadingCommands)
        expectRefused(words, contactsDb, smsDb,
                      "fennaro-recover: " + smsDb + ": Permission denied\n", asUser);
}

TEST_F(CommandLineTest, BytesThatAreNoDatabaseAreNamedAndTheCommandRunsOn) {
    const std::string text = dir.file("notes.txt");
    std::ofstream(text) << "not a database, just some notes\n";
    const std::string notSqlite =
        "fennaro-recover: warning: " + text + ": not an SQLite database\n";

    // The engine finds nothing in such bytes and says nothing more.
    for (const char* category : {"contacts", "sms"}) {
        const ProgramRun carve = runRecover({"carve", category, text, text});
        EXPECT_EQ(carve.status, 0);
        EXPECT_EQ(carve.out, "");
        EXPECT_EQ(carve.err, notSqlite + notSqlite);
    }

    // list and export go on with the copy that is a database; /dev/null, the
    // stand-in for a copy that never arrived, is an empty file.
    const ProgramRun list = runRecover({"list", "messages", text, smsDb});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.err, notSqlite);
    EXPECT_FALSE(list.out.empty());
    const ProgramRun standIn = runRecover({"list", "messages", "/dev/null", smsDb});
    EXPECT_EQ(standIn.status, 0);
    EXPECT_EQ(standIn.err, "fennaro-recover: warning: /dev/null: empty file, no database in it\n");
    EXPECT_EQ(standIn.out, list.out);

    const std::string out = dir.file("out");
    std::filesystem::create_directory(out);
    const ProgramRun exported = runRecover({"export", text, smsDb, out});
    EXPECT_EQ(exported.status, 0);
    EXPECT_EQ(exported.err, notSqlite);
    EXPECT_EQ(exported.out.rfind("Recovering finished, ", 0), 0u) << exported.out;
    EXPECT_FALSE(test::entriesBelow(out).empty());
}

} // namespace
} // namespace fennaro
