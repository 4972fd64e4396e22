// The deep engine on every kind of modern phone (and an old one): of the
// deleted rows whose bytes survive anywhere in the pulled files it finds at
// least 95%, it never reports a live row, a record without a value or a row
// twice, and it leaves the files as they were.
#include "recall_support.h"

#include "modern_phone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace testdata;
using namespace deep_recall_test;

namespace {

class PhoneRecall : public ::testing::TestWithParam<ModernPhoneSpec> {};

// A phone used more: 400 contacts and 1,500 messages, five deletions a
// transaction, so pages move around between the WAL's versions.
ModernPhoneSpec busyPhone(PhoneKind kind) {
    ModernPhoneSpec spec = modernPhoneSpec(kind);
    spec.contacts = 400;
    spec.messages = 1500;
    spec.threads = 40;
    spec.newContacts = 50;
    spec.newMessages = 180;
    spec.deletionsPerTransaction = 5;
    return spec;
}

// "wal", or "wal_400" for a phone larger than its kind's standard one.
std::string specName(const ModernPhoneSpec& spec) {
    std::string name = phoneKindName(spec.kind);
    std::replace(name.begin(), name.end(), '-', '_');
    if (spec.contacts != modernPhoneSpec(spec.kind).contacts)
        name += "_" + std::to_string(spec.contacts);
    return name;
}

// Whether `files` (as the scan names them) holds a file called like `path`.
bool listsFile(const std::vector<std::string>& files, const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return std::any_of(files.begin(), files.end(), [&](const std::string& f) {
        return std::filesystem::path(f).filename().string() == name;
    });
}

} // namespace

namespace testdata {
// Names a phone in test messages.
void PrintTo(const ModernPhoneSpec& spec, std::ostream* out) {
    *out << specName(spec);
}
} // namespace testdata

TEST_P(PhoneRecall, FindsWhatSurvivesAndNothingElse) {
    const std::string kind = specName(GetParam());
    ScratchDir dir("phone-" + kind);
    const ModernPhoneTruth truth = generateModernPhone(dir.path(), GetParam());
    const auto before = folderSnapshot(dir.path());
    std::string shortfall;
    for (const DatabaseTruth* db : {&truth.contacts, &truth.sms}) {
        const std::string label = kind + " " + std::filesystem::path(db->path).filename().string();
        SCOPED_TRACE(label);
        const Scan scan = scanAndScore(*db, label);
        ASSERT_EQ(scan.run.status, 0);
        ASSERT_TRUE(scan.output.wellFormed) << scan.output.error;
        for (const std::string& file : db->files) {
            if (std::filesystem::file_size(file) > 0) {
                EXPECT_TRUE(listsFile(scan.output.files, file)) << file << " not read";
            }
        }
        expectPrecision(scan.score);
        shortfall += recallShortfall(scan.score, label);
    }
    EXPECT_EQ(folderSnapshot(dir.path()), before) << "the scan changed the phone's files";
    EXPECT_EQ(shortfall, "") << "recall goal not met";
}

// The large phone is left to the recall benchmark (bench_deep_recall).
INSTANTIATE_TEST_SUITE_P(
    Kinds, PhoneRecall,
    ::testing::Values(modernPhoneSpec(PhoneKind::Wal), modernPhoneSpec(PhoneKind::WalCheckpointed),
                      modernPhoneSpec(PhoneKind::WalRestarted), modernPhoneSpec(PhoneKind::Persist),
                      modernPhoneSpec(PhoneKind::Truncate), modernPhoneSpec(PhoneKind::Upgraded),
                      modernPhoneSpec(PhoneKind::Classic), busyPhone(PhoneKind::Wal)),
    [](const auto& info) { return specName(info.param); });
