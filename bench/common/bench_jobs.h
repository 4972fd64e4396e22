// What the engine benchmarks share: each measured run happens in a fresh
// process of the benchmark itself (so it has a peak memory of its own and
// nothing of the phone generator), and the classic phones they measure are
// generated once and kept.
#pragma once

#include <string>

namespace benchjobs {

// One job's figures: the best time of its runs, the size of what it put out,
// the highest peak resident memory (mapped file pages included) and the
// process's own memory at the end of the run.
struct Measure {
    double seconds = 0;
    double outputBytes = 0;
    long peakKiB = 0;
    long privateKiB = 0;
};

// Returns a "Name:   123 kB" field of /proc/self/status, in KiB.
long statusField(const char* name);

// Runs "PROGRAM --job JOB CONTACTS SMS" as a fresh process of this program
// `repeats` times; returns the best time and the highest memory. Ends the
// benchmark when a job fails.
Measure measure(const char* program, const std::string& job, const std::string& contacts,
                const std::string& sms, int repeats = 3);

// The child side of measure(): prints the job's time, output size, peak
// memory and the given private memory as the parent reads them.
void reportJob(double seconds, double outputBytes, long privateKiB);

// Generates (once, then reuses) a classic phone of the given size in dir:
// a third of the records deleted, 50 messages a conversation.
void ensureClassicPhone(const std::string& dir, int contacts, int messages);

// Returns a file's size in MiB.
double mib(const std::string& path);

} // namespace benchjobs
