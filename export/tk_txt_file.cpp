#include "tk_txt_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "utf16_line.h"

namespace fennaro {

namespace {

// Lines collected beyond this many bytes are written at once, so one very long
// record does not hold all of its text in memory.
constexpr std::size_t kPendingLimit = 1 << 20;

// Writes all of data to fd; returns false on an error.
bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

void PendingBytes::reserve(std::size_t bytes) {
    if (capacity - size >= bytes)
        return;
    const std::size_t grownCapacity = std::max({size + bytes, capacity * 2, std::size_t{16384}});
    auto grown = std::make_unique_for_overwrite<char[]>(grownCapacity);
    if (size > 0)
        std::memcpy(grown.get(), data.get(), size);
    data = std::move(grown);
    capacity = grownCapacity;
}

TkTxtFile::TkTxtFile(std::string path) : m_path(std::move(path)), m_pending(m_ownStorage) {}

TkTxtFile::TkTxtFile(std::string path, PendingBytes& storage, bool expectExisting)
    : m_path(std::move(path)), m_pending(storage), m_expectExisting(expectExisting) {
    m_pending.size = 0;
}

TkTxtFile::~TkTxtFile() {
    Flush();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TkTxtFile::open() {
    if (m_fd >= 0)
        return true;
    if (m_expectExisting) {
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (m_fd >= 0 || errno != ENOENT)
            return m_fd >= 0;
    }
    // Create exclusively first (the common case: one open), so only the
    // writer that creates the file writes the byte order mark.
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0) {
        m_pending.reserve(2);
        std::memmove(m_pending.data.get() + 2, m_pending.data.get(), m_pending.size);
        std::memcpy(m_pending.data.get(), "\xFF\xFE", 2);
        m_pending.size += 2;
        return true;
    }
    if (errno == EEXIST)
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    return m_fd >= 0;
}

bool TkTxtFile::writePending() {
    const bool written = m_fd >= 0 && writeAll(m_fd, m_pending.data.get(), m_pending.size);
    m_pending.size = 0;
    return written;
}

template <typename Write>
int TkTxtFile::takeLine(std::size_t maxBytes, Write write) {
    if (!open()) {
        m_lost = true;
        return 0;
    }
    m_pending.reserve(maxBytes);
    char* end = write(m_pending.data.get() + m_pending.size);
    m_pending.size = static_cast<std::size_t>(end - m_pending.data.get());
    if (m_pending.size >= kPendingLimit && !writePending())
        m_lost = true;
    return 1;
}

int TkTxtFile::AppendLine(std::string_view text) {
    return takeLine(maxUtf16LineBytes(text.size()),
                    [&](char* out) { return writeUtf16Line(out, text); });
}

int TkTxtFile::AppendLine(std::initializer_list<std::string_view> pieces) {
    return takeLine(maxUtf16LineBytes(pieces),
                    [&](char* out) { return writeUtf16Line(out, pieces, m_scratch); });
}

bool TkTxtFile::Flush() {
    if (m_pending.size > 0 && !writePending())
        m_lost = true;
    return !std::exchange(m_lost, false);
}

} // namespace fennaro
