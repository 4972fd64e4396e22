// SHA-256, the copies' hash manifests and the phone's size listing: the
// pieces that decide whether a copy is taken for whole.
#include <chrono>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

#include "copy_manifest.h"
#include "deep_commands.h"
#include "file_ops.h"
#include "process_run.h"
#include "sha256.h"
#include "test_support.h"

using namespace fennaro;
using namespace std::chrono_literals;

TEST(Sha256, MatchesTheStandardVectorsFedInAnyPieces) {
    EXPECT_EQ(platform::sha256Hex(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(platform::sha256Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(platform::sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(platform::sha256Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmn"
                                  "hijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    // A million 'a', fed in pieces that straddle the 64-byte blocks.
    platform::Sha256 hash;
    const std::string piece(37, 'a');
    size_t fed = 0;
    for (; fed + piece.size() <= 1000000; fed += piece.size())
        hash.update(piece);
    hash.update(std::string(1000000 - fed, 'a'));
    EXPECT_EQ(platform::toHex(hash.finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, AgreesWithSha256sumOnFilesAroundBlockEdges) {
    test::TempFolder tmp;
    for (size_t size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1000003}) {
        const std::string path = tmp.path() + "/file " + std::to_string(size);
        test::writeFile(path, test::noise(size, unsigned(size)));
        std::string ours, theirs;
        ASSERT_TRUE(platform::sha256OfFile(path, ours));
        auto run = platform::runHiddenCapture({"/usr/bin/sha256sum", path}, 10s, theirs);
        if (run.outcome == platform::RunOutcome::NotStarted)
            GTEST_SKIP() << "no sha256sum";
        EXPECT_EQ(ours, theirs.substr(0, 64)) << size;
    }
    std::string none;
    EXPECT_FALSE(platform::sha256OfFile(tmp.path() + "/absent", none));
}

TEST(Manifest, ReadsSha256sumLinesAndRefusesAnythingElse) {
    const std::string hash(64, 'a');
    auto entries = parseManifest(hash + "  contacts2.db\n" + std::string(64, 'B') + " *x y-wal\n");
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[1].fileName, "x y-wal");
    EXPECT_EQ((*entries)[1].sha256, std::string(64, 'b'));
    EXPECT_TRUE(parseManifest("") && parseManifest("")->empty());

    for (const std::string& bad : {
             hash.substr(1) + "  a.db\n",       // short hash
             std::string(64, 'g') + "  a.db\n", // not hexadecimal
             hash + " a.db\n",                  // one blank
             hash + "  \n",                     // no name
             hash + "  ../../etc/passwd\n",     // leaves the folder
             hash + "  sub/a.db\n",             // not a plain name
             hash + "  ..\n",                   // the parent itself
             "\\" + hash + "  a\\nb\n",         // an escaped name
             hash + "  a.db\r\n",               // a stray carriage return
             std::string("garbage\n"),
         })
        EXPECT_FALSE(parseManifest(bad)) << bad;
}

TEST(Manifest, CheckFindsChangedMissingAndUnlistedCopies) {
    test::TempFolder home;
    const LocalDbPaths paths = localDbPaths(home.path() + "/with blank");
    ::mkdir((home.path() + "/with blank").c_str(), 0700);
    ASSERT_TRUE(prepareCopyFolders(paths));
    auto put = [](const std::string& path, const std::string& bytes) {
        test::writeFile(path, bytes);
        return ManifestEntry{platform::baseName(path), platform::sha256Hex(bytes)};
    };
    const std::string contactsFolder = platform::parentFolder(paths.localContactsDb);
    const std::string smsFolder = platform::parentFolder(paths.localSmsDb);
    ASSERT_TRUE(writeManifest(contactsFolder, {put(paths.localContactsDb, "contacts"),
                                               put(paths.localContactsDb + "-wal", "log")}));
    ASSERT_TRUE(writeManifest(
        smsFolder, {put(paths.localSmsDb, "sms"), put(paths.localSmsDb + "-journal", "")}));
    CopyCheck check = checkCopies(paths);
    EXPECT_TRUE(check.intact());
    EXPECT_EQ(check.verified.size(), 4u);

    // sha256sum run in each folder takes the manifest as its own.
    for (const std::string& folder : {contactsFolder, smsFolder}) {
        std::string out;
        auto run = platform::runHiddenCapture(
            {"/bin/sh", "-c", "cd \"$1\" && sha256sum -c manifest.sha256", "sh", folder}, 10s, out);
        EXPECT_EQ(run.exitStatus, 0) << out;
    }

    test::writeFile(paths.localContactsDb, "contactz");
    platform::deleteFile(paths.localSmsDb + "-journal");
    test::writeFile(paths.localSmsDb + "-wal", "appeared after the acquisition");
    check = checkCopies(paths);
    EXPECT_FALSE(check.intact());
    EXPECT_EQ(check.changed, std::vector<std::string>{paths.localContactsDb});
    EXPECT_EQ(check.missing, std::vector<std::string>{paths.localSmsDb + "-journal"});
    EXPECT_EQ(check.unlisted, std::vector<std::string>{paths.localSmsDb + "-wal"});
    EXPECT_EQ(check.verified.size(), 2u);

    // A manifest that is not one, and copies without any.
    test::writeFile(contactsFolder + "/manifest.sha256", "not a manifest\n");
    platform::deleteFile(smsFolder + "/manifest.sha256");
    check = checkCopies(paths);
    EXPECT_EQ(check.badManifests, std::vector<std::string>{contactsFolder + "/manifest.sha256"});
    EXPECT_EQ(check.unlisted.size(), 2u);
    EXPECT_TRUE(check.verified.empty());

    // Nothing there at all is nothing wrong.
    deleteStaleCopies(paths);
    EXPECT_TRUE(checkCopies(paths).intact());
}

TEST(SizeListing, CountsOnlyWhatTheListingProvesRanOnThePhone) {
    auto sizes = parseSizeListing("4096:/\n0:/d/a.db-journal\r\n1234:/d/a.db\n");
    ASSERT_TRUE(sizes);
    EXPECT_EQ(*sizes, (std::map<std::string, uint64_t>{{"/d/a.db", 1234}, {"/d/a.db-journal", 0}}));

    // Without the line for "/", no file can be called missing.
    EXPECT_FALSE(parseSizeListing(""));
    EXPECT_FALSE(parseSizeListing("1234:/d/a.db\n"));
    EXPECT_FALSE(parseSizeListing("/system/bin/sh: su: inaccessible or not found\n"));
    // A shell's chatter among the lines is not a file.
    sizes = parseSizeListing("x:/d/b\n:/d/c\n99999999999999999999:/d/e\n4096:/\n");
    ASSERT_TRUE(sizes);
    EXPECT_TRUE(sizes->empty());
}

TEST(Manifest, ParsersSurviveDamagedText) {
    // Thousands of cut, scribbled and spliced manifests and listings: each is
    // refused or read, never read past its end (the sanitizer build checks).
    const std::string manifest = manifestText(
        {{"contacts2.db", std::string(64, 'a')}, {"contacts2.db-wal", std::string(64, 'b')}});
    const std::string listing = "4096:/\n123:/data/data/x/databases/contacts2.db\n0:/d/y-journal\n";
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        for (std::string text : {manifest, listing}) {
            text.resize(random() % (text.size() + 1));
            for (int scribbles = random() % 4; scribbles > 0 && !text.empty(); --scribbles)
                text[random() % text.size()] = char(random());
            if (random() % 3 == 0)
                text += test::noise(random() % 80, unsigned(round));
            auto entries = parseManifest(text);
            if (entries) {
                for (const ManifestEntry& entry : *entries)
                    EXPECT_EQ(entry.fileName.find('/'), std::string::npos);
            }
            parseSizeListing(text);
        }
    }
}
