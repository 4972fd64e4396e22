#include "phone/store_parts.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <tuple>

#include "phone/message_merge.h"
#include "phone/recovered_values.h"

namespace fennaro::deep {

// Returns whether a part holds the message's text: its content type says
// text/plain, or (when the type did not survive) it has a text that is no
// SMIL layout.
bool isTextPart(const Value* type, const std::string& text) {
    if (type)
        return isPlainTextType(textOf(type));
    return !text.empty() && text.rfind("<smil", 0) != 0 && text.rfind("<?xml", 0) != 0;
}

// Returns whether a part came from an index (the words or an index entry), not its cell.
bool isIndexCopy(const TextPart& part) {
    return part.evidence.rfind("index", 0) == 0 || part.evidence.rfind("words", 0) == 0;
}

// Keeps one copy of each part: by _id where it survived (the copy that
// knows its owner first), the others as they come. Returns them by owner
// and order; parts without an owner under key nullopt.
std::map<std::optional<int64_t>, std::vector<TextPart>> partsByOwner(std::vector<TextPart> parts) {
    std::stable_sort(parts.begin(), parts.end(), [](const TextPart& a, const TextPart& b) {
        return std::tuple(!a.owner, !a.id, a.id.value_or(0)) <
               std::tuple(!b.owner, !b.id, b.id.value_or(0));
    });
    std::set<int64_t> seen;
    std::map<std::optional<int64_t>, std::vector<TextPart>> byOwner;
    for (TextPart& part : parts) {
        if (part.id && !seen.insert(*part.id).second)
            continue;
        byOwner[part.owner].push_back(std::move(part));
    }
    // A part read from its cell lost its _id with the cell's first bytes
    // (header lost), while the words index and the mid index still name it:
    // the same part twice. The cell's text is the whole one; the index's
    // copy goes where a cell part has the same words (in its owner, or
    // anywhere for a copy that kept no owner).
    std::set<std::pair<std::optional<int64_t>, std::string>> cellWords;
    for (const auto& [owner, list] : byOwner) {
        for (const TextPart& part : list) {
            if (!isIndexCopy(part)) {
                cellWords.emplace(owner, indexedWords(part.text));
                cellWords.emplace(std::nullopt, indexedWords(part.text));
            }
        }
    }
    for (auto& [owner, list] : byOwner) {
        std::erase_if(list, [&, owner = owner](const TextPart& part) {
            return isIndexCopy(part) && cellWords.count({owner, indexedWords(part.text)});
        });
        std::stable_sort(list.begin(), list.end(), [](const TextPart& a, const TextPart& b) {
            return std::tuple(a.order.value_or(0), a.id.value_or(0)) <
                   std::tuple(b.order.value_or(0), b.id.value_or(0));
        });
    }
    std::erase_if(byOwner, [](const auto& entry) { return entry.second.empty(); });
    return byOwner;
}

// Joins parts' texts into a body, a line break between parts; the first
// part gives evidence and place when the message has none yet.
void takeParts(DeletedMessage& message, const std::vector<TextPart>& parts) {
    for (const TextPart& part : parts)
        appendPartText(message.body, part.text);
    if (!parts.empty() && message.evidence.empty()) {
        message.evidence = parts.front().evidence;
        message.place = parts.front().place;
    }
}

} // namespace fennaro::deep
