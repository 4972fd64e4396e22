// Taking the copies from file-system extractions: every archive format and
// leading folder, the layouts of older and newer phones and the links they
// make, other users, and hostile or damaged extractions, which must never
// lead outside themselves nor leave a partial copy.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

#include "copy_manifest.h"
#include "extraction_layout.h"
#include "extraction_source.h"
#include "file_ops.h"
#include "sha256.h"
#include "test_archives.h"
#include "test_support.h"

using namespace fennaro;
using test::fileMember;
using test::hardLinkMember;
using test::linkMember;
using test::TestMember;

namespace {

const std::string kContacts = "data/data/com.android.providers.contacts/databases/";
const std::string kSmsUserDe = "data/user_de/0/com.android.providers.telephony/databases/";
const std::string kBugle = "data/data/com.google.android.apps.messaging/databases/";
const std::string kGms = "data/data/com.google.android.gms/databases/";

// A phone's files: a database is its SQLite header and noise.
struct PhoneFiles {
    std::string contacts = "SQLite format 3" + std::string(1, '\0') + test::noise(6000, 1);
    std::string contactsWal = test::noise(4000, 2);
    std::string sms = "SQLite format 3" + std::string(1, '\0') + test::noise(9000, 3);
    std::string smsJournal = test::noise(2000, 4);
    std::string callLog = "SQLite format 3" + std::string(1, '\0') + test::noise(3000, 5);
    std::string bugle = "SQLite format 3" + std::string(1, '\0') + test::noise(5000, 6);
};

// The members of a modern phone below prefix, with decoys of another app
// whose names look like the messages database, and the link the phone makes.
std::vector<TestMember> modernPhone(const std::string& prefix, const PhoneFiles& files = {}) {
    return {
        fileMember(prefix + kContacts + "contacts2.db", files.contacts),
        fileMember(prefix + kContacts + "contacts2.db-wal", files.contactsWal),
        fileMember(prefix + kGms + "icing_mmssms.db", "not the messages"),
        fileMember(prefix + kGms + "mmssms.db", "not the messages either"),
        fileMember(prefix + kSmsUserDe + "mmssms.db", files.sms),
        fileMember(prefix + kSmsUserDe + "mmssms.db-journal", files.smsJournal),
        fileMember(prefix + kContacts + "calllog.db", files.callLog),
        fileMember(prefix + kBugle + "bugle_db", files.bugle),
        linkMember(prefix + "data/user/0", "/data/data"),
    };
}

class Extraction : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::create_directories(m_home); }

    // Takes the copies from source into the test's home.
    ExtractionResult acquire(const std::string& source, std::optional<uint64_t> freeSpace = {},
                             const std::atomic<bool>* stop = nullptr,
                             const ReadProgress& progress = {}) {
        ExtractionJob job;
        job.source = source;
        job.paths = localDbPaths(m_home);
        job.freeSpace = freeSpace;
        job.stop = stop;
        job.progress = progress;
        return acquireFromExtraction(job);
    }

    // The outcomes of the contacts' and the messages' families as words.
    static std::string outcomes(const ExtractionResult& result, size_t first = 0,
                                size_t count = 8) {
        std::string words;
        for (size_t i = first; i < first + count; ++i)
            words +=
                std::string(words.empty() ? "" : " ") + outcomeWord(result.copies.files[i].outcome);
        return words;
    }

    // The bytes of the copy of entry i of a result.
    std::string copyOf(const ExtractionResult& result, size_t i) const {
        return test::readFile(result.copies.files[i].localPath);
    }

    // Every file standing in the two copy folders.
    std::vector<std::string> filesInCopyFolders() const {
        std::vector<std::string> files;
        for (const char* folder : {"/Quillmet", "/quillmet-fennaro"}) {
            if (!std::filesystem::exists(m_home + folder))
                continue;
            for (const auto& entry : std::filesystem::directory_iterator(m_home + folder))
                files.push_back(entry.path().filename().string());
        }
        return files;
    }

    // Expects the copies of a whole modern phone, read from below prefix.
    void expectModernPhone(const ExtractionResult& result, const std::string& prefix,
                           const PhoneFiles& files = {}) {
        ASSERT_TRUE(result.problem.empty()) << result.problem;
        EXPECT_EQ(outcomes(result),
                  "arrived arrived missing missing arrived missing arrived missing");
        EXPECT_EQ(outcomes(result, 8),
                  "arrived missing missing missing arrived missing missing missing");
        EXPECT_TRUE(copyOf(result, 0) == files.contacts);
        EXPECT_TRUE(copyOf(result, 1) == files.contactsWal);
        EXPECT_TRUE(copyOf(result, 4) == files.sms);
        EXPECT_TRUE(copyOf(result, 6) == files.smsJournal);
        EXPECT_TRUE(copyOf(result, 8) == files.callLog);
        EXPECT_TRUE(copyOf(result, 12) == files.bugle);
        EXPECT_EQ(result.copies.files[4].phonePath, prefix + kSmsUserDe + "mmssms.db");
        EXPECT_TRUE(checkCopies(localDbPaths(m_home)).intact());
        EXPECT_EQ(result.copies.manifests.size(), 2u);
    }

    test::TempFolder m_tmp;
    std::string m_home = m_tmp.path() + "/home";
};

} // namespace

TEST(ExtractionLayout, NamesRootsAndPackagesAreMatchedWhole) {
    EXPECT_EQ(nameParts("./Dump//data/./x"), (PathParts{"Dump", "data", "x"}));
    EXPECT_EQ(nameParts("/data/x"), (PathParts{"data", "x"}));
    EXPECT_FALSE(nameParts("Dump/../../etc/passwd"));
    EXPECT_FALSE(nameParts("./"));
    EXPECT_EQ(phoneRootLength(*nameParts("extraction-2024-05-01/fs/data/user_de/0")), 2u);
    EXPECT_EQ(phoneRootLength(*nameParts("data/data/x")), 0u);
    EXPECT_FALSE(phoneRootLength(*nameParts("backup/data/misc/x")));
    EXPECT_TRUE(isCandidatePath(*nameParts(kSmsUserDe + "mmssms.db-journal")));
    EXPECT_FALSE(isCandidatePath(*nameParts(kGms + "icing_mmssms.db")));
    EXPECT_FALSE(isCandidatePath(*nameParts(kGms + "mmssms.db")));
    EXPECT_FALSE(
        isCandidatePath(*nameParts("x.com.android.providers.contacts/databases/contacts2.db")));
    EXPECT_FALSE(isCandidatePath(*nameParts(kContacts + "contacts2.db.bak")));

    // Links resolve inside the phone's root, however they are written.
    std::map<std::string, TreeNode> tree{
        {"data", {NodeKind::Folder, {}}},
        {"data/user", {NodeKind::Folder, {}}},
        {"data/user/0", {NodeKind::Link, "/data/data"}},
        {"data/user/10", {NodeKind::Link, "../../../../../../../data/real"}},
        {"data/user/11", {NodeKind::Link, "/"}},
        {"data/user/12", {NodeKind::Link, "12"}},
        {"data/data", {NodeKind::Folder, {}}},
        {"data/data/db", {NodeKind::File, {}}},
        {"data/real", {NodeKind::Folder, {}}},
        {"data/real/db", {NodeKind::File, {}}},
    };
    const TreeLookup lookup = [&](const PathParts& parts) {
        auto found = tree.find(joinParts(parts));
        return found == tree.end() ? TreeNode{} : found->second;
    };
    EXPECT_EQ(resolvePhonePath("/data/user/0/db", lookup), (PathParts{"data", "data", "db"}));
    EXPECT_EQ(resolvePhonePath("/data/user/10/db", lookup), (PathParts{"data", "real", "db"}));
    EXPECT_EQ(resolvePhonePath("/data/user/11/data/data/db", lookup),
              (PathParts{"data", "data", "db"}));
    EXPECT_FALSE(resolvePhonePath("/data/user/12/db", lookup)); // a loop
    EXPECT_FALSE(resolvePhonePath("/data/user/0", lookup));     // a folder
    EXPECT_FALSE(resolvePhonePath("/data/data/db/x", lookup));  // below a file
}

TEST_F(Extraction, EveryArchiveFormatLeadingFolderAndAFolderGiveTheSameCopies) {
    const std::string longFolder = "extraction-2024-05-01/" + std::string(120, 'x') + "/";
    const struct {
        const char* format;
        const char* filter;
        std::string prefix;
        const char* options;
    } kinds[] = {
        {"ustar", "none", "Dump/", ""}, {"gnutar", "gzip", "./fs/", ""},
        {"pax", "xz", longFolder, ""},  {"pax", "zstd", "/", ""},
        {"zip", "none", "Dump/", ""},   {"zip", "none", "fs/", "zip:zip64"},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(std::string(kind.format) + " " + kind.filter + " " + kind.options);
        const std::string archive = m_tmp.path() + "/phone." + kind.format;
        test::writeTestArchive(archive, kind.format, kind.filter, modernPhone(kind.prefix),
                               kind.options);
        const ExtractionResult result = acquire(archive);
        expectModernPhone(result, kind.prefix);
        EXPECT_TRUE(result.archive);
        std::string hash;
        ASSERT_TRUE(platform::sha256OfFile(archive, hash));
        EXPECT_EQ(result.sourceSha256, hash);
        std::string manifest = test::readFile(m_home + "/quillmet-fennaro/manifest.sha256");
        const ManifestProvenance provenance = parseProvenance(manifest);
        EXPECT_EQ(provenance.sourceKind, "archive");
        EXPECT_EQ(provenance.sourcePath, archive);
        EXPECT_EQ(provenance.sourceSha256, hash);
        ASSERT_FALSE(provenance.members.empty());
        EXPECT_EQ(provenance.members[0].fileName, "mmssms.db");
        EXPECT_EQ(provenance.members[0].memberPath, kind.prefix + kSmsUserDe + "mmssms.db");
        EXPECT_EQ(provenance.members[0].modified, std::optional<int64_t>(1714557600));
    }

    const std::string folder = m_tmp.path() + "/copied";
    test::writeTestFolder(folder, modernPhone("Dump/"));
    const ExtractionResult result = acquire(folder);
    expectModernPhone(result, "Dump/");
    EXPECT_FALSE(result.archive);
    EXPECT_EQ(parseProvenance(test::readFile(m_home + "/Quillmet/manifest.sha256")).sourcePath,
              folder);
}

TEST_F(Extraction, OlderAndNewerLayoutsAndTheLinksPhonesMakeAreFollowedInside) {
    const PhoneFiles files;
    const std::string sms = "data/data/com.android.providers.telephony/databases/";
    const std::string contactsUser = "data/user/0/com.android.providers.contacts/databases/";
    const std::string contactsDe = "data/user_de/0/com.android.providers.contacts/databases/";
    const std::string hidden = "data/misc/profiles/com.android.providers.contacts/databases/";
    const struct {
        const char* what;
        std::vector<TestMember> members;
        const char* contactsFamily;
        std::string contactsFrom;
    } cases[] = {
        {"before Android 7: both in data/data",
         {fileMember(kContacts + "contacts2.db", files.contacts),
          fileMember(sms + "mmssms.db", files.sms)},
         "arrived missing missing missing",
         kContacts},
        {"user 0's own folder, no data/data",
         {fileMember(contactsUser + "contacts2.db", files.contacts),
          fileMember(contactsUser + "contacts2.db-wal", files.contactsWal),
          fileMember(sms + "mmssms.db", files.sms)},
         "arrived arrived missing missing",
         contactsUser},
        {"the file comes before the relative link that makes it user 0's",
         {fileMember("fs/" + hidden + "contacts2.db", files.contacts),
          fileMember("fs/" + sms + "mmssms.db", files.sms),
          linkMember("fs/data/user/0", "../misc/profiles")},
         "arrived missing missing missing",
         "fs/" + hidden},
        {"a side file in another folder is not the database's",
         {fileMember(kContacts + "contacts2.db", files.contacts),
          fileMember(contactsDe + "contacts2.db-wal", files.contactsWal),
          fileMember(sms + "mmssms.db", files.sms)},
         "arrived missing missing missing",
         kContacts},
    };
    for (const auto& layout : cases) {
        SCOPED_TRACE(layout.what);
        const std::string archive = m_tmp.path() + "/phone.tar";
        test::writeTestArchive(archive, "pax", "none", layout.members);
        for (const std::string& source : {archive, m_tmp.path() + "/folder"}) {
            if (source != archive) {
                std::filesystem::remove_all(source);
                test::writeTestFolder(source, layout.members);
            }
            const ExtractionResult result = acquire(source);
            ASSERT_TRUE(result.problem.empty()) << result.problem;
            EXPECT_EQ(outcomes(result, 0, 4), layout.contactsFamily);
            EXPECT_EQ(outcomes(result, 4, 1), "arrived");
            EXPECT_TRUE(copyOf(result, 0) == files.contacts);
            EXPECT_EQ(result.copies.files[0].phonePath, layout.contactsFrom + "contacts2.db");
        }
    }
}

TEST_F(Extraction, AnotherUsersDatabasesAreNamedAndNeverMixedIn) {
    const PhoneFiles files;
    const std::string work = "Dump/data/user/10/com.android.providers.contacts/databases/";
    std::vector<TestMember> members = {
        fileMember(work + "contacts2.db", "the work profile's contacts"),
        fileMember(work + "contacts2.db-wal", "the work profile's log"),
        fileMember("Dump/" + kContacts + "contacts2.db", files.contacts),
        fileMember("Dump/" + kSmsUserDe + "mmssms.db", files.sms),
        linkMember("Dump/data/user/0", "/data/data"),
    };
    const std::string archive = m_tmp.path() + "/two-users.tar.gz";
    test::writeTestArchive(archive, "gnutar", "gzip", members);
    const std::string folder = m_tmp.path() + "/two-users";
    test::writeTestFolder(folder, members);
    for (const std::string& source : {archive, folder}) {
        SCOPED_TRACE(source);
        const ExtractionResult result = acquire(source);
        EXPECT_EQ(outcomes(result),
                  "arrived missing missing missing arrived missing missing missing");
        EXPECT_TRUE(copyOf(result, 0) == files.contacts);
        const std::string note = "user 10 has its own contacts2.db (" + work +
                                 "contacts2.db); only user 0's files are copied";
        EXPECT_EQ(result.notes, std::vector<std::string>{note});
        EXPECT_EQ(parseProvenance(test::readFile(m_home + "/Quillmet/manifest.sha256")).notes,
                  std::vector<std::string>{note});
    }
}

TEST_F(Extraction, HostileNamesAndLinksNeverReadOrWriteOutsideTheExtraction) {
    const PhoneFiles files;
    const std::string secret = m_tmp.path() + "/secret";
    test::writeFile(secret, "SECRET of the host");
    const std::string escape = m_tmp.path() + "/escape";
    const std::string climbs = std::string(20 * 3, '.');

    // Names that climb out are only names: they are left out, and nothing is
    // written where they point. Absolute names are the phone's paths.
    std::vector<TestMember> names = {
        fileMember("../../escape/" + kContacts + "contacts2.db", "climbed out"),
        fileMember("Dump/../../escape/" + kSmsUserDe + "mmssms.db", "climbed out"),
        fileMember("/" + kContacts + "contacts2.db", files.contacts),
        fileMember("/" + kSmsUserDe + "mmssms.db", files.sms),
    };
    const std::string namesArchive = m_tmp.path() + "/names.tar";
    test::writeTestArchive(namesArchive, "pax", "none", names);
    ExtractionResult result = acquire(namesArchive);
    EXPECT_EQ(outcomes(result), "arrived missing missing missing arrived missing missing missing");
    EXPECT_TRUE(copyOf(result, 0) == files.contacts);
    EXPECT_TRUE(copyOf(result, 4) == files.sms);
    EXPECT_EQ(result.notes.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(escape));
    EXPECT_FALSE(std::filesystem::exists("/" + kContacts));

    // Links out of the tree, symbolic and hard, to a file or to the root.
    std::string upAndOut;
    for (int i = 0; i < 20; ++i)
        upAndOut += "../";
    std::vector<TestMember> links = {
        fileMember("Dump/" + kSmsUserDe + "mmssms.db", files.sms),
        linkMember("Dump/" + kContacts + "contacts2.db", secret),
        linkMember("Dump/" + kContacts + "contacts2.db-wal", upAndOut + secret.substr(1)),
        hardLinkMember("Dump/" + kContacts + "calllog.db", secret),
        hardLinkMember("Dump/" + kContacts + "calllog.db-wal", upAndOut + secret.substr(1)),
        linkMember("Dump/data/user/0", "/"),
        linkMember("Dump/" + kBugle + "bugle_db", "/data/user/0/" + secret.substr(1)),
    };
    const std::string linksArchive = m_tmp.path() + "/links.tar";
    test::writeTestArchive(linksArchive, "gnutar", "none", links);
    // The same as a folder, plus a databases folder that is a link out of it.
    const std::string folder = m_tmp.path() + "/links";
    links.erase(links.begin() + 3, links.begin() + 5); // hard links to host files need no test
    links.push_back(linkMember("Dump/data/user_de/0/com.android.providers.contacts",
                               m_tmp.path() + "/host-contacts"));
    test::writeTestFolder(m_tmp.path() + "/host-contacts",
                          {fileMember("databases/contacts2.db", "SECRET of the host")});
    test::writeTestFolder(folder, links);
    // And as a zip, whose links are members with a link's mode.
    const std::string linksZip = m_tmp.path() + "/links.zip";
    test::writeTestArchive(linksZip, "zip", "none", links);
    for (const std::string& source : {linksArchive, folder, linksZip}) {
        SCOPED_TRACE(source);
        result = acquire(source);
        EXPECT_EQ(outcomes(result, 4, 1), "arrived");
        EXPECT_NE(result.copies.contactsDb().outcome, CopyOutcome::Arrived);
        EXPECT_NE(result.copies.callLogDb().outcome, CopyOutcome::Arrived);
        EXPECT_NE(result.copies.bugleDb().outcome, CopyOutcome::Arrived);
        for (const PulledFile& file : result.copies.files)
            EXPECT_EQ(test::readFile(file.localPath).find("SECRET"), std::string::npos)
                << file.localPath;
    }
    EXPECT_EQ(test::readFile(secret), "SECRET of the host");
}

TEST_F(Extraction, DamagedArchivesAndEmptyExtractionsLeaveNoCopy) {
    PhoneFiles files;
    files.sms = "SQLite format 3" + std::string(1, '\0') + test::noise(400000, 9);
    std::vector<TestMember> members = modernPhone("Dump/", files);
    std::swap(members[4], members.back()); // the big messages database last
    const std::string whole = m_tmp.path() + "/whole.tar.gz";
    test::writeTestArchive(whole, "gnutar", "gzip", members);
    const std::string bytes = test::readFile(whole);

    const std::string cut = m_tmp.path() + "/cut.tar.gz";
    test::writeFile(cut, bytes.substr(0, bytes.size() - 100000));
    std::string flipped = bytes;
    for (size_t i = 40; i < 104; ++i) // inside the first members' compressed bytes
        flipped[i] = char(~flipped[i]);
    const std::string damaged = m_tmp.path() + "/damaged.tar.gz";
    test::writeFile(damaged, flipped);
    // Noise is stored, not compressed: only the gzip's own check tells a
    // flipped byte inside the messages database.
    std::string stored = bytes;
    stored[bytes.size() - 100000] = char(~stored[bytes.size() - 100000]);
    const std::string unchecked = m_tmp.path() + "/flipped.tar.gz";
    test::writeFile(unchecked, stored);
    const std::string encrypted = m_tmp.path() + "/encrypted.zip";
    test::writeTestArchive(encrypted, "zip", "none", modernPhone("Dump/"),
                           "zip:encryption=zipcrypt");
    const std::string noise = m_tmp.path() + "/noise.bin";
    test::writeFile(noise, test::noise(100000, 7));
    const std::string empty = m_tmp.path() + "/empty";
    test::writeTestFolder(empty, {fileMember("Dump/" + kGms + "icing_mmssms.db", "x")});
    const std::string noDatabase = m_tmp.path() + "/nodb.tar";
    test::writeTestArchive(noDatabase, "ustar", "none",
                           {fileMember("Dump/" + kGms + "mmssms.db", "x")});

    const struct {
        std::string source;
        std::string problem;
    } cases[] = {
        {cut, "ends inside Dump/" + kSmsUserDe + "mmssms.db"},
        {damaged, "is damaged"},
        {unchecked, "is damaged: damaged gzip data: incorrect data check"},
        {encrypted, "encrypted zip member Dump/" + kContacts + "contacts2.db"},
        {noise, "not an archive this program reads"},
        {empty, "no contacts2.db or mmssms.db in " + empty},
        {noDatabase, "no contacts2.db or mmssms.db in " + noDatabase},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.source);
        expectModernPhone(acquire(whole), "Dump/", files); // copies to be taken back
        const ExtractionResult result = acquire(bad.source);
        EXPECT_EQ(result.problem.substr(0, bad.problem.size()), bad.problem) << result.problem;
        EXPECT_FALSE(result.databaseArrived());
        EXPECT_TRUE(result.copies.manifests.empty());
        EXPECT_EQ(filesInCopyFolders(), std::vector<std::string>{});
    }
}

TEST_F(Extraction, AFileBiggerThanTheFreeSpaceOrAStopLeavesNothingPartial) {
    const PhoneFiles files; // the messages database is the biggest, 9016 bytes
    const std::string archive = m_tmp.path() + "/phone.tar.zst";
    test::writeTestArchive(archive, "pax", "zstd", modernPhone("Dump/"));
    const std::string folder = m_tmp.path() + "/phone";
    test::writeTestFolder(folder, modernPhone("Dump/"));
    for (const std::string& source : {archive, folder}) {
        SCOPED_TRACE(source);
        ExtractionResult result = acquire(source, 8000);
        EXPECT_EQ(outcomes(result),
                  "arrived arrived missing missing failed missing arrived missing");
        EXPECT_NE(result.copies.smsDb().detail.find("bytes free"), std::string::npos)
            << result.copies.smsDb().detail;
        EXPECT_FALSE(platform::fileExists(result.copies.smsDb().localPath));
        EXPECT_TRUE(result.databaseArrived());
        EXPECT_TRUE(checkCopies(localDbPaths(m_home)).intact());

        std::atomic<bool> stop{false};
        uint64_t lastDone = 0, lastTotal = 0;
        result = acquire(source, {}, &stop, [&](uint64_t done, uint64_t total) {
            lastDone = done;
            lastTotal = total;
            stop = true;
        });
        EXPECT_TRUE(result.stopped);
        EXPECT_GT(lastTotal, 0u);
        EXPECT_LE(lastDone, lastTotal);
        EXPECT_EQ(filesInCopyFolders(), std::vector<std::string>{});
    }
}

TEST_F(Extraction, RandomDamageNeverCrashesNorLeavesACopyThatIsNotWhole) {
    const std::vector<TestMember> members = modernPhone("Dump/");
    std::mt19937 random(11);
    for (const auto& [format, filter] : {std::pair<std::string, std::string>{"gnutar", "none"},
                                         {"pax", "gzip"},
                                         {"zip", "none"}}) {
        const std::string archive = m_tmp.path() + "/phone." + format + "." + filter;
        test::writeTestArchive(archive, format, filter, members);
        const std::string bytes = test::readFile(archive);
        for (int round = 0; round < 40; ++round) {
            std::string damaged = bytes;
            if (round % 4 == 0) {
                damaged.resize(random() % bytes.size());
            } else {
                for (int flips = 1 + int(random() % 8); flips > 0; --flips)
                    damaged[random() % damaged.size()] = char(random());
            }
            const std::string path = m_tmp.path() + "/damaged";
            test::writeFile(path, damaged);
            SCOPED_TRACE(format + " " + filter + " round " + std::to_string(round));
            const ExtractionResult result = acquire(path);
            // Whatever arrived is listed with the bytes it has; nothing else stands there.
            EXPECT_TRUE(checkCopies(localDbPaths(m_home)).intact());
            if (!result.problem.empty()) {
                EXPECT_EQ(filesInCopyFolders(), std::vector<std::string>{});
            }
        }
    }
}
