// The arguments the test-data tools share: KIND DIR [SEED] [PAGE_SIZE].
#pragma once

#include <cstdint>

namespace testdata {

// Reads the optional seed (argv[3]) and page size (argv[4]) into seed and
// pageSize, which keep their values when an argument is not given. False
// when there are more, when one is not a whole number, or when the page
// size is not a power of two from 512 to 65536 (SQLite would quietly take
// another one).
bool readSeedAndPageSize(int argc, char** argv, uint64_t& seed, int& pageSize);

} // namespace testdata
