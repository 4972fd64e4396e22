#include "mapped_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fennaro::deep {

namespace {

// Reads exactly len bytes from fd into out; false on an error or when the
// file ends early (it was shortened while read).
bool readFully(int fd, uint8_t* out, uint64_t len) {
    uint64_t done = 0;
    while (done < len) {
        const size_t chunk = size_t(std::min<uint64_t>(len - done, uint64_t(1) << 30));
        const ssize_t n = ::read(fd, out + done, chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += uint64_t(n);
    }
    return true;
}

// Whether fd has more bytes after what was read (the file grew meanwhile).
bool hasMore(int fd) {
    uint8_t byte = 0;
    ssize_t n;
    do {
        n = ::read(fd, &byte, 1);
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

} // namespace

bool MappedFile::open(const std::string& path) {
    // Opens a file read-only and reads it whole, then checks that its size
    // held still meanwhile.
    close();
    m_changed = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return false;
    }
    const uint64_t size = uint64_t(st.st_size);
    if (size > SIZE_MAX - kPadding) {
        ::close(fd);
        return false;
    }
    std::unique_ptr<uint8_t, FreeBytes> data(static_cast<uint8_t*>(std::malloc(size_t(size) + kPadding)));
    if (!data) {
        ::close(fd);
        return false;
    }
    std::memset(data.get() + size, 0, kPadding);
    const bool whole = readFully(fd, data.get(), size);
    struct stat after {};
    const bool same = whole && !hasMore(fd) && fstat(fd, &after) == 0 && after.st_size == st.st_size;
    ::close(fd);
    if (!same) {
        m_changed = true;
        return false;
    }
    m_data = std::move(data);
    m_size = size;
    m_open = true;
    return true;
}

void MappedFile::close() {
    // Frees the copy and forgets the file.
    m_data.reset();
    m_size = 0;
    m_open = false;
}

bool pathExists(const std::string& path) {
    // Looks at the directory entry only.
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

} // namespace fennaro::deep
