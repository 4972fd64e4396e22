// Rows deleted from a table can survive as entries of its indexes after the
// table's own cells are gone. Databases are written with SQLite itself; the
// entries that come back must be true (values and rowid of a row that
// existed), never a live row's, and nearly every entry whose bytes survive
// must come back.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "deep_test_support.h"
#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/index_cells.h"
#include "sqlite_recovery/index_remnants.h"
#include "sqlite_recovery/index_schema.h"
#include "sqlite_recovery/schema_reader.h"

namespace deeptest {
namespace {

using namespace fennaro::deep;

// Appends an SQLite record varint.
void putVarint(std::string& out, uint64_t v) {
    uint8_t bytes[10];
    int n = 0;
    do {
        bytes[n++] = uint8_t(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    for (int i = n - 1; i >= 0; --i)
        out.push_back(char(bytes[i] | (i > 0 ? 0x80 : 0)));
}

// The record SQLite writes for integers and UTF-8 texts (types 8 and 9 for 0 and 1).
std::string encodeRecord(const std::vector<Value>& values, bool utf16 = false) {
    std::string types, body;
    for (const Value& v : values) {
        if (v.kind == Value::Kind::Text) {
            std::string text;
            for (char c : v.bytes) // the tests' texts are ASCII
                text += utf16 ? std::string{c, '\0'} : std::string{c};
            putVarint(types, 13 + 2 * text.size());
            body += text;
        } else if (v.integer == 0 || v.integer == 1) {
            putVarint(types, 8 + uint64_t(v.integer));
        } else {
            static const int kWidths[] = {1, 2, 3, 4, 6, 8};
            int type = 1;
            for (; type < 6; ++type) {
                const int64_t limit = int64_t(1) << (8 * kWidths[type - 1] - 1);
                if (v.integer >= -limit && v.integer < limit)
                    break;
            }
            putVarint(types, uint64_t(type));
            for (int b = kWidths[type - 1] - 1; b >= 0; --b)
                body.push_back(char(uint64_t(v.integer) >> (8 * b)));
        }
    }
    std::string record;
    putVarint(record, types.size() + 1);
    return record + types + body;
}

// A contacts-like database: data rows indexed on (mimetype_id, data1),
// phone_lookup rows indexed on (normalized_number, raw_contact_id, data_id),
// and settings whose TEXT PRIMARY KEY and UNIQUE column have autoindexes.
struct Phone {
    std::map<int64_t, std::vector<Value>> data;     // _id -> (mimetype_id, data1)
    std::map<int64_t, std::vector<Value>> lookup;   // rowid -> (number, raw_contact_id, data_id)
    std::map<int64_t, std::vector<Value>> settings; // rowid -> (key, value)
    std::set<int64_t> deletedData, deletedLookup, deletedSettings;
};

const char* const kSchema =
    "CREATE TABLE data(_id INTEGER PRIMARY KEY AUTOINCREMENT, mimetype_id INTEGER NOT NULL,"
    " raw_contact_id INTEGER, data1 TEXT);"
    "CREATE INDEX data_mimetype_data1_index ON data (mimetype_id,data1);"
    "CREATE TABLE phone_lookup(data_id INTEGER REFERENCES data(_id) NOT NULL,"
    " raw_contact_id INTEGER NOT NULL, normalized_number TEXT NOT NULL, min_match TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS \"phone_lookup_index\" ON phone_lookup"
    " (normalized_number COLLATE NOCASE ASC, raw_contact_id, data_id DESC);"
    "CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT UNIQUE, note TEXT);";

// Writes the database: count contacts, then deletes every third one.
Phone writePhone(const std::string& path, const std::string& pragmas, int count) {
    Phone phone;
    SqlDb db(path);
    db.exec(pragmas + "PRAGMA secure_delete=OFF; PRAGMA synchronous=OFF;" + kSchema);
    db.exec("BEGIN");
    for (int i = 1; i <= count; ++i) {
        const std::string name = "Name " + std::to_string(i * 37 % 1000) + " Surname";
        const std::string number = "1380013" + std::to_string(1000 + i);
        db.exec("INSERT INTO data(mimetype_id, raw_contact_id, data1) VALUES(7, " +
                std::to_string(i) + ", '" + name + "')");
        phone.data[db.scalar("SELECT last_insert_rowid()")] = {Value::ofInteger(7),
                                                               Value::ofText(name)};
        db.exec("INSERT INTO data(mimetype_id, raw_contact_id, data1) VALUES(5, " +
                std::to_string(i) + ", '" + number + "')");
        const int64_t dataId = db.scalar("SELECT last_insert_rowid()");
        phone.data[dataId] = {Value::ofInteger(5), Value::ofText(number)};
        db.exec("INSERT INTO phone_lookup VALUES(" + std::to_string(dataId) + ", " +
                std::to_string(i) + ", '" + number + "', '" + number.substr(4) + "')");
        phone.lookup[db.scalar("SELECT last_insert_rowid()")] = {
            Value::ofText(number), Value::ofInteger(i), Value::ofInteger(dataId)};
        if (i % 4 == 0) {
            const std::string key = "key." + std::to_string(i), value = "value-" + name + key;
            db.exec("INSERT INTO settings VALUES('" + key + "', '" + value + "', 'n')");
            phone.settings[db.scalar("SELECT last_insert_rowid()")] = {Value::ofText(key),
                                                                       Value::ofText(value)};
        }
    }
    db.exec("COMMIT");
    for (int i = 3; i <= count; i += 3) {
        const std::string contact = std::to_string(i);
        for (const char* table : {"data", "phone_lookup"}) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(
                db.handle(),
                (std::string("SELECT rowid FROM ") + table + " WHERE raw_contact_id = " + contact)
                    .c_str(),
                -1, &stmt, nullptr);
            while (sqlite3_step(stmt) == SQLITE_ROW)
                (table[0] == 'd' ? phone.deletedData : phone.deletedLookup)
                    .insert(sqlite3_column_int64(stmt, 0));
            sqlite3_finalize(stmt);
        }
        if (i % 4 == 0)
            phone.deletedSettings.insert(
                db.scalar("SELECT rowid FROM settings WHERE key = 'key." + contact + "'"));
        db.exec("DELETE FROM data WHERE raw_contact_id = " + contact +
                "; DELETE FROM phone_lookup WHERE raw_contact_id = " + contact +
                "; DELETE FROM settings WHERE key = 'key." + contact + "'");
    }
    return phone;
}

// The scan's index records by table.
std::map<std::string, std::vector<RecoveredRecord>> scanIndexes(const std::string& path,
                                                                bool guessHeaders = false) {
    std::string error;
    auto state = openDatabaseState(path, &error);
    EXPECT_TRUE(state) << error;
    std::map<std::string, std::vector<RecoveredRecord>> byTable;
    if (!state)
        return byTable;
    const SchemaInfo schema = readSchema(*state->current, state->usableSize, state->textEncoding);
    for (RecoveredRecord& record : indexRemnants(*state, schema.tables, nullptr, false, guessHeaders))
        byTable[record.table].push_back(std::move(record));
    return byTable;
}

// Every file of the database, one after the other.
std::string allBytes(const std::string& path) {
    return readFile(path) + readFile(path + "-wal") + readFile(path + "-journal");
}

// Checks one table's index records against the rows written: every record
// names a deleted row with the values it had in the columns it knows, no
// row twice with the same values; and of the deleted rows whose entry bytes
// survive somewhere, how many came back. Returns (recovered, provable).
std::pair<size_t, size_t> checkTable(const std::vector<RecoveredRecord>& records,
                                     const std::map<int64_t, std::vector<Value>>& rows,
                                     const std::set<int64_t>& deleted,
                                     const std::vector<int>& columns, const std::string& bytes,
                                     const char* what, bool utf16) {
    std::set<int64_t> recovered;
    std::set<std::pair<int64_t, std::string>> seen;
    for (const RecoveredRecord& record : records) {
        EXPECT_EQ(record.evidence, RecordEvidence::Index);
        if (!record.rowid) {
            ADD_FAILURE() << what << ": an index record without a rowid";
            continue;
        }
        const int64_t rowid = *record.rowid;
        EXPECT_TRUE(deleted.count(rowid)) << what << ": live row " << rowid << " reported";
        auto row = rows.find(rowid);
        if (row == rows.end()) {
            ADD_FAILURE() << what << ": rowid " << rowid << " never existed"
                          << " (page " << record.page << ")";
            continue;
        }
        if (record.known.size() != record.values.size()) {
            ADD_FAILURE() << what << ": known does not match values";
            continue;
        }
        for (size_t t = 0; t < columns.size(); ++t) {
            const size_t c = size_t(columns[t]);
            if (record.known[c]) {
                EXPECT_TRUE(record.values[c] == row->second[t])
                    << what << ": rowid " << rowid << " column " << c << " is "
                    << record.values[c].bytes << record.values[c].integer << " (page "
                    << record.page << ")";
            }
        }
        recovered.insert(rowid);
    }
    size_t provable = 0, back = 0;
    for (int64_t rowid : deleted) {
        std::vector<Value> entry = rows.at(rowid);
        entry.push_back(Value::ofInteger(rowid));
        if (bytes.find(encodeRecord(entry, utf16)) == std::string::npos)
            continue;
        ++provable;
        back += recovered.count(rowid);
    }
    return {back, provable};
}

struct Setting {
    const char* name;
    const char* pragmas;
    size_t recall; // percent of the entries whose bytes survive that must come back
};

// Names a setting in test output.
void PrintTo(const Setting& setting, std::ostream* out) {
    *out << setting.name;
}

class IndexRemnants : public ::testing::TestWithParam<Setting> {};

TEST_P(IndexRemnants, DeletedRowsComeBackFromTheirIndexEntriesAndLiveRowsNever) {
    TempDir dir;
    const std::string path = dir.path() + "/contacts2.db";
    const Phone phone = writePhone(path, GetParam().pragmas, 150);
    std::filesystem::create_directory(dir.path() + "/pulled");
    const std::string copy = pullCopy(path, dir.path() + "/pulled");
    const auto found = scanIndexes(copy);
    const std::string bytes = allBytes(copy);
    const bool utf16 = std::string(GetParam().name) == "utf16";
    auto of = [&](const char* table) {
        auto it = found.find(table);
        return it == found.end() ? std::vector<RecoveredRecord>{} : it->second;
    };
    // data: _id, mimetype_id, raw_contact_id, data1; phone_lookup: data_id,
    // raw_contact_id, normalized_number, min_match; settings: key, value, note.
    const auto [data, dataProvable] =
        checkTable(of("data"), phone.data, phone.deletedData, {1, 3}, bytes, "data", utf16);
    const auto [lookup, lookupProvable] = checkTable(
        of("phone_lookup"), phone.lookup, phone.deletedLookup, {2, 1, 0}, bytes, "lookup", utf16);
    // Each settings row has two autoindex entries (key, value): check each.
    std::map<int64_t, std::vector<Value>> keys, values;
    for (const auto& [rowid, row] : phone.settings) {
        keys[rowid] = {row[0]};
        values[rowid] = {row[1]};
    }
    std::vector<RecoveredRecord> byKey, byValue;
    for (const RecoveredRecord& r : of("settings"))
        (r.known[0] ? byKey : byValue).push_back(r);
    const auto [settingKeys, keyProvable] =
        checkTable(byKey, keys, phone.deletedSettings, {0}, bytes, "settings key", utf16);
    const auto [settingValues, valueProvable] =
        checkTable(byValue, values, phone.deletedSettings, {1}, bytes, "settings value", utf16);
    // Old page images (WAL) keep whole entries: all come back. Carved from
    // free bytes, a cell is believed only where it meets another cell (or
    // an old freeblock header): one whose neighbour was overwritten is
    // given up. The two settings autoindexes have the same shape, so their
    // cells on a free-list trunk cannot be told apart and are left out:
    // they are not counted here.
    const size_t back = data + lookup, provable = dataProvable + lookupProvable;
    EXPECT_GE(back * 100, provable * GetParam().recall) << back << " of " << provable;
    // The rowid alias comes with the entry.
    for (const RecoveredRecord& r : of("data")) {
        EXPECT_TRUE(r.known[0] && r.values[0].integer == *r.rowid);
        EXPECT_FALSE(r.known[2]) << "raw_contact_id is not in the index";
    }
    std::printf("[ figures  ] %s: back/provable data %zu/%zu, lookup %zu/%zu, settings %zu+%zu/"
                "%zu+%zu; records %zu/%zu/%zu of %zu/%zu/%zu deleted\n",
                GetParam().name, data, dataProvable, lookup, lookupProvable, settingKeys,
                settingValues, keyProvable, valueProvable, of("data").size(),
                of("phone_lookup").size(), of("settings").size(), phone.deletedData.size(),
                phone.deletedLookup.size(), phone.deletedSettings.size());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, IndexRemnants,
    ::testing::Values(Setting{"delete512", "PRAGMA page_size=512; PRAGMA journal_mode=DELETE;", 95},
                      Setting{"wal4096",
                              "PRAGMA page_size=4096; PRAGMA journal_mode=WAL;"
                              "PRAGMA wal_autocheckpoint=0;",
                              100},
                      Setting{"persist1024", "PRAGMA page_size=1024; PRAGMA journal_mode=PERSIST;",
                              85},
                      Setting{"utf16",
                              "PRAGMA encoding='UTF-16le'; PRAGMA page_size=2048;"
                              "PRAGMA journal_mode=DELETE;",
                              85}),
    [](const ::testing::TestParamInfo<Setting>& info) { return std::string(info.param.name); });

TEST(IndexRemnantsGuessing, FreedCellsThatLostTheirHeadersAreReadWhenAskedFor) {
    // One big page: every deleted entry lies in a freeblock, its first four
    // bytes gone; without guessing nothing comes back, with it most rows do,
    // each with the values it had.
    TempDir dir;
    const std::string path = dir.path() + "/contacts2.db";
    const Phone phone =
        writePhone(path, "PRAGMA page_size=65536; PRAGMA journal_mode=TRUNCATE;", 150);
    EXPECT_TRUE(scanIndexes(path)["data"].empty());
    const auto found = scanIndexes(path, true);
    const std::vector<RecoveredRecord> data =
        found.count("data") ? found.at("data") : std::vector<RecoveredRecord>{};
    checkTable(data, phone.data, phone.deletedData, {1, 3}, "", "data", false);
    EXPECT_GE(data.size() * 100, phone.deletedData.size() * 90)
        << data.size() << " of " << phone.deletedData.size();
}

TEST(IndexSchema, StatementsAndConstraintsGiveTheIndexedColumns) {
    ParsedIndex index;
    ASSERT_TRUE(parseCreateIndex("create unique index if not exists main.[my idx] on \"t\" "
                                 "(b collate nocase desc, lower(c), a) where a > 0",
                                 &index));
    EXPECT_EQ(index.name, "my idx");
    EXPECT_EQ(index.table, "t");
    EXPECT_TRUE(index.unique);
    EXPECT_EQ(index.columns, (std::vector<std::string>{"b", "", "a"}));
    EXPECT_FALSE(parseCreateIndex("CREATE TABLE t(a)", &index));
    EXPECT_FALSE(parseCreateIndex("CREATE INDEX i ON", &index));

    using Keys = std::vector<std::vector<std::string>>;
    EXPECT_EQ(autoindexKeys("CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT UNIQUE, b,"
                            " UNIQUE(a), UNIQUE (b, a))"),
              (Keys{{"a"}, {"b", "a"}}));
    EXPECT_EQ(autoindexKeys("CREATE TABLE t(k TEXT PRIMARY KEY, v UNIQUE)"), (Keys{{"k"}, {"v"}}));
    EXPECT_EQ(autoindexKeys("CREATE TABLE t(a INTEGER, b, PRIMARY KEY(a))"), Keys{});
    EXPECT_EQ(autoindexKeys("CREATE TABLE t(a INT, b, PRIMARY KEY(a))"), (Keys{{"a"}}));
    EXPECT_EQ(autoindexKeys("CREATE TABLE t(a TEXT PRIMARY KEY, b) WITHOUT ROWID"), Keys{});
}

TEST(IndexCells, GarbageAndCutPagesGiveNoEntryAndNoFault) {
    // Random bytes, bytes of an index page cut at every length, and a page
    // whose freeblock chain loops: nothing read outside, nothing invented.
    IndexShape shape;
    shape.terms = {Affinity::Integer, Affinity::Text};
    std::string page(1024, '\0');
    page[0] = 10;
    page[1] = 0, page[2] = 100; // first freeblock at 100, which points to itself
    page[100] = 0, page[101] = 100, page[102] = 0, page[103] = 20;
    page[3] = 0, page[4] = 1, page[5] = 0x03, page[6] = 0xF0; // one cell at 1008
    const std::string cell =
        encodeRecord({Value::ofInteger(5), Value::ofText("x"), Value::ofInteger(77)});
    page[1008] = char(cell.size());
    page.replace(1009, cell.size(), cell);
    page[8] = 0x03, page[9] = char(0xF0);
    std::vector<IndexEntry> entries;
    for (size_t cut = 0; cut <= page.size(); cut += 7) {
        entries.clear();
        const ByteView view{reinterpret_cast<const uint8_t*>(page.data()), cut};
        wholeIndexEntries(view, 2, 1024, shape, nullptr, &entries);
        freedIndexEntries(view, 2, 1024, shape, nullptr, &entries);
        for (const IndexEntry& e : entries)
            EXPECT_EQ(e.rowid, 77);
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        for (char& c : page) {
            seed = seed * 1103515245 + 12345;
            c = char(seed >> 16);
        }
        page[0] = char(round % 2 ? 10 : 2);
        entries.clear();
        const ByteView view{reinterpret_cast<const uint8_t*>(page.data()), page.size()};
        wholeIndexEntries(view, 3, 1024, shape, nullptr, &entries);
        freedIndexEntries(view, 3, 1024, shape, nullptr, &entries);
    }
}

} // namespace
} // namespace deeptest
