#include "folder_tree.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fennaro {

namespace {

// How deep below the folder a phone's root is looked for, and how many
// folders at most are looked into (a folder of a whole phone holds many).
constexpr size_t kRootDepth = 6;
constexpr size_t kMostFoldersSearched = 20000;

// Flags of every step of a walk.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The names in the open folder fd (which it takes over), "." and ".." left out.
std::vector<std::string> namesIn(int fd) {
    std::vector<std::string> names;
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(folder);
    return names;
}

// True when name in the open folder fd is a folder itself (not a link).
bool isRealFolder(int fd, const std::string& name) {
    struct stat status {};
    return ::fstatat(fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(status.st_mode);
}

// True when name in the open folder fd exists in any form.
bool existsIn(int fd, const char* name) {
    struct stat status {};
    return ::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace

std::optional<FolderTree> FolderTree::open(const std::string& path, std::string& problem) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        problem = std::strerror(errno);
        return std::nullopt;
    }
    return FolderTree(fd);
}

FolderTree::~FolderTree() {
    if (m_fd >= 0)
        ::close(m_fd);
}

FolderTree::FolderTree(FolderTree&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

int FolderTree::openFolder(const PathParts& parts, size_t count) const {
    int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    for (size_t i = 0; i < count && fd >= 0; ++i) {
        const int next = ::openat(fd, parts[i].c_str(), kFolderFlags);
        ::close(fd);
        fd = next;
    }
    return fd;
}

std::vector<PathParts> FolderTree::phoneRoots() const {
    std::vector<PathParts> roots;
    std::deque<PathParts> pending{PathParts{}};
    size_t searched = 0;
    while (!pending.empty() && searched++ < kMostFoldersSearched) {
        const PathParts parts = std::move(pending.front());
        pending.pop_front();
        const int fd = openFolder(parts, parts.size());
        if (fd < 0)
            continue;
        const int dataFd = ::openat(fd, "data", kFolderFlags);
        bool isRoot = false;
        if (dataFd >= 0) {
            isRoot =
                existsIn(dataFd, "data") || existsIn(dataFd, "user") || existsIn(dataFd, "user_de");
            ::close(dataFd);
        }
        if (isRoot)
            roots.push_back(parts);
        const int listFd = ::dup(fd);
        for (const std::string& name : namesIn(listFd)) {
            if (parts.size() + 1 < kRootDepth && !(isRoot && name == "data") &&
                isRealFolder(fd, name)) {
                PathParts child = parts;
                child.push_back(name);
                pending.push_back(std::move(child));
            }
        }
        ::close(fd);
    }
    return roots;
}

TreeNode FolderTree::lookup(const PathParts& parts) const {
    TreeNode node;
    if (parts.empty())
        return {NodeKind::Folder, {}};
    const int fd = openFolder(parts, parts.size() - 1);
    if (fd < 0)
        return node;
    struct stat status {};
    const char* name = parts.back().c_str();
    if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(status.st_mode)) {
            node.kind = NodeKind::Folder;
        } else if (S_ISREG(status.st_mode)) {
            node.kind = NodeKind::File;
        } else if (S_ISLNK(status.st_mode)) {
            char target[4096];
            const ssize_t got = ::readlinkat(fd, name, target, sizeof target);
            if (got > 0 && size_t(got) < sizeof target) {
                node.kind = NodeKind::Link;
                node.linkTarget.assign(target, size_t(got));
            }
        }
    }
    ::close(fd);
    return node;
}

std::vector<std::string> FolderTree::list(const PathParts& parts) const {
    const int fd = openFolder(parts, parts.size());
    return fd < 0 ? std::vector<std::string>{} : namesIn(fd);
}

int FolderTree::openFile(const PathParts& parts) const {
    if (parts.empty())
        return -1;
    const int folder = openFolder(parts, parts.size() - 1);
    if (folder < 0)
        return -1;
    const int fd = ::openat(folder, parts.back().c_str(),
                            O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    ::close(folder);
    struct stat status {};
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace fennaro
