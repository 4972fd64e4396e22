// Runs fennaro-recover as a script would, capturing what it prints on each
// stream, with the few twists the error tests need: standard error on a
// terminal, a smaller user than root, a file size limit.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <sys/types.h>
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

// The exit status (-1 when it did not exit normally), the signal that ended
// it (0 when none did) and both outputs.
struct ProgramRun {
    int status = -1;
    int signal = 0;
    std::string out;
    std::string err;
};

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

// fennaro-recover started in the background; killed if never waited for.
class RunningProgram {
  public:
    // Starts the program with arguments.
    RunningProgram(const std::vector<std::string>& arguments, const RunOptions& options = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t pid() const { return m_pid; }
    // Waits for the program to end and returns what it did.
    ProgramRun wait();

  private:
    std::unique_ptr<OpenScratchDir> m_streams;
    RunOptions m_options;
    std::string m_outPath;
    std::string m_errPath;
    pid_t m_pid = 0;
    int m_terminal = -1;
};

// Runs fennaro-recover with arguments and waits for it.
ProgramRun runRecover(const std::vector<std::string>& arguments, const RunOptions& options = {});

// Whether runs with asUser bind the program by file permissions: false when
// the tests run as root and the program cannot be run as nobody.
bool permissionsBind();

// Returns every entry below root (files and folders), relative, sorted.
std::vector<std::string> entriesBelow(const std::filesystem::path& root);

} // namespace fennaro::test
