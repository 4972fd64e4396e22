// bench_deep: the deep engine against the classic engine on the same classic
// phone (secure_delete off, rollback journal), as the ratio of their times
// measured in the same run; then the deep engine on a phone of half the size,
// to show that its time grows linearly with the files and that its memory
// grows with what it recovers, not with the files. Before those, the deep and
// the classic engine on a phone of short messages with a third deleted alone
// and in short runs, the shape where the deep engine's search for cells whose
// header was overwritten costs most.
//
// usage: bench_deep [DATA_DIR [MESSAGES [SHORT_MESSAGES]]]
//        (default: bench-data, 300000, 480000)
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

#include "bench_jobs.h"
#include "phone/contacts_text.h"
#include "phone/scan_rules.h"
#include "phone/sms_text.h"
#include "phone_generator.h"
#include "short_rows_phone.h"
#include "sqlite_parse.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace {

using namespace benchjobs;
using Clock = std::chrono::steady_clock;

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
            fennaro::phone::scanDatabase(job == "scan-contacts" ? contacts : sms);
        bytes = double(report.records.size());
        privateKiB = statusField("RssAnon:");
    } else {
        return 2;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    reportJob(seconds, bytes, privateKiB);
    return 0;
}

// The four runs of one phone, for both kinds of record.
struct PhoneRuns {
    double contactsMiB = 0, smsMiB = 0;
    Measure classicContacts, deepContacts, scanContacts;
    Measure classicSms, deepSms, scanSms;
};

// How many turns each contender gets; the best of them counts.
constexpr int kRounds = 5;

// Keeps the best time and the highest memory of two measures of one job.
void keepBest(Measure& best, const Measure& m) {
    if (best.seconds == 0 || m.seconds < best.seconds) {
        best.seconds = m.seconds;
        best.outputBytes = m.outputBytes;
    }
    best.peakKiB = std::max(best.peakKiB, m.peakKiB);
    best.privateKiB = std::max(best.privateKiB, m.privateKiB);
}

PhoneRuns runPhone(const std::string& dir) {
    const std::string contacts = dir + "/contacts2.db", sms = dir + "/mmssms.db";
    PhoneRuns runs;
    runs.contactsMiB = mib(contacts);
    runs.smsMiB = mib(sms);
    // Warm the page cache for every contender alike.
    measure("bench_deep", "scan-contacts", contacts, sms, 1);
    measure("bench_deep", "scan-sms", contacts, sms, 1);
    // The contenders take turns, so a burst of load on a shared machine
    // falls on each of them alike rather than on one.
    for (int round = 0; round < kRounds; ++round) {
        keepBest(runs.classicContacts, measure("bench_deep", "classic-contacts", contacts, sms, 1));
        keepBest(runs.deepContacts, measure("bench_deep", "deep-contacts", contacts, sms, 1));
        keepBest(runs.scanContacts, measure("bench_deep", "scan-contacts", contacts, sms, 1));
        keepBest(runs.classicSms, measure("bench_deep", "classic-sms", contacts, sms, 1));
        keepBest(runs.deepSms, measure("bench_deep", "deep-sms", contacts, sms, 1));
        keepBest(runs.scanSms, measure("bench_deep", "scan-sms", contacts, sms, 1));
    }
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

// Runs the message side of a phone through both engines, taking turns, and
// prints the ratio of their best times.
void reportShortRows(const std::string& dir) {
    const std::string contacts = dir + "/contacts2.db", sms = dir + "/mmssms.db";
    measure("bench_deep", "scan-sms", contacts, sms, 1);
    Measure classic, deep;
    for (int round = 0; round < kRounds; ++round) {
        keepBest(classic, measure("bench_deep", "classic-sms", contacts, sms, 1));
        keepBest(deep, measure("bench_deep", "deep-sms", contacts, sms, 1));
    }
    std::printf("short rows %7.1f MiB  classic %6.3f s  deep %6.3f s  ratio %4.2f  (%.0f and %.0f "
                "bytes out)\n",
                mib(sms), classic.seconds, deep.seconds, deep.seconds / classic.seconds,
                classic.outputBytes, deep.outputBytes);
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
    const int shortMessages = argc > 3 ? std::atoi(argv[3]) : 480000;
    if (messages < 100 || shortMessages < 100) {
        std::fprintf(stderr, "usage: bench_deep [DATA_DIR [MESSAGES [SHORT_MESSAGES]]]\n");
        return 2;
    }
    const int contacts = messages / 12;
    const std::string full = data + "/deep-" + std::to_string(messages);
    const std::string half = data + "/deep-" + std::to_string(messages / 2);
    ensureClassicPhone(full, contacts, messages);
    ensureClassicPhone(half, contacts / 2, messages / 2);
    const std::string shortRows = data + "/short-" + std::to_string(shortMessages);
    benchdeep::ensureShortRowsPhone(shortRows, shortMessages);

    std::printf("classic phone (secure_delete off, rollback journal); best of %d runs, the "
                "engines taking turns, fresh process per run, warm cache\n",
                kRounds);
    std::printf("ratio = deep engine time / classic engine time (goal: at most 2)\n");
    std::printf("short messages (2 to 50 words), a third deleted alone and in runs:\n");
    reportShortRows(shortRows);
    std::printf("today's bench phone:\n");
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
