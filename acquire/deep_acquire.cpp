#include "deep_acquire.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>

#include "copy_manifest.h"
#include "file_ops.h"
#include "helper_commands.h"
#include "phone_layout.h"
#include "process_run.h"
#include "sha256.h"

namespace fennaro {

namespace {

using Sizes = std::map<std::string, uint64_t>;

// One run's fixed inputs.
struct Run {
    const DeepAcquireJob& job;
    const platform::StopSignal* stop;
    std::string helper;
};

// True once a stop has been requested.
bool stopRequested(const Run& run) {
    return run.stop && run.stop->requested();
}

// The databases read, in the order of their entries in a result.
constexpr PhoneDatabase kDatabases[] = {kContactsDatabase, kSmsDatabase, kCallLogDatabase,
                                        kBugleDatabase};

// The sixteen entries of a result, in their fixed order, none decided yet.
std::vector<PulledFile> plannedFiles(const LocalDbPaths& paths) {
    std::vector<PulledFile> files;
    for (const std::string& copy : allCopyPaths(paths)) {
        for (const std::string& local : copyFamily(copy)) {
            PulledFile file;
            file.localPath = local;
            files.push_back(file);
        }
    }
    return files;
}

// Marks every file not yet decided as failed for the same reason.
void failUndecided(std::vector<PulledFile>& files, const std::string& detail) {
    for (PulledFile& file : files) {
        if (file.outcome == CopyOutcome::Failed && file.detail.empty())
            file.detail = detail;
    }
}

// Every phone path a database or its side files may have, over all folders.
std::vector<std::string> allCandidatePaths() {
    std::vector<std::string> paths;
    for (const PhoneDatabase& database : kDatabases) {
        for (const std::string& folder : candidateFolders(database)) {
            for (const std::string& path : copyFamily(folder + "/" + database.fileName))
                paths.push_back(path);
        }
    }
    return paths;
}

// The folder a database is read from: the first that holds it, or, when none
// does, the first that holds one of its side files (a log without its
// database is still evidence); empty when the phone has none of them.
std::string chosenFolder(const PhoneDatabase& database, const Sizes& sizes) {
    const std::vector<std::string> folders = candidateFolders(database);
    for (const std::string& folder : folders) {
        if (sizes.count(folder + "/" + database.fileName))
            return folder;
    }
    for (const std::string& folder : folders) {
        for (const std::string& path : copyFamily(folder + "/" + database.fileName)) {
            if (sizes.count(path))
                return folder;
        }
    }
    return {};
}

// Runs a short command on the phone and returns its trimmed output; nothing
// when the helper could not be started. Sets stopped after a stop.
std::optional<std::string> askPhone(const Run& run, const std::vector<std::string>& argv,
                                    std::chrono::milliseconds limit, bool& stopped) {
    std::string output;
    platform::RunResult result = platform::runHiddenCapture(argv, limit, output, run.stop);
    stopped = result.outcome == platform::RunOutcome::Stopped;
    if (result.outcome == platform::RunOutcome::NotStarted)
        return std::nullopt;
    return trimmed(output);
}

// The phone's sizes of phonePaths; nothing when the listing did not run.
std::optional<Sizes> listSizes(const Run& run, const std::vector<std::string>& phonePaths) {
    std::string output;
    platform::RunResult result = platform::runHiddenCapture(
        sizeListingCommand(run.helper, phonePaths), run.job.limits.command, output, run.stop);
    if (result.outcome != platform::RunOutcome::Exited)
        return std::nullopt;
    return parseSizeListing(output);
}

// The SHA-256 of a copy, read back from disk; nothing when it cannot be read
// or a stop cuts the reading short.
std::optional<std::string> hashOfCopy(const Run& run, const std::string& path) {
    platform::Sha256 hash;
    bool read = platform::readFileInChunks(path, [&](const char* data, size_t size) {
        hash.update(data, size);
        return !stopRequested(run);
    });
    if (!read)
        return std::nullopt;
    return platform::toHex(hash.finish());
}

// A time limit for people: "120 s", or "250 ms" when not whole seconds.
std::string describeTime(std::chrono::milliseconds time) {
    if (time.count() % 1000 == 0)
        return std::to_string(time.count() / 1000) + " s";
    return std::to_string(time.count()) + " ms";
}

// Why a read did not give a whole copy, or empty when it did: the helper
// must have ended well, and the copy's size must equal the phone's size of
// the file before and after the read.
std::string readProblem(const Run& run, const platform::RunResult& result,
                        const std::string& phonePath, const std::string& localPath,
                        uint64_t sizeBefore) {
    using platform::RunOutcome;
    if (result.outcome == RunOutcome::NotStarted)
        return "the copy could not be written";
    if (result.outcome == RunOutcome::Stopped)
        return "stopped";
    if (result.outcome == RunOutcome::TimedOut)
        return "not read whole within " + describeTime(run.job.limits.pull);
    if (result.exitStatus != 0)
        return "the helper failed (exit status " + std::to_string(result.exitStatus) + ")";
    std::optional<uint64_t> copied = platform::fileSize(localPath);
    if (!copied)
        return "the copy could not be written";
    std::optional<Sizes> after = listSizes(run, {phonePath});
    if (stopRequested(run))
        return "stopped";
    if (!after)
        return "the phone did not answer after the read";
    auto found = after->find(phonePath);
    if (found == after->end())
        return "gone from the phone while it was read";
    if (*copied != sizeBefore || found->second != sizeBefore)
        return "changed while it was read: " + std::to_string(*copied) + " bytes read, " +
               std::to_string(sizeBefore) + " on the phone before, " +
               std::to_string(found->second) + " after";
    return {};
}

// Reads one file from the phone into its copy and decides its outcome; a
// copy that is not whole is deleted.
void pullFile(const Run& run, PulledFile& file, uint64_t sizeBefore) {
    if (stopRequested(run)) {
        file.detail = "stopped";
        return;
    }
    if (!isPlainPhonePath(file.phonePath)) {
        file.detail = "a phone path the phone's shell would not take as one word";
        return;
    }
    platform::RunResult result = platform::runHiddenToFile(
        readFileCommand(run.helper, file.phonePath), run.job.limits.pull, file.localPath, run.stop);
    std::string problem = readProblem(run, result, file.phonePath, file.localPath, sizeBefore);
    std::optional<std::string> hash;
    if (problem.empty()) {
        hash = hashOfCopy(run, file.localPath);
        if (!hash)
            problem = stopRequested(run) ? "stopped" : "the copy could not be read back";
        // The manifest must not list a copy that a power cut could still
        // take away: it goes to the disk first (and its writing is then
        // over before the records are read from it).
        else if (!platform::syncFile(file.localPath))
            problem = "the copy could not be written to the disk";
    }
    if (!problem.empty()) {
        platform::deleteFile(file.localPath);
        file.detail = problem;
        return;
    }
    file.outcome = CopyOutcome::Arrived;
    file.size = sizeBefore;
    file.sha256 = *hash;
}

// Decides the four files of one database: finds its folder, marks what the
// phone lacks as missing, and reads the rest, side files first. Read in this
// order, a checkpoint between two reads leaves a database that already holds
// the log's pages rather than a restarted log beside a database without them.
void pullDatabase(const Run& run, const PhoneDatabase& database, const Sizes& sizes,
                  PulledFile* family) {
    const std::string folder = chosenFolder(database, sizes);
    if (folder.empty()) {
        for (size_t i = 0; i < 4; ++i)
            family[i].outcome = CopyOutcome::Missing;
        return;
    }
    const std::vector<std::string> phonePaths = copyFamily(folder + "/" + database.fileName);
    for (size_t i = 0; i < phonePaths.size(); ++i) {
        if (sizes.count(phonePaths[i]))
            family[i].phonePath = phonePaths[i];
        else
            family[i].outcome = CopyOutcome::Missing;
    }
    for (size_t step = 1; step <= phonePaths.size(); ++step) {
        size_t i = step % phonePaths.size(); // -wal, -journal, -shm, then the database
        if (!family[i].phonePath.empty())
            pullFile(run, family[i], sizes.at(phonePaths[i]));
    }
}

// Writes the manifest of each copy folder that received a copy, the folders
// in the order their first files appear in the result.
void writeManifests(DeepAcquireResult& result) {
    std::vector<std::string> folders;
    for (const PulledFile& file : result.files) {
        const std::string folder = platform::parentFolder(file.localPath);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    for (const std::string& folder : folders) {
        std::vector<ManifestEntry> entries;
        for (const PulledFile& file : result.files) {
            if (file.outcome == CopyOutcome::Arrived &&
                platform::parentFolder(file.localPath) == folder)
                entries.push_back({platform::baseName(file.localPath), file.sha256});
        }
        if (entries.empty())
            continue;
        if (writeManifest(folder, entries))
            result.manifests.push_back(folder + "/" + kManifestFileName);
        else
            result.manifestsWritten = false;
    }
}

// Checks that a phone with root access is there; the problem when not.
PhoneProblem checkPhone(const Run& run) {
    bool stopped = false;
    std::optional<std::string> state =
        askPhone(run, phoneStateCommand(run.helper), run.job.limits.command, stopped);
    if (stopped)
        return PhoneProblem::Stopped;
    if (!state)
        return PhoneProblem::HelperMissing;
    if (*state != "device")
        return PhoneProblem::NoPhone;
    std::optional<std::string> uid =
        askPhone(run, rootCheckCommand(run.helper), run.job.limits.rootGrant, stopped);
    if (stopped)
        return PhoneProblem::Stopped;
    if (!uid || *uid != "0")
        return PhoneProblem::NoRoot;
    return PhoneProblem::None;
}

// The failure detail of every file when the phone could not be read at all.
const char* problemDetail(PhoneProblem problem) {
    switch (problem) {
    case PhoneProblem::HelperMissing:
        return "the helper program could not be started";
    case PhoneProblem::NoPhone:
        return "no phone ready for debugging";
    case PhoneProblem::NoRoot:
        return "the phone grants no root access";
    case PhoneProblem::NoAnswer:
        return "the phone did not list its files";
    case PhoneProblem::Stopped:
        return "stopped";
    case PhoneProblem::None:
        break;
    }
    return "";
}

} // namespace

const char* outcomeWord(CopyOutcome outcome) {
    switch (outcome) {
    case CopyOutcome::Arrived:
        return "arrived";
    case CopyOutcome::Missing:
        return "missing";
    case CopyOutcome::Failed:
        break;
    }
    return "failed";
}

bool DeepAcquireResult::anyArrived() const {
    for (const PulledFile& file : files) {
        if (file.outcome == CopyOutcome::Arrived)
            return true;
    }
    return false;
}

DeepAcquireResult deepAcquire(const DeepAcquireJob& job) {
    Run run{job, job.stop.get(), helperPath(job.programFolder)};
    DeepAcquireResult result;
    result.files = plannedFiles(job.paths);
    deleteStaleCopies(job.paths);
    // A folder that cannot be made only fails its own copies.
    prepareCopyFolders(job.paths);

    result.problem = stopRequested(run) ? PhoneProblem::Stopped : checkPhone(run);
    std::optional<Sizes> sizes;
    if (result.problem == PhoneProblem::None) {
        sizes = listSizes(run, allCandidatePaths());
        if (!sizes)
            result.problem = stopRequested(run) ? PhoneProblem::Stopped : PhoneProblem::NoAnswer;
    }
    if (result.problem != PhoneProblem::None) {
        failUndecided(result.files, problemDetail(result.problem));
        return result;
    }
    for (size_t i = 0; i < std::size(kDatabases); ++i)
        pullDatabase(run, kDatabases[i], *sizes, &result.files[4 * i]);
    if (stopRequested(run)) {
        result.problem = PhoneProblem::Stopped;
        failUndecided(result.files, "stopped");
        return result;
    }
    writeManifests(result);
    result.stamps = stampCopies(job.paths);
    return result;
}

int deepAcquireThreadProc(const DeepAcquireJob& job) {
    const platform::StopSignal* stop = job.stop.get();
    if (!platform::waitOutDelay(stop, job.startDelay))
        return 1;
    DeepAcquireResult result = deepAcquire(job);
    if (job.listener)
        platform::reportUnlessStopped(stop, [&] { job.listener->deepAcquireDone(result); });
    return 1;
}

} // namespace fennaro
