// fennaro-recover list as a script sees it: wrong arguments, rows of both
// categories in list order, and texts that are not UTF-8.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "test_db.h"

namespace fennaro {
namespace {

using test::kContactsSchema;
using test::kMimeTypeRows;
using test::kSmsSchema;
using test::makeDatabase;

// The exit status and standard output of one run of the program.
struct ProgramRun {
    int status = -1;
    std::string out;
};

// Runs fennaro-recover with the given argument text (already quoted).
ProgramRun runProgram(const std::string& arguments, const test::ScratchDir& dir) {
    const std::string outPath = dir.file("out.txt");
    const std::string command = std::string("'") + FENNARO_RECOVER_PATH + "' " + arguments + " >'" +
                                outPath + "' 2>/dev/null";
    ProgramRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(outPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    run.out = text.str();
    return run;
}

TEST(ListCommandTest, WrongArgumentsGiveTheUsageStatus) {
    test::ScratchDir dir;
    EXPECT_EQ(runProgram("list", dir).status, 2);
    EXPECT_EQ(runProgram("list contacts a.db", dir).status, 2);
    EXPECT_EQ(runProgram("list calls a.db b.db", dir).status, 2);
    EXPECT_EQ(runProgram("list contacts a.db b.db c.db", dir).status, 2);
}

TEST(ListCommandTest, PrintsTheRowsOfEachCategory) {
    test::ScratchDir dir;
    const std::string contactsDb = dir.file("contacts2.db");
    const std::string smsDb = dir.file("mmssms.db");
    makeDatabase(contactsDb, std::string(kContactsSchema) + kMimeTypeRows + R"sql(
        INSERT INTO raw_contacts (_id, display_name, display_name_source) VALUES
            (1, 'Ann', 40), (2, 'B' || X'FF' || 'b', 20), (3, NULL, 0);
        INSERT INTO data (mimetype_id, raw_contact_id, data1, data2) VALUES
            (5, 1, '555', '2'), (4, 1, 'ACME', '1'), (1, 1, 'ann@x.org', '1'),
            (5, 2, '777', '17');
    )sql");
    makeDatabase(smsDb, std::string(kSmsSchema) + R"sql(
        INSERT INTO threads (_id) VALUES (1), (2), (3);
        INSERT INTO sms (thread_id, address, person, date, type, body) VALUES
            (1, '555', 1, 5, 1, 'hi'), (2, '888', 0, 5, 1, 'yo'), (2, '999', 1, 9, 2, 'x');
    )sql");

    const ProgramRun contacts =
        runProgram("list contacts '" + contactsDb + "' '" + smsDb + "'", dir);
    EXPECT_EQ(contacts.status, 0);
    EXPECT_EQ(contacts.out, "live\tAnn\t555\tACME\tann@x.org\n"
                            "live\tB\xEF\xBF\xBD"
                            "b\t777\t\t\n"
                            "live\t\t\t\t\n");

    const ProgramRun messages =
        runProgram("list messages '" + contactsDb + "' '" + smsDb + "'", dir);
    EXPECT_EQ(messages.status, 0);
    EXPECT_EQ(messages.out, "live\tAnn\t555\n"
                            "live\t\t888\n"
                            "live\t\t\n");

    // Missing copies: nothing to show, and a failure, so a wrong path is not
    // taken for an empty phone.
    const ProgramRun missing =
        runProgram("list messages '" + dir.file("none") + "' '" + dir.file("none2") + "'", dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
}

} // namespace
} // namespace fennaro
