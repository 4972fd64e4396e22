// The deep engine on databases of any schema: random columns of every type,
// values that overflow, page sizes from 512 to 65536, auto_vacuum on and off,
// secure_delete on and off, with and without a WAL or a journal left behind.
#include "recall_support.h"

#include "generic_db.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testdata;
using namespace deep_recall_test;

namespace {

class GenericRecall : public ::testing::TestWithParam<GenericDbSpec> {};

// "4096_vacuum_secure_wal" for a case.
std::string caseName(const GenericDbSpec& spec) {
    return std::to_string(spec.pageSize) + (spec.autoVacuum ? "_vacuum" : "") +
           (spec.secureDelete ? "_secure" : "") + "_" + journalModeName(spec.journal);
}

// A case: a page size and the settings.
GenericDbSpec genericCase(int pageSize, bool autoVacuum, bool secureDelete, JournalMode journal) {
    GenericDbSpec spec;
    spec.pageSize = pageSize;
    spec.autoVacuum = autoVacuum;
    spec.secureDelete = secureDelete;
    spec.journal = journal;
    spec.seed = static_cast<uint64_t>(pageSize) * 4 + autoVacuum * 2 + secureDelete;
    return spec;
}

} // namespace

namespace testdata {
// Names a case in test messages.
void PrintTo(const GenericDbSpec& spec, std::ostream* out) {
    *out << caseName(spec);
}
} // namespace testdata

TEST_P(GenericRecall, FindsWhatSurvivesAndNothingElse) {
    const std::string name = caseName(GetParam());
    ScratchDir dir("generic-" + name);
    const DatabaseTruth truth = generateGenericDatabase(
        (std::filesystem::path(dir.path()) / "any.db").string(), GetParam());
    const auto before = folderSnapshot(dir.path());
    const Scan scan = scanAndScore(truth, name);
    ASSERT_EQ(scan.run.status, 0);
    ASSERT_TRUE(scan.output.wellFormed) << scan.output.error;
    expectPrecision(scan.score);
    EXPECT_EQ(folderSnapshot(dir.path()), before) << "the scan changed the files";
    EXPECT_EQ(recallShortfall(scan.score, name), "") << "recall goal not met";
}

INSTANTIATE_TEST_SUITE_P(Settings, GenericRecall,
                         ::testing::Values(genericCase(512, false, false, JournalMode::Delete),
                                           genericCase(1024, true, false, JournalMode::Delete),
                                           genericCase(2048, false, true, JournalMode::Wal),
                                           genericCase(4096, true, true, JournalMode::Wal),
                                           genericCase(8192, false, false, JournalMode::Wal),
                                           genericCase(16384, true, true, JournalMode::Persist),
                                           genericCase(32768, false, false, JournalMode::Persist),
                                           genericCase(65536, true, false, JournalMode::Delete),
                                           genericCase(65536, false, true, JournalMode::Wal)),
                         [](const auto& info) { return "p" + caseName(info.param); });
