#include "update/update_reply.h"

#include <json/reader.h>
#include <json/value.h>

#include <exception>

namespace fennaro {

namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 when the bytes there
// are not a well-formed sequence (stray continuation byte, overlong form,
// surrogate, beyond U+10FFFF, or cut off by the end of the text).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80; // allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong three-byte forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // no overlong four-byte forms
        if (lead == 0xF4)
            high = 0x8F; // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - i < length)
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

// True when text is well-formed UTF-8, the only encoding a JSON text may use.
bool isWellFormedUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

// The text of one member of the description's entry: a string's text,
// "true"/"false" for a boolean, and "" for anything else (missing, null, a
// number, an array or an object), so no member can offer a version by
// accident of its type.
std::string memberText(const Json::Value& entry, const char* name) {
    const Json::Value& value = entry[name];
    switch (value.type()) {
    case Json::stringValue:
        return value.asString();
    case Json::booleanValue:
        return value.asBool() ? "true" : "false";
    default:
        return {};
    }
}

// Parses text into root with the reader's default features; false when it is
// not JSON. jsoncpp throws instead of failing on nesting deeper than its
// limit, which a 1024-byte reply can reach ("[[[[..."), so that counts as not
// JSON too.
bool parseJson(std::string_view text, Json::Value& root) {
    try {
        Json::Reader reader;
        return reader.parse(text.data(), text.data() + text.size(), root, false);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

std::string_view updateReplyText(std::string_view reply) {
    std::string_view text = reply.substr(0, kUpdateReplyLimit);
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

UpdateDescription parseUpdateDescription(std::string_view text) {
    Json::Value root;
    if (!isWellFormedUtf8(text) || !parseJson(text, root))
        return {};
    // Every step checks the kind of value before reaching into it: jsoncpp
    // throws when a member is asked of an array or an element of an object.
    if (!root.isObject())
        return {};
    const Json::Value& entries = root["Fennaro"];
    if (!entries.isArray() || entries.empty())
        return {};
    const Json::Value& entry = entries[Json::ArrayIndex{0}];
    if (!entry.isObject())
        return {};
    return {memberText(entry, "Version"), memberText(entry, "Nversion"),
            memberText(entry, "Update_URL")};
}

std::string offeredVersionOf(std::string_view reply) {
    return parseUpdateDescription(updateReplyText(reply)).offeredVersion;
}

bool isUpdateOffered(const std::string& offered, const std::string& programVersion) {
    return !offered.empty() && offered != programVersion;
}

} // namespace fennaro
