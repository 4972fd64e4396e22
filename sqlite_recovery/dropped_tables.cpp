#include "sqlite_recovery/dropped_tables.h"

#include <algorithm>
#include <map>
#include <optional>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/page_carver.h"
#include "sqlite_recovery/page_history.h"
#include "sqlite_recovery/schema_reader.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

namespace {

// Takes the schema rows the carver finds and keeps the tables among them.
class SchemaRows : public RecordSink {
  public:
    SchemaRows(const TableInfo& master, uint32_t textEncoding)
        : m_master(master), m_encoding(textEncoding) {}

    void add(const FoundRecord& record, const VersionInfo& version) override {
        // type 'table', a name, a root page and a CREATE TABLE that parses;
        // the most recent version of a name wins.
        decodeRecordBody(*record.shape, record.body, record.bodyBytes, &m_values);
        completeRow(m_master, record.rowid, m_encoding, &m_values);
        if (m_values.size() < 5 || (record.unknownColumns & 0x1F) != 0)
            return;
        const Value& type = m_values[0];
        const Value& name = m_values[1];
        const Value& root = m_values[3];
        const Value& sql = m_values[4];
        if (type.kind != Value::Kind::Text || type.bytes != "table" ||
            name.kind != Value::Kind::Text || name.bytes.empty() ||
            name.bytes.starts_with("sqlite_") || root.kind != Value::Kind::Integer ||
            root.integer <= 1 || root.integer > 0xFFFFFFFFll || sql.kind != Value::Kind::Text)
            return;
        ParsedTable parsed;
        if (!parseCreateTable(sql.bytes, &parsed) || parsed.withoutRowid)
            return;
        auto known = m_found.find(name.bytes);
        if (known != m_found.end() && known->second.rank >= version.rank)
            return;
        Found found;
        found.rank = version.rank;
        found.table.name = name.bytes;
        found.table.rootPage = uint32_t(root.integer);
        found.table.columns = std::move(parsed.columns);
        found.table.aliasColumn = parsed.aliasColumn;
        found.table.dropped = true;
        m_found[name.bytes] = std::move(found);
    }

    std::vector<TableInfo> tables() {
        std::vector<TableInfo> out;
        for (auto& [name, found] : m_found)
            out.push_back(std::move(found.table));
        return out;
    }

  private:
    struct Found {
        TableInfo table;
        uint32_t rank = 0;
    };
    const TableInfo& m_master;
    uint32_t m_encoding;
    std::vector<Value> m_values;
    std::map<std::string, Found> m_found;
};

} // namespace

std::vector<TableInfo> findDroppedTables(const DatabaseState& state,
                                         const std::vector<TableInfo>& current) {
    // Every version of every page of the schema's b-tree: its listed cells
    // (an older version still lists the table) and its freed cells.
    const std::vector<TableInfo> master{sqliteMasterTable()};
    SchemaRows rows(master[0], state.textEncoding);
    PageCarver carver(master, state.usableSize, rows, state.textEncoding);
    const DatabaseFiles& files = state.files;
    auto carve = [&](ByteView view, uint32_t page, uint32_t rank) {
        BtreeHeader header;
        if (!view.data || !readBtreeHeader(view, page, state.usableSize, &header) ||
            header.type != kTableLeafPage)
            return;
        const VersionInfo version{RecordSource::Main, page, 0, 0, rank, nullptr};
        carver.carveLeaf(view, header, 0, true, version);
    };
    // The schema tree's pages in the current state and in the main file.
    VisitMarks marks;
    std::vector<uint32_t> schemaPages;
    walkBtree(*state.current, 1, state.usableSize, marks,
              [&](uint32_t page, ByteView view, const BtreeHeader&) {
                  schemaPages.push_back(page);
                  carve(view, page, 3);
              });
    for (uint32_t page : schemaPages) {
        const uint64_t offset = uint64_t(page - 1) * files.pageSize();
        carve(files.image({FileKind::Main, offset, 0}), page, 2);
    }
    // Older images of page 1 and of the schema's other pages.
    auto isSchemaPage = [&](uint32_t page) {
        return std::find(schemaPages.begin(), schemaPages.end(), page) != schemaPages.end();
    };
    // A schema leaf that held only dropped tables' rows leaves the tree when
    // they go and lands on the free list, its freed cells still in it: the
    // free list's leaves and their older images are read too, below every
    // version of the tree itself.
    const std::vector<uint8_t> freePages = freeListPages(*state.current, state.usableSize);
    auto isFreeLeaf = [&](uint32_t page) {
        return page < freePages.size() && freePages[page] == 2;
    };
    for (uint32_t page = 1; page < freePages.size(); ++page) {
        if (isFreeLeaf(page))
            carve(state.current->page(page), page, 0);
    }
    for (const WalFrame& frame : files.walLog.frames) {
        if (isSchemaPage(frame.page) || isFreeLeaf(frame.page))
            carve(files.image({FileKind::Wal, frame.imageOffset, frame.number}), frame.page,
                  4 + frame.number);
    }
    for (const JournalPage& image : files.journalLog.pages) {
        if (isSchemaPage(image.page) || isFreeLeaf(image.page))
            carve(files.image({FileKind::Journal, image.imageOffset, 0}), image.page, 1);
    }
    std::vector<TableInfo> dropped = rows.tables();
    std::erase_if(dropped, [&](const TableInfo& table) {
        return std::any_of(current.begin(), current.end(),
                           [&](const TableInfo& live) { return live.name == table.name; });
    });
    return dropped;
}

void markDroppedPages(const PageReader& snapshot, const std::vector<TableInfo>& tables, int table,
                      uint32_t usableSize, std::vector<int>* owners) {
    // Down from the old root, through pages no one else has: a page that is
    // no b-tree page any more (a free-list trunk now) is still the table's,
    // but its children are not known.
    std::vector<int>& own = *owners;
    std::vector<uint32_t> pending{tables[size_t(table)].rootPage};
    while (!pending.empty()) {
        const uint32_t page = pending.back();
        pending.pop_back();
        if (page == 0 || page >= own.size() || own[page] != kNoOwner)
            continue;
        own[page] = table;
        const ByteView view = snapshot.page(page);
        BtreeHeader header;
        if (!view.data || !readBtreeHeader(view, page, usableSize, &header) ||
            header.type != kTableInteriorPage)
            continue;
        for (uint32_t i = 0; i < header.cellCount; ++i) {
            const uint32_t cell = view.u16(header.pointerArray + 2 * size_t(i));
            if (cell + 4 <= std::min<size_t>(usableSize, view.size))
                pending.push_back(view.u32(cell));
        }
        pending.push_back(header.rightChild);
    }
}

} // namespace fennaro::deep
