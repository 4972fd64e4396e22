// fennaro-recover list: not built yet.
#include <cstdio>

#include "commands.h"

namespace fennaro::cli {

int runListCommand(const Args&) {
    std::fputs("fennaro-recover: 'list' is not available in this build\n", stderr);
    return 1;
}

} // namespace fennaro::cli
