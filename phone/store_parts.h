// What the readers of the phone's other stores share: the text parts of
// MMS and of the messaging app's messages, and how a message gets its body
// and parties from them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deleted_records.h"
#include "phone/store_parties.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

// Returns whether a part holds the message's text: its content type says
// text/plain, or (when the type did not survive) it has a text that is no
// SMIL layout.
bool isTextPart(const Value* type, const std::string& text);

// A deleted text part of either store.
struct TextPart {
    std::optional<int64_t> id;
    std::optional<int64_t> owner; // part.mid / parts.message_id
    std::optional<int64_t> order; // part.seq; bugle parts go by _id
    std::optional<int64_t> timestamp;
    std::optional<int64_t> conversation;
    std::string text;
    std::string evidence;
    RecordPlace place;
};

// Returns whether a part came from an index (the words or an index entry), not its cell.
bool isIndexCopy(const TextPart& part);

// Keeps one copy of each part: by _id where it survived (the copy that
// knows its owner first), the others as they come. Returns them by owner
// and order; parts without an owner under key nullopt.
std::map<std::optional<int64_t>, std::vector<TextPart>> partsByOwner(std::vector<TextPart> parts);

// Joins parts' texts into a body, a line break between parts; the first
// part gives evidence and place when the message has none yet.
void takeParts(DeletedMessage& message, const std::vector<TextPart>& parts);

} // namespace fennaro::deep
