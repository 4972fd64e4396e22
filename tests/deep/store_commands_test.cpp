// The messaging app's store on the command line: list --deep messages and
// deep sms find bugle_db beside the messages' database or where --bugle
// names it, and take the MMS and the app's messages in.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "deep_test_support.h"
#include "store_phone.h"

namespace deeptest {
namespace {

// Runs fennaro-recover with arguments; returns its exit status and output.
std::pair<int, std::string> recover(const std::vector<std::string>& arguments,
                                    const TempDir& scratch) {
    std::string command = std::string("'") + FENNARO_RECOVER_PATH + "'";
    for (const std::string& a : arguments)
        command += " '" + a + "'";
    command += " >'" + scratch.file("out.txt") + "' 2>/dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(scratch.file("out.txt"))};
}

// Counts the lines of a text.
size_t lineCount(const std::string& text) {
    return size_t(std::count(text.begin(), text.end(), '\n'));
}

TEST(StoreCommands, BugleBesideOrNamedJoinsTheMessages) {
    TempDir phone("store-cli");
    const testdata::StorePhoneTruth truth =
        testdata::generateStorePhone(testdata::StoreKind::Bugle, phone.path(), 5, 4096);
    {
        SqlDb contacts(phone.file("contacts2.db"));
        contacts.exec("CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY, display_name TEXT)");
    }
    // The same phone with its bugle_db moved away from mmssms.db.
    TempDir moved("store-cli-moved");
    for (const char* name : {"mmssms.db", "contacts2.db"})
        std::filesystem::copy_file(phone.file(name), moved.file(name));
    TempDir away("store-cli-away");
    for (const char* name : {"bugle_db", "bugle_db-wal"})
        std::filesystem::copy_file(phone.file(name), away.file(name));

    TempDir scratch("store-cli-out");
    const auto beside =
        recover({"list", "--deep", "messages", phone.file("contacts2.db"), phone.file("mmssms.db")},
                scratch);
    const auto without =
        recover({"list", "--deep", "messages", moved.file("contacts2.db"), moved.file("mmssms.db")},
                scratch);
    const auto named = recover({"list", "--deep", "messages", moved.file("contacts2.db"),
                                moved.file("mmssms.db"), "--bugle", away.file("bugle_db")},
                               scratch);
    EXPECT_EQ(beside.first, 0);
    EXPECT_EQ(named, beside);
    // The RCS-only conversations exist in bugle_db alone, and deleted SMS
    // the words index alone kept find their conversation through the app's
    // copies: the rows differ.
    EXPECT_NE(beside.second, without.second);
    EXPECT_GT(lineCount(beside.second), 0u);

    const auto smsBeside =
        recover({"deep", "sms", phone.file("contacts2.db"), phone.file("mmssms.db")}, scratch);
    const auto smsNamed = recover({"deep", "sms", moved.file("contacts2.db"),
                                   moved.file("mmssms.db"), "--bugle", away.file("bugle_db")},
                                  scratch);
    EXPECT_EQ(smsBeside.first, 0);
    EXPECT_EQ(smsNamed, smsBeside);
    // Deleted RCS messages have no telephony copy: their text is in the lines.
    size_t found = 0;
    for (const testdata::DeletedStoreMessage& m : truth.deleted)
        found += m.store == "bugle" && m.telephonyUri.empty() && testdata::survives(m, true) &&
                 smsBeside.second.find(m.text) != std::string::npos;
    EXPECT_GT(found, 0u);

    // --bugle without its file, or with list's classic mode, is a usage error.
    EXPECT_EQ(
        recover({"deep", "sms", phone.file("contacts2.db"), phone.file("mmssms.db"), "--bugle"},
                scratch)
            .first,
        2);
    EXPECT_EQ(recover({"list", "messages", phone.file("contacts2.db"), phone.file("mmssms.db"),
                       "--bugle", away.file("bugle_db")},
                      scratch)
                  .first,
              2);
    // A named store that is not there is a failed command, not an empty answer.
    EXPECT_EQ(recover({"deep", "sms", phone.file("contacts2.db"), phone.file("mmssms.db"),
                       "--bugle", away.file("missing_db")},
                      scratch)
                  .first,
              1);
}

} // namespace
} // namespace deeptest
