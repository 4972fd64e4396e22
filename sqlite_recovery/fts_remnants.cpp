#include "sqlite_recovery/fts_remnants.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/fts_segments.h"
#include "sqlite_recovery/live_tables.h"
#include "sqlite_recovery/page_history.h"
#include "sqlite_recovery/sql_tokens.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

namespace {

// Where a blob was read: the file and offset of its page image.
struct Origin {
    RecordSource source = RecordSource::Main;
    uint32_t page = 0;
    uint64_t offset = 0;
    std::optional<uint32_t> frame;
};

// What the segments say of one document.
struct DocWords {
    std::map<std::pair<uint32_t, uint32_t>, std::string> words; // (column, position) -> term
    bool deletionMarked = false;
    Origin origin;
};

// The position of a table by name, or -1.
int findTable(const std::vector<TableInfo>& tables, const std::string& name) {
    for (size_t i = 0; i < tables.size(); ++i) {
        if (sameName(tables[i].name, name))
            return int(i);
    }
    return -1;
}

// The words of one column of a document, in position order, joined by
// single spaces.
std::string columnText(const DocWords& doc, uint32_t column) {
    std::string text;
    for (auto it = doc.words.lower_bound({column, 0});
         it != doc.words.end() && it->first.first == column; ++it) {
        if (!text.empty())
            text += ' ';
        text += it->second;
    }
    return text;
}

// One full-text table's pass: its segment blobs from every version, the
// documents they hold, and the records of those not live.
class FtsScan {
  public:
    FtsScan(const DatabaseState& state, const std::vector<TableInfo>& tables,
            const FtsTableInfo& fts, const ScanRules& rules, const LiveTables& live)
        : m_state(state), m_files(state.files), m_tables(tables), m_fts(fts), m_rules(rules),
          m_currentTables(live), m_content(findTable(tables, fts.name + "_content")) {}

    // Reads one version of the database: the segdir roots and segment
    // blocks its trees hold.
    void readVersion(const PageReader& snapshot) {
        const std::vector<SchemaEntry> entries =
            readSchemaEntries(snapshot, m_state.usableSize, m_state.textEncoding);
        for (const SchemaEntry& entry : entries) {
            if (entry.type != "table" || entry.rootPage == 0)
                continue;
            if (sameName(entry.name, m_fts.name + "_segdir"))
                readTree(snapshot, entry.rootPage, 6, 5);
            else if (sameName(entry.name, m_fts.name + "_segments"))
                readTree(snapshot, entry.rootPage, 2, 1);
        }
    }

    // Reads every table leaf image of the files that no version's tree
    // reached (pages freed, frames of an earlier WAL generation) for rows
    // shaped like segdir or segments rows. Only for a database with one
    // full-text table: such a page no longer says whose it was, and a blob
    // counts only when it decodes whole as a segment leaf.
    void readLoosePages() {
        const uint32_t pageSize = m_files.pageSize();
        auto read = [&](ByteView view, uint32_t page) {
            BtreeHeader header;
            if (!view.data || !readBtreeHeader(view, page, m_state.usableSize, &header) ||
                header.type != kTableLeafPage || !m_readLeaves.insert(view.data).second)
                return;
            const Origin origin = originOf(view, page);
            std::string payload;
            RecordShape shape;
            std::vector<Value> values;
            // Overflow chains are followed in the current state; the chain
            // checks refuse pages reused since.
            forEachLeafPayload(*m_state.current, view, header, m_state.usableSize, payload,
                               [&](int64_t, const uint8_t* bytes, size_t have) {
                                   if (!parseRecordHeader(bytes, have, 6, &shape) ||
                                       (shape.types.size() != 2 && shape.types.size() != 6))
                                       return;
                                   decodeRecordBody(shape, bytes + shape.headerSize,
                                                    have - shape.headerSize, &values);
                                   readBlob(values.back(), origin);
                               });
        };
        for (uint32_t page = 1; page <= m_files.mainPageCount(); ++page)
            read(m_files.image({FileKind::Main, uint64_t(page - 1) * pageSize, 0}), page);
        for (const WalFrame& frame : m_files.walLog.frames)
            read(m_files.image({FileKind::Wal, frame.imageOffset, frame.number}), frame.page);
        for (const JournalPage& image : m_files.journalLog.pages)
            read(m_files.image({FileKind::Journal, image.imageOffset, 0}), image.page);
    }

    // Takes the carved rows of this table's shadow tables.
    void readCarved(const std::vector<RecoveredRecord>& carved) {
        for (const RecoveredRecord& record : carved) {
            const Origin origin{record.source, record.page, record.offset, record.frame};
            if (sameName(record.table, m_fts.name + "_segdir") && record.values.size() >= 6)
                readBlob(record.values[5], origin);
            else if (sameName(record.table, m_fts.name + "_segments") && record.values.size() >= 2)
                readBlob(record.values[1], origin);
            else if (sameName(record.table, m_fts.name + "_content") && record.rowid)
                m_carvedContent.emplace(*record.rowid, &record);
        }
    }

    // The records of the documents that are not live.
    std::vector<RecoveredRecord> records() {
        std::vector<RecoveredRecord> out;
        for (const auto& [docid, doc] : m_docs) {
            // Without a content table only a deletion mark tells a document gone.
            if (doc.words.empty() || knownLive(docid) || (m_content < 0 && !doc.deletionMarked))
                continue;
            report(docid, doc, &out);
        }
        return out;
    }

  private:
    // True when the current state's content table holds the docid; asked
    // once per docid, so the words of live documents are never kept.
    bool knownLive(int64_t docid) {
        if (m_content < 0)
            return false;
        auto [it, added] = m_live.try_emplace(docid, false);
        if (added)
            it->second = tableHasRowid(*m_state.current, m_tables[size_t(m_content)].rootPage,
                                       m_state.usableSize, docid);
        return it->second;
    }

    // Reads the blob column of every row of a shadow table's b-tree.
    void readTree(const PageReader& snapshot, uint32_t root, size_t columns, size_t blobColumn) {
        VisitMarks marks;
        std::string payload;
        std::vector<Value> values;
        walkBtree(snapshot, root, m_state.usableSize, marks,
                  [&](uint32_t page, ByteView view, const BtreeHeader& header) {
                      // A leaf image an earlier version already gave is not read again.
                      if (header.type != kTableLeafPage || !m_readLeaves.insert(view.data).second)
                          return;
                      const Origin origin = originOf(view, page);
                      RecordShape shape;
                      forEachLeafPayload(snapshot, view, header, m_state.usableSize, payload,
                                         [&](int64_t, const uint8_t* bytes, size_t have) {
                                             if (!parseRecordHeader(bytes, have, columns, &shape) ||
                                                 shape.types.size() <= blobColumn)
                                                 return;
                                             decodeRecordBody(shape, bytes + shape.headerSize,
                                                              have - shape.headerSize, &values);
                                             readBlob(values[blobColumn], origin);
                                         });
                  });
    }

    // Where a page image lies: which file its bytes are mapped from.
    Origin originOf(ByteView view, uint32_t page) const {
        Origin origin;
        origin.page = page;
        const struct {
            const MappedFile& file;
            RecordSource source;
        } files[] = {{m_files.main, RecordSource::Main},
                     {m_files.wal, RecordSource::Wal},
                     {m_files.journal, RecordSource::Journal}};
        for (const auto& f : files) {
            const uint8_t* base = f.file.bytes(0, 0);
            if (base && view.data >= base && view.data < base + f.file.size()) {
                origin.source = f.source;
                origin.offset = uint64_t(view.data - base);
                if (f.source == RecordSource::Wal && m_files.pageSize() != 0)
                    origin.frame = uint32_t((origin.offset - 32) / (m_files.pageSize() + 24) + 1);
            }
        }
        return origin;
    }

    // Decodes a blob as a segment leaf (once per distinct blob) and notes
    // its documents' words and deletion marks.
    void readBlob(const Value& blob, const Origin& origin) {
        if (blob.kind != Value::Kind::Blob || blob.bytes.empty())
            return;
        if (!m_seenBlobs.insert(blob.bytes).second)
            return;
        std::vector<FtsTermDocs> terms;
        if (!decodeSegmentLeaf(reinterpret_cast<const uint8_t*>(blob.bytes.data()),
                               blob.bytes.size(), &terms))
            return;
        for (const FtsTermDocs& term : terms) {
            for (const FtsPosting& posting : term.docs) {
                if (knownLive(posting.docid))
                    continue;
                auto [it, added] = m_docs.try_emplace(posting.docid);
                DocWords& doc = it->second;
                if (added)
                    doc.origin = origin;
                if (posting.positions.empty())
                    doc.deletionMarked = true;
                for (const FtsPosition& at : posting.positions)
                    doc.words.emplace(std::make_pair(at.column, at.position), term.term);
            }
        }
    }

    // The record(s) one document gives: those a caller's rule makes of
    // it, else a row of the full-text table itself.
    void report(int64_t docid, const DocWords& doc, std::vector<RecoveredRecord>* out) const {
        if (m_rules.ftsDocument) {
            const auto carved = m_carvedContent.find(docid);
            const FtsDocument document{m_fts.name,
                                       m_fts.columns,
                                       docid,
                                       doc.words,
                                       carved == m_carvedContent.end() ? nullptr
                                                                       : &carved->second->values,
                                       start({}, 0, doc)};
            if (m_rules.ftsDocument(document, m_currentTables, out))
                return;
        }
        RecoveredRecord record = start(m_fts.name, m_fts.columns.size(), doc);
        record.rowid = docid;
        for (size_t c = 0; c < m_fts.columns.size(); ++c) {
            const std::string text = columnText(doc, uint32_t(c));
            if (text.empty())
                continue;
            record.values[c] = Value::ofText(text);
            record.known[c] = true;
        }
        out->push_back(std::move(record));
    }

    // A record of table with columns values, all unknown, from doc's origin.
    static RecoveredRecord start(const std::string& table, size_t columns, const DocWords& doc) {
        RecoveredRecord record;
        record.table = table;
        record.source = doc.origin.source;
        record.page = doc.origin.page;
        record.offset = doc.origin.offset;
        record.frame = doc.origin.frame;
        record.evidence = RecordEvidence::Fts;
        record.values.assign(columns, Value::null());
        record.known.assign(columns, false);
        return record;
    }

    const DatabaseState& m_state;
    const DatabaseFiles& m_files;
    const std::vector<TableInfo>& m_tables;
    const FtsTableInfo& m_fts;
    const ScanRules& m_rules;
    const LiveTables& m_currentTables;
    std::unordered_set<std::string> m_seenBlobs;
    std::unordered_set<const uint8_t*> m_readLeaves; // leaf images read, by where they are mapped
    std::map<int64_t, DocWords> m_docs;
    const int m_content;                      // the content table, into m_tables, or -1
    std::unordered_map<int64_t, bool> m_live; // docid -> live in the current state
    std::map<int64_t, const RecoveredRecord*> m_carvedContent; // carved content rows by docid
};

} // namespace

std::vector<FtsTableInfo> ftsTables(const std::vector<SchemaEntry>& entries) {
    // CREATE VIRTUAL TABLE name USING fts3|fts4 ( column [type...], option=value, ... )
    std::vector<FtsTableInfo> found;
    for (const SchemaEntry& entry : entries) {
        if (entry.type != "table")
            continue;
        const std::vector<Token> tokens = tokenize(entry.sql);
        size_t i = 0;
        while (i < tokens.size() && !isKeyword(tokens[i], "USING"))
            ++i;
        if (i + 1 >= tokens.size() ||
            !(isKeyword(tokens[i + 1], "FTS3") || isKeyword(tokens[i + 1], "FTS4")))
            continue;
        FtsTableInfo fts;
        fts.name = entry.name;
        if (i + 2 < tokens.size() && isPunct(tokens[i + 2], '(')) {
            // An item "x = y" or one naming the tokenizer is an option,
            // any other names a column.
            for (auto [start, end] : groupItems(tokens, i + 2)) {
                const bool option = start + 1 < end && isPunct(tokens[start + 1], '=');
                if (!option && !isKeyword(tokens[start], "TOKENIZE") &&
                    tokens[start].kind != Token::Kind::Punct)
                    fts.columns.push_back(tokens[start].text);
            }
        }
        if (fts.columns.empty())
            fts.columns.push_back("content");
        found.push_back(std::move(fts));
    }
    return found;
}

std::string FtsDocument::columnText(uint32_t column) const {
    // As the words of the engine's own rows of a full-text table are joined.
    std::string text;
    for (auto it = words.lower_bound({column, 0}); it != words.end() && it->first.first == column;
         ++it) {
        if (!text.empty())
            text += ' ';
        text += it->second;
    }
    return text;
}

std::vector<RecoveredRecord> ftsRemnants(const DatabaseState& state,
                                         const std::vector<TableInfo>& tables,
                                         const std::vector<RecoveredRecord>& carvedFtsRows,
                                         const ScanRules& rules) {
    // Each full-text table over every version: the current state, the main
    // file under it, the state before the journal, each WAL commit.
    if (!state.current)
        return {};
    Snapshot mainFile(state.files, state.files.mainPageCount());
    std::vector<SchemaEntry> entries =
        readSchemaEntries(*state.current, state.usableSize, state.textEncoding);
    if (entries.empty())
        entries = readSchemaEntries(mainFile, state.usableSize, state.textEncoding);
    const std::vector<FtsTableInfo> fts = ftsTables(entries);
    if (fts.empty())
        return {};
    Snapshot beforeJournal(state.files, state.files.mainPageCount());
    uint32_t journalPages = state.files.mainPageCount();
    for (auto it = state.files.journalLog.pages.rbegin(); it != state.files.journalLog.pages.rend();
         ++it) {
        beforeJournal.place(it->page, {FileKind::Journal, it->imageOffset, 0});
        journalPages = std::max(journalPages, it->page);
    }
    beforeJournal.setPageCount(journalPages);
    std::vector<RecoveredRecord> records;
    const CurrentTables live(state, tables);
    for (const FtsTableInfo& table : fts) {
        FtsScan scan(state, tables, table, rules, live);
        scan.readVersion(*state.current);
        if (state.current->hasOverlay())
            scan.readVersion(mainFile);
        if (!state.files.journalLog.pages.empty())
            scan.readVersion(beforeJournal);
        const std::vector<WalFrame>& frames = state.files.walLog.frames;
        if (!frames.empty()) {
            WalFrameReader reader(state.files, mainFile);
            size_t last = frames.size();
            for (size_t i = 0; i < frames.size(); ++i) {
                if (reader.commitOf(i) == last)
                    continue;
                last = reader.commitOf(i);
                reader.standAt(i);
                scan.readVersion(reader);
            }
        }
        if (fts.size() == 1)
            scan.readLoosePages();
        scan.readCarved(carvedFtsRows);
        for (RecoveredRecord& record : scan.records())
            records.push_back(std::move(record));
    }
    return records;
}

} // namespace fennaro::deep
