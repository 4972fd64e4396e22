// The process and file layer: hidden runs with a time limit, and the private
// copy folders.
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "file_ops.h"
#include "process_list.h"
#include "process_run.h"
#include "program_paths.h"
#include "test_support.h"

using namespace fennaro;
using namespace std::chrono_literals;
using platform::RunOutcome;

TEST(RunHidden, PassesArgumentsUnsplitAndReportsExitStatus) {
    test::TempFolder tmp;
    std::string out = tmp.path() + "/args";
    std::string script = tmp.path() + "/record args";
    test::writeFile(script,
                    "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$1\"\n"
                    "echo to stderr >&2\nexit 3\n",
                    true);
    std::string tricky = tmp.path() + "/my folder/$(touch pwned); rm -rf x 'q' \"d\" *";
    auto result = platform::runHidden({script, out, "two words", tricky}, 5000ms);
    EXPECT_EQ(result.outcome, RunOutcome::Exited);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(test::readFile(out), "[" + out + "]\n[two words]\n[" + tricky + "]\n");
    EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST(RunHidden, MissingOrUnrunnableProgramIsNotStarted) {
    test::TempFolder tmp;
    EXPECT_EQ(platform::runHidden({tmp.path() + "/absent"}, 1000ms).outcome,
              RunOutcome::NotStarted);
    test::writeFile(tmp.path() + "/plain", "not a program", false);
    EXPECT_EQ(platform::runHidden({tmp.path() + "/plain"}, 1000ms).outcome, RunOutcome::NotStarted);
    EXPECT_EQ(platform::runHidden({}, 1000ms).outcome, RunOutcome::NotStarted);
}

TEST(RunHidden, KillsProgramAndItsChildrenAtTheLimit) {
    test::TempFolder tmp;
    std::string script = tmp.path() + "/hang";
    std::string childPid = tmp.path() + "/child.pid";
    test::writeFile(script, "#!/bin/sh\nsleep 60 &\necho $! > \"$1\"\nwait\n", true);
    auto start = std::chrono::steady_clock::now();
    auto result = platform::runHidden({script, childPid}, 300ms);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, RunOutcome::TimedOut);
    EXPECT_GE(elapsed, 300ms);
    EXPECT_LT(elapsed, 10s);
    pid_t child = test::pidFromFile(childPid);
    ASSERT_GT(child, 0);
    // The orphaned sleep is reaped by init; give that a moment.
    for (int i = 0; i < 100 && test::processAlive(child); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(test::processAlive(child));
}

TEST(ProcessList, FindsProcessesByProgramFileNameIgnoringCase) {
    test::TempFolder tmp;
    std::string lookalike = tmp.path() + "/Fennaro-Test-Sleeper";
    std::string other = tmp.path() + "/fennaro-test-sleeper.bak";
    std::filesystem::copy_file("/bin/sleep", lookalike);
    std::filesystem::copy_file("/bin/sleep", other);
    pid_t target = test::startBackground(lookalike, {"60"});
    pid_t bystander = test::startBackground(other, {"60"});
    std::this_thread::sleep_for(100ms);

    auto found = platform::findProcessesByFileName("FENNARO-TEST-SLEEPER");
    EXPECT_EQ(found, std::vector<pid_t>{target});
    EXPECT_TRUE(platform::killProcessesByFileName("fennaro-test-sleeper"));
    int status = 0;
    ASSERT_EQ(::waitpid(target, &status, 0), target);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(test::processAlive(bystander));
    EXPECT_FALSE(platform::killProcessesByFileName("fennaro-test-sleeper"));

    ::kill(bystander, SIGKILL);
    ::waitpid(bystander, &status, 0);
}

TEST(ProgramPaths, ProgramFolderHoldsThisTest) {
    std::string folder = platform::programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(platform::fileExists(folder + "/" + platform::processFileName(::getpid())));
    EXPECT_FALSE(platform::homeFolder().empty());
}

TEST(PrivateFolder, CreatedOrTightenedToOwnerOnly) {
    test::TempFolder tmp;
    std::string fresh = tmp.path() + "/fresh";
    ASSERT_TRUE(platform::createPrivateFolder(fresh));
    struct stat st;
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    std::string open = tmp.path() + "/open";
    ::mkdir(open.c_str(), 0755);
    ::chmod(open.c_str(), 0755);
    test::writeFile(open + "/kept", "x");
    ASSERT_TRUE(platform::createPrivateFolder(open));
    ASSERT_EQ(::stat(open.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(platform::fileExists(open + "/kept"));

    test::writeFile(tmp.path() + "/file", "x");
    EXPECT_FALSE(platform::createPrivateFolder(tmp.path() + "/file"));
    EXPECT_FALSE(platform::createPrivateFolder(tmp.path() + "/no/such/parent"));
}

TEST(StopSignal, WakesWaitersAtOnceAndStaysRequested) {
    platform::StopSignal stop;
    EXPECT_FALSE(stop.requested());
    EXPECT_FALSE(stop.waitFor(20ms));
    int ran = 0;
    EXPECT_TRUE(stop.runUnlessRequested([&] { ++ran; }));

    auto start = std::chrono::steady_clock::now();
    std::thread requester([&] {
        std::this_thread::sleep_for(100ms);
        stop.request();
    });
    EXPECT_TRUE(stop.waitFor(60s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    requester.join();
    EXPECT_TRUE(stop.requested());
    EXPECT_TRUE(stop.waitFor(0ms));
    EXPECT_FALSE(stop.runUnlessRequested([&] { ++ran; }));
    EXPECT_EQ(ran, 1);
}

TEST(RunHidden, StopKillsTheProgramGroupAndSaysSo) {
    test::TempFolder tmp;
    std::string script = tmp.path() + "/hang";
    std::string childPid = tmp.path() + "/child.pid";
    test::writeFile(script, "#!/bin/sh\nsleep 60 &\necho $! > \"$1\"\nwait\n", true);
    platform::StopSignal stop;
    std::thread requester([&] {
        test::waitForLine(childPid, 5000);
        stop.request();
    });
    auto start = std::chrono::steady_clock::now();
    auto result = platform::runHidden({script, childPid}, 60s, &stop);
    auto elapsed = std::chrono::steady_clock::now() - start;
    requester.join();
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_LT(elapsed, 5s);
    pid_t child = test::pidFromFile(childPid);
    ASSERT_GT(child, 0);
    for (int i = 0; i < 100 && test::processAlive(child); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(test::processAlive(child));

    // Once stopped, nothing more is started.
    EXPECT_EQ(platform::runHidden({script, tmp.path() + "/again"}, 60s, &stop).outcome,
              RunOutcome::Stopped);
    EXPECT_FALSE(platform::fileExists(tmp.path() + "/again"));
}

TEST(RunHidden, OutputGoesToAFileOrIsCollectedUpToTheLimit) {
    test::TempFolder tmp;
    std::string script = tmp.path() + "/talk";
    test::writeFile(script, "#!/bin/sh\nprintf 'out\\0put'\necho err >&2\nexit \"$1\"\n", true);

    std::string file = tmp.path() + "/stdout";
    auto result = platform::runHiddenToFile({script, "4"}, 5s, file);
    EXPECT_EQ(result.outcome, RunOutcome::Exited);
    EXPECT_EQ(result.exitStatus, 4);
    EXPECT_EQ(test::readFile(file), std::string("out\0put", 7));
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    std::string text = "stale";
    result = platform::runHiddenCapture({script, "0"}, 5s, text);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(text, std::string("out\0put", 7));

    // A flood is read to its end and cut at the limit.
    test::writeFile(script, "#!/bin/sh\nhead -c 1000000 /dev/zero\n", true);
    result = platform::runHiddenCapture({script}, 10s, text);
    EXPECT_EQ(result.outcome, RunOutcome::Exited);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(text.size(), platform::kCaptureLimit);

    // An output file that cannot be made starts nothing, and a link planted
    // where it should go is not followed.
    EXPECT_EQ(platform::runHiddenToFile({script}, 5s, tmp.path() + "/no/such/file").outcome,
              RunOutcome::NotStarted);
    std::filesystem::create_symlink(tmp.path() + "/target", tmp.path() + "/link");
    EXPECT_EQ(platform::runHiddenToFile({script}, 5s, tmp.path() + "/link").outcome,
              RunOutcome::NotStarted);
    EXPECT_FALSE(platform::fileExists(tmp.path() + "/target"));
}
