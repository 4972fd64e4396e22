// A folder holding a phone's files, read as untrusted evidence: every path
// is walked from the folder one step at a time with openat and O_NOFOLLOW,
// so no link on the host is ever followed (links the phone made are resolved
// by resolvePhonePath, inside the folder), and every file is opened
// read-only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "extraction_layout.h"

namespace fennaro {

class FolderTree {
  public:
    // Opens the folder at path (the path itself may pass through links of
    // the host: the user named it). Nothing, with problem set, when it
    // cannot be opened as a folder.
    static std::optional<FolderTree> open(const std::string& path, std::string& problem);
    ~FolderTree();
    FolderTree(FolderTree&& other) noexcept;
    FolderTree& operator=(FolderTree&&) = delete;
    FolderTree(const FolderTree&) = delete;

    // The folders below this one (as parts, [] for the folder itself) that
    // hold a phone's "data" folder with "data", "user" or "user_de" in it,
    // shallowest first, looking at most a few levels down.
    std::vector<PathParts> phoneRoots() const;

    // What parts (below the folder, no link among the leading parts) are.
    TreeNode lookup(const PathParts& parts) const;

    // The names in the folder at parts; empty when it cannot be read.
    std::vector<std::string> list(const PathParts& parts) const;

    // Opens the regular file at parts read-only; -1 when it is none.
    int openFile(const PathParts& parts) const;

  private:
    explicit FolderTree(int fd) : m_fd(fd) {}
    // Opens the folder at parts, one step at a time without following a
    // link; -1 when it is none.
    int openFolder(const PathParts& parts, size_t count) const;

    int m_fd = -1;
};

} // namespace fennaro
