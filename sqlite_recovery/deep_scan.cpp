#include "sqlite_recovery/sqlite_recovery.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "platform/side_task.h"
#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/derived_rows.h"
#include "sqlite_recovery/dropped_tables.h"
#include "sqlite_recovery/fts_remnants.h"
#include "sqlite_recovery/index_remnants.h"
#include "sqlite_recovery/live_tables.h"
#include "sqlite_recovery/page_carver.h"
#include "sqlite_recovery/page_history.h"
#include "sqlite_recovery/partial_rows.h"
#include "sqlite_recovery/record_collector.h"
#include "sqlite_recovery/table_rows.h"
#include "sqlite_recovery/value_sanity.h"

namespace fennaro::deep {

namespace {

// Version ranks: journal images predate the main file, an earlier WAL
// generation was checkpointed into it, and the current generation's frames
// come after it in frame order.
constexpr uint32_t kJournalRank = 1;
constexpr uint32_t kOldWalRank = 2;
constexpr uint32_t kMainRank = 3;
constexpr uint32_t kWalRankBase = 4;

// Below this many pages a second thread costs more than it saves.
constexpr uint32_t kPagesWorthASecondThread = 2048;

RecordSource sourceOf(FileKind file) {
    return file == FileKind::Main  ? RecordSource::Main
           : file == FileKind::Wal ? RecordSource::Wal
                                   : RecordSource::Journal;
}

// Where the page numbers a free-list trunk lists end: what follows is
// whatever the page held before it became a trunk.
size_t trunkListEnd(ByteView view, uint32_t usable) {
    return 8 + 4 * size_t(std::min(view.u32(4), usable / 4 - 2));
}

// The owner a page has in a map, or kNoOwner beyond it.
int ownerIn(const std::vector<int>& owners, uint32_t page) {
    return page < owners.size() ? owners[page] : kNoOwner;
}

// One scan: the snapshots, who owns which page in each, and the carver.
class DeepScan {
  public:
    DeepScan(const DatabaseState& state, const std::vector<TableInfo>& tables,
             const std::vector<uint32_t>& otherRoots,
             std::vector<RecordCollector::TableChoice> choices)
        : m_state(state), m_files(state.files), m_current(*state.current), m_tables(tables),
          m_otherRoots(otherRoots), m_mainFile(state.files, state.files.mainPageCount()),
          m_beforeJournal(state.files, state.files.mainPageCount()),
          m_collector(tables, m_current, state.usableSize, state.textEncoding),
          m_carver(tables, state.usableSize, m_collector, state.textEncoding) {
        placeJournalImages(m_files, &m_beforeJournal);
        const uint32_t usable = state.usableSize, encoding = state.textEncoding;
        m_currentOwners = pageOwners(m_current, tables, otherRoots, usable, encoding);
        // The pages of dropped tables that still hang together under their
        // old roots: the tables' own, not loose pages to guess at.
        for (size_t t = 0; t < tables.size(); ++t) {
            if (tables[t].dropped)
                markDroppedPages(m_current, tables, int(t), usable, &m_currentOwners);
        }
        // Without frames or a rollback the main file is the current state.
        m_mainOwners = m_current.hasOverlay()
                           ? pageOwners(m_mainFile, tables, otherRoots, usable, encoding)
                           : m_currentOwners;
        if (!m_files.journalLog.pages.empty())
            m_journalOwners = pageOwners(m_beforeJournal, tables, otherRoots, usable, encoding);
        m_freeList = freeListPages(m_current, usable);
        m_choices = choices;
        m_collector.select(std::move(choices));
    }

    // Carves every version of every page; the records are returned, or
    // handed to visit one at a time when it is set.
    std::vector<RecoveredRecord> run(const RecordVisitor* visit) {
        carveCurrentState();
        carveMainHistory();
        carveWalHistory();
        carveJournalHistory();
        if (!visit)
            return m_collector.finish();
        m_collector.finishEach(*visit);
        return {};
    }

  private:
    // Every page of the current state: the lower half here, the upper half
    // on a second thread with a collector of its own, whose finds then
    // follow ours as if one thread had carved them all.
    void carveCurrentState() {
        const uint32_t pages = m_current.pageCount();
        m_collector.startNotingLiveRows();
        m_collector.expectPages(pages);
        if (pages < kPagesWorthASecondThread || !SideTask::worthwhile()) {
            carveCurrentPages(1, pages, m_carver, m_collector);
            return;
        }
        const uint32_t half = pages / 2;
        RecordCollector upperFinds(m_tables, m_current, m_state.usableSize, m_state.textEncoding);
        upperFinds.select(m_choices);
        upperFinds.startNotingLiveRows();
        upperFinds.expectPages(pages - half);
        PageCarver upperCarver(m_tables, m_state.usableSize, upperFinds, m_state.textEncoding);
        SideTask upper([&] { carveCurrentPages(half + 1, pages, upperCarver, upperFinds); });
        carveCurrentPages(1, half, m_carver, m_collector);
        upper.join();
        m_collector.absorb(std::move(upperFinds));
    }

    // Pages first to last of the current state: free space of live leaves,
    // free-list pages, and leaves no tree reaches any more.
    void carveCurrentPages(uint32_t first, uint32_t last, PageCarver& carver,
                           RecordCollector& collector) const {
        const uint32_t usable = m_state.usableSize;
        for (uint32_t page = first; page >= first && page <= last; ++page) {
            PageLocation location;
            if (!m_current.locate(page, &location))
                continue;
            const ByteView view = m_files.image(location);
            if (!view.data)
                continue;
            VersionInfo version{sourceOf(location.file),
                                page,
                                location.offset,
                                location.frame,
                                location.file == FileKind::Wal ? kWalRankBase + location.frame
                                                               : kMainRank,
                                &m_current};
            const int owner = ownerIn(m_currentOwners, page);
            const uint8_t free = page < m_freeList.size() ? m_freeList[page] : 0;
            if (free != 0)
                version.source = RecordSource::Freelist;
            BtreeHeader header;
            const bool btree = readBtreeHeader(view, page, usable, &header);
            if (owner >= 0 && m_tables[size_t(owner)].dropped) {
                if (!collector.wants(owner))
                    continue;
                if (btree && header.type == kTableLeafPage)
                    carver.carveLeaf(view, header, owner, true, version);
                else if (btree && header.type == kTableInteriorPage)
                    carver.carveInterior(view, header, owner, version);
                else if (free == 1)
                    carver.carveFreeBytesOf(view, trunkListEnd(view, usable), usable, owner,
                                            version);
                else if (!btree)
                    carver.carveFreeBytesOf(view, 0, usable, owner, version);
            } else if (owner >= 0) {
                if (!collector.wants(owner))
                    continue;
                if (btree && header.type == kTableLeafPage) {
                    collector.noteLiveLeaf(owner, page, view, header);
                    carver.carveLeaf(view, header, owner, false, version);
                } else if (btree && header.type == kTableInteriorPage)
                    carver.carveInterior(view, header, owner, version);
            } else if (owner == kOtherTree) {
                continue;
            } else if (free == 1) {
                carver.scanFreeBytes(view, trunkListEnd(view, usable), usable, version);
            } else if (btree && header.type == kTableLeafPage) {
                carveLooseLeaf(carver, view, header, version,
                               {ownerIn(m_mainOwners, page), ownerIn(m_journalOwners, page)});
            } else if (free == 2 && !btree) {
                carver.scanFreeBytes(view, 0, usable, version);
            }
        }
    }

    // Main-file pages the current state no longer reads: replaced by WAL
    // frames or a hot journal, or cut off the end of the database.
    void carveMainHistory() {
        for (uint32_t page = 1; page <= m_files.mainPageCount(); ++page) {
            PageLocation location;
            if (m_current.locate(page, &location) && location.file == FileKind::Main)
                continue;
            const PageLocation here{FileKind::Main, uint64_t(page - 1) * m_files.pageSize(), 0};
            VersionInfo version{RecordSource::Main, page, here.offset, 0, kMainRank, &m_mainFile};
            carveOldVersion(m_files.image(here), version,
                            {ownerIn(m_mainOwners, page), ownerIn(m_currentOwners, page),
                             ownerIn(m_journalOwners, page)});
        }
    }

    // Every WAL frame that is not the current image of its page. A frame of
    // the current generation is a page of the state its transaction
    // committed: main file plus the generation's frames up to that commit,
    // exactly what SQLite read then. The b-trees of that state say whose
    // page it was (a page moves between tables as they grow and shrink, so
    // the owner of another version proves nothing). A frame of an earlier
    // generation stands on a main file checkpointed since, so its owner
    // there is only a candidate its cells must confirm.
    void carveWalHistory() {
        const std::vector<WalFrame>& frames = m_files.walLog.frames;
        if (frames.empty())
            return;
        WalFrameReader reader(m_files, m_mainFile);
        std::vector<int> versionOwners;
        size_t ownersOf = frames.size(); // the commit versionOwners belong to
        for (size_t i = 0; i < frames.size(); ++i) {
            const WalFrame& frame = frames[i];
            PageLocation location;
            if (m_current.locate(frame.page, &location) && location.file == FileKind::Wal &&
                location.frame == frame.number)
                continue;
            reader.standAt(i);
            if (reader.commitOf(i) != ownersOf) {
                ownersOf = reader.commitOf(i);
                versionOwners = pageOwners(reader, m_tables, m_otherRoots, m_state.usableSize,
                                           m_state.textEncoding);
            }
            const uint32_t rank = frame.sameSalts ? kWalRankBase + frame.number : kOldWalRank;
            VersionInfo version{RecordSource::Wal, frame.page, frame.imageOffset,
                                frame.number,      rank,       &reader};
            const ByteView view = m_files.image({FileKind::Wal, frame.imageOffset, frame.number});
            const int owner = ownerIn(versionOwners, frame.page);
            if (frame.sameSalts)
                carveVersionOf(view, version, owner);
            else
                carveOldVersion(view, version, {owner});
        }
    }

    // A page version whose owner in its own state is known (an index into
    // tables), or known to be no table's (anything else): then its listed
    // cells count only where they fit a table exactly.
    void carveVersionOf(ByteView view, const VersionInfo& version, int owner) {
        BtreeHeader header;
        if (!view.data || !readBtreeHeader(view, version.page, m_state.usableSize, &header))
            return;
        const int table = owner >= 0 ? owner : -1;
        if (header.type == kTableLeafPage)
            m_carver.carveLeaf(view, header, table, true, version);
        else if (header.type == kTableInteriorPage)
            m_carver.carveInterior(view, header, table, version);
    }

    // Every journal image that is not the current image of its page.
    void carveJournalHistory() {
        for (const JournalPage& image : m_files.journalLog.pages) {
            PageLocation location;
            if (m_current.locate(image.page, &location) && location.file == FileKind::Journal &&
                location.offset == image.imageOffset)
                continue;
            VersionInfo version{RecordSource::Journal, image.page,      image.imageOffset, 0,
                                kJournalRank,          &m_beforeJournal};
            carveOldVersion(m_files.image({FileKind::Journal, image.imageOffset, 0}), version,
                            {ownerIn(m_journalOwners, image.page),
                             ownerIn(m_mainOwners, image.page),
                             ownerIn(m_currentOwners, image.page)});
        }
    }

    // An older version of a page: all of a table leaf, the unallocated
    // space of a table interior page.
    void carveOldVersion(ByteView view, const VersionInfo& version,
                         const std::vector<int>& owners) {
        BtreeHeader header;
        if (!view.data || !readBtreeHeader(view, version.page, m_state.usableSize, &header))
            return;
        if (header.type == kTableLeafPage) {
            carveLooseLeaf(m_carver, view, header, version, owners);
        } else if (header.type == kTableInteriorPage) {
            auto owner = std::find_if(owners.begin(), owners.end(), [](int o) { return o >= 0; });
            m_carver.carveInterior(view, header, owner == owners.end() ? -1 : *owner, version);
        }
    }

    // A table leaf whose owner at its moment is not certain: the listed
    // cells decide between the candidate owners, or pick a table by shape.
    void carveLooseLeaf(PageCarver& carver, ByteView view, const BtreeHeader& header,
                        const VersionInfo& version, const std::vector<int>& owners) const {
        std::vector<int> candidates;
        for (int owner : owners) {
            if (owner >= 0)
                candidates.push_back(owner);
        }
        const int table = carver.attributeLeaf(view, header, candidates,
                                               version.source == RecordSource::Freelist);
        carver.carveLeaf(view, header, table, true, version);
    }

    const DatabaseState& m_state;
    const DatabaseFiles& m_files;
    const Snapshot& m_current;
    const std::vector<TableInfo>& m_tables;
    const std::vector<uint32_t>& m_otherRoots;
    Snapshot m_mainFile;
    Snapshot m_beforeJournal;
    RecordCollector m_collector;
    PageCarver m_carver;
    std::vector<int> m_currentOwners, m_mainOwners, m_journalOwners;
    std::vector<uint8_t> m_freeList;
    std::vector<RecordCollector::TableChoice> m_choices;
};

} // namespace

const char* sourceName(RecordSource source) {
    switch (source) {
    case RecordSource::Main:
        return "main";
    case RecordSource::Wal:
        return "wal";
    case RecordSource::Journal:
        return "journal";
    case RecordSource::Freelist:
        return "freelist";
    }
    return "main";
}

const char* evidenceName(RecordEvidence evidence) {
    switch (evidence) {
    case RecordEvidence::Cell:
        return "cell";
    case RecordEvidence::CellHeaderLost:
        return "cell-header-lost";
    case RecordEvidence::Index:
        return "index";
    case RecordEvidence::Fts:
        return "fts";
    case RecordEvidence::Remnant:
        return "remnant";
    }
    return "cell";
}

ScanReport scanDatabase(const std::string& dbPath, const ScanRules* rules) {
    return scanSelected(dbPath, {}, rules);
}

namespace {

// Adds to tables the table name of layout createSql, as a dropped table
// whose pages are not known, unless tables has one of that name.
void addKnownLayout(const std::string& name, const std::string& createSql,
                    std::vector<TableInfo>* tables) {
    if (std::any_of(tables->begin(), tables->end(),
                    [&](const TableInfo& table) { return table.name == name; }))
        return;
    ParsedTable parsed;
    if (!parseCreateTable(createSql, &parsed) || parsed.withoutRowid)
        return;
    TableInfo table;
    table.name = name;
    table.columns = std::move(parsed.columns);
    table.aliasColumn = parsed.aliasColumn;
    table.dropped = true;
    tables->push_back(std::move(table));
}

// The scan of an open database: its schema (of the current state, or of
// the main file when that is damaged), then the carving of what selection
// picks, kept in the report or handed to visit.
ScanReport scanState(const DatabaseState& state, const ScanSelection& selection,
                     const RecordVisitor* visit, const ScanRules& rules) {
    ScanReport report;
    report.ok = true;
    report.files = state.paths;
    SchemaInfo schema = readSchema(*state.current, state.usableSize, state.textEncoding);
    if (schema.tables.empty()) {
        Snapshot mainFile(state.files, state.files.mainPageCount());
        schema = readSchema(mainFile, state.usableSize, state.textEncoding);
    }
    std::vector<TableInfo> dropped = findDroppedTables(state, schema.tables);
    for (TableInfo& table : dropped)
        schema.tables.push_back(std::move(table));
    for (const auto& [name, choice] : selection) {
        if (!choice.knownLayout.empty())
            addKnownLayout(name, choice.knownLayout, &schema.tables);
    }
    std::sort(schema.tables.begin(), schema.tables.end(),
              [](const TableInfo& a, const TableInfo& b) { return a.name < b.name; });
    for (TableInfo& table : schema.tables)
        learnColumns(*state.current, state.usableSize, &table);
    std::vector<RecordCollector::TableChoice> choices(schema.tables.size());
    for (size_t t = 0; t < schema.tables.size(); ++t) {
        const TableInfo& table = schema.tables[t];
        RecordCollector::TableChoice& choice = choices[t];
        TableColumns names{table.name, {}};
        auto chosen = selection.find(table.name);
        choice.wanted = selection.empty() || chosen != selection.end();
        // A table a rule reads for the rows of a selected one is read, its
        // rows not reported.
        if (!choice.wanted && readForRule(rules, table.name, selection)) {
            choice.wanted = true;
            continue;
        }
        if (chosen != selection.end()) {
            choice.rowidsOnly = chosen->second.rowidsOnly;
            for (const std::string& name : chosen->second.columns) {
                int index = -1;
                for (size_t i = 0; i < table.columns.size(); ++i) {
                    if (table.columns[i].name == name)
                        index = int(i);
                }
                choice.columns.push_back(index);
                names.columns.push_back(name);
            }
        }
        if (!choice.wanted)
            continue;
        if (choice.columns.empty()) {
            for (const ColumnInfo& column : table.columns)
                names.columns.push_back(column.name);
        }
        report.schema.push_back(std::move(names));
    }
    std::string changed;
    if (schema.tables.empty()) {
        if (changedWhileRead(state, &changed)) {
            report.ok = false;
            report.error = changed + " changed while it was read";
        }
        return report;
    }
    // Rows that survive only in an index or in the full-text index join
    // the carved ones where none of those says as much of the same row.
    std::vector<TableInfo> current, wanted;
    std::vector<TableColumns> tableColumns;
    for (const TableInfo& table : schema.tables) {
        TableColumns names{table.name, {}};
        for (const ColumnInfo& column : table.columns)
            names.columns.push_back(column.name);
        tableColumns.push_back(std::move(names));
        if (table.dropped)
            continue;
        current.push_back(table);
        if (selection.empty() || selection.count(table.name))
            wanted.push_back(table);
    }
    // A partial row of a rowid the table still has is an older version of
    // a live row, which carved records are not reported for either.
    // Nor is one whose values its columns could not hold.
    auto dropLive = [&](std::vector<RecoveredRecord>* partials) {
        std::erase_if(*partials, [&](const RecoveredRecord& r) {
            const auto table = std::find_if(current.begin(), current.end(),
                                            [&](const TableInfo& t) { return t.name == r.table; });
            if (table == current.end())
                return false;
            if (!plausiblePartialRow(r, *table, state.textEncoding == 1))
                return true;
            return r.rowid &&
                   tableHasRowid(*state.current, table->rootPage, state.usableSize, *r.rowid);
        });
    };
    const CurrentTables live(state, current);
    DeepScan scan(state, schema.tables, schema.otherRoots, std::move(choices));
    if (visit) {
        std::map<std::string, std::vector<std::string>> wantedColumns;
        for (const auto& [table, choice] : selection)
            wantedColumns[table] = choice.columns;
        std::vector<RecoveredRecord> partials =
            indexRemnants(state, wanted, &wantedColumns, true);
        for (RecoveredRecord& r : ftsRemnants(state, current, {}, rules))
            partials.push_back(std::move(r));
        dropLive(&partials);
        mergePartialRows(&partials);
        PartialRows rows(std::move(partials), selection, report.schema, tableColumns);
        // The rules that run here, each with the rows of its source
        // table, and the texts of its target's carved rows.
        VisitedRules ruled(rules, selection, report.schema);
        const RecordVisitor passing{visit->expect, [&](RecoveredRecord& record) {
                                        if (ruled.takes(record))
                                            return;
                                        rows.see(record);
                                        ruled.note(record);
                                        visit->visit(record);
                                    }};
        scan.run(&passing);
        for (RecoveredRecord& record : rows.remaining())
            visit->visit(record);
        ruled.finish(current, live, selection, report.schema, tableColumns, *visit);
    } else {
        report.records = scan.run(nullptr);
        std::vector<RecoveredRecord> partials = indexRemnants(state, wanted);
        for (RecoveredRecord& r : ftsRemnants(state, current, report.records, rules))
            partials.push_back(std::move(r));
        for (const TableColumns& table : live.tables()) {
            for (const DerivedRows& rule : rules.derived) {
                if (rule.target != table.table || !rule.derive)
                    continue;
                for (RecoveredRecord& r : rule.derive(report.records, table, live))
                    partials.push_back(std::move(r));
            }
        }
        dropLive(&partials);
        mergePartialRows(&partials);
        PartialRows rows(std::move(partials), selection, report.schema, tableColumns);
        for (const RecoveredRecord& record : report.records)
            rows.see(record);
        for (RecoveredRecord& record : rows.remaining())
            report.records.push_back(std::move(record));
        // Each table's partial rows after its carved ones.
        std::stable_sort(report.records.begin(), report.records.end(),
                         [](const RecoveredRecord& a, const RecoveredRecord& b) {
                             return a.table < b.table;
                         });
    }
    if (changedWhileRead(state, &changed)) {
        report.ok = false;
        report.error = changed + " changed while it was read";
        report.records.clear();
    }
    return report;
}

} // namespace

ScanReport scanSelected(const std::string& dbPath, const ScanSelection& selection,
                        const ScanRules* rules) {
    // Opens the files, then scans them.
    std::string error;
    std::unique_ptr<DatabaseState> state = openDatabaseState(dbPath, &error);
    if (!state) {
        ScanReport report;
        report.error = error;
        return report;
    }
    return scanState(*state, selection, nullptr, rules ? *rules : ScanRules{});
}

ScanReport scanSelected(const DatabaseState& state, const ScanSelection& selection,
                        const RecordVisitor& visitor, const ScanRules* rules) {
    return scanState(state, selection, &visitor, rules ? *rules : ScanRules{});
}

} // namespace fennaro::deep
