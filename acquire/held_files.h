// The files of an extraction that may become copies, held in temporary files
// in the copy folders until the whole extraction has been seen (a tar may
// bring the link that makes a file user 0's after the file itself): each is
// checked against the folder's free space first, hashed while it is written,
// and renamed into place only once it is known to be wanted and whole.
// Whatever is not taken is deleted, however the run ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "deep_acquire.h"
#include "local_copies.h"

namespace fennaro {

// A file of the extraction read into a temporary file beside the copies.
struct HeldFile {
    std::string memberPath; // its path inside the extraction, as stored
    std::string tempPath;   // empty when it could not be held
    uint64_t size = 0;
    std::string sha256;
    std::optional<int64_t> modified;
    std::string failure; // why it could not be held
};

// Hands a source's bytes to consume chunk by chunk; false when they could not
// all be given (consume ended it, the source failed or a stop came).
using ByteFeed = std::function<bool(const std::function<bool(const char*, size_t)>& consume)>;

class HeldFiles {
  public:
    // freeSpace, when set, stands for the copy folders' free bytes; stop
    // (may be null) ends a file's reading.
    HeldFiles(std::optional<uint64_t> freeSpace, const std::atomic<bool>* stop)
        : m_freeSpace(freeSpace), m_stop(stop) {}
    // Deletes every held file not taken.
    ~HeldFiles();
    HeldFiles(const HeldFiles&) = delete;
    HeldFiles& operator=(const HeldFiles&) = delete;

    // Reads a file of size bytes (as its source says) into a temporary file
    // of folder while hashing it. False only when the source failed or a
    // stop came (nothing is held then); a file that cannot be held for want
    // of room or a failed write is true, with held.failure saying why.
    bool hold(const std::string& folder, uint64_t size, const ByteFeed& feed, HeldFile& held);

    // Deletes a held file now.
    void drop(const HeldFile& held);

    // Makes a held file the copy at file.localPath (on the disk before it is
    // reported arrived) and records the outcome in file.
    void take(const HeldFile& held, PulledFile& file);

  private:
    // The bytes folder can still take.
    uint64_t freeBytes(const std::string& folder) const;

    std::optional<uint64_t> m_freeSpace;
    const std::atomic<bool>* m_stop;
    std::set<std::string> m_paths; // held, not taken
};

// Deletes the temporary files a run that was killed may have left in the
// copy folders.
void deleteStaleHeldFiles(const LocalDbPaths& paths);

} // namespace fennaro
