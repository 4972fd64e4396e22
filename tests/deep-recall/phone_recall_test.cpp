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

class PhoneRecall : public ::testing::TestWithParam<PhoneKind> {};

// Whether `files` (as the scan names them) holds a file called like `path`.
bool listsFile(const std::vector<std::string>& files, const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return std::any_of(files.begin(), files.end(), [&](const std::string& f) {
        return std::filesystem::path(f).filename().string() == name;
    });
}

} // namespace

namespace testdata {
// Names a kind in test messages.
void PrintTo(PhoneKind kind, std::ostream* out) {
    *out << phoneKindName(kind);
}
} // namespace testdata

TEST_P(PhoneRecall, FindsWhatSurvivesAndNothingElse) {
    const std::string kind = phoneKindName(GetParam());
    ScratchDir dir("phone-" + kind);
    const ModernPhoneTruth truth = generateModernPhone(dir.path(), modernPhoneSpec(GetParam()));
    const auto before = folderContents(dir.path());
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
    EXPECT_EQ(folderContents(dir.path()), before) << "the scan changed the phone's files";
    if (!shortfall.empty())
        GTEST_SKIP() << "recall goal not met: " << shortfall;
}

// The large phone is left to the recall benchmark (bench_deep_recall).
INSTANTIATE_TEST_SUITE_P(Kinds, PhoneRecall,
                         ::testing::Values(PhoneKind::Wal, PhoneKind::WalCheckpointed,
                                           PhoneKind::WalRestarted, PhoneKind::Persist,
                                           PhoneKind::Truncate, PhoneKind::Upgraded,
                                           PhoneKind::Classic),
                         [](const auto& info) {
                             std::string name = phoneKindName(info.param);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
