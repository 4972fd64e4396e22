// The call log reader on damaged call logs, built with the sanitizers: pages
// of random bytes, a cut -wal or -journal, a cut or headless main file. Each
// gives what it can without a fault and never changes a file; unless the
// main file is cut, no live call passes for a deleted one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "call_phone.h"
#include "phone/deep_calls.h"
#include "phone/record_reader.h"
#include "tests/support/temp_files.h"

namespace fennaro::deep {
namespace {

// Overwrites length bytes of the file at path from offset with bytes of rng
// (zeros when zero is set).
void overwrite(const std::string& path, uint64_t offset, size_t length, std::mt19937_64& rng,
               bool zero = false) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(std::streamoff(offset));
    std::string bytes(length, '\0');
    for (char& c : bytes)
        c = zero ? '\0' : char(rng());
    file.write(bytes.data(), std::streamsize(bytes.size()));
}

// Cuts the file at path to its first size bytes, when it has more.
void cut(const std::string& path, uint64_t size) {
    std::error_code error;
    const uintmax_t have = std::filesystem::file_size(path, error);
    if (!error && have > size)
        std::filesystem::resize_file(path, size);
}

TEST(DeepCalls, DamagedCallLogsGiveWhatTheyCan) {
    const std::vector<std::pair<
        const char*, std::function<void(const testdata::CallPhoneTruth&, std::mt19937_64&)>>>
        damages = {
            {"random pages",
             [](const testdata::CallPhoneTruth& t, std::mt19937_64& rng) {
                 for (uint64_t page : {1, 3, 6, 9})
                     overwrite(t.callLogDb, page * 1024 + rng() % 512, 700, rng);
             }},
            {"cut side file",
             [](const testdata::CallPhoneTruth& t, std::mt19937_64&) {
                 cut(t.callLogDb + "-wal", 1024 * 5 + 333);
                 cut(t.callLogDb + "-journal", 1024 + 77);
             }},
            {"cut main file",
             [](const testdata::CallPhoneTruth& t, std::mt19937_64&) {
                 cut(t.callLogDb, 1024 * 3 + 100);
                 cut(t.contactsDb, 1024 * 7 + 5);
             }},
            {"no header",
             [](const testdata::CallPhoneTruth& t, std::mt19937_64& rng) {
                 overwrite(t.callLogDb, 0, 100, rng, true);
                 overwrite(t.contactsDb, 0, 100, rng, true);
             }},
        };
    for (testdata::CallPhoneKind kind :
         {testdata::CallPhoneKind::Upgraded7, testdata::CallPhoneKind::Android12}) {
        for (const auto& [label, damage] : damages) {
            SCOPED_TRACE(std::string(testdata::callPhoneKindName(kind)) + ", " + label);
            testfiles::TempDir dir("damaged-calls");
            testdata::CallPhoneSpec spec;
            spec.kind = kind;
            spec.pageSize = 1024;
            spec.keep = 80;
            const testdata::CallPhoneTruth truth = testdata::generateCallPhone(dir.path(), spec);
            std::mt19937_64 rng(7);
            damage(truth, rng);
            const auto before = testfiles::folderSnapshot(dir.path());
            PhoneDatabases dbs;
            dbs.contactsDb = truth.contactsDb;
            dbs.callLogDb = truth.callLogDb;
            const std::vector<CallRecord> calls =
                readCallLog(dbs, readContacts(truth.contactsDb), true);
            EXPECT_EQ(testfiles::folderSnapshot(dir.path()), before);
            size_t live = 0;
            // A live call whose page was cut off the main file can still be
            // read from an older image in a side file, where nothing tells
            // it from a deleted one.
            const bool cutMain = std::string(label) == "cut main file";
            for (const CallRecord& call : calls) {
                live += call.deleted ? 0 : 1;
                if (!call.deleted || !call.id || cutMain)
                    continue;
                for (const testdata::TruthCall& l : truth.live)
                    EXPECT_FALSE(l.id == *call.id && l.date == call.date &&
                                 call.file == "calllog.db")
                        << "live call " << l.id << " reported as deleted";
            }
            EXPECT_LE(live, truth.live.size());
        }
    }
}

} // namespace
} // namespace fennaro::deep
