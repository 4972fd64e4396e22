// Recall of deleted calls on generated phones of three kinds (Android 6,
// upgraded 6 -> 7, Android 12) and two page sizes: the calls whose cells
// survive come back with their date and type, no live call passes for a
// deleted one, no call comes twice, the live calls are what SQLite reads
// from the current state, and nothing in the phone's folder changes.
#include "call_phone.h"
#include "phone/deep_calls.h"
#include "phone/record_reader.h"
#include "scan_output.h"
#include "tests/support/temp_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

namespace {

using fennaro::deep::CallRecord;
using testdata::CallPhoneKind;
using testdata::Survival;
using testdata::TruthCall;

// The share of surviving deleted calls that must come back.
constexpr double kCallRecallGoal = 0.95;

// Whether a reported call shows a truth call: the same date and type, and
// the same id where the report has one.
bool shows(const CallRecord& call, const TruthCall& truth) {
    return call.date && truth.date && *call.date == *truth.date && call.type == truth.type &&
           (!call.id || *call.id == truth.id);
}

// The phone's databases as the program is given them.
fennaro::PhoneDatabases databasesOf(const testdata::CallPhoneTruth& truth) {
    fennaro::PhoneDatabases dbs;
    dbs.contactsDb = truth.contactsDb;
    dbs.callLogDb = truth.callLogDb;
    return dbs;
}

struct Case {
    CallPhoneKind kind;
    int pageSize;
};

class CallRecall : public ::testing::TestWithParam<Case> {};

TEST_P(CallRecall, SurvivingDeletedCallsComeBackAndLiveOnesStayLive) {
    const Case c = GetParam();
    testfiles::TempDir dir("calls");
    testdata::CallPhoneSpec spec;
    spec.kind = c.kind;
    spec.pageSize = c.pageSize;
    const testdata::CallPhoneTruth truth = testdata::generateCallPhone(dir.path(), spec);
    const auto before = testfiles::folderSnapshot(dir.path());

    const fennaro::ContactLists contacts = fennaro::readContacts(truth.contactsDb);
    const std::vector<CallRecord> calls =
        fennaro::deep::readCallLog(databasesOf(truth), contacts, true);
    EXPECT_EQ(testfiles::folderSnapshot(dir.path()), before) << "the files changed";

    std::vector<const CallRecord*> deleted, live;
    for (const CallRecord& call : calls)
        (call.deleted ? deleted : live).push_back(&call);

    // Live calls: exactly those SQLite reads, deleted ones listed first.
    ASSERT_EQ(live.size(), truth.live.size());
    std::set<std::tuple<int64_t, std::optional<int64_t>, std::optional<int64_t>>> liveTruth;
    for (const TruthCall& call : truth.live)
        liveTruth.emplace(call.id, call.date, call.type);
    for (const CallRecord* call : live)
        EXPECT_TRUE(call->id && liveTruth.count({*call->id, call->date, call->type}))
            << "live call " << call->id.value_or(-1) << " is not in the current state";
    EXPECT_TRUE(std::is_partitioned(calls.begin(), calls.end(),
                                    [](const CallRecord& call) { return call.deleted; }));

    // No live call reported as deleted, no deleted call twice.
    size_t liveAsDeleted = 0, twice = 0;
    std::set<std::tuple<int64_t, std::string, int64_t>> seen;
    for (const CallRecord* call : deleted) {
        for (const TruthCall& l : truth.live)
            liveAsDeleted += shows(*call, l) ? 1 : 0;
        if (call->date && call->type &&
            !seen.emplace(*call->date, call->number, *call->type).second)
            ++twice;
    }
    EXPECT_EQ(liveAsDeleted, 0u);
    EXPECT_EQ(twice, 0u);

    // Recall over the deleted calls whose bytes survive whole or header-lost.
    size_t surviving = 0, found = 0;
    std::map<std::string, size_t> missed;
    for (const TruthCall& t : truth.deleted) {
        if (!t.countable || (t.survival != Survival::Whole && t.survival != Survival::HeaderLost))
            continue;
        ++surviving;
        bool back = false;
        for (const CallRecord* call : deleted)
            back = back || shows(*call, t);
        found += back ? 1 : 0;
        if (!back)
            ++missed[testdata::survivalName(t.survival)];
    }
    // Every reported deleted call with a date is one the phone had.
    size_t unknown = 0;
    for (const CallRecord* call : deleted) {
        bool known = !call->date;
        for (const TruthCall& t : truth.deleted)
            known = known || shows(*call, t);
        unknown += known ? 0 : 1;
    }
    const double recall = surviving ? double(found) / double(surviving) : 1.0;
    std::printf("[calls] %s page %d: %zu live, %zu deleted reported, %zu of %zu surviving "
                "(%.1f%%), %zu unknown\n",
                testdata::callPhoneKindName(c.kind), c.pageSize, live.size(), deleted.size(), found,
                surviving, recall * 100, unknown);
    for (const auto& [cls, count] : missed)
        std::printf("[calls]   missed %zu %s\n", count, cls.c_str());
    EXPECT_GE(recall, kCallRecallGoal);
    EXPECT_EQ(unknown, 0u);
    EXPECT_GT(surviving, 0u);
}

#ifdef FENNARO_RECOVER_PATH
// The command line lists the same calls: with --deep the deleted ones
// first, each saying so, without it the live ones alone; calllog.db is found
// beside contacts2.db or named with --calllog.
TEST(CallList, CommandLineListsTheCallLog) {
    testfiles::TempDir dir("calls-cli");
    testdata::CallPhoneSpec spec;
    spec.kind = CallPhoneKind::Upgraded7;
    const testdata::CallPhoneTruth truth = testdata::generateCallPhone(dir.path(), spec);
    const std::vector<CallRecord> calls = fennaro::deep::readCallLog(
        databasesOf(truth), fennaro::readContacts(truth.contactsDb), true);
    // The rows, and how many of them are marked deleted.
    const auto rows = [](const testdata::ProgramRun& run) {
        size_t lines = 0, deleted = 0;
        std::istringstream in(run.out);
        for (std::string line; std::getline(in, line);) {
            ++lines;
            if (line.starts_with("deleted\t")) {
                ++deleted;
                EXPECT_NE(line.find("\t[deleted] "), std::string::npos) << line;
            }
        }
        return std::pair(lines, deleted);
    };
    const std::string recover = FENNARO_RECOVER_PATH;
    const auto deep = testdata::runProgram({recover, "list", "--deep", "calls", truth.contactsDb});
    EXPECT_EQ(deep.status, 0);
    EXPECT_EQ(rows(deep), std::pair(calls.size(), calls.size() - truth.live.size()));
    const auto live = testdata::runProgram({recover, "list", "calls", truth.contactsDb});
    EXPECT_EQ(rows(live), std::pair(truth.live.size(), size_t(0)));

    // Elsewhere, calllog.db is named; without it contacts2.db has no calls.
    std::filesystem::create_directory(dir.file("other"));
    std::filesystem::rename(truth.callLogDb, dir.file("other/calls.db"));
    std::filesystem::rename(truth.callLogDb + "-journal", dir.file("other/calls.db-journal"));
    const auto named = testdata::runProgram(
        {recover, "list", "calls", truth.contactsDb, "--calllog", dir.file("other/calls.db")});
    EXPECT_EQ(rows(named), std::pair(truth.live.size(), size_t(0)));
    EXPECT_EQ(testdata::runProgram({recover, "list", "calls", truth.contactsDb}).out, "");
    EXPECT_EQ(testdata::runProgram(
                  {recover, "list", "calls", truth.contactsDb, "--calllog", dir.file("none.db")})
                  .status,
              1);
    EXPECT_EQ(
        testdata::runProgram({recover, "list", "calls", truth.contactsDb, "--calllog"}).status, 2);

    // The deep report takes the named call log too: its rows and its hash.
    const std::string folder = dir.file("report");
    std::filesystem::create_directory(folder);
    const auto report =
        testdata::runProgram({recover, "report", "--deep", truth.contactsDb, "/dev/null", folder,
                              "--calllog", dir.file("other/calls.db")});
    EXPECT_EQ(report.status, 0);
    std::ifstream csv(folder + "/records.csv");
    size_t callRows = 0;
    for (std::string line; std::getline(csv, line);)
        callRows += line.starts_with("call,") ? 1 : 0;
    EXPECT_EQ(callRows, calls.size());
    std::ifstream page(folder + "/report.html");
    const std::string html{std::istreambuf_iterator<char>(page), {}};
    EXPECT_NE(html.find("calls.db"), std::string::npos);
    // The classic report reads no call log.
    EXPECT_EQ(testdata::runProgram({recover, "report", truth.contactsDb, "/dev/null", folder,
                                    "--calllog", dir.file("other/calls.db")})
                  .status,
              2);
}

#endif

INSTANTIATE_TEST_SUITE_P(
    Phones, CallRecall,
    ::testing::Values(Case{CallPhoneKind::Android6, 1024}, Case{CallPhoneKind::Android6, 4096},
                      Case{CallPhoneKind::Upgraded7, 1024}, Case{CallPhoneKind::Upgraded7, 4096},
                      Case{CallPhoneKind::Android12, 1024}, Case{CallPhoneKind::Android12, 4096}),
    [](const ::testing::TestParamInfo<Case>& info) {
        return std::string(testdata::callPhoneKindName(info.param.kind)) + "_" +
               std::to_string(info.param.pageSize);
    });

} // namespace
