#include "sqlite_recovery/page_snapshot.h"

#include <algorithm>

namespace fennaro::deep {

bool parseDbHeader(ByteView bytes, DbHeader* header) {
    // Magic, page size (1 means 65536), reserved bytes, sizes and encoding.
    static const char kMagic[] = "SQLite format 3";
    if (!bytes.has(0, 100) || !std::equal(kMagic, kMagic + 16, bytes.data))
        return false;
    uint32_t pageSize = bytes.u16(16);
    if (pageSize == 1)
        pageSize = 65536;
    if (!validPageSize(pageSize))
        return false;
    const uint32_t reserved = bytes.u8(20);
    if (pageSize - reserved < 480)
        return false;
    header->pageSize = pageSize;
    header->usableSize = pageSize - reserved;
    // The in-header size is trusted only when the change counter and the
    // version-valid-for number agree, as SQLite does.
    const uint32_t count = bytes.u32(28);
    header->headerPageCount = count != 0 && bytes.u32(24) == bytes.u32(92) ? count : 0;
    header->firstTrunk = bytes.u32(32);
    header->freePageCount = bytes.u32(36);
    const uint32_t encoding = bytes.u32(56);
    header->textEncoding = encoding >= 1 && encoding <= 3 ? encoding : 1;
    return true;
}

ByteView DatabaseFiles::image(const PageLocation& location) const {
    // Looks the image up in the file the location names.
    const MappedFile& file = location.file == FileKind::Main  ? main
                             : location.file == FileKind::Wal ? wal
                                                              : journal;
    const uint8_t* p = file.bytes(location.offset, pageSize());
    return p ? ByteView{p, pageSize()} : ByteView{};
}

bool Snapshot::locate(uint32_t page, PageLocation* location) const {
    // The overlay first, then the main file.
    if (page == 0 || page > m_pageCount)
        return false;
    auto placed = m_overlay.find(page);
    if (placed != m_overlay.end()) {
        *location = placed->second;
        return true;
    }
    *location = {FileKind::Main, uint64_t(page - 1) * m_files->pageSize(), 0};
    return true;
}

ByteView Snapshot::page(uint32_t number) const {
    // The image where locate() puts it.
    PageLocation location;
    if (!locate(number, &location))
        return {};
    return m_files->image(location);
}

void placeJournalImages(const DatabaseFiles& files, Snapshot* snapshot) {
    // Latest first, so the earliest image of a page is the one that stays.
    uint32_t pages = std::max(snapshot->pageCount(), files.mainPageCount());
    for (auto it = files.journalLog.pages.rbegin(); it != files.journalLog.pages.rend(); ++it) {
        snapshot->place(it->page, {FileKind::Journal, it->imageOffset, 0});
        pages = std::max(pages, it->page);
    }
    snapshot->setPageCount(pages);
}

} // namespace fennaro::deep
