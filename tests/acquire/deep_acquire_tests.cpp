// Deep acquisitions through our helper and the real adb client against the
// emulated phone: modern and classic layouts, files that change, stall or
// vanish while read, phones without root, and proof that nothing was changed
// on the phone.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "copy_manifest.h"
#include "deep_acquire.h"
#include "emulated_phone.h"
#include "file_ops.h"
#include "helper_commands.h"
#include "process_list.h"
#include "test_support.h"

using namespace fennaro;
using namespace std::chrono_literals;

namespace {

const std::string kContactsData = "/data/data/com.android.providers.contacts/databases/";
const std::string kContactsUser = "/data/user/0/com.android.providers.contacts/databases/";
const std::string kSmsData = "/data/data/com.android.providers.telephony/databases/";
const std::string kSmsUserDe = "/data/user_de/0/com.android.providers.telephony/databases/";
const std::string kSmsUser = "/data/user/0/com.android.providers.telephony/databases/";
const std::string kBugleGoogle = "/data/data/com.google.android.apps.messaging/databases/";
const std::string kBugleAosp = "/data/data/com.android.messaging/databases/";
const std::string kNewFilesAllMissing =
    "missing missing missing missing missing missing missing missing";

struct RecordingListener : DeepAcquireListener {
    std::atomic<int> calls{0};
    void deepAcquireDone(const DeepAcquireResult&) override { ++calls; }
};

class DeepPhone : public test::EmulatedPhone {
  protected:
    // One deep acquisition into the test's home, without the start delay.
    DeepAcquireResult deepAcquireNow(DeepLimits limits = {}) {
        DeepAcquireJob job;
        job.programFolder = FENNARO_HELPER_DIR;
        job.paths = paths();
        job.startDelay = 0ms;
        job.limits = limits;
        return deepAcquire(job);
    }

    // The outcomes of count entries from first as words: by default the
    // contacts' family then the messages'; from 8 the call log's family then
    // the messaging app's.
    static std::string outcomes(const DeepAcquireResult& result, size_t first = 0,
                                size_t count = 8) {
        std::string words;
        for (size_t i = first; i < first + count; ++i)
            words += std::string(words.empty() ? "" : " ") + outcomeWord(result.files[i].outcome);
        return words;
    }

    // Every file under the phone's root with its bytes.
    std::map<std::string, std::string> phoneFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_phoneRoot)) {
            if (entry.is_regular_file())
                files[entry.path().string()] = test::readFile(entry.path().string());
        }
        return files;
    }

    // Every request the phone received was one of the read-only ones.
    void expectOnlyReadsInTheLog() const {
        const std::regex reading(
            "exec:su '-c' 'cat' '/[A-Za-z0-9/._-]+'|"
            "shell,v2,[^:]*:su -c (id -u|stat -c %s:%n /( /[A-Za-z0-9/._-]+)+)");
        std::vector<std::string> log = phoneLog();
        EXPECT_FALSE(log.empty());
        for (const std::string& line : log)
            EXPECT_TRUE(std::regex_match(line, reading)) << line;
    }

    std::string copyOf(const std::string& name) const {
        const bool messages = name.rfind("mmssms", 0) == 0 || name.rfind("bugle_db", 0) == 0;
        const std::string folder = messages ? "/quillmet-fennaro/" : "/Quillmet/";
        return m_home + folder + name;
    }
};

} // namespace

TEST_F(DeepPhone, ModernPhoneArrivesWholeVerifiedAndUntouched) {
    const std::string wal = test::noise(50 * 1024 + 5, 3), shm = test::noise(32768, 4);
    putOnPhone(kContactsData + "contacts2.db", m_contacts);
    putOnPhone(kContactsData + "contacts2.db-wal", wal);
    putOnPhone(kContactsData + "contacts2.db-shm", shm);
    putOnPhone(kSmsUserDe + "mmssms.db", m_sms);
    putOnPhone(kSmsUserDe + "mmssms.db-journal", "");
    putOnPhone(kSmsUser + "mmssms.db", "a later folder, never read");
    // A journal left from an earlier run must not sit beside the new copy.
    prepareCopyFolders(paths());
    test::writeFile(copyOf("contacts2.db-journal"), "stale");
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));
    const auto before = phoneFiles();

    DeepAcquireResult result = deepAcquireNow();
    EXPECT_EQ(result.problem, PhoneProblem::None);
    EXPECT_EQ(outcomes(result), "arrived arrived missing arrived arrived missing arrived missing");
    EXPECT_TRUE(result.bothDatabasesArrived());
    EXPECT_EQ(result.smsDb().phonePath, kSmsUserDe + "mmssms.db");
    EXPECT_TRUE(test::readFile(copyOf("contacts2.db")) == m_contacts);
    EXPECT_TRUE(test::readFile(copyOf("contacts2.db-wal")) == wal);
    EXPECT_TRUE(test::readFile(copyOf("contacts2.db-shm")) == shm);
    EXPECT_TRUE(test::readFile(copyOf("mmssms.db")) == m_sms);
    EXPECT_EQ(platform::fileSize(copyOf("mmssms.db-journal")), 0u);
    EXPECT_FALSE(platform::fileExists(copyOf("contacts2.db-journal")));

    EXPECT_EQ(result.manifests,
              (std::vector<std::string>{copyOf("manifest.sha256"),
                                        m_home + "/quillmet-fennaro/manifest.sha256"}));
    CopyCheck check = checkCopies(paths());
    EXPECT_TRUE(check.intact());
    EXPECT_EQ(check.verified.size(), 5u);
    // Unwritten since their manifests, the copies pass by their stamps alone.
    check = checkCopiesSince(paths(), result.stamps);
    EXPECT_TRUE(check.intact());
    EXPECT_EQ(check.verified.size(), 5u);
    // A copy changed on this computer afterwards is caught, also when the
    // change keeps its size and puts its modification time back.
    struct stat walBefore{};
    ASSERT_EQ(::stat(copyOf("contacts2.db-wal").c_str(), &walBefore), 0);
    std::string changed = wal;
    changed[40000] ^= 1;
    test::writeFile(copyOf("contacts2.db-wal"), changed);
    const timespec times[2] = {walBefore.st_atim, walBefore.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, copyOf("contacts2.db-wal").c_str(), times, 0), 0);
    EXPECT_EQ(checkCopies(paths()).changed, std::vector<std::string>{copyOf("contacts2.db-wal")});
    EXPECT_EQ(checkCopiesSince(paths(), result.stamps).changed,
              std::vector<std::string>{copyOf("contacts2.db-wal")});
    // A side file that appears beside a copy is no longer what was pulled.
    test::writeFile(copyOf("mmssms.db-wal"), "appeared");
    EXPECT_FALSE(checkCopiesSince(paths(), result.stamps).unlisted.empty());

    expectOnlyReadsInTheLog();
    EXPECT_TRUE(phoneFiles() == before);
    EXPECT_TRUE(platform::findProcessesByFileName(kHelperFileName).empty());
}

TEST_F(DeepPhone, ClassicLayoutAndALogWithoutItsDatabaseOnTheCommandLine) {
    putOnPhone(kSmsData + "mmssms.db", m_sms);
    putOnPhone(kContactsUser + "contacts2.db-wal", "a log whose database is gone");
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));

    std::string out = m_tmp.path() + "/out";
    int status = std::system(
        ("'" + std::string(FENNARO_RECOVER) + "' acquire --deep > '" + out + "' 2> /dev/null")
            .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1); // the contacts database did not arrive
    EXPECT_EQ(test::readFile(out),
              copyOf("contacts2.db") + "\tmissing\n" + copyOf("contacts2.db-wal") + "\tarrived\n" +
                  copyOf("contacts2.db-journal") + "\tmissing\n" + copyOf("contacts2.db-shm") +
                  "\tmissing\n" + copyOf("mmssms.db") + "\tarrived\n" + copyOf("mmssms.db-wal") +
                  "\tmissing\n" + copyOf("mmssms.db-journal") + "\tmissing\n" +
                  copyOf("mmssms.db-shm") + "\tmissing\n" + copyOf("calllog.db") + "\tmissing\n" +
                  copyOf("calllog.db-wal") + "\tmissing\n" + copyOf("calllog.db-journal") +
                  "\tmissing\n" + copyOf("calllog.db-shm") + "\tmissing\n" + copyOf("bugle_db") +
                  "\tmissing\n" + copyOf("bugle_db-wal") + "\tmissing\n" +
                  copyOf("bugle_db-journal") + "\tmissing\n" + copyOf("bugle_db-shm") +
                  "\tmissing\n" + copyOf("manifest.sha256") + "\tmanifest\n" + m_home +
                  "/quillmet-fennaro/manifest.sha256" + "\tmanifest\n");
    EXPECT_TRUE(test::readFile(copyOf("mmssms.db")) == m_sms);
    EXPECT_TRUE(checkCopies(paths()).intact());
    expectOnlyReadsInTheLog();
}

TEST_F(DeepPhone, FileChangingWhileReadIsFailedAndNotKept) {
    putOnPhone(kContactsData + "contacts2.db", m_contacts);
    putOnPhone(kContactsData + "contacts2.db-wal", test::noise(20000, 5));
    putOnPhone(kSmsUserDe + "mmssms.db", m_sms);
    m_phoneOptions = {"--growing", "contacts2.db-wal"};
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));

    DeepAcquireResult result = deepAcquireNow();
    EXPECT_EQ(outcomes(result), "arrived failed missing missing arrived missing missing missing");
    // A phone without a call log or messaging store lacks them; no error.
    EXPECT_EQ(outcomes(result, 8, 8), kNewFilesAllMissing);
    EXPECT_TRUE(result.files[8].detail.empty());
    EXPECT_NE(result.files[1].detail.find("changed while it was read"), std::string::npos)
        << result.files[1].detail;
    EXPECT_FALSE(platform::fileExists(copyOf("contacts2.db-wal")));
    CopyCheck check = checkCopies(paths());
    EXPECT_TRUE(check.intact());
    EXPECT_EQ(check.verified.size(), 2u);
}

TEST_F(DeepPhone, CallLogAndMessagingStoreArriveBesideTheirNeighbours) {
    const std::string callLog = test::noise(12288, 7), callWal = test::noise(8272, 8);
    const std::string bugle = test::noise(16384, 9), bugleWal = test::noise(4152, 10);
    putOnPhone(kContactsData + "contacts2.db", m_contacts);
    putOnPhone(kContactsData + "calllog.db", callLog);
    putOnPhone(kContactsData + "calllog.db-wal", callWal);
    putOnPhone(kSmsUserDe + "mmssms.db", m_sms);
    // The store of the app's open-source build; the other build's folder is
    // tried first and is empty here.
    putOnPhone(kBugleAosp + "bugle_db", bugle);
    putOnPhone(kBugleAosp + "bugle_db-wal", bugleWal);
    putOnPhone(kBugleAosp + "bugle_db-shm", "");
    // Side files of an earlier acquisition must not meet the new copies.
    prepareCopyFolders(paths());
    test::writeFile(copyOf("bugle_db-journal"), "stale");
    test::writeFile(copyOf("calllog.db-shm"), "stale");
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));
    const auto before = phoneFiles();

    DeepAcquireResult result = deepAcquireNow();
    EXPECT_EQ(result.problem, PhoneProblem::None);
    EXPECT_EQ(outcomes(result), "arrived missing missing missing arrived missing missing missing");
    EXPECT_EQ(outcomes(result, 8, 8),
              "arrived arrived missing missing arrived arrived missing arrived");
    EXPECT_EQ(result.callLogDb().phonePath, kContactsData + "calllog.db");
    EXPECT_EQ(result.bugleDb().phonePath, kBugleAosp + "bugle_db");
    EXPECT_EQ(result.callLogDb().localPath, callLogCopyPath(paths()));
    EXPECT_EQ(result.bugleDb().localPath, bugleCopyPath(paths()));
    EXPECT_TRUE(test::readFile(copyOf("calllog.db")) == callLog);
    EXPECT_TRUE(test::readFile(copyOf("calllog.db-wal")) == callWal);
    EXPECT_TRUE(test::readFile(copyOf("bugle_db")) == bugle);
    EXPECT_TRUE(test::readFile(copyOf("bugle_db-wal")) == bugleWal);
    EXPECT_EQ(platform::fileSize(copyOf("bugle_db-shm")), 0u);
    EXPECT_FALSE(platform::fileExists(copyOf("bugle_db-journal")));
    EXPECT_FALSE(platform::fileExists(copyOf("calllog.db-shm")));

    // Each manifest lists its folder's new copies too, and a change to one of
    // them is caught like a change to a classic copy.
    EXPECT_EQ(result.manifests.size(), 2u);
    CopyCheck check = checkCopies(paths());
    EXPECT_TRUE(check.intact());
    EXPECT_EQ(check.verified.size(), 7u);
    test::writeFile(copyOf("bugle_db-wal"), bugleWal + "x");
    EXPECT_EQ(checkCopies(paths()).changed, std::vector<std::string>{copyOf("bugle_db-wal")});
    test::writeFile(copyOf("calllog.db-journal"), "appeared afterwards");
    EXPECT_EQ(checkCopies(paths()).unlisted,
              std::vector<std::string>{copyOf("calllog.db-journal")});

    expectOnlyReadsInTheLog();
    EXPECT_TRUE(phoneFiles() == before);
}

TEST_F(DeepPhone, CallLogChangingWhileReadIsFailedAndTheRestKept) {
    putOnPhone(kContactsData + "contacts2.db", m_contacts);
    putOnPhone(kContactsData + "calllog.db", test::noise(8192, 11));
    putOnPhone(kContactsData + "calllog.db-wal", test::noise(20000, 12));
    putOnPhone(kSmsUserDe + "mmssms.db", m_sms);
    putOnPhone(kBugleGoogle + "bugle_db", test::noise(4096, 13));
    m_phoneOptions = {"--growing", "calllog.db-wal"};
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));

    DeepAcquireResult result = deepAcquireNow();
    EXPECT_EQ(outcomes(result), "arrived missing missing missing arrived missing missing missing");
    EXPECT_EQ(outcomes(result, 8, 8),
              "arrived failed missing missing arrived missing missing missing");
    EXPECT_NE(result.files[9].detail.find("changed while it was read"), std::string::npos)
        << result.files[9].detail;
    EXPECT_EQ(result.bugleDb().phonePath, kBugleGoogle + "bugle_db");
    EXPECT_FALSE(platform::fileExists(copyOf("calllog.db-wal")));
    EXPECT_TRUE(result.bothDatabasesArrived());
    CopyCheck check = checkCopies(paths());
    EXPECT_TRUE(check.intact());
    EXPECT_EQ(check.verified.size(), 4u);
}

TEST_F(DeepPhone, PhoneWithoutRootIsReportedAndNothingIsKept) {
    putOnPhone(kContactsData + "contacts2.db", m_contacts);
    putOnPhone(kSmsUserDe + "mmssms.db", m_sms);
    ASSERT_NO_FATAL_FAILURE(startAndConnect(false));

    DeepAcquireResult result = deepAcquireNow();
    EXPECT_EQ(result.problem, PhoneProblem::NoRoot);
    EXPECT_EQ(outcomes(result, 0, 16), "failed failed failed failed failed failed failed failed "
                                       "failed failed failed failed failed failed failed failed");
    EXPECT_FALSE(result.anyArrived());
    EXPECT_TRUE(result.manifests.empty());
    EXPECT_FALSE(platform::fileExists(copyOf("contacts2.db")));
    EXPECT_FALSE(platform::fileExists(copyOf("mmssms.db")));
    EXPECT_EQ(phoneLog().size(), 1u); // the root check, and nothing after it
    expectOnlyReadsInTheLog();
}

TEST_F(DeepPhone, CopyFolderThatCannotBeMadeOnlyFailsItsOwnCopies) {
    putOnPhone(kContactsData + "contacts2.db", m_contacts);
    putOnPhone(kContactsData + "contacts2.db-wal", "log");
    putOnPhone(kSmsUserDe + "mmssms.db", m_sms);
    test::writeFile(m_home + "/Quillmet", "a file where the folder should be");
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));

    DeepAcquireResult result = deepAcquireNow();
    EXPECT_EQ(outcomes(result), "failed failed missing missing arrived missing missing missing");
    EXPECT_EQ(result.contactsDb().detail, "the copy could not be written");
    EXPECT_EQ(result.manifests,
              std::vector<std::string>{m_home + "/quillmet-fennaro/manifest.sha256"});
    EXPECT_EQ(test::readFile(m_home + "/Quillmet"), "a file where the folder should be");
    EXPECT_TRUE(checkCopies(paths()).intact());
}

TEST_F(DeepPhone, NoPhoneOrNoHelperIsReported) {
    connectNoPhone();
    EXPECT_EQ(deepAcquireNow().problem, PhoneProblem::NoPhone);

    DeepAcquireJob job;
    job.programFolder = m_tmp.path();
    job.paths = paths();
    DeepAcquireResult result = deepAcquire(job);
    EXPECT_EQ(result.problem, PhoneProblem::HelperMissing);
    EXPECT_EQ(outcomes(result, 8, 8), "failed failed failed failed failed failed failed failed");
}

TEST_F(DeepPhone, ReadPastItsLimitOrStoppedLeavesNoPartialCopy) {
    putOnPhone(kContactsData + "contacts2.db", m_contacts);
    putOnPhone(kSmsUserDe + "mmssms.db", m_sms);
    m_phoneOptions = {"--slow", "mmssms.db", "30"};
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));

    DeepAcquireResult result = deepAcquireNow({10s, 10s, 1s});
    EXPECT_EQ(outcomes(result), "arrived missing missing missing failed missing missing missing");
    EXPECT_EQ(result.smsDb().detail, "not read whole within 1 s");
    EXPECT_FALSE(platform::fileExists(copyOf("mmssms.db")));
    EXPECT_EQ(result.manifests, std::vector<std::string>{copyOf("manifest.sha256")});

    // The window closing in the middle of the same read.
    RecordingListener listener;
    DeepAcquireJob job{
        FENNARO_HELPER_DIR, paths(), 0ms, {}, &listener, std::make_shared<platform::StopSignal>()};
    std::thread worker([&] { deepAcquireThreadProc(job); });
    for (int i = 0; i < 1000 && platform::fileSize(copyOf("mmssms.db")).value_or(0) == 0; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_GT(platform::fileSize(copyOf("mmssms.db")).value_or(0), 0u);
    auto requested = std::chrono::steady_clock::now();
    job.stop->request();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - requested, 1s);
    EXPECT_EQ(listener.calls, 0);
    EXPECT_FALSE(platform::fileExists(copyOf("mmssms.db")));
    // What arrived before the stop stays whole but unlisted: no manifest
    // vouches for an acquisition that did not end.
    EXPECT_TRUE(test::readFile(copyOf("contacts2.db")) == m_contacts);
    EXPECT_EQ(checkCopies(paths()).unlisted, std::vector<std::string>{copyOf("contacts2.db")});
    EXPECT_TRUE(platform::findProcessesByFileName(kHelperFileName).empty());
}

TEST_F(DeepPhone, PhoneGoingAwayMidReadKeepsOnlyWhatArrivedWhole) {
    putOnPhone(kContactsData + "contacts2.db", m_contacts);
    putOnPhone(kSmsUserDe + "mmssms.db", m_sms);
    putOnPhone(kSmsUserDe + "mmssms.db-journal", test::noise(9000, 6));
    m_phoneOptions = {"--vanish", "mmssms.db"};
    ASSERT_NO_FATAL_FAILURE(startAndConnect(true));

    DeepAcquireResult result = deepAcquireNow({5s, 5s, 10s});
    EXPECT_EQ(outcomes(result), "arrived missing missing missing failed missing arrived missing");
    EXPECT_FALSE(platform::fileExists(copyOf("mmssms.db")));
    EXPECT_TRUE(checkCopies(paths()).intact());
}

TEST(DemoPhone, DeepAcquisitionOnTheCommandLinePullsTheModernPhone) {
    test::TempFolder home;
    const std::string demo = FENNARO_DEMO_DIR;
    std::string out = home.path() + "/out";
    int status = std::system(("HOME='" + home.path() + "' '" + demo + "/fennaro-recover' " +
                              "acquire --deep > '" + out + "'")
                                 .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << test::readFile(out);
    const LocalDbPaths paths = localDbPaths(home.path());
    const std::string phone = demo + "/modern-phone";
    EXPECT_TRUE(test::readFile(paths.localContactsDb + "-wal") ==
                test::readFile(phone + kContactsData + "contacts2.db-wal"));
    EXPECT_TRUE(test::readFile(paths.localSmsDb + "-journal") ==
                test::readFile(phone + kSmsUserDe + "mmssms.db-journal"));
    EXPECT_GT(platform::fileSize(paths.localSmsDb + "-journal").value_or(0), 0u);
    CopyCheck check = checkCopies(paths);
    EXPECT_TRUE(check.intact());
    // Both databases with the contacts' log and the messages' journal, the
    // call log with its log, and the messaging app's store with its log.
    EXPECT_EQ(check.verified.size(), 8u);
    EXPECT_TRUE(test::readFile(callLogCopyPath(paths) + "-wal") ==
                test::readFile(phone + kContactsData + "calllog.db-wal"));
    EXPECT_TRUE(test::readFile(bugleCopyPath(paths) + "-wal") ==
                test::readFile(phone + "/data/data/com.google.android.apps.messaging/databases/"
                                       "bugle_db-wal"));
}
