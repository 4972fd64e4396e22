#include "table_shape.h"

#include "sqlite_util.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace testdata {

namespace {

// `text` in upper case (ASCII).
std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The value of a DEFAULT clause as PRAGMA table_info gives it ("0", "-1",
// "'text'", "NULL"); NULL for anything else (expressions, CURRENT_TIME).
SqlValue defaultValue(const std::optional<std::string>& clause) {
    SqlValue v;
    if (!clause || clause->empty())
        return v;
    const std::string& c = *clause;
    if (c.size() >= 2 && c.front() == '\'' && c.back() == '\'') {
        v.type = SqlValue::Type::Text;
        for (size_t i = 1; i + 1 < c.size(); ++i) {
            v.bytes += c[i];
            if (c[i] == '\'' && c[i + 1] == '\'')
                ++i;
        }
        return v;
    }
    char* end = nullptr;
    errno = 0;
    const long long integer = std::strtoll(c.c_str(), &end, 10);
    if (*end == '\0' && errno != ERANGE) {
        v.type = SqlValue::Type::Integer;
        v.integer = integer;
        return v;
    }
    const double real = std::strtod(c.c_str(), &end);
    if (*end == '\0') {
        v.type = SqlValue::Type::Real;
        v.real = real;
    }
    return v;
}

} // namespace

bool hasRealAffinity(const std::string& declaredType) {
    // The same order of tests SQLite applies: INT wins, then the text and blob
    // words, and only then the floating-point ones.
    const std::string t = upper(declaredType);
    if (t.find("INT") != std::string::npos)
        return false;
    for (const char* word : {"CHAR", "CLOB", "TEXT", "BLOB"})
        if (t.find(word) != std::string::npos)
            return false;
    if (t.empty())
        return false;
    for (const char* word : {"REAL", "FLOA", "DOUB"})
        if (t.find(word) != std::string::npos)
            return true;
    return false;
}

std::vector<TableShape> readTableShapes(sqlite3* db) {
    std::vector<TableShape> shapes;
    Statement tables(db, "SELECT name, sql FROM sqlite_master WHERE type = 'table'");
    while (tables.step()) {
        const std::string sql = upper(tables.columnText(1));
        if (sql.rfind("CREATE VIRTUAL", 0) == 0 || sql.find("WITHOUT ROWID") != std::string::npos)
            continue;
        TableShape shape;
        shape.name = tables.columnText(0);
        std::string quoted = shape.name;
        for (size_t at = quoted.find('"'); at != std::string::npos; at = quoted.find('"', at + 2))
            quoted.insert(at, 1, '"');
        Statement info(db, "PRAGMA table_info(\"" + quoted + "\")");
        int keyColumns = 0, keyIndex = -1;
        std::string keyType;
        while (info.step()) {
            shape.columns.push_back(info.columnText(1));
            const std::string type = info.columnText(2);
            shape.realAffinity.push_back(hasRealAffinity(type));
            shape.defaults.push_back(defaultValue(info.columnOptText(4)));
            if (info.columnInt(5) > 0) {
                ++keyColumns;
                keyIndex = static_cast<int>(shape.columns.size()) - 1;
                keyType = upper(type);
            }
        }
        // Only a lone key column declared exactly INTEGER is the rowid itself.
        if (keyColumns == 1 && keyType == "INTEGER")
            shape.rowidColumn = keyIndex;
        shape.columnCounts.push_back(shape.columns.size());
        shapes.push_back(std::move(shape));
    }
    return shapes;
}

const TableShape* findShape(const std::vector<TableShape>& shapes, const std::string& table) {
    for (const TableShape& s : shapes)
        if (s.name == table)
            return &s;
    return nullptr;
}

} // namespace testdata
