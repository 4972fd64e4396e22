// Where the pulled database copies go, and their life on disk: each lives in
// its own folder below a base folder (the user's home for the program), both
// folders closed to other users because the copies hold private data.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace fennaro {

struct LocalDbPaths {
    std::string localContactsDb; // base/Quillmet/contacts2.db
    std::string localSmsDb;      // base/quillmet-fennaro/mmssms.db
};

// The two copy paths below baseFolder.
LocalDbPaths localDbPaths(const std::string& baseFolder);

// The copies only a deep acquisition takes: the call log beside the contacts
// copy, the messaging app's store beside the messages copy.
std::string callLogCopyPath(const LocalDbPaths& paths);
std::string bugleCopyPath(const LocalDbPaths& paths);

// Every database copy an acquisition may leave: contacts, messages, call
// log, the messaging app's store.
std::vector<std::string> allCopyPaths(const LocalDbPaths& paths);

// Creates both copies' folders owner-only (0700), or tightens them if they
// exist; false when either folder cannot be had.
bool prepareCopyFolders(const LocalDbPaths& paths);

// The files SQLite may keep beside a database, which a deep acquisition
// copies too: its write-ahead log, rollback journal and shared memory index.
inline constexpr std::array<const char*, 3> kSideFileSuffixes = {"-wal", "-journal", "-shm"};

// The hash list a deep acquisition writes into each copy folder.
inline constexpr const char* kManifestFileName = "manifest.sha256";

// A database copy and the side files beside it: the copy's path, then its
// path with each of kSideFileSuffixes.
std::vector<std::string> copyFamily(const std::string& copyPath);

// The manifest in the folder of copyPath.
std::string manifestPathBeside(const std::string& copyPath);

// Deletes every copy (allCopyPaths), contacts first, with the side files and
// manifests a deep acquisition may have left beside them; missing ones are no
// failure.
// Old side files must never meet a new copy: SQLite and the deep engine
// would read a stale log or journal as part of it.
void deleteStaleCopies(const LocalDbPaths& paths);

struct ArrivedCopies {
    bool contacts = false;
    bool sms = false;
    bool any() const { return contacts || sms; }
};

// Which copies stand on disk after an acquisition.
ArrivedCopies checkArrivedCopies(const LocalDbPaths& paths);

} // namespace fennaro
