// Runs fennaro-recover as a script would, capturing what it prints on each
// stream, with the few twists the error tests need: standard error on a
// terminal, a smaller user than root, a file size limit.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fennaro::test {

// How to run the program.
struct RunOptions {
    // Standard error is a pseudo-terminal instead of a file.
    bool stderrOnTerminal = false;
    // When the tests run as root, the program runs as the user nobody, so
    // file permissions bind it as they bind a user.
    bool asUser = false;
    // Files the program writes may not grow beyond this many bytes (0: no
    // limit); a write past it fails instead of ending the program.
    long fileSizeLimit = 0;
    // Standard output goes to this file instead of being captured.
    std::string stdoutPath;
};

// The exit status (-1 when it did not exit normally) and both outputs.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs fennaro-recover with arguments.
ProgramRun runRecover(const std::vector<std::string>& arguments, const RunOptions& options = {});

// Whether runs with asUser bind the program by file permissions: false when
// the tests run as root and the program cannot be run as nobody.
bool permissionsBind();

// A fresh folder that every user may enter, removed with everything in it.
class OpenScratchDir {
  public:
    OpenScratchDir();
    ~OpenScratchDir();
    OpenScratchDir(const OpenScratchDir&) = delete;
    OpenScratchDir& operator=(const OpenScratchDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    // Returns the path of name inside the folder.
    std::string file(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

// Returns every entry below root (files and folders), relative, sorted.
std::vector<std::string> entriesBelow(const std::filesystem::path& root);

} // namespace fennaro::test
