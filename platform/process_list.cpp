#include "process_list.h"

#include <cctype>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "file_ops.h"

namespace fennaro::platform {

namespace {

// Compares two names byte by byte, ASCII letters without regard to case.
bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The process id a /proc entry stands for, or 0 for other entries.
pid_t pidOfEntry(const char* name) {
    pid_t pid = 0;
    for (const char* c = name; *c; ++c) {
        if (*c < '0' || *c > '9')
            return 0;
        pid = pid * 10 + (*c - '0');
    }
    return pid;
}

} // namespace

std::string processFileName(pid_t pid) {
    std::string dir = "/proc/" + std::to_string(pid);
    char target[4096];
    ssize_t len = ::readlink((dir + "/exe").c_str(), target, sizeof target - 1);
    if (len > 0) {
        std::string path(target, size_t(len));
        // The program file was replaced or removed while it runs.
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        return baseName(path);
    }
    std::ifstream cmdline(dir + "/cmdline", std::ios::binary);
    std::string first;
    std::getline(cmdline, first, '\0');
    return baseName(first);
}

std::vector<pid_t> findProcessesByFileName(const std::string& fileName) {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return found;
    const pid_t self = ::getpid();
    while (struct dirent* entry = ::readdir(proc)) {
        pid_t pid = pidOfEntry(entry->d_name);
        if (pid <= 0 || pid == self)
            continue;
        if (sameNameIgnoringCase(processFileName(pid), fileName))
            found.push_back(pid);
    }
    ::closedir(proc);
    return found;
}

bool killProcessesByFileName(const std::string& fileName) {
    bool lastKilled = false;
    for (pid_t pid : findProcessesByFileName(fileName))
        lastKilled = ::kill(pid, SIGKILL) == 0;
    return lastKilled;
}

} // namespace fennaro::platform
