// bench_carve: how fast the engine carves a large phone, as a ratio against
// what no carver can beat on this machine: one sequential read of the
// database file, plus (for messages) a bare SQLite iteration of the live
// contact rows the message run must read. Also prints MB/s, the peak memory
// of each run and a run on a phone of half the size, to show linear growth.
//
// usage: bench_carve [DATA_DIR [MESSAGES]]   (default: bench-data, 1000000)
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "bench_jobs.h"
#include "phone_generator.h"
#include "readonly_db.h"
#include "sqlite_parse.h"

namespace {

using namespace benchjobs;
using Clock = std::chrono::steady_clock;

// Reads a whole file sequentially in 1 MiB blocks; returns its size.
size_t sequentialRead(const std::string& path) {
    std::vector<char> block(1 << 20);
    std::ifstream in(path, std::ios::binary);
    size_t total = 0;
    while (in.read(block.data(), std::streamsize(block.size())) || in.gcount() > 0)
        total += size_t(in.gcount());
    return total;
}

// Steps through the live contact rows as the message run must, and no more.
size_t bareLiveRowQuery(const std::string& contacts) {
    sqlite3* db = fennaro::openReadOnlyDatabase(contacts);
    sqlite3_stmt* stmt = nullptr;
    size_t rows = 0;
    if (db && sqlite3_prepare_v2(db, "SELECT raw_contact_id, data1 from data ", -1, &stmt,
                                 nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            sqlite3_column_text(stmt, 0);
            sqlite3_column_text(stmt, 1);
            ++rows;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

// One engine run; notes the private memory while the engine still holds
// everything it carved and the text it built.
size_t carveRun(ePaserType type, const std::string& contacts, const std::string& sms,
                long* privateKiB) {
    SqliteParse engine(contacts, sms);
    engine.startParse(type);
    size_t bytes = engine.get_contacts_mem().size();
    *privateKiB = statusField("RssAnon:");
    return bytes;
}

// The child side of measure(): runs one job and prints its time and output size.
int runJob(const std::string& job, const std::string& contacts, const std::string& sms) {
    auto start = Clock::now();
    size_t bytes = 0;
    long privateKiB = 0;
    if (job == "read")
        bytes = sequentialRead(contacts);
    else if (job == "read+rows")
        bytes = sequentialRead(sms) + bareLiveRowQuery(contacts);
    else if (job == "contacts")
        bytes = carveRun(ePaserContacts, contacts, sms, &privateKiB);
    else if (job == "sms")
        bytes = carveRun(ePaserSms, contacts, sms, &privateKiB);
    else
        return 2;
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (privateKiB == 0)
        privateKiB = statusField("RssAnon:");
    reportJob(seconds, double(bytes), privateKiB);
    return 0;
}

struct Row {
    const char* name;
    Measure carve, limit;
    double fileMiB;
};

void report(const Row& row) {
    std::printf("%-17s %6.1f MiB  carve %6.3f s  limit %6.3f s  ratio %4.2f  %6.1f MB/s  "
                "peak %6.1f MiB  private %6.1f MiB  text %5.1f MiB\n",
                row.name, row.fileMiB, row.carve.seconds, row.limit.seconds,
                row.carve.seconds / row.limit.seconds, row.fileMiB / row.carve.seconds,
                double(row.carve.peakKiB) / 1024.0, double(row.carve.privateKiB) / 1024.0,
                double(row.carve.outputBytes) / 1048576.0);
}

void benchPhone(const std::string& dir, const char* label) {
    const std::string contacts = dir + "/contacts2.db";
    const std::string sms = dir + "/mmssms.db";
    sequentialRead(contacts); // warm the page cache for every contender alike
    sequentialRead(sms);

    Row c{nullptr, {}, {}, mib(contacts)};
    c.limit = measure("bench_carve", "read", contacts, sms);
    c.carve = measure("bench_carve", "contacts", contacts, sms);
    std::string name = std::string("contacts ") + label;
    c.name = name.c_str();
    report(c);

    Row m{nullptr, {}, {}, mib(sms)};
    m.limit = measure("bench_carve", "read+rows", contacts, sms);
    m.carve = measure("bench_carve", "sms", contacts, sms);
    std::string name2 = std::string("messages ") + label;
    m.name = name2.c_str();
    report(m);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--job")
        return runJob(argv[2], argv[3], argv[4]);
    std::string data = argc > 1 ? argv[1] : "bench-data";
    int messages = argc > 2 ? std::atoi(argv[2]) : 1000000;
    if (messages < 100) {
        std::fprintf(stderr, "usage: bench_carve [DATA_DIR [MESSAGES]]\n");
        return 2;
    }
    int contacts = messages / 12; // about 50 MB of contacts per million messages
    std::string full = data + "/carve-" + std::to_string(messages);
    std::string half = data + "/carve-" + std::to_string(messages / 2);
    ensureClassicPhone(full, contacts, messages);
    ensureClassicPhone(half, contacts / 2, messages / 2);

    std::printf("peak = peak resident memory of a fresh process per run, mapped file pages "
                "included; private = its own (anonymous) memory at the end of the run\n");
    std::printf("limit = sequential read of the file (+ live contact rows for messages), "
                "same process, warm cache; best of 3\n");
    benchPhone(full, "(full)");
    benchPhone(half, "(half)");
    return 0;
}
