#include "mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fennaro::deep {

MappedFile::~MappedFile() {
    close();
}

bool MappedFile::open(const std::string& path) {
    // Opens a file read-only and maps it whole.
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_size = uint64_t(st.st_size);
    if (m_size > 0) {
        void* p = mmap(nullptr, size_t(m_size), PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
        if (p == MAP_FAILED) {
            ::close(fd);
            m_size = 0;
            return false;
        }
        m_data = static_cast<const uint8_t*>(p);
    }
    // The mapping stays valid without the descriptor.
    ::close(fd);
    m_open = true;
    return true;
}

void MappedFile::close() {
    // Unmaps the file and forgets it.
    if (m_data)
        munmap(const_cast<uint8_t*>(m_data), size_t(m_size));
    m_data = nullptr;
    m_size = 0;
    m_open = false;
}

bool pathExists(const std::string& path) {
    // Looks at the directory entry only.
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

} // namespace fennaro::deep
