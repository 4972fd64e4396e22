// Finding records by what the user types: a contact by its name, any of its
// numbers or e-mail addresses; a conversation by its name, number or the text
// of any message; a call by its name or number. Deleted records are found
// like live ones. Case does not matter for ASCII and Latin-1 letters; other
// characters are compared as they are.
//
// Numbers are compared as digit strings with the prefixes the phone itself
// ignores when it names a sender (phone_match.h): "+" and "00" mean the same
// international prefix, and a trunk 0 stands for a country code, so
// "0049 30 123" finds "+49 30 1234567" and "030 123".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/call_records.h"
#include "records/contact_fields.h"
#include "records/conversation_index.h"
#include "records/deep_conversations.h"
#include "records/record_nodes.h"

namespace fennaro {

// A number as the search compares it.
struct SearchNumber {
    // Its digits without "+", "00" or a trunk 0 in front.
    std::string digits;
    // Written with "+" or "00" (the digits then begin with the country code).
    bool international = false;
    // Written with a trunk 0 (the digits then lack the country code).
    bool national = false;
};

// Returns the number reduced to what the search compares.
SearchNumber searchNumber(std::string_view number);

// Returns text with ASCII and Latin-1 capitals (UTF-8) made small; other
// bytes stay as they are.
std::string foldCase(std::string_view text);

// A search as typed, made ready once for many comparisons.
struct SearchQuery {
    // The text folded; empty for an empty search.
    std::string folded;
    // Set when the text reads as a phone number: digits, with spaces, "+",
    // "-", "(", ")", "." or "/" only.
    bool numberLike = false;
    SearchNumber number;
};

// Returns the rows of both lists, in order, each once.
std::vector<uint32_t> mergeRows(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

// Returns the query of a typed text; white space around it is ignored.
SearchQuery makeSearchQuery(std::string_view text);

// Returns whether folded text (foldCase) holds the query's text.
bool foldedTextMatches(std::string_view folded, const SearchQuery& query);
// Returns whether a text holds the query's text, case ignored.
bool textMatches(std::string_view text, const SearchQuery& query);
// Returns whether a number holds the query's number (number-like queries only).
bool numberMatches(const SearchNumber& number, const SearchQuery& query);

// What a record is found by: texts compared by their letters and numbers
// compared by their digits (numbers are also compared as text).
struct SearchTexts {
    std::vector<std::string> texts;
    std::vector<std::string> numbers;
};

// Returns whether any text or number of a record matches.
bool recordMatches(const SearchTexts& record, const SearchQuery& query);

// The search texts of the records of each kind. Classic deleted records
// carry their engine line (name TAB number [TAB body]).
SearchTexts liveContactTexts(const ContactNode& contact, const ContactDataIndex& index);
SearchTexts classicDeletedContactTexts(const ContactNode& contact);
SearchTexts deepContactTexts(const deep::DeepContact& contact, const ContactDataIndex& index);
SearchTexts liveConversationTexts(const ThreadNode& thread, const ConversationIndex& index);
SearchTexts classicDeletedSmsTexts(const ThreadNode& sms);
SearchTexts deepConversationTexts(const deep::DeepConversation& conversation);
SearchTexts callTexts(const deep::CallRecord& call);

// The records of one list made ready for searching once per loading run, so
// each keystroke only compares prepared texts: the folded texts of each row
// joined in one string, and its numbers reduced.
class SearchIndex {
  public:
    // Adds the next row.
    void add(const SearchTexts& record);
    // Returns the number of rows.
    std::size_t size() const { return m_rows.size(); }
    // Returns whether row matches.
    bool matches(std::size_t row, const SearchQuery& query) const;
    // Returns the rows that match, in order: findText's and findNumbers'.
    std::vector<uint32_t> find(const SearchQuery& query,
                               const std::vector<uint32_t>* within = nullptr) const;
    // Returns the rows whose texts hold the query's text, in order. With
    // within, only those rows are compared: the text matches of a query
    // whose text the new one's holds.
    std::vector<uint32_t> findText(const SearchQuery& query,
                                   const std::vector<uint32_t>* within = nullptr) const;
    // Returns the rows with a number the number rule matches, in order;
    // none for a query that is not read as a number. Numbers are few, so
    // this always looks at every row.
    std::vector<uint32_t> findNumbers(const SearchQuery& query) const;

  private:
    struct Row {
        std::string folded;
        std::vector<SearchNumber> numbers;
    };
    std::vector<Row> m_rows;
};

} // namespace fennaro
