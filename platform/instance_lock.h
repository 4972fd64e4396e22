// The single-instance lock of the window program: an advisory lock on a file
// named after the program in the user's runtime folder. The kernel drops the
// lock when the process ends, however it ends, so a crash never leaves a
// stale lock behind.
#pragma once

#include <string>

namespace fennaro::platform {

enum class InstanceLock {
    Acquired,      // this process is the first instance and holds the lock
    HeldElsewhere, // another process holds it
    Unavailable,   // no lock file could be had; the caller goes on as the first
};

// The folder the lock file lives in: $XDG_RUNTIME_DIR when it is set and is a
// folder, else a 0700 folder "quillmet-<uid>" of the user's own under the
// temporary folder ($TMPDIR or /tmp); empty when neither can be had.
std::string instanceLockFolder();

// Takes the lock file "name" in instanceLockFolder() and keeps it for the
// rest of the process (the descriptor is never closed).
InstanceLock acquireInstanceLock(const std::string& name);

// The same in an explicit folder (tests use their own folders).
InstanceLock acquireInstanceLockIn(const std::string& folder, const std::string& name);

} // namespace fennaro::platform
