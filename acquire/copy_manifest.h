// The hash manifest of a deep acquisition: one manifest.sha256 in each copy
// folder (the contacts folder and the messages folder), in sha256sum's format
// with the copies' plain file names, so that
//     cd FOLDER && sha256sum -c manifest.sha256
// verifies that folder's copies. It is written once the copies have been
// pulled and checked, and read again before the copies are used, so that a
// copy changed on this computer is reported instead of silently used.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "local_copies.h"
#include "file_ops.h"

namespace fennaro {

struct ManifestEntry {
    std::string fileName; // a plain name in the manifest's folder
    std::string sha256;   // 64 lower-case hexadecimal digits
};

// The manifest text for entries, one "HASH  NAME" line each.
std::string manifestText(const std::vector<ManifestEntry>& entries);

// The entries of a manifest text; nothing when any line is not a hash, two
// blanks (or a blank and '*') and a plain file name without '/'.
std::optional<std::vector<ManifestEntry>> parseManifest(const std::string& text);

// Writes folder/manifest.sha256 with entries, replacing an older one whole;
// false when it cannot be written.
bool writeManifest(const std::string& folder, const std::vector<ManifestEntry>& entries);

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
