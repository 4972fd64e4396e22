#include "sqlite_recovery/index_remnants.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/index_cells.h"
#include "sqlite_recovery/index_schema.h"
#include "sqlite_recovery/page_history.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

namespace {

// A page that belongs to a b-tree the pass does not read (a WITHOUT ROWID
// table, an index it cannot tell the columns of, a table).
constexpr int kOtherTreePage = -2;

// One index page image and what is known of where it stood.
struct PageVersion {
    ByteView view;
    uint32_t page = 0;
    RecordSource source = RecordSource::Main;
    uint64_t fileOffset = 0; // of the image in its file
    std::optional<uint32_t> frame;
    const PageReader* reader = nullptr; // the state it belongs to, for overflow chains
    int index = -1;                     // the index it belongs to
    bool currentTree = false;           // a page of the index's tree in the current state
};

// Appends a value's identity to a key: kind, then its bits or bytes.
void appendValueKey(std::string* key, const Value& v, bool known) {
    key->push_back(known ? char(v.kind) : 'u');
    if (!known)
        return;
    char bits[8];
    if (v.kind == Value::Kind::Integer)
        std::memcpy(bits, &v.integer, 8);
    else if (v.kind == Value::Kind::Real)
        std::memcpy(bits, &v.real, 8);
    if (v.kind == Value::Kind::Integer || v.kind == Value::Kind::Real)
        key->append(bits, 8);
    const uint64_t size = v.bytes.size();
    key->append(reinterpret_cast<const char*>(&size), 8);
    key->append(v.bytes);
}

class IndexRemnantScan {
  public:
    IndexRemnantScan(const DatabaseState& state, const std::vector<TableInfo>& tables,
                     const std::map<std::string, std::vector<std::string>>* wantedColumns,
                     bool historyOnly, bool guessHeaders)
        : m_historyOnly(historyOnly), m_state(state), m_files(state.files),
          m_current(*state.current), m_tables(tables), m_guessHeaders(guessHeaders),
          m_mainFile(state.files, state.files.mainPageCount()),
          m_beforeJournal(state.files, state.files.mainPageCount()) {
        // The indexes of the current schema (of the main file when the
        // current one cannot be read), with the shapes of their records.
        std::vector<SchemaEntry> entries =
            readSchemaEntries(m_current, state.usableSize, state.textEncoding);
        if (entries.empty())
            entries = readSchemaEntries(m_mainFile, state.usableSize, state.textEncoding);
        m_indexes = indexesOf(entries, tables);
        if (wantedColumns) {
            std::erase_if(m_indexes, [&](const IndexInfo& index) {
                const TableInfo& table = tables[size_t(index.table)];
                const auto wanted = wantedColumns->find(table.name);
                if (wanted == wantedColumns->end() || wanted->second.empty())
                    return false;
                for (int c : index.columns) {
                    if (c >= 0 && std::find(wanted->second.begin(), wanted->second.end(),
                                            table.columns[size_t(c)].name) != wanted->second.end())
                        return false;
                }
                return true;
            });
        }
        for (const IndexInfo& index : m_indexes) {
            IndexShape shape;
            shape.textEncoding = state.textEncoding;
            const TableInfo& table = tables[size_t(index.table)];
            for (int c : index.columns)
                shape.terms.push_back(c >= 0 ? table.columns[size_t(c)].affinity : Affinity::Blob);
            m_shapes.push_back(std::move(shape));
        }
        placeJournalImages(m_files, &m_beforeJournal);
    }

    // Reads every page version, then turns the entries into records.
    std::vector<RecoveredRecord> run() {
        if (m_indexes.empty())
            return {};
        std::unique_ptr<WalFrameReader> walReader;
        collectVersions(walReader);
        readSequences();
        // Whole entries first: the integers they hold settle freed cells
        // that can be read more than one way.
        std::vector<std::vector<std::set<int64_t>>> seen(m_indexes.size());
        for (size_t i = 0; i < m_indexes.size(); ++i)
            seen[i].resize(m_shapes[i].terms.size());
        std::vector<std::pair<size_t, IndexEntry>> found; // (version, entry)
        std::vector<IndexEntry> entries;
        for (size_t v = 0; v < m_versions.size(); ++v) {
            const PageVersion& version = m_versions[v];
            entries.clear();
            wholeIndexEntries(version.view, version.page, m_state.usableSize,
                              m_shapes[size_t(version.index)], version.reader, &entries);
            for (IndexEntry& entry : entries) {
                if (entry.place == EntryPlace::Listed)
                    raiseTop(m_indexes[size_t(version.index)].table, entry.rowid);
                // What the current index lists is the live rows' entries.
                const bool live = version.currentTree && entry.place == EntryPlace::Listed;
                for (size_t t = 0; t < entry.terms.size(); ++t) {
                    if (entry.terms[t].kind == Value::Kind::Integer)
                        seen[size_t(version.index)][t].insert(entry.terms[t].integer);
                }
                if (!live)
                    found.emplace_back(v, std::move(entry));
            }
        }
        carveTrunks(found);
        for (size_t v = 0; m_guessHeaders && v < m_versions.size(); ++v) {
            const PageVersion& version = m_versions[v];
            entries.clear();
            freedIndexEntries(version.view, version.page, m_state.usableSize,
                              m_shapes[size_t(version.index)], &seen[size_t(version.index)],
                              &entries);
            for (IndexEntry& entry : entries)
                found.emplace_back(v, std::move(entry));
        }
        return toRecords(found);
    }

  private:
    // Notes a rowid a table is known to have reached.
    void raiseTop(int table, int64_t rowid) {
        auto [top, added] = m_topRowid.emplace(table, rowid);
        if (!added && rowid > top->second)
            top->second = rowid;
    }

    // The largest rowids sqlite_sequence says AUTOINCREMENT tables gave.
    void readSequences() {
        for (const TableInfo& sequence : m_tables) {
            if (sequence.name != "sqlite_sequence" || sequence.columns.size() < 2)
                continue;
            VisitMarks marks;
            std::vector<Value> values;
            forEachTableRow(m_current, sequence.rootPage, m_state.usableSize, marks, 2,
                            [&](int64_t rowid, const RecordShape& shape, const uint8_t* body,
                                size_t bodyBytes) {
                                decodeRecordBody(shape, body, bodyBytes, &values);
                                completeRow(sequence, rowid, m_state.textEncoding, &values);
                                if (values[0].kind != Value::Kind::Text ||
                                    values[1].kind != Value::Kind::Integer)
                                    return;
                                for (size_t t = 0; t < m_tables.size(); ++t) {
                                    if (m_tables[t].name == values[0].bytes)
                                        raiseTop(int(t), values[1].integer);
                                }
                            });
        }
    }

    // The bytes past the leaf list of each free-list trunk page, read with
    // every index's shape: a cell only one index's records fit is taken.
    void carveTrunks(std::vector<std::pair<size_t, IndexEntry>>& found) {
        const uint32_t usable = m_state.usableSize;
        std::vector<std::vector<IndexEntry>> byIndex(m_indexes.size());
        for (PageVersion& trunk : m_trunks) {
            if (!trunk.view.data)
                continue;
            const size_t listed = 8 + 4 * size_t(std::min(trunk.view.u32(4), usable / 4 - 2));
            std::unordered_map<size_t, int> owners; // cell offset -> index, -1 for several
            for (size_t i = 0; i < m_indexes.size(); ++i) {
                byIndex[i].clear();
                carvedIndexEntries(trunk.view, listed, usable, usable, m_shapes[i], &byIndex[i]);
                for (const IndexEntry& e : byIndex[i]) {
                    auto [it, added] = owners.emplace(e.offset, int(i));
                    if (!added)
                        it->second = -1;
                }
            }
            for (size_t i = 0; i < m_indexes.size(); ++i) {
                if (byIndex[i].empty())
                    continue;
                trunk.index = int(i);
                m_versions.push_back(trunk);
                for (IndexEntry& e : byIndex[i]) {
                    if (owners[e.offset] == int(i))
                        found.emplace_back(m_versions.size() - 1, std::move(e));
                }
            }
        }
    }

    // Which index owns each page of a snapshot: an index into m_indexes,
    // kOtherTreePage for the pages of any other b-tree, -1 for none. The
    // snapshot's own sqlite_master gives the roots (matched by name).
    std::vector<int> owners(const PageReader& snapshot) const {
        std::vector<int> owner(size_t(snapshot.pageCount()) + 1, -1);
        std::vector<SchemaEntry> entries =
            readSchemaEntries(snapshot, m_state.usableSize, m_state.textEncoding);
        VisitMarks marks;
        auto mark = [&](uint32_t root, int who) {
            walkBtree(snapshot, root, m_state.usableSize, marks,
                      [&](uint32_t page, ByteView, const BtreeHeader&) {
                          if (page < owner.size() && owner[page] == -1)
                              owner[page] = who;
                      });
        };
        for (size_t i = 0; i < m_indexes.size(); ++i) {
            uint32_t root = entries.empty() ? m_indexes[i].rootPage : 0;
            for (const SchemaEntry& entry : entries) {
                if (entry.type == "index" && entry.name == m_indexes[i].name)
                    root = entry.rootPage;
            }
            if (root != 0)
                mark(root, int(i));
        }
        for (const SchemaEntry& entry : entries) {
            if (entry.rootPage != 0)
                mark(entry.rootPage, kOtherTreePage);
        }
        mark(1, kOtherTreePage);
        return owner;
    }

    // The index a page version belongs to: its owner in its own state when
    // that is an index; for an index page no tree owns, the one index whose
    // records its cells are (a candidate from another state decides a tie).
    int attribute(ByteView view, uint32_t page, int owner, const std::vector<int>& hints) const {
        if (owner >= 0 || owner == kOtherTreePage)
            return owner >= 0 ? owner : -1;
        std::vector<int> fitting;
        for (size_t i = 0; i < m_indexes.size(); ++i) {
            if (pageFitsIndex(view, page, m_state.usableSize, m_shapes[i]))
                fitting.push_back(int(i));
        }
        if (fitting.size() == 1)
            return fitting[0];
        if (fitting.size() > 1) {
            const int agreeing = agreeingIndex(view, page, fitting);
            if (agreeing >= 0)
                return agreeing;
        }
        for (int hint : hints) {
            if (hint >= 0 && std::find(fitting.begin(), fitting.end(), hint) != fitting.end())
                return hint;
        }
        return -1;
    }

    // Of several indexes whose records a page's cells read as, the one whose
    // table's current rows hold the values of more of the listed entries
    // than any other's: an older page of an index still lists mostly live
    // rows' entries, while a page number says nothing about a page from
    // another WAL generation (auto_vacuum moves pages between them). -1 when
    // no index has the most.
    int agreeingIndex(ByteView view, uint32_t page, const std::vector<int>& fitting) const {
        int best = -1;
        size_t bestCount = 0, runnerUp = 0;
        std::vector<IndexEntry> entries;
        std::string buffer;
        std::vector<Value> picked;
        for (int i : fitting) {
            const IndexInfo& index = m_indexes[size_t(i)];
            const TableInfo& table = m_tables[size_t(index.table)];
            TableRowFinder finder(m_current, table.rootPage, m_state.usableSize);
            entries.clear();
            wholeIndexEntries(view, page, m_state.usableSize, m_shapes[size_t(i)], nullptr,
                              &entries);
            size_t agreeing = 0;
            for (const IndexEntry& entry : entries) {
                if (entry.place == EntryPlace::Listed &&
                    liveRow(finder, table, index, entry, buffer, picked))
                    ++agreeing;
            }
            if (agreeing > bestCount) {
                runnerUp = bestCount;
                bestCount = agreeing;
                best = i;
            } else if (agreeing > runnerUp) {
                runnerUp = agreeing;
            }
        }
        return bestCount > runnerUp ? best : -1;
    }

    // Adds a page version when it is an index page of one of the indexes.
    void addVersion(ByteView view, uint32_t page, RecordSource source, uint64_t fileOffset,
                    std::optional<uint32_t> frame, const PageReader* reader, int owner,
                    const std::vector<int>& hints) {
        BtreeHeader header;
        if (!view.data || !readBtreeHeader(view, page, m_state.usableSize, &header) ||
            (header.type != kIndexLeafPage && header.type != kIndexInteriorPage))
            return;
        const int index = attribute(view, page, owner, hints);
        if (index < 0)
            return;
        m_versions.push_back({view, page, source, fileOffset, frame, reader, index,
                              reader == &m_current && owner == index});
    }

    // The owner a page has in a map, or -1 beyond it.
    static int ownerIn(const std::vector<int>& owners, uint32_t page) {
        return page < owners.size() ? owners[page] : -1;
    }

    // Every page image of the files: the current state, main-file pages it
    // no longer reads, every WAL frame, every journal image.
    void collectVersions(std::unique_ptr<WalFrameReader>& walReader) {
        const std::vector<int> current = owners(m_current);
        const std::vector<int> mainOwners = m_current.hasOverlay() ? owners(m_mainFile) : current;
        std::vector<int> journalOwners;
        if (!m_files.journalLog.pages.empty())
            journalOwners = owners(m_beforeJournal);
        const std::vector<uint8_t> freeList = freeListPages(m_current, m_state.usableSize);
        const uint32_t pageSize = m_files.pageSize();
        for (uint32_t page = 1; page <= m_current.pageCount() && !m_historyOnly; ++page) {
            PageLocation location;
            if (!m_current.locate(page, &location))
                continue;
            RecordSource source = location.file == FileKind::Main  ? RecordSource::Main
                                  : location.file == FileKind::Wal ? RecordSource::Wal
                                                                   : RecordSource::Journal;
            if (page < freeList.size() && freeList[page] != 0)
                source = RecordSource::Freelist;
            std::optional<uint32_t> frame;
            if (location.file == FileKind::Wal)
                frame = location.frame;
            const size_t before = m_versions.size();
            addVersion(m_files.image(location), page, source, location.offset, frame, &m_current,
                       ownerIn(current, page),
                       {ownerIn(mainOwners, page), ownerIn(journalOwners, page)});
            if (m_versions.size() > before && ownerIn(current, page) >= 0)
                m_versions.back().currentTree = true;
            if (page < freeList.size() && freeList[page] == 1)
                m_trunks.push_back(
                    {m_files.image(location), page, source, location.offset, frame, nullptr, -1});
        }
        for (uint32_t page = 1; page <= m_files.mainPageCount(); ++page) {
            PageLocation location;
            if (m_current.locate(page, &location) && location.file == FileKind::Main)
                continue;
            if (m_historyOnly && !m_current.hasOverlay())
                break;
            const PageLocation here{FileKind::Main, uint64_t(page - 1) * pageSize, 0};
            addVersion(m_files.image(here), page, RecordSource::Main, here.offset, std::nullopt,
                       &m_mainFile, ownerIn(mainOwners, page),
                       {ownerIn(current, page), ownerIn(journalOwners, page)});
        }
        const std::vector<WalFrame>& frames = m_files.walLog.frames;
        if (!frames.empty()) {
            walReader = std::make_unique<WalFrameReader>(m_files, m_mainFile);
            // Each frame needs its own state's reader for overflow chains:
            // frames are read at their commit, one commit at a time.
            size_t ownersOf = frames.size();
            std::vector<int> versionOwners;
            for (size_t i = 0; i < frames.size(); ++i) {
                const WalFrame& frame = frames[i];
                PageLocation location;
                if (m_current.locate(frame.page, &location) && location.file == FileKind::Wal &&
                    location.frame == frame.number)
                    continue;
                const ByteView image =
                    m_files.image({FileKind::Wal, frame.imageOffset, frame.number});
                if (image.u8(frame.page == 1 ? 100 : 0) != kIndexLeafPage &&
                    image.u8(frame.page == 1 ? 100 : 0) != kIndexInteriorPage)
                    continue;
                walReader->standAt(i);
                if (walReader->commitOf(i) != ownersOf) {
                    ownersOf = walReader->commitOf(i);
                    versionOwners = owners(*walReader);
                }
                const int owner = frame.sameSalts ? ownerIn(versionOwners, frame.page) : -1;
                const std::size_t before = m_versions.size();
                addVersion(image, frame.page, RecordSource::Wal, frame.imageOffset, frame.number,
                           nullptr, owner,
                           {ownerIn(mainOwners, frame.page), ownerIn(current, frame.page)});
                // Overflow chains of a frame are read in the current state:
                // the reader moves on, and an overflow page reused since is
                // refused by the chain checks.
                if (m_versions.size() > before)
                    m_versions.back().reader = &m_current;
            }
        }
        for (const JournalPage& image : m_files.journalLog.pages) {
            PageLocation location;
            if (m_current.locate(image.page, &location) && location.file == FileKind::Journal &&
                location.offset == image.imageOffset)
                continue;
            addVersion(m_files.image({FileKind::Journal, image.imageOffset, 0}), image.page,
                       RecordSource::Journal, image.imageOffset, std::nullopt, &m_beforeJournal,
                       ownerIn(journalOwners, image.page),
                       {ownerIn(mainOwners, image.page), ownerIn(current, image.page)});
        }
    }

    // True when the current state of the table holds rowid with these
    // values in the index's columns.
    bool liveRow(TableRowFinder& finder, const TableInfo& table, const IndexInfo& index,
                 const IndexEntry& entry, std::string& buffer, std::vector<Value>& picked) const {
        ByteView leaf;
        LeafCell cell;
        if (!finder.find(entry.rowid, &leaf, &cell))
            return false;
        const uint8_t* payload = leaf.data + cell.payloadOffset;
        size_t have = size_t(cell.payloadSize);
        if (cell.payloadSize > cell.localSize) {
            have = readPayload(leaf, cell.payloadOffset, cell.payloadSize, m_state.usableSize,
                               &m_current, &buffer);
            payload = reinterpret_cast<const uint8_t*>(buffer.data());
        }
        if (!pickColumns(table, payload, have, entry.rowid, m_state.textEncoding, index.columns,
                         &picked))
            return false;
        for (size_t t = 0; t < entry.terms.size() && t < picked.size(); ++t) {
            if (index.columns[t] >= 0 && entry.known[t] && !(picked[t] == entry.terms[t]))
                return false;
        }
        return true;
    }

    // The records of the entries that are not live rows, one per (table,
    // rowid, values), in the order found.
    std::vector<RecoveredRecord> toRecords(std::vector<std::pair<size_t, IndexEntry>>& found) {
        // Each (table, rowid, values) is decided once: a live row's, or kept.
        std::vector<RecoveredRecord> records;
        std::unordered_set<std::string> decided;
        std::vector<std::unique_ptr<TableRowFinder>> finders(m_tables.size());
        std::string buffer, key;
        std::vector<Value> picked;
        std::vector<std::pair<int, const Value*>> columns;
        for (auto& [v, entry] : found) {
            const PageVersion& version = m_versions[v];
            const IndexInfo& index = m_indexes[size_t(version.index)];
            const TableInfo& table = m_tables[size_t(index.table)];
            // The values the entry knows, by table column.
            columns.clear();
            bool content = false;
            for (size_t t = 0; t < entry.terms.size(); ++t) {
                const int c = index.columns[t];
                if (c < 0 || !entry.known[t] || c == table.aliasColumn)
                    continue;
                columns.emplace_back(c, &entry.terms[t]);
                content = content || entry.terms[t].hasContent();
            }
            if (!content)
                continue;
            std::sort(columns.begin(), columns.end());
            columns.erase(
                std::unique(columns.begin(), columns.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                columns.end());
            key = table.name;
            key.push_back('\0');
            key.append(reinterpret_cast<const char*>(&entry.rowid), 8);
            for (const auto& [c, value] : columns) {
                key.append(reinterpret_cast<const char*>(&c), sizeof c);
                appendValueKey(&key, *value, true);
            }
            if (decided.count(key))
                continue;
            std::unique_ptr<TableRowFinder>& finder = finders[size_t(index.table)];
            if (!finder)
                finder =
                    std::make_unique<TableRowFinder>(m_current, table.rootPage, m_state.usableSize);
            if (liveRow(*finder, table, index, entry, buffer, picked)) {
                decided.insert(key);
                continue;
            }
            // Bytes no page lists can be misread (a freeblock a later cell
            // took its tail from no longer has the size of the cell it was;
            // a newer cell may end where an old one's tail was): such a
            // reading is believed only for a row that is gone, under a rowid
            // the table has reached.
            if (entry.place != EntryPlace::Listed) {
                ByteView leaf;
                LeafCell cell;
                auto top = m_topRowid.find(index.table);
                if (top == m_topRowid.end() || entry.rowid > top->second ||
                    finder->find(entry.rowid, &leaf, &cell))
                    continue;
            }
            decided.insert(key);
            RecoveredRecord record;
            record.table = table.name;
            record.rowid = entry.rowid;
            record.source = version.source;
            record.page = version.page;
            record.offset = version.fileOffset + entry.offset;
            record.frame = version.frame;
            record.evidence = RecordEvidence::Index;
            record.values.assign(table.columns.size(), Value::null());
            record.known.assign(table.columns.size(), false);
            for (const auto& [c, value] : columns) {
                record.values[size_t(c)] = *value;
                record.known[size_t(c)] = true;
            }
            if (table.aliasColumn >= 0) {
                record.values[size_t(table.aliasColumn)] = Value::ofInteger(entry.rowid);
                record.known[size_t(table.aliasColumn)] = true;
            }
            records.push_back(std::move(record));
        }
        return records;
    }

    bool m_historyOnly;
    const DatabaseState& m_state;
    const DatabaseFiles& m_files;
    const Snapshot& m_current;
    const std::vector<TableInfo>& m_tables;
    const bool m_guessHeaders;
    Snapshot m_mainFile;
    Snapshot m_beforeJournal;
    std::vector<IndexInfo> m_indexes;
    std::vector<IndexShape> m_shapes;
    std::vector<PageVersion> m_versions;
    std::vector<PageVersion> m_trunks; // free-list trunk pages of the current state
    // The largest rowid of each table (by index into tables) listed entries
    // hold or sqlite_sequence gives.
    std::unordered_map<int, int64_t> m_topRowid;
};

} // namespace

std::vector<RecoveredRecord> indexRemnants(
    const DatabaseState& state, const std::vector<TableInfo>& tables,
    const std::map<std::string, std::vector<std::string>>* wantedColumns, bool historyOnly,
    bool guessFreedHeaders) {
    // One pass over every version of every index page.
    if (!state.current || tables.empty())
        return {};
    IndexRemnantScan scan(state, tables, wantedColumns, historyOnly, guessFreedHeaders);
    return scan.run();
}

bool recordCovers(const RecoveredRecord& fuller, const RecoveredRecord& partial) {
    // Same row, and every value partial knows is fuller's too.
    if (fuller.table != partial.table || !fuller.rowid || fuller.rowid != partial.rowid ||
        fuller.values.size() != partial.values.size())
        return false;
    for (size_t c = 0; c < partial.values.size(); ++c) {
        const bool partialKnows = partial.known.empty() || partial.known[c];
        const bool fullerKnows = fuller.known.empty() || fuller.known[c];
        if (partialKnows && (!fullerKnows || !(fuller.values[c] == partial.values[c])))
            return false;
    }
    return true;
}

void dropCoveredRecords(std::vector<RecoveredRecord>* partials,
                        const std::vector<RecoveredRecord>& fullers) {
    // Fuller records by (table, rowid), then each partial checked against
    // those of its row.
    std::unordered_map<std::string, std::vector<const RecoveredRecord*>> byRow;
    auto rowKey = [](const RecoveredRecord& r) {
        std::string key = r.table;
        key.push_back('\0');
        key += std::to_string(*r.rowid);
        return key;
    };
    for (const RecoveredRecord& fuller : fullers) {
        if (fuller.rowid)
            byRow[rowKey(fuller)].push_back(&fuller);
    }
    auto covered = [&](const RecoveredRecord& partial) {
        if (!partial.rowid)
            return false;
        auto found = byRow.find(rowKey(partial));
        if (found == byRow.end())
            return false;
        return std::any_of(found->second.begin(), found->second.end(),
                           [&](const RecoveredRecord* f) { return recordCovers(*f, partial); });
    };
    partials->erase(std::remove_if(partials->begin(), partials->end(), covered), partials->end());
}

} // namespace fennaro::deep
