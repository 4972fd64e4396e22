#include "sqlite_recovery/index_schema.h"

#include <cstdlib>

#include "sqlite_recovery/schema_reader.h"
#include "sqlite_recovery/sql_tokens.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

namespace {

// True for a token that can name a column or a table.
bool isName(const Token& token) {
    return token.kind == Token::Kind::Word || token.kind == Token::Kind::Quoted ||
           token.kind == Token::Kind::String;
}

// The column an indexed term names: a bare name, optionally followed by
// COLLATE x and ASC or DESC; "" for anything else (an expression).
std::string termColumn(const std::vector<Token>& tokens, size_t begin, size_t end) {
    if (begin >= end || !isName(tokens[begin]) || tokens[begin].kind == Token::Kind::String)
        return "";
    size_t i = begin + 1;
    if (i + 1 < end && isKeyword(tokens[i], "COLLATE"))
        i += 2;
    if (i < end && (isKeyword(tokens[i], "ASC") || isKeyword(tokens[i], "DESC")))
        ++i;
    return i == end ? tokens[begin].text : "";
}

// The column names of a constraint's key list, the group opening at
// tokens[open]; empty when a term is not a plain column.
std::vector<std::string> keyColumns(const std::vector<Token>& tokens, size_t open) {
    std::vector<std::string> names;
    for (auto [begin, end] : groupItems(tokens, open)) {
        std::string name = termColumn(tokens, begin, end);
        if (name.empty())
            return {};
        names.push_back(std::move(name));
    }
    return names;
}

// Adds a key unless an earlier one has the same columns: SQLite makes no
// second index for it.
void addKey(std::vector<std::vector<std::string>>* keys, std::vector<std::string> key) {
    if (key.empty())
        return;
    for (const auto& other : *keys) {
        if (other.size() != key.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < key.size() && same; ++i)
            same = sameName(other[i], key[i]);
        if (same)
            return;
    }
    keys->push_back(std::move(key));
}

// The position of a column of table by name, or -1.
int columnIndex(const TableInfo& table, std::string_view name) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
        if (sameName(table.columns[i].name, name))
            return int(i);
    }
    return -1;
}

// The position of a table by name, or -1.
int tableIndex(const std::vector<TableInfo>& tables, std::string_view name) {
    for (size_t i = 0; i < tables.size(); ++i) {
        if (sameName(tables[i].name, name))
            return int(i);
    }
    return -1;
}

} // namespace

std::vector<SchemaEntry> readSchemaEntries(const PageReader& reader, uint32_t usableSize,
                                           uint32_t textEncoding) {
    // sqlite_master(type, name, tbl_name, rootpage, sql), row by row.
    const TableInfo master = sqliteMasterTable();
    std::vector<SchemaEntry> entries;
    VisitMarks marks;
    std::vector<Value> values;
    forEachTableRow(
        reader, 1, usableSize, marks, 5,
        [&](int64_t rowid, const RecordShape& shape, const uint8_t* body, size_t bodyBytes) {
            decodeRecordBody(shape, body, bodyBytes, &values);
            completeRow(master, rowid, textEncoding, &values);
            if (values.size() < 5 || values[0].kind != Value::Kind::Text ||
                values[1].kind != Value::Kind::Text)
                return;
            SchemaEntry entry;
            entry.type = values[0].bytes;
            entry.name = values[1].bytes;
            if (values[2].kind == Value::Kind::Text)
                entry.table = values[2].bytes;
            if (values[3].kind == Value::Kind::Integer && values[3].integer > 0 &&
                values[3].integer <= 0xFFFFFFFFll)
                entry.rootPage = uint32_t(values[3].integer);
            if (values[4].kind == Value::Kind::Text)
                entry.sql = values[4].bytes;
            entries.push_back(std::move(entry));
        });
    return entries;
}

bool parseCreateIndex(std::string_view sql, ParsedIndex* index) {
    // CREATE [UNIQUE] INDEX [IF NOT EXISTS] [schema.]name ON table ( terms ) ...
    const std::vector<Token> tokens = tokenize(sql);
    const size_t n = tokens.size();
    size_t i = 0;
    if (i >= n || !isKeyword(tokens[i++], "CREATE"))
        return false;
    index->unique = i < n && isKeyword(tokens[i], "UNIQUE");
    if (index->unique)
        ++i;
    if (i >= n || !isKeyword(tokens[i++], "INDEX"))
        return false;
    if (i + 2 < n && isKeyword(tokens[i], "IF") && isKeyword(tokens[i + 1], "NOT") &&
        isKeyword(tokens[i + 2], "EXISTS"))
        i += 3;
    if (i + 2 < n && isName(tokens[i]) && isPunct(tokens[i + 1], '.'))
        i += 2;
    if (i >= n || !isName(tokens[i]))
        return false;
    index->name = tokens[i++].text;
    if (i >= n || !isKeyword(tokens[i++], "ON"))
        return false;
    if (i + 2 < n && isName(tokens[i]) && isPunct(tokens[i + 1], '.'))
        i += 2;
    if (i + 1 >= n || !isName(tokens[i]) || !isPunct(tokens[i + 1], '('))
        return false;
    index->table = tokens[i].text;
    index->columns.clear();
    for (auto [begin, end] : groupItems(tokens, i + 1))
        index->columns.push_back(termColumn(tokens, begin, end));
    return !index->columns.empty();
}

std::vector<std::vector<std::string>> autoindexKeys(std::string_view createTableSql) {
    // Column constraints make their index where the column stands, table
    // constraints where they stand: SQLite numbers them in that order.
    const std::vector<Token> tokens = tokenize(createTableSql);
    std::vector<std::vector<std::string>> keys;
    size_t open = 0;
    while (open < tokens.size() && !isPunct(tokens[open], '('))
        ++open;
    if (open >= tokens.size())
        return keys;
    const size_t close = skipGroup(tokens, open, tokens.size());
    for (size_t k = close; k + 1 < tokens.size(); ++k) {
        if (isKeyword(tokens[k], "WITHOUT") && isKeyword(tokens[k + 1], "ROWID"))
            return {};
    }
    // Declared types by column, to tell an INTEGER PRIMARY KEY.
    std::vector<std::pair<std::string, std::string>> types;
    for (auto [begin, end] : groupItems(tokens, open)) {
        const Token& first = tokens[begin];
        const bool constraint = isKeyword(first, "CONSTRAINT") || isKeyword(first, "PRIMARY") ||
                                isKeyword(first, "UNIQUE") || isKeyword(first, "CHECK") ||
                                isKeyword(first, "FOREIGN");
        if (constraint) {
            for (size_t i = begin; i + 1 < end; ++i) {
                const bool primary = isKeyword(tokens[i], "PRIMARY") && i + 2 < end &&
                                     isKeyword(tokens[i + 1], "KEY") && isPunct(tokens[i + 2], '(');
                const bool unique = isKeyword(tokens[i], "UNIQUE") && isPunct(tokens[i + 1], '(');
                if (!primary && !unique)
                    continue;
                std::vector<std::string> key = keyColumns(tokens, primary ? i + 2 : i + 1);
                if (primary && key.size() == 1) {
                    for (const auto& [name, type] : types) {
                        if (sameName(name, key[0]) && upper(type) == "INTEGER")
                            key.clear();
                    }
                }
                addKey(&keys, std::move(key));
                break;
            }
            continue;
        }
        if (!isName(first))
            continue;
        std::string type;
        size_t i = begin + 1;
        while (i < end && tokens[i].kind == Token::Kind::Word && !isKeyword(tokens[i], "PRIMARY") &&
               !isKeyword(tokens[i], "UNIQUE") && !isKeyword(tokens[i], "CONSTRAINT") &&
               !isKeyword(tokens[i], "NOT") && !isKeyword(tokens[i], "DEFAULT") &&
               !isKeyword(tokens[i], "COLLATE") && !isKeyword(tokens[i], "REFERENCES") &&
               !isKeyword(tokens[i], "CHECK")) {
            type += (type.empty() ? "" : " ") + tokens[i].text;
            ++i;
        }
        types.emplace_back(first.text, type);
        for (; i < end; ++i) {
            if (isPunct(tokens[i], '(')) {
                i = skipGroup(tokens, i, end) - 1;
            } else if (isKeyword(tokens[i], "PRIMARY") && i + 1 < end &&
                       isKeyword(tokens[i + 1], "KEY")) {
                const bool desc = i + 2 < end && isKeyword(tokens[i + 2], "DESC");
                if (upper(type) != "INTEGER" || desc)
                    addKey(&keys, {first.text});
            } else if (isKeyword(tokens[i], "UNIQUE")) {
                addKey(&keys, {first.text});
            }
        }
    }
    return keys;
}

std::vector<IndexInfo> indexesOf(const std::vector<SchemaEntry>& entries,
                                 const std::vector<TableInfo>& tables) {
    // Named indexes from their statements; autoindexes by their number.
    std::vector<IndexInfo> indexes;
    for (const SchemaEntry& entry : entries) {
        if (entry.type != "index" || entry.rootPage == 0)
            continue;
        IndexInfo info;
        info.name = entry.name;
        info.rootPage = entry.rootPage;
        info.table = tableIndex(tables, entry.table);
        if (info.table < 0)
            continue;
        const TableInfo& table = tables[size_t(info.table)];
        std::vector<std::string> names;
        ParsedIndex parsed;
        if (!entry.sql.empty()) {
            if (!parseCreateIndex(entry.sql, &parsed))
                continue;
            names = std::move(parsed.columns);
        } else {
            const std::string prefix = "sqlite_autoindex_" + entry.table + "_";
            if (entry.name.compare(0, prefix.size(), prefix) != 0)
                continue;
            const long number = std::strtol(entry.name.c_str() + prefix.size(), nullptr, 10);
            std::string tableSql;
            for (const SchemaEntry& other : entries) {
                if (other.type == "table" && sameName(other.name, entry.table))
                    tableSql = other.sql;
            }
            const auto keys = autoindexKeys(tableSql);
            if (number < 1 || size_t(number) > keys.size())
                continue;
            names = keys[size_t(number) - 1];
        }
        bool any = false;
        for (const std::string& name : names) {
            info.columns.push_back(name.empty() ? -1 : columnIndex(table, name));
            any = any || info.columns.back() >= 0;
        }
        if (any)
            indexes.push_back(std::move(info));
    }
    return indexes;
}

} // namespace fennaro::deep
