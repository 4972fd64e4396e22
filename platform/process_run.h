// Running another program hidden, with a time limit.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace fennaro::platform {

enum class RunOutcome {
    NotStarted, // the program could not be started (missing, not executable)
    Exited,     // it ended by itself; exitStatus tells how
    TimedOut,   // it was still running at the limit and has been killed
};

struct RunResult {
    RunOutcome outcome = RunOutcome::NotStarted;
    // The exit status when it exited normally; 128 + signal number when a
    // signal ended it; -1 when it did not run to its end or its status could
    // not be had (another part of the program reaped it).
    int exitStatus = -1;
};

// Runs argv[0] with the argument vector argv (never through a shell, so no
// word of it is split or interpreted), with standard input, output and error
// on /dev/null and the caller's environment and current folder. Waits at most
// limit; on expiry kills the program and everything in its process group and
// reaps it. Safe to call from any thread.
RunResult runHidden(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

} // namespace fennaro::platform
