#include "recall_support.h"

#include "survival_search.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace deep_recall_test {

using namespace testdata;

ProgramRun runRecover(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{FENNARO_RECOVER_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(argv);
}

Scan scanAndScore(const DatabaseTruth& truth, const std::string& label) {
    Scan scan;
    scan.run = runRecover({"scan", truth.path});
    scan.output = parseScanOutput(scan.run.out);
    scan.score = scoreScan(truth, scan.output);
    std::cout << label << ": " << describeScore(scan.score) << std::flush;
    return scan;
}

void expectPrecision(const RecallScore& score) {
    EXPECT_EQ(score.liveReported, 0u) << "live rows reported as deleted";
    EXPECT_EQ(score.valueless, 0u) << "records without a value";
    EXPECT_EQ(score.duplicates, 0u) << "rows reported twice";
    EXPECT_EQ(score.wrongValues, 0u) << "rows reported with values they never had";
    EXPECT_EQ(score.neverExisted, 0u) << "rows their table never had";
}

std::string recallShortfall(const RecallScore& score, const std::string& label) {
    if (score.all.recall() >= kRecallGoal)
        return "";
    char line[256];
    std::snprintf(line, sizeof line, "%s: recall %zu/%zu = %.1f%% (goal %.0f%%); ", label.c_str(),
                  score.all.found, score.all.surviving, 100.0 * score.all.recall(),
                  100.0 * kRecallGoal);
    return line;
}

} // namespace deep_recall_test
