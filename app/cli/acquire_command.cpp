// fennaro-recover acquire [--deep]: one acquisition as the window runs it
// (the helper beside this program, the copies below the home folder),
// without the pause that only serves the connect screen.
//
// Classic: prints one line per copy, its path, a TAB and "arrived" or
// "missing"; status 0 when at least one copy arrived.
//
// Deep: prints one line per file (each database and its -wal, -journal and
// -shm), its local path, a TAB and "arrived", "missing" (not on the phone) or
// "failed" (not read whole; nothing kept), then one line per manifest
// written, its path, a TAB and "manifest". What went wrong goes to standard
// error. Status 0 when both databases arrived and their manifests were
// written, else 1.
#include <cstdio>

#include "acquire_worker.h"
#include "commands.h"
#include "deep_acquire.h"
#include "program_paths.h"

namespace fennaro::cli {

namespace {

// Runs the classic acquisition and prints its two lines.
int runClassicAcquire(const std::string& home) {
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

// Runs the deep acquisition and prints a line per file and per manifest.
int runDeepAcquire(const std::string& home) {
    DeepAcquireJob job;
    job.programFolder = platform::programFolder();
    job.paths = localDbPaths(home);
    DeepAcquireResult result = deepAcquire(job);
    if (!result.anyArrived())
        killHelperProcesses();

    for (const PulledFile& file : result.files) {
        std::printf("%s\t%s\n", file.localPath.c_str(), outcomeWord(file.outcome));
        if (file.outcome == CopyOutcome::Failed && result.problem == PhoneProblem::None)
            std::fprintf(stderr, "fennaro-recover: %s: %s\n", file.phonePath.c_str(),
                         file.detail.c_str());
    }
    for (const std::string& manifest : result.manifests)
        std::printf("%s\tmanifest\n", manifest.c_str());
    if (result.problem != PhoneProblem::None)
        std::fprintf(stderr, "fennaro-recover: %s\n", result.files[0].detail.c_str());
    if (!result.manifestsWritten)
        std::fputs("fennaro-recover: a manifest could not be written\n", stderr);
    return result.bothDatabasesArrived() && result.manifestsWritten ? 0 : 1;
}

} // namespace

int runAcquireCommand(const Args& args) {
    bool deep = args.size() == 1 && args[0] == "--deep";
    if (!args.empty() && !deep)
        return printUsage();
    std::string home = platform::homeFolder();
    if (home.empty()) {
        std::fputs("fennaro-recover: no home folder to put the copies in\n", stderr);
        return 1;
    }
    return deep ? runDeepAcquire(home) : runClassicAcquire(home);
}

} // namespace fennaro::cli
