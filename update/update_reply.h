// Reading the update description the maker's server returns: which version,
// if any, is on offer. Qt-free; every kind of bad reply ends in "no offer",
// never in an exception.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fennaro {

// At most this many bytes of the reply are looked at; the rest is ignored.
inline constexpr std::size_t kUpdateReplyLimit = 1024;

// The three members of the description's first entry, as text. Only
// offeredVersion ("Nversion") decides anything.
struct UpdateDescription {
    std::string version;        // "Version"
    std::string offeredVersion; // "Nversion"; empty when nothing is on offer
    std::string updateUrl;      // "Update_URL"; never opened
};

// The reply's text: its first kUpdateReplyLimit bytes, cut at the first NUL.
std::string_view updateReplyText(std::string_view reply);

// Parses the text of a reply. Members are read as text: a string gives its
// text, true/false give "true"/"false", missing or null gives "". A number,
// array or object member, a text that is not JSON or not UTF-8, and a
// description of another shape (no object root, "Fennaro" not an array, its
// first element not an object) all give empty members.
UpdateDescription parseUpdateDescription(std::string_view text);

// The version offered by a raw reply (cut and parsed as above); empty when
// none.
std::string offeredVersionOf(std::string_view reply);

// True when offered names a version and differs in any byte from
// programVersion: an older version on offer counts as well.
bool isUpdateOffered(const std::string& offered, const std::string& programVersion);

} // namespace fennaro
