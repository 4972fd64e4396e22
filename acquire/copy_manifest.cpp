#include "copy_manifest.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "file_ops.h"
#include "sha256.h"

namespace fennaro {

namespace {

// A manifest names at most the eight files of two copies; anything much bigger
// is not one of ours.
constexpr size_t kLargestManifest = 64 * 1024;

// True for 64 lower- or upper-case hexadecimal digits.
bool isHexDigest(const std::string& text) {
    return text.size() == 64 &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// Checks one copy folder: its manifest against the families of files of the
// copies that live there (copyPaths, all in the same folder). With
// unwritten, the listed files are known not to have been written to since
// their manifest was, and are not hashed again.
void checkFolder(const std::vector<std::string>& copyPaths, CopyCheck& check,
                 bool unwritten = false) {
    const std::string folder = platform::parentFolder(copyPaths.front());
    const std::string manifestPath = manifestPathBeside(copyPaths.front());
    std::vector<std::string> listed;
    if (platform::fileExists(manifestPath)) {
        std::string text;
        std::optional<std::vector<ManifestEntry>> entries;
        if (platform::readSmallFile(manifestPath, text, kLargestManifest))
            entries = parseManifest(text);
        if (!entries) {
            check.badManifests.push_back(manifestPath);
            return;
        }
        for (const ManifestEntry& entry : *entries) {
            const std::string path = folder + "/" + entry.fileName;
            listed.push_back(path);
            std::string hex;
            if (!platform::fileExists(path))
                check.missing.push_back(path);
            else if (!unwritten && (!platform::sha256OfFile(path, hex) || hex != entry.sha256))
                check.changed.push_back(path);
            else
                check.verified.push_back(path);
        }
    }
    for (const std::string& copyPath : copyPaths) {
        for (const std::string& file : copyFamily(copyPath)) {
            if (platform::fileExists(file) &&
                std::find(listed.begin(), listed.end(), file) == listed.end())
                check.unlisted.push_back(file);
        }
    }
}

// A path or note on one line: backslashes and line breaks escaped.
std::string escapedLine(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else
            escaped += c;
    }
    return escaped;
}

// The text escapedLine was given.
std::string unescapedLine(const std::string& line) {
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            text += line[i];
            continue;
        }
        const char next = line[++i];
        text += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return text;
}

// Reads "#member NAME SECONDS PATH"'s fields after the keyword.
std::optional<ManifestMember> parseMemberLine(const std::string& rest) {
    const size_t nameEnd = rest.find(' ');
    const size_t timeEnd = nameEnd == std::string::npos ? nameEnd : rest.find(' ', nameEnd + 1);
    if (timeEnd == std::string::npos)
        return std::nullopt;
    ManifestMember member;
    member.fileName = rest.substr(0, nameEnd);
    const std::string seconds = rest.substr(nameEnd + 1, timeEnd - nameEnd - 1);
    if (seconds != "-") {
        char* end = nullptr;
        const long long value = std::strtoll(seconds.c_str(), &end, 10);
        if (seconds.empty() || *end != '\0')
            return std::nullopt;
        member.modified = int64_t(value);
    }
    member.memberPath = unescapedLine(rest.substr(timeEnd + 1));
    return member;
}

} // namespace

std::string manifestText(const std::vector<ManifestEntry>& entries,
                         const ManifestProvenance& provenance) {
    std::string text;
    if (!provenance.sourceKind.empty())
        text +=
            "#source " + provenance.sourceKind + " " + escapedLine(provenance.sourcePath) + "\n";
    if (!provenance.sourceSha256.empty())
        text += "#source-sha256 " + provenance.sourceSha256 + "\n";
    for (const ManifestMember& member : provenance.members) {
        text += "#member " + member.fileName + " " +
                (member.modified ? std::to_string(*member.modified) : std::string("-")) + " " +
                escapedLine(member.memberPath) + "\n";
    }
    for (const std::string& note : provenance.notes)
        text += "#note " + escapedLine(note) + "\n";
    for (const ManifestEntry& entry : entries)
        text += entry.sha256 + "  " + entry.fileName + "\n";
    return text;
}

std::optional<std::vector<ManifestEntry>> parseManifest(const std::string& text) {
    std::vector<ManifestEntry> entries;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] == '#')
            continue;
        if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*'))
            return std::nullopt;
        ManifestEntry entry{line.substr(66), line.substr(0, 64)};
        if (!isHexDigest(entry.sha256) || entry.fileName.find('/') != std::string::npos ||
            entry.fileName.find('\r') != std::string::npos || entry.fileName == "." ||
            entry.fileName == "..")
            return std::nullopt;
        std::transform(entry.sha256.begin(), entry.sha256.end(), entry.sha256.begin(),
                       [](char c) { return char(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c); });
        entries.push_back(entry);
    }
    return entries;
}

ManifestProvenance parseProvenance(const std::string& text) {
    ManifestProvenance provenance;
    std::istringstream lines(text);
    const auto after = [](const std::string& line, const std::string& keyword, std::string& rest) {
        if (line.compare(0, keyword.size(), keyword) != 0)
            return false;
        rest = line.substr(keyword.size());
        return true;
    };
    for (std::string line, rest; std::getline(lines, line);) {
        if (after(line, "#source-sha256 ", rest)) {
            provenance.sourceSha256 = rest;
        } else if (after(line, "#source ", rest)) {
            const size_t space = rest.find(' ');
            provenance.sourceKind = rest.substr(0, space);
            if (space != std::string::npos)
                provenance.sourcePath = unescapedLine(rest.substr(space + 1));
        } else if (after(line, "#member ", rest)) {
            if (auto member = parseMemberLine(rest))
                provenance.members.push_back(*member);
        } else if (after(line, "#note ", rest)) {
            provenance.notes.push_back(unescapedLine(rest));
        }
    }
    return provenance;
}

bool writeManifest(const std::string& folder, const std::vector<ManifestEntry>& entries,
                   const ManifestProvenance& provenance) {
    return platform::writeFileReplacing(folder + "/" + kManifestFileName,
                                        manifestText(entries, provenance));
}

CopyCheck checkCopies(const LocalDbPaths& paths) {
    CopyCheck check;
    checkFolder({paths.localContactsDb, callLogCopyPath(paths)}, check);
    checkFolder({paths.localSmsDb, bugleCopyPath(paths)}, check);
    return check;
}

CopyStamps stampCopies(const LocalDbPaths& paths) {
    CopyStamps stamps;
    std::vector<std::string> files;
    for (const std::string& copyPath : allCopyPaths(paths)) {
        for (const std::string& file : copyFamily(copyPath))
            files.push_back(file);
    }
    files.push_back(manifestPathBeside(paths.localContactsDb));
    files.push_back(manifestPathBeside(paths.localSmsDb));
    for (const std::string& file : files) {
        if (const auto stamp = platform::fileStamp(file))
            stamps.emplace_back(file, *stamp);
    }
    return stamps;
}

CopyCheck checkCopiesSince(const LocalDbPaths& paths, const CopyStamps& stamps) {
    if (stamps.empty() || stampCopies(paths) != stamps)
        return checkCopies(paths);
    CopyCheck check;
    checkFolder({paths.localContactsDb, callLogCopyPath(paths)}, check, true);
    checkFolder({paths.localSmsDb, bugleCopyPath(paths)}, check, true);
    return check;
}

} // namespace fennaro
