// Read-only access to the files the deep engine reads: a database copy and
// the -wal and -journal beside it. Every byte the engine looks at comes
// through here; a file is opened O_RDONLY, never created, and mapped whole
// (the mapping is the page cache's, so it costs no private memory and no
// copy).
//
// A file that another program shortens while it is mapped would kill the
// reader (SIGBUS) the moment it touched a page past the new end. Such a read
// is survived instead: the missing page reads as zeros, and the file says
// afterwards that it changed while it was read, so its results can be
// refused rather than passed off as the database's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fennaro::deep {

class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Opens a regular file read-only and maps it, filled in one go rather
    // than one page fault at a time (the engine reads every page); false
    // when it is missing, not a regular file or cannot be read. An empty
    // file opens with no bytes.
    bool open(const std::string& path);
    void close();

    bool isOpen() const { return m_open; }
    uint64_t size() const { return m_size; }

    // Whether the file was found shorter than its mapping since it was
    // opened: a read past its new end, or its size now.
    bool changedWhileRead() const;

    // The len bytes at offset, or null when they do not all lie in the file.
    const uint8_t* bytes(uint64_t offset, uint64_t len) const {
        if (!m_data || offset > m_size || len > m_size - offset)
            return nullptr;
        return m_data + offset;
    }

  private:
    const uint8_t* m_data = nullptr;
    uint64_t m_size = 0;
    std::string m_path;
    int m_guardSlot = -1; // where the fault handler knows the mapping, or -1
    bool m_open = false;
};

// True when something (of any kind) exists at path; nothing is opened.
bool pathExists(const std::string& path);

} // namespace fennaro::deep
