#include "fts_remnants.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "btree_page.h"
#include "fts_segments.h"
#include "page_history.h"
#include "sql_tokens.h"
#include "table_rows.h"

namespace fennaro::deep {

namespace {

// The messages' index files an MMS text part with _id (2 << 32) + part _id.
constexpr int64_t kMmsPartDocBase = int64_t(2) << 32;

// Returns whether a docid of the messages' index is an MMS text part's: only
// when whoever wrote the index gave the docid as the _id, as the providers
// do not (the index numbers its documents itself).
bool isMmsPartDoc(int64_t docid) {
    return docid >= kMmsPartDocBase;
}

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

// The position of a column by name, or -1.
int findColumn(const std::vector<std::string>& columns, std::string_view name) {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (sameName(columns[i], name))
            return int(i);
    }
    return -1;
}

// The names of a table's columns.
std::vector<std::string> columnNames(const TableInfo& table) {
    std::vector<std::string> names;
    for (const ColumnInfo& column : table.columns)
        names.push_back(column.name);
    return names;
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

// The whole number a text spells, when it is only digits (at most 18).
std::optional<int64_t> digitsValue(const std::string& text) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(text);
}

// The whole number one column of a document spells, when it does.
std::optional<int64_t> columnNumber(const DocWords& doc, int column) {
    if (column < 0)
        return std::nullopt;
    return digitsValue(columnText(doc, uint32_t(column)));
}

// Returns whether a document of the messages' index is an MMS text part's:
// its table_to_use is 2 or its _id is (2 << 32) + part _id, as its words
// say; only when neither column's word survived, by its docid.
bool isMmsPartDocument(int64_t docid, const DocWords& doc, int idColumn, int tableColumn) {
    if (const auto table = columnNumber(doc, tableColumn))
        return *table == 2;
    if (const auto id = columnNumber(doc, idColumn))
        return *id >= kMmsPartDocBase;
    return isMmsPartDoc(docid);
}

// A text as the simple tokenizer indexes it: runs of ASCII letters and
// digits and of non-ASCII bytes, ASCII lower-cased, joined by single spaces.
std::string asIndexed(const std::string& text) {
    std::string out, word;
    for (char c : text + " ") {
        const auto u = uint8_t(c);
        if (u >= 0x80 || std::isalnum(u)) {
            word += char(std::tolower(u));
        } else if (!word.empty()) {
            out += (out.empty() ? "" : " ") + word;
            word.clear();
        }
    }
    return out;
}

// What a word of the contacts' index is: 'n' a number, 'e' an e-mail
// address, 'a' a name, 0 nothing to report.
char wordKind(const std::string& word) {
    if (word.find('@') != std::string::npos)
        return 'e';
    const size_t digits = size_t(
        std::count_if(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }));
    if (digits >= 3 && digits + 1 >= word.size())
        return 'n';
    const bool letter = std::any_of(word.begin(), word.end(), [](char c) {
        const auto u = uint8_t(c);
        return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
    });
    return letter ? 'a' : 0;
}

// One full-text table's pass: its segment blobs from every version, the
// documents they hold, and the records of those not live.
class FtsScan {
  public:
    FtsScan(const DatabaseState& state, const std::vector<TableInfo>& tables,
            const FtsTableInfo& fts)
        : m_state(state), m_files(state.files), m_tables(tables), m_fts(fts),
          m_content(findTable(tables, fts.name + "_content")) {}

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

    // The record(s) one document gives, by which index it is.
    void report(int64_t docid, const DocWords& doc, std::vector<RecoveredRecord>* out) const {
        const int textColumn = findColumn(m_fts.columns, "index_text");
        const int sourceColumn = findColumn(m_fts.columns, "source_id");
        // The messages' index holds MMS text parts too: those are rows of
        // part, never of sms.
        const bool mmsPart = isMmsPart(docid, doc);
        const int target = findTable(m_tables, mmsPart ? "part" : "sms");
        if (sameName(m_fts.name, "words") && textColumn >= 0 && sourceColumn >= 0 && target >= 0) {
            reportMessage(docid, doc, uint32_t(textColumn), uint32_t(sourceColumn),
                          m_tables[size_t(target)], mmsPart ? "text" : "body", out);
            return;
        }
        if (sameName(m_fts.name, "words") && mmsPart)
            return;
        const int data = findTable(m_tables, "data");
        if (sameName(m_fts.name, "search_index") && data >= 0) {
            reportContact(docid, doc, m_tables[size_t(data)], out);
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

    // Returns whether a document of the messages' index is an MMS text
    // part's: by its carved content row's table_to_use or _id where those
    // survive, else by the words of those columns.
    bool isMmsPart(int64_t docid, const DocWords& doc) const {
        const int idColumn = findColumn(m_fts.columns, "_id");
        const int tableColumn = findColumn(m_fts.columns, "table_to_use");
        if (const auto carved = m_carvedContent.find(docid); carved != m_carvedContent.end()) {
            const std::vector<Value>& values = carved->second->values;
            const auto integerAt = [&](int column) -> std::optional<int64_t> {
                if (column < 0 || size_t(column) + 1 >= values.size() ||
                    values[size_t(column) + 1].kind != Value::Kind::Integer)
                    return std::nullopt;
                return values[size_t(column) + 1].integer;
            };
            if (const auto table = integerAt(tableColumn))
                return *table == 2;
            if (const auto id = integerAt(idColumn))
                return *id >= kMmsPartDocBase;
        }
        return isMmsPartDocument(docid, doc, idColumn, tableColumn);
    }

    // A message of the messages' index: its sms _id and body.
    void reportMessage(int64_t docid, const DocWords& doc, uint32_t textColumn,
                       uint32_t sourceColumn, const TableInfo& sms, const char* bodyName,
                       std::vector<RecoveredRecord>* out) const {
        const std::vector<std::string> names = columnNames(sms);
        const int idColumn = findColumn(names, "_id");
        const int bodyColumn = findColumn(names, bodyName);
        if (idColumn < 0 || bodyColumn < 0)
            return;
        // The content row says it exactly when it was carved; else the
        // words the index kept.
        std::optional<int64_t> id;
        std::string body;
        bool haveBody = false;
        auto carved = m_carvedContent.find(docid);
        if (carved != m_carvedContent.end()) {
            const std::vector<Value>& values = carved->second->values;
            const size_t text = 1 + textColumn, source = 1 + sourceColumn;
            if (source < values.size() && values[source].kind == Value::Kind::Integer)
                id = values[source].integer;
            if (text < values.size() && values[text].kind == Value::Kind::Text) {
                body = values[text].bytes;
                haveBody = true;
            }
        }
        if (!id) {
            const std::string source = columnText(doc, sourceColumn);
            id = digitsValue(source);
        }
        // Then its _id, which for an MMS text part counts from 2 << 32; the
        // docid last, which is the _id only where the index was given it.
        const bool mmsPart = isMmsPart(docid, doc);
        if (!id) {
            if (const auto own = columnNumber(doc, findColumn(m_fts.columns, "_id")))
                id = mmsPart && *own >= kMmsPartDocBase ? *own - kMmsPartDocBase : *own;
        }
        if (!id)
            id = mmsPart && isMmsPartDoc(docid) ? docid - kMmsPartDocBase : docid;
        if (!haveBody)
            body = columnText(doc, textColumn);
        if (body.empty() || liveMessage(sms, *id, bodyColumn, body, haveBody))
            return;
        RecoveredRecord record = start(sms.name, sms.columns.size(), doc);
        record.rowid = *id;
        record.values[size_t(idColumn)] = Value::ofInteger(*id);
        record.known[size_t(idColumn)] = true;
        record.values[size_t(bodyColumn)] = Value::ofText(body);
        record.known[size_t(bodyColumn)] = true;
        out->push_back(std::move(record));
    }

    // True when the current state's sms table holds message id with this
    // body: the index dropped an older document of a message that is still
    // there (re-indexed under a new docid), not a deleted one. A body from
    // the index is compared as the tokenizer would index the live one.
    bool liveMessage(const TableInfo& sms, int64_t id, int bodyColumn, const std::string& body,
                     bool exact) const {
        ByteView leaf;
        LeafCell cell;
        if (!findTableRow(*m_state.current, sms.rootPage, m_state.usableSize, id, &leaf, &cell))
            return false;
        std::string payload;
        const uint8_t* bytes = leaf.data + cell.payloadOffset;
        size_t have = size_t(cell.payloadSize);
        if (cell.payloadSize > cell.localSize) {
            have = readPayload(leaf, cell.payloadOffset, cell.payloadSize, m_state.usableSize,
                               m_state.current.get(), &payload);
            bytes = reinterpret_cast<const uint8_t*>(payload.data());
        }
        std::vector<Value> values;
        if (!pickColumns(sms, bytes, have, id, m_state.textEncoding, {bodyColumn}, &values) ||
            values.empty() || values[0].kind != Value::Kind::Text)
            return false;
        return exact ? values[0].bytes == body : asIndexed(values[0].bytes) == body;
    }

    // The contacts' index: one data row per name, number or address word
    // of the name and content columns.
    void reportContact(int64_t docid, const DocWords& doc, const TableInfo& data,
                       std::vector<RecoveredRecord>* out) const {
        const std::vector<std::string> names = columnNames(data);
        const int contactColumn = findColumn(names, "raw_contact_id");
        const int valueColumn = findColumn(names, "data1");
        if (contactColumn < 0 || valueColumn < 0)
            return;
        std::set<std::string> done;
        for (const char* column : {"name", "content"}) {
            const int c = findColumn(m_fts.columns, column);
            if (c < 0)
                continue;
            for (auto it = doc.words.lower_bound({uint32_t(c), 0});
                 it != doc.words.end() && it->first.first == uint32_t(c); ++it) {
                if (wordKind(it->second) == 0 || !done.insert(it->second).second)
                    continue;
                RecoveredRecord record = start(data.name, data.columns.size(), doc);
                record.values[size_t(contactColumn)] = Value::ofInteger(docid);
                record.known[size_t(contactColumn)] = true;
                record.values[size_t(valueColumn)] = Value::ofText(it->second);
                record.known[size_t(valueColumn)] = true;
                out->push_back(std::move(record));
            }
        }
    }

    const DatabaseState& m_state;
    const DatabaseFiles& m_files;
    const std::vector<TableInfo>& m_tables;
    const FtsTableInfo& m_fts;
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

std::vector<RecoveredRecord> ftsRemnants(const DatabaseState& state,
                                         const std::vector<TableInfo>& tables,
                                         const std::vector<RecoveredRecord>& carvedFtsRows) {
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
    for (const FtsTableInfo& table : fts) {
        FtsScan scan(state, tables, table);
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

std::vector<RecoveredRecord> smsFromWordsContent(const std::vector<RecoveredRecord>& carved,
                                                 const TableInfo& smsTable) {
    // words_content(docid, c0_id, c1index_text, c2source_id, c3table_to_use).
    std::vector<RecoveredRecord> out;
    const std::vector<std::string> names = columnNames(smsTable);
    const int idColumn = findColumn(names, "_id");
    const int bodyColumn = findColumn(names, "body");
    if (idColumn < 0 || bodyColumn < 0)
        return out;
    for (const RecoveredRecord& record : carved) {
        if (!sameName(record.table, "words_content") || record.values.size() < 4)
            continue;
        const Value& text = record.values[2];
        const Value& source = record.values[3];
        auto knows = [&](size_t c) { return record.known.empty() || record.known[c]; };
        // An MMS text part's row (table_to_use 2, _id from 2 << 32 on) is no SMS.
        const bool mmsPart =
            (record.rowid && isMmsPartDoc(*record.rowid)) ||
            (record.values.size() > 4 && knows(4) &&
             record.values[4].kind == Value::Kind::Integer && record.values[4].integer == 2) ||
            (knows(1) && record.values[1].kind == Value::Kind::Integer &&
             record.values[1].integer >= kMmsPartDocBase);
        if (mmsPart)
            continue;
        if (!knows(2) || !knows(3) || text.kind != Value::Kind::Text || text.bytes.empty() ||
            source.kind != Value::Kind::Integer)
            continue;
        RecoveredRecord sms = record;
        sms.table = smsTable.name;
        sms.rowid = source.integer;
        sms.evidence = RecordEvidence::Fts;
        sms.values.assign(smsTable.columns.size(), Value::null());
        sms.known.assign(smsTable.columns.size(), false);
        sms.values[size_t(idColumn)] = Value::ofInteger(source.integer);
        sms.known[size_t(idColumn)] = true;
        sms.values[size_t(bodyColumn)] = text;
        sms.known[size_t(bodyColumn)] = true;
        out.push_back(std::move(sms));
    }
    return out;
}

} // namespace fennaro::deep
