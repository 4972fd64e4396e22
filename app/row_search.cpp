#include "app/row_search.h"

#include <system_error>

namespace fennaro {

namespace {

// Returns whether the text matches of an earlier query hold every text
// match of a later one: its text holds the earlier text. (Number matches
// do not narrow so: a digit more can change what a prefix means.)
bool narrows(const SearchQuery& earlier, const SearchQuery& later) {
    return !earlier.folded.empty() && later.folded.find(earlier.folded) != std::string::npos;
}

} // namespace

SearchTexts rowSearchTexts(RecordCategory category, const void* record,
                           const RowSearch::Sources& sources) {
    const bool deepRecords = sources.store->deep.loaded;
    switch (category) {
    case RecordCategory::Contacts:
        if (deepRecords)
            return deepContactTexts(*static_cast<const deep::DeepContact*>(record),
                                    *sources.contacts);
        if (static_cast<const ContactNode*>(record)->deleted != 0)
            return classicDeletedContactTexts(*static_cast<const ContactNode*>(record));
        return liveContactTexts(*static_cast<const ContactNode*>(record), *sources.contacts);
    case RecordCategory::Message:
        if (deepRecords)
            return deepConversationTexts(*static_cast<const deep::DeepConversation*>(record));
        if (static_cast<const ThreadNode*>(record)->deleted != 0)
            return classicDeletedSmsTexts(*static_cast<const ThreadNode*>(record));
        return liveConversationTexts(*static_cast<const ThreadNode*>(record),
                                     *sources.conversations);
    case RecordCategory::CallLog:
        return callTexts(*static_cast<const deep::CallRecord*>(record));
    }
    return {};
}

namespace {

// Returns the index of a category's rows.
SearchIndex indexRows(RecordCategory category, const std::vector<RecordRow>& rows,
                      const RowSearch::Sources& sources) {
    SearchIndex index;
    for (const RecordRow& row : rows)
        index.add(rowSearchTexts(category, row.record, sources));
    return index;
}

} // namespace

void RowSearch::prepare(const RecordRows& rows, const Sources& sources) {
    reset();
    const auto indexAll = [&rows, sources] {
        return std::array<SearchIndex, 3>{
            indexRows(RecordCategory::Contacts, rows.contacts, sources),
            indexRows(RecordCategory::Message, rows.messages, sources),
            indexRows(RecordCategory::CallLog, rows.calls, sources)};
    };
    try {
        m_indexing = std::async(std::launch::async, indexAll);
    } catch (const std::system_error&) {
        // No thread to spare: each category is indexed at its first search.
    }
}

void RowSearch::reset() {
    if (m_indexing.valid())
        m_indexing.wait();
    m_indexing = {};
    m_categories = {};
    m_query = {};
}

void RowSearch::setText(const std::string& text) {
    m_query = makeSearchQuery(text);
}

const std::vector<uint32_t>& RowSearch::matches(RecordCategory category,
                                                const std::vector<RecordRow>& rows,
                                                const Sources& sources) {
    if (m_indexing.valid()) {
        std::array<SearchIndex, 3> made = m_indexing.get();
        for (std::size_t i = 0; i < made.size(); ++i)
            m_categories[i].index = std::move(made[i]);
    }
    CategorySearch& search = m_categories[static_cast<std::size_t>(category)];
    if (!search.index)
        search.index = indexRows(category, rows, sources);
    if (search.matched && search.matched->folded == m_query.folded)
        return search.matches;
    const bool narrowing = search.matched && narrows(*search.matched, m_query);
    search.textMatches = search.index->findText(m_query, narrowing ? &search.textMatches : nullptr);
    search.matches = mergeRows(search.textMatches, search.index->findNumbers(m_query));
    search.matched = m_query;
    return search.matches;
}

} // namespace fennaro
