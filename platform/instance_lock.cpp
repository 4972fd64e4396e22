#include "instance_lock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fennaro::platform {

namespace {

// True when path names a folder.
bool isFolder(const char* path) {
    struct stat info {};
    return path != nullptr && *path != '\0' && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes sure folder is a 0700 folder owned by this user; anything else (a
// file, a link, somebody else's folder) is refused, so another user cannot
// hold our lock for us or watch it.
bool ownPrivateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return false;
    return (info.st_mode & 0077) == 0 || ::chmod(folder.c_str(), 0700) == 0;
}

} // namespace

std::string instanceLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (isFolder(runtime))
        return runtime;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = isFolder(tmp) ? tmp : "/tmp";
    std::string folder = base + "/quillmet-" + std::to_string(::getuid());
    return ownPrivateFolder(folder) ? folder : std::string();
}

InstanceLock acquireInstanceLock(const std::string& name) {
    std::string folder = instanceLockFolder();
    if (folder.empty())
        return InstanceLock::Unavailable;
    return acquireInstanceLockIn(folder, name);
}

InstanceLock acquireInstanceLockIn(const std::string& folder, const std::string& name) {
    std::string path = folder + "/" + name;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return InstanceLock::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return InstanceLock::Acquired; // fd stays open: the lock lives with the process
    int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? InstanceLock::HeldElsewhere : InstanceLock::Unavailable;
}

} // namespace fennaro::platform
