#include "db_file.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fennaro {

namespace {
// 256 MiB: a phone's databases fit in one window, so the walk faults each
// page in once and the later passes read it at memory speed; a larger file
// is mapped a window at a time, so the mapped pages a run holds stay bounded.
// Mapped pages are the page cache's, shared and clean, not private memory.
constexpr uint64_t kWindowSize = uint64_t(256) << 20;
} // namespace

DbFile::~DbFile() {
    close();
}

bool DbFile::open(const std::string& path) {
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = uint64_t(st.st_size);
    return true;
}

void DbFile::close() {
    if (m_window)
        munmap(const_cast<unsigned char*>(m_window), m_windowLength);
    m_window = nullptr;
    m_windowLength = 0;
    m_windowStart = 0;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

bool DbFile::mapWindowFor(uint64_t offset) {
    uint64_t start = offset - offset % kWindowSize;
    if (m_window && start == m_windowStart)
        return true;
    if (m_window)
        munmap(const_cast<unsigned char*>(m_window), m_windowLength);
    m_window = nullptr;
    size_t length = size_t(std::min<uint64_t>(kWindowSize, m_size - start));
    void* p = mmap(nullptr, length, PROT_READ, MAP_SHARED, m_fd, off_t(start));
    if (p == MAP_FAILED)
        return false;
    m_window = static_cast<const unsigned char*>(p);
    m_windowStart = start;
    m_windowLength = length;
    return true;
}

bool DbFile::read(uint64_t offset, size_t len, void* dst) {
    if (m_fd < 0 || offset > m_size || len > m_size - offset)
        return false;
    auto* out = static_cast<unsigned char*>(dst);
    while (len > 0) {
        if (!mapWindowFor(offset))
            return false;
        uint64_t inWindow = offset - m_windowStart;
        size_t n = size_t(std::min<uint64_t>(len, m_windowLength - inWindow));
        std::memcpy(out, m_window + inWindow, n);
        out += n;
        offset += n;
        len -= n;
    }
    return true;
}

bool DbFile::readU8(uint64_t offset, uint32_t* value) {
    unsigned char b = 0;
    if (!read(offset, 1, &b))
        return false;
    *value = b;
    return true;
}

bool DbFile::readU16(uint64_t offset, uint32_t* value) {
    unsigned char b[2];
    if (!read(offset, 2, b))
        return false;
    *value = (uint32_t(b[0]) << 8) | b[1];
    return true;
}

bool DbFile::readU32(uint64_t offset, uint32_t* value) {
    unsigned char b[4];
    if (!read(offset, 4, b))
        return false;
    *value = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    return true;
}

} // namespace fennaro
