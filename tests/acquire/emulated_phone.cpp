#include "emulated_phone.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process_run.h"

using namespace std::chrono_literals;

namespace fennaro::test {

namespace {

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

struct CountingListener : AcquireListener {
    int calls = 0;
    void acquireDone() override { ++calls; }
};

} // namespace

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

void EmulatedPhone::SetUp() {
    m_adb = findAdb();
    if (m_adb.empty())
        GTEST_SKIP() << "no adb client installed";
    m_phoneRoot = m_tmp.path() + "/phone";
    m_home = m_tmp.path() + "/user home";
    m_logFile = m_tmp.path() + "/phone.log";
    std::filesystem::create_directories(m_home);
    m_contacts = noise(700 * 1024 + 13, 1);
    m_sms = noise(90 * 1024 + 7, 2);
}

void EmulatedPhone::TearDown() {
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

void EmulatedPhone::putOnPhone(const std::string& phonePath, const std::string& bytes) {
    std::filesystem::path file = m_phoneRoot + phonePath;
    std::filesystem::create_directories(file.parent_path());
    writeFile(file.string(), bytes);
}

void EmulatedPhone::startAndConnect(bool rooted, bool silent) {
    std::filesystem::create_directories(m_phoneRoot);
    std::string portFile = m_tmp.path() + "/port";
    std::vector<std::string> args{"--root",      m_phoneRoot, "--port-file", portFile,
                                  "--idle-exit", "60",        "--log",       m_logFile};
    if (!rooted)
        args.push_back("--no-root");
    if (silent)
        args.push_back("--silent");
    args.insert(args.end(), m_phoneOptions.begin(), m_phoneOptions.end());
    m_phonePid = startBackground(FENNARO_ADB_PHONE, args);
    ASSERT_TRUE(waitForFile(portFile, 10000));
    std::string serial = "127.0.0.1:" + std::to_string(std::atoi(readFile(portFile).c_str()));

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
    ASSERT_EQ(std::system(connect.c_str()), 0) << readFile(log);
    auto ready = platform::runHidden({m_adb, "wait-for-device"}, 10s);
    ASSERT_EQ(ready.outcome, platform::RunOutcome::Exited);
    ASSERT_EQ(ready.exitStatus, 0);
}

void EmulatedPhone::connectNoPhone() {
    setEnv("ANDROID_ADB_SERVER_PORT", std::to_string(freePort()));
    setEnv("ANDROID_SERIAL", "127.0.0.1:" + std::to_string(freePort()));
    setEnv("HOME", m_home);
    m_serverStarted = true;
}

ArrivedCopies EmulatedPhone::acquire() {
    CountingListener listener;
    AcquireJob job{FENNARO_HELPER_DIR, localDbPaths(m_home), 0ms, {}, &listener, nullptr};
    acquireThreadProc(job);
    EXPECT_EQ(listener.calls, 1);
    return checkArrivedCopies(job.paths);
}

std::vector<std::string> EmulatedPhone::phoneLog() const {
    std::vector<std::string> lines;
    std::istringstream text(readFile(m_logFile));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

void EmulatedPhone::setEnv(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    if (!m_savedEnv.count(name))
        m_savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv(name.c_str(), value.c_str(), 1);
}

} // namespace fennaro::test
