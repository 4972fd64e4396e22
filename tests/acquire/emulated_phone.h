// The fixture of the tests that run whole acquisitions through our helper
// and the real adb client against the emulated phone on a loopback port.
// Each test runs its own adb server on its own port and kills it at the end.
#pragma once

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "acquire_worker.h"
#include "test_support.h"

namespace fennaro::test {

// A loopback TCP port nobody listens on at the moment.
int freePort();

class EmulatedPhone : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Puts a file on the phone at phonePath.
    void putOnPhone(const std::string& phonePath, const std::string& bytes);

    // Starts the phone (with m_phoneOptions added to its command line) and
    // connects a private adb server to it; the helper and adb inherit the
    // port, serial and home set here.
    void startAndConnect(bool rooted, bool silent = false);

    // Points adb at a port where no phone listens.
    void connectNoPhone();

    // One classic acquisition as the window runs it, without the start delay.
    ArrivedCopies acquire();

    LocalDbPaths paths() const { return localDbPaths(m_home); }

    // The requests the phone logged, one per line.
    std::vector<std::string> phoneLog() const;

    void setEnv(const std::string& name, const std::string& value);

    TempFolder m_tmp;
    std::string m_adb, m_phoneRoot, m_home, m_contacts, m_sms, m_logFile;
    std::vector<std::string> m_phoneOptions;
    pid_t m_phonePid = 0;
    bool m_serverStarted = false;
    std::map<std::string, std::optional<std::string>> m_savedEnv;
};

} // namespace fennaro::test
