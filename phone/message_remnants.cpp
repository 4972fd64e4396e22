#include "phone/message_remnants.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "phone/table_names.h"

namespace fennaro::phone {

using deep::FtsDocument;
using deep::RecordEvidence;
using deep::RecoveredRecord;
using deep::TableColumns;
using deep::Value;

namespace {

// The messages' index files an MMS text part with _id (2 << 32) + part _id.
constexpr int64_t kMmsPartDocBase = int64_t(2) << 32;

// Returns whether a docid of the messages' index is an MMS text part's: only
// when whoever wrote the index gave the docid as the _id, as the providers
// do not (the index numbers its documents itself).
bool isMmsPartDoc(int64_t docid) {
    return docid >= kMmsPartDocBase;
}

// The whole number a text spells, when it is only digits (at most 18).
std::optional<int64_t> digitsValue(const std::string& text) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(text);
}

// The whole number one column of a document spells, when it does.
std::optional<int64_t> columnNumber(const FtsDocument& doc, int column) {
    if (column < 0)
        return std::nullopt;
    return digitsValue(doc.columnText(uint32_t(column)));
}

// Returns whether a document of the messages' index is an MMS text part's:
// its table_to_use is 2 or its _id is (2 << 32) + part _id, as its words
// say; only when neither column's word survived, by its docid.
bool isMmsPartDocument(const FtsDocument& doc, int idColumn, int tableColumn) {
    if (const auto table = columnNumber(doc, tableColumn))
        return *table == 2;
    if (const auto id = columnNumber(doc, idColumn))
        return *id >= kMmsPartDocBase;
    return isMmsPartDoc(doc.docid);
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

// Returns whether a document of the messages' index is an MMS text
// part's: by its carved content row's table_to_use or _id where those
// survive, else by the words of those columns.
bool isMmsPart(const FtsDocument& doc) {
    const int idColumn = findName(doc.columns, "_id");
    const int tableColumn = findName(doc.columns, "table_to_use");
    if (doc.content) {
        const std::vector<Value>& values = *doc.content;
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
    return isMmsPartDocument(doc, idColumn, tableColumn);
}

// True when the current state's sms table holds message id with this
// body: the index dropped an older document of a message that is still
// there (re-indexed under a new docid), not a deleted one. A body from
// the index is compared as the tokenizer would index the live one.
bool liveMessage(const deep::LiveTables& live, const TableColumns& sms, int64_t id, int bodyColumn,
                 const std::string& body, bool exact) {
    Value value;
    if (!live.liveValue(sms.table, id, bodyColumn, &value) || value.kind != Value::Kind::Text)
        return false;
    return exact ? value.bytes == body : asIndexed(value.bytes) == body;
}

// A message of the messages' index: its sms _id and body.
void reportMessage(const FtsDocument& doc, const deep::LiveTables& live, uint32_t textColumn,
                   uint32_t sourceColumn, const TableColumns& sms, const char* bodyName,
                   std::vector<RecoveredRecord>* out) {
    const int idColumn = findName(sms.columns, "_id");
    const int bodyColumn = findName(sms.columns, bodyName);
    if (idColumn < 0 || bodyColumn < 0)
        return;
    // The content row says it exactly when it was carved; else the
    // words the index kept.
    std::optional<int64_t> id;
    std::string body;
    bool haveBody = false;
    if (doc.content) {
        const std::vector<Value>& values = *doc.content;
        const size_t text = 1 + textColumn, source = 1 + sourceColumn;
        if (source < values.size() && values[source].kind == Value::Kind::Integer)
            id = values[source].integer;
        if (text < values.size() && values[text].kind == Value::Kind::Text) {
            body = values[text].bytes;
            haveBody = true;
        }
    }
    if (!id) {
        const std::string source = doc.columnText(sourceColumn);
        id = digitsValue(source);
    }
    // Then its _id, which for an MMS text part counts from 2 << 32; the
    // docid last, which is the _id only where the index was given it.
    const bool mmsPart = isMmsPart(doc);
    if (!id) {
        if (const auto own = columnNumber(doc, findName(doc.columns, "_id")))
            id = mmsPart && *own >= kMmsPartDocBase ? *own - kMmsPartDocBase : *own;
    }
    if (!id)
        id = mmsPart && isMmsPartDoc(doc.docid) ? doc.docid - kMmsPartDocBase : doc.docid;
    if (!haveBody)
        body = doc.columnText(textColumn);
    if (body.empty() || liveMessage(live, sms, *id, bodyColumn, body, haveBody))
        return;
    RecoveredRecord record = doc.place;
    record.table = sms.table;
    record.values.assign(sms.columns.size(), Value::null());
    record.known.assign(sms.columns.size(), false);
    record.rowid = *id;
    record.values[size_t(idColumn)] = Value::ofInteger(*id);
    record.known[size_t(idColumn)] = true;
    record.values[size_t(bodyColumn)] = Value::ofText(body);
    record.known[size_t(bodyColumn)] = true;
    out->push_back(std::move(record));
}

// Whether the record knows column c.
bool knows(const RecoveredRecord& r, size_t c) {
    return r.known.empty() || (c < r.known.size() && r.known[c]);
}

} // namespace

bool messageFromIndex(const FtsDocument& document, const deep::LiveTables& live,
                      std::vector<RecoveredRecord>* out) {
    // The messages' index holds MMS text parts too: those are rows of
    // part, never of sms.
    if (!sameName(document.table, "words"))
        return false;
    const int textColumn = findName(document.columns, "index_text");
    const int sourceColumn = findName(document.columns, "source_id");
    const bool mmsPart = isMmsPart(document);
    const TableColumns* target = findTable(live.tables(), mmsPart ? "part" : "sms");
    if (textColumn >= 0 && sourceColumn >= 0 && target) {
        reportMessage(document, live, uint32_t(textColumn), uint32_t(sourceColumn), *target,
                      mmsPart ? "text" : "body", out);
        return true;
    }
    return mmsPart;
}

std::vector<RecoveredRecord> smsFromWordsContent(const std::vector<RecoveredRecord>& carved,
                                                 const TableColumns& sms) {
    // words_content(docid, c0_id, c1index_text, c2source_id, c3table_to_use).
    std::vector<RecoveredRecord> out;
    const int idColumn = findName(sms.columns, "_id");
    const int bodyColumn = findName(sms.columns, "body");
    if (idColumn < 0 || bodyColumn < 0)
        return out;
    for (const RecoveredRecord& record : carved) {
        if (!sameName(record.table, "words_content") || record.values.size() < 4)
            continue;
        const Value& text = record.values[2];
        const Value& source = record.values[3];
        auto knowsColumn = [&](size_t c) { return record.known.empty() || record.known[c]; };
        // An MMS text part's row (table_to_use 2, _id from 2 << 32 on) is no SMS.
        const bool mmsPart =
            (record.rowid && isMmsPartDoc(*record.rowid)) ||
            (record.values.size() > 4 && knowsColumn(4) &&
             record.values[4].kind == Value::Kind::Integer && record.values[4].integer == 2) ||
            (knowsColumn(1) && record.values[1].kind == Value::Kind::Integer &&
             record.values[1].integer >= kMmsPartDocBase);
        if (mmsPart)
            continue;
        if (!knowsColumn(2) || !knowsColumn(3) || text.kind != Value::Kind::Text ||
            text.bytes.empty() || source.kind != Value::Kind::Integer)
            continue;
        RecoveredRecord message = record;
        message.table = sms.table;
        message.rowid = source.integer;
        message.evidence = RecordEvidence::Fts;
        message.values.assign(sms.columns.size(), Value::null());
        message.known.assign(sms.columns.size(), false);
        message.values[size_t(idColumn)] = Value::ofInteger(source.integer);
        message.known[size_t(idColumn)] = true;
        message.values[size_t(bodyColumn)] = text;
        message.known[size_t(bodyColumn)] = true;
        out.push_back(std::move(message));
    }
    return out;
}

std::vector<RecoveredRecord> snippetRemnants(const std::vector<RecoveredRecord>& carved,
                                             const TableColumns& threads, const TableColumns& sms) {
    // Columns by name, as both tables' layouts differ between releases.
    auto column = [](const TableColumns& table, const char* name) {
        for (size_t i = 0; i < table.columns.size(); ++i) {
            if (table.columns[i] == name)
                return int(i);
        }
        return -1;
    };
    const int snippet = column(threads, "snippet"), date = column(threads, "date");
    const int threadId = column(sms, "thread_id"), smsDate = column(sms, "date"),
              body = column(sms, "body");
    std::vector<RecoveredRecord> out;
    if (snippet < 0 || threadId < 0 || body < 0)
        return out;
    for (const RecoveredRecord& r : carved) {
        if (r.table != threads.table || size_t(snippet) >= r.values.size() ||
            r.values[size_t(snippet)].kind != Value::Kind::Text ||
            r.values[size_t(snippet)].bytes.empty() || !knows(r, size_t(snippet)))
            continue;
        RecoveredRecord message;
        message.table = sms.table;
        message.source = r.source;
        message.page = r.page;
        message.offset = r.offset;
        message.frame = r.frame;
        message.evidence = RecordEvidence::Remnant;
        message.values.assign(sms.columns.size(), Value::null());
        message.known.assign(sms.columns.size(), false);
        message.values[size_t(body)] = r.values[size_t(snippet)];
        message.known[size_t(body)] = true;
        if (r.rowid) {
            message.values[size_t(threadId)] = Value::ofInteger(*r.rowid);
            message.known[size_t(threadId)] = true;
        }
        if (date >= 0 && smsDate >= 0 && size_t(date) < r.values.size() && knows(r, size_t(date)) &&
            r.values[size_t(date)].kind == Value::Kind::Integer) {
            message.values[size_t(smsDate)] = r.values[size_t(date)];
            message.known[size_t(smsDate)] = true;
        }
        out.push_back(std::move(message));
    }
    return out;
}

void dropLiveSnippets(const deep::LiveTables& live, const std::string& threads,
                      const TableColumns& sms, std::vector<RecoveredRecord>* rows) {
    // By the thread each row names.
    int threadColumn = -1;
    for (size_t i = 0; i < sms.columns.size(); ++i) {
        if (sms.columns[i] == "thread_id")
            threadColumn = int(i);
    }
    std::erase_if(*rows, [&](const RecoveredRecord& r) {
        if (threadColumn < 0)
            return true;
        const Value& thread = r.values[size_t(threadColumn)];
        return thread.kind != Value::Kind::Integer || live.hasRowid(threads, thread.integer);
    });
}

} // namespace fennaro::phone
