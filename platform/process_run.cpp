#include "process_run.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
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
// programs it starts in turn; on a failed exec its errno goes up errorPipe.
[[noreturn]] void execChild(char* const* argv, int devNull, int errorPipe) {
    ::setpgid(0, 0);
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
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

} // namespace

RunResult runHidden(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
    RunResult result;
    if (argv.empty() || argv[0].empty())
        return result;

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
    if (devNull < 0)
        return result;
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        ::close(devNull);
        return result;
    }
    errorPipe[0] = aboveStandardStreams(errorPipe[0]);
    errorPipe[1] = aboveStandardStreams(errorPipe[1]);
    if (errorPipe[0] < 0 || errorPipe[1] < 0) {
        ::close(devNull);
        if (errorPipe[0] >= 0)
            ::close(errorPipe[0]);
        if (errorPipe[1] >= 0)
            ::close(errorPipe[1]);
        return result;
    }

    pid_t pid = ::fork();
    if (pid == 0)
        execChild(cargv.data(), devNull, errorPipe[1]);
    ::close(devNull);
    ::close(errorPipe[1]);
    if (pid < 0) {
        ::close(errorPipe[0]);
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
    ::close(errorPipe[0]);
    if (got > 0) {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return result;
    }

    // Poll for the end with a short, growing pause: the helper runs for
    // milliseconds to minutes and the delay only adds to its own time.
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + limit;
    std::chrono::milliseconds pause(1);
    for (;;) {
        int status;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result.outcome = RunOutcome::Exited;
            result.exitStatus = exitStatusOf(status);
            return result;
        }
        if (done < 0 && errno != EINTR) {
            // Someone else reaped it (SIGCHLD ignored): it has ended, status unknown.
            result.outcome = RunOutcome::Exited;
            return result;
        }
        clock::time_point now = clock::now();
        if (now >= deadline)
            break;
        std::this_thread::sleep_for(std::min<clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    killAndReap(pid);
    result.outcome = RunOutcome::TimedOut;
    return result;
}

} // namespace fennaro::platform
