// bench_deep: the deep engine against the classic engine on the same classic
// phone (secure_delete off, rollback journal), as the ratio of their times
// measured in the same run; then the deep engine on a phone of half the size,
// to show that its time grows linearly with the files and that its memory
// grows with what it recovers, not with the files.
//
// usage: bench_deep [DATA_DIR [MESSAGES]]   (default: bench-data, 300000)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "deep_scan.h"
#include "phone_generator.h"
#include "sqlite_parse.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Measure {
    double seconds = 0;
    double outputBytes = 0;
    long peakKiB = 0;    // VmHWM: peak resident memory, mapped file pages included
    long privateKiB = 0; // RssAnon while the results are still held
};

// A "Name:   123 kB" field of /proc/self/status, in KiB.
long statusField(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name, 0) == 0)
            return std::atol(line.c_str() + std::strlen(name));
    }
    return 0;
}

// Runs one job in a fresh process of this program (its own peak memory,
// nothing of the generator); the best of `repeats` timings, the highest peak.
Measure measure(const std::string& job, const std::string& contacts, const std::string& sms,
                int repeats = 3) {
    Measure best;
    best.seconds = 1e30;
    for (int r = 0; r < repeats; ++r) {
        int fds[2];
        if (pipe(fds) != 0)
            std::exit(1);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            execl("/proc/self/exe", "bench_deep", "--job", job.c_str(), contacts.c_str(),
                  sms.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char line[256] = {};
        const ssize_t n = read(fds[0], line, sizeof line - 1);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        Measure m;
        if (n <= 0 || std::sscanf(line, "%lf %lf %ld %ld", &m.seconds, &m.outputBytes, &m.peakKiB,
                                  &m.privateKiB) != 4) {
            std::fprintf(stderr, "job %s failed\n", job.c_str());
            std::exit(1);
        }
        if (m.seconds < best.seconds) {
            best.seconds = m.seconds;
            best.outputBytes = m.outputBytes;
        }
        best.peakKiB = std::max(best.peakKiB, m.peakKiB);
        best.privateKiB = std::max(best.privateKiB, m.privateKiB);
    }
    return best;
}

// The child side of measure(): one engine run, its time, output and memory.
int runJob(const std::string& job, const std::string& contacts, const std::string& sms) {
    const auto start = Clock::now();
    double bytes = 0;
    long privateKiB = 0;
    if (job == "classic-contacts" || job == "classic-sms") {
        SqliteParse engine(contacts, sms);
        engine.startParse(job == "classic-contacts" ? ePaserContacts : ePaserSms);
        bytes = double(engine.get_contacts_mem().size());
        privateKiB = statusField("RssAnon:");
    } else if (job == "deep-contacts" || job == "deep-sms") {
        const std::string text = job == "deep-contacts"
                                     ? fennaro::deep::deepContactsText(contacts, sms)
                                     : fennaro::deep::deepSmsText(contacts, sms);
        bytes = double(text.size());
        privateKiB = statusField("RssAnon:");
    } else if (job == "scan-contacts" || job == "scan-sms") {
        const fennaro::deep::ScanReport report =
            fennaro::deep::scanDatabase(job == "scan-contacts" ? contacts : sms);
        bytes = double(report.records.size());
        privateKiB = statusField("RssAnon:");
    } else {
        return 2;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.9f %.0f %ld %ld\n", seconds, bytes, statusField("VmHWM:"), privateKiB);
    return 0;
}

// Generates (once, then reuses) a classic phone of the given size in dir.
void ensurePhone(const std::string& dir, int contacts, int messages) {
    const std::string stamp = dir + "/done";
    if (std::filesystem::exists(stamp))
        return;
    std::printf("generating %d contacts and %d messages in %s ...\n", contacts, messages,
                dir.c_str());
    std::fflush(stdout);
    testdata::PhoneSpec spec;
    spec.contacts = contacts;
    spec.messages = messages;
    spec.threads = std::max(1, messages / 50);
    spec.deleteFraction = 1.0 / 3.0;
    spec.seed = 7;
    testdata::generatePhone(dir, spec);
    std::ofstream(stamp) << "ok\n";
}

double mib(const std::string& path) {
    return double(std::filesystem::file_size(path)) / 1048576.0;
}

// The four runs of one phone, for both kinds of record.
struct PhoneRuns {
    double contactsMiB = 0, smsMiB = 0;
    Measure classicContacts, deepContacts, scanContacts;
    Measure classicSms, deepSms, scanSms;
};

PhoneRuns runPhone(const std::string& dir) {
    const std::string contacts = dir + "/contacts2.db", sms = dir + "/mmssms.db";
    PhoneRuns runs;
    runs.contactsMiB = mib(contacts);
    runs.smsMiB = mib(sms);
    // Warm the page cache for every contender alike.
    measure("scan-contacts", contacts, sms, 1);
    measure("scan-sms", contacts, sms, 1);
    runs.classicContacts = measure("classic-contacts", contacts, sms);
    runs.deepContacts = measure("deep-contacts", contacts, sms);
    runs.scanContacts = measure("scan-contacts", contacts, sms);
    runs.classicSms = measure("classic-sms", contacts, sms);
    runs.deepSms = measure("deep-sms", contacts, sms);
    runs.scanSms = measure("scan-sms", contacts, sms);
    return runs;
}

void reportAgainstClassic(const char* label, double fileMiB, const Measure& classic,
                          const Measure& deep, const Measure& scan) {
    std::printf("%-9s %7.1f MiB  classic %6.3f s  deep %6.3f s  ratio %4.2f  (scan alone %6.3f s, "
                "%5.2f; %.0f records)  %6.1f MB/s\n",
                label, fileMiB, classic.seconds, deep.seconds, deep.seconds / classic.seconds,
                scan.seconds, scan.seconds / classic.seconds, scan.outputBytes,
                fileMiB / deep.seconds);
}

void reportGrowth(const char* label, double halfMiB, double fullMiB, const Measure& half,
                  const Measure& full) {
    const double sizeRatio = fullMiB / halfMiB;
    std::printf("%-9s size x%.2f  time x%.2f (per byte x%.2f)  records x%.2f  private memory "
                "%.1f -> %.1f MiB (x%.2f)  peak %.1f -> %.1f MiB\n",
                label, sizeRatio, full.seconds / half.seconds,
                full.seconds / half.seconds / sizeRatio, full.outputBytes / half.outputBytes,
                double(half.privateKiB) / 1024.0, double(full.privateKiB) / 1024.0,
                double(full.privateKiB) / double(std::max(half.privateKiB, 1L)),
                double(half.peakKiB) / 1024.0, double(full.peakKiB) / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--job")
        return runJob(argv[2], argv[3], argv[4]);
    const std::string data = argc > 1 ? argv[1] : "bench-data";
    const int messages = argc > 2 ? std::atoi(argv[2]) : 300000;
    if (messages < 100) {
        std::fprintf(stderr, "usage: bench_deep [DATA_DIR [MESSAGES]]\n");
        return 2;
    }
    const int contacts = messages / 12;
    const std::string full = data + "/deep-" + std::to_string(messages);
    const std::string half = data + "/deep-" + std::to_string(messages / 2);
    ensurePhone(full, contacts, messages);
    ensurePhone(half, contacts / 2, messages / 2);

    std::printf("classic phone (secure_delete off, rollback journal); best of 3, fresh process "
                "per run, warm cache\n");
    std::printf("ratio = deep engine time / classic engine time (goal: at most 2)\n");
    const PhoneRuns f = runPhone(full);
    reportAgainstClassic("contacts", f.contactsMiB, f.classicContacts, f.deepContacts,
                         f.scanContacts);
    reportAgainstClassic("messages", f.smsMiB, f.classicSms, f.deepSms, f.scanSms);
    const PhoneRuns h = runPhone(half);
    std::printf("half-size phone against the full one (deep engine, scan alone):\n");
    reportGrowth("contacts", h.contactsMiB, f.contactsMiB, h.scanContacts, f.scanContacts);
    reportGrowth("messages", h.smsMiB, f.smsMiB, h.scanSms, f.scanSms);
    return 0;
}
