// Shared pieces of the acquisition tests: temporary folders, scripted
// helpers, and starting and watching background processes.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace fennaro::test {

// A fresh folder below the system's temporary folder, removed with everything
// in it when the object goes.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// Writes text to path (making the file executable when asked).
void writeFile(const std::string& path, const std::string& text, bool executable = false);

// The whole content of path; empty when it cannot be read.
std::string readFile(const std::string& path);

// Starts program with args in the background, output to /dev/null; its pid.
pid_t startBackground(const std::string& program, const std::vector<std::string>& args);

// True while pid exists and is no zombie.
bool processAlive(pid_t pid);

// Waits up to timeoutMs for file to exist; false on expiry.
bool waitForFile(const std::string& path, int timeoutMs);
// Waits until the file at path holds a whole line (a shell's `echo $! >`
// creates the file before it writes the line); false when none came in time.
bool waitForLine(const std::string& path, int timeoutMs);

// The pid written in file by a scripted program, 0 if none.
pid_t pidFromFile(const std::string& path);

// Bytes that look like nothing in particular, so a misplaced chunk shows.
std::string noise(size_t size, unsigned seed);

} // namespace fennaro::test
