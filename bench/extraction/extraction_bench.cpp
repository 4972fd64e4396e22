// Times acquire --from on a phone's file-system extraction and prints it as
// ratios against baselines measured in the same run:
//   tar.gz: a ~600 MB archive whose databases come last, behind filler like a
//     phone's (photos and other incompressible files beside text and logs).
//     acquireFromExtraction against the longer of inflating the whole
//     archive with zlib in one thread and its SHA-256 with libcrypto: the
//     acquisition reads it once, inflating and hashing on two cores, so the
//     goal is at most 1.25 times the longer baseline.
//   zip: reading the databases from zips with little and with twice as much
//     filler before them (their central directory lets the reader seek):
//     this time must not grow with the filler; the whole acquisition is also
//     shown against the zip's SHA-256 alone, which it cannot beat.
//
// Usage: bench_extraction [MEGABYTES [FOLDER]]   (default 600, /tmp)
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "archive_reader.h"
#include "extraction_layout.h"
#include "extraction_source.h"
#include "file_ops.h"
#include "sha256.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kRuns = 3;
constexpr size_t kFillerFile = 32u << 20;

// The best wall time of kRuns calls of work, in seconds.
template <typename Work>
double bestOf(Work work) {
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        const Clock::time_point start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// The wall and processor time of one measured piece of work, in seconds.
struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
    // Keeps other's figures when its wall time is the better.
    void keepBest(const Timing& other) {
        if (other.wall < wall)
            *this = other;
    }
};

// The processor time this process has spent, all threads, in seconds.
double processorSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return double(time.tv_sec) + time.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Times one call of work.
template <typename Work>
Timing timed(Work work) {
    const double cpuStart = processorSeconds();
    const Clock::time_point start = Clock::now();
    work();
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            processorSeconds() - cpuStart};
}

// Bytes like a phone's files: runs of random bytes (pictures, compressed
// files) between runs of words and numbers (logs, text, caches).
std::string fillerBytes(size_t size, std::mt19937_64& random) {
    static const char* kWords[] = {"the",     "message", "contact", "android", "cache",
                                   "thumb",   "image",   "sync",    "account", "error",
                                   "request", "200",     "user",    "json",    "value"};
    std::string bytes;
    bytes.reserve(size);
    while (bytes.size() < size) {
        const size_t run = 4096 + random() % 61440;
        if (random() % 2 == 0) {
            for (size_t i = 0; i < run; i += 8) {
                const uint64_t word = random();
                bytes.append(reinterpret_cast<const char*>(&word), 8);
            }
        } else {
            for (size_t start = bytes.size(); bytes.size() - start < run;) {
                const uint64_t pick = random();
                bytes += kWords[pick % 15];
                bytes += ' ';
                if (pick % 7 == 0)
                    bytes += std::to_string(pick % 100000) + '\n';
            }
        }
    }
    bytes.resize(size);
    return bytes;
}

// Writes one member.
void addMember(struct archive* archive, const std::string& name, const std::string& bytes) {
    struct archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0660);
    archive_entry_set_size(entry, la_int64_t(bytes.size()));
    archive_entry_set_mtime(entry, 1714557600, 0);
    archive_write_header(archive, entry);
    archive_write_data(archive, bytes.data(), bytes.size());
    archive_entry_free(entry);
}

// Writes an archive of filler up to about fillerBytesOnDisk on disk, then
// the phone's databases; false on failure.
bool writeExtraction(const std::string& path, const std::string& format, uint64_t fillerOnDisk) {
    struct archive* archive = archive_write_new();
    archive_write_set_format_by_name(archive, format.c_str());
    if (format == "pax") {
        archive_write_add_filter_gzip(archive);
        archive_write_set_options(archive, "gzip:compression-level=1");
    } else {
        archive_write_set_options(archive, "zip:compression-level=1");
    }
    if (archive_write_open_filename(archive, path.c_str()) != ARCHIVE_OK)
        return false;
    std::mt19937_64 random(7);
    for (int i = 0; fs::file_size(path) < fillerOnDisk; ++i)
        addMember(archive, "Dump/data/media/0/DCIM/file-" + std::to_string(i) + ".bin",
                  fillerBytes(kFillerFile, random));
    const std::string contacts = "Dump/data/data/com.android.providers.contacts/databases/";
    const std::string sms = "Dump/data/user_de/0/com.android.providers.telephony/databases/";
    addMember(archive, contacts + "contacts2.db", fillerBytes(8u << 20, random));
    addMember(archive, contacts + "contacts2.db-wal", fillerBytes(4u << 20, random));
    addMember(archive, sms + "mmssms.db", fillerBytes(16u << 20, random));
    addMember(archive, sms + "mmssms.db-journal", fillerBytes(1u << 20, random));
    const bool closed = archive_write_close(archive) == ARCHIVE_OK;
    archive_write_free(archive);
    return closed;
}

// Inflates the whole gzip file with zlib in this thread; false on failure.
bool inflateWhole(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    z_stream stream{};
    inflateInit2(&stream, 15 + 16);
    std::vector<unsigned char> in(1 << 20), out(1 << 20);
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        stream.avail_in = unsigned(std::fread(in.data(), 1, in.size(), file));
        if (stream.avail_in == 0)
            break;
        stream.next_in = in.data();
        do {
            stream.avail_out = unsigned(out.size());
            stream.next_out = out.data();
            status = inflate(&stream, Z_NO_FLUSH);
        } while (stream.avail_out == 0 && status == Z_OK);
        if (status != Z_OK && status != Z_STREAM_END)
            break;
    }
    inflateEnd(&stream);
    std::fclose(file);
    return status == Z_STREAM_END;
}

// Takes the copies from source into home; false when no database arrived.
bool acquire(const std::string& source, const std::string& home) {
    fennaro::ExtractionJob job;
    job.source = source;
    job.paths = fennaro::localDbPaths(home);
    return fennaro::acquireFromExtraction(job).databaseArrived();
}

// Reads only a zip's databases (the four members of its copies), ending the
// reading, and the hashing beside it, once they are read.
void readZipDatabases(const std::string& path) {
    int left = 4;
    fennaro::readArchive(
        path,
        [&](const fennaro::ArchiveMember& member, fennaro::MemberData& data) {
            const auto parts = fennaro::nameParts(member.name);
            if (!parts || !fennaro::isCandidatePath(*parts))
                return true;
            data.read([](const char*, size_t) { return true; });
            return --left > 0;
        },
        {}, nullptr);
}

// The hexadecimal SHA-256 of a file; ends the benchmark on failure.
void hashFile(const std::string& path) {
    std::string hex;
    if (!fennaro::platform::sha256OfFile(path, hex))
        std::exit(1);
}

} // namespace

// Builds the archives, measures and prints the ratios.
int main(int argc, char** argv) {
    const uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 600;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string base = folder + "/fennaro-extraction-bench-" + std::to_string(::getpid());
    const std::string tgz = base + ".tar.gz", smallZip = base + "-small.zip",
                      bigZip = base + "-big.zip", home = base + "-home";
    fs::create_directories(home);
    const uint64_t mib = 1u << 20;
    if (megabytes == 0 || !writeExtraction(tgz, "pax", megabytes * mib) ||
        !writeExtraction(smallZip, "zip", megabytes * mib / 4) ||
        !writeExtraction(bigZip, "zip", megabytes * mib / 2)) {
        std::fprintf(stderr, "bench_extraction: cannot write the archives in %s\n", folder.c_str());
        return 1;
    }
    const double tgzMiB = double(fs::file_size(tgz)) / double(mib);
    std::printf("tar.gz: %.0f MiB, databases last\n", tgzMiB);
    // The three are measured in turns, so a machine busy with other work
    // weighs on each alike; the best of each counts, and the processor time
    // spent (all threads) is shown beside the wall time.
    Timing inflated, hashed, taken;
    bool arrived = true;
    for (int run = 0; run < kRuns; ++run) {
        inflated.keepBest(timed([&] { inflateWhole(tgz); }));
        hashed.keepBest(timed([&] { hashFile(tgz); }));
        taken.keepBest(timed([&] { arrived = acquire(tgz, home) && arrived; }));
    }
    const double longer = std::max(inflated.wall, hashed.wall);
    std::printf("  zlib inflate, one thread:  %7.3f s  %7.1f MiB/s  cpu %.3f s\n", inflated.wall,
                tgzMiB / inflated.wall, inflated.cpu);
    std::printf("  SHA-256 (libcrypto):       %7.3f s  %7.1f MiB/s  cpu %.3f s\n", hashed.wall,
                tgzMiB / hashed.wall, hashed.cpu);
    std::printf("  acquire --from:            %7.3f s  %7.1f MiB/s  cpu %.3f s\n", taken.wall,
                tgzMiB / taken.wall, taken.cpu);
    std::printf("  acquire / longer baseline: %.2f  (goal <= 1.25)\n", taken.wall / longer);
    std::printf("  acquire cpu / (inflate + hash cpu): %.2f\n",
                taken.cpu / (inflated.cpu + hashed.cpu));

    const double smallMiB = double(fs::file_size(smallZip)) / double(mib);
    const double bigMiB = double(fs::file_size(bigZip)) / double(mib);
    const double smallRead = bestOf([&] { readZipDatabases(smallZip); });
    const double bigRead = bestOf([&] { readZipDatabases(bigZip); });
    const double bigHashed = bestOf([&] { hashFile(bigZip); });
    const double bigTaken = bestOf([&] { arrived = acquire(bigZip, home) && arrived; });
    std::printf("zip: %.0f MiB and %.0f MiB, the same databases last\n", smallMiB, bigMiB);
    std::printf("  databases read, small zip: %7.3f s\n", smallRead);
    std::printf("  databases read, big zip:   %7.3f s  %.2fx the small one's (goal ~1)\n", bigRead,
                bigRead / smallRead);
    std::printf("  big zip SHA-256 alone:     %7.3f s\n", bigHashed);
    std::printf("  big zip acquire --from:    %7.3f s  %.2fx its SHA-256\n", bigTaken,
                bigTaken / bigHashed);

    for (const std::string& path : {tgz, smallZip, bigZip})
        fennaro::platform::deleteFile(path);
    fs::remove_all(home);
    if (!arrived) {
        std::fprintf(stderr, "bench_extraction: the databases did not arrive\n");
        return 1;
    }
    return 0;
}
