// Exports a large generated phone and prints how long the export takes beside
// the time to write the same total bytes into the same number of files (and
// folders) in one go, measured in the same run: the limit of the export.
//
// Usage: fennaro_bench_export [CACHE_DIR [OUT_DIR]]
// The exports go below OUT_DIR (default: below CACHE_DIR), so the same phone
// can be measured on another file system, such as a RAM disk.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
#include "content_generator.h"
#include "phone/record_loader.h"
#include "record_export.h"
#include "testdata.h"

using namespace benchphone;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Runs of each measurement; the best one counts.
constexpr int kRuns = 4;

// Returns the processor seconds (user and system) this process has used.
double cpuSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall and processor seconds of one measurement.
struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
    // Keeps the better of this and other, separately for both clocks.
    void keepBest(const Timing& other) {
        wall = std::min(wall, other.wall);
        cpu = std::min(cpu, other.cpu);
    }
};

// Times one call of work.
template <typename Work>
Timing timed(Work work) {
    const double cpuStart = cpuSeconds();
    const Clock::time_point start = Clock::now();
    work();
    return {secondsSince(start), cpuSeconds() - cpuStart};
}

// Writes the phone into dir unless a complete one is there already.
void generatePhone(const fs::path& dir) {
    if (fs::exists(dir / "complete"))
        return;
    fs::create_directories(dir);
    std::fprintf(stderr, "generating the phone in %s ...\n", dir.c_str());
    const Clock::time_point start = Clock::now();
    testdata::RandomSource rng(kSeed);
    testdata::DbOptions options;

    std::vector<int64_t> rawIds;
    std::vector<std::string> numbers;
    int64_t dataRows = 0;
    {
        testdata::ContactsDbBuilder contacts((dir / "contacts2.db").string(), options);
        for (int i = 0; i < kContacts; ++i) {
            testdata::GeneratedContact generated = testdata::makeContact(rng, i);
            generated.contact.deleted = 0;
            dataRows += static_cast<int64_t>(generated.contact.rows.size());
            rawIds.push_back(contacts.addRawContact(generated.contact));
            numbers.push_back(generated.networkForm.empty() ? testdata::makeUnknownNumber(rng, i)
                                                            : generated.networkForm);
        }
        contacts.commit();
        for (int i = 0; i < kDeletedDataRows; ++i)
            contacts.deleteDataRow(1 + int64_t{i} * 197 % dataRows);
        contacts.close();
    }
    benchphone::writeMessages((dir / "mmssms.db").string(), options, rng, numbers, rawIds, kThreads,
                              kMessages, kDeletedMessages);
    std::ofstream(dir / "complete") << "ok\n";
    std::fprintf(stderr, "generated in %.1f s\n", secondsSince(start));
}

// Some file systems (ext4) search longer for free inodes while many were freed
// in the last half minute; a run that starts right after the removal of an
// earlier run's files would measure that.
constexpr auto kRemovalSettleTime = std::chrono::seconds(35);

// Returns the file that records when the runs below work were last removed.
fs::path removalStamp(const fs::path& work) {
    return work.parent_path() / (work.filename().string() + ".removed");
}

// Removes the runs' folders, if any, and notes the time.
void removeRuns(const fs::path& work) {
    if (fs::remove_all(work) > 0)
        std::ofstream(removalStamp(work)) << "removed\n";
}

// Waits until the last removal of runs has settled.
void waitAfterRemoval(const fs::path& work) {
    std::error_code error;
    const auto removed = fs::last_write_time(removalStamp(work), error);
    if (error)
        return;
    const auto settled = removed + kRemovalSettleTime;
    const auto now = fs::file_time_type::clock::now();
    if (settled > now) {
        const auto wait = std::chrono::ceil<std::chrono::seconds>(settled - now);
        std::fprintf(stderr, "waiting %lld s for the removal of earlier runs to settle ...\n",
                     static_cast<long long>(wait.count()));
        std::this_thread::sleep_for(wait);
    }
}

// The folders and files of an export, relative to its output folder.
struct Tree {
    std::vector<fs::path> folders;
    std::vector<std::pair<fs::path, std::size_t>> files;
    std::size_t bytes = 0;
};

// Returns what lies below root.
Tree treeBelow(const fs::path& root) {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const fs::path relative = fs::relative(entry.path(), root);
        if (entry.is_directory()) {
            tree.folders.push_back(relative);
        } else {
            tree.files.emplace_back(relative, entry.file_size());
            tree.bytes += entry.file_size();
        }
    }
    std::sort(tree.folders.begin(), tree.folders.end());
    return tree;
}

// The limit: creates root and the tree's folders, and writes every file with
// its size in one write.
Timing writeInOneGo(const fs::path& root, const Tree& tree) {
    std::size_t largest = 0;
    for (const auto& file : tree.files)
        largest = std::max(largest, file.second);
    const std::string bytes(largest, 'x');
    return timed([&] {
        ::mkdir(root.c_str(), 0777);
        for (const fs::path& folder : tree.folders)
            ::mkdir((root / folder).c_str(), 0777);
        for (const auto& [path, size] : tree.files) {
            const int fd =
                ::open((root / path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 || ::write(fd, bytes.data(), size) != static_cast<ssize_t>(size))
                std::fprintf(stderr, "cannot write %s\n", (root / path).c_str());
            if (fd >= 0)
                ::close(fd);
        }
    });
}

// Exports the whole store into chosen; returns the time it took, the output
// folder and the records not written.
Timing exportOnce(fennaro::RecordStore& store, const fs::path& chosen, std::string& outputFolder,
                  int32_t& unwritten) {
    struct : fennaro::ExportListener {
        void progressChanged(int32_t) override {}
        void exportDone() override {}
    } listener;
    fennaro::WorkerControls controls;
    fennaro::ExportContext context{store, controls, listener, {}};
    fs::create_directories(chosen);
    const int32_t checked = fennaro::countCheckedRecords(store);
    const Timing timing = timed([&] {
        fennaro::prepareExport(context, chosen.string(), checked, std::time(nullptr));
        fennaro::exportThreadProc(context);
    });
    outputFolder = context.outputFolder;
    unwritten = context.unwrittenRecords;
    return timing;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path cache = argc > 1 ? argv[1] : FENNARO_BENCH_DATA_DIR;
    const fs::path dir =
        cache / ("export-c" + std::to_string(kContacts) + "-m" + std::to_string(kMessages) + "-t" +
                 std::to_string(kThreads) + "-s" + std::to_string(kSeed));
    generatePhone(dir);
    const fs::path work =
        argc > 2 ? fs::path(argv[2]) / "fennaro-export-runs" : cache / "export-runs";
    removeRuns(work);
    waitAfterRemoval(work);

    fennaro::RecordStore store;
    Clock::time_point start = Clock::now();
    fennaro::loadAfterAcquisition(store, (dir / "contacts2.db").string(),
                                  (dir / "mmssms.db").string());
    const double loadSeconds = secondsSince(start);

    // A first export gives the tree the limit writes; it is not timed.
    std::string output;
    int32_t unwritten = 0;
    exportOnce(store, work / "warm-up", output, unwritten);
    const Tree tree = treeBelow(output);

    // Nothing is deleted between the runs (freeing many inodes slows the next
    // file creations down on some file systems), and the order alternates.
    Timing exportTime, limitTime;
    for (int run = 0; run < kRuns; ++run) {
        const fs::path exportFolder = work / ("export" + std::to_string(run));
        const fs::path limitFolder = work / ("limit" + std::to_string(run));
        if (run % 2 == 0)
            limitTime.keepBest(writeInOneGo(limitFolder, tree));
        exportTime.keepBest(exportOnce(store, exportFolder, output, unwritten));
        if (run % 2 != 0)
            limitTime.keepBest(writeInOneGo(limitFolder, tree));
    }
    removeRuns(work);

    std::printf("phone: %zu live contacts, %zu data rows, %zu conversations, %zu messages, "
                "%zu deleted contact lines, %zu deleted SMS lines (load %.1f s)\n",
                store.contactLists.contacts.size(), store.contactLists.dataRows.size(),
                store.smsLists.threads.size(), store.smsLists.messages.size(),
                store.deletedContacts.size(), store.deletedSms.size(), loadSeconds);
    std::printf("export into %s: %zu files in %zu folders, %.1f MB; %d records reported, %d not "
                "written\n",
                work.c_str(), tree.files.size(), tree.folders.size() + 1, tree.bytes / 1e6,
                store.loadedCount, unwritten);
    std::printf("write the same bytes in one go (limit): %8.3f s wall, %8.3f s processor\n",
                limitTime.wall, limitTime.cpu);
    std::printf("export:                                 %8.3f s wall, %8.3f s processor\n",
                exportTime.wall, exportTime.cpu);
    std::printf("ratio: %.2f wall, %.2f processor (goal <= 1.5)\n",
                exportTime.wall / limitTime.wall, exportTime.cpu / limitTime.cpu);
    std::printf("(best of %d runs each, in alternating order)\n", kRuns);
    return 0;
}
