// The deep engine on every kind of modern phone (and an old one): of the
// deleted rows whose bytes survive anywhere in the pulled files it finds at
// least 95%, it never reports a live row, a record without a value or a row
// twice, and it leaves the files as they were.
#include "recall_support.h"

#include "modern_phone.h"
#include "store_phone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

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

namespace {

// The fields of each line of a recovered-record text: name, address and
// body (which may hold tabs of its own).
std::vector<std::vector<std::string>> textLines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::vector<std::string>& fields = lines.emplace_back();
        size_t from = start;
        for (size_t tab; fields.size() < 2 && (tab = text.find('\t', from)) < end; from = tab + 1)
            fields.push_back(text.substr(from, tab - from));
        fields.push_back(text.substr(from, end - from));
    }
    return lines;
}

// Whether a field of a line shows a value ("N/A" says nothing was found).
bool shows(const std::string& field) {
    return !field.empty() && field != "N/A";
}

} // namespace

// The deleted-message lines of the large phone (whose zeroed pages hold
// bytes that parse as sms rows of a blob of zeros and nothing else) and of
// a phone with MMS: each line shows an address or a text, and an MMS that
// kept its parties but no text says so.
TEST(DeepMessageLines, EachShowsAPartyOrATextAndAnMmsWithoutTextSaysSo) {
    ScratchDir large("phone-large-lines");
    const ModernPhoneTruth truth =
        generateModernPhone(large.path(), modernPhoneSpec(PhoneKind::Large, 3));
    ScratchDir mms("phone-mms-lines");
    const StorePhoneTruth store = generateStorePhone(StoreKind::Mms, mms.path(), 5, 4096);
    const std::string noContacts = (std::filesystem::path(mms.path()) / "contacts2.db").string();
    std::ofstream{noContacts};
    size_t withoutText = 0;
    for (const auto& [contacts, sms] :
         {std::pair{truth.contacts.path, truth.sms.path}, std::pair{noContacts, store.smsDb}}) {
        SCOPED_TRACE(sms);
        const testdata::ProgramRun run = runRecover({"deep", "sms", contacts, sms});
        ASSERT_EQ(run.status, 0);
        for (const std::vector<std::string>& fields : textLines(run.out)) {
            // A body's own line breaks continue it on lines of their own.
            if (fields.size() < 3)
                continue;
            EXPECT_TRUE(shows(fields[1]) || shows(fields[2]))
                << "a line with nothing: " << fields[0] << "|" << fields[1] << "|" << fields[2];
            if (fields[2] == "(MMS without text)") {
                ++withoutText;
                EXPECT_TRUE(shows(fields[1])) << "an MMS without text and without its parties";
            }
        }
    }
    EXPECT_GT(withoutText, 0u) << "the MMS phone's picture-only MMS are not shown";
}
