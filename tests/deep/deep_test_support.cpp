#include "deep_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "readonly_db.h"

namespace deeptest {

namespace fs = std::filesystem;

const char* const kMessageTable =
    "CREATE TABLE msg(_id INTEGER PRIMARY KEY, address TEXT, body TEXT, date INTEGER,"
    " read INTEGER DEFAULT 0, score REAL, photo BLOB)";

SqlDb::SqlDb(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &m_db), SQLITE_OK) << path;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

SqlDb::~SqlDb() {
    close();
}

void SqlDb::close() {
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}

void SqlDb::exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message);
    EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (message ? message : "");
    sqlite3_free(message);
}

int64_t SqlDb::scalar(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    int64_t value = -1;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

std::string pullCopy(const std::string& path, const std::string& folder) {
    const std::string copy = folder + "/" + fs::path(path).filename().string();
    for (const char* suffix : {"", "-wal", "-journal"}) {
        std::error_code ec;
        if (fs::exists(path + suffix))
            fs::copy_file(path + suffix, copy + suffix, fs::copy_options::overwrite_existing, ec);
    }
    return copy;
}

namespace {

// Reads every row of a table through an open connection.
Rows readRows(sqlite3* db, const std::string& table) {
    Rows rows;
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "SELECT rowid, * FROM \"" + table + "\"";
    if (!db || sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        Row row;
        for (int i = 1; i < sqlite3_column_count(stmt); ++i) {
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_INTEGER:
                row.push_back(Value::ofInteger(sqlite3_column_int64(stmt, i)));
                break;
            case SQLITE_FLOAT:
                row.push_back(Value::ofReal(sqlite3_column_double(stmt, i)));
                break;
            case SQLITE_TEXT:
                row.push_back(Value::ofText(
                    std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                size_t(sqlite3_column_bytes(stmt, i)))));
                break;
            case SQLITE_BLOB:
                row.push_back(Value::ofBlob(
                    std::string(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                                size_t(sqlite3_column_bytes(stmt, i)))));
                break;
            default:
                row.push_back(Value::null());
            }
        }
        rows[sqlite3_column_int64(stmt, 0)] = std::move(row);
    }
    sqlite3_finalize(stmt);
    return rows;
}

} // namespace

Rows sqliteRows(const std::string& path, const std::string& table) {
    TempDir scratch;
    const std::string copy = pullCopy(path, scratch.path());
    sqlite3* db = nullptr;
    sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    Rows rows = readRows(db, table);
    sqlite3_close(db);
    return rows;
}

Rows immutableRows(const std::string& path, const std::string& table) {
    sqlite3* db = fennaro::openReadOnlyDatabase(path);
    Rows rows = readRows(db, table);
    sqlite3_close(db);
    return rows;
}

Rows insertMessages(SqlDb& db, int64_t firstId, int count, size_t bodyLength) {
    Rows rows;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.handle(),
                       "INSERT INTO msg(_id, address, body, date, read, score, photo)"
                       " VALUES(?, ?, ?, ?, ?, ?, ?)",
                       -1, &stmt, nullptr);
    for (int i = 0; i < count; ++i) {
        const int64_t id = firstId + i;
        const std::string address = "+86138" + std::to_string(10000000 + id * 7919 % 9000000);
        std::string body = "Message " + std::to_string(id) + ": ";
        while (body.size() < bodyLength)
            body += "the quick brown fox " + std::to_string(id % 97) + " ";
        body.resize(bodyLength);
        const int64_t date = 1700000000000 + id * 60000;
        const int64_t read = id % 3 == 0 ? 0 : 1;
        const double score = double(id) / 8.0;
        const std::string photo = id % 5 == 0 ? std::string("\x00\x01\xFF\x7F", 4) : "";
        sqlite3_bind_int64(stmt, 1, id);
        sqlite3_bind_text(stmt, 2, address.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 3, body.data(), int(body.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(stmt, 4, date);
        sqlite3_bind_int64(stmt, 5, read);
        sqlite3_bind_double(stmt, 6, score);
        if (photo.empty())
            sqlite3_bind_null(stmt, 7);
        else
            sqlite3_bind_blob(stmt, 7, photo.data(), int(photo.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_reset(stmt);
        rows[id] = {Value::ofInteger(id),
                    Value::ofText(address),
                    Value::ofText(body),
                    Value::ofInteger(date),
                    Value::ofInteger(read),
                    Value::ofReal(score),
                    photo.empty() ? Value::null() : Value::ofBlob(photo)};
    }
    sqlite3_finalize(stmt);
    return rows;
}

std::map<int64_t, RecoveredRecord> byRowid(const ScanReport& report, const std::string& table) {
    std::map<int64_t, RecoveredRecord> records;
    for (const RecoveredRecord& r : report.records) {
        if (r.table == table && r.rowid)
            records.emplace(*r.rowid, r);
    }
    return records;
}

std::vector<RecoveredRecord> recordsOf(const ScanReport& report, const std::string& table) {
    std::vector<RecoveredRecord> records;
    for (const RecoveredRecord& r : report.records) {
        if (r.table == table)
            records.push_back(r);
    }
    return records;
}

namespace {

// The values but the first (the rowid column of the test tables).
Row withoutRowid(const Row& row) {
    return row.empty() ? row : Row(row.begin() + 1, row.end());
}

} // namespace

void expectPrecise(const ScanReport& report, const std::string& table, const Rows& live) {
    std::set<std::pair<std::string, int64_t>> seen;
    std::vector<Row> liveValues, withRowid;
    for (const auto& [rowid, row] : live)
        liveValues.push_back(withoutRowid(row));
    for (const RecoveredRecord& r : report.records) {
        if (r.table == table && r.rowid)
            withRowid.push_back(withoutRowid(r.values));
    }
    auto holds = [](const std::vector<Row>& rows, const Row& row) {
        return std::find(rows.begin(), rows.end(), row) != rows.end();
    };
    for (const RecoveredRecord& r : report.records) {
        bool anyValue = false;
        for (const Value& v : r.values)
            anyValue = anyValue || v.hasContent();
        EXPECT_TRUE(anyValue) << r.table << " record at " << r.offset << " holds no value";
        if (r.rowid) {
            EXPECT_TRUE(seen.insert({r.table, *r.rowid}).second)
                << r.table << " rowid " << *r.rowid << " reported twice";
        }
        if (r.table != table)
            continue;
        if (r.rowid) {
            EXPECT_EQ(live.count(*r.rowid), 0u) << "live rowid " << *r.rowid << " reported";
        } else {
            EXPECT_FALSE(holds(liveValues, withoutRowid(r.values)))
                << "a live row's values reported (offset " << r.offset << ")";
            EXPECT_FALSE(holds(withRowid, withoutRowid(r.values)))
                << "a recovered row reported again without its rowid (offset " << r.offset << ")";
        }
    }
}

void expectRecovered(const ScanReport& report, const std::string& table, const Rows& deleted) {
    const auto found = byRowid(report, table);
    for (const auto& [rowid, row] : deleted) {
        auto it = found.find(rowid);
        if (it == found.end()) {
            ADD_FAILURE() << "deleted rowid " << rowid << " of " << table << " not recovered";
            continue;
        }
        EXPECT_TRUE(it->second.values == row)
            << "rowid " << rowid << " recovered with other values";
    }
}

void expectRecoveredValues(const ScanReport& report, const std::string& table,
                           const Rows& deleted) {
    const std::vector<RecoveredRecord> records = recordsOf(report, table);
    for (const auto& [rowid, row] : deleted) {
        bool found = false;
        for (const RecoveredRecord& r : records)
            found = found || withoutRowid(r.values) == withoutRowid(row);
        EXPECT_TRUE(found) << "the values of deleted rowid " << rowid << " not recovered";
    }
}

namespace {

// Appends a SQLite varint.
void appendVarint(std::string& out, uint64_t v) {
    char bytes[10];
    int n = 0;
    do {
        bytes[n++] = char(v & 0x7F);
        v >>= 7;
    } while (v != 0 && n < 9);
    for (int i = n - 1; i >= 0; --i)
        out += char(bytes[i] | (i > 0 ? 0x80 : 0));
}

// Serial type and body bytes of one value as SQLite stores it (the REAL
// columns of the message table store whole numbers as integers).
void encodeValue(const Value& v, std::string& header, std::string& body) {
    if (v.kind == Value::Kind::Null) {
        appendVarint(header, 0);
        return;
    }
    if (v.kind == Value::Kind::Text || v.kind == Value::Kind::Blob) {
        appendVarint(header, 2 * v.bytes.size() + (v.kind == Value::Kind::Text ? 13 : 12));
        body += v.bytes;
        return;
    }
    int64_t i = v.integer;
    if (v.kind == Value::Kind::Real) {
        if (v.real != double(int64_t(v.real))) {
            uint64_t bits;
            std::memcpy(&bits, &v.real, 8);
            appendVarint(header, 7);
            for (int k = 7; k >= 0; --k)
                body += char(bits >> (8 * k));
            return;
        }
        i = int64_t(v.real);
    }
    if (i == 0 || i == 1) {
        appendVarint(header, 8 + uint64_t(i));
        return;
    }
    static const int kWidths[] = {1, 2, 3, 4, 6, 8};
    for (int t = 0; t < 6; ++t) {
        const int width = kWidths[t];
        const int64_t limit = width == 8 ? INT64_MAX : (int64_t(1) << (8 * width - 1)) - 1;
        if (i <= limit && i >= -limit - 1) {
            appendVarint(header, uint64_t(t + 1));
            for (int k = width - 1; k >= 0; --k)
                body += char(uint64_t(i) >> (8 * k));
            return;
        }
    }
}

} // namespace

std::string recordPayload(const Row& row, bool bodyOnly) {
    std::string types, body;
    encodeValue(Value::null(), types, body);
    for (size_t i = 1; i < row.size(); ++i)
        encodeValue(row[i], types, body);
    if (bodyOnly)
        return body;
    std::string payload;
    appendVarint(payload, types.size() + 1);
    return payload + types + body;
}

Rows survivingRows(const std::string& file, const Rows& rows, uint32_t pageSize, bool bodyOnly) {
    // Whole payloads, or the part a page keeps of one that overflows.
    const size_t maxLocal = pageSize - 35, minLocal = (pageSize - 12) * 32 / 255 - 23;
    Rows found;
    for (const auto& [id, row] : rows) {
        const std::string payload = recordPayload(row, bodyOnly);
        const size_t kept = recordPayload(row).size() <= maxLocal ? payload.size()
                            : bodyOnly                            ? 16
                                                                  : minLocal;
        if (file.find(payload.substr(0, kept)) != std::string::npos)
            found.insert({id, row});
    }
    return found;
}

} // namespace deeptest
