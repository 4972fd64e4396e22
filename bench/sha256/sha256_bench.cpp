// Hashes a file the size of a large messages database (through libcrypto,
// as every copy is hashed) and prints how long that takes beside two
// baselines measured in the same run: reading the same file in the same
// chunks without hashing (the floor), and the system's sha256sum on it. The
// deep acquisition hashes every copy it keeps, and an extraction's archive
// is hashed whole.
//
// Usage: fennaro_bench_sha256 [MEGABYTES [FOLDER]]   (default 256, /tmp)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>

#include "file_ops.h"
#include "process_run.h"
#include "sha256.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs of each measurement; the best one counts, after the file is cached.
constexpr int kRuns = 3;

// The best wall time of kRuns calls of work, in seconds.
template <typename Work>
double bestOf(Work work) {
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        Clock::time_point start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// Writes megabytes of pseudo-random bytes to path; false on failure.
bool writeSample(const std::string& path, size_t megabytes) {
    std::mt19937_64 random(42);
    std::string chunk(1 << 20, '\0');
    std::string all;
    all.reserve(megabytes << 20);
    for (size_t i = 0; i < megabytes; ++i) {
        for (size_t j = 0; j < chunk.size(); j += 8) {
            uint64_t word = random();
            std::copy_n(reinterpret_cast<const char*>(&word), 8, chunk.begin() + j);
        }
        all += chunk;
    }
    return fennaro::platform::writeFileReplacing(path, all);
}

} // namespace

// Measures and prints the three timings and their ratios.
int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string path = folder + "/fennaro-sha256-bench-" + std::to_string(::getpid());
    if (megabytes == 0 || !writeSample(path, megabytes)) {
        std::fprintf(stderr, "fennaro_bench_sha256: cannot write %s\n", path.c_str());
        return 1;
    }
    std::string ours, theirs;
    const double read = bestOf([&] {
        size_t total = 0;
        fennaro::platform::readFileInChunks(path, [&](const char*, size_t size) {
            total += size;
            return true;
        });
    });
    const double hashed = bestOf([&] { fennaro::platform::sha256OfFile(path, ours); });
    const double system = bestOf([&] {
        fennaro::platform::runHiddenCapture({"/usr/bin/sha256sum", path}, std::chrono::minutes(10),
                                            theirs);
    });
    fennaro::platform::deleteFile(path);

    const double mb = double(megabytes);
    std::printf("file: %zu MiB in %s\n", megabytes, folder.c_str());
    std::printf("read only (baseline): %7.3f s  %8.1f MiB/s\n", read, mb / read);
    std::printf("sha256OfFile:         %7.3f s  %8.1f MiB/s  %5.2fx the read\n", hashed,
                mb / hashed, hashed / read);
    std::printf("sha256sum:            %7.3f s  %8.1f MiB/s  %5.2fx the read\n", system,
                mb / system, system / read);
    std::printf("sha256OfFile / sha256sum: %.2f\n", hashed / system);
    if (ours != theirs.substr(0, 64)) {
        std::fprintf(stderr, "fennaro_bench_sha256: digests differ\n");
        return 1;
    }
    return 0;
}
