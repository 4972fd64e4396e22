// The message side of the large phones the load and export benchmarks
// generate, so both measure the same shape of phone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "random_source.h"
#include "testdata.h"

namespace benchphone {

// Writes an mmssms.db at path: `threads` conversations, one per number in
// turn; `messages` messages spread over them round-robin, a third sent and
// the rest received from the raw contact of their number; then `deleted`
// messages deleted, spread over the whole table.
void writeMessages(const std::string& path, const testdata::DbOptions& options,
                   testdata::RandomSource& rng, const std::vector<std::string>& numbers,
                   const std::vector<int64_t>& rawIds, int threads, int messages, int deleted);

} // namespace benchphone
