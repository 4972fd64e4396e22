// Where the pulled database copies go, and their life on disk: each lives in
// its own folder below a base folder (the user's home for the program), both
// folders closed to other users because the copies hold private data.
#pragma once

#include <string>

namespace fennaro {

struct LocalDbPaths {
    std::string localContactsDb; // base/Quillmet/contacts2.db
    std::string localSmsDb;      // base/quillmet-fennaro/mmssms.db
};

// The two copy paths below baseFolder.
LocalDbPaths localDbPaths(const std::string& baseFolder);

// Creates both copies' folders owner-only (0700), or tightens them if they
// exist; false when either folder cannot be had.
bool prepareCopyFolders(const LocalDbPaths& paths);

// Deletes both copies, contacts first; missing ones are no failure.
void deleteStaleCopies(const LocalDbPaths& paths);

struct ArrivedCopies {
    bool contacts = false;
    bool sms = false;
    bool any() const { return contacts || sms; }
};

// Which copies stand on disk after an acquisition.
ArrivedCopies checkArrivedCopies(const LocalDbPaths& paths);

} // namespace fennaro
