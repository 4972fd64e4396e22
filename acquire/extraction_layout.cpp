#include "extraction_layout.h"

#include <algorithm>
#include <deque>

#include "local_copies.h"
#include "phone_layout.h"

namespace fennaro {

namespace {

// The most links one resolution follows, as the kernel allows.
constexpr int kMostLinks = 40;

// The packages whose databases folders may give a copy.
constexpr PhoneDatabase kCopiedDatabases[] = {kContactsDatabase, kSmsDatabase, kCallLogDatabase,
                                              kBugleDatabase};

// True when name is one of the copied databases' file names, or one with a
// side file's suffix.
bool isCandidateFileName(const std::string& name) {
    for (const PhoneDatabase& database : kCopiedDatabases) {
        for (const std::string& family : copyFamily(database.fileName)) {
            if (name == family)
                return true;
        }
    }
    return false;
}

// True when name is a package a copied database lives in.
bool isCandidatePackage(const std::string& name) {
    for (const PhoneDatabase& database : kCopiedDatabases) {
        if (name == database.provider || (database.otherProvider && name == database.otherProvider))
            return true;
    }
    return false;
}

// True for a user number: decimal digits only.
bool isUserNumber(const std::string& text) {
    return !text.empty() && text.size() < 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::optional<PathParts> nameParts(std::string_view name) {
    PathParts parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos)
            end = name.size();
        std::string_view part = name.substr(start, end - start);
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        start = end + 1;
    }
    if (parts.empty())
        return std::nullopt;
    return parts;
}

std::string joinParts(const PathParts& parts, size_t first, size_t end) {
    std::string path;
    for (size_t i = first; i < std::min(end, parts.size()); ++i)
        path += (path.empty() ? "" : "/") + parts[i];
    return path;
}

std::optional<size_t> phoneRootLength(const PathParts& parts) {
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] == "data" &&
            (parts[i + 1] == "data" || parts[i + 1] == "user" || parts[i + 1] == "user_de"))
            return i;
    }
    return std::nullopt;
}

bool isCandidatePath(const PathParts& parts) {
    const size_t n = parts.size();
    return n >= 3 && parts[n - 2] == "databases" && isCandidatePackage(parts[n - 3]) &&
           isCandidateFileName(parts[n - 1]);
}

std::optional<OtherUserFile> otherUserDatabase(const PathParts& parts) {
    // data, user or user_de, N, PACKAGE, databases, NAME
    if (parts.size() != 6 || parts[0] != "data" || (parts[1] != "user" && parts[1] != "user_de") ||
        !isUserNumber(parts[2]) || parts[2].find_first_not_of('0') == std::string::npos ||
        parts[4] != "databases")
        return std::nullopt;
    for (const PhoneDatabase& database : kCopiedDatabases) {
        const bool package = parts[3] == database.provider ||
                             (database.otherProvider && parts[3] == database.otherProvider);
        if (package && parts[5] == database.fileName)
            return OtherUserFile{parts[2], parts[5]};
    }
    return std::nullopt;
}

std::optional<PathParts> resolvePhonePath(std::string_view phonePath, const TreeLookup& lookup) {
    std::deque<std::string> pending;
    const auto push = [&](std::string_view path) {
        std::deque<std::string> parts;
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find('/', start);
            if (end == std::string_view::npos)
                end = path.size();
            if (end > start)
                parts.emplace_back(path.substr(start, end - start));
            start = end + 1;
        }
        pending.insert(pending.begin(), parts.begin(), parts.end());
    };
    push(phonePath);
    PathParts resolved;
    int links = 0;
    while (!pending.empty()) {
        std::string part = std::move(pending.front());
        pending.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            if (!resolved.empty())
                resolved.pop_back();
            continue;
        }
        resolved.push_back(part);
        const TreeNode node = lookup(resolved);
        switch (node.kind) {
        case NodeKind::Missing:
            return std::nullopt;
        case NodeKind::File:
            if (!pending.empty())
                return std::nullopt; // a file where a folder should be
            return resolved;
        case NodeKind::Folder:
            break;
        case NodeKind::Link:
            if (++links > kMostLinks || node.linkTarget.empty())
                return std::nullopt;
            resolved.pop_back();
            if (node.linkTarget[0] == '/')
                resolved.clear();
            push(node.linkTarget);
            break;
        }
    }
    return std::nullopt; // a folder, not a file
}

} // namespace fennaro
