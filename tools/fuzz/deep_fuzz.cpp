// libFuzzer target for the deep engine. The input is a database, its -wal
// and its -journal in one: two 3-byte big-endian lengths (database, -wal),
// then the three files' bytes one after the other (the -journal takes the
// rest). An empty part means that file is absent. Each input is scanned, its
// current state written, and its deleted contacts and messages turned into
// text, as the program does with a pulled phone.
//
// With DEEP_FUZZ_SEEDS=DIR in the environment, the target first writes seed
// inputs into DIR (a WAL database with deletions, a PERSIST journal, a hot
// journal) and exits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include <sqlite3.h>

#include "phone/contacts_text.h"
#include "phone/scan_rules.h"
#include "phone/sms_text.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace {

std::string g_dir;

// Writes bytes to path, replacing the file; removes it when there are none.
void putFile(const std::string& path, const uint8_t* data, size_t size) {
    std::remove(path.c_str());
    if (size == 0)
        return;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

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

// Runs SQL on a connection, aborting on failure (seed making only).
void run(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
}

// Packs a database and its side files (copied while db is open) into one input.
void writeSeed(const std::string& dir, const std::string& name, const std::string& path) {
    const std::string main = slurp(path), wal = slurp(path + "-wal"),
                      journal = slurp(path + "-journal");
    std::string input;
    for (size_t size : {main.size(), wal.size()}) {
        input += char(size >> 16);
        input += char(size >> 8);
        input += char(size);
    }
    input += main + wal + journal;
    putFile(dir + "/" + name, reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

// Seeds: small sms and data tables in WAL mode, PERSIST mode, and mid-transaction.
void makeSeeds(const std::string& dir) {
    const char* schema =
        "PRAGMA page_size=512; PRAGMA auto_vacuum=NONE;"
        "CREATE TABLE sms(_id INTEGER PRIMARY KEY, address TEXT, person INTEGER, body TEXT);"
        "CREATE TABLE data(_id INTEGER PRIMARY KEY, mimetype_id INTEGER, raw_contact_id INTEGER,"
        " data1 TEXT);"
        "CREATE TABLE mimetypes(_id INTEGER PRIMARY KEY, mimetype TEXT);"
        "INSERT INTO mimetypes VALUES(5, 'vnd.android.cursor.item/phone_v2'),"
        " (7, 'vnd.android.cursor.item/name');";
    const char* rows =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60)"
        " INSERT INTO sms(address, person, body) SELECT '+8613800' || i, i % 7,"
        " 'body ' || i || ' ' || substr(hex(randomblob(40)), 1, i * 3) FROM n;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)"
        " INSERT INTO data(mimetype_id, raw_contact_id, data1) SELECT 5 + 2 * (i % 2), i / 2,"
        " CASE i % 2 WHEN 0 THEN '138' || i ELSE 'Name ' || i END FROM n;";
    struct Seed {
        const char* name;
        const char* mode;
        const char* work;
    } seeds[] = {
        {"seed-wal", "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;",
         "PRAGMA wal_checkpoint(TRUNCATE); DELETE FROM sms WHERE _id % 3 = 0;"
         "DELETE FROM data WHERE raw_contact_id % 4 = 1;"},
        {"seed-persist", "PRAGMA journal_mode=PERSIST; PRAGMA secure_delete=ON;",
         "DELETE FROM sms WHERE _id % 2 = 0; DELETE FROM data WHERE _id < 10;"},
        {"seed-hot", "PRAGMA journal_mode=DELETE; PRAGMA cache_size=1;",
         "BEGIN; DELETE FROM sms WHERE _id > 20; UPDATE data SET data1 = 'x';"},
    };
    for (const Seed& seed : seeds) {
        const std::string path = dir + "/" + seed.name + ".db";
        sqlite3* db = nullptr;
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
            std::abort();
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        run(db, seed.mode);
        run(db, schema);
        run(db, rows);
        run(db, seed.work);
        writeSeed(dir, seed.name, path);
        sqlite3_close(db);
        for (const char* suffix : {"", "-wal", "-journal", "-shm"})
            std::remove((path + suffix).c_str());
    }
}

// Removes the scratch folder and what the runs left in it.
void removeScratch() {
    for (const char* name : {"/phone.db", "/phone.db-wal", "/phone.db-journal", "/current.db"})
        std::remove((g_dir + name).c_str());
    rmdir(g_dir.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* seeds = std::getenv("DEEP_FUZZ_SEEDS")) {
        makeSeeds(seeds);
        std::exit(0);
    }
    char templ[] = "/tmp/fennaro-deep-fuzz-XXXXXX";
    if (!mkdtemp(templ))
        std::abort();
    g_dir = templ;
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6)
        return 0;
    size_t mainSize = (size_t(data[0]) << 16) | (size_t(data[1]) << 8) | data[2];
    size_t walSize = (size_t(data[3]) << 16) | (size_t(data[4]) << 8) | data[5];
    const uint8_t* p = data + 6;
    size_t left = size - 6;
    mainSize = mainSize < left ? mainSize : left;
    walSize = walSize < left - mainSize ? walSize : left - mainSize;
    const std::string db = g_dir + "/phone.db";
    putFile(db, p, mainSize);
    putFile(db + "-wal", p + mainSize, walSize);
    putFile(db + "-journal", p + mainSize + walSize, left - mainSize - walSize);

    const fennaro::deep::ScanReport report = fennaro::phone::scanDatabase(db);
    volatile size_t records = report.records.size();
    (void)records;
    fennaro::deep::writeCurrentState(db, g_dir + "/current.db");
    volatile size_t text =
        fennaro::deep::deepContactsText(db, db).size() + fennaro::deep::deepSmsText(db, db).size();
    (void)text;
    return 0;
}
