// fennaro-recover export and the folder it writes into: a folder it cannot
// use is refused before anything is written, a run that cannot write every
// record takes its folder back, and progress shows on a terminal only.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <regex>

#include "program_runner.h"
#include "testdata.h"

namespace fennaro {
namespace {

using test::ProgramRun;
using test::runRecover;

// A generated phone and an output folder, in a folder every user may enter.
class ExportOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testdata::PhoneSpec spec;
        spec.contacts = 30;
        spec.messages = 120;
        spec.threads = 8;
        spec.seed = 9;
        testdata::generatePhone(dir.path().string(), spec);
        std::filesystem::create_directory(out);
    }

    // Runs the export into folder.
    ProgramRun exportInto(const std::string& folder, const test::RunOptions& options = {}) {
        return runRecover({"export", contactsDb, smsDb, folder}, options);
    }

    test::OpenScratchDir dir;
    std::string contactsDb = dir.file("contacts2.db");
    std::string smsDb = dir.file("mmssms.db");
    std::string out = dir.file("out");
};

TEST_F(ExportOutputTest, AFolderItCannotUseIsNamedAndNothingIsWritten) {
    const std::string missing = dir.file("missing");
    ProgramRun run = exportInto(missing);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "fennaro-recover: " + missing + ": No such file or directory\n");

    run = exportInto(contactsDb);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "fennaro-recover: " + contactsDb + ": Not a directory\n");

    // A folder the system refuses entries in, whoever asks: the run's own
    // folder is named.
    run = exportInto("/proc");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(
        std::regex_match(run.err, std::regex("fennaro-recover: /proc/Fennaro[0-9]{14}: .+\n")))
        << run.err;

    EXPECT_TRUE(test::entriesBelow(out).empty());
    EXPECT_EQ(test::entriesBelow(dir.path()),
              (std::vector<std::string>{"contacts2.db", "mmssms.db", "out"}));
}

TEST_F(ExportOutputTest, AFolderTheUserMayNotWriteIsRefused) {
    if (!test::permissionsBind())
        GTEST_SKIP() << "cannot run the program as a user without root's rights";
    ASSERT_EQ(::chmod(out.c_str(), 0555), 0);
    test::RunOptions asUser;
    asUser.asUser = true;
    const ProgramRun run = exportInto(out, asUser);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "fennaro-recover: " + out + ": Permission denied\n");
    EXPECT_TRUE(test::entriesBelow(out).empty());
}

TEST_F(ExportOutputTest, ARunThatCannotWriteEveryRecordLeavesNothingBehind) {
    // Files may not grow past 1 KiB: the contacts file fills up half-way.
    test::RunOptions limited;
    limited.fileSizeLimit = 1024;
    const ProgramRun run = exportInto(out, limited);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(std::regex_match(run.err, std::regex("fennaro-recover: " + out +
                                                     "/Fennaro[0-9]{14}: [1-9][0-9]* records could "
                                                     "not be written; the incomplete folder was "
                                                     "removed\n")))
        << run.err;
    EXPECT_TRUE(test::entriesBelow(out).empty());

    // Without the limit the same run writes its folder.
    const ProgramRun whole = exportInto(out);
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(test::entriesBelow(out).size() > 3, true);
}

TEST_F(ExportOutputTest, AnInterruptedRunLeavesNothingBehind) {
    // A phone large enough that its export is still running when Ctrl-C arrives.
    testdata::PhoneSpec spec;
    spec.contacts = 1500;
    spec.messages = 6000;
    spec.threads = 400;
    spec.seed = 11;
    testdata::generatePhone(dir.path().string(), spec);

    // The interrupt follows the run's folder as soon as it appears.
    const int watcher = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(::inotify_add_watch(watcher, out.c_str(), IN_CREATE), 0);
    test::RunningProgram program({"export", contactsDb, smsDb, out});
    pollfd poller{watcher, POLLIN, 0};
    const bool created = ::poll(&poller, 1, 60000) == 1;
    if (created)
        ::kill(program.pid(), SIGINT);
    ::close(watcher);
    const ProgramRun run = program.wait();
    ASSERT_TRUE(created);
    if (run.status == 0)
        GTEST_SKIP() << "the export ended before the interrupt arrived";

    // Ended by the signal, as a shell expects, with its folder taken back.
    EXPECT_EQ(run.signal, SIGINT);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(std::regex_match(run.err, std::regex("fennaro-recover: " + out +
                                                     "/Fennaro[0-9]{14}: interrupted; the "
                                                     "incomplete folder was removed\n")))
        << run.err;
    EXPECT_TRUE(test::entriesBelow(out).empty());
}

TEST_F(ExportOutputTest, ProgressShowsOnATerminalOnly) {
    const ProgramRun quiet = exportInto(out);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");

    test::RunOptions terminal;
    terminal.stderrOnTerminal = true;
    const ProgramRun shown = exportInto(out, terminal);
    EXPECT_EQ(shown.status, 0);
    // The same report on standard output either way.
    EXPECT_EQ(shown.out, quiet.out);
    EXPECT_EQ(shown.err.rfind("\rRecovering:   0%", 0), 0u) << shown.err;
    EXPECT_NE(shown.err.find("\rRecovering:  50%"), std::string::npos) << shown.err;
    // The terminal turns the closing line feed into CR LF.
    EXPECT_TRUE(shown.err.ends_with("\rRecovering: 100%\r\n")) << shown.err;
}

} // namespace
} // namespace fennaro
