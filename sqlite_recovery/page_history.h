// Page readers for the older versions of pages: the state around a WAL frame
// (for following the overflow chains of its records) and the owners of the
// pages (which table's b-tree a page belonged to) in a snapshot.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "sqlite_recovery/page_snapshot.h"
#include "sqlite_recovery/schema_reader.h"

namespace fennaro::deep {

// The pages as they stood when the transaction of one WAL frame committed:
// for each page the latest frame of the same generation up to that commit,
// else the main file.
class WalFrameReader : public PageReader {
  public:
    WalFrameReader(const DatabaseFiles& files, const Snapshot& mainFile);

    // Chooses the frame (index into the log's frames) the reader stands at.
    void standAt(size_t frameIndex);
    // The frame (index) that ends the transaction of a frame: frames with
    // the same one see the same state.
    size_t commitOf(size_t frameIndex) const { return m_commitEnd[frameIndex]; }

    ByteView page(uint32_t number) const override;
    // The database size the transaction commits (or, for frames no commit
    // ends, the main file's size or the largest page the frames name).
    uint32_t pageCount() const override { return m_pageCount; }

  private:
    const DatabaseFiles& m_files;
    const Snapshot& m_main;
    std::unordered_map<uint32_t, std::vector<uint32_t>> m_framesOfPage; // frame indices
    std::vector<uint32_t> m_commitEnd; // per frame: index of the frame that ends its transaction
    size_t m_at = 0;
    uint32_t m_pageCount = 0;
    uint32_t m_largestFramePage = 0;
};

// Which table owns each page of a snapshot: kNoOwner, kOtherTree (an index
// or a WITHOUT ROWID table) or an index into tables. The snapshot's own
// sqlite_master gives the roots when it can be read; tables are matched by
// name, so a table whose root moved is still found.
constexpr int kNoOwner = -1;
constexpr int kOtherTree = -2;
std::vector<int> pageOwners(const PageReader& snapshot, const std::vector<TableInfo>& tables,
                            const std::vector<uint32_t>& otherRoots, uint32_t usableSize,
                            uint32_t textEncoding);

// Marks the pages of the free list: 1 for trunk pages, 2 for leaf pages.
std::vector<uint8_t> freeListPages(const PageReader& snapshot, uint32_t usableSize);

} // namespace fennaro::deep
