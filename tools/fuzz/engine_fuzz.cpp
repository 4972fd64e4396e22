// libFuzzer target for the recovery engine. The first input byte picks the
// run (even: contacts, odd: messages); the rest is the database file the run
// carves. Messages runs pair it with a small valid contacts2.db, so the
// fuzzer reaches the carvers instead of stopping at the live-row query.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include <sqlite3.h>

#include "sqlite_parse.h"

namespace {

std::string g_dir;

// Writes bytes to path, replacing the file.
void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char templ[] = "/tmp/fennaro-fuzz-XXXXXX";
    if (!mkdtemp(templ))
        std::abort();
    g_dir = templ;
    sqlite3* db = nullptr;
    std::string contacts = g_dir + "/live/contacts2.db";
    if (std::system(("mkdir -p " + g_dir + "/live").c_str()) != 0 ||
        sqlite3_open(contacts.c_str(), &db) != SQLITE_OK)
        std::abort();
    sqlite3_exec(db,
                 "CREATE TABLE data(_id INTEGER PRIMARY KEY, raw_contact_id INTEGER, data1 TEXT);"
                 "INSERT INTO data VALUES(1, 7, 'Ann'), (2, 7, '13800138000');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    bool sms = data[0] & 1;
    std::string path = g_dir + (sms ? "/mmssms.db" : "/contacts2.db");
    writeFile(path, data + 1, size - 1);
    SqliteParse engine(sms ? g_dir + "/live/contacts2.db" : path, sms ? path : g_dir + "/none");
    engine.startParse(sms ? ePaserSms : ePaserContacts);
    volatile size_t n = engine.get_contacts_mem().size();
    (void)n;
    return 0;
}
