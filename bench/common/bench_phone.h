// The message side of the large phones the load and export benchmarks
// generate, so both measure the same shape of phone.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "random_source.h"
#include "testdata.h"

namespace benchphone {

// The phone both benchmarks measure: 50,000 contacts, 500,000 messages in
// 20,000 conversations, with a few rows of each deleted.
constexpr int kContacts = 50'000;
constexpr int kMessages = 500'000;
constexpr int kThreads = 20'000;
constexpr int kDeletedMessages = 2'000;
constexpr int kDeletedDataRows = 1'000;
constexpr uint64_t kSeed = 7;

// Returns seconds since start.
inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Data rows per contact of the load benchmarks' phone.
constexpr int kRowsPerContact = 4;

// Makes the phone the load and window benchmarks measure (kContacts contacts
// of kRowsPerContact rows, kMessages messages in kThreads conversations) in a
// folder below cache named after its parameters, unless a complete one is
// there; returns the folder, which holds contacts2.db and mmssms.db.
std::filesystem::path ensureLoadPhone(const std::filesystem::path& cache);

// Writes an mmssms.db at path: `threads` conversations, one per number in
// turn; `messages` messages spread over them round-robin, a third sent and
// the rest received from the raw contact of their number; then `deleted`
// messages deleted, spread over the whole table.
void writeMessages(const std::string& path, const testdata::DbOptions& options,
                   testdata::RandomSource& rng, const std::vector<std::string>& numbers,
                   const std::vector<int64_t>& rawIds, int threads, int messages, int deleted);

} // namespace benchphone
