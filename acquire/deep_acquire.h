// The deep acquisition: reads both databases, the call log and the messaging
// app's store, each with its side files (-wal, -journal, -shm), from wherever
// the phone's Android release keeps them, with root rights and without
// changing anything on the phone, checks each copy's size against the
// phone's before and after the read, and writes a SHA-256 manifest beside the
// copies. Every copy left on disk is whole; each file is reported as arrived,
// missing (not on the phone) or failed.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "copy_manifest.h"
#include "deep_commands.h"
#include "local_copies.h"
#include "stop_signal.h"

namespace fennaro {

enum class CopyOutcome {
    Arrived, // whole: its size matched the phone's before and after the read
    Missing, // the phone does not have it
    Failed,  // it could not be read whole (see detail); no copy is kept
};

// "arrived", "missing" or "failed".
const char* outcomeWord(CopyOutcome outcome);

// Why nothing could be read at all.
enum class PhoneProblem {
    None,
    HelperMissing, // the helper program could not be started
    NoPhone,       // no phone, or one that is offline or has not allowed debugging
    NoRoot,        // su is missing or refused
    NoAnswer,      // the phone did not list its files
    Stopped,       // a stop was requested
};

struct PulledFile {
    std::string localPath; // where its copy goes, beside the classic copies
    std::string phonePath; // where it was found; empty when it was not
    CopyOutcome outcome = CopyOutcome::Failed;
    std::string detail; // for a failed file: what went wrong
    uint64_t size = 0;  // the size of an arrived copy
    std::string sha256; // the hash of an arrived copy, as in its manifest
    // When it was last modified where it was taken from (seconds since
    // 1970), when that is known: a file-system extraction tells it.
    std::optional<int64_t> modified;
};

struct DeepAcquireResult {
    static constexpr size_t kFileCount = 16;

    // Always sixteen entries, four per database: the database, its -wal,
    // -journal and -shm; first the contacts database, then the messages
    // database, the call log and the messaging app's store (all failed,
    // without paths, in a result that no acquisition has filled).
    std::vector<PulledFile> files = std::vector<PulledFile>(kFileCount);
    // The manifests written, one per copy folder that received a copy.
    std::vector<std::string> manifests;
    // False when a manifest could not be written: its folder's copies stand
    // unverifiable (checkCopies reports them unlisted).
    bool manifestsWritten = true;
    PhoneProblem problem = PhoneProblem::None;
    // The copies' stamps once the manifests were written (checkCopiesSince).
    CopyStamps stamps;

    const PulledFile& contactsDb() const { return files.at(0); }
    const PulledFile& smsDb() const { return files.at(4); }
    const PulledFile& callLogDb() const { return files.at(8); }
    const PulledFile& bugleDb() const { return files.at(12); }
    bool bothDatabasesArrived() const {
        return contactsDb().outcome == CopyOutcome::Arrived &&
               smsDb().outcome == CopyOutcome::Arrived;
    }
    bool anyArrived() const;
};

// Told when a deep acquisition has ended, on the worker's thread.
struct DeepAcquireListener {
    virtual ~DeepAcquireListener() = default;
    virtual void deepAcquireDone(const DeepAcquireResult& result) = 0;
};

struct DeepAcquireJob {
    std::string programFolder; // where the helper lies
    LocalDbPaths paths;        // the database copies; side files and manifests go beside
    // The pause before the first command, as for the classic acquisition.
    std::chrono::milliseconds startDelay{5000};
    DeepLimits limits;
    DeepAcquireListener* listener = nullptr; // may be null
    // Lets the window end the acquisition when it closes; may be null.
    std::shared_ptr<platform::StopSignal> stop;
};

// Runs one deep acquisition at once (job.startDelay and job.listener are not
// used) and returns what became of each file. It deletes every stale copy,
// side file and manifest first. After a stop it returns as soon as the
// command under way has been killed: the file under way and those not yet
// read are failed, copies that arrived before stay, and no manifest is
// written.
DeepAcquireResult deepAcquire(const DeepAcquireJob& job);

// The worker thread's procedure: waits job.startDelay, runs deepAcquire and
// hands the result to job.listener. After a stop the listener is not called:
// once job.stop->request() has returned, deepAcquireDone is neither running
// nor called any more. Returns 1.
int deepAcquireThreadProc(const DeepAcquireJob& job);

} // namespace fennaro
