// Running another program hidden, with a time limit, stoppable from another
// thread, its standard output thrown away, written to a file or collected.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "stop_signal.h"

namespace fennaro::platform {

enum class RunOutcome {
    NotStarted, // the program could not be started (missing, not executable,
                // or its output file could not be created)
    Exited,     // it ended by itself; exitStatus tells how
    TimedOut,   // it was still running at the limit and has been killed
    Stopped,    // a stop was requested while it ran; it has been killed
};

struct RunResult {
    RunOutcome outcome = RunOutcome::NotStarted;
    // The exit status when it exited normally; 128 + signal number when a
    // signal ended it; -1 when it did not run to its end or its status could
    // not be had (another part of the program reaped it).
    int exitStatus = -1;
};

// The most runHiddenCapture keeps of a program's output; the rest is read
// and dropped, so a chatty program can neither block nor fill the memory.
inline constexpr size_t kCaptureLimit = 64 * 1024;

// Runs argv[0] with the argument vector argv (never through a shell, so no
// word of it is split or interpreted), with standard input, output and error
// on /dev/null and the caller's environment and current folder. Waits at most
// limit; on expiry kills the program and everything in its process group and
// reaps it. When stop is given and a stop is requested while the program
// runs (or before it starts), it is killed and reaped at once and the outcome
// is Stopped. Safe to call from any thread.
RunResult runHidden(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                    const StopSignal* stop = nullptr);

// As runHidden, with the program's standard output written to outputFile,
// which is created owner-only or emptied first (a symbolic link there is
// refused). The file is left as the program wrote it whatever the outcome;
// the caller decides whether to keep it.
RunResult runHiddenToFile(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                          const std::string& outputFile, const StopSignal* stop = nullptr);

// As runHidden, with the first kCaptureLimit bytes of the program's standard
// output collected in output (emptied first).
RunResult runHiddenCapture(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                           std::string& output, const StopSignal* stop = nullptr);

} // namespace fennaro::platform
