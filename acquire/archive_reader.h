// Reads an archive of a phone's files through libarchive: a tar (plain or
// compressed with gzip, xz, zstd, bzip2 ...) in one streaming pass, or a zip
// through its central directory, seeking only to the members asked for. The
// archive's own SHA-256 is worked out on a second thread from the very bytes
// the reader takes in (a zip, which is not read whole, is hashed by a second
// thread reading it beside the members), so no second pass is needed.
// Nothing is ever written from a member's name: the caller gets each
// member's description and decides whether to read its bytes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace fennaro {

enum class MemberKind { File, Folder, SymbolicLink, HardLink, Other };

struct ArchiveMember {
    std::string name; // as stored, "./" or "/" in front included
    MemberKind kind = MemberKind::Other;
    std::string linkTarget; // a link's target as stored
    uint64_t size = 0;      // a file's size as its header gives it
    bool hasModified = false;
    int64_t modified = 0; // seconds since 1970 (UTC)
    bool encrypted = false;
};

// Reads the bytes of the member being visited.
class MemberData {
  public:
    virtual ~MemberData() = default;
    // Hands the member's bytes to consume chunk by chunk (consume returns
    // false to end early). False when the archive could not give them whole;
    // the archive's reading then ends with its problem.
    virtual bool read(const std::function<bool(const char* data, size_t size)>& consume) = 0;
};

// Called for every member, in the archive's order for a tar and in the
// central directory's order for a zip. Returns false to end the reading
// (the visitor knows why).
using MemberVisitor = std::function<bool(const ArchiveMember& member, MemberData& data)>;

// Told how many bytes of the archive have been read (and hashed) of its size;
// always on the thread that called readArchive.
using ReadProgress = std::function<void(uint64_t done, uint64_t total)>;

struct ArchiveReadResult {
    bool read = false; // every member was visited and the archive hashed
    // What is wrong with the archive ("ends inside mmssms.db", "encrypted zip
    // member X", "not an archive this program reads"); empty when read or the
    // visitor ended the reading.
    std::string problem;
    bool stopped = false;
    bool zip = false;
    uint64_t size = 0;
    std::string sha256; // the whole archive file's, when read
};

// Reads the archive at path, visiting each member. stop (may be null) ends
// the reading soon after it is set.
ArchiveReadResult readArchive(const std::string& path, const MemberVisitor& visit,
                              const ReadProgress& progress, const std::atomic<bool>* stop);

} // namespace fennaro
