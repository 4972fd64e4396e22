// libFuzzer target for the index page decoders, driven through the engine's
// interface. At start-up it has SQLite write a few small template databases
// (1024-byte pages), each with a table, an index of one shape on it and
// deletions (freeblocks in the index's leaves, a free list):
//   shape 0: (INTEGER, TEXT), UTF-8     shape 1: (INTEGER, TEXT), UTF-16le
//   shape 2: (TEXT, INTEGER), UTF-8     shape 3: (BLOB, REAL, TEXT, INTEGER)
// An input is one choice byte and a page image: bits 0-1 choose the shape,
// bit 2 the page the image replaces (clear: the index's right-most leaf;
// set: the first free-list trunk, whose unused bytes are carved for index
// entries).
// The image overwrites the page from its start; a shorter one leaves the
// template's bytes after it, a longer one is cut at the page's end. The
// database is written to a per-process scratch folder and scanned whole,
// which reads the index's listed cells, freeblocks and unallocated space
// and the free-list pages for entries of rows that are gone.
//
// With REMNANTS_FUZZ_SEEDS=DIR in the environment, the target first writes
// seed inputs into DIR (every index page and the free-list trunk of each
// template, with its choice byte) and exits.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include <sqlite3.h>

#include "sqlite_recovery/sqlite_recovery.h"

namespace {

constexpr size_t kPageSize = 1024;
constexpr size_t kShapes = 4;

// One template database and the pages an input may replace (0: none).
struct Template {
    std::string bytes;
    uint32_t indexLeaf = 0;
    uint32_t trunk = 0;
};

// What start-up prepared: the templates and the scratch folder.
struct Setup {
    std::array<Template, kShapes> templates;
    std::string dir;
};

// The one setup of this process.
Setup& setup() {
    static Setup s;
    return s;
}

// A big-endian 32-bit number at bytes[at].
uint32_t readU32(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
}

// The statements that build the template of a shape: a table, its index,
// rows, and deletions both scattered (freeblocks) and in a run (freed pages).
std::string templateSql(size_t shape) {
    std::string sql = "PRAGMA page_size=1024; PRAGMA secure_delete=OFF; PRAGMA auto_vacuum=NONE;";
    if (shape == 1)
        sql += "PRAGMA encoding='UTF-16le';";
    if (shape == 3)
        sql += "CREATE TABLE t(_id INTEGER PRIMARY KEY, a BLOB, b REAL, c TEXT, d INTEGER);"
               "CREATE INDEX t_abcd ON t(a, b, c, d);"
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)"
               " INSERT INTO t(a, b, c, d) SELECT randomblob(i % 7), i / 8.0,"
               " 'note ' || i, i * 1000 FROM n;";
    else
        sql += std::string("CREATE TABLE t(_id INTEGER PRIMARY KEY, mimetype_id INTEGER,"
                           " data1 TEXT);") +
               (shape == 2 ? "CREATE INDEX t_key ON t(data1, mimetype_id);"
                           : "CREATE INDEX t_key ON t(mimetype_id, data1);") +
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400)"
               " INSERT INTO t(mimetype_id, data1) SELECT 5 + i % 3, 'Name ' || i || ' ' ||"
               " hex(randomblob(i % 9)) FROM n;";
    sql += "DELETE FROM t WHERE _id % 3 = 0; DELETE FROM t WHERE _id BETWEEN 150 AND 260;";
    return sql;
}

// Has SQLite write the template of a shape in memory and finds its pages.
Template makeTemplate(size_t shape) {
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK ||
        sqlite3_exec(db, templateSql(shape).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_int64 size = 0;
    unsigned char* image = sqlite3_serialize(db, "main", &size, 0);
    if (!image)
        std::abort();
    Template t;
    t.bytes.assign(reinterpret_cast<const char*>(image), size_t(size));
    sqlite3_free(image);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE type = 'index'", -1, &stmt,
                           nullptr) != SQLITE_OK ||
        sqlite3_step(stmt) != SQLITE_ROW)
        std::abort();
    uint32_t page = uint32_t(sqlite3_column_int(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    // Down the right-most pointers of the interior pages to a leaf.
    const size_t pages = t.bytes.size() / kPageSize;
    while (page >= 2 && page <= pages && t.bytes[(page - 1) * kPageSize] == 2)
        page = readU32(t.bytes, (page - 1) * kPageSize + 8);
    if (page < 2 || page > pages || t.bytes[(page - 1) * kPageSize] != 10)
        std::abort();
    t.indexLeaf = page;
    const uint32_t trunk = readU32(t.bytes, 32);
    t.trunk = trunk >= 2 && trunk <= pages ? trunk : 0;
    return t;
}

// Writes one seed input: the choice byte, then a page of a template.
void writeSeed(const std::string& path, uint8_t choice, const std::string& bytes, uint32_t page) {
    std::string input(1, char(choice));
    input += bytes.substr((page - 1) * kPageSize, kPageSize);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(input.data(), 1, input.size(), f) != input.size())
        std::abort();
    std::fclose(f);
}

// Seeds: every index page of every template as its index's leaf, and each
// free-list trunk in its own place.
void makeSeeds(const std::string& dir) {
    int count = 0;
    for (size_t shape = 0; shape < kShapes; ++shape) {
        const Template& t = setup().templates[shape];
        for (uint32_t page = 2; page <= t.bytes.size() / kPageSize; ++page) {
            const char type = t.bytes[(page - 1) * kPageSize];
            if (type == 2 || type == 10)
                writeSeed(dir + "/seed-" + std::to_string(count++), uint8_t(shape), t.bytes, page);
        }
        if (t.trunk)
            writeSeed(dir + "/seed-" + std::to_string(count++), uint8_t(shape | 4), t.bytes,
                      t.trunk);
    }
}

// Removes the scratch folder and the files the runs left in it.
void removeScratch() {
    const std::string& dir = setup().dir;
    for (const char* name : {"/index.db", "/index.db-wal", "/index.db-journal"})
        std::remove((dir + name).c_str());
    rmdir(dir.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (size_t shape = 0; shape < kShapes; ++shape)
        setup().templates[shape] = makeTemplate(shape);
    if (const char* seeds = std::getenv("REMNANTS_FUZZ_SEEDS")) {
        makeSeeds(seeds);
        std::exit(0);
    }
    char scratch[] = "/tmp/fennaro-index-fuzz-XXXXXX";
    if (!mkdtemp(scratch))
        std::abort();
    setup().dir = scratch;
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const Template& t = setup().templates[data[0] & 3];
    const uint32_t page = (data[0] & 4) && t.trunk ? t.trunk : t.indexLeaf;
    std::string bytes = t.bytes;
    const size_t image = size - 1 < kPageSize ? size - 1 : kPageSize;
    bytes.replace((page - 1) * kPageSize, image, reinterpret_cast<const char*>(data + 1), image);
    const std::string path = setup().dir + "/index.db";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::abort();
    std::fclose(f);
    const fennaro::deep::ScanReport report = fennaro::deep::scanDatabase(path);
    volatile size_t records = report.records.size();
    (void)records;
    return 0;
}
