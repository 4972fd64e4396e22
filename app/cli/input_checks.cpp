#include "input_checks.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fennaro::cli {

namespace {

// The first bytes of every SQLite 3 database file.
constexpr char kSqliteHeader[] = "SQLite format 3";
constexpr std::size_t kSqliteHeaderSize = sizeof kSqliteHeader; // with its NUL

// An open file descriptor, closed when it goes.
struct OpenFile {
    int fd = -1;
    ~OpenFile() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Opens path for reading without blocking (a pipe without a writer would
// otherwise hold the program up) and returns the descriptor, or -1 with errno
// set.
int openForReading(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

// Reads up to size bytes from the start of an open file; returns the count,
// or -1 on an error.
ssize_t readStart(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, buffer + done, size - done, off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += std::size_t(got);
    }
    return ssize_t(done);
}

} // namespace

void reportPathProblem(std::string_view path, std::string_view reason) {
    std::string line = "fennaro-recover: ";
    line.append(path).append(": ").append(reason).append("\n");
    std::fputs(line.c_str(), stderr);
}

bool checkInputFile(const std::string& path) {
    OpenFile file{openForReading(path)};
    struct stat status;
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0) {
        reportPathProblem(path, std::strerror(errno));
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        reportPathProblem(path, std::strerror(EISDIR));
        return false;
    }
    if (!S_ISREG(status.st_mode) && !S_ISCHR(status.st_mode)) {
        reportPathProblem(path, "Not a regular file");
        return false;
    }
    return true;
}

bool checkInputFiles(std::initializer_list<std::string> paths) {
    bool allReadable = true;
    for (const std::string& path : paths)
        allReadable = checkInputFile(path) && allReadable;
    return allReadable;
}

bool checkDatabaseCopies(const std::string& contactsDb, const std::string& smsDb) {
    if (!checkInputFiles({contactsDb, smsDb}))
        return false;
    warnIfNotSqlite(contactsDb);
    warnIfNotSqlite(smsDb);
    return true;
}

bool warnIfNotSqlite(const std::string& path) {
    OpenFile file{openForReading(path)};
    if (file.fd < 0)
        return false; // checkInputFile has said why
    char start[kSqliteHeaderSize] = {};
    const ssize_t got = readStart(file.fd, start, sizeof start);
    if (got == ssize_t(kSqliteHeaderSize) && std::memcmp(start, kSqliteHeader, got) == 0)
        return true;
    std::string line = "fennaro-recover: warning: ";
    line.append(path).append(got == 0 ? ": empty file, no database in it\n"
                                      : ": not an SQLite database\n");
    std::fputs(line.c_str(), stderr);
    return false;
}

bool checkOutputFolder(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) {
        reportPathProblem(path, std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        reportPathProblem(path, std::strerror(ENOTDIR));
        return false;
    }
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        reportPathProblem(path, std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace fennaro::cli
