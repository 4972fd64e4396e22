#include "tk_txt_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "utf16_line.h"

namespace fennaro {

namespace {

// Lines collected beyond this many bytes are written at once, so one very long
// record does not hold all of its text in memory.
constexpr std::size_t kPendingLimit = 1 << 20;

// Writes all of data to fd; returns false on an error.
bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

TkTxtFile::TkTxtFile(std::string path) : m_path(std::move(path)) {}

TkTxtFile::~TkTxtFile() {
    Flush();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TkTxtFile::open() {
    if (m_fd >= 0)
        return true;
    // Create exclusively first, so only the writer that creates the file
    // writes the byte order mark.
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0) {
        m_pending.insert(0, "\xFF\xFE", 2);
        return true;
    }
    if (errno == EEXIST)
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    return m_fd >= 0;
}

int TkTxtFile::AppendLine(std::string_view text) {
    if (!open()) {
        m_lost = true;
        return 0;
    }
    appendUtf16Line(m_pending, text);
    if (m_pending.size() >= kPendingLimit) {
        if (!writeAll(m_fd, m_pending))
            m_lost = true;
        m_pending.clear();
    }
    return 1;
}

bool TkTxtFile::Flush() {
    if (!m_pending.empty()) {
        if (m_fd < 0 || !writeAll(m_fd, m_pending))
            m_lost = true;
        m_pending.clear();
    }
    return !std::exchange(m_lost, false);
}

} // namespace fennaro
