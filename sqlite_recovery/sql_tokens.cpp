#include "sqlite_recovery/sql_tokens.h"

#include <cctype>

namespace fennaro::deep {

namespace {

// True for a byte an unquoted identifier may start with.
bool isIdentifierStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}

// True for a byte an unquoted identifier may go on with.
bool isIdentifierPart(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

// Reads a quoted run that starts at sql[i] with `open` and ends with `close`,
// a doubled close standing for one; returns the position after it.
size_t readQuoted(std::string_view sql, size_t i, char close, std::string* out) {
    ++i;
    while (i < sql.size()) {
        if (sql[i] == close) {
            if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
                out->push_back(close);
                i += 2;
                continue;
            }
            return i + 1;
        }
        out->push_back(sql[i++]);
    }
    return i;
}

// The value of a hex digit, or -1.
int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

// Splits SQL text into tokens; comments and blanks are dropped.
std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < sql.size()) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else if ((c == 'x' || c == 'X') && i + 1 < sql.size() && sql[i + 1] == '\'') {
            std::string hex;
            i = readQuoted(sql, i + 1, '\'', &hex);
            std::string bytes;
            for (size_t k = 0; k + 1 < hex.size(); k += 2) {
                int hi = hexDigit(hex[k]), lo = hexDigit(hex[k + 1]);
                if (hi < 0 || lo < 0)
                    break;
                bytes.push_back(char(hi * 16 + lo));
            }
            tokens.push_back({Token::Kind::Blob, std::move(bytes)});
        } else if (isIdentifierStart(c)) {
            size_t start = i;
            while (i < sql.size() && isIdentifierPart(static_cast<unsigned char>(sql[i])))
                ++i;
            tokens.push_back({Token::Kind::Word, std::string(sql.substr(start, i - start))});
        } else if (c == '"' || c == '`' || c == '[') {
            std::string text;
            i = readQuoted(sql, i, c == '[' ? ']' : char(c), &text);
            tokens.push_back({Token::Kind::Quoted, std::move(text)});
        } else if (c == '\'') {
            std::string text;
            i = readQuoted(sql, i, '\'', &text);
            tokens.push_back({Token::Kind::String, std::move(text)});
        } else if (std::isdigit(c) || (c == '.' && i + 1 < sql.size() &&
                                       std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            size_t start = i;
            while (i < sql.size()) {
                const unsigned char d = static_cast<unsigned char>(sql[i]);
                const bool sign = (d == '+' || d == '-') && i > start &&
                                  (sql[i - 1] == 'e' || sql[i - 1] == 'E') &&
                                  !(sql.substr(start, 2) == "0x" || sql.substr(start, 2) == "0X");
                if (!(std::isalnum(d) || d == '.' || sign))
                    break;
                ++i;
            }
            tokens.push_back({Token::Kind::Number, std::string(sql.substr(start, i - start))});
        } else {
            tokens.push_back({Token::Kind::Punct, std::string(1, char(c))});
            ++i;
        }
    }
    return tokens;
}

bool isKeyword(const Token& token, std::string_view word) {
    // A bare word, compared letter by letter in upper case.
    if (token.kind != Token::Kind::Word || token.text.size() != word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(token.text[i])) != word[i])
            return false;
    }
    return true;
}

bool isPunct(const Token& token, char c) {
    // One punctuation character.
    return token.kind == Token::Kind::Punct && token.text.size() == 1 && token.text[0] == c;
}

std::string upper(std::string_view text) {
    // ASCII letters only, as SQLite folds identifiers.
    std::string out(text);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The position after the parenthesised group that opens at tokens[i].
size_t skipGroup(const std::vector<Token>& tokens, size_t i, size_t end) {
    int depth = 0;
    for (; i < end; ++i) {
        if (isPunct(tokens[i], '('))
            ++depth;
        else if (isPunct(tokens[i], ')') && --depth == 0)
            return i + 1;
    }
    return end;
}

bool sameName(std::string_view a, std::string_view b) {
    // Case-blind for ASCII, as SQLite compares names.
    return upper(a) == upper(b);
}

std::vector<std::pair<size_t, size_t>> groupItems(const std::vector<Token>& tokens, size_t open) {
    // Depth counts the parentheses inside an item (a type's size, a default).
    std::vector<std::pair<size_t, size_t>> items;
    const size_t close = skipGroup(tokens, open, tokens.size());
    size_t start = open + 1;
    int depth = 0;
    for (size_t k = open + 1; k < close; ++k) {
        const bool last = k + 1 == close;
        if (isPunct(tokens[k], '('))
            ++depth;
        else if (isPunct(tokens[k], ')'))
            --depth;
        if (!last && !(depth == 0 && isPunct(tokens[k], ',')))
            continue;
        if (k > start)
            items.emplace_back(start, k);
        start = k + 1;
    }
    return items;
}

} // namespace fennaro::deep
