// Taking the copies from a file-system extraction of a phone instead of the
// phone itself: a folder, or an archive (tar, tar.gz, tar.xz, tar.zst, zip)
// holding a copy of the phone's /data. The copies land where a deep
// acquisition puts them, with the same manifests, which also tell where each
// copy came from (the archive and its SHA-256, or the folder; each copy's
// path inside the extraction and its time there).
//
// The extraction is evidence and untrusted input: it is only ever read (a
// folder's files through openat without following host links, an archive
// member by member without unpacking it), links are resolved inside it as
// the phone would, and nothing is written from a member's name. Each copy is
// written under a temporary name and renamed when whole; a damaged archive
// leaves no copy at all.
//
// The window runs acquireFromExtraction on a worker thread: progress tells
// the bytes read so far of the extraction's total (on that thread), and
// setting *stop makes the run end soon after, taking back every copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "deep_acquire.h"
#include "local_copies.h"

namespace fennaro {

struct ExtractionJob {
    std::string source; // a folder or an archive file
    LocalDbPaths paths; // the database copies; side files and manifests go beside
    // Told the bytes read so far of the total to read: an archive's size, or
    // the sizes of a folder's files that are copied. May be empty.
    ReadProgress progress;
    // Set by whoever wants the run ended; may be null.
    const std::atomic<bool>* stop = nullptr;
    // The bytes free in the copy folders, when not what the file system says
    // (lets a test meet a member bigger than the free space).
    std::optional<uint64_t> freeSpace;
};

struct ExtractionResult {
    // The sixteen files as a deep acquisition reports them; phonePath holds
    // each file's path inside the extraction, detail why one failed.
    DeepAcquireResult copies;
    bool archive = false;
    // Why the extraction gave nothing: it is missing or unreadable, damaged
    // ("ends inside mmssms.db", "encrypted zip member ..."), or holds no
    // contacts2.db or mmssms.db. Empty when it was read.
    std::string problem;
    bool stopped = false;
    std::string sourceSha256; // an archive's own hash
    // What was seen and left out: another user's databases, another phone's
    // files, members whose names climb out of the extraction.
    std::vector<std::string> notes;

    // True when contacts2.db or mmssms.db arrived.
    bool databaseArrived() const {
        return copies.contactsDb().outcome == CopyOutcome::Arrived ||
               copies.smsDb().outcome == CopyOutcome::Arrived;
    }
};

// Takes the copies from the extraction at job.source, deleting every stale
// copy, side file and manifest first (unless the source cannot be opened).
ExtractionResult acquireFromExtraction(const ExtractionJob& job);

} // namespace fennaro
