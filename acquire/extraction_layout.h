// Where a phone's databases lie inside a file-system extraction (a folder or
// an archive holding a copy of the phone's /data): the names of its files and
// members, the phone's root below the tool's own leading folders, and the
// resolution of phone paths through the links the phone made, always inside
// the extraction, as the phone itself would resolve them.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fennaro {

using PathParts = std::vector<std::string>;

// The components of a member or file name: "./Dump//data/x" and "/Dump/data/x"
// both give {Dump, data, x}. Nothing when a component is ".." (a name that
// climbs out of its folder stands for no place on the phone) or the name is
// empty.
std::optional<PathParts> nameParts(std::string_view name);

// The parts joined with '/'.
std::string joinParts(const PathParts& parts, size_t first = 0, size_t end = std::string::npos);

// How many leading parts are the extraction tool's own folders before the
// phone's "data" folder: the first "data" followed by "data", "user" or
// "user_de". Nothing when parts hold no such place.
std::optional<size_t> phoneRootLength(const PathParts& parts);

// True when parts end in PACKAGE/databases/NAME for a package and file name
// (database or side file) a copy may come from: the contacts and telephony
// providers and the messaging apps. The package folder must match whole, so
// another app's icing_mmssms.db is no candidate.
bool isCandidatePath(const PathParts& parts);

// A database of another user than the phone's owner, as its path below the
// phone's root tells: data/user/N/... or data/user_de/N/... with N not 0.
struct OtherUserFile {
    std::string user;     // "10"
    std::string fileName; // "contacts2.db"
};

// The other user whose database (no side file) phonePart names; nothing for
// the owner's files and anything else.
std::optional<OtherUserFile> otherUserDatabase(const PathParts& phoneParts);

// What one path below the phone's root is in an extraction.
enum class NodeKind { Missing, Folder, File, Link };
struct TreeNode {
    NodeKind kind = NodeKind::Missing;
    std::string linkTarget; // for a link: the phone path it points to
};

// Looks up parts (below the phone's root, no link among the leading parts)
// without following a link in the last part.
using TreeLookup = std::function<TreeNode(const PathParts& parts)>;

// Resolves a phone path ("/data/user/0/PKG/databases/x.db") to the parts of
// the file it names below the phone's root, following links as the phone
// would: an absolute target starts again at the phone's root, ".." never goes
// above it, so no link leads out of the extraction. Nothing when the path
// names no file, a link loop or more than 40 links.
std::optional<PathParts> resolvePhonePath(std::string_view phonePath, const TreeLookup& lookup);

} // namespace fennaro
