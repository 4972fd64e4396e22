#include "readonly_db.h"

#include <sqlite3.h>

namespace fennaro {

std::string readOnlyDatabaseUri(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    // "file://x" would name a host; on Linux "//x" and "/x" are the same file.
    size_t from = 0;
    while (path.size() - from > 1 && path[from] == '/' && path[from + 1] == '/')
        ++from;
    for (unsigned char c : path.substr(from)) {
        // '?' and '#' would end the path part, '%' starts an escape; control
        // bytes and blanks are escaped so the URI stays one plain token.
        if (c == '?' || c == '#' || c == '%' || c <= 0x20 || c == 0x7F) {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        } else {
            uri += char(c);
        }
    }
    uri += "?immutable=1";
    return uri;
}

sqlite3* openReadOnlyDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(readOnlyDatabaseUri(path).c_str(), &db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

ReadOnlyDatabase::~ReadOnlyDatabase() {
    sqlite3_close(handle);
}

} // namespace fennaro
