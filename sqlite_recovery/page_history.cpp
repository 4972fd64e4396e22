#include "sqlite_recovery/page_history.h"

#include <algorithm>

#include "sqlite_recovery/btree_page.h"

namespace fennaro::deep {

WalFrameReader::WalFrameReader(const DatabaseFiles& files, const Snapshot& mainFile)
    : m_files(files), m_main(mainFile) {
    // Frames by page, and for every frame the commit that ends its
    // transaction (the last frame of its run of salts when none does).
    const std::vector<WalFrame>& frames = files.walLog.frames;
    m_commitEnd.resize(frames.size());
    size_t end = frames.size();
    for (size_t i = frames.size(); i-- > 0;) {
        const bool runBreak =
            i + 1 < frames.size() && (frames[i].sameSalts != frames[i + 1].sameSalts ||
                                      frames[i + 1].number != frames[i].number + 1);
        if (runBreak || frames[i].commitSize != 0)
            end = i;
        if (i + 1 == frames.size())
            end = i;
        m_commitEnd[i] = uint32_t(end);
    }
    // Every page past the main file's end was written to a frame when the
    // database grew into it: a frame naming a page beyond main file plus
    // frames is damage, and must not make the reader's size absurd.
    const uint64_t plausible = uint64_t(mainFile.pageCount()) + frames.size();
    for (size_t i = 0; i < frames.size(); ++i) {
        m_framesOfPage[frames[i].page].push_back(uint32_t(i));
        if (frames[i].page <= plausible)
            m_largestFramePage = std::max(m_largestFramePage, frames[i].page);
    }
}

void WalFrameReader::standAt(size_t frameIndex) {
    // The size the commit gives the database; without a commit, every page
    // either file may hold. A database never grows beyond the pages the
    // files hold, so a damaged size cannot make the reader huge.
    m_at = frameIndex;
    const std::vector<WalFrame>& frames = m_files.walLog.frames;
    const uint32_t limit = std::max(m_main.pageCount(), m_largestFramePage);
    const uint32_t committed =
        frameIndex < frames.size() ? frames[m_commitEnd[frameIndex]].commitSize : 0;
    m_pageCount = committed != 0 ? std::min(committed, limit) : limit;
}

ByteView WalFrameReader::page(uint32_t number) const {
    // The latest frame of the page at or before the commit, in the same run.
    const std::vector<WalFrame>& frames = m_files.walLog.frames;
    auto found = m_framesOfPage.find(number);
    if (found != m_framesOfPage.end() && m_at < frames.size()) {
        const uint32_t limit = m_commitEnd[m_at];
        const std::vector<uint32_t>& list = found->second;
        auto it = std::upper_bound(list.begin(), list.end(), limit);
        while (it != list.begin()) {
            --it;
            if (frames[*it].sameSalts == frames[m_at].sameSalts)
                return m_files.image({FileKind::Wal, frames[*it].imageOffset, frames[*it].number});
        }
    }
    return m_main.page(number);
}

std::vector<int> pageOwners(const PageReader& snapshot, const std::vector<TableInfo>& tables,
                            const std::vector<uint32_t>& otherRoots, uint32_t usableSize,
                            uint32_t textEncoding) {
    // Roots from the snapshot's own schema where it names the table.
    std::vector<int> owners(size_t(snapshot.pageCount()) + 1, kNoOwner);
    const SchemaInfo own = readSchema(snapshot, usableSize, textEncoding);
    VisitMarks marks;
    auto mark = [&](uint32_t root, int owner) {
        walkBtree(snapshot, root, usableSize, marks,
                  [&](uint32_t page, ByteView, const BtreeHeader&) {
                      if (page < owners.size() && owners[page] == kNoOwner)
                          owners[page] = owner;
                  });
    };
    for (size_t t = 0; t < tables.size(); ++t) {
        // A dropped table's old root belongs to whoever has it now.
        uint32_t root = tables[t].dropped ? 0 : tables[t].rootPage;
        if (!own.tables.empty()) {
            root = 0;
            for (const TableInfo& table : own.tables) {
                if (table.name == tables[t].name)
                    root = table.rootPage;
            }
        }
        if (root != 0)
            mark(root, int(t));
    }
    for (uint32_t root : own.tables.empty() ? otherRoots : own.otherRoots)
        mark(root, kOtherTree);
    mark(1, kOtherTree);
    return owners;
}

std::vector<uint8_t> freeListPages(const PageReader& snapshot, uint32_t usableSize) {
    // Trunk after trunk from the header, each listing its leaves; a trunk
    // seen twice ends the chain.
    std::vector<uint8_t> marks(size_t(snapshot.pageCount()) + 1, 0);
    const ByteView first = snapshot.page(1);
    uint32_t trunk = first.u32(32);
    const uint32_t maxLeaves = usableSize / 4 - 2;
    while (trunk != 0 && trunk < marks.size() && marks[trunk] == 0) {
        marks[trunk] = 1;
        const ByteView view = snapshot.page(trunk);
        if (!view.data)
            break;
        const uint32_t count = std::min(view.u32(4), maxLeaves);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t leaf = view.u32(8 + 4 * size_t(i));
            if (leaf != 0 && leaf < marks.size() && marks[leaf] == 0)
                marks[leaf] = 2;
        }
        trunk = view.u32(0);
    }
    return marks;
}

} // namespace fennaro::deep
