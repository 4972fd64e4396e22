// File and folder operations the acquisition needs, reduced to success flags:
// callers decide what a failure means, nothing is thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace fennaro::platform {

// What the file system says of a file, enough to tell that no one wrote to
// it since: any write moves its change time, which only the clock sets.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at path; nothing when there is none.
std::optional<FileStamp> fileStamp(const std::string& path);

// Waits until the file's bytes are on the disk; false when it cannot be
// opened or the system reports a failure.
bool syncFile(const std::string& path);

// True when something (a file or anything else) stands at path.
bool fileExists(const std::string& path);

// Removes the file at path; false when nothing was removed.
bool deleteFile(const std::string& path);

// Makes sure path is a folder that only its owner can enter (mode 0700):
// creates it (not its parents), or tightens an existing folder of ours.
// False when no such folder stands at path afterwards.
bool createPrivateFolder(const std::string& path);

// The folder part of path ("/a/b/c.db" -> "/a/b"); "." for a bare name.
std::string parentFolder(const std::string& path);

// The last component of path ("/a/b/c.db" -> "c.db").
std::string baseName(const std::string& path);

// The size of the regular file at path; nothing when there is none.
std::optional<uint64_t> fileSize(const std::string& path);

// Reads the file at path from start to end, handing each chunk to consume,
// which returns false to end the reading early; false when the file cannot
// be opened, a read fails or consume ended it.
bool readFileInChunks(const std::string& path,
                      const std::function<bool(const char* data, size_t size)>& consume);

// The whole file at path in text; false when it cannot be read or holds more
// than maxBytes (text is then empty).
bool readSmallFile(const std::string& path, std::string& text, size_t maxBytes);

// Replaces the file at path with text, owner-only (0600), through a
// temporary file in the same folder, so that a reader sees the old file or
// the whole new one, never a part; false on failure (path is then untouched).
bool writeFileReplacing(const std::string& path, const std::string& text);

} // namespace fennaro::platform
