#include "sqlite_recovery/table_schema.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "sqlite_recovery/sql_tokens.h"

namespace fennaro::deep {

namespace {

// Words that end a column's type name and start its constraints.
bool startsConstraint(const Token& token) {
    static const char* const kWords[] = {"CONSTRAINT", "PRIMARY",   "NOT",     "NULL",
                                         "UNIQUE",     "CHECK",     "DEFAULT", "COLLATE",
                                         "REFERENCES", "GENERATED", "AS"};
    for (const char* word : kWords) {
        if (isKeyword(token, word))
            return true;
    }
    return false;
}

// A number literal as SQLite reads it: an integer when it fits, else a real.
Value numberValue(const std::string& text, bool negative) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        uint64_t v = 0;
        auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), v, 16);
        if (error == std::errc() && end == text.data() + text.size())
            return Value::ofInteger(negative ? -int64_t(v) : int64_t(v));
        return Value::null();
    }
    if (text.find_first_of(".eE") == std::string::npos) {
        int64_t v = 0;
        std::string signedText = (negative ? "-" : "") + text;
        auto [end, error] =
            std::from_chars(signedText.data(), signedText.data() + signedText.size(), v);
        if (error == std::errc() && end == signedText.data() + signedText.size())
            return Value::ofInteger(v);
    }
    double d = std::strtod(text.c_str(), nullptr);
    return Value::ofReal(negative ? -d : d);
}

// The literal of a DEFAULT clause starting at tokens[i]; NULL for anything
// that is not a constant SQLite could have stored.
Value defaultLiteral(const std::vector<Token>& tokens, size_t i, size_t end) {
    if (i >= end)
        return Value::null();
    if (isPunct(tokens[i], '(')) {
        size_t close = skipGroup(tokens, i, end);
        // A parenthesised literal: "(0)", "(-1)", "('x')".
        if (close >= i + 3)
            return defaultLiteral(tokens, i + 1, close - 1);
        return Value::null();
    }
    bool negative = false;
    if ((isPunct(tokens[i], '-') || isPunct(tokens[i], '+')) && i + 1 < end) {
        negative = isPunct(tokens[i], '-');
        ++i;
        if (tokens[i].kind != Token::Kind::Number)
            return Value::null();
    }
    const Token& t = tokens[i];
    switch (t.kind) {
    case Token::Kind::Number:
        return numberValue(t.text, negative);
    case Token::Kind::String:
    case Token::Kind::Quoted:
        return Value::ofText(t.text);
    case Token::Kind::Blob:
        return Value::ofBlob(t.text);
    case Token::Kind::Word:
        if (isKeyword(t, "TRUE"))
            return Value::ofInteger(1);
        if (isKeyword(t, "FALSE"))
            return Value::ofInteger(0);
        return Value::null();
    default:
        return Value::null();
    }
}

// Gives a default value the column's affinity, as SQLite does when it reads it.
Value withAffinity(Value v, Affinity affinity) {
    if (affinity == Affinity::Text) {
        if (v.kind == Value::Kind::Integer)
            return Value::ofText(std::to_string(v.integer));
        if (v.kind == Value::Kind::Real) {
            char text[32];
            std::snprintf(text, sizeof text, "%.15g", v.real);
            std::string s = text;
            if (s.find_first_of(".eEn") == std::string::npos)
                s += ".0";
            return Value::ofText(s);
        }
        return v;
    }
    if (affinity == Affinity::Blob || v.kind != Value::Kind::Text || v.bytes.empty())
        return v;
    // A numeric text becomes a number in INTEGER, REAL and NUMERIC columns.
    const std::string& s = v.bytes;
    size_t start = 0;
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        start = 1;
    }
    std::string digits = s.substr(start);
    if (digits.empty() || digits.find_first_not_of("0123456789.eE+-") != std::string::npos ||
        !(std::isdigit(static_cast<unsigned char>(digits[0])) || digits[0] == '.'))
        return v;
    char* end = nullptr;
    std::strtod(digits.c_str(), &end);
    if (end != digits.c_str() + digits.size())
        return v;
    Value number = numberValue(digits, negative);
    if (affinity == Affinity::Real && number.kind == Value::Kind::Integer)
        return Value::ofReal(double(number.integer));
    if (number.kind == Value::Kind::Real && number.real == double(int64_t(number.real)) &&
        affinity != Affinity::Real)
        return Value::ofInteger(int64_t(number.real));
    return number;
}

struct ColumnDraft {
    ColumnInfo info;
    std::string declaredType;
    bool primaryKey = false;
    bool primaryKeyDesc = false;
    bool virtualGenerated = false;
};

// Reads one column definition, tokens[begin, end).
ColumnDraft parseColumn(const std::vector<Token>& tokens, size_t begin, size_t end) {
    ColumnDraft column;
    column.info.name = tokens[begin].text;
    size_t i = begin + 1;
    std::string type;
    while (i < end && !startsConstraint(tokens[i]) &&
           (tokens[i].kind == Token::Kind::Word || tokens[i].kind == Token::Kind::Quoted)) {
        if (!type.empty())
            type += ' ';
        type += tokens[i].text;
        ++i;
        if (i < end && isPunct(tokens[i], '('))
            i = skipGroup(tokens, i, end);
    }
    column.declaredType = type;
    column.info.affinity = affinityOfType(type);
    bool generated = false, stored = false;
    Value defaultValue;
    while (i < end) {
        const Token& t = tokens[i];
        if (isKeyword(t, "PRIMARY")) {
            column.primaryKey = true;
            if (i + 2 < end && isKeyword(tokens[i + 2], "DESC"))
                column.primaryKeyDesc = true;
            ++i;
        } else if (isKeyword(t, "NOT") && i + 1 < end && isKeyword(tokens[i + 1], "NULL")) {
            column.info.notNull = true;
            i += 2;
        } else if (isKeyword(t, "DEFAULT")) {
            defaultValue = defaultLiteral(tokens, i + 1, end);
            i += 1;
            if (i < end && isPunct(tokens[i], '('))
                i = skipGroup(tokens, i, end);
            else if (i < end && (isPunct(tokens[i], '-') || isPunct(tokens[i], '+')))
                i += 2;
            else
                i += 1;
        } else if (isKeyword(t, "GENERATED") || isKeyword(t, "AS")) {
            generated = true;
            ++i;
        } else if (isKeyword(t, "STORED")) {
            stored = true;
            ++i;
        } else if (isPunct(t, '(')) {
            i = skipGroup(tokens, i, end);
        } else {
            ++i;
        }
    }
    column.virtualGenerated = generated && !stored;
    column.info.defaultValue = withAffinity(std::move(defaultValue), column.info.affinity);
    return column;
}

// The single column a table-level PRIMARY KEY (...) names, or "".
std::string tablePrimaryKey(const std::vector<Token>& tokens, size_t begin, size_t end) {
    for (size_t i = begin; i + 2 < end; ++i) {
        if (isKeyword(tokens[i], "PRIMARY") && isKeyword(tokens[i + 1], "KEY") &&
            isPunct(tokens[i + 2], '(')) {
            size_t close = skipGroup(tokens, i + 2, end);
            size_t commas = 0;
            for (size_t k = i + 3; k + 1 < close; ++k)
                commas += isPunct(tokens[k], ',');
            if (commas == 0 && i + 3 < close &&
                (tokens[i + 3].kind == Token::Kind::Word ||
                 tokens[i + 3].kind == Token::Kind::Quoted ||
                 tokens[i + 3].kind == Token::Kind::String))
                return tokens[i + 3].text;
            return "";
        }
    }
    return "";
}

} // namespace

Affinity affinityOfType(std::string_view declaredType) {
    const std::string type = upper(declaredType);
    if (type.find("INT") != std::string::npos)
        return Affinity::Integer;
    if (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
        type.find("TEXT") != std::string::npos)
        return Affinity::Text;
    if (type.empty() || type.find("BLOB") != std::string::npos)
        return Affinity::Blob;
    if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
        type.find("DOUB") != std::string::npos)
        return Affinity::Real;
    return Affinity::Numeric;
}

bool parseCreateTable(std::string_view sql, ParsedTable* table) {
    // CREATE [TEMP] TABLE [IF NOT EXISTS] [schema.]name ( item, ... ) [options]
    const std::vector<Token> tokens = tokenize(sql);
    size_t i = 0;
    const size_t n = tokens.size();
    if (i >= n || !isKeyword(tokens[i++], "CREATE"))
        return false;
    if (i < n && (isKeyword(tokens[i], "TEMP") || isKeyword(tokens[i], "TEMPORARY")))
        ++i;
    if (i >= n || !isKeyword(tokens[i++], "TABLE"))
        return false;
    while (i < n && !isPunct(tokens[i], '(')) {
        if (isKeyword(tokens[i], "AS"))
            return false;
        ++i;
    }
    if (i >= n)
        return false;
    const size_t close = skipGroup(tokens, i, n);
    table->columns.clear();
    table->aliasColumn = -1;
    table->withoutRowid = false;
    for (size_t k = close; k + 1 < n; ++k) {
        if (isKeyword(tokens[k], "WITHOUT") && isKeyword(tokens[k + 1], "ROWID"))
            table->withoutRowid = true;
    }

    std::vector<ColumnDraft> drafts;
    std::string primaryKeyColumn;
    for (auto [itemStart, itemEnd] : groupItems(tokens, i)) {
        const Token& first = tokens[itemStart];
        if (isKeyword(first, "CONSTRAINT") || isKeyword(first, "PRIMARY") ||
            isKeyword(first, "UNIQUE") || isKeyword(first, "CHECK") ||
            isKeyword(first, "FOREIGN")) {
            std::string key = tablePrimaryKey(tokens, itemStart, itemEnd);
            if (!key.empty())
                primaryKeyColumn = key;
        } else if (first.kind == Token::Kind::Word || first.kind == Token::Kind::Quoted ||
                   first.kind == Token::Kind::String) {
            drafts.push_back(parseColumn(tokens, itemStart, itemEnd));
        }
    }

    for (ColumnDraft& draft : drafts) {
        if (draft.virtualGenerated)
            continue;
        const bool integerType = upper(draft.declaredType) == "INTEGER";
        const bool alias =
            !table->withoutRowid && integerType &&
            ((draft.primaryKey && !draft.primaryKeyDesc) ||
             (!primaryKeyColumn.empty() && sameName(primaryKeyColumn, draft.info.name)));
        if (alias && table->aliasColumn < 0) {
            draft.info.rowidAlias = true;
            table->aliasColumn = int(table->columns.size());
        }
        table->columns.push_back(std::move(draft.info));
    }
    return !table->columns.empty();
}

} // namespace fennaro::deep
