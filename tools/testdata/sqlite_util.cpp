#include "sqlite_util.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace testdata {

// Throws a runtime_error carrying SQLite's message for `db`.
[[noreturn]] static void fail(sqlite3* db, const std::string& what) {
    throw std::runtime_error("testdata: " + what + ": " + (db ? sqlite3_errmsg(db) : "no db"));
}

void execSql(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        throw std::runtime_error("testdata: " + msg + " in: " + sql.substr(0, 200));
    }
}

void removeDatabaseFiles(const std::string& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        std::remove((path + suffix).c_str());
}

// Orders two texts bytewise, as memcmp with the shorter first.
static int binaryCompare(void*, int lenA, const void* a, int lenB, const void* b) {
    int n = std::memcmp(a, b, static_cast<size_t>(lenA < lenB ? lenA : lenB));
    return n != 0 ? n : lenA - lenB;
}

void registerAndroidCollations(sqlite3* db) {
    for (const char* name : {"PHONEBOOK", "LOCALIZED", "UNICODE"})
        sqlite3_create_collation(db, name, SQLITE_UTF8, nullptr, binaryCompare);
}

sqlite3* openFreshDatabase(const std::string& path, const DbOptions& options) {
    if (options.pageSize < 512 || options.pageSize > 65536 ||
        (options.pageSize & (options.pageSize - 1)) != 0)
        throw std::invalid_argument("testdata: page size must be a power of two, 512..65536");
    removeDatabaseFiles(path);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error("testdata: cannot create " + path + ": " + msg);
    }
    registerAndroidCollations(db);
    try {
        // Page size and auto_vacuum only take effect before the first table exists.
        // secure_delete is always set explicitly: distribution builds default it to ON.
        execSql(db, "PRAGMA page_size=" + std::to_string(options.pageSize) +
                        ";PRAGMA auto_vacuum=" + (options.autoVacuumFull ? "FULL" : "NONE") +
                        ";PRAGMA secure_delete=" + (options.zeroDeleted ? "ON" : "OFF") +
                        ";PRAGMA encoding='UTF-8';PRAGMA synchronous=OFF"
                        ";PRAGMA journal_mode=OFF;PRAGMA cache_size=-65536"
                        ";PRAGMA temp_store=MEMORY");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return db;
}

void finishDatabase(sqlite3* db, const DbOptions& options) {
    try {
        if (!sqlite3_get_autocommit(db))
            execSql(db, "COMMIT");
        if (options.wal)
            execSql(db, "PRAGMA journal_mode=WAL");
        else
            execSql(db, "PRAGMA journal_mode=DELETE");
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    if (sqlite3_close(db) != SQLITE_OK)
        fail(db, "close");
}

Statement::Statement(sqlite3* db, const std::string& sql) : m_db(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
        fail(db, "prepare " + sql.substr(0, 120));
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

Statement& Statement::bind(int index, int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

Statement& Statement::bind(int index, const std::string& value) {
    sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bind(int index, const std::optional<std::string>& value) {
    return value ? bind(index, *value) : bindNull(index);
}

Statement& Statement::bind(int index, const std::optional<int64_t>& value) {
    return value ? bind(index, *value) : bindNull(index);
}

Statement& Statement::bindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

Statement& Statement::bindReal(int index, double value) {
    sqlite3_bind_double(m_stmt, index, value);
    return *this;
}

Statement& Statement::bindBlob(int index, const std::string& bytes) {
    sqlite3_bind_blob(m_stmt, index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    std::string sql = sqlite3_sql(m_stmt) ? sqlite3_sql(m_stmt) : "";
    sqlite3_reset(m_stmt);
    fail(m_db, "step " + sql.substr(0, 120));
}

void Statement::run() {
    while (step()) {
    }
    reset();
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int64_t Statement::columnInt(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

std::optional<int64_t> Statement::columnOptInt(int column) const {
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_int64(m_stmt, column);
}

std::optional<std::string> Statement::columnOptText(int column) const {
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
        return std::nullopt;
    return columnText(column);
}

SqlValue Statement::columnValue(int column) const {
    return sqlValueFrom(sqlite3_column_value(m_stmt, column));
}

std::string Statement::columnText(int column) const {
    const auto* text = sqlite3_column_text(m_stmt, column);
    if (!text)
        return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)));
}

} // namespace testdata
