// Read-only access to the files the deep engine reads: a database copy and
// the -wal and -journal beside it. Every byte the engine looks at comes
// through here; a file is opened O_RDONLY, never created, and read whole into
// private memory. A mapping would cost no copy, but a file that another
// program shortens while it is mapped kills the reader (SIGBUS) the moment it
// touches a page past the new end; a private copy cannot change under it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace fennaro::deep {

class MappedFile {
  public:
    // Zero bytes after the content, so a decoder that reads a few bytes past
    // a value's end near the file's end reads zeros, not someone's memory.
    static constexpr size_t kPadding = 64;

    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Opens a regular file read-only and reads it whole; false when it is
    // missing, not a regular file, cannot be read, or changes size while it
    // is read (then changedWhileRead() says so). An empty file opens with no
    // bytes.
    bool open(const std::string& path);
    void close();

    bool isOpen() const { return m_open; }
    uint64_t size() const { return m_size; }
    // Whether the last open failed because the file grew or shrank under it.
    bool changedWhileRead() const { return m_changed; }

    // The len bytes at offset, or null when they do not all lie in the file.
    const uint8_t* bytes(uint64_t offset, uint64_t len) const {
        if (!m_data || offset > m_size || len > m_size - offset)
            return nullptr;
        return m_data.get() + offset;
    }

  private:
    struct FreeBytes {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, FreeBytes> m_data;
    uint64_t m_size = 0;
    bool m_open = false;
    bool m_changed = false;
};

// True when something (of any kind) exists at path; nothing is opened.
bool pathExists(const std::string& path);

} // namespace fennaro::deep
