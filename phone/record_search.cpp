#include "phone/record_search.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace fennaro {

namespace {

// Returns whether c may stand in a typed phone number besides digits.
bool isNumberPunctuation(char c) {
    return c == ' ' || c == '+' || c == '-' || c == '(' || c == ')' || c == '.' || c == '/';
}

// Returns text without white space at either end.
std::string_view trimmed(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// Returns whether needle occurs in haystack.
bool contains(std::string_view haystack, std::string_view needle) {
    if (needle.empty())
        return true;
    if (needle.size() > haystack.size())
        return false;
    // memmem skips ahead by what the needle holds; much faster than a
    // byte-by-byte scan over a conversation's texts.
    return memmem(haystack.data(), haystack.size(), needle.data(), needle.size()) != nullptr;
}

// Returns whether the digits after dropping a country code of one to three
// digits from the front of longer begin with prefix.
bool startsAfterCountryCode(std::string_view longer, std::string_view prefix) {
    for (std::size_t k = 1; k <= 3 && k < longer.size(); ++k) {
        if (longer.substr(k).starts_with(prefix))
            return true;
    }
    return false;
}

// Appends the fields after each TAB of an engine line: the first as a text,
// then as numbers (numberFields of them) and texts.
void splitEngineLine(std::string_view line, std::size_t numberFields, SearchTexts* out) {
    std::size_t field = 0;
    while (true) {
        const std::size_t tab = line.find('\t');
        const std::string_view value = line.substr(0, tab);
        if (field >= 1 && field <= numberFields)
            out->numbers.emplace_back(value);
        else
            out->texts.emplace_back(value);
        if (tab == std::string_view::npos)
            break;
        line.remove_prefix(tab + 1);
        ++field;
    }
}

} // namespace

SearchNumber searchNumber(std::string_view number) {
    SearchNumber result;
    bool plus = false;
    for (const char c : number) {
        if (c >= '0' && c <= '9')
            result.digits += c;
        else if (c == '+' && result.digits.empty())
            plus = true;
    }
    if (plus) {
        result.international = true;
    } else if (result.digits.starts_with("00")) {
        result.international = true;
        result.digits.erase(0, 2);
    } else if (result.digits.starts_with("0")) {
        result.national = true;
        result.digits.erase(0, 1);
    }
    return result;
}

std::string foldCase(std::string_view text) {
    std::string folded(text);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(folded[i]);
        if (byte >= 'A' && byte <= 'Z') {
            folded[i] = static_cast<char>(byte + 32);
        } else if (byte == 0xC3 && i + 1 < folded.size()) {
            // U+00C0..U+00DE are the Latin-1 capitals (but U+00D7, the
            // multiplication sign); their small letters lie 0x20 above.
            const auto next = static_cast<unsigned char>(folded[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97)
                folded[i + 1] = static_cast<char>(next + 0x20);
            ++i;
        }
    }
    return folded;
}

SearchQuery makeSearchQuery(std::string_view text) {
    text = trimmed(text);
    SearchQuery query;
    query.folded = foldCase(text);
    bool anyDigit = false;
    bool onlyNumber = true;
    for (const char c : text) {
        anyDigit = anyDigit || (c >= '0' && c <= '9');
        onlyNumber = onlyNumber && ((c >= '0' && c <= '9') || isNumberPunctuation(c));
    }
    if (anyDigit && onlyNumber) {
        query.number = searchNumber(text);
        query.numberLike = !query.number.digits.empty();
    }
    return query;
}

bool foldedTextMatches(std::string_view folded, const SearchQuery& query) {
    return contains(folded, query.folded);
}

bool textMatches(std::string_view text, const SearchQuery& query) {
    if (query.folded.empty())
        return true;
    return contains(foldCase(text), query.folded);
}

bool numberMatches(const SearchNumber& number, const SearchQuery& query) {
    if (!query.numberLike)
        return false;
    const std::string_view typed = query.number.digits;
    const std::string_view digits = number.digits;
    if (query.number.international) {
        if (number.international)
            return digits.starts_with(typed);
        // The typed country code stands where a stored national number has
        // its trunk 0, or in front of a number stored without any prefix.
        for (std::size_t k = 1; k <= 3 && k < typed.size(); ++k) {
            if (digits.starts_with(typed.substr(k)))
                return true;
        }
        return !number.national && contains(digits, typed);
    }
    if (query.number.national) {
        if (number.national)
            return digits.starts_with(typed);
        if (number.international)
            return startsAfterCountryCode(digits, typed);
        return contains(digits, typed);
    }
    return contains(digits, typed);
}

bool recordMatches(const SearchTexts& record, const SearchQuery& query) {
    for (const std::string& text : record.texts) {
        if (textMatches(text, query))
            return true;
    }
    for (const std::string& number : record.numbers) {
        if (textMatches(number, query) || numberMatches(searchNumber(number), query))
            return true;
    }
    return false;
}

SearchTexts liveContactTexts(const ContactNode& contact, const ContactDataIndex& index) {
    SearchTexts texts;
    texts.texts.emplace_back(listDisplayName(contact));
    for (const ContactDataRow& row : index.rowsOf(contact.contactId)) {
        if (row.kind == DataRowKind::Phone)
            texts.numbers.emplace_back(row.row->value);
        else if (row.kind == DataRowKind::Email)
            texts.texts.emplace_back(row.row->value);
    }
    return texts;
}

SearchTexts classicDeletedContactTexts(const ContactNode& contact) {
    SearchTexts texts;
    splitEngineLine(contact.text, 1, &texts);
    return texts;
}

SearchTexts deepContactTexts(const deep::DeepContact& contact, const ContactDataIndex& index) {
    SearchTexts texts;
    if (contact.live)
        texts = liveContactTexts(*contact.live, index);
    if (!contact.deleted)
        return texts;
    texts.texts.push_back(deep::deletedContactName(*contact.deleted, contact.live));
    for (const deep::ContactField& field : contact.deleted->fields) {
        if (field.kind == deep::FieldKind::Phone)
            texts.numbers.push_back(field.value);
        else if (field.kind == deep::FieldKind::Email || field.kind == deep::FieldKind::Name)
            texts.texts.push_back(field.value);
    }
    return texts;
}

SearchTexts liveConversationTexts(const ThreadNode& thread, const ConversationIndex& index) {
    SearchTexts texts;
    const ConversationContact found = conversationContact(thread, index);
    texts.texts.emplace_back(conversationListName(found));
    texts.numbers.emplace_back(found.address);
    for (const MessageNode* message : index.messagesOf(thread.conversationId))
        texts.texts.emplace_back(message->body);
    return texts;
}

SearchTexts classicDeletedSmsTexts(const ThreadNode& sms) {
    SearchTexts texts;
    splitEngineLine(sms.text, 1, &texts);
    return texts;
}

SearchTexts deepConversationTexts(const deep::DeepConversation& conversation) {
    SearchTexts texts;
    texts.texts.push_back(conversation.name);
    texts.numbers.push_back(conversation.address);
    for (const deep::ConversationEntry& entry : conversation.messages)
        texts.texts.emplace_back(entry.body);
    return texts;
}

SearchTexts callTexts(const deep::CallRecord& call) {
    SearchTexts texts;
    texts.texts.push_back(call.name);
    if (call.cachedName != call.name)
        texts.texts.push_back(call.cachedName);
    texts.numbers.push_back(call.number);
    return texts;
}

void SearchIndex::add(const SearchTexts& record) {
    Row row;
    for (const std::string& text : record.texts) {
        row.folded += foldCase(text);
        row.folded += '\n';
    }
    for (const std::string& number : record.numbers) {
        row.folded += foldCase(number);
        row.folded += '\n';
        row.numbers.push_back(searchNumber(number));
    }
    m_rows.push_back(std::move(row));
}

bool SearchIndex::matches(std::size_t row, const SearchQuery& query) const {
    const Row& found = m_rows[row];
    if (foldedTextMatches(found.folded, query))
        return true;
    for (const SearchNumber& number : found.numbers) {
        if (numberMatches(number, query))
            return true;
    }
    return false;
}

std::vector<uint32_t> SearchIndex::find(const SearchQuery& query,
                                        const std::vector<uint32_t>* within) const {
    return mergeRows(findText(query, within), findNumbers(query));
}

std::vector<uint32_t> SearchIndex::findText(const SearchQuery& query,
                                            const std::vector<uint32_t>* within) const {
    std::vector<uint32_t> rows;
    const auto check = [&](std::size_t row) {
        if (foldedTextMatches(m_rows[row].folded, query))
            rows.push_back(static_cast<uint32_t>(row));
    };
    if (within) {
        for (const uint32_t row : *within) {
            if (row < m_rows.size())
                check(row);
        }
    } else {
        for (std::size_t row = 0; row < m_rows.size(); ++row)
            check(row);
    }
    return rows;
}

std::vector<uint32_t> SearchIndex::findNumbers(const SearchQuery& query) const {
    std::vector<uint32_t> rows;
    if (!query.numberLike)
        return rows;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        for (const SearchNumber& number : m_rows[row].numbers) {
            if (numberMatches(number, query)) {
                rows.push_back(static_cast<uint32_t>(row));
                break;
            }
        }
    }
    return rows;
}

std::vector<uint32_t> mergeRows(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    std::vector<uint32_t> rows;
    rows.reserve(a.size() + b.size());
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(rows));
    return rows;
}

} // namespace fennaro
