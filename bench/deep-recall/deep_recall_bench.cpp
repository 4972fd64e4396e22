// bench_deep_recall: generates a modern phone of each kind asked for (the
// large one by default: 30,000 messages, 1,500 contacts), runs
// fennaro-recover scan on both databases and prints, per database, the
// deleted rows, the surviving ones, recall and the precision faults, and the
// scan's time as a ratio against one sequential read of the same files
// measured in the same run (best of three each).
//
// usage: bench_deep_recall [WORK_DIR [KIND...]]   (default: bench-data/deep-recall large)
#include "modern_phone.h"
#include "recall_score.h"
#include "survival_search.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Seconds one call of `job` takes, best of three.
template <typename Job>
double bestOfThree(Job job) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        job();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// Measures and prints one database of a phone; false when the scan failed.
bool measure(const std::string& kind, const testdata::DatabaseTruth& truth) {
    size_t bytes = 0;
    const double read = bestOfThree([&] {
        bytes = 0;
        for (const std::string& f : truth.files)
            bytes += testdata::readWholeFile(f).size();
    });
    testdata::ProgramRun run;
    const double scan = bestOfThree([&] {
        run = testdata::runProgram({FENNARO_RECOVER_PATH, "scan", truth.path});
    });
    const testdata::ScanOutput output = testdata::parseScanOutput(run.out);
    const std::string name = std::filesystem::path(truth.path).filename().string();
    if (run.status != 0 || !output.wellFormed) {
        std::printf("%s %s: scan failed (status %d) %s\n", kind.c_str(), name.c_str(), run.status,
                    output.error.c_str());
        return false;
    }
    const testdata::RecallScore score = testdata::scoreScan(truth, output);
    std::printf("%s %s: %.1f MB in %zu files; scan %.3f s = %.1f x one read (%.3f s)\n"
                "  %s",
                kind.c_str(), name.c_str(), double(bytes) / 1e6, truth.files.size(), scan,
                read > 0 ? scan / read : 0.0, read, testdata::describeScore(score).c_str());
    return true;
}

} // namespace

// Generates the phones and measures them; status 1 when something failed.
int main(int argc, char** argv) {
    const std::string work = argc > 1 ? argv[1] : "bench-data/deep-recall";
    std::vector<testdata::PhoneKind> kinds;
    for (int i = 2; i < argc; ++i) {
        const auto kind = testdata::phoneKindFromName(argv[i]);
        if (!kind) {
            std::fprintf(stderr, "usage: %s [WORK_DIR [KIND...]]\n", argv[0]);
            return 2;
        }
        kinds.push_back(*kind);
    }
    if (kinds.empty())
        kinds.push_back(testdata::PhoneKind::Large);
    bool ok = true;
    try {
        for (testdata::PhoneKind kind : kinds) {
            const std::string name = testdata::phoneKindName(kind);
            const auto start = Clock::now();
            const testdata::ModernPhoneTruth truth = testdata::generateModernPhone(
                (std::filesystem::path(work) / name).string(), testdata::modernPhoneSpec(kind));
            std::printf("%s phone generated in %.1f s\n", name.c_str(),
                        std::chrono::duration<double>(Clock::now() - start).count());
            ok = measure(name, truth.contacts) && ok;
            ok = measure(name, truth.sms) && ok;
            std::fflush(stdout);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_deep_recall: %s\n", e.what());
        return 1;
    }
    return ok ? 0 : 1;
}
