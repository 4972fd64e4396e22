// The hash manifest of a deep acquisition: one manifest.sha256 in each copy
// folder (the contacts folder and the messages folder), in sha256sum's format
// with the copies' plain file names, so that
//     cd FOLDER && sha256sum -c manifest.sha256
// verifies that folder's copies. It is written once the copies have been
// pulled and checked, and read again before the copies are used, so that a
// copy changed on this computer is reported instead of silently used.
//
// Copies taken from a file-system extraction rather than from the phone also
// carry where they came from, on lines that start with '#' (which
// sha256sum -c passes over):
//     #source archive PATH          or   #source folder PATH
//     #source-sha256 HASH           (the archive file's own hash)
//     #member NAME SECONDS PATH     (the copy NAME was the extraction's PATH,
//                                    last modified at SECONDS since 1970, or -)
//     #note TEXT                    (what was seen and left out)
// PATH and TEXT escape a backslash as \\ and a line break as \n.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "file_ops.h"
#include "local_copies.h"

namespace fennaro {

struct ManifestEntry {
    std::string fileName; // a plain name in the manifest's folder
    std::string sha256;   // 64 lower-case hexadecimal digits
};

// Where an extraction's copies came from.
struct ManifestMember {
    std::string fileName;            // the copy's plain name
    std::string memberPath;          // its path inside the extraction
    std::optional<int64_t> modified; // seconds since 1970, when known
};
struct ManifestProvenance {
    std::string sourceKind; // "archive" or "folder"; empty for a phone's copies
    std::string sourcePath;
    std::string sourceSha256; // an archive's own hash
    std::vector<ManifestMember> members;
    std::vector<std::string> notes;
    bool empty() const { return sourceKind.empty() && members.empty() && notes.empty(); }
};

// The manifest text for entries, one "HASH  NAME" line each, after the
// provenance lines when there are some.
std::string manifestText(const std::vector<ManifestEntry>& entries,
                         const ManifestProvenance& provenance = {});

// The provenance lines of a manifest text (empty for a phone's copies);
// lines it does not know are passed over.
ManifestProvenance parseProvenance(const std::string& text);

// The entries of a manifest text; nothing when any line is not a hash, two
// blanks (or a blank and '*') and a plain file name without '/', or one of
// the provenance lines starting with '#'.
std::optional<std::vector<ManifestEntry>> parseManifest(const std::string& text);

// Writes folder/manifest.sha256 with entries, replacing an older one whole;
// false when it cannot be written.
bool writeManifest(const std::string& folder, const std::vector<ManifestEntry>& entries,
                   const ManifestProvenance& provenance = {});

// What checking the copies against their manifests found. Paths are local.
struct CopyCheck {
    std::vector<std::string> verified;     // listed, present, same bytes
    std::vector<std::string> changed;      // listed, present, other bytes
    std::vector<std::string> missing;      // listed, but no longer there
    std::vector<std::string> unlisted;     // a copy or side file no manifest lists
    std::vector<std::string> badManifests; // unreadable or not in the format

    // True when nothing was found wrong (it may also have found nothing).
    bool intact() const {
        return changed.empty() && missing.empty() && unlisted.empty() && badManifests.empty();
    }
};

// Checks the copies in both copy folders (contacts and call log, messages and
// the messaging app's store) against their manifests: every
// listed file is hashed again, and every copy or side file standing there
// must be listed (a -wal that appeared beside a copy would change what is
// read from it). A folder without copies needs no manifest.
CopyCheck checkCopies(const LocalDbPaths& paths);

// The stamps of every copy, side file and manifest standing in the copy
// folders, by path; taken once the manifests are written.
using CopyStamps = std::vector<std::pair<std::string, platform::FileStamp>>;
CopyStamps stampCopies(const LocalDbPaths& paths);

// Checks the copies as checkCopies does, at the cost of reading no file when
// the same files stand with the stamps they had once their manifests were
// written (so nothing wrote to them since): then each listed copy is
// verified as it stands in its manifest.
CopyCheck checkCopiesSince(const LocalDbPaths& paths, const CopyStamps& stamps);

} // namespace fennaro
