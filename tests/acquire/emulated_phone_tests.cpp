// Whole acquisitions through our helper and the real adb client against the
// emulated phone on a loopback port. Each test runs its own adb server on its
// own port and kills it at the end.
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <random>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "acquire_worker.h"
#include "file_ops.h"
#include "process_list.h"
#include "process_run.h"
#include "test_support.h"

using namespace fennaro;
using namespace std::chrono_literals;

namespace {

const std::string kHelperDir = FENNARO_HELPER_DIR;

// The first "adb" on PATH, empty when there is none.
std::string findAdb() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/adb";
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// A loopback TCP port nobody listens on at the moment.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Bytes that look like nothing in particular, so a misplaced chunk shows.
std::string noise(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

struct CountingListener : AcquireListener {
    int calls = 0;
    void acquireDone() override { ++calls; }
};

class EmulatedPhone : public ::testing::Test {
  protected:
    void SetUp() override {
        m_adb = findAdb();
        if (m_adb.empty())
            GTEST_SKIP() << "no adb client installed";
        m_phoneRoot = m_tmp.path() + "/phone";
        m_home = m_tmp.path() + "/user home";
        std::filesystem::create_directories(m_home);
        m_contacts = noise(700 * 1024 + 13, 1);
        m_sms = noise(90 * 1024 + 7, 2);
    }

    void TearDown() override {
        if (m_serverStarted)
            platform::runHidden({m_adb, "kill-server"}, 10s);
        if (m_phonePid > 0) {
            ::kill(m_phonePid, SIGKILL);
            ::waitpid(m_phonePid, nullptr, 0);
        }
        for (auto& [name, value] : m_savedEnv) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

    // Puts a database on the phone at its usual place.
    void putOnPhone(const std::string& phonePath, const std::string& bytes) {
        std::filesystem::path file = m_phoneRoot + phonePath;
        std::filesystem::create_directories(file.parent_path());
        test::writeFile(file.string(), bytes);
    }

    // Starts the phone and connects a private adb server to it; the helper
    // and adb inherit the port, serial and home set here.
    void startAndConnect(bool rooted, bool silent = false) {
        std::filesystem::create_directories(m_phoneRoot);
        std::string portFile = m_tmp.path() + "/port";
        std::vector<std::string> args{"--root", m_phoneRoot,   "--port-file",
                                      portFile, "--idle-exit", "60"};
        if (!rooted)
            args.push_back("--no-root");
        if (silent)
            args.push_back("--silent");
        m_phonePid = test::startBackground(FENNARO_ADB_PHONE, args);
        ASSERT_TRUE(test::waitForFile(portFile, 10000));
        std::string serial =
            "127.0.0.1:" + std::to_string(std::atoi(test::readFile(portFile).c_str()));

        setEnv("ANDROID_ADB_SERVER_PORT", std::to_string(freePort()));
        setEnv("ANDROID_SERIAL", serial);
        setEnv("HOME", m_home);
        std::string log = m_tmp.path() + "/adb.log";
        m_serverStarted = true;
        std::string connect = "'" + m_adb + "' connect " + serial + " > '" + log + "' 2>&1";
        if (silent) {
            // The client waits long for a handshake that never comes; the
            // server keeps the connection (offline) when the client is cut off.
            platform::runHidden({m_adb, "connect", serial}, 1500ms);
            return;
        }
        ASSERT_EQ(std::system(connect.c_str()), 0) << test::readFile(log);
        auto ready = platform::runHidden({m_adb, "wait-for-device"}, 10s);
        ASSERT_EQ(ready.outcome, platform::RunOutcome::Exited);
        ASSERT_EQ(ready.exitStatus, 0);
    }

    // One acquisition as the window runs it, without the start delay.
    ArrivedCopies acquire() {
        CountingListener listener;
        AcquireJob job{kHelperDir, localDbPaths(m_home), 0ms, {}, &listener, nullptr};
        acquireThreadProc(job);
        EXPECT_EQ(listener.calls, 1);
        return checkArrivedCopies(job.paths);
    }

    LocalDbPaths paths() const { return localDbPaths(m_home); }

    void setEnv(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        if (!m_savedEnv.count(name))
            m_savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    test::TempFolder m_tmp;
    std::string m_adb, m_phoneRoot, m_home, m_contacts, m_sms;
    pid_t m_phonePid = 0;
    bool m_serverStarted = false;
    std::map<std::string, std::optional<std::string>> m_savedEnv;
};

} // namespace

TEST_F(EmulatedPhone, RootedPhoneGivesBothCopiesByteForByte) {
    putOnPhone(kPhoneContactsDb, m_contacts);
    putOnPhone(kPhoneSmsDb, m_sms);
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));

    ArrivedCopies arrived = acquire();
    EXPECT_TRUE(arrived.contacts);
    EXPECT_TRUE(arrived.sms);
    EXPECT_TRUE(test::readFile(paths().localContactsDb) == m_contacts);
    EXPECT_TRUE(test::readFile(paths().localSmsDb) == m_sms);
    EXPECT_TRUE(platform::findProcessesByFileName(kHelperFileName).empty());
}

TEST_F(EmulatedPhone, PhoneWithoutRootGivesNothing) {
    putOnPhone(kPhoneContactsDb, m_contacts);
    putOnPhone(kPhoneSmsDb, m_sms);
    ASSERT_NO_FATAL_FAILURE(startAndConnect(false));

    EXPECT_FALSE(acquire().any());
    EXPECT_FALSE(platform::fileExists(paths().localContactsDb));
    EXPECT_FALSE(platform::fileExists(paths().localSmsDb));
}

TEST_F(EmulatedPhone, NoPhoneConnectedGivesNothing) {
    setEnv("ANDROID_ADB_SERVER_PORT", std::to_string(freePort()));
    setEnv("ANDROID_SERIAL", "127.0.0.1:" + std::to_string(freePort()));
    setEnv("HOME", m_home);
    m_serverStarted = true;
    EXPECT_FALSE(acquire().any());
}

TEST_F(EmulatedPhone, OfflinePhoneGivesNothing) {
    putOnPhone(kPhoneContactsDb, m_contacts);
    putOnPhone(kPhoneSmsDb, m_sms);
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true, true));
    std::string devices = m_tmp.path() + "/devices";
    std::system(("'" + m_adb + "' devices > '" + devices + "'").c_str());
    EXPECT_NE(test::readFile(devices).find("offline"), std::string::npos);
    EXPECT_FALSE(acquire().any());
}

TEST_F(EmulatedPhone, CommandLineReportsEachCopy) {
    // A phone that holds only the messages database: loading goes ahead with
    // messages alone, so the acquisition counts as done.
    putOnPhone(kPhoneSmsDb, m_sms);
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));

    // The command finds the helper beside itself and puts the copies below HOME.
    std::string out = m_tmp.path() + "/out";
    std::string command = "'" + std::string(FENNARO_RECOVER) + "' acquire > '" + out + "'";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::readFile(out),
              paths().localContactsDb + "\tmissing\n" + paths().localSmsDb + "\tarrived\n");
    EXPECT_TRUE(test::readFile(paths().localSmsDb) == m_sms);

    // With nothing on the phone, nothing arrives and the status says so.
    std::filesystem::remove(m_phoneRoot + kPhoneSmsDb);
    status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(test::readFile(out),
              paths().localContactsDb + "\tmissing\n" + paths().localSmsDb + "\tmissing\n");
}

TEST(DemoPhone, AcquisitionPullsTheSampleDatabases) {
    test::TempFolder home;
    CountingListener listener;
    AcquireJob job{FENNARO_DEMO_DIR, localDbPaths(home.path()), 0ms, {}, &listener, nullptr};
    acquireThreadProc(job);
    EXPECT_EQ(listener.calls, 1);
    ArrivedCopies arrived = checkArrivedCopies(job.paths);
    EXPECT_TRUE(arrived.contacts);
    EXPECT_TRUE(arrived.sms);
    std::string phone = std::string(FENNARO_DEMO_DIR) + "/demo-phone/";
    std::string contacts = test::readFile(phone + "contacts2.db");
    EXPECT_GT(contacts.size(), 4096u);
    EXPECT_TRUE(test::readFile(job.paths.localContactsDb) == contacts);
    EXPECT_TRUE(test::readFile(job.paths.localSmsDb) == test::readFile(phone + "mmssms.db"));
}
