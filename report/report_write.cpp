// Writing the report's files: every page and records.csv go to temporary
// names first, reach the disk together, and only then take their own names,
// so a report that cannot be written whole leaves the folder as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "report_files.h"

namespace fennaro::report {

namespace {

// The ending of a file's temporary name while the report is written.
constexpr std::string_view kPending = ".new";

// Writes text into a new file at path, owner-only; false on failure.
bool writeWhole(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                          0600);
    if (fd < 0)
        return false;
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(fd, text.data() + written, text.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        written += size_t(put);
    }
    return ::close(fd) == 0 && written == text.size();
}

// Makes folder/name unless it is there; returns "" or what went wrong.
std::string ensureFolder(const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return {};
    return path + ": " + std::strerror(errno);
}

// Flushes the file system holding folder to the disk; false on failure.
bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::syncfs(fd) == 0;
    return ::close(fd) == 0 && synced;
}

} // namespace

std::string writeReportFiles(const std::string& folder, const ReportData& data,
                             const ReportOptions& options) {
    std::vector<std::string> pending;
    std::string problem;
    bool subfolderMade = false;
    const auto stage = [&](const std::string& name, const std::string& text) {
        if (!subfolderMade && name.find('/') != std::string::npos) {
            problem = ensureFolder(folder, name.substr(0, name.find('/')));
            if (!problem.empty())
                return false;
            subfolderMade = true;
        }
        const std::string path = folder + "/" + name;
        if (!writeWhole(path + std::string(kPending), text)) {
            problem = path + ": cannot be written";
            ::unlink((path + std::string(kPending)).c_str());
            return false;
        }
        pending.push_back(path);
        return true;
    };
    bool written = makeReportPages(data, options, stage) && stage("records.csv", reportCsv(data));
    if (written && !syncFolder(folder)) {
        problem = folder + ": the report's files could not be flushed to the disk";
        written = false;
    }
    for (const std::string& path : pending) {
        const std::string temporary = path + std::string(kPending);
        if (written && ::rename(temporary.c_str(), path.c_str()) == 0)
            continue;
        if (written)
            problem = path + ": cannot be written";
        ::unlink(temporary.c_str());
    }
    return problem;
}

} // namespace fennaro::report
