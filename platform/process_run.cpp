#include "process_run.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fennaro::platform {

namespace {

// Turns a wait status into the exit status reported to callers.
int exitStatusOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Closes every descriptor above standard error except keep; async-signal-safe.
void closeAllBut(int keep) {
#ifdef SYS_close_range
    const unsigned first = STDERR_FILENO + 1;
    const unsigned kept = unsigned(keep);
    bool below = kept <= first || ::syscall(SYS_close_range, first, kept - 1, 0) == 0;
    if (below && ::syscall(SYS_close_range, kept + 1, ~0u, 0) == 0)
        return;
#endif
    for (int fd = STDERR_FILENO + 1; fd < 4096; ++fd) {
        if (fd != keep)
            ::close(fd);
    }
}

// Runs in the child between fork and exec: only async-signal-safe calls.
// The child leads its own process group, so a kill on expiry reaches the
// programs it starts in turn; its standard output goes to output (or to
// /dev/null when that is -1); on a failed exec its errno goes up errorPipe.
[[noreturn]] void execChild(char* const* argv, int devNull, int output, int errorPipe) {
    ::setpgid(0, 0);
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(output >= 0 ? output : devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    // Keep the caller's other descriptors (sockets, database files) out of
    // the helper; errorPipe is close-on-exec and must survive until exec.
    closeAllBut(errorPipe);
    // An ignored SIGPIPE or a blocked signal of the caller would otherwise
    // carry over into the helper.
    ::signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv(argv[0], argv);
    int err = errno;
    ssize_t ignored = ::write(errorPipe, &err, sizeof err);
    (void)ignored;
    ::_exit(127);
}

// Moves a close-on-exec descriptor above standard error, so that setting up
// the child's standard streams cannot overwrite it; -1 stays -1.
int aboveStandardStreams(int fd) {
    if (fd < 0 || fd > STDERR_FILENO)
        return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return moved;
}

// Kills the child's whole process group and the child itself, then reaps it.
void killAndReap(pid_t pid) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Where a run's standard output goes: /dev/null (both -1), a file the
// caller opened, or a pipe this side reads into captured.
struct OutputTarget {
    int childEnd = -1;   // the descriptor that becomes the child's stdout
    int captureEnd = -1; // the pipe's reading end, non-blocking; -1 when none
    std::string* captured = nullptr;
};

// Closes fd when it is open and marks it closed.
void closeIfOpen(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Reads what the capture pipe holds right now, keeping up to kCaptureLimit
// bytes; false once the pipe has reached its end or broken. It reads a
// bounded amount per call, so a program that writes without pause cannot
// keep the caller from its time limit and stop checks.
bool drainCapture(int fd, std::string& captured) {
    char buffer[4096];
    for (int reads = 0; reads < 64; ++reads) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            size_t room = kCaptureLimit - std::min(kCaptureLimit, captured.size());
            captured.append(buffer, std::min(size_t(got), room));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

// Pauses up to step while the child runs: reads the capture pipe as output
// comes, or wakes at once on a stop request, or simply sleeps.
void pauseWhileRunning(std::chrono::steady_clock::duration step, OutputTarget& output,
                       const StopSignal* stop) {
    if (output.captureEnd >= 0) {
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(step).count();
        pollfd waiting = {output.captureEnd, POLLIN, 0};
        if (::poll(&waiting, 1, int(std::max<decltype(ms)>(ms, 1))) > 0 &&
            !drainCapture(output.captureEnd, *output.captured))
            closeIfOpen(output.captureEnd); // at its end: poll would return at once from now on
        return;
    }
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(step);
    if (stop)
        stop->waitFor(ms);
    else
        std::this_thread::sleep_for(ms);
}

// Starts argv hidden with its standard output on output.childEnd (closed
// here after the fork) and waits for it as runHidden describes.
RunResult runWithOutput(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                        OutputTarget output, const StopSignal* stop) {
    RunResult result;
    if (argv.empty() || argv[0].empty() || (stop && stop->requested())) {
        // Nothing is started once a stop has been asked for.
        if (stop && stop->requested())
            result.outcome = RunOutcome::Stopped;
        closeIfOpen(output.childEnd);
        closeIfOpen(output.captureEnd);
        return result;
    }

    // Everything the child needs is prepared before fork: after it, in a
    // program with threads, the child may only make async-signal-safe calls.
    std::vector<std::string> words(argv);
    std::vector<char*> cargv;
    for (std::string& word : words)
        cargv.push_back(word.data());
    cargv.push_back(nullptr);

    // A caller started with its standard streams closed gets these numbers
    // below 3, where the child's own streams go.
    int devNull = aboveStandardStreams(::open("/dev/null", O_RDWR | O_CLOEXEC));
    int errorPipe[2] = {-1, -1};
    bool piped = ::pipe2(errorPipe, O_CLOEXEC) == 0;
    errorPipe[0] = aboveStandardStreams(errorPipe[0]);
    errorPipe[1] = aboveStandardStreams(errorPipe[1]);
    const bool ownOutput = output.childEnd >= 0;
    output.childEnd = aboveStandardStreams(output.childEnd);
    if (devNull < 0 || !piped || errorPipe[0] < 0 || errorPipe[1] < 0 ||
        (ownOutput && output.childEnd < 0)) {
        closeIfOpen(devNull);
        closeIfOpen(errorPipe[0]);
        closeIfOpen(errorPipe[1]);
        closeIfOpen(output.childEnd);
        closeIfOpen(output.captureEnd);
        return result;
    }

    pid_t pid = ::fork();
    if (pid == 0)
        execChild(cargv.data(), devNull, output.childEnd, errorPipe[1]);
    closeIfOpen(devNull);
    closeIfOpen(errorPipe[1]);
    closeIfOpen(output.childEnd);
    if (pid < 0) {
        closeIfOpen(errorPipe[0]);
        closeIfOpen(output.captureEnd);
        return result;
    }
    // Also set the group from this side, so a kill right after fork cannot
    // miss programs the child starts before its own setpgid has run.
    ::setpgid(pid, pid);

    // The pipe closes on a successful exec; a failed one sends its errno.
    int execError = 0;
    ssize_t got;
    while ((got = ::read(errorPipe[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    closeIfOpen(errorPipe[0]);
    if (got > 0) {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        closeIfOpen(output.captureEnd);
        return result;
    }

    // Poll for the end with a short, growing pause: the helper runs for
    // milliseconds to minutes and the delay only adds to its own time. A stop
    // request cuts a pause short, or is seen within one capture step.
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + limit;
    const std::chrono::milliseconds longestPause(output.captureEnd >= 0 ? 20 : 50);
    std::chrono::milliseconds pause(1);
    for (;;) {
        int status;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            result.outcome = RunOutcome::Exited;
            // When someone else reaped it (SIGCHLD ignored), it has ended
            // with an unknown status.
            if (done == pid)
                result.exitStatus = exitStatusOf(status);
            if (output.captureEnd >= 0)
                drainCapture(output.captureEnd, *output.captured);
            closeIfOpen(output.captureEnd);
            return result;
        }
        if (stop && stop->requested()) {
            result.outcome = RunOutcome::Stopped;
            break;
        }
        clock::time_point now = clock::now();
        if (now >= deadline) {
            result.outcome = RunOutcome::TimedOut;
            break;
        }
        pauseWhileRunning(std::min<clock::duration>(pause, deadline - now), output, stop);
        pause = std::min(pause * 2, longestPause);
    }
    killAndReap(pid);
    closeIfOpen(output.captureEnd);
    return result;
}

} // namespace

RunResult runHidden(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                    const StopSignal* stop) {
    return runWithOutput(argv, limit, {}, stop);
}

RunResult runHiddenToFile(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                          const std::string& outputFile, const StopSignal* stop) {
    OutputTarget output;
    output.childEnd =
        ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (output.childEnd < 0)
        return {};
    return runWithOutput(argv, limit, output, stop);
}

RunResult runHiddenCapture(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                           std::string& output, const StopSignal* stop) {
    output.clear();
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    OutputTarget target;
    target.captureEnd = aboveStandardStreams(ends[0]);
    target.childEnd = ends[1];
    target.captured = &output;
    if (target.captureEnd < 0) {
        ::close(ends[1]);
        return {};
    }
    return runWithOutput(argv, limit, target, stop);
}

} // namespace fennaro::platform
