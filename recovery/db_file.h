// Read-only access to a database file for the carvers. The file is mapped in
// windows of a fixed size, so a run reads each page through the page cache
// without a system call per header field, and the mapped pages it holds are
// bounded by the window whatever the file's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fennaro {

class DbFile {
  public:
    DbFile() = default;
    ~DbFile();
    DbFile(const DbFile&) = delete;
    DbFile& operator=(const DbFile&) = delete;

    // Opens path for reading; false when it cannot be opened.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    uint64_t size() const { return m_size; }

    // Copies len bytes at offset into dst; false (and nothing meaningful in
    // dst) when the file ends before offset + len, i.e. a short read.
    bool read(uint64_t offset, size_t len, void* dst);

    // Big-endian helpers over read(); false on a short read.
    bool readU8(uint64_t offset, uint32_t* value);
    bool readU16(uint64_t offset, uint32_t* value);
    bool readU32(uint64_t offset, uint32_t* value);

  private:
    // Maps the window that holds offset; false on failure.
    bool mapWindowFor(uint64_t offset);

    int m_fd = -1;
    uint64_t m_size = 0;
    const unsigned char* m_window = nullptr;
    uint64_t m_windowStart = 0;
    size_t m_windowLength = 0;
};

} // namespace fennaro
