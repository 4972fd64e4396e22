// Runs `fennaro-recover report` and `fennaro-recover export` on the bench
// phone (bench/common) and prints how long the report takes beside the
// export, measured in the same run, with the sizes of the report's pages.
//
// Usage: fennaro_bench_report [CACHE_DIR [OUT_DIR]] [--deep]
// The runs go below OUT_DIR (default: below CACHE_DIR); OUT_DIR/last-report
// keeps the last report for bench/report/time_pages.py.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_phone.h"

using namespace benchphone;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs of each command; the best one counts.
constexpr int kRuns = 3;

// Some file systems (ext4) search longer for free inodes while many were freed
// in the last half minute; a run right after the removal of earlier runs'
// files would measure that (as bench/export waits too).
constexpr auto kRemovalSettleTime = std::chrono::seconds(35);

// Wall and processor seconds of one run.
struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
    // Keeps the better of this and other, separately for both clocks.
    void keepBest(const Timing& other) {
        wall = std::min(wall, other.wall);
        cpu = std::min(cpu, other.cpu);
    }
};

// Runs the program with args, its output thrown away; returns its wall and
// processor (user and system) seconds. Ends the benchmark when it fails.
Timing runProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    const double wall = secondsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s %s failed\n", args[0].c_str(), args[1].c_str());
        std::exit(1);
    }
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {wall, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// Removes the runs' folder, if any, then waits until the removal settled.
void clearRuns(const fs::path& work) {
    if (fs::remove_all(work) > 0) {
        std::fprintf(stderr, "waiting %lld s for the removal of earlier runs to settle ...\n",
                     static_cast<long long>(kRemovalSettleTime.count()));
        std::this_thread::sleep_for(kRemovalSettleTime);
    }
    fs::create_directories(work);
}

// The sizes of a report's pages.
struct PageSizes {
    size_t pages = 0;
    uintmax_t pageBytes = 0;
    uintmax_t largest = 0;
    fs::path largestPage;
    uintmax_t entry = 0;
    uintmax_t csv = 0;
};

// Measures the files of a written report.
PageSizes sizesOf(const fs::path& report) {
    PageSizes sizes;
    for (const auto& entry : fs::recursive_directory_iterator(report)) {
        if (!entry.is_regular_file())
            continue;
        const uintmax_t size = entry.file_size();
        if (entry.path().extension() != ".html") {
            sizes.csv += size;
            continue;
        }
        ++sizes.pages;
        sizes.pageBytes += size;
        if (size > sizes.largest) {
            sizes.largest = size;
            sizes.largestPage = fs::relative(entry.path(), report);
        }
    }
    sizes.entry = fs::file_size(report / "report.html");
    return sizes;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    const auto deepFlag = std::find(words.begin(), words.end(), "--deep");
    const bool deep = deepFlag != words.end();
    if (deep)
        words.erase(deepFlag);
    const fs::path cache = !words.empty() ? fs::path(words[0]) : fs::path(FENNARO_BENCH_DATA_DIR);
    const fs::path out = words.size() > 1 ? fs::path(words[1]) : cache;
    const fs::path phone = ensureLoadPhone(cache);
    const fs::path work = out / "report-runs";
    clearRuns(work);

    const std::string program = FENNARO_RECOVER_PATH;
    const std::string contacts = (phone / "contacts2.db").string();
    const std::string sms = (phone / "mmssms.db").string();
    const auto command = [&](const char* name, const fs::path& folder) {
        fs::create_directories(folder);
        std::vector<std::string> args = {program, name};
        if (deep)
            args.push_back("--deep");
        args.insert(args.end(), {contacts, sms, folder.string()});
        return runProgram(args);
    };
    // Nothing is deleted between the runs, and the order alternates.
    Timing reportTime, exportTime;
    fs::path lastReport;
    for (int run = 0; run < kRuns; ++run) {
        const fs::path reportFolder = work / ("report" + std::to_string(run));
        const fs::path exportFolder = work / ("export" + std::to_string(run));
        if (run % 2 == 0)
            exportTime.keepBest(command("export", exportFolder));
        reportTime.keepBest(command("report", reportFolder));
        if (run % 2 != 0)
            exportTime.keepBest(command("export", exportFolder));
        lastReport = reportFolder;
    }
    const PageSizes sizes = sizesOf(lastReport);
    const fs::path kept = out / "last-report";
    fs::remove_all(kept);
    fs::rename(lastReport, kept);

    std::printf("phone: %s (%d contacts, %d messages in %d conversations)%s\n", phone.c_str(),
                kContacts, kMessages, kThreads, deep ? ", deep" : "");
    std::printf("report: %zu pages, %.1f MB, largest %.2f MB (%s), entry page %.2f MB, "
                "records.csv %.1f MB; kept in %s\n",
                sizes.pages, sizes.pageBytes / 1e6, sizes.largest / 1e6, sizes.largestPage.c_str(),
                sizes.entry / 1e6, sizes.csv / 1e6, kept.c_str());
    std::printf("export: %8.3f s wall, %8.3f s processor\n", exportTime.wall, exportTime.cpu);
    std::printf("report: %8.3f s wall, %8.3f s processor\n", reportTime.wall, reportTime.cpu);
    std::printf("ratio report/export: %.2f wall, %.2f processor (goal <= 2)\n",
                reportTime.wall / exportTime.wall, reportTime.cpu / exportTime.cpu);
    std::printf("(whole commands, loading included; best of %d runs each, alternating)\n", kRuns);
    return 0;
}
