// fennaro-recover acquire --from as a script meets it: the modern demo phone
// packed as an archive gives the same copies, lines and report as the phone
// itself (apart from where the copies came from); a missing, damaged or
// shared extraction is reported as the other commands report their input.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "extraction_layout.h"
#include "file_ops.h"
#include "sha256.h"
#include "test_archives.h"
#include "test_support.h"

using namespace fennaro;

namespace {

struct CommandRun {
    int status = -1;
    std::string out, err;
};

// Runs a shell command line with HOME set to home; its status and output.
CommandRun runWithHome(const std::string& home, const std::string& command) {
    const std::string out = home + ".out", err = home + ".err";
    const int status = std::system(
        ("HOME='" + home + "' " + command + " > '" + out + "' 2> '" + err + "'").c_str());
    CommandRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = test::readFile(out);
    run.err = test::readFile(err);
    return run;
}

// text with every from replaced by to.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A report page without what tells when it was made and what it was made
// from (the Copies table).
std::string withoutCopies(const std::string& html) {
    std::string page = html;
    const size_t made = page.find("<p id=\"made\">");
    if (made != std::string::npos)
        page.erase(made, page.find("</p>", made) - made);
    const size_t copies = page.find("<h2>Copies</h2>");
    if (copies != std::string::npos)
        page.erase(copies, page.find("</table>", copies) - copies);
    return page;
}

// The members of an archive holding the files below folder, each name with
// prefix in front.
std::vector<test::TestMember> membersOf(const std::string& folder, const std::string& prefix) {
    std::vector<test::TestMember> members;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            members.push_back(
                test::fileMember(prefix + std::filesystem::relative(entry.path(), folder).string(),
                                 test::readFile(entry.path().string())));
    }
    return members;
}

} // namespace

TEST(ExtractionCommand, AnArchiveOfTheDemoPhoneGivesTheSameCopiesLinesAndReport) {
    test::TempFolder tmp;
    const std::string phoneHome = tmp.path() + "/phone-home", archiveHome = tmp.path() + "/home";
    std::filesystem::create_directories(phoneHome);
    std::filesystem::create_directories(archiveHome);
    const std::string demo = FENNARO_DEMO_DIR;
    const std::string recover = FENNARO_RECOVER;

    const CommandRun pulled =
        runWithHome(phoneHome, "'" + demo + "/fennaro-recover' acquire --deep");
    ASSERT_EQ(pulled.status, 0) << pulled.err;

    std::vector<test::TestMember> members = membersOf(demo + "/modern-phone", "Dump/");
    members.push_back(test::linkMember("Dump/data/user/0", "/data/data"));
    const std::string archive = tmp.path() + "/phone.tar.gz";
    test::writeTestArchive(archive, "pax", "gzip", members);
    const CommandRun taken =
        runWithHome(archiveHome, "'" + recover + "' acquire --from '" + archive + "'");
    ASSERT_EQ(taken.status, 0) << taken.err;
    EXPECT_EQ(taken.err, "");
    EXPECT_EQ(replaced(taken.out, archiveHome, phoneHome), pulled.out);

    const auto report = [&](const std::string& home) {
        const std::string out = home + "/report";
        std::filesystem::create_directories(out);
        const CommandRun run = runWithHome(home, "'" + recover + "' report --deep '" + home +
                                                     "/Quillmet/contacts2.db' '" + home +
                                                     "/quillmet-fennaro/mmssms.db' '" + out + "'");
        EXPECT_EQ(run.status, 0) << run.err;
        return std::make_pair(test::readFile(out + "/report.html"),
                              test::readFile(out + "/records.csv"));
    };
    const auto [phonePage, phoneTable] = report(phoneHome);
    const auto [archivePage, archiveTable] = report(archiveHome);
    EXPECT_GT(phoneTable.size(), 1000u);
    EXPECT_TRUE(phoneTable == archiveTable);
    EXPECT_TRUE(withoutCopies(phonePage) == withoutCopies(archivePage));
    EXPECT_EQ(phonePage.find("class=\"provenance\""), std::string::npos);
    std::string hash;
    ASSERT_TRUE(platform::sha256OfFile(archive, hash));
    EXPECT_NE(archivePage.find("from phone.tar.gz (SHA-256 " + hash +
                               "), member Dump/data/user_de/0/com.android.providers.telephony/"
                               "databases/mmssms.db, modified "),
              std::string::npos);
}

TEST(ExtractionCommand, MissingDamagedAndSharedExtractionsAreReported) {
    test::TempFolder tmp;
    const std::string home = tmp.path() + "/home";
    std::filesystem::create_directories(home);
    const std::string recover = "'" + std::string(FENNARO_RECOVER) + "' acquire --from ";

    CommandRun run = runWithHome(home, recover + "'" + tmp.path() + "/absent.zip'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "fennaro-recover: " + tmp.path() + "/absent.zip: No such file or directory\n");

    const std::string contacts = "Dump/data/data/com.android.providers.contacts/databases/";
    const std::string work = "Dump/data/user/10/com.android.providers.contacts/databases/";
    const std::string sms = "Dump/data/user_de/0/com.android.providers.telephony/databases/";
    const std::string shared = tmp.path() + "/shared.tar";
    test::writeTestArchive(shared, "ustar", "none",
                           {test::fileMember(contacts + "contacts2.db", test::noise(3000, 1)),
                            test::fileMember(work + "contacts2.db", test::noise(3000, 2)),
                            test::fileMember(sms + "mmssms.db", test::noise(90000, 3))});
    run = runWithHome(home, recover + "'" + shared + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "fennaro-recover: note: user 10 has its own contacts2.db (" + work +
                           "contacts2.db); only user 0's files are copied\n");
    // The report tells it too, once.
    std::filesystem::create_directories(home + "/report");
    run = runWithHome(home, "'" + std::string(FENNARO_RECOVER) + "' report --deep '" + home +
                                "/Quillmet/contacts2.db' '" + home +
                                "/quillmet-fennaro/mmssms.db' '" + home + "/report'");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string page = test::readFile(home + "/report/report.html");
    const std::string note = "user 10 has its own contacts2.db";
    EXPECT_NE(page.find(note), std::string::npos);
    EXPECT_EQ(page.find(note), page.rfind(note));

    const std::string cut = tmp.path() + "/cut.tar";
    test::writeFile(cut, test::readFile(shared).substr(0, 8000));
    run = runWithHome(home, recover + "'" + cut + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("fennaro-recover: " + cut + ": ends inside " + sms + "mmssms.db\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(platform::fileExists(home + "/Quillmet/contacts2.db"));

    run = runWithHome(home, recover + "'" + tmp.path() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "fennaro-recover: no contacts2.db or mmssms.db in " + tmp.path() + "\n");
}
