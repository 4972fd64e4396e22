// Finds records on one version of a page: the cells a table leaf lists,
// cells freed into freeblocks (whose first four bytes the freeblock header
// overwrote), whole cells left in unallocated space, and whole cells on free
// pages. Every record found goes to a RecordSink with its table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/record_sink.h"
#include "sqlite_recovery/schema_reader.h"

namespace fennaro::deep {

class PageCarver {
  public:
    PageCarver(const std::vector<TableInfo>& tables, uint32_t usableSize, RecordSink& sink,
               uint32_t textEncoding = 1);
    ~PageCarver();
    PageCarver(const PageCarver&) = delete;
    PageCarver& operator=(const PageCarver&) = delete;

    // A table leaf version: its listed cells (when withCells), its freeblocks
    // and its unallocated space. table is the page's owner, or -1 when it is
    // unknown (listed cells then go to the one table they fit exactly).
    void carveLeaf(ByteView page, const BtreeHeader& header, int table, bool withCells,
                   const VersionInfo& version);

    // A table interior page's unallocated space: a page that was a leaf
    // before the tree grew (or was rebuilt) keeps old cells there.
    void carveInterior(ByteView page, const BtreeHeader& header, int table,
                       const VersionInfo& version);

    // Looks for cells in bytes [from, to) of a page that is not a b-tree
    // page (a free-list trunk past its page list, a free page): whole cells,
    // and freed cells of the table most of the whole ones belong to (or are
    // rows of in its older, shorter layout).
    void scanFreeBytes(ByteView page, size_t from, size_t to, const VersionInfo& version);

    // Looks for cells of table in bytes [from, to) of a page that table's
    // tree still reaches but that is no b-tree page any more (a free-list
    // trunk now): whole cells and freed cells alike.
    void carveFreeBytesOf(ByteView page, size_t from, size_t to, int table,
                          const VersionInfo& version);

    // The table a leaf's listed cells belong to: the first of candidates
    // that most of them fit, else the table most of them fit exactly (and
    // no other table too), else the one most of them fit the leading
    // columns of (rows written before the table grew), else -1.
    // A page on the free list goes to a dropped table it fits before any
    // look-alike live table.
    int attributeLeaf(ByteView page, const BtreeHeader& header, const std::vector<int>& candidates,
                      bool onFreeList = false);

  private:
    struct Located;
    // Where a freed cell is guessed at: where one must start (a freeblock,
    // or right behind a record in one), anywhere in free bytes, or only to
    // tell whether one could start there.
    enum class DamagedGuess : uint8_t { Loose, Strict, Probe };

    void carveFreeblock(ByteView page, size_t start, size_t end, int table,
                        const VersionInfo& version);
    size_t carveCells(ByteView page, size_t start, size_t end, int table, DamagedGuess firstGuess,
                      const VersionInfo& version, size_t limit = SIZE_MAX);
    void scanRegion(ByteView page, size_t from, size_t to, int table, const VersionInfo& version);
    // The table most whole cells in bytes [from, to) are rows of, in its
    // layout before ALTER TABLE ADD COLUMN (two at least), or -1.
    int olderLayoutOwner(ByteView page, size_t from, size_t to);
    bool tryWholeCell(ByteView page, size_t at, size_t limit, int table, Evidence evidence,
                      Located* found);
    bool locateDamaged(ByteView page, size_t start, size_t end, int table, DamagedGuess guess,
                       Located* found);
    int alignment(ByteView page, size_t at, size_t end, int table, int toBeat = -1);
    void findStaleBoundaries(ByteView page, size_t start, size_t end);
    const std::vector<size_t>& staleBoundaries();
    bool wholeCellReaches(size_t at);
    bool isStaleHeader(size_t at);
    // m_reaches: per byte of the block, what reaches the block's end from it.
    static constexpr uint8_t kReachedByHeader = 1; // a stale freeblock header (or the end)
    static constexpr uint8_t kReachedByCell = 2;   // a whole cell
    static constexpr uint8_t kReaches = kReachedByHeader | kReachedByCell;
    static constexpr uint8_t kCellTried = 4; // whether a whole cell starts here was looked at
    bool isStaleBoundary(size_t at);
    bool firstTypeLost(ByteView page, size_t start, size_t end, int table, bool straddling,
                       size_t minColumns, DamagedGuess guess, Located* found);
    bool wholeCellNear(ByteView page, size_t at, size_t limit);
    bool holdsValues(ByteView page, const Located& found) const;
    bool cutAtReusedTail(ByteView page, size_t limit, Located* found);
    bool freedCellAt(ByteView page, size_t at, size_t end, int table);
    void emit(ByteView page, const Located& found, const VersionInfo& version);

    const std::vector<TableInfo>& m_tables;
    uint32_t m_usable;
    bool m_utf8 = true; // texts are UTF-8 (else UTF-16, where NUL bytes are common)
    size_t m_maxColumns = 1;
    // False while the table a region is carved for is only a guess (chosen
    // by the whole cells of a free page), not the page's known owner.
    bool m_ownerKnown = true;
    RecordSink& m_sink;
    std::string m_payload;
    RecordShape m_scratch;
    std::unique_ptr<Located> m_foundSlot; // the record being located, reused
    Located& m_found;
    std::unique_ptr<Located> m_rebuiltSlot; // a rebuilt reading to weigh against it
    Located& m_rebuilt;
    // Work space of a freed-cell guess, and of the probe an alignment check
    // makes inside one.
    struct GuessScratch {
        RecordShape shape;
        std::vector<uint32_t> typeBytes; // header bytes of the first i serial types read
        std::vector<uint64_t> bodyBytes; // body bytes of the first i columns
    };
    GuessScratch m_guess[2];
    // The freeblock being carved and the starts of the freed cells merged
    // into it (their stale headers chain to its end), sorted.
    ByteView m_blockPage;
    size_t m_blockStart = 0, m_blockEnd = 0;
    bool m_boundariesFound = true;
    std::vector<size_t> m_boundaries;
    std::vector<uint8_t> m_reaches; // per byte of the block: a boundary or its end
};

} // namespace fennaro::deep
