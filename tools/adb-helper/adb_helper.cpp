// quillmet-fennaro-adb-help.exe ARGS...: runs the adb client (the first "adb"
// on PATH) with ARGS, stays alive while it runs and ends
// with its exit status. adb dies with the helper, so whoever kills the helper
// at a time limit really stops the copy under way.
#include <cerrno>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

pid_t adbPid = 0;

// Passes a termination request on to adb; the helper then ends with adb.
void forwardSignal(int sig) {
    if (adbPid > 0)
        ::kill(adbPid, sig);
}

// Runs in the child: ties adb's life to the helper's, then starts adb.
[[noreturn]] void execAdb(pid_t helper, char** args) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The helper may have died before the line above took effect.
    if (::getppid() != helper)
        ::_exit(127);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("adb"));
    for (char** arg = args; *arg; ++arg)
        argv.push_back(*arg);
    argv.push_back(nullptr);
    ::execvp("adb", argv.data());
    ::_exit(127);
}

} // namespace

// Starts adb with the helper's arguments and waits for it, passing on
// termination requests; returns adb's exit status.
int main(int, char** argv) {
    const pid_t helper = ::getpid();
    // Block the forwarded signals until the handlers know adb's pid.
    sigset_t forwarded, previous;
    sigemptyset(&forwarded);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        sigaddset(&forwarded, sig);
    ::sigprocmask(SIG_BLOCK, &forwarded, &previous);

    adbPid = ::fork();
    if (adbPid == 0) {
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
        execAdb(helper, argv + 1);
    }
    if (adbPid < 0)
        return 127;

    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        ::sigaction(sig, &action, nullptr);
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);

    int status = 0;
    while (::waitpid(adbPid, &status, 0) < 0) {
        if (errno != EINTR)
            return 127;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 127;
}
