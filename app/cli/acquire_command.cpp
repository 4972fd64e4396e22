// fennaro-recover acquire: not built yet.
#include <cstdio>

#include "commands.h"

namespace fennaro::cli {

int runAcquireCommand(const Args&) {
    std::fputs("fennaro-recover: 'acquire' is not available in this build\n", stderr);
    return 1;
}

} // namespace fennaro::cli
