// The record list's search: for each category an index of its rows, made on
// the first search after a load so each keystroke only compares prepared
// texts, and the rows the current text finds.
#pragma once

#include <array>
#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "phone/record_search.h"
#include "records/record_store.h"
#include "views/record_rows.h"

namespace fennaro {

class RowSearch {
  public:
    // The records a search reads besides the rows.
    struct Sources {
        const RecordStore* store = nullptr;
        const ContactDataIndex* contacts = nullptr;
        const ConversationIndex* conversations = nullptr;
    };

    ~RowSearch() { reset(); }
    // Starts indexing every category's rows on a thread of its own, so the
    // first key typed finds them ready. The rows and the records must stay
    // until reset.
    void prepare(const RecordRows& rows, const Sources& sources);
    // Forgets the indexes and the text (waiting for an indexing run to end):
    // the rows they were made of are about to go.
    void reset();
    // Takes a new text (UTF-8).
    void setText(const std::string& text);
    // Whether a text is typed: only then are rows hidden.
    bool active() const { return !m_query.folded.empty(); }
    const SearchQuery& query() const { return m_query; }

    // Returns the positions among rows of the rows that match, in order; the
    // category's index is made first when there is none.
    const std::vector<uint32_t>&
    matches(RecordCategory category, const std::vector<RecordRow>& rows, const Sources& sources);

  private:
    struct CategorySearch {
        std::optional<SearchIndex> index;
        // The rows found by their texts, and by texts or numbers.
        std::vector<uint32_t> textMatches;
        std::vector<uint32_t> matches;
        // The query the matches are of; unset before the first search.
        std::optional<SearchQuery> matched;
    };
    std::array<CategorySearch, 3> m_categories;
    // The indexes being made by prepare.
    std::future<std::array<SearchIndex, 3>> m_indexing;
    SearchQuery m_query;
};

// Returns the search texts of one row's record in a category, as the store
// holds it (deep or classic, live or deleted).
SearchTexts rowSearchTexts(RecordCategory category, const void* record,
                           const RowSearch::Sources& sources);

} // namespace fennaro
