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
#include <mutex>
#include <thread>

#include "report_page.h"

namespace fennaro::report {

namespace {

// The ending of a file's temporary name while the report is written.
constexpr std::string_view kPending = ".new";

// Opens a new file at path for writing, owner-only; -1 on failure.
int createFile(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// Writes all of text to fd; false on failure.
bool writeAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(fd, text.data() + written, text.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        written += size_t(put);
    }
    return true;
}

// Writes text into a new file at path; false on failure.
bool writeWhole(const std::string& path, const std::string& text) {
    const int fd = createFile(path);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, text);
    return ::close(fd) == 0 && written;
}

// Writes the report's table into a new file at path as it is made; false on
// failure.
bool writeTable(const std::string& path, const ReportData& data) {
    const int fd = createFile(path);
    if (fd < 0)
        return false;
    const bool written =
        streamCsv(data, [fd](const std::string& piece) { return writeAll(fd, piece); });
    return ::close(fd) == 0 && written;
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
    // Two threads stage pages: the lists they share are taken in turn.
    std::mutex staging;
    const auto fail = [&](const std::string& what) {
        const std::lock_guard lock(staging);
        if (problem.empty())
            problem = what;
        return false;
    };
    const PageSink stage = [&](const std::string& name, const std::string& text) {
        constexpr std::string_view kInSubfolder = "conversations/";
        if (name.starts_with(kInSubfolder)) {
            const fs::path path = staged / name.substr(kInSubfolder.size());
            if (writeWhole(path.string(), text))
                return true;
            return fail((subfolder / path.filename()).string() + ": cannot be written");
        }
        const std::string path = folder + "/" + name;
        {
            const std::lock_guard lock(staging);
            pending.push_back(path);
        }
        if (!writeWhole(path + std::string(kPending), text))
            return fail(path + ": cannot be written");
        return true;
    };
    // The table and the timeline are made and written beside the other
    // pages, on another core.
    const PageSet set = pageSetOf(data, options);
    const std::string table = folder + "/records.csv";
    pending.push_back(table);
    bool besideWritten = false;
    std::jthread besideWriter([&] {
        besideWritten = writeTable(table + std::string(kPending), data)
                            ? makeTimelinePages(set, stage)
                            : fail(table + ": cannot be written");
    });
    bool written = makeEntryPages(set, stage) && makeContactPages(set, stage) &&
                   makeConversationPages(set, stage) && makeCallPages(set, stage);
    besideWriter.join();
    written = written && besideWritten;
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
