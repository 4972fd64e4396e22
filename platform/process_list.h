// Finding running processes by the file name of their program, and ending them.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace fennaro::platform {

// The file name of process pid's program: the base name of /proc/PID/exe, or
// of its first argument when that link cannot be read (another user's
// process); empty when the process is gone.
std::string processFileName(pid_t pid);

// Every running process except this one whose program file name equals
// fileName, compared without regard to case.
std::vector<pid_t> findProcessesByFileName(const std::string& fileName);

// Kills (SIGKILL) every process findProcessesByFileName returns; true when
// the last one found was killed, false when none was found or it could not be.
bool killProcessesByFileName(const std::string& fileName);

} // namespace fennaro::platform
