#include "sqlite_recovery/rollback_journal.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "sqlite_recovery/byte_view.h"
#include "sqlite_recovery/wal_log.h"

namespace fennaro::deep {

namespace {

const uint8_t kJournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr uint32_t kAllRecords = 0xFFFFFFFF;

bool magicAt(const MappedFile& journal, uint64_t at) {
    const uint8_t* p = journal.bytes(at, 8);
    return p && std::equal(p, p + 8, kJournalMagic);
}

bool validSectorSize(uint32_t size) {
    return size >= 32 && size <= 65536 && (size & (size - 1)) == 0;
}

uint64_t roundUp(uint64_t value, uint64_t step) {
    return (value + step - 1) / step * step;
}

// The nonce a record's stored checksum implies: the checksum is the nonce
// plus every 200th byte of the image counted down from pageSize - 200.
uint32_t impliedNonce(const uint8_t* image, uint32_t pageSize, uint32_t checksum) {
    uint32_t sum = 0;
    for (int64_t i = int64_t(pageSize) - 200; i > 0; i -= 200)
        sum += image[i];
    return checksum - sum;
}

// One record slot of the file: page number, image, checksum.
struct Slot {
    uint64_t at = 0;
    uint32_t page = 0;
    uint32_t nonce = 0;
    const uint8_t* image = nullptr;
};

bool readSlot(const MappedFile& journal, uint64_t at, uint32_t pageSize, Slot* slot) {
    const uint8_t* p = journal.bytes(at, uint64_t(pageSize) + 8);
    if (!p)
        return false;
    const ByteView view{p, size_t(pageSize) + 8};
    slot->at = at;
    slot->page = view.u32(0);
    slot->image = p + 4;
    slot->nonce = impliedNonce(p + 4, pageSize, view.u32(pageSize + 4));
    return true;
}

// True when an image looks like a b-tree page (or the database's first page).
bool looksLikePage(const uint8_t* image, uint32_t pageSize, uint32_t page) {
    static const char kFileMagic[] = "SQLite format 3";
    const size_t header = page == 1 ? 100 : 0;
    if (page == 1 && std::equal(kFileMagic, kFileMagic + 15, image))
        return true;
    const ByteView view{image, pageSize};
    const uint32_t type = view.u8(header);
    if (type != 2 && type != 5 && type != 10 && type != 13)
        return false;
    const uint32_t cells = view.u16(header + 3);
    const uint32_t content = view.u16(header + 5);
    const size_t pointers = header + (type == 2 || type == 5 ? 12 : 8) + 2 * size_t(cells);
    return pointers <= pageSize && (content == 0 || content >= pointers);
}

// Whether the journal names a super-journal that is not there: SQLite then
// takes the transaction as committed and does not play the journal back.
bool namesMissingSuperJournal(const MappedFile& journal) {
    const uint64_t size = journal.size();
    if (size < 16 + 8 || !magicAt(journal, size - 8))
        return false;
    const ByteView tail{journal.bytes(size - 16, 8), 8};
    const uint32_t length = tail.u32(0);
    if (length == 0 || length > 4096 || uint64_t(length) + 16 + 4 > size)
        return false;
    const uint8_t* name = journal.bytes(size - 16 - length, length);
    if (!name)
        return false;
    std::string path(reinterpret_cast<const char*>(name), length);
    path = path.substr(0, path.find('\0'));
    return !path.empty() && !pathExists(path);
}

} // namespace

RollbackJournal readRollbackJournal(const MappedFile& journal, uint32_t databasePageSize,
                                    uint32_t pageLimit, bool databaseHasPages) {
    RollbackJournal log;
    const ByteView header{journal.bytes(0, 28), 28};
    log.headerValid = header.data && magicAt(journal, 0) && validPageSize(header.u32(24)) &&
                      validSectorSize(header.u32(20));
    log.pageSize = log.headerValid ? header.u32(24) : databasePageSize;
    if (!validPageSize(log.pageSize))
        return log;
    const uint32_t pageSize = log.pageSize;
    const uint64_t recordSize = uint64_t(pageSize) + 8;
    const uint32_t lockPage = uint32_t(1073741824u / pageSize + 1);
    std::unordered_set<uint64_t> taken;
    Slot slot;

    // Playback as SQLite does it: segment after segment, each record checked
    // against its segment's nonce; the first bad record ends the playback.
    uint64_t gridStart = 0;
    uint32_t sectorSize = 0;
    if (log.headerValid) {
        sectorSize = header.u32(20);
        log.originalPageCount = header.u32(16);
        log.hot = databaseHasPages && !namesMissingSuperJournal(journal);
        gridStart = sectorSize;
        bool playing = log.hot;
        uint64_t segment = 0;
        while (magicAt(journal, segment) && journal.bytes(segment, 20)) {
            const ByteView head{journal.bytes(segment, 20), 20};
            const uint32_t nonce = head.u32(12);
            const uint64_t first = segment + sectorSize;
            uint64_t count = head.u32(8);
            if (count == kAllRecords)
                count = journal.size() > first ? (journal.size() - first) / recordSize : 0;
            uint64_t k = 0;
            for (; k < count && readSlot(journal, first + k * recordSize, pageSize, &slot); ++k) {
                const bool good = slot.page != 0 && slot.page != lockPage && slot.nonce == nonce;
                if (!good)
                    playing = false;
                if (slot.page == 0 || slot.page > pageLimit || slot.page == lockPage)
                    continue;
                if (good || looksLikePage(slot.image, pageSize, slot.page)) {
                    const bool rollback = playing && slot.page <= log.originalPageCount;
                    log.pages.push_back({slot.page, slot.at + 4, rollback});
                    taken.insert(slot.at);
                }
            }
            if (count == 0 || k < count)
                break;
            segment = roundUp(first + count * recordSize, sectorSize);
        }
    } else {
        // A zeroed header: the records start one sector in, and the sector
        // size is unknown. Take the size under which the most leading slots
        // name a page and agree on one nonce or look like pages.
        uint64_t bestRun = 0;
        for (uint32_t sector = 512; sector <= 65536; sector *= 2) {
            uint64_t run = 0;
            Slot previous;
            for (uint64_t at = sector; readSlot(journal, at, pageSize, &slot); at += recordSize) {
                const bool plausible = slot.page != 0 && slot.page <= pageLimit &&
                                       (looksLikePage(slot.image, pageSize, slot.page) ||
                                        (run > 0 && slot.nonce == previous.nonce));
                if (!plausible)
                    break;
                previous = slot;
                ++run;
            }
            if (run > bestRun) {
                bestRun = run;
                gridStart = sector;
            }
        }
        if (bestRun == 0)
            return log;
    }

    // Every other slot on the records' grid: the tail of an earlier
    // transaction, or records of a zeroed header. A record counts when its
    // page number is sane and its checksum agrees with a neighbour's nonce
    // (one transaction) or its image looks like a page.
    std::vector<Slot> grid;
    for (uint64_t at = gridStart; readSlot(journal, at, pageSize, &slot); at += recordSize)
        grid.push_back(slot);
    for (size_t i = 0; i < grid.size(); ++i) {
        const Slot& s = grid[i];
        if (taken.count(s.at) || s.page == 0 || s.page > pageLimit || s.page == lockPage)
            continue;
        const bool agrees = (i > 0 && grid[i - 1].nonce == s.nonce) ||
                            (i + 1 < grid.size() && grid[i + 1].nonce == s.nonce);
        if (agrees || looksLikePage(s.image, pageSize, s.page))
            log.pages.push_back({s.page, s.at + 4, false});
    }
    std::sort(log.pages.begin(), log.pages.end(), [](const JournalPage& a, const JournalPage& b) {
        return a.imageOffset < b.imageOffset;
    });
    return log;
}

} // namespace fennaro::deep
