// Our helper program around the adb client: arguments and exit status pass
// through, and adb never outlives the helper.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

#include "helper_commands.h"
#include "process_run.h"
#include "test_support.h"

using namespace fennaro;
using namespace std::chrono_literals;

namespace {

const std::string kHelper = std::string(FENNARO_HELPER_DIR) + "/" + kHelperFileName;

// Puts a scripted "adb" first on PATH for the life of the object.
class FakeAdb {
  public:
    explicit FakeAdb(const std::string& body) {
        test::writeFile(m_bin.path() + "/adb", "#!/bin/sh\ndir=$(dirname \"$0\")\n" + body, true);
        const char* path = std::getenv("PATH");
        m_oldPath = path ? path : "/usr/bin:/bin";
        ::setenv("PATH", (m_bin.path() + ":" + m_oldPath).c_str(), 1);
    }
    ~FakeAdb() { ::setenv("PATH", m_oldPath.c_str(), 1); }
    std::string file(const std::string& name) const { return m_bin.path() + "/" + name; }

  private:
    test::TempFolder m_bin;
    std::string m_oldPath;
};

// Waits up to five seconds for pid to be gone.
bool endsSoon(pid_t pid) {
    for (int i = 0; i < 500 && test::processAlive(pid); ++i)
        std::this_thread::sleep_for(10ms);
    return !test::processAlive(pid);
}

} // namespace

TEST(AdbHelper, PassesArgumentsAndExitStatusThrough) {
    FakeAdb adb("for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$dir/args\"\nexit 5\n");
    auto result = platform::runHidden({kHelper, "pull", "/data/x.db", "/home/a b/x.db"}, 10s);
    EXPECT_EQ(result.outcome, platform::RunOutcome::Exited);
    EXPECT_EQ(result.exitStatus, 5);
    EXPECT_EQ(test::readFile(adb.file("args")), "[pull][/data/x.db][/home/a b/x.db]");
}

TEST(AdbHelper, NoAdbOnTheMachineIsAFailedCommand) {
    test::TempFolder empty;
    const char* path = std::getenv("PATH");
    std::string oldPath = path ? path : "/usr/bin:/bin";
    ::setenv("PATH", empty.path().c_str(), 1);
    auto result = platform::runHidden({kHelper, "pull", "/data/x.db", empty.path() + "/x.db"}, 10s);
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(result.outcome, platform::RunOutcome::Exited);
    EXPECT_EQ(result.exitStatus, 127);
}

TEST(AdbHelper, AdbDiesWithTheHelper) {
    FakeAdb adb("echo $$ > \"$dir/pid\"\nexec sleep 60\n");

    // Cut off at a time limit: the whole helper group goes.
    auto result = platform::runHidden({kHelper, "pull", "x", "y"}, 500ms);
    EXPECT_EQ(result.outcome, platform::RunOutcome::TimedOut);
    pid_t first = test::pidFromFile(adb.file("pid"));
    ASSERT_GT(first, 0);
    EXPECT_TRUE(endsSoon(first));

    // Killed alone, as killHelperProcesses does: adb follows.
    std::remove(adb.file("pid").c_str());
    pid_t helper = test::startBackground(kHelper, {"pull", "x", "y"});
    ASSERT_TRUE(test::waitForFile(adb.file("pid"), 5000));
    std::this_thread::sleep_for(50ms);
    pid_t second = test::pidFromFile(adb.file("pid"));
    ASSERT_GT(second, 0);
    ::kill(helper, SIGKILL);
    ::waitpid(helper, nullptr, 0);
    EXPECT_TRUE(endsSoon(second));

    // Asked to end: it passes the request on and ends with adb.
    std::remove(adb.file("pid").c_str());
    helper = test::startBackground(kHelper, {"pull", "x", "y"});
    ASSERT_TRUE(test::waitForFile(adb.file("pid"), 5000));
    std::this_thread::sleep_for(50ms);
    pid_t third = test::pidFromFile(adb.file("pid"));
    ::kill(helper, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(helper, &status, 0), helper);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_TRUE(endsSoon(third));
}
