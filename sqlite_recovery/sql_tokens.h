// SQL text as the schema readers see it: a token list (comments and blanks
// dropped, quotes removed) and the small tests they ask of tokens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fennaro::deep {

struct Token {
    enum class Kind : uint8_t { Word, Quoted, String, Number, Blob, Punct };
    Kind kind;
    std::string text; // identifiers and strings unquoted, blobs as their bytes
};

// Splits SQL text into tokens; comments and blanks are dropped.
std::vector<Token> tokenize(std::string_view sql);

// True when token is the bare word `word` (given in upper case), in any case.
bool isKeyword(const Token& token, std::string_view word);

// True when token is the punctuation character c.
bool isPunct(const Token& token, char c);

// text in upper case (ASCII letters only).
std::string upper(std::string_view text);

// The position after the parenthesised group that opens at tokens[i].
size_t skipGroup(const std::vector<Token>& tokens, size_t i, size_t end);

// True when two identifiers name the same thing (SQLite compares ASCII case-blind).
bool sameName(std::string_view a, std::string_view b);

// The comma-separated items at depth 0 of the group that opens at
// tokens[open], as [begin, end) ranges of tokens; empty items left out.
std::vector<std::pair<size_t, size_t>> groupItems(const std::vector<Token>& tokens, size_t open);

} // namespace fennaro::deep
