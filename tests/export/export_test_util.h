// Helpers of the export tests: a scratch folder, reading files whole, and the
// expected bytes of UTF-16 text files written from plain ASCII lines.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fennaro::test {

// A fresh empty folder, removed with everything in it on destruction.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    // Returns the path of name inside the folder.
    std::string file(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

// Returns the bytes of a file; empty when it cannot be read.
std::string readBytes(const std::filesystem::path& path);

// Returns the bytes of ASCII text as UTF-16LE (no line ends added).
std::string utf16(std::string_view ascii);

// Returns the bytes of a file holding the given lines (byte order mark first,
// each line ended by CR LF). The lines must be ASCII; LF inside them is
// written as it is, so a test states a line break's bytes itself.
std::string textFile(const std::vector<std::string>& lines);

// Returns the UTF-8 text of a UTF-16LE file's bytes after its byte order
// mark; lone surrogates become U+FFFD. Empty when there is no byte order mark
// or the length is odd.
std::string decodeTextFile(std::string_view bytes);

// Returns every regular file below root, as paths relative to it, sorted.
std::vector<std::string> filesBelow(const std::filesystem::path& root);

// Returns the folder names directly below root, sorted.
std::vector<std::string> foldersBelow(const std::filesystem::path& root);

} // namespace fennaro::test
