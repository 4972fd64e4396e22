// bench_stores: what reading the other message stores adds to deep mode on
// a large phone (30,000 messages, WAL), as ratios against the deleted-SMS
// scan deep mode already made, measured in the same run: the deleted MMS
// scan, and the live MMS and SMS rows read from a current-state copy.
//
// usage: bench_stores [DATA_DIR]   (default: the build's bench-data)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "modern_phone.h"
#include "phone/deep_load.h"
#include "phone/deep_records.h"
#include "phone/deep_stores.h"
#include "phone/store_messages.h"

namespace {

using Clock = std::chrono::steady_clock;

// Returns the shortest of three runs of work, in seconds.
double fastestOfThree(const std::function<size_t()>& work, size_t* items) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        *items = work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

} // namespace

// Writes the phone once, then prints each step's time and its ratio to the baseline.
int main(int argc, char** argv) {
    const std::string dir =
        std::string(argc > 1 ? argv[1] : FENNARO_BENCH_DATA_DIR) + "/stores-large";
    const std::string smsDb = dir + "/mmssms.db";
    if (!std::filesystem::exists(smsDb))
        testdata::generateModernPhone(dir, testdata::modernPhoneSpec(testdata::PhoneKind::Large));

    size_t items = 0;
    const double baseline =
        fastestOfThree([&] { return fennaro::deep::readDeletedMessages(smsDb).size(); }, &items);
    std::printf("deleted SMS scan (baseline): %.3f s, %zu messages\n", baseline, items);
    const struct {
        const char* what;
        std::function<size_t()> work;
    } steps[] = {
        {"deleted MMS scan", [&] { return fennaro::deep::readDeletedMms(smsDb).size(); }},
        {"current state + live MMS and SMS rows",
         [&] {
             const fennaro::deep::CurrentStateCopies copies({}, smsDb);
             return fennaro::readLiveMms(copies.smsDb()).size() +
                    fennaro::readLiveSmsRows(copies.smsDb()).size();
         }},
    };
    for (const auto& step : steps) {
        const double seconds = fastestOfThree(step.work, &items);
        std::printf("%s: %.3f s, %zu records, %.2fx the baseline\n", step.what, seconds, items,
                    seconds / baseline);
    }
    return 0;
}
