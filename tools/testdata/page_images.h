// Every image of a database's pages that its files hold: the main file's,
// each frame of the -wal (of any generation, the ones a restarted log left
// behind included), each page record of a rollback -journal, and the page as
// SQLite sees it now (the newest committed frame, else the main file). The
// replay ground truth reads cells through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

// One page image inside one of the files.
struct PageImage {
    size_t file = 0;                // index into DatabaseImages::files()
    uint32_t page = 0;              // 1-based page number it is an image of
    const uint8_t* bytes = nullptr; // pageSize bytes, zero-padded past the file's end
};

// The bytes of one of a database's files.
struct DatabaseFile {
    std::string path;
    std::string name;           // file name without folder
    std::vector<uint8_t> bytes; // the content, followed by a page of zeros
    size_t size = 0;            // the content's length
};

class DatabaseImages {
  public:
    // Reads the main file at `path` and its -wal and -journal when they exist.
    // Throws std::runtime_error when the main file is no database or cannot be read.
    explicit DatabaseImages(const std::string& path);

    uint32_t pageSize() const { return m_pageSize; }
    uint32_t usableSize() const { return m_usableSize; }
    const std::vector<DatabaseFile>& files() const { return m_files; }

    // Page `page` as SQLite reads it now: the newest frame of the -wal's
    // committed transactions, else the main file's; nullptr when neither has it.
    const uint8_t* currentPage(uint32_t page) const;

    // Every image of `page` in every file, main file first.
    std::vector<PageImage> imagesOf(uint32_t page) const;

    // The page image that holds byte `offset` of file `file`, and where it
    // starts in that file; false when the byte is in no image (a header).
    bool imageAt(size_t file, size_t offset, PageImage& image, size_t& start) const;

  private:
    // Notes the frames of the -wal: all of them, and the committed ones of the
    // log's current generation.
    void readWal(size_t file);
    // Notes the page records of a rollback journal.
    void readJournal(size_t file);

    uint32_t m_pageSize = 0;
    uint32_t m_usableSize = 0;
    std::vector<DatabaseFile> m_files;
    std::vector<PageImage> m_sideImages;   // every frame and journal record
    std::vector<PageImage> m_committedWal; // the current generation's committed frames, in order
};

// Big-endian 16- and 32-bit reads from a buffer the caller has bounded.
inline uint32_t readBig16(const uint8_t* p) {
    return (uint32_t(p[0]) << 8) | p[1];
}
inline uint32_t readBig32(const uint8_t* p) {
    return (readBig16(p) << 16) | readBig16(p + 2);
}

// SQLite varint at `p`, reading at most `available` bytes; sets `length` to the
// bytes it took (0 when it runs past `available`).
uint64_t readVarint(const uint8_t* p, size_t available, size_t& length);

} // namespace testdata
