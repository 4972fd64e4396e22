// Deleted messages and contacts survive in the full-text indexes the
// providers keep beside them. Databases are written with SQLite's own FTS3
// and FTS4; documents deleted since come back with their words, live ones
// never, and damaged segment blobs give nothing.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <set>

#include "deep_test_support.h"
#include "phone/message_remnants.h"
#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/fts_remnants.h"
#include "sqlite_recovery/fts_segments.h"
#include "sqlite_recovery/schema_reader.h"

namespace deeptest {
namespace {

using namespace fennaro::deep;

// The words the simple tokenizer keeps of an ASCII text, lower-cased,
// joined by single spaces.
std::string asIndexed(const std::string& text) {
    std::string out, word;
    for (char c : text + " ") {
        if (std::isalnum(static_cast<unsigned char>(c)) || uint8_t(c) >= 0x80) {
            word += char(std::tolower(static_cast<unsigned char>(c)));
        } else if (!word.empty()) {
            out += (out.empty() ? "" : " ") + word;
            word.clear();
        }
    }
    return out;
}

// The records ftsRemnants gives for a database copy.
std::vector<RecoveredRecord> scanFts(const std::string& path,
                                     const std::vector<RecoveredRecord>& carved = {}) {
    std::string error;
    auto state = openDatabaseState(path, &error);
    EXPECT_TRUE(state) << error;
    if (!state)
        return {};
    const SchemaInfo schema = readSchema(*state->current, state->usableSize, state->textEncoding);
    return ftsRemnants(*state, schema.tables, carved, fennaro::phone::phoneScanRules());
}

// The message bodies the tests write: words, punctuation, and Chinese
// without separators (one term for the tokenizer).
std::string bodyOf(int id) {
    if (id % 5 == 0)
        return "明天下午三点在车站见面" + std::to_string(id);
    return "Meet me at " + std::to_string(id) + " PM near Station-" + std::to_string(id * 7) +
           ", bring the KEYS";
}

struct Mode {
    const char* name;
    const char* pragmas;
    bool oneTransaction; // all inserts in one, all deletes in another
    // After the deletes the index is merged into one segment without the
    // deleted documents: only older versions of its pages keep them.
    bool optimize = false;
};

// Names a mode in test output.
void PrintTo(const Mode& mode, std::ostream* out) {
    *out << mode.name;
}

class MessageIndex : public ::testing::TestWithParam<Mode> {};

TEST_P(MessageIndex, DeletedMessagesComeBackFromTheirWordsAndLiveOnesNever) {
    TempDir dir;
    const std::string path = dir.path() + "/mmssms.db";
    std::set<int> deleted;
    {
        SqlDb db(path);
        db.exec(std::string(GetParam().pragmas) +
                "PRAGMA secure_delete=OFF; PRAGMA synchronous=OFF;"
                "CREATE TABLE sms(_id INTEGER PRIMARY KEY, address TEXT, body TEXT);"
                "CREATE VIRTUAL TABLE words USING FTS3 (_id INTEGER PRIMARY KEY, index_text TEXT,"
                " source_id INTEGER, table_to_use INTEGER);");
        if (GetParam().oneTransaction)
            db.exec("BEGIN");
        for (int id = 1; id <= 60; ++id) {
            const std::string n = std::to_string(id), body = bodyOf(id);
            db.exec("INSERT INTO sms VALUES(" + n + ", '+861380000" + n + "', '" + body +
                    "');"
                    "INSERT INTO words(_id, index_text, source_id, table_to_use) VALUES(" +
                    n + ", '" + body + "', " + n + ", 1);");
        }
        if (GetParam().oneTransaction)
            db.exec("COMMIT; BEGIN");
        for (int id = 4; id <= 60; id += 4) {
            const std::string n = std::to_string(id);
            db.exec("DELETE FROM sms WHERE _id = " + n + "; DELETE FROM words WHERE _id = " + n);
            deleted.insert(id);
        }
        if (GetParam().oneTransaction)
            db.exec("COMMIT");
        // Message 2 indexed again under a new docid: its old document is
        // gone from the index, the message is not. (Under a rollback journal
        // the segment this adds makes SQLite merge the index, which drops
        // the deleted documents and reuses their pages: nothing would be
        // left to find.)
        if (std::string(GetParam().pragmas).find("WAL") != std::string::npos)
            db.exec("DELETE FROM words WHERE _id = 2; INSERT INTO words(docid, index_text,"
                    " source_id, table_to_use) VALUES(1000, '" +
                    bodyOf(2) + "', 2, 1)");
        if (GetParam().optimize)
            db.exec("INSERT INTO words(words) VALUES('optimize')");
    }
    std::filesystem::create_directory(dir.path() + "/pulled");
    const std::string copy = pullCopy(path, dir.path() + "/pulled");
    std::set<int> back;
    for (const RecoveredRecord& record : scanFts(copy)) {
        ASSERT_EQ(record.table, "sms");
        EXPECT_EQ(record.evidence, RecordEvidence::Fts);
        ASSERT_TRUE(record.rowid);
        const int id = int(*record.rowid);
        EXPECT_TRUE(deleted.count(id)) << "live message " << id << " reported";
        ASSERT_EQ(record.values.size(), 3u);
        EXPECT_EQ(record.known, (std::vector<bool>{true, false, true}));
        EXPECT_EQ(record.values[0].integer, id);
        const std::string expected = id % 5 == 0 ? bodyOf(id) : asIndexed(bodyOf(id));
        EXPECT_EQ(record.values[2].bytes, expected) << "message " << id;
        EXPECT_TRUE(back.insert(id).second) << "message " << id << " twice";
    }
    std::printf("[ figures  ] %s: %zu of %zu deleted messages back from the index\n",
                GetParam().name, back.size(), deleted.size());
    // Every deleted message is in a segment some version of the files
    // keeps, but where the merge left them only on pages freed since.
    if (GetParam().oneTransaction &&
        !(GetParam().optimize && std::string(GetParam().name) == "rollbackOptimized")) {
        EXPECT_EQ(back.size(), deleted.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, MessageIndex,
    ::testing::Values(
        Mode{"wal", "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;", false},
        Mode{"rollback", "PRAGMA page_size=1024; PRAGMA journal_mode=DELETE;", true},
        Mode{"rollbackEach", "PRAGMA page_size=1024; PRAGMA journal_mode=DELETE;", false},
        Mode{"walOptimized", "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;", true, true},
        Mode{"rollbackOptimized", "PRAGMA journal_mode=DELETE;", true, true},
        Mode{"walBatched", "PRAGMA page_size=512; PRAGMA journal_mode=WAL;", true}),
    [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

TEST(ContactIndex, ADeletedContactsNamesAndNumbersComeBackAsDataRows) {
    TempDir dir;
    const std::string path = dir.path() + "/contacts2.db";
    {
        SqlDb db(path);
        db.exec("PRAGMA secure_delete=OFF; PRAGMA synchronous=OFF;"
                "CREATE TABLE data(_id INTEGER PRIMARY KEY, raw_contact_id INTEGER, data1 TEXT);"
                "CREATE VIRTUAL TABLE search_index USING FTS4 (contact_id INTEGER REFERENCES"
                " contacts(_id) NOT NULL, content TEXT, name TEXT, tokens TEXT);"
                "CREATE VIRTUAL TABLE notes USING fts4(title, body, tokenize=simple);"
                "BEGIN;"
                "INSERT INTO search_index(docid, contact_id, content, name, tokens) VALUES"
                " (7, 7, '13800138000 ann@example', 'Ann Lee', 'ann lee'),"
                " (8, 8, '13900139000', 'Bob Stone', 'bob stone');"
                "INSERT INTO notes(docid, title, body) VALUES (3, 'Shopping', 'milk and bread'),"
                " (4, 'Plans', 'trip to the sea');"
                "COMMIT;"
                "DELETE FROM search_index WHERE docid = 7; DELETE FROM notes WHERE docid = 3;");
    }
    std::map<std::string, std::set<std::string>> found; // table -> values
    for (const RecoveredRecord& record : scanFts(path)) {
        EXPECT_EQ(record.evidence, RecordEvidence::Fts);
        if (record.table == "data") {
            EXPECT_EQ(record.known, (std::vector<bool>{false, true, true}));
            EXPECT_EQ(record.values[1].integer, 7) << "only the deleted contact";
            found["data"].insert(record.values[2].bytes);
        } else {
            ASSERT_EQ(record.table, "notes");
            EXPECT_EQ(*record.rowid, 3);
            found["notes"].insert(record.values[0].bytes + "|" + record.values[1].bytes);
        }
    }
    EXPECT_EQ(found["data"], (std::set<std::string>{"13800138000", "ann", "example", "lee"}));
    EXPECT_EQ(found["notes"], (std::set<std::string>{"shopping|milk and bread"}));
}

TEST(FtsSegments, DoclistsAndLeavesDecodeAndDamageGivesNothing) {
    // docid 5: column 0 at 0 and 3, column 1 at 2; docid 9 (delta 4): a
    // deletion mark.
    const uint8_t doclist[] = {5, 2, 5, 1, 1, 4, 0, 4, 0};
    std::vector<FtsPosting> docs;
    ASSERT_TRUE(decodeDoclist(doclist, sizeof doclist, &docs));
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_EQ(docs[0].docid, 5);
    ASSERT_EQ(docs[0].positions.size(), 3u);
    EXPECT_EQ(docs[0].positions[1].position, 3u);
    EXPECT_EQ(docs[0].positions[2].column, 1u);
    EXPECT_EQ(docs[0].positions[2].position, 2u);
    EXPECT_EQ(docs[1].docid, 9);
    EXPECT_TRUE(docs[1].positions.empty());

    // A leaf: "apple" then "apply" (prefix 4, suffix "y").
    std::string leaf = std::string("\0\x05"
                                   "apple",
                                   7) +
                       char(sizeof doclist);
    leaf.append(reinterpret_cast<const char*>(doclist), sizeof doclist);
    leaf += std::string("\x04\x01y\x03\x02\x02\0", 7);
    std::vector<FtsTermDocs> terms;
    ASSERT_TRUE(
        decodeSegmentLeaf(reinterpret_cast<const uint8_t*>(leaf.data()), leaf.size(), &terms));
    ASSERT_EQ(terms.size(), 2u);
    EXPECT_EQ(terms[1].term, "apply");
    EXPECT_EQ(terms[1].docs[0].docid, 2);

    // Every cut of the leaf gives nothing, but the one after the first
    // term's doclist (a whole leaf of one term); random bytes give no fault.
    const size_t firstTermEnd = 8 + sizeof doclist;
    for (size_t cut = 0; cut < leaf.size(); ++cut) {
        terms.clear();
        const bool whole =
            decodeSegmentLeaf(reinterpret_cast<const uint8_t*>(leaf.data()), cut, &terms);
        EXPECT_EQ(whole, cut == firstTermEnd) << cut;
        EXPECT_EQ(terms.size(), whole ? 1u : 0u);
    }
    uint32_t seed = 99;
    std::string noise(300, '\0');
    for (int round = 0; round < 500; ++round) {
        for (char& c : noise) {
            seed = seed * 1103515245 + 12345;
            c = char(seed >> 16);
        }
        noise[0] = 0;
        terms.clear();
        decodeSegmentLeaf(reinterpret_cast<const uint8_t*>(noise.data()),
                          size_t(round) % noise.size(), &terms);
        decodeDoclist(reinterpret_cast<const uint8_t*>(noise.data()), noise.size(), &docs);
    }
    uint64_t v = 0;
    const uint8_t endless[12] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1};
    EXPECT_EQ(readFtsVarint(endless, sizeof endless, &v), 0);
}

TEST(FtsSegments, CarvedWordsContentRowsBecomeMessages) {
    TableInfo sms;
    sms.name = "sms";
    for (const char* name : {"_id", "address", "body"})
        sms.columns.push_back({name, Affinity::Text, false, false, {}});
    RecoveredRecord content;
    content.table = "words_content";
    content.rowid = 12;
    content.values = {Value::ofInteger(12), Value::ofInteger(12), Value::ofText("see you at 5"),
                      Value::ofInteger(40), Value::ofInteger(1)};
    RecoveredRecord other = content;
    other.table = "sms";
    const std::vector<RecoveredRecord> out = fennaro::phone::smsFromWordsContent(
        {content, other}, {sms.name, {"_id", "address", "body"}});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(*out[0].rowid, 40);
    EXPECT_EQ(out[0].evidence, RecordEvidence::Fts);
    EXPECT_EQ(out[0].values[2].bytes, "see you at 5");
    EXPECT_EQ(out[0].known, (std::vector<bool>{true, false, true}));
}

} // namespace
} // namespace deeptest
