// fennaro-recover acquire [--deep | --from EXTRACTION]: one acquisition as
// the window runs it
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
//
// From an extraction (a folder or an archive of the phone's files): the
// same copies, manifests (which also say where each copy came from) and
// lines as the deep acquisition; progress on a terminal; what was left out
// and what is wrong with the extraction go to standard error. Status 0 when
// contacts2.db or mmssms.db arrived and the manifests were written, else 1.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "acquire_worker.h"
#include "commands.h"
#include "deep_acquire.h"
#include "extraction_source.h"
#include "file_ops.h"
#include "input_checks.h"
#include "interrupt_guard.h"
#include "program_paths.h"
#include "progress_line.h"

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

// Prints a line per file and per manifest, and on standard error why each
// failed file failed (unless one problem failed them all).
void printPulledFiles(const DeepAcquireResult& result, bool oneProblem) {
    for (const PulledFile& file : result.files) {
        std::printf("%s\t%s\n", file.localPath.c_str(), outcomeWord(file.outcome));
        if (file.outcome == CopyOutcome::Failed && !oneProblem)
            std::fprintf(stderr, "fennaro-recover: %s: %s\n", file.phonePath.c_str(),
                         file.detail.c_str());
    }
    for (const std::string& manifest : result.manifests)
        std::printf("%s\tmanifest\n", manifest.c_str());
}

// Runs the deep acquisition and prints a line per file and per manifest.
int runDeepAcquire(const std::string& home) {
    DeepAcquireJob job;
    job.programFolder = platform::programFolder();
    job.paths = localDbPaths(home);
    DeepAcquireResult result = deepAcquire(job);
    if (!result.anyArrived())
        killHelperProcesses();

    printPulledFiles(result, result.problem != PhoneProblem::None);
    if (result.problem != PhoneProblem::None)
        std::fprintf(stderr, "fennaro-recover: %s\n", result.files[0].detail.c_str());
    if (!result.manifestsWritten)
        std::fputs("fennaro-recover: a manifest could not be written\n", stderr);
    return result.bothDatabasesArrived() && result.manifestsWritten ? 0 : 1;
}

// Takes the copies from an extraction and prints the deep acquisition's
// lines; Ctrl-C stops it, taking back what it wrote.
int runExtractionAcquire(const std::string& home, const std::string& source) {
    struct stat status {};
    if (::stat(source.c_str(), &status) != 0) {
        reportPathProblem(source, std::strerror(errno));
        return 1;
    }
    std::atomic<bool> stop{false};
    ExtractionJob job;
    job.source = source;
    job.paths = localDbPaths(home);
    job.stop = &stop;
    ProgressLine line{"Reading " + platform::baseName(source)};
    job.progress = [&](uint64_t done, uint64_t total) {
        if (total > 0)
            line.show(int(done * 100 / total));
    };
    ExtractionResult result;
    {
        InterruptGuard interrupts(stop);
        result = acquireFromExtraction(job);
        line.finish();
        if (result.stopped)
            interrupts.endByCaughtSignal();
    }
    const bool oneProblem = result.stopped || !result.problem.empty();
    printPulledFiles(result.copies, oneProblem);
    for (const std::string& note : result.notes)
        std::fprintf(stderr, "fennaro-recover: note: %s\n", note.c_str());
    if (result.stopped)
        std::fputs("fennaro-recover: stopped\n", stderr);
    else if (result.problem.rfind("no contacts2.db", 0) == 0)
        std::fprintf(stderr, "fennaro-recover: %s\n", result.problem.c_str());
    else if (!result.problem.empty())
        reportPathProblem(source, result.problem);
    if (!result.copies.manifestsWritten)
        std::fputs("fennaro-recover: a manifest could not be written\n", stderr);
    return result.databaseArrived() && result.copies.manifestsWritten ? 0 : 1;
}

} // namespace

int runAcquireCommand(const Args& args) {
    const bool deep = args.size() == 1 && args[0] == "--deep";
    const bool extraction = args.size() == 2 && args[0] == "--from" && !args[1].empty();
    if (!args.empty() && !deep && !extraction)
        return printUsage();
    std::string home = platform::homeFolder();
    if (home.empty()) {
        std::fputs("fennaro-recover: no home folder to put the copies in\n", stderr);
        return 1;
    }
    if (extraction)
        return runExtractionAcquire(home, args[1]);
    return deep ? runDeepAcquire(home) : runClassicAcquire(home);
}

} // namespace fennaro::cli
