#include "tool_args.h"

#include <cstdlib>

namespace testdata {

namespace {

// Reads a whole decimal number; false when `text` is not one.
bool readNumber(const char* text, uint64_t& out) {
    char* end = nullptr;
    out = std::strtoull(text, &end, 10);
    return *text && !*end;
}

} // namespace

bool readSeedAndPageSize(int argc, char** argv, uint64_t& seed, int& pageSize) {
    if (argc > 5)
        return false;
    if (argc >= 4 && !readNumber(argv[3], seed))
        return false;
    uint64_t size = 0;
    if (argc == 5) {
        if (!readNumber(argv[4], size) || size < 512 || size > 65536 || (size & (size - 1)) != 0)
            return false;
        pageSize = static_cast<int>(size);
    }
    return true;
}

} // namespace testdata
