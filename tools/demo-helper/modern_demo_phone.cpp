// fennaro-demo-modern-phone SAMPLES_DIR OUT_DIR: turns the classic demo
// phone's two databases into those of a modern phone, in OUT_DIR:
//   contacts2.db with -wal and -shm: write-ahead logging, the last contacts
//     deleted in the log and not yet checkpointed;
//   mmssms.db with -journal: a persistent rollback journal still holding the
//     pages of a conversation deleted in the last transaction.
// Both with secure_delete on, as from Android 8. A stand-in until the test-data
// library makes modern phones itself.
#include <cstdio>
#include <filesystem>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

#include "sqlite_util.h"

namespace {

// Copies one sample database to out, removing the old file and side files.
void copySample(const std::string& sample, const std::string& out) {
    testdata::removeDatabaseFiles(out);
    std::filesystem::copy_file(sample, out);
}

// Opens a database for the changes below; throws on failure.
sqlite3* openDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path);
    }
    testdata::registerAndroidCollations(db);
    return db;
}

// contacts2.db: WAL, and three contacts deleted in the log only.
void makeContacts(const std::string& path) {
    sqlite3* db = openDatabase(path);
    // Closing would otherwise checkpoint the log into the file and delete it.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    testdata::execSql(db, "PRAGMA secure_delete=ON; PRAGMA journal_mode=WAL;"
                          "PRAGMA wal_autocheckpoint=0;"
                          "DELETE FROM raw_contacts WHERE _id IN"
                          " (SELECT _id FROM raw_contacts ORDER BY _id DESC LIMIT 3);");
    sqlite3_close(db);
}

// mmssms.db: a persistent journal, and the smallest conversation deleted.
void makeMessages(const std::string& path) {
    sqlite3* db = openDatabase(path);
    testdata::execSql(db, "PRAGMA secure_delete=ON; PRAGMA journal_mode=PERSIST;"
                          "BEGIN;"
                          "CREATE TEMP TABLE gone AS SELECT thread_id AS id FROM sms"
                          " GROUP BY thread_id ORDER BY count(*), thread_id LIMIT 1;"
                          "DELETE FROM sms WHERE thread_id IN (SELECT id FROM gone);"
                          "DELETE FROM threads WHERE _id IN (SELECT id FROM gone);"
                          "COMMIT;");
    sqlite3_close(db);
}

} // namespace

// Writes the modern demo phone's four or five files.
int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SAMPLES_DIR OUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string samples = argv[1];
    const std::string out = argv[2];
    try {
        std::filesystem::create_directories(out);
        copySample(samples + "/contacts2.db", out + "/contacts2.db");
        copySample(samples + "/mmssms.db", out + "/mmssms.db");
        makeContacts(out + "/contacts2.db");
        makeMessages(out + "/mmssms.db");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fennaro-demo-modern-phone: %s\n", e.what());
        return 1;
    }
    return 0;
}
