// The database's pages as one moment saw them. The files are opened once
// (DatabaseFiles); a Snapshot says where each page's image lives at its
// moment: in the main file unless an overlay puts it in the -wal or the
// -journal. The current state, the main file alone and the state before the
// journal's transaction are all snapshots.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "sqlite_recovery/byte_view.h"
#include "sqlite_recovery/mapped_file.h"
#include "sqlite_recovery/rollback_journal.h"
#include "sqlite_recovery/wal_log.h"

namespace fennaro::deep {

enum class FileKind : uint8_t { Main, Wal, Journal };

// Where one page image lives: its file, its offset there and, for the -wal,
// the 1-based frame number.
struct PageLocation {
    FileKind file = FileKind::Main;
    uint64_t offset = 0;
    uint32_t frame = 0;
};

// The fields of the 100-byte database header the engine uses.
struct DbHeader {
    uint32_t pageSize = 0;
    uint32_t usableSize = 0;
    uint32_t headerPageCount = 0; // only when it is trustworthy, else 0
    uint32_t firstTrunk = 0;
    uint32_t freePageCount = 0;
    uint32_t textEncoding = 1; // 1 UTF-8, 2 UTF-16le, 3 UTF-16be
};

// Reads a database header; false unless it starts with the SQLite magic and
// names a valid page size.
bool parseDbHeader(ByteView bytes, DbHeader* header);

// The three files of a database, opened read-only, with what their headers say.
struct DatabaseFiles {
    MappedFile main;
    MappedFile wal;
    MappedFile journal;
    DbHeader header; // of the main file
    WalLog walLog;
    RollbackJournal journalLog;

    uint32_t pageSize() const { return header.pageSize; }
    uint32_t mainPageCount() const { return uint32_t(main.size() / header.pageSize); }

    // The page-size bytes of an image, or an empty view when the file ends first.
    ByteView image(const PageLocation& location) const;
};

// Something that hands out page images by page number.
class PageReader {
  public:
    virtual ~PageReader() = default;
    // The image of a page (page-size bytes), or an empty view.
    virtual ByteView page(uint32_t number) const = 0;
    virtual uint32_t pageCount() const = 0;
};

class Snapshot : public PageReader {
  public:
    Snapshot(const DatabaseFiles& files, uint32_t pageCount)
        : m_files(&files), m_pageCount(pageCount) {}

    // Puts a page's image somewhere other than the main file.
    void place(uint32_t page, PageLocation location) { m_overlay[page] = location; }
    void setPageCount(uint32_t count) { m_pageCount = count; }
    // True when some page lives outside the main file.
    bool hasOverlay() const { return !m_overlay.empty(); }

    // Where a page of the snapshot lives; false beyond its last page.
    bool locate(uint32_t page, PageLocation* location) const;
    ByteView page(uint32_t number) const override;
    uint32_t pageCount() const override { return m_pageCount; }

  private:
    const DatabaseFiles* m_files;
    uint32_t m_pageCount;
    std::unordered_map<uint32_t, PageLocation> m_overlay;
};

// Puts each page's -journal image (the earliest, which is the page as it
// was before the journal's transaction) over snapshot, and widens it to the
// pages the journal names: the database before that transaction.
void placeJournalImages(const DatabaseFiles& files, Snapshot* snapshot);

} // namespace fennaro::deep
