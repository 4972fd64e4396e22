// libFuzzer target for the full-text segment decoders: the input is one
// blob, read as a segment leaf and as a doclist, as a segdir root or a
// segments block from a damaged file would be.
//
// With REMNANTS_FUZZ_SEEDS=DIR in the environment, the target first writes
// seed blobs into DIR (the segment leaves SQLite writes for a small FTS4
// table, before and after deletions) and exits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "sqlite_recovery/fts_segments.h"

namespace {

// Writes the blobs a query returns as files seed-N in dir.
void writeBlobs(sqlite3* db, const char* sql, const std::string& dir, int* count) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        std::abort();
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const void* blob = sqlite3_column_blob(stmt, 0);
        const int size = sqlite3_column_bytes(stmt, 0);
        const std::string path = dir + "/seed-" + std::to_string((*count)++);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            std::abort();
        if (size > 0)
            std::fwrite(blob, 1, size_t(size), f);
        std::fclose(f);
    }
    sqlite3_finalize(stmt);
}

// Seeds: the leaves of a small words index in memory.
void makeSeeds(const std::string& dir) {
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK)
        std::abort();
    const char* sql =
        "CREATE VIRTUAL TABLE words USING fts4(index_text, source_id);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)"
        " INSERT INTO words(docid, index_text, source_id) SELECT i, 'word' || (i % 17) ||"
        " ' meet ' || i || ' 明天见 ' || hex(randomblob(i % 5)), i FROM n;"
        "DELETE FROM words WHERE docid % 7 = 0;";
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    int count = 0;
    writeBlobs(db, "SELECT root FROM words_segdir", dir, &count);
    writeBlobs(db, "SELECT block FROM words_segments", dir, &count);
    sqlite3_close(db);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* seeds = std::getenv("REMNANTS_FUZZ_SEEDS")) {
        makeSeeds(seeds);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The decoders are given exactly the input's bytes: the sanitizer
    // catches any read past them.
    std::vector<uint8_t> copy(data, data + size);
    std::vector<fennaro::deep::FtsTermDocs> terms;
    volatile bool leaf = fennaro::deep::decodeSegmentLeaf(copy.data(), copy.size(), &terms);
    (void)leaf;
    std::vector<fennaro::deep::FtsPosting> docs;
    volatile bool doclist = fennaro::deep::decodeDoclist(copy.data(), copy.size(), &docs);
    (void)doclist;
    return 0;
}
