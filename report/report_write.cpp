// Writing the report's files: every page and records.csv go to temporary
// names first (the conversations' pages into a folder of their own) and only
// take their own names when all could be written, so a report that cannot
// be written whole leaves the folder as it was. Like an export, the files
// are left to the system to put on the disk: forcing tens of thousands of
// pages there would wait for every other writer of the disk too.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

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

} // namespace

std::string writeReportFiles(const std::string& folder, const ReportData& data,
                             const ReportOptions& options) {
    namespace fs = std::filesystem;
    // The pages of conversations/ are written into a folder of their own
    // that takes the place of the earlier report's at the end, with no
    // page of it left behind.
    const fs::path staged = fs::path(folder) / ".conversations.new";
    const fs::path subfolder = fs::path(folder) / "conversations";
    const fs::path replaced = fs::path(folder) / ".conversations.old";
    std::error_code error;
    fs::remove_all(staged, error);
    if (::mkdir(staged.c_str(), 0700) != 0)
        return staged.string() + ": " + std::strerror(errno);

    std::vector<std::string> pending;
    std::string problem;
    const auto stage = [&](const std::string& name, const std::string& text) {
        constexpr std::string_view kInSubfolder = "conversations/";
        if (name.starts_with(kInSubfolder)) {
            const fs::path path = staged / name.substr(kInSubfolder.size());
            if (writeWhole(path.string(), text))
                return true;
            problem = (subfolder / path.filename()).string() + ": cannot be written";
            return false;
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
    // The table is made and written beside the pages, on another core.
    const std::string table = folder + "/records.csv";
    bool tableWritten = false;
    std::jthread tableWriter(
        [&] { tableWritten = writeWhole(table + std::string(kPending), reportCsv(data)); });
    bool written = makeReportPages(data, options, stage);
    tableWriter.join();
    pending.push_back(table);
    if (written && !tableWritten) {
        problem = table + ": cannot be written";
        written = false;
    }
    if (written) {
        fs::remove_all(replaced, error);
        const bool hadOne = fs::exists(subfolder, error);
        if ((hadOne && ::rename(subfolder.c_str(), replaced.c_str()) != 0) ||
            ::rename(staged.c_str(), subfolder.c_str()) != 0) {
            problem = subfolder.string() + ": " + std::strerror(errno);
            written = false;
            if (hadOne)
                ::rename(replaced.c_str(), subfolder.c_str());
        }
    }
    fs::remove_all(written ? replaced : staged, error);
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
