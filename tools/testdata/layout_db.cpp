#include "layout_db.h"

#include "android_schema.h"
#include "layout_content.h"
#include "layout_writer.h"
#include "phone_numbers.h"
#include "sqlite_util.h"

#include <algorithm>
#include <cctype>

namespace testdata {

namespace {

const std::vector<std::pair<Layout, const char*>> kNames = {
    {Layout::SmallContacts, "small-contacts"},
    {Layout::SmallMessages, "small-messages"},
    {Layout::NoRowidAlias, "no-rowid-alias"},
    {Layout::OnlyIntegers, "only-integers"},
    {Layout::OnlyReals, "only-reals"},
    {Layout::SharedPages, "shared-pages"},
    {Layout::AdjacentDeletes, "adjacent-deletes"},
    {Layout::EmptiedPages, "emptied-pages"},
    {Layout::DropTable, "drop-table"},
    {Layout::DeleteThenDrop, "delete-then-drop"},
    {Layout::DropVacuumed, "drop-vacuumed"},
    {Layout::Overflow, "overflow"},
    {Layout::FullText, "full-text"},
    {Layout::Indexed, "indexed"},
    {Layout::Altered, "altered"},
    {Layout::WalRestarted, "wal-restarted"},
    {Layout::JournalDelete, "journal-delete"},
    {Layout::JournalPersist, "journal-persist"},
    {Layout::Utf16le, "utf16le"},
    {Layout::Utf16be, "utf16be"},
    {Layout::SecureDelete, "secure-delete"},
    {Layout::Churn, "churn"},
    {Layout::SparseRows, "sparse-rows"},
    {Layout::StaleIndex, "stale-index"},
    {Layout::AlteredSms, "altered-sms"},
};

using namespace layout;

// A random share of `rowids`, in random order.
std::vector<int64_t> someOf(std::vector<int64_t> rowids, double share, RandomSource& rng) {
    rng.shuffle(rowids);
    rowids.resize(static_cast<size_t>(double(rowids.size()) * share));
    return rowids;
}

// `a` then `b`.
std::vector<int64_t> joined(std::vector<int64_t> a, const std::vector<int64_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The file settings of `spec`.
FileSettings settingsOf(const LayoutSpec& spec) {
    FileSettings s;
    s.pageSize = spec.pageSize;
    switch (spec.layout) {
    case Layout::DropVacuumed:
        s.autoVacuum = true;
        break;
    case Layout::WalRestarted:
        s.journal = JournalMode::Wal;
        break;
    case Layout::StaleIndex:
        s.journal = JournalMode::Wal;
        s.secureDelete = true;
        s.autoVacuum = true;
        break;
    case Layout::JournalPersist:
        s.journal = JournalMode::Persist;
        break;
    case Layout::Utf16le:
        s.encoding = "UTF-16le";
        break;
    case Layout::Utf16be:
        s.encoding = "UTF-16be";
        break;
    case Layout::SecureDelete:
        s.secureDelete = true;
        break;
    default:
        break;
    }
    if (spec.secureDelete)
        s.secureDelete = *spec.secureDelete;
    return s;
}

// Contact-like tables of short rows: `people` raw contacts, each with a name
// and a number, some with an e-mail (about 2.5 data rows each). Returns the
// raw contact ids.
std::vector<int64_t> writeContacts(LayoutWriter& w, RandomSource& rng, int people) {
    w.exec("CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT, display_name TEXT,"
           " starred INTEGER NOT NULL DEFAULT 0, deleted INTEGER NOT NULL DEFAULT 0);"
           "CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT, raw_contact_id INTEGER"
           " NOT NULL, mimetype_id INTEGER NOT NULL, is_primary INTEGER NOT NULL DEFAULT 0,"
           " data1 TEXT, data2 TEXT, data3 TEXT)");
    w.noteSchema();
    std::vector<SqlRow> contacts;
    std::vector<std::string> names;
    for (int i = 0; i < people; ++i) {
        names.push_back(personName(rng));
        contacts.push_back({text(names.back()), integer(rng.chance(0.2) ? 1 : 0)});
    }
    const std::vector<int64_t> ids =
        w.insert("raw_contacts", {"display_name", "starred"}, contacts);
    std::vector<SqlRow> rows;
    for (size_t i = 0; i < ids.size(); ++i) {
        const std::string first = names[i].substr(0, names[i].find(' '));
        const std::string last = names[i].substr(names[i].find(' ') + 1);
        rows.push_back(
            {integer(ids[i]), integer(7), integer(0), text(names[i]), text(first), text(last)});
        rows.push_back({integer(ids[i]), integer(5), integer(rng.chance(0.5) ? 1 : 0),
                        text(phoneNumber(rng)), text(std::to_string(rng.between(1, 3))), null()});
        if (rng.chance(0.5))
            rows.push_back({integer(ids[i]), integer(1), integer(0), text(emailAddress(rng)),
                            text("1"), null()});
    }
    w.insert("data", {"raw_contact_id", "mimetype_id", "is_primary", "data1", "data2", "data3"},
             rows);
    return ids;
}

// Deletes some raw contacts with their data rows, then single data rows.
void deleteContacts(LayoutWriter& w, RandomSource& rng, const std::vector<int64_t>& people) {
    for (int64_t id : someOf(people, 0.15, rng))
        w.removeBySql("DELETE FROM data WHERE raw_contact_id = " + std::to_string(id) +
                      "; DELETE FROM raw_contacts WHERE _id = " + std::to_string(id));
    std::vector<int64_t> data;
    Statement st(w.db(), "SELECT _id FROM data");
    while (st.step())
        data.push_back(st.columnInt(0));
    w.remove("data", someOf(data, 0.15, rng));
}

// An sms table of `count` short messages (a few words, or Chinese). Returns their ids.
std::vector<int64_t> writeMessages(LayoutWriter& w, RandomSource& rng, int count,
                                   const std::string& table = "sms") {
    w.exec("CREATE TABLE " + table +
           " (_id INTEGER PRIMARY KEY, thread_id INTEGER, address TEXT, date INTEGER,"
           " type INTEGER, read INTEGER DEFAULT 0, body TEXT)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(
            {integer(rng.between(1, 9)), text(phoneNumber(rng)), integer(dateMs(rng)),
             integer(rng.between(1, 2)), integer(rng.chance(0.8) ? 1 : 0),
             text(rng.chance(0.7) ? latinBody(rng, static_cast<int>(rng.between(1, 7)))
                                  : chineseBody(rng, static_cast<int>(rng.between(2, 9))))});
    return w.insert(table, {"thread_id", "address", "date", "type", "read", "body"}, rows);
}

// Short contacts, rowids under 128 (also the UTF-16 files).
void smallContacts(LayoutWriter& w, RandomSource& rng) {
    const std::vector<int64_t> people = writeContacts(w, rng, 40);
    w.startJournaling();
    deleteContacts(w, rng, people);
}

// Short messages, rowids under 128, deleted one or two a transaction.
void smallMessages(LayoutWriter& w, RandomSource& rng) {
    const std::vector<int64_t> ids = writeMessages(w, rng, 120);
    w.startJournaling();
    w.remove("sms", someOf(ids, 0.25, rng), 2);
}

// Integers only, no INTEGER PRIMARY KEY: the rowid is SQLite's own.
void noRowidAlias(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE t (id INT, a INT, b INT, c INT, d INT)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 1; i <= 120; ++i)
        rows.push_back({integer(i), integer(rng.between(2, 100000)), integer(rng.between(0, 9)),
                        integer(-rng.between(1, 300)), integer(dateMs(rng) / 1000)});
    const std::vector<int64_t> ids = w.insert("t", {"id", "a", "b", "c", "d"}, rows);
    w.startJournaling();
    w.remove("t", someOf(ids, 0.25, rng));
}

// Integers of every width under an INTEGER PRIMARY KEY, rowids past 127.
void onlyIntegers(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE counts (_id INTEGER PRIMARY KEY, a INTEGER, b INTEGER, c INTEGER,"
           " e INTEGER)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back({integer(i + 2), integer(rng.between(0, 1)),
                        integer(rng.between(-40000, 40000)), integer(dateMs(rng))});
    const std::vector<int64_t> ids = w.insert("counts", {"a", "b", "c", "e"}, rows);
    w.startJournaling();
    w.remove("counts", someOf(ids, 0.25, rng), 3);
}

// Reals only, fractional and integral, no INTEGER PRIMARY KEY.
void onlyReals(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE points (x REAL, y REAL, z REAL)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 0; i < 150; ++i)
        rows.push_back({real(40 + rng.unit() * 20), real(-10 + rng.unit() * 30),
                        real(rng.chance(0.3) ? double(rng.between(2, 3000)) : rng.unit() * 900)});
    const std::vector<int64_t> ids = w.insert("points", {"x", "y", "z"}, rows);
    w.startJournaling();
    w.remove("points", someOf(ids, 0.25, rng), 2);
}

// Two tables written in turns, so their leaves share the page range.
void sharedPages(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE calls (_id INTEGER PRIMARY KEY, number TEXT, date INTEGER,"
           " duration INTEGER, type INTEGER);"
           "CREATE TABLE notes (_id INTEGER PRIMARY KEY, title TEXT, body TEXT)");
    w.noteSchema();
    std::vector<int64_t> calls, notes;
    for (int i = 0; i < 110; ++i) {
        calls.push_back(w.insert("calls", {"number", "date", "duration", "type"},
                                 {{text(phoneNumber(rng)), integer(dateMs(rng)),
                                   integer(rng.between(0, 3600)), integer(rng.between(1, 3))}})
                            .front());
        notes.push_back(w.insert("notes", {"title", "body"},
                                 {{text(latinBody(rng, 2)),
                                   text(latinBody(rng, static_cast<int>(rng.between(3, 9))))}})
                            .front());
    }
    w.startJournaling();
    const std::vector<int64_t> goneCalls = someOf(calls, 0.25, rng);
    const std::vector<int64_t> goneNotes = someOf(notes, 0.25, rng);
    for (size_t i = 0; i < goneCalls.size(); ++i) {
        w.remove("calls", {goneCalls[i]});
        if (i < goneNotes.size())
            w.remove("notes", {goneNotes[i]});
    }
}

// Runs of neighbouring rows deleted: their cells merge into one freeblock.
void adjacentDeletes(LayoutWriter& w, RandomSource& rng) {
    const std::vector<int64_t> ids = writeMessages(w, rng, 150);
    w.startJournaling();
    for (size_t start = 4; start + 5 < ids.size(); start += 14 + rng.below(6)) {
        const size_t run = 2 + rng.below(4);
        const std::vector<int64_t> group(ids.begin() + long(start),
                                         ids.begin() + long(start + run));
        // Half the runs go in one transaction, half one row after the other.
        w.remove("sms", group, rng.chance(0.5) ? run : 1);
    }
}

// Every row of some leaf pages deleted: pages left without cells or freed.
void emptiedPages(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE log (_id INTEGER PRIMARY KEY, tag TEXT, value INTEGER, at INTEGER);"
           "CREATE TABLE single (_id INTEGER PRIMARY KEY, note TEXT)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 0; i < 400; ++i)
        rows.push_back(
            {text(latinBody(rng, 2)), integer(rng.between(2, 90000)), integer(dateMs(rng))});
    w.insert("log", {"tag", "value", "at"}, rows);
    std::vector<SqlRow> notes;
    for (int i = 0; i < 6; ++i)
        notes.push_back({text(latinBody(rng, 3))});
    const std::vector<int64_t> single = w.insert("single", {"note"}, notes);
    w.startJournaling();
    std::vector<std::vector<int64_t>> leaves = w.rowidsByLeaf("log");
    // A page emptied in one transaction, another row by row, a third in halves.
    if (!leaves.empty())
        w.remove("log", leaves[leaves.size() / 2], leaves[leaves.size() / 2].size());
    if (leaves.size() > 2)
        w.remove("log", leaves[1]);
    if (leaves.size() > 3)
        w.remove("log", leaves.back(), (leaves.back().size() + 1) / 2);
    // The only page of a table: the root keeps no cell.
    w.remove("single", single, 2);
}

// A table of `count` short people rows (name, number, label). Returns their ids.
std::vector<int64_t> writePeople(LayoutWriter& w, RandomSource& rng, int count,
                                 const std::string& table) {
    w.exec("CREATE TABLE " + table +
           " (_id INTEGER PRIMARY KEY, name TEXT, number TEXT, label TEXT)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({text(personName(rng)), text(phoneNumber(rng)), text(latinBody(rng, 1))});
    return w.insert(table, {"name", "number", "label"}, rows);
}

// Two tables, one of them dropped. Without `deleteFirst` they have the same
// columns (as when a table is rebuilt under a new name and the old one
// dropped); with it, rows of the dropped one go first and its columns differ.
void dropTable(LayoutWriter& w, RandomSource& rng, bool deleteFirst) {
    const std::vector<int64_t> kept = writeMessages(w, rng, 60, "keep");
    const std::vector<int64_t> gone =
        deleteFirst ? writePeople(w, rng, 80, "gone") : writeMessages(w, rng, 80, "gone");
    w.startJournaling();
    w.remove("keep", someOf(kept, 0.1, rng));
    if (deleteFirst)
        w.remove("gone", someOf(gone, 0.3, rng));
    w.drop("gone");
}

// A table between two others dropped with auto_vacuum FULL: pages move and the file shrinks.
void dropVacuumed(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE a (_id INTEGER PRIMARY KEY, body TEXT);"
           "CREATE TABLE gone (_id INTEGER PRIMARY KEY, name TEXT, number TEXT);"
           "CREATE TABLE b (_id INTEGER PRIMARY KEY, value INTEGER, label TEXT)");
    w.noteSchema();
    std::vector<int64_t> a, b;
    for (int i = 0; i < 80; ++i) {
        a.push_back(w.insert("a", {"body"}, {{text(latinBody(rng, 5))}}).front());
        w.insert("gone", {"name", "number"}, {{text(personName(rng)), text(phoneNumber(rng))}});
        b.push_back(w.insert("b", {"value", "label"},
                             {{integer(rng.between(2, 1000000)), text(latinBody(rng, 1))}})
                        .front());
    }
    w.startJournaling();
    w.remove("a", someOf(a, 0.15, rng));
    w.drop("gone");
    w.remove("b", someOf(b, 0.15, rng));
}

// Rows whose texts and blobs continue on overflow pages.
void overflow(LayoutWriter& w, RandomSource& rng, int pageSize) {
    w.exec("CREATE TABLE notes (_id INTEGER PRIMARY KEY, title TEXT, body TEXT, photo BLOB)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    const int count = pageSize >= 32768 ? 24 : 60;
    for (int i = 0; i < count; ++i) {
        const bool longBody = rng.chance(0.35), photo = rng.chance(0.2);
        const auto bytes = [&] {
            return static_cast<size_t>(pageSize +
                                       static_cast<int>(rng.below(uint64_t(pageSize) * 2)));
        };
        rows.push_back({text(latinBody(rng, 2)),
                        text(longBody ? longText(rng, bytes()) : latinBody(rng, 6)),
                        photo ? blob(randomBytes(rng, bytes())) : null()});
    }
    const std::vector<int64_t> ids = w.insert("notes", {"title", "body", "photo"}, rows);
    w.startJournaling();
    w.remove("notes", someOf(ids, 0.3, rng));
}

// Messages with the full-text words table the messaging provider keeps.
void fullText(LayoutWriter& w, RandomSource& rng) {
    const std::vector<int64_t> ids = writeMessages(w, rng, 120);
    w.exec("CREATE VIRTUAL TABLE words USING FTS4(index_text, source_id, table_to_use)");
    w.exec("INSERT INTO words (rowid, index_text, source_id, table_to_use)"
           " SELECT _id, body, _id, 1 FROM sms");
    w.startJournaling();
    // Eight messages a transaction, by docid in ascending order: each
    // transaction adds one segment to the index (a lower docid or a scan of the
    // table would flush another), too few for a merge, so every deleted
    // message's words stay in the older segments.
    std::vector<int64_t> gone = someOf(ids, 0.25, rng);
    std::sort(gone.begin(), gone.end());
    for (size_t at = 0; at < gone.size(); at += 8) {
        std::string sql;
        for (size_t i = at; i < std::min(gone.size(), at + 8); ++i)
            sql += "DELETE FROM sms WHERE _id = " + std::to_string(gone[i]) +
                   "; DELETE FROM words WHERE rowid = " + std::to_string(gone[i]) + ";";
        w.removeBySql(sql);
    }
}

// A data table with the indexes the contacts provider gives it.
void indexed(LayoutWriter& w, RandomSource& rng) {
    const std::vector<int64_t> people = writeContacts(w, rng, 45);
    w.exec("CREATE INDEX data_mimetype_data1_index ON data (mimetype_id, data1);"
           "CREATE INDEX data_raw_contact_id ON data (raw_contact_id)");
    w.startJournaling();
    deleteContacts(w, rng, people);
}

// Rows of three shapes: before and after two ALTER TABLE ADD COLUMN.
void altered(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE people (_id INTEGER PRIMARY KEY, name TEXT, number TEXT)");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 0; i < 50; ++i)
        rows.push_back({text(personName(rng)), text(phoneNumber(rng))});
    std::vector<int64_t> ids = w.insert("people", {"name", "number"}, rows);
    w.exec("ALTER TABLE people ADD COLUMN label TEXT");
    w.noteSchema();
    rows.clear();
    for (int i = 0; i < 30; ++i)
        rows.push_back({text(personName(rng)), text(phoneNumber(rng)), text(latinBody(rng, 1))});
    ids = joined(ids, w.insert("people", {"name", "number", "label"}, rows));
    w.exec("ALTER TABLE people ADD COLUMN starred INTEGER NOT NULL DEFAULT 0");
    w.noteSchema();
    rows.clear();
    for (int i = 0; i < 30; ++i)
        rows.push_back({text(personName(rng)), text(phoneNumber(rng)), text(latinBody(rng, 1)),
                        integer(rng.between(0, 1))});
    ids = joined(ids, w.insert("people", {"name", "number", "label", "starred"}, rows));
    w.startJournaling();
    w.remove("people", someOf(ids, 0.3, rng));
}

// A WAL checkpointed midway: the log starts over, writing over the older
// frames from the start; the shorter new log leaves the old one's tail behind.
void walRestarted(LayoutWriter& w, RandomSource& rng) {
    std::vector<int64_t> ids = writeMessages(w, rng, 150);
    w.startJournaling();
    rng.shuffle(ids);
    const auto first = ids.begin() + long(ids.size() / 5);
    const auto second = first + long(ids.size() / 20);
    w.remove("sms", std::vector<int64_t>(ids.begin(), first));
    w.checkpoint();
    for (int i = 0; i < 4; ++i)
        w.insert("sms", {"thread_id", "address", "body"},
                 {{integer(3), text(phoneNumber(rng)), text(latinBody(rng, 4))}});
    w.remove("sms", std::vector<int64_t>(first, second));
}

// Contacts in rowids across 127 with a DELETE journal, several rows a transaction.
void journalDelete(LayoutWriter& w, RandomSource& rng) {
    const std::vector<int64_t> ids = writeMessages(w, rng, 160);
    w.startJournaling();
    w.remove("sms", someOf(ids, 0.3, rng), 4);
}

// A PERSIST journal: the last transaction's pages stay in the -journal.
void journalPersist(LayoutWriter& w, RandomSource& rng) {
    const std::vector<int64_t> ids = writeMessages(w, rng, 140);
    w.startJournaling();
    const std::vector<int64_t> gone = someOf(ids, 0.3, rng);
    const size_t last = std::min<size_t>(6, gone.size());
    w.remove("sms", std::vector<int64_t>(gone.begin(), gone.end() - long(last)));
    w.remove("sms", std::vector<int64_t>(gone.end() - long(last), gone.end()), last);
}

// Rows deleted, then new rows written into the freed space (their ids fall
// between the old ones, so they land on the same pages) and live rows
// rewritten shorter or longer, then more deletions. SQLite cuts a new cell
// from the end of a freeblock, so deleted cells lose their tails, not their heads.
void churn(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE sms (_id INTEGER PRIMARY KEY, thread_id INTEGER, address TEXT,"
           " date INTEGER, type INTEGER, read INTEGER DEFAULT 0, body TEXT)");
    w.noteSchema();
    const std::vector<std::string> columns = {"_id",  "thread_id", "address", "date",
                                              "type", "read",      "body"};
    // A message with id `id` and a body of about `words` words.
    auto message = [&](int64_t id, int words) {
        return SqlRow{integer(id),
                      integer(rng.between(1, 9)),
                      text(phoneNumber(rng)),
                      integer(dateMs(rng)),
                      integer(rng.between(1, 2)),
                      integer(1),
                      text(latinBody(rng, words))};
    };
    std::vector<SqlRow> rows;
    for (int64_t id = 10; id <= 1600; id += 10)
        rows.push_back(message(id, static_cast<int>(rng.between(2, 8))));
    std::vector<int64_t> ids = w.insert("sms", columns, rows);
    w.startJournaling();
    rng.shuffle(ids);
    const auto firstEnd = ids.begin() + long(ids.size() / 4);
    w.remove("sms", std::vector<int64_t>(ids.begin(), firstEnd), 2);
    std::vector<int64_t> between;
    for (int64_t id = 15; id < 1600; id += 10)
        between.push_back(id);
    for (int64_t id : someOf(between, 0.25, rng))
        w.insert("sms", columns, {message(id, static_cast<int>(rng.between(1, 3)))});
    Statement update(w.db(), "UPDATE sms SET body = ?2 WHERE _id = ?1");
    for (auto it = firstEnd; it != firstEnd + 30; ++it)
        update.bind(1, *it).bind(2, latinBody(rng, static_cast<int>(rng.between(1, 12)))).run();
    w.remove("sms", std::vector<int64_t>(firstEnd + 30, firstEnd + 60));
}

// A data-like table of 20 columns, most of them NULL in every row, as the
// contacts provider's rows are.
void sparseRows(LayoutWriter& w, RandomSource& rng) {
    std::string create = "CREATE TABLE data (_id INTEGER PRIMARY KEY, package_id INTEGER,"
                         " mimetype_id INTEGER NOT NULL, raw_contact_id INTEGER NOT NULL,"
                         " is_primary INTEGER NOT NULL DEFAULT 0";
    std::vector<std::string> columns = {"mimetype_id", "raw_contact_id"};
    for (int i = 1; i <= 15; ++i)
        create += ", data" + std::to_string(i) + " TEXT";
    w.exec(create + ")");
    w.noteSchema();
    std::vector<SqlRow> rows;
    for (int i = 0; i < 110; ++i) {
        SqlRow row = {integer(rng.between(1, 12)), integer(rng.between(2, 60))};
        // One or two data columns set, the rest NULL.
        row.resize(17);
        row[2 + rng.below(4)] = text(rng.chance(0.5) ? phoneNumber(rng) : personName(rng));
        if (rng.chance(0.5))
            row[2 + 4 + rng.below(11)] = text(std::to_string(rng.between(1, 20)));
        rows.push_back(row);
    }
    for (int i = 1; i <= 15; ++i)
        columns.push_back("data" + std::to_string(i));
    const std::vector<int64_t> ids = w.insert("data", columns, rows);
    w.startJournaling();
    w.remove("data", someOf(ids, 0.25, rng));
}

// Adds `people` contacts to the provider's own tables (raw contact, name,
// number, sometimes an e-mail, with their phone and name lookup rows), one
// transaction a table, as a sync writes them. Returns the phone data rows'
// ids.
std::vector<int64_t> addProviderContacts(LayoutWriter& w, RandomSource& rng, int people) {
    std::vector<SqlRow> contacts;
    std::vector<std::string> names;
    for (int i = 0; i < people; ++i) {
        names.push_back(personName(rng));
        contacts.push_back({text(names.back()), text(names.back()), text(names.back())});
    }
    const std::vector<int64_t> ids =
        w.insert("raw_contacts", {"display_name", "sort_key", "sort_key_alt"}, contacts);
    std::vector<SqlRow> rows;
    std::vector<std::string> numbers;
    for (size_t i = 0; i < ids.size(); ++i) {
        const std::string first = names[i].substr(0, names[i].find(' '));
        const std::string last = names[i].substr(names[i].find(' ') + 1);
        rows.push_back(
            {integer(ids[i]), integer(7), text(names[i]), text(first), text(last), null()});
        numbers.push_back(phoneNumber(rng));
        rows.push_back({integer(ids[i]), integer(5), text(numbers.back()),
                        text(std::to_string(rng.between(1, 3))), null(),
                        e164Of(numbers.back()).empty() ? null() : text(e164Of(numbers.back()))});
        if (rng.chance(0.4))
            rows.push_back(
                {integer(ids[i]), integer(1), text(emailAddress(rng)), text("1"), null(), null()});
    }
    const std::vector<int64_t> data = w.insert(
        "data", {"raw_contact_id", "mimetype_id", "data1", "data2", "data3", "data4"}, rows);
    std::vector<SqlRow> phones, lookups;
    std::vector<int64_t> phoneIds;
    for (size_t i = 0, n = 0; i < rows.size(); ++i) {
        if (rows[i][1].integer == 7) {
            std::string key;
            for (char c : rows[i][2].bytes)
                key += c == ' ' ? c : char(std::toupper(static_cast<unsigned char>(c)));
            lookups.push_back({integer(data[i]), rows[i][0], text(key), integer(0)});
        } else if (rows[i][1].integer == 5) {
            const std::string& number = numbers[n++];
            phones.push_back({integer(data[i]), rows[i][0], text(digitsOf(number, true)),
                              text(minMatchOf(number))});
            phoneIds.push_back(data[i]);
        }
    }
    w.insert("phone_lookup", {"data_id", "raw_contact_id", "normalized_number", "min_match"},
             phones);
    w.insert("name_lookup", {"data_id", "raw_contact_id", "normalized_name", "name_type"}, lookups);
    return phoneIds;
}

// The contacts provider's own tables and indexes in WAL with secure_delete
// and auto_vacuum on, as a phone keeps them, the log restarted by a
// checkpoint. Contacts added one at a time write the index pages their
// entries go to (which hold the entries of older rows) and the tables' last
// leaves; then numbers are deleted (the data row with its lookup rows), their
// cells zeroed; a checkpoint; then a shorter log of edits and deletions is
// written over the first frames. The old generation's later frames keep
// index pages from before the deletions while no page image anywhere keeps
// the rows' own cells.
void staleIndex(LayoutWriter& w, RandomSource& rng) {
    registerAndroidCollations(w.db());
    w.exec(contactsSchemaSql(Generation::Modern));
    w.noteSchema();
    std::vector<SqlRow> mimetypes;
    for (const std::string& type : initialMimetypes(Generation::Modern))
        mimetypes.push_back({text(type)});
    w.insert("mimetypes", {"mimetype"}, mimetypes);
    std::vector<int64_t> numbers = addProviderContacts(w, rng, 70);
    w.startJournaling();
    for (int i = 0; i < 8; ++i) {
        const std::vector<int64_t> added = addProviderContacts(w, rng, 1);
        numbers.insert(numbers.end(), added.begin(), added.end());
    }
    // Deletes a number as the provider does: its lookup rows, then the data row.
    auto removeNumber = [&](int64_t id) {
        const std::string at = std::to_string(id);
        w.removeBySql("DELETE FROM phone_lookup WHERE data_id = " + at +
                      "; DELETE FROM data WHERE _id = " + at);
    };
    const std::vector<int64_t> gone = someOf(numbers, 0.2, rng);
    const auto later = gone.begin() + long(gone.size() * 3 / 4);
    for (auto it = gone.begin(); it != later; ++it)
        removeNumber(*it);
    // Whole contacts deleted, enough to free pages: auto_vacuum moves the
    // file's last pages into the holes, so the pages of the older frames
    // hold other trees' pages in the newer state, or lie past its end.
    std::vector<int64_t> people;
    {
        Statement st(w.db(), "SELECT _id FROM raw_contacts");
        while (st.step())
            people.push_back(st.columnInt(0));
    }
    std::vector<int64_t> leaving = someOf(people, 0.3, rng);
    std::sort(leaving.begin(), leaving.end());
    for (size_t at = 0; at < leaving.size(); at += 4) {
        std::string ids;
        for (size_t i = at; i < std::min(leaving.size(), at + 4); ++i)
            ids += (ids.empty() ? "" : ",") + std::to_string(leaving[i]);
        w.removeBySql("DELETE FROM phone_lookup WHERE raw_contact_id IN (" + ids +
                      "); DELETE FROM name_lookup WHERE raw_contact_id IN (" + ids +
                      "); DELETE FROM data WHERE raw_contact_id IN (" + ids +
                      "); DELETE FROM raw_contacts WHERE _id IN (" + ids + ")");
    }
    w.checkpoint();
    for (int64_t id : someOf(numbers, 0.02, rng))
        w.exec("UPDATE data SET data1 = '" + phoneNumber(rng) +
               "' WHERE _id = " + std::to_string(id));
    for (auto it = later; it != gone.end(); ++it)
        removeNumber(*it);
}

// The sms table of a 4.x phone (17 columns, no AUTOINCREMENT) with messages
// of every length, grown to the newer layout by ALTER TABLE ADD COLUMN as an
// upgrade does; old messages deleted before and after the upgrade (their
// cells keep the shorter record), newer ones too, with secure_delete off.
void alteredSms(LayoutWriter& w, RandomSource& rng) {
    w.exec("CREATE TABLE sms (_id INTEGER PRIMARY KEY, thread_id INTEGER, address TEXT,"
           " person INTEGER, date INTEGER, date_sent INTEGER DEFAULT 0, protocol INTEGER,"
           " read INTEGER DEFAULT 0, status INTEGER DEFAULT -1, type INTEGER,"
           " reply_path_present INTEGER, subject TEXT, body TEXT, service_center TEXT,"
           " locked INTEGER DEFAULT 0, error_code INTEGER DEFAULT 0, seen INTEGER DEFAULT 0)");
    w.noteSchema();
    const std::vector<std::string> oldColumns = {
        "thread_id", "address",        "person", "date",       "date_sent",
        "protocol",  "read",           "status", "type",       "reply_path_present",
        "body",      "service_center", "locked", "error_code", "seen"};
    // A message as the provider writes it: received ones with their service
    // centre and sender's contact, sent ones with NULL protocol.
    auto message = [&](bool upgraded) {
        const bool received = rng.chance(0.6);
        const int64_t date = dateMs(rng);
        const int words =
            static_cast<int>(rng.chance(0.3) ? rng.between(20, 60) : rng.between(1, 6));
        SqlRow row = {integer(rng.between(1, 12)),
                      text(phoneNumber(rng)),
                      received && rng.chance(0.5) ? integer(rng.between(1, 300)) : null(),
                      integer(date),
                      integer(received ? date / 1000 * 1000 - 4000 : 0),
                      received ? integer(0) : null(),
                      integer(1),
                      integer(-1),
                      integer(received ? 1 : 2),
                      received ? integer(0) : null(),
                      text(rng.chance(0.8) ? latinBody(rng, words) : chineseBody(rng, words * 2)),
                      received ? text("+3161000" + std::to_string(rng.between(1000, 9999)))
                               : null(),
                      integer(0),
                      integer(0),
                      integer(1)};
        if (upgraded) {
            row.push_back(integer(rng.chance(0.7) ? 1 : -1));
            row.push_back(text("com.android.mms"));
        }
        return row;
    };
    std::vector<SqlRow> rows;
    for (int i = 0; i < 150; ++i)
        rows.push_back(message(false));
    std::vector<int64_t> old = w.insert("sms", oldColumns, rows);
    w.startJournaling();
    rng.shuffle(old);
    const auto before = old.begin() + long(old.size() / 10);
    w.remove("sms", std::vector<int64_t>(old.begin(), before), 2);
    w.exec("ALTER TABLE sms ADD COLUMN sub_id INTEGER DEFAULT -1;"
           "ALTER TABLE sms ADD COLUMN creator TEXT");
    w.noteSchema();
    std::vector<std::string> newColumns = oldColumns;
    newColumns.push_back("sub_id");
    newColumns.push_back("creator");
    rows.clear();
    for (int i = 0; i < 60; ++i)
        rows.push_back(message(true));
    std::vector<int64_t> fresh = w.insert("sms", newColumns, rows);
    w.remove("sms", std::vector<int64_t>(before, before + long(old.size() / 5)));
    w.remove("sms", someOf(fresh, 0.2, rng), 2);
}

// Writes the history of `spec` through `w`.
void writeHistory(LayoutWriter& w, RandomSource& rng, const LayoutSpec& spec) {
    switch (spec.layout) {
    case Layout::SmallContacts:
    case Layout::Utf16le:
    case Layout::Utf16be:
        return smallContacts(w, rng);
    case Layout::SmallMessages:
    case Layout::SecureDelete:
        return smallMessages(w, rng);
    case Layout::NoRowidAlias:
        return noRowidAlias(w, rng);
    case Layout::OnlyIntegers:
        return onlyIntegers(w, rng);
    case Layout::OnlyReals:
        return onlyReals(w, rng);
    case Layout::SharedPages:
        return sharedPages(w, rng);
    case Layout::AdjacentDeletes:
        return adjacentDeletes(w, rng);
    case Layout::EmptiedPages:
        return emptiedPages(w, rng);
    case Layout::DropTable:
        return dropTable(w, rng, false);
    case Layout::DeleteThenDrop:
        return dropTable(w, rng, true);
    case Layout::DropVacuumed:
        return dropVacuumed(w, rng);
    case Layout::Overflow:
        return overflow(w, rng, spec.pageSize);
    case Layout::FullText:
        return fullText(w, rng);
    case Layout::Indexed:
        return indexed(w, rng);
    case Layout::Altered:
        return altered(w, rng);
    case Layout::WalRestarted:
        return walRestarted(w, rng);
    case Layout::JournalDelete:
        return journalDelete(w, rng);
    case Layout::JournalPersist:
        return journalPersist(w, rng);
    case Layout::Churn:
        return churn(w, rng);
    case Layout::SparseRows:
        return sparseRows(w, rng);
    case Layout::StaleIndex:
        return staleIndex(w, rng);
    case Layout::AlteredSms:
        return alteredSms(w, rng);
    }
}

} // namespace

std::vector<Layout> allLayouts() {
    std::vector<Layout> layouts;
    for (const auto& [layout, name] : kNames)
        layouts.push_back(layout);
    return layouts;
}

const char* layoutName(Layout layout) {
    for (const auto& [l, name] : kNames)
        if (l == layout)
            return name;
    return "small-contacts";
}

std::optional<Layout> layoutFromName(const std::string& name) {
    for (const auto& [layout, n] : kNames)
        if (name == n)
            return layout;
    return std::nullopt;
}

DatabaseTruth generateLayoutDatabase(const std::string& path, const LayoutSpec& spec) {
    LayoutWriter writer(path, settingsOf(spec));
    RandomSource rng(spec.seed * 1000003 + static_cast<uint64_t>(spec.layout));
    writeHistory(writer, rng, spec);
    return writer.finish();
}

} // namespace testdata
