// Whole classic acquisitions through our helper and the real adb client
// against the emulated phone on a loopback port.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "acquire_worker.h"
#include "emulated_phone.h"
#include "file_ops.h"
#include "process_list.h"
#include "process_run.h"
#include "test_support.h"

using namespace fennaro;
using namespace std::chrono_literals;
using test::EmulatedPhone;

namespace {

struct CountingListener : AcquireListener {
    int calls = 0;
    void acquireDone() override { ++calls; }
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
    connectNoPhone();
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
