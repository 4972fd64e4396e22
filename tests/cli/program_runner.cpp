#include "program_runner.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fennaro::test {

namespace {

// The user and group ids of nobody on Debian.
constexpr uid_t kNobody = 65534;

// Returns the bytes of a file; empty when it cannot be read.
std::string readWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// In the child: puts the streams in place, applies the options and runs the
// program; never returns.
[[noreturn]] void execProgram(const std::vector<std::string>& arguments, const RunOptions& options,
                              int outFd, int errFd) {
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(errFd, STDERR_FILENO);
    if (options.fileSizeLimit > 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.asUser && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(126);
    }
    std::vector<char*> argv{const_cast<char*>(FENNARO_RECOVER_PATH)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

// Opens a pseudo-terminal; returns the controller's descriptor and the
// device's path, or -1.
int openTerminal(std::string& devicePath) {
    const int controller = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (controller < 0 || ::grantpt(controller) != 0 || ::unlockpt(controller) != 0)
        return -1;
    devicePath = ::ptsname(controller);
    return controller;
}

// Reads what arrives on the terminal until the child has ended and the
// terminal is drained; returns the child's wait status.
int drainUntilExit(pid_t child, int controller, std::string& text) {
    int waitStatus = -1;
    bool ended = false;
    char buffer[4096];
    for (;;) {
        pollfd poller{controller, POLLIN, 0};
        const int ready = ::poll(&poller, 1, 20);
        if (ready > 0 && (poller.revents & POLLIN)) {
            const ssize_t got = ::read(controller, buffer, sizeof buffer);
            if (got > 0) {
                text.append(buffer, std::size_t(got));
                continue;
            }
        }
        if (ended)
            return waitStatus;
        ended = ::waitpid(child, &waitStatus, WNOHANG) == child;
    }
}

} // namespace

RunningProgram::RunningProgram(const std::vector<std::string>& arguments, const RunOptions& options)
    : m_streams(std::make_unique<OpenScratchDir>()), m_options(options) {
    m_outPath = options.stdoutPath.empty() ? m_streams->file("stdout") : options.stdoutPath;
    m_errPath = m_streams->file("stderr");
    const int outFd = ::open(m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int errFd = -1;
    if (options.stderrOnTerminal) {
        std::string device;
        m_terminal = openTerminal(device);
        if (m_terminal >= 0)
            errFd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    } else {
        errFd = ::open(m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    }
    if (outFd < 0 || errFd < 0)
        throw std::runtime_error("cannot open the program's output files");
    m_pid = ::fork();
    if (m_pid == 0)
        execProgram(arguments, options, outFd, errFd);
    ::close(outFd);
    ::close(errFd);
}

RunningProgram::~RunningProgram() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_terminal >= 0)
        ::close(m_terminal);
}

ProgramRun RunningProgram::wait() {
    ProgramRun run;
    int waitStatus = -1;
    if (m_terminal >= 0) {
        waitStatus = drainUntilExit(m_pid, m_terminal, run.err);
        ::close(m_terminal);
        m_terminal = -1;
    } else {
        ::waitpid(m_pid, &waitStatus, 0);
        run.err = readWhole(m_errPath);
    }
    m_pid = 0;
    run.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    run.signal = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
    if (m_options.stdoutPath.empty())
        run.out = readWhole(m_outPath);
    return run;
}

ProgramRun runRecover(const std::vector<std::string>& arguments, const RunOptions& options) {
    return RunningProgram(arguments, options).wait();
}

bool permissionsBind() {
    if (::geteuid() != 0)
        return true;
    RunOptions options;
    options.asUser = true;
    return runRecover({"--version"}, options).status == 0;
}

OpenScratchDir::OpenScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fennaro-cli-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch folder");
    m_path = pattern;
    std::filesystem::permissions(m_path, std::filesystem::perms(0755));
}

OpenScratchDir::~OpenScratchDir() {
    std::error_code error;
    // Undo a test's locked folders so everything can be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(m_path, error)) {
        if (entry.is_directory(error))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(m_path, error);
}

std::vector<std::string> entriesBelow(const std::filesystem::path& root) {
    std::vector<std::string> entries;
    std::error_code error;
    for (auto& entry : std::filesystem::recursive_directory_iterator(root, error))
        entries.push_back(std::filesystem::relative(entry.path(), root).string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

} // namespace fennaro::test
