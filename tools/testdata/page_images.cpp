#include "page_images.h"

#include "survival_search.h"

#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace testdata {

namespace {

// Offsets in the database header.
constexpr size_t kHeaderPageSize = 16;
constexpr size_t kHeaderReserved = 20;
// Offsets in the -wal header and a frame header.
constexpr size_t kWalHeaderSize = 32;
constexpr size_t kWalPageSize = 8;
constexpr size_t kWalSalt = 16;
constexpr size_t kFrameHeaderSize = 24;
constexpr size_t kFramePage = 0;
constexpr size_t kFrameCommit = 4;
constexpr size_t kFrameSalt = 8;
// Offsets in a rollback journal's header; a record is page number, page, checksum.
constexpr size_t kJournalSectorSize = 20;
constexpr size_t kDefaultSector = 512;

// A file's bytes followed by `padding` zeros.
DatabaseFile loadFile(const std::string& path, size_t padding) {
    DatabaseFile f;
    f.path = path;
    f.name = std::filesystem::path(path).filename().string();
    f.bytes = readWholeFile(path);
    f.size = f.bytes.size();
    f.bytes.resize(f.size + padding, 0);
    return f;
}

} // namespace

uint64_t readVarint(const uint8_t* p, size_t available, size_t& length) {
    uint64_t v = 0;
    for (size_t i = 0; i < 9; ++i) {
        if (i >= available) {
            length = 0;
            return 0;
        }
        if (i == 8) {
            length = 9;
            return (v << 8) | p[i];
        }
        v = (v << 7) | (p[i] & 0x7f);
        if (!(p[i] & 0x80)) {
            length = i + 1;
            return v;
        }
    }
    length = 0;
    return 0;
}

DatabaseImages::DatabaseImages(const std::string& path) {
    // The largest page size pads every file, so a page image never runs past a buffer.
    constexpr size_t kPadding = 65536 + kFrameHeaderSize;
    m_files.push_back(loadFile(path, kPadding));
    const DatabaseFile& main = m_files[0];
    if (main.size < 100 || std::memcmp(main.bytes.data(), "SQLite format 3", 16) != 0)
        throw std::runtime_error("testdata: not a database: " + path);
    m_pageSize = readBig16(main.bytes.data() + kHeaderPageSize);
    if (m_pageSize == 1)
        m_pageSize = 65536;
    if (m_pageSize < 512 || m_pageSize > 65536 || (m_pageSize & (m_pageSize - 1)) != 0)
        throw std::runtime_error("testdata: impossible page size in " + path);
    m_usableSize = m_pageSize - main.bytes[kHeaderReserved];
    for (const char* suffix : {"-wal", "-journal"}) {
        if (!std::filesystem::exists(path + suffix))
            continue;
        m_files.push_back(loadFile(path + suffix, kPadding));
        if (std::string(suffix) == "-wal")
            readWal(m_files.size() - 1);
        else
            readJournal(m_files.size() - 1);
    }
}

void DatabaseImages::readWal(size_t file) {
    const DatabaseFile& wal = m_files[file];
    if (wal.size < kWalHeaderSize)
        return;
    const uint8_t* head = wal.bytes.data();
    const bool current = readBig32(head + kWalPageSize) == m_pageSize;
    std::vector<PageImage> pending;
    bool salted = current;
    const size_t frameSize = kFrameHeaderSize + m_pageSize;
    for (size_t at = kWalHeaderSize; at + frameSize <= wal.size; at += frameSize) {
        const uint8_t* frame = wal.bytes.data() + at;
        const uint32_t page = readBig32(frame + kFramePage);
        if (page == 0)
            continue;
        const PageImage image{file, page, frame + kFrameHeaderSize};
        m_sideImages.push_back(image);
        // Frames of the current generation carry the header's salts; the first
        // frame without them ends the log (the rest is left from older ones).
        salted = salted && std::memcmp(frame + kFrameSalt, head + kWalSalt, 8) == 0;
        if (!salted)
            continue;
        pending.push_back(image);
        if (readBig32(frame + kFrameCommit) != 0) {
            m_committedWal.insert(m_committedWal.end(), pending.begin(), pending.end());
            pending.clear();
        }
    }
}

void DatabaseImages::readJournal(size_t file) {
    const DatabaseFile& journal = m_files[file];
    if (journal.size < kJournalSectorSize + 4)
        return;
    // A committed PERSIST journal has its header zeroed; the records stay one
    // sector on, and SQLite takes 512-byte sectors where overwrites are safe.
    size_t sector = readBig32(journal.bytes.data() + kJournalSectorSize);
    if (sector < kDefaultSector || sector > 65536 || (sector & (sector - 1)) != 0)
        sector = kDefaultSector;
    const size_t recordSize = 4 + size_t(m_pageSize) + 4;
    for (size_t at = sector; at + recordSize <= journal.size; at += recordSize) {
        const uint32_t page = readBig32(journal.bytes.data() + at);
        if (page == 0)
            break;
        m_sideImages.push_back({file, page, journal.bytes.data() + at + 4});
    }
}

const uint8_t* DatabaseImages::currentPage(uint32_t page) const {
    for (auto it = m_committedWal.rbegin(); it != m_committedWal.rend(); ++it)
        if (it->page == page)
            return it->bytes;
    const DatabaseFile& main = m_files[0];
    if (page == 0 || uint64_t(page) * m_pageSize > main.size)
        return nullptr;
    return main.bytes.data() + uint64_t(page - 1) * m_pageSize;
}

bool DatabaseImages::imageAt(size_t file, size_t offset, PageImage& image, size_t& start) const {
    if (file >= m_files.size() || offset >= m_files[file].size)
        return false;
    if (file == 0) {
        const auto page = static_cast<uint32_t>(offset / m_pageSize + 1);
        start = size_t(page - 1) * m_pageSize;
        image = {0, page, m_files[0].bytes.data() + start};
        return true;
    }
    const uint8_t* at = m_files[file].bytes.data() + offset;
    for (const PageImage& candidate : m_sideImages) {
        if (candidate.file == file && candidate.bytes <= at && at < candidate.bytes + m_pageSize) {
            image = candidate;
            start = static_cast<size_t>(candidate.bytes - m_files[file].bytes.data());
            return true;
        }
    }
    return false;
}

std::vector<PageImage> DatabaseImages::imagesOf(uint32_t page) const {
    std::vector<PageImage> images;
    const DatabaseFile& main = m_files[0];
    if (page != 0 && uint64_t(page) * m_pageSize <= main.size)
        images.push_back({0, page, main.bytes.data() + uint64_t(page - 1) * m_pageSize});
    for (const PageImage& image : m_sideImages)
        if (image.page == page)
            images.push_back(image);
    return images;
}

} // namespace testdata
