// What the recall tests share: scratch folders, one scan of a database with
// its score, the goals, and the check that a scan leaves the files alone.
#pragma once

#include "database_truth.h"
#include "recall_score.h"
#include "scan_output.h"
#include "tests/support/temp_files.h"

#include <map>
#include <string>
#include <vector>

namespace deep_recall_test {

// The recall the deep engine must reach on the deleted rows that survive.
constexpr double kRecallGoal = 0.95;

// A fresh folder under the system temp folder, removed on destruction.
using ScratchDir = testfiles::TempDir;

// Every file of a folder (name -> content), to prove a run changed nothing.
using testfiles::folderSnapshot;

// One scan of a database: the run, its parsed output and its score.
struct Scan {
    testdata::ProgramRun run;
    testdata::ScanOutput output;
    testdata::RecallScore score;
};

// Runs fennaro-recover scan on `truth.path` and scores it; prints the score
// under `label` so the figures show in the test log.
Scan scanAndScore(const testdata::DatabaseTruth& truth, const std::string& label);

// Checks the precision goals on a score (non-fatal failures): no precision
// fault at all, and a row reported under its rowid is a row its table had,
// with the values of one of its versions.
void expectPrecision(const testdata::RecallScore& score);

// "" when the recall goal is met, else a line with the measured figures.
std::string recallShortfall(const testdata::RecallScore& score, const std::string& label);

// Runs fennaro-recover with `arguments`.
testdata::ProgramRun runRecover(const std::vector<std::string>& arguments);

} // namespace deep_recall_test
