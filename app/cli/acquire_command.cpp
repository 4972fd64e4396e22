// fennaro-recover acquire: one acquisition as the window runs it (the helper
// beside this program, the copies below the home folder), without the pause
// that only serves the connect screen. Prints one line per copy, its path, a
// TAB and "arrived" or "missing"; status 0 when at least one copy arrived.
#include <cstdio>

#include "acquire_worker.h"
#include "commands.h"
#include "program_paths.h"

namespace fennaro::cli {

int runAcquireCommand(const Args& args) {
    if (!args.empty())
        return printUsage();
    std::string home = platform::homeFolder();
    if (home.empty()) {
        std::fputs("fennaro-recover: no home folder to put the copies in\n", stderr);
        return 1;
    }
    AcquireJob job;
    job.programFolder = platform::programFolder();
    job.paths = localDbPaths(home);
    job.startDelay = std::chrono::milliseconds(0);

    deleteStaleCopies(job.paths);
    acquireThreadProc(job);
    ArrivedCopies arrived = checkArrivedCopies(job.paths);
    if (!arrived.any())
        killHelperProcesses();

    std::printf("%s\t%s\n", job.paths.localContactsDb.c_str(),
                arrived.contacts ? "arrived" : "missing");
    std::printf("%s\t%s\n", job.paths.localSmsDb.c_str(), arrived.sms ? "arrived" : "missing");
    return arrived.any() ? 0 : 1;
}

} // namespace fennaro::cli
