// libFuzzer target for the index page decoders: the input's first byte
// chooses the index's shape (one to four key terms of chosen affinities,
// UTF-8 or UTF-16), its second the page number (1 has the database header
// first), and the rest is the page image, read as an index page (listed
// cells, unallocated space, freeblocks) and as a free-list trunk.
//
// With REMNANTS_FUZZ_SEEDS=DIR in the environment, the target first writes
// seed inputs into DIR (index pages of a small database SQLite writes, with
// deletions) and exits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "sqlite_recovery/index_cells.h"

namespace {

using fennaro::deep::Affinity;

// The whole content of a file ("" when missing).
std::string slurp(const std::string& path) {
    std::string bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

// Seeds: every index page of a data table indexed on (mimetype_id, data1),
// shape byte 0x11 (INTEGER, TEXT).
void makeSeeds(const std::string& dir) {
    const std::string path = dir + "/seed.db";
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        std::abort();
    const char* sql =
        "PRAGMA page_size=1024; PRAGMA secure_delete=OFF;"
        "CREATE TABLE data(_id INTEGER PRIMARY KEY, mimetype_id INTEGER, data1 TEXT);"
        "CREATE INDEX data_mimetype_data1_index ON data(mimetype_id, data1);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400)"
        " INSERT INTO data(mimetype_id, data1) SELECT 5 + i % 3, 'Name ' || i || ' ' ||"
        " hex(randomblob(i % 9)) FROM n;"
        "DELETE FROM data WHERE _id % 3 = 0;";
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_close(db);
    const std::string file = slurp(path);
    std::remove(path.c_str());
    int count = 0;
    for (size_t at = 0; at + 1024 <= file.size(); at += 1024) {
        const uint8_t type = uint8_t(file[at]);
        if (type != 2 && type != 10)
            continue;
        std::string input{char(0x11), char(at / 1024 + 1 == 1 ? 1 : 2)};
        input += file.substr(at, 1024);
        FILE* f = std::fopen((dir + "/seed-" + std::to_string(count++)).c_str(), "wb");
        if (!f)
            std::abort();
        std::fwrite(input.data(), 1, input.size(), f);
        std::fclose(f);
    }
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
    if (size < 2)
        return 0;
    // Shape byte: bits 0-1 the first term's affinity, 2-3 the second's,
    // 4-5 the number of terms minus one, bit 6 UTF-16.
    static const Affinity kAffinities[] = {Affinity::Integer, Affinity::Text, Affinity::Blob,
                                           Affinity::Real};
    fennaro::deep::IndexShape shape;
    const uint8_t choice = data[0];
    const size_t terms = ((choice >> 4) & 3) + 1;
    for (size_t i = 0; i < terms; ++i)
        shape.terms.push_back(kAffinities[(choice >> (2 * (i % 2))) & 3]);
    shape.textEncoding = (choice & 0x40) ? 2 : 1;
    const uint32_t pageNumber = data[1] == 1 ? 1 : 2;
    // The page, exactly the input's bytes: its usable size is what it holds.
    std::vector<uint8_t> page(data + 2, data + size);
    const uint32_t usable = uint32_t(page.size());
    if (usable < 480 || usable > 65536)
        return 0;
    const fennaro::deep::ByteView view{page.data(), page.size()};
    std::vector<fennaro::deep::IndexEntry> entries;
    fennaro::deep::wholeIndexEntries(view, pageNumber, usable, shape, nullptr, &entries);
    fennaro::deep::freedIndexEntries(view, pageNumber, usable, shape, nullptr, &entries);
    fennaro::deep::carvedIndexEntries(view, 8, usable, usable, shape, &entries);
    volatile bool fits = fennaro::deep::pageFitsIndex(view, pageNumber, usable, shape);
    (void)fits;
    return 0;
}
