#include "extraction_source.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "copy_manifest.h"
#include "extraction_layout.h"
#include "file_ops.h"
#include "folder_tree.h"
#include "held_files.h"
#include "phone_layout.h"
#include "sha256.h"

namespace fennaro {

namespace {

// The databases copied, in the order of their entries in a result.
constexpr PhoneDatabase kDatabases[] = {kContactsDatabase, kSmsDatabase, kCallLogDatabase,
                                        kBugleDatabase};

// The most hard links followed from one member to the member holding the bytes.
constexpr int kMostHardLinks = 40;
// The most notes of one kind; a hostile archive could give thousands.
constexpr size_t kMostNotes = 20;

// One run's fixed inputs and shared state.
struct Run {
    const ExtractionJob& job;
    HeldFiles held;
    std::vector<std::string> notes;
};

// True once a stop has been requested.
bool stopRequested(const Run& run) {
    return run.job.stop && run.job.stop->load();
}

// Adds a note unless there are already enough of them.
void addNote(Run& run, const std::string& note) {
    if (std::find(run.notes.begin(), run.notes.end(), note) != run.notes.end())
        return;
    if (run.notes.size() < kMostNotes)
        run.notes.push_back(note);
}

// The copy folder a candidate's bytes are held in: the contacts folder for
// the contacts provider's files, the messages folder for the others, so a
// copy is renamed into place within its file system.
std::string holdingFolder(const Run& run, const PathParts& parts) {
    const bool contacts =
        parts.size() >= 3 && parts[parts.size() - 3] == kContactsDatabase.provider;
    return platform::parentFolder(contacts ? run.job.paths.localContactsDb
                                           : run.job.paths.localSmsDb);
}

// For each of the sixteen files, the parts below the phone's root of the
// file it is taken from; nothing for a file the extraction lacks. A database
// is read from the first of its folders that holds it (or, lacking it, one
// of its side files), and its side files from that same folder only.
std::vector<std::optional<PathParts>> chooseFiles(const TreeLookup& lookup) {
    std::vector<std::optional<PathParts>> chosen(DeepAcquireResult::kFileCount);
    for (size_t i = 0; i < std::size(kDatabases); ++i) {
        const PhoneDatabase& database = kDatabases[i];
        std::string folder;
        for (int pass = 0; pass < 2 && folder.empty(); ++pass) {
            for (const std::string& candidate : candidateFolders(database)) {
                const std::vector<std::string> family =
                    copyFamily(candidate + "/" + database.fileName);
                const bool found =
                    pass == 0 ? bool(resolvePhonePath(family[0], lookup))
                              : std::any_of(family.begin() + 1, family.end(),
                                            [&](const std::string& path) {
                                                return bool(resolvePhonePath(path, lookup));
                                            });
                if (found) {
                    folder = candidate;
                    break;
                }
            }
        }
        if (folder.empty())
            continue;
        const std::vector<std::string> family = copyFamily(folder + "/" + database.fileName);
        for (size_t j = 0; j < family.size(); ++j)
            chosen[4 * i + j] = resolvePhonePath(family[j], lookup);
    }
    return chosen;
}

// True when the choice holds contacts2.db or mmssms.db.
bool holdsADatabase(const std::vector<std::optional<PathParts>>& chosen) {
    return chosen[0].has_value() || chosen[4].has_value();
}

// The note for another user's database left out.
std::string otherUserNote(const OtherUserFile& file, const std::string& where) {
    return "user " + file.user + " has its own " + file.fileName + " (" + where +
           "); only user 0's files are copied";
}

// ---- archives ----

// What a pass over an archive kept: the candidate files held, and every link,
// by their names' parts joined with '/'.
struct ArchiveIndex {
    std::map<std::string, HeldFile> files;
    std::map<std::string, std::string> links;     // symbolic: name -> target as stored
    std::map<std::string, std::string> hardLinks; // name -> the member named
    std::set<std::string> folders;                // every folder leading to the above
    std::vector<std::string> roots;               // phone roots, in order of appearance
};

// Notes the folders leading to parts and the phone root they lie below.
void indexPlace(ArchiveIndex& index, const PathParts& parts) {
    for (size_t i = 1; i < parts.size(); ++i)
        index.folders.insert(joinParts(parts, 0, i));
    if (const auto rootLength = phoneRootLength(parts)) {
        const std::string root = joinParts(parts, 0, *rootLength);
        if (std::find(index.roots.begin(), index.roots.end(), root) == index.roots.end())
            index.roots.push_back(root);
    }
}

// The key of parts below root.
std::string keyBelow(const std::string& root, const PathParts& parts) {
    const std::string below = joinParts(parts);
    return root.empty() ? below : root + "/" + below;
}

// Looks up parts below root in what the pass over the archive kept.
TreeLookup archiveLookup(const ArchiveIndex& index, const std::string& root) {
    return [&index, root](const PathParts& parts) {
        const std::string key = keyBelow(root, parts);
        if (auto link = index.links.find(key); link != index.links.end())
            return TreeNode{NodeKind::Link, link->second};
        if (index.files.count(key) || index.hardLinks.count(key))
            return TreeNode{NodeKind::File, {}};
        if (index.folders.count(key))
            return TreeNode{NodeKind::Folder, {}};
        return TreeNode{};
    };
}

// Visits one member: keeps links, holds candidate files. False when the
// reading must end (a stop, or the archive failed inside a held member).
bool visitMember(Run& run, ArchiveIndex& index, const ArchiveMember& member, MemberData& data) {
    if (stopRequested(run))
        return false;
    const std::optional<PathParts> parts = nameParts(member.name);
    if (!parts) {
        if (member.kind != MemberKind::Folder && member.name.find("..") != std::string::npos)
            addNote(run, "member " + member.name + " left out: its name climbs out of its folder");
        return true;
    }
    const std::string key = joinParts(*parts);
    switch (member.kind) {
    case MemberKind::SymbolicLink:
        index.links[key] = member.linkTarget;
        indexPlace(index, *parts);
        return true;
    case MemberKind::HardLink:
        if (const auto target = nameParts(member.linkTarget); target && isCandidatePath(*parts)) {
            index.hardLinks[key] = joinParts(*target);
            indexPlace(index, *parts);
        }
        return true;
    case MemberKind::File:
        break;
    default:
        return true;
    }
    if (!isCandidatePath(*parts))
        return true;
    if (auto old = index.files.find(key); old != index.files.end()) {
        // A later member of the same name replaces the earlier, as unpacking would.
        run.held.drop(old->second);
        index.files.erase(old);
    }
    HeldFile held;
    held.memberPath = member.name;
    if (member.hasModified)
        held.modified = member.modified;
    if (member.encrypted) {
        // A wanted member that cannot be read makes the archive unusable:
        // reading it sets the archive's problem.
        data.read([](const char*, size_t) { return true; });
        return false;
    }
    const ByteFeed feed = [&](const std::function<bool(const char*, size_t)>& consume) {
        return data.read(consume);
    };
    if (!run.held.hold(holdingFolder(run, *parts), member.size, feed, held))
        return false;
    index.files[key] = std::move(held);
    indexPlace(index, *parts);
    return true;
}

// The held file a member (or a chain of hard links from it) leads to; null
// when it leads to no held member.
const HeldFile* heldBehind(const ArchiveIndex& index, std::string key, std::string& missing) {
    for (int links = 0; links <= kMostHardLinks; ++links) {
        if (auto file = index.files.find(key); file != index.files.end())
            return &file->second;
        auto link = index.hardLinks.find(key);
        if (link == index.hardLinks.end()) {
            missing = key;
            return nullptr;
        }
        key = link->second;
    }
    missing = key;
    return nullptr;
}

// Notes every other user's database the archive holds below root.
void noteOtherUsersInArchive(Run& run, const ArchiveIndex& index, const std::string& root) {
    const size_t skip = root.empty() ? 0 : root.size() + 1;
    for (const auto& [key, held] : index.files) {
        if (!root.empty() && key.compare(0, skip, root + "/") != 0)
            continue;
        const auto parts = nameParts(std::string_view(key).substr(skip));
        if (!parts)
            continue;
        if (const auto other = otherUserDatabase(*parts))
            addNote(run, otherUserNote(*other, held.memberPath));
    }
}

// Takes the copies from an archive.
void acquireFromArchive(Run& run, ExtractionResult& result) {
    ArchiveIndex index;
    const ArchiveReadResult read = readArchive(
        run.job.source,
        [&](const ArchiveMember& member, MemberData& data) {
            return visitMember(run, index, member, data);
        },
        run.job.progress, run.job.stop);
    result.stopped = read.stopped || stopRequested(run);
    if (result.stopped)
        return;
    if (!read.read) {
        result.problem = read.problem.empty() ? "could not be read" : read.problem;
        return;
    }
    result.sourceSha256 = read.sha256;

    std::optional<std::string> phoneRoot;
    std::vector<std::optional<PathParts>> chosen;
    for (const std::string& root : index.roots) {
        std::vector<std::optional<PathParts>> found = chooseFiles(archiveLookup(index, root));
        if (!holdsADatabase(found))
            continue;
        if (!phoneRoot) {
            phoneRoot = root;
            chosen = std::move(found);
        } else {
            addNote(run, "another phone's files in " + (root.empty() ? "/" : root + "/") +
                             " are left out");
        }
    }
    if (!phoneRoot)
        return;
    noteOtherUsersInArchive(run, index, *phoneRoot);
    for (size_t i = 0; i < chosen.size(); ++i) {
        PulledFile& file = result.copies.files[i];
        if (!chosen[i]) {
            file.outcome = CopyOutcome::Missing;
            continue;
        }
        std::string missing;
        const std::string key = keyBelow(*phoneRoot, *chosen[i]);
        if (const HeldFile* held = heldBehind(index, key, missing)) {
            run.held.take(*held, file);
        } else {
            file.outcome = CopyOutcome::Failed;
            file.phonePath = key;
            file.detail = "a hard link to " + missing + ", which is no file read";
        }
    }
}

// ---- folders ----

// Notes every other user's database below the folder's phone root.
void noteOtherUsersInFolder(Run& run, const FolderTree& tree, const PathParts& root,
                            const TreeLookup& lookup) {
    for (const char* storage : {"user", "user_de"}) {
        PathParts usersFolder = root;
        usersFolder.insert(usersFolder.end(), {"data", storage});
        for (const std::string& user : tree.list(usersFolder)) {
            for (const PhoneDatabase& database : kDatabases) {
                for (const char* package : {database.provider, database.otherProvider}) {
                    if (!package)
                        continue;
                    const PathParts parts{"data",  storage,     user,
                                          package, "databases", database.fileName};
                    const auto other = otherUserDatabase(parts);
                    if (other && resolvePhonePath("/" + joinParts(parts), lookup)) {
                        PathParts where = root;
                        where.insert(where.end(), parts.begin(), parts.end());
                        addNote(run, otherUserNote(*other, joinParts(where)));
                    }
                }
            }
        }
    }
}

// Copies one file of the folder (parts below it) into its held file.
bool holdFolderFile(Run& run, const FolderTree& tree, const PathParts& parts, HeldFile& held,
                    uint64_t& done, uint64_t total) {
    held.memberPath = joinParts(parts);
    const int fd = tree.openFile(parts);
    if (fd < 0) {
        held.failure = "cannot be opened as a file";
        return true;
    }
    struct stat status {};
    ::fstat(fd, &status);
    held.modified = int64_t(status.st_mtime);
    const ByteFeed feed = [&](const std::function<bool(const char*, size_t)>& consume) {
        std::vector<char> buffer(1 << 20);
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                held.failure = std::string("cannot be read: ") + std::strerror(errno);
                return false;
            }
            if (got == 0)
                return true;
            if (!consume(buffer.data(), size_t(got)))
                return false;
            done += uint64_t(got);
            if (run.job.progress)
                run.job.progress(done, total);
        }
    };
    const bool whole =
        run.held.hold(holdingFolder(run, parts), uint64_t(status.st_size), feed, held);
    ::close(fd);
    return whole || !held.failure.empty();
}

// Takes the copies from a folder.
void acquireFromFolder(Run& run, ExtractionResult& result) {
    std::string problem;
    std::optional<FolderTree> tree = FolderTree::open(run.job.source, problem);
    if (!tree) {
        result.problem = problem;
        return;
    }
    std::optional<PathParts> phoneRoot;
    std::vector<std::optional<PathParts>> chosen;
    for (const PathParts& root : tree->phoneRoots()) {
        const TreeLookup lookup = [&tree, root](const PathParts& parts) {
            PathParts full = root;
            full.insert(full.end(), parts.begin(), parts.end());
            return tree->lookup(full);
        };
        std::vector<std::optional<PathParts>> found = chooseFiles(lookup);
        if (!holdsADatabase(found))
            continue;
        if (!phoneRoot) {
            phoneRoot = root;
            chosen = std::move(found);
            noteOtherUsersInFolder(run, *tree, root, lookup);
        } else {
            addNote(run, "another phone's files in " + joinParts(root) + "/ are left out");
        }
    }
    if (!phoneRoot)
        return;
    std::vector<PathParts> fullParts(chosen.size());
    uint64_t total = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (!chosen[i])
            continue;
        fullParts[i] = *phoneRoot;
        fullParts[i].insert(fullParts[i].end(), chosen[i]->begin(), chosen[i]->end());
        const int fd = tree->openFile(fullParts[i]);
        struct stat status {};
        if (fd >= 0 && ::fstat(fd, &status) == 0)
            total += uint64_t(status.st_size);
        if (fd >= 0)
            ::close(fd);
    }
    uint64_t done = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        PulledFile& file = result.copies.files[i];
        if (!chosen[i]) {
            file.outcome = CopyOutcome::Missing;
            continue;
        }
        HeldFile held;
        if (!holdFolderFile(run, *tree, fullParts[i], held, done, total) || stopRequested(run)) {
            result.stopped = true;
            return;
        }
        run.held.take(held, file);
    }
}

// ---- manifests ----

// Writes the manifest of each copy folder that received a copy, with where
// the copies came from.
void writeManifests(const Run& run, ExtractionResult& result) {
    ManifestProvenance common;
    common.sourceKind = result.archive ? "archive" : "folder";
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(run.job.source, error);
    common.sourcePath = error ? run.job.source : absolute.lexically_normal().string();
    common.sourceSha256 = result.sourceSha256;
    common.notes = run.notes;

    DeepAcquireResult& copies = result.copies;
    std::vector<std::string> folders;
    for (const PulledFile& file : copies.files) {
        const std::string folder = platform::parentFolder(file.localPath);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    for (const std::string& folder : folders) {
        std::vector<ManifestEntry> entries;
        ManifestProvenance provenance = common;
        for (const PulledFile& file : copies.files) {
            if (file.outcome != CopyOutcome::Arrived ||
                platform::parentFolder(file.localPath) != folder)
                continue;
            const std::string name = platform::baseName(file.localPath);
            entries.push_back({name, file.sha256});
            provenance.members.push_back({name, file.phonePath, file.modified});
        }
        if (entries.empty())
            continue;
        if (writeManifest(folder, entries, provenance))
            copies.manifests.push_back(folder + "/" + kManifestFileName);
        else
            copies.manifestsWritten = false;
    }
}

// Marks every file not yet decided as failed for the same reason.
void failAll(DeepAcquireResult& copies, const std::string& detail) {
    for (PulledFile& file : copies.files) {
        file.outcome = CopyOutcome::Failed;
        file.detail = detail;
        file.size = 0;
        file.sha256.clear();
    }
}

} // namespace

ExtractionResult acquireFromExtraction(const ExtractionJob& job) {
    ExtractionResult result;
    for (size_t i = 0; i < result.copies.files.size(); ++i)
        result.copies.files[i].localPath = copyFamily(allCopyPaths(job.paths)[i / 4])[i % 4];
    struct stat status {};
    if (::stat(job.source.c_str(), &status) != 0) {
        result.problem = std::strerror(errno);
        failAll(result.copies, result.problem);
        return result;
    }
    if (!S_ISDIR(status.st_mode) && !S_ISREG(status.st_mode)) {
        result.problem = "neither a folder nor an archive file";
        failAll(result.copies, result.problem);
        return result;
    }
    result.archive = S_ISREG(status.st_mode);
    deleteStaleCopies(job.paths);
    prepareCopyFolders(job.paths);
    deleteStaleHeldFiles(job.paths);

    Run run{job, HeldFiles(job.freeSpace, job.stop), {}};
    for (PulledFile& file : result.copies.files)
        file.outcome = CopyOutcome::Missing;
    if (result.archive)
        acquireFromArchive(run, result);
    else
        acquireFromFolder(run, result);
    result.stopped = result.stopped || stopRequested(run);
    result.notes = run.notes;

    const bool found = std::any_of(result.copies.files.begin(), result.copies.files.end(),
                                   [](const PulledFile& file) { return !file.phonePath.empty(); });
    if (result.stopped || !result.problem.empty()) {
        // A damaged archive or a stop leaves nothing behind, not even the
        // copies that were whole: they would pass for all there was.
        deleteStaleCopies(job.paths);
        failAll(result.copies, result.stopped ? "stopped" : result.problem);
        if (result.stopped)
            result.copies.problem = PhoneProblem::Stopped;
        return result;
    }
    if (!found) {
        result.problem = "no contacts2.db or mmssms.db in " + job.source;
        return result;
    }
    writeManifests(run, result);
    result.copies.stamps = stampCopies(job.paths);
    return result;
}

} // namespace fennaro
