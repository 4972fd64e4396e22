// File and folder operations the acquisition needs, reduced to success flags:
// callers decide what a failure means, nothing is thrown.
#pragma once

#include <string>

namespace fennaro::platform {

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

} // namespace fennaro::platform
