// The four helper commands and the acquisition worker, run against scripted
// stand-ins for the helper.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "acquire_worker.h"
#include "file_ops.h"
#include "process_list.h"
#include "test_support.h"

using namespace fennaro;
using namespace std::chrono_literals;

namespace {

struct CountingListener : AcquireListener {
    std::atomic<int> calls{0};
    void acquireDone() override { ++calls; }
};

// A scripted helper in folder: logs its arguments, answers "pull REMOTE
// LOCAL" by copying phone/<base name of REMOTE> to LOCAL, everything else
// with body (shell code; empty means success).
void writeScriptedHelper(const std::string& folder, const std::string& body = {}) {
    test::writeFile(folder + "/" + kHelperFileName,
                    "#!/bin/sh\n"
                    "dir=$(dirname \"$0\")\n"
                    "for a in \"$@\"; do printf '[%s]' \"$a\"; done >> \"$dir/log\"\n"
                    "echo >> \"$dir/log\"\n"
                    "echo noise >&2\n" +
                        body +
                        "\nif [ \"$1\" = pull ]; then\n"
                        "  cp \"$dir/phone/$(basename \"$2\")\" \"$3\" || exit 1\n"
                        "fi\n",
                    true);
}

// Folder mode bits of path.
unsigned modeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

} // namespace

TEST(HelperCommands, LinesFollowTheFixedTableForAFolderWithBlanks) {
    const std::string folder = "/opt/My Programs/Quillmet Fennaro (x86)";
    const LocalDbPaths paths = localDbPaths("/home/ann lee/");
    EXPECT_EQ(paths.localContactsDb, "/home/ann lee/Quillmet/contacts2.db");
    EXPECT_EQ(paths.localSmsDb, "/home/ann lee/quillmet-fennaro/mmssms.db");

    auto commands = helperCommands(folder, paths);
    ASSERT_EQ(commands.size(), 4u);
    const std::string helper = folder + "/quillmet-fennaro-adb-help.exe";
    EXPECT_EQ(commands[0].commandLine(),
              helper + " shell su root chmod 777 "
                       "/data/data/com.android.providers.contacts/databases/contacts2.db");
    EXPECT_EQ(commands[1].commandLine(),
              helper + " shell su root chmod 777 "
                       "/data/data/com.android.providers.telephony/databases/mmssms.db");
    EXPECT_EQ(commands[2].commandLine(),
              helper + " pull /data/data/com.android.providers.telephony/databases/mmssms.db " +
                  paths.localSmsDb);
    EXPECT_EQ(commands[3].commandLine(),
              helper + " pull /data/data/com.android.providers.contacts/databases/contacts2.db " +
                  paths.localContactsDb);

    // As argument vectors: the helper's path and the local paths stay whole.
    EXPECT_EQ(commands[0].argv,
              (std::vector<std::string>{
                  helper, "shell", "su", "root", "chmod", "777",
                  "/data/data/com.android.providers.contacts/databases/contacts2.db"}));
    EXPECT_EQ(commands[2].argv,
              (std::vector<std::string>{
                  helper, "pull", "/data/data/com.android.providers.telephony/databases/mmssms.db",
                  paths.localSmsDb}));
    EXPECT_EQ(commands[3].argv.back(), paths.localContactsDb);

    EXPECT_EQ(commands[0].limit, 3000ms);
    EXPECT_EQ(commands[1].limit, 3000ms);
    EXPECT_EQ(commands[2].limit, 120000ms);
    EXPECT_EQ(commands[3].limit, 120000ms);
    EXPECT_TRUE(commands[0].copyPath.empty());
    EXPECT_EQ(commands[2].copyPath, paths.localSmsDb);
    EXPECT_EQ(commands[3].copyPath, paths.localContactsDb);

    EXPECT_EQ(localDbPaths("/").localSmsDb, "/quillmet-fennaro/mmssms.db");
}

TEST(RunHelperCommand, MissingHelperIsNotStarted) {
    test::TempFolder tmp;
    auto commands = helperCommands(tmp.path(), localDbPaths(tmp.path()));
    EXPECT_EQ(runHelperCommand(commands[0]), 0);
    EXPECT_EQ(runHelperCommand(commands[2]), 0);
}

TEST(RunHelperCommand, PullCutOffOrFailedLeavesNoCopy) {
    test::TempFolder tmp;
    HelperLimits limits{200ms, 300ms};
    LocalDbPaths paths = localDbPaths(tmp.path());
    ASSERT_TRUE(prepareCopyFolders(paths));
    auto commands = helperCommands(tmp.path(), paths, limits);
    const std::string helper = tmp.path() + "/" + kHelperFileName;

    // Writes part of the copy, then stalls.
    test::writeFile(helper, "#!/bin/sh\necho partial > \"$3\"\nexec sleep 60\n", true);
    EXPECT_EQ(runHelperCommand(commands[2]), 1);
    EXPECT_FALSE(platform::fileExists(paths.localSmsDb));

    // Writes part of the copy, then reports failure.
    test::writeFile(helper, "#!/bin/sh\necho partial > \"$3\"\nexit 1\n", true);
    EXPECT_EQ(runHelperCommand(commands[3]), 1);
    EXPECT_FALSE(platform::fileExists(paths.localContactsDb));

    // A whole copy stays.
    test::writeFile(helper, "#!/bin/sh\necho whole > \"$3\"\n", true);
    EXPECT_EQ(runHelperCommand(commands[3]), 1);
    EXPECT_EQ(test::readFile(paths.localContactsDb), "whole\n");

    // A permission command cut off touches no copy.
    test::writeFile(helper, "#!/bin/sh\nexec sleep 60\n", true);
    EXPECT_EQ(runHelperCommand(commands[0]), 1);
    EXPECT_TRUE(platform::fileExists(paths.localContactsDb));
}

TEST(AcquireThreadProc, RunsFourCommandsInOrderIntoPrivateFolders) {
    test::TempFolder program, home;
    writeScriptedHelper(program.path());
    std::filesystem::create_directory(program.path() + "/phone");
    test::writeFile(program.path() + "/phone/contacts2.db", "contacts bytes");
    test::writeFile(program.path() + "/phone/mmssms.db", "sms bytes");

    CountingListener listener;
    AcquireJob job;
    job.programFolder = program.path();
    job.paths = localDbPaths(home.path() + "/with blank");
    std::filesystem::create_directory(home.path() + "/with blank");
    job.startDelay = 0ms;
    job.listener = &listener;
    EXPECT_EQ(acquireThreadProc(job), 1);
    EXPECT_EQ(listener.calls, 1);

    const std::string c = "/data/data/com.android.providers.contacts/databases/contacts2.db";
    const std::string s = "/data/data/com.android.providers.telephony/databases/mmssms.db";
    EXPECT_EQ(test::readFile(program.path() + "/log"),
              "[shell][su][root][chmod][777][" + c + "]\n" + "[shell][su][root][chmod][777][" + s +
                  "]\n" + "[pull][" + s + "][" + job.paths.localSmsDb + "]\n" + "[pull][" + c +
                  "][" + job.paths.localContactsDb + "]\n");
    ArrivedCopies arrived = checkArrivedCopies(job.paths);
    EXPECT_TRUE(arrived.contacts);
    EXPECT_TRUE(arrived.sms);
    EXPECT_EQ(test::readFile(job.paths.localSmsDb), "sms bytes");
    EXPECT_EQ(modeOf(platform::parentFolder(job.paths.localContactsDb)), 0700u);
    EXPECT_EQ(modeOf(platform::parentFolder(job.paths.localSmsDb)), 0700u);

    deleteStaleCopies(job.paths);
    EXPECT_FALSE(checkArrivedCopies(job.paths).any());
}

TEST(AcquireThreadProc, FolderThatCannotBeMadeOnlyLosesItsCopy) {
    test::TempFolder program, home;
    writeScriptedHelper(program.path());
    std::filesystem::create_directory(program.path() + "/phone");
    test::writeFile(program.path() + "/phone/contacts2.db", "contacts bytes");
    test::writeFile(program.path() + "/phone/mmssms.db", "sms bytes");
    test::writeFile(home.path() + "/Quillmet", "a file where the folder should be");

    AcquireJob job;
    job.programFolder = program.path();
    job.paths = localDbPaths(home.path());
    job.startDelay = 0ms;
    acquireThreadProc(job);
    ArrivedCopies arrived = checkArrivedCopies(job.paths);
    EXPECT_FALSE(arrived.contacts);
    EXPECT_TRUE(arrived.sms);
    EXPECT_TRUE(arrived.any());
}

TEST(AcquireThreadProc, HangingHelperIsStoppedAtEachLimit) {
    test::TempFolder program, home;
    writeScriptedHelper(program.path(),
                        "echo $$ >> \"$dir/pids\"\n"
                        "[ \"$1\" = pull ] && echo partial > \"$3\"\nexec sleep 60");
    CountingListener listener;
    AcquireJob job{program.path(), localDbPaths(home.path()), 0ms, {100ms, 150ms}, &listener,
                   nullptr};
    acquireThreadProc(job);
    EXPECT_EQ(listener.calls, 1);
    EXPECT_FALSE(checkArrivedCopies(job.paths).any());
    std::istringstream pids(test::readFile(program.path() + "/pids"));
    int count = 0;
    for (pid_t pid; pids >> pid; ++count)
        EXPECT_FALSE(test::processAlive(pid)) << pid;
    EXPECT_EQ(count, 4);
}

TEST(AcquireThreadProc, MissingHelperFailsAfterTheStartDelay) {
    test::TempFolder program, home;
    CountingListener listener;
    AcquireJob job{program.path(), localDbPaths(home.path()), 5000ms, {}, &listener, nullptr};
    auto start = std::chrono::steady_clock::now();
    std::thread worker([&] { acquireThreadProc(job); });
    std::this_thread::sleep_for(4500ms);
    EXPECT_EQ(listener.calls, 0);
    worker.join();
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(listener.calls, 1);
    EXPECT_GE(elapsed, 5000ms);
    EXPECT_LT(elapsed, 15000ms);
    EXPECT_FALSE(checkArrivedCopies(job.paths).any());
}

TEST(AcquireThreadProc, StopEndsTheStartDelayAtOnceAndSilently) {
    test::TempFolder program, home;
    writeScriptedHelper(program.path());
    CountingListener listener;
    AcquireJob job{program.path(), localDbPaths(home.path()),
                   5000ms,         {},
                   &listener,      std::make_shared<platform::StopSignal>()};
    std::thread worker([&] { acquireThreadProc(job); });
    std::this_thread::sleep_for(200ms);
    auto requested = std::chrono::steady_clock::now();
    job.stop->request();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - requested, 1s);
    EXPECT_EQ(listener.calls, 0);
    EXPECT_FALSE(platform::fileExists(program.path() + "/log"));
}

TEST(AcquireThreadProc, StopDuringAPullKillsItKeepsNoCopyAndStartsNothingMore) {
    test::TempFolder program, home;
    writeScriptedHelper(program.path(), "if [ \"$1\" = pull ]; then echo $$ > \"$dir/pid\"; "
                                        "echo partial > \"$3\"; exec sleep 60; fi");
    CountingListener listener;
    AcquireJob job{program.path(),
                   localDbPaths(home.path()),
                   0ms,
                   {},
                   &listener,
                   std::make_shared<platform::StopSignal>()};
    std::thread worker([&] { acquireThreadProc(job); });
    ASSERT_TRUE(test::waitForFile(program.path() + "/pid", 10000));
    ASSERT_TRUE(test::waitForFile(job.paths.localSmsDb, 10000));
    auto requested = std::chrono::steady_clock::now();
    job.stop->request();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - requested, 1s);

    EXPECT_EQ(listener.calls, 0);
    EXPECT_FALSE(test::processAlive(test::pidFromFile(program.path() + "/pid")));
    EXPECT_FALSE(checkArrivedCopies(job.paths).any());
    // Both permission commands and the first pull ran; the second pull never started.
    std::string log = test::readFile(program.path() + "/log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    EXPECT_EQ(log.find(job.paths.localContactsDb), std::string::npos);
}

TEST(KillHelperProcesses, KillsOnlyTheHelpersName) {
    test::TempFolder tmp;
    std::string helper = tmp.path() + "/QUILLMET-Fennaro-ADB-Help.exe";
    std::string other = tmp.path() + "/quillmet-fennaro-adb-help";
    std::filesystem::copy_file("/bin/sleep", helper);
    std::filesystem::copy_file("/bin/sleep", other);
    pid_t leftover = test::startBackground(helper, {"60"});
    pid_t bystander = test::startBackground(other, {"60"});
    std::this_thread::sleep_for(100ms);

    EXPECT_TRUE(killHelperProcesses());
    int status = 0;
    ASSERT_EQ(::waitpid(leftover, &status, 0), leftover);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_TRUE(test::processAlive(bystander));
    EXPECT_FALSE(killHelperProcesses());

    ::kill(bystander, SIGKILL);
    ::waitpid(bystander, &status, 0);
}
