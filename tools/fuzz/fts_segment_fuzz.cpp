// libFuzzer target for the full-text segment decoders, driven through the
// engine's interface. At start-up SQLite writes, in memory, a template
// database with an FTS4 table of a few hundred documents, some deleted, so
// that its words_segments table holds leaf blocks and words_segdir roots.
// An input is one choice byte and a blob: the choice byte picks the blob's
// place (even: the (n/2)-th segments block, odd: the (n/2)-th segdir root,
// counted modulo how many there are) and SQLite puts the blob there by
// UPDATE in a fresh copy of the template, so the record holds exactly the
// input's bytes whatever their length. The result is written to a
// per-process scratch folder and scanned whole, which decodes every segment
// leaf and doclist of the table for documents that are gone.
//
// With REMNANTS_FUZZ_SEEDS=DIR in the environment, the target first writes
// seed inputs into DIR (every block and root of the template, with the
// choice byte that puts it back in its place) and exits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include <sqlite3.h>

#include "sqlite_recovery/sqlite_recovery.h"

namespace {

// What start-up prepared: the template, how many blocks and roots it has,
// and the scratch folder.
struct Setup {
    std::string bytes;
    int blocks = 0;
    int roots = 0;
    std::string dir;
};

// The one setup of this process.
Setup& setup() {
    static Setup s;
    return s;
}

// Runs SQL on a connection, aborting on failure.
void run(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
}

// The one integer a query returns.
int queryInt(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK ||
        sqlite3_step(stmt) != SQLITE_ROW)
        std::abort();
    const int value = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

// The database a connection holds, as its file's bytes.
std::string serialize(sqlite3* db) {
    sqlite3_int64 size = 0;
    unsigned char* image = sqlite3_serialize(db, "main", &size, 0);
    if (!image)
        std::abort();
    std::string bytes(reinterpret_cast<const char*>(image), size_t(size));
    sqlite3_free(image);
    return bytes;
}

// A connection to an in-memory copy of the template.
sqlite3* openCopy() {
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK)
        std::abort();
    const std::string& bytes = setup().bytes;
    auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(bytes.size()));
    if (!copy)
        std::abort();
    std::memcpy(copy, bytes.data(), bytes.size());
    if (sqlite3_deserialize(
            db, "main", copy, sqlite3_int64(bytes.size()), sqlite3_int64(bytes.size()),
            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK)
        std::abort();
    return db;
}

// Has SQLite write the template: a words index, then deletions that leave
// documents in the segments that the content table no longer has.
void makeTemplate() {
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK)
        std::abort();
    run(db, "PRAGMA page_size=1024;"
            "CREATE VIRTUAL TABLE words USING fts4(index_text, source_id);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)"
            " INSERT INTO words(docid, index_text, source_id) SELECT i, 'word' || (i % 17) ||"
            " ' meet ' || i || ' 明天见 ' || hex(randomblob(i % 5)), i FROM n;"
            "DELETE FROM words WHERE docid % 7 = 0;");
    setup().bytes = serialize(db);
    setup().blocks = queryInt(db, "SELECT count(*) FROM words_segments");
    setup().roots = queryInt(db, "SELECT count(*) FROM words_segdir");
    sqlite3_close(db);
    if (setup().blocks == 0 || setup().roots == 0)
        std::abort();
}

// Writes the blobs a query returns as seed files, each after the choice
// byte that puts it back where it was (first + 2 * its place).
void writeBlobs(sqlite3* db, const char* sql, int first, const std::string& dir, int* count) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        std::abort();
    for (int place = 0; sqlite3_step(stmt) == SQLITE_ROW; ++place) {
        std::string input(1, char(first + 2 * place));
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt, 0));
        if (blob)
            input.append(blob, size_t(sqlite3_column_bytes(stmt, 0)));
        FILE* f = std::fopen((dir + "/seed-" + std::to_string((*count)++)).c_str(), "wb");
        if (!f || std::fwrite(input.data(), 1, input.size(), f) != input.size())
            std::abort();
        std::fclose(f);
    }
    sqlite3_finalize(stmt);
}

// Seeds: every segments block and segdir root of the template.
void makeSeeds(const std::string& dir) {
    sqlite3* db = openCopy();
    int count = 0;
    writeBlobs(db, "SELECT block FROM words_segments ORDER BY blockid LIMIT 128", 0, dir, &count);
    writeBlobs(db, "SELECT root FROM words_segdir ORDER BY rowid LIMIT 128", 1, dir, &count);
    sqlite3_close(db);
}

// Removes the scratch folder and the files the runs left in it.
void removeScratch() {
    const std::string& dir = setup().dir;
    for (const char* name : {"/fts.db", "/fts.db-wal", "/fts.db-journal"})
        std::remove((dir + name).c_str());
    rmdir(dir.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    makeTemplate();
    if (const char* seeds = std::getenv("REMNANTS_FUZZ_SEEDS")) {
        makeSeeds(seeds);
        std::exit(0);
    }
    char scratch[] = "/tmp/fennaro-fts-fuzz-XXXXXX";
    if (!mkdtemp(scratch))
        std::abort();
    setup().dir = scratch;
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool root = data[0] & 1;
    const int place = (data[0] >> 1) % (root ? setup().roots : setup().blocks);
    sqlite3* db = openCopy();
    sqlite3_stmt* stmt = nullptr;
    const char* sql =
        root ? "UPDATE words_segdir SET root = ?1 WHERE rowid ="
               " (SELECT rowid FROM words_segdir ORDER BY rowid LIMIT 1 OFFSET ?2)"
             : "UPDATE words_segments SET block = ?1 WHERE blockid ="
               " (SELECT blockid FROM words_segments ORDER BY blockid LIMIT 1 OFFSET ?2)";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK ||
        sqlite3_bind_blob(stmt, 1, data + 1, int(size - 1), SQLITE_TRANSIENT) != SQLITE_OK ||
        sqlite3_bind_int(stmt, 2, place) != SQLITE_OK || sqlite3_step(stmt) != SQLITE_DONE)
        std::abort();
    sqlite3_finalize(stmt);
    const std::string bytes = serialize(db);
    sqlite3_close(db);
    const std::string path = setup().dir + "/fts.db";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::abort();
    std::fclose(f);
    const fennaro::deep::ScanReport report = fennaro::deep::scanDatabase(path);
    volatile size_t records = report.records.size();
    (void)records;
    return 0;
}
