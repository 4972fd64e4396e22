// fennaro-recover export: not built yet.
#include <cstdio>

#include "commands.h"

namespace fennaro::cli {

int runExportCommand(const Args&) {
    std::fputs("fennaro-recover: 'export' is not available in this build\n", stderr);
    return 1;
}

} // namespace fennaro::cli
