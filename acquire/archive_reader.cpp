#include "archive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "sha256.h"

namespace fennaro {

namespace {

// The bytes handed to libarchive at a time, and how many such blocks may
// wait for the hashing thread before the reading waits for it.
constexpr size_t kBlockSize = 1 << 20;
constexpr size_t kBlockCount = 8;
// The chunk in which a member's bytes are handed on.
constexpr size_t kMemberChunk = 256 * 1024;

// True once stop (may be null) is set.
bool stopSet(const std::atomic<bool>* stop) {
    return stop && stop->load(std::memory_order_relaxed);
}

// Reads up to size bytes at the file's position, retrying interrupted reads;
// the count, 0 at the end, -1 on failure.
ssize_t readSome(int fd, char* buffer, size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// An open file descriptor, closed when it goes.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int opened) : fd(opened) {}
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

// The archive's bytes as libarchive asks for them, each block hashed on a
// second thread while libarchive inflates and parses the one before: both
// cores work, and every byte is read from the disk once.
class HashingFeed {
  public:
    HashingFeed(int fd, uint64_t size, const ReadProgress& progress, const std::atomic<bool>* stop)
        : m_fd(fd), m_size(size), m_progress(progress), m_stop(stop), m_blocks(kBlockCount) {
        for (Block& block : m_blocks)
            block.bytes.reset(new char[kBlockSize]);
        m_hasher = std::thread([this] { hashLoop(); });
    }

    // Stops the hashing thread.
    ~HashingFeed() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        m_hasher.join();
    }

    HashingFeed(const HashingFeed&) = delete;
    HashingFeed& operator=(const HashingFeed&) = delete;

    // Hands out the next block of the file (the one handed out before goes
    // back); its size, 0 at the end, -1 on a failure or a stop (errno tells).
    ssize_t next(const void** buffer) {
        if (stopSet(m_stop)) {
            errno = ECANCELED;
            return -1;
        }
        size_t index = 0;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_lent >= 0)
                m_blocks[size_t(m_lent)].lent = false;
            m_lent = -1;
            m_changed.wait(lock, [&] { return freeBlock(index); });
        }
        Block& block = m_blocks[index];
        const ssize_t got = readSome(m_fd, block.bytes.get(), kBlockSize);
        if (got <= 0) {
            if (got == 0)
                m_atEnd = true;
            return got;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            block.filled = size_t(got);
            block.lent = true;
            block.hashing = true;
            m_lent = ssize_t(index);
            m_queue.push_back(index);
        }
        m_changed.notify_all();
        m_read += uint64_t(got);
        if (m_progress)
            m_progress(m_read, m_size);
        *buffer = block.bytes.get();
        return got;
    }

    // Reads and hashes what libarchive left unread (a tar's padding after
    // its end) and returns the whole file's digest; nothing after a read
    // failure or a stop.
    std::optional<std::string> finish() {
        const void* ignored = nullptr;
        while (!m_atEnd) {
            if (next(&ignored) < 0)
                return std::nullopt;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_queue.empty() && !m_busyHashing; });
        return platform::toHex(m_hash.finish());
    }

  private:
    struct Block {
        std::unique_ptr<char[]> bytes;
        size_t filled = 0;
        bool lent = false;    // libarchive may still read it
        bool hashing = false; // waiting for or under the hashing thread
    };

    // Finds a block neither lent nor waiting to be hashed; m_mutex held.
    bool freeBlock(size_t& index) const {
        for (size_t i = 0; i < m_blocks.size(); ++i) {
            if (!m_blocks[i].lent && !m_blocks[i].hashing) {
                index = i;
                return true;
            }
        }
        return false;
    }

    // The hashing thread: hashes the blocks in the order they were read.
    void hashLoop() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            const size_t index = m_queue.front();
            m_queue.pop_front();
            m_busyHashing = true;
            lock.unlock();
            m_hash.update(m_blocks[index].bytes.get(), m_blocks[index].filled);
            lock.lock();
            m_busyHashing = false;
            m_blocks[index].hashing = false;
            m_changed.notify_all();
        }
    }

    const int m_fd;
    const uint64_t m_size;
    const ReadProgress& m_progress;
    const std::atomic<bool>* m_stop;
    std::vector<Block> m_blocks;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<size_t> m_queue;
    ssize_t m_lent = -1;
    bool m_busyHashing = false;
    bool m_closing = false;
    bool m_atEnd = false;
    uint64_t m_read = 0;
    platform::Sha256 m_hash;
    std::thread m_hasher;
};

// A whole file hashed on a second thread from its own descriptor, for a zip,
// whose reader seeks to the members it wants and so never reads it whole.
class FileHasher {
  public:
    FileHasher(const std::string& path, const std::atomic<bool>* stop) : m_stop(stop) {
        m_thread = std::thread([this, path] { run(path); });
    }
    ~FileHasher() {
        m_quit = true;
        m_thread.join();
    }
    FileHasher(const FileHasher&) = delete;
    FileHasher& operator=(const FileHasher&) = delete;

    // The bytes hashed so far.
    uint64_t done() const { return m_done.load(); }

    // Waits for the digest, telling progress every tenth of a second;
    // nothing when the file could not be read whole or a stop came.
    std::optional<std::string> wait(const ReadProgress& progress, uint64_t total) {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_over) {
            m_finished.wait_for(lock, std::chrono::milliseconds(100));
            if (progress)
                progress(m_done.load(), total);
        }
        return m_digest;
    }

  private:
    // The thread: reads the file from start to end into the hash.
    void run(const std::string& path) {
        std::optional<std::string> digest;
        Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (file.fd >= 0) {
            ::posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
            platform::Sha256 hash;
            std::unique_ptr<char[]> buffer(new char[kBlockSize]);
            ssize_t got = 0;
            while (!m_quit && !stopSet(m_stop) &&
                   (got = readSome(file.fd, buffer.get(), kBlockSize)) > 0) {
                hash.update(buffer.get(), size_t(got));
                m_done += uint64_t(got);
            }
            if (got == 0 && !m_quit && !stopSet(m_stop))
                digest = platform::toHex(hash.finish());
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_digest = digest;
        m_over = true;
        m_finished.notify_all();
    }

    const std::atomic<bool>* m_stop;
    std::atomic<bool> m_quit{false};
    std::atomic<uint64_t> m_done{0};
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_over = false;
    std::optional<std::string> m_digest;
    std::thread m_thread;
};

// A gzip stream inflated here rather than by libarchive, whose gzip reader
// does not check the CRC-32 and length each gzip member ends with: a damaged
// byte in a stored block would pass into a copy unnoticed. zlib checks both.
class GzipFeed {
  public:
    explicit GzipFeed(HashingFeed& raw) : m_raw(raw), m_out(new unsigned char[kBlockSize]) {
        m_ready = inflateInit2(&m_stream, 15 + 16) == Z_OK;
    }
    ~GzipFeed() {
        if (m_ready)
            inflateEnd(&m_stream);
    }
    GzipFeed(const GzipFeed&) = delete;
    GzipFeed& operator=(const GzipFeed&) = delete;

    // The next inflated bytes; their count, 0 after the last gzip member,
    // -1 when the stream is damaged, cut or could not be read (problem()).
    ssize_t next(const void** buffer) {
        m_stream.next_out = m_out.get();
        m_stream.avail_out = unsigned(kBlockSize);
        while (m_stream.avail_out == kBlockSize && !m_over) {
            if (!m_ready)
                return fail("zlib could not be started");
            if (m_stream.avail_in == 0) {
                const void* raw = nullptr;
                const ssize_t got = m_raw.next(&raw);
                if (got < 0)
                    return fail(errno == ECANCELED ? "stopped" : std::strerror(errno));
                if (got == 0) {
                    if (m_inMember)
                        return fail("truncated gzip input");
                    m_over = true;
                    break;
                }
                m_stream.next_in = static_cast<Bytef*>(const_cast<void*>(raw));
                m_stream.avail_in = unsigned(got);
            }
            // After a member, another may follow; anything else (zeros that
            // pad a tape block) ends the stream, as gzip itself takes it.
            if (!m_inMember && m_members > 0 && m_stream.next_in[0] != 0x1f) {
                m_over = true;
                break;
            }
            m_inMember = true;
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                m_inMember = false;
                ++m_members;
                inflateReset(&m_stream);
            } else if (status != Z_OK && !(status == Z_BUF_ERROR && m_stream.avail_in == 0)) {
                return fail(std::string("damaged gzip data: ") +
                            (m_stream.msg ? m_stream.msg : "cannot be inflated"));
            }
        }
        *buffer = m_out.get();
        return ssize_t(kBlockSize - m_stream.avail_out);
    }

    const std::string& problem() const { return m_problem; }

  private:
    // Records what went wrong; -1.
    ssize_t fail(const std::string& problem) {
        m_problem = problem;
        return -1;
    }

    HashingFeed& m_raw;
    std::unique_ptr<unsigned char[]> m_out;
    z_stream m_stream{};
    bool m_ready = false;
    bool m_inMember = false;
    bool m_over = false;
    size_t m_members = 0;
    std::string m_problem;
};

// What libarchive's read callback needs: the raw feed, and the gzip layer
// over it when the archive is gzip-compressed.
struct FeedClient {
    HashingFeed* feed;
    GzipFeed* gzip;
};

// libarchive's read callback over a HashingFeed (through a GzipFeed).
la_ssize_t feedRead(struct archive* archive, void* client, const void** buffer) {
    FeedClient* feeds = static_cast<FeedClient*>(client);
    if (feeds->gzip) {
        const la_ssize_t got = feeds->gzip->next(buffer);
        if (got < 0)
            archive_set_error(archive, EINVAL, "%s", feeds->gzip->problem().c_str());
        return got;
    }
    const la_ssize_t got = feeds->feed->next(buffer);
    if (got < 0)
        archive_set_error(archive, errno, "%s",
                          errno == ECANCELED ? "stopped" : std::strerror(errno));
    return got;
}

// Frees a libarchive reader when it goes.
struct ArchiveFree {
    void operator()(struct archive* archive) const { archive_read_free(archive); }
};
using ArchivePtr = std::unique_ptr<struct archive, ArchiveFree>;

// True when the file starts as a zip does (a local header, or the end of an
// empty one's central directory).
bool looksLikeZip(int fd) {
    unsigned char start[4] = {};
    if (::pread(fd, start, sizeof start, 0) != ssize_t(sizeof start))
        return false;
    return start[0] == 'P' && start[1] == 'K' &&
           ((start[2] == 3 && start[3] == 4) || (start[2] == 5 && start[3] == 6) ||
            (start[2] == 7 && start[3] == 8));
}

// The description of the member at the reader's position.
ArchiveMember describeMember(struct archive_entry* entry) {
    ArchiveMember member;
    const char* name = archive_entry_pathname(entry);
    if (!name)
        name = archive_entry_pathname_utf8(entry);
    member.name = name ? name : "";
    if (const char* target = archive_entry_hardlink(entry)) {
        member.kind = MemberKind::HardLink;
        member.linkTarget = target;
    } else {
        switch (archive_entry_filetype(entry)) {
        case AE_IFREG:
            member.kind = MemberKind::File;
            break;
        case AE_IFDIR:
            member.kind = MemberKind::Folder;
            break;
        case AE_IFLNK: {
            member.kind = MemberKind::SymbolicLink;
            const char* target = archive_entry_symlink(entry);
            if (!target)
                target = archive_entry_symlink_utf8(entry);
            member.linkTarget = target ? target : "";
            break;
        }
        default:
            member.kind = MemberKind::Other;
        }
    }
    member.size = archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0
                      ? uint64_t(archive_entry_size(entry))
                      : 0;
    member.hasModified = archive_entry_mtime_is_set(entry) != 0;
    member.modified = member.hasModified ? int64_t(archive_entry_mtime(entry)) : 0;
    member.encrypted = archive_entry_is_encrypted(entry) != 0;
    return member;
}

// Words for what libarchive reports; inside names the member being read,
// or is empty between members.
std::string describeFailure(struct archive* archive, const std::string& inside) {
    const char* said = archive_error_string(archive);
    std::string text = said ? said : "unreadable";
    std::string lower = text;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const bool cut = lower.find("truncat") != std::string::npos ||
                     lower.find("premature") != std::string::npos ||
                     lower.find("unexpected end") != std::string::npos ||
                     lower.find("eof") != std::string::npos;
    if (cut)
        return inside.empty() ? "ends early" : "ends inside " + inside;
    if (lower.find("unrecognized archive format") != std::string::npos)
        return "not an archive this program reads (tar, tar.gz, tar.xz, tar.zst, zip)";
    return "is damaged" + (inside.empty() ? std::string() : " inside " + inside) + ": " + text;
}

// The bytes of the member at the reader's position.
class CurrentMemberData : public MemberData {
  public:
    CurrentMemberData(struct archive* archive, const ArchiveMember& member,
                      const std::atomic<bool>* stop, std::string& problem)
        : m_archive(archive), m_member(member), m_stop(stop), m_problem(problem) {}

    bool read(const std::function<bool(const char* data, size_t size)>& consume) override {
        if (m_member.encrypted) {
            m_problem = "encrypted zip member " + m_member.name;
            return false;
        }
        std::unique_ptr<char[]> buffer(new char[kMemberChunk]);
        for (;;) {
            if (stopSet(m_stop))
                return false;
            const la_ssize_t got = archive_read_data(m_archive, buffer.get(), kMemberChunk);
            if (got < 0) {
                m_problem = describeFailure(m_archive, m_member.name);
                return false;
            }
            if (got == 0)
                return true;
            if (!consume(buffer.get(), size_t(got)))
                return false;
        }
    }

  private:
    struct archive* m_archive;
    const ArchiveMember& m_member;
    const std::atomic<bool>* m_stop;
    std::string& m_problem;
};

// Visits every member the reader has; false when the reading ended before
// the archive's end (result.problem says why unless the visitor ended it).
bool visitMembers(struct archive* archive, const MemberVisitor& visit,
                  const std::atomic<bool>* stop, ArchiveReadResult& result,
                  const std::function<void()>& tick) {
    std::string previous;
    for (;;) {
        if (stopSet(stop))
            return false;
        struct archive_entry* entry = nullptr;
        const int status = archive_read_next_header(archive, &entry);
        if (status == ARCHIVE_EOF)
            return true;
        if (status < ARCHIVE_WARN) {
            if (!stopSet(stop))
                result.problem = describeFailure(archive, previous);
            return false;
        }
        if (tick)
            tick();
        const ArchiveMember member = describeMember(entry);
        previous = member.name;
        CurrentMemberData data(archive, member, stop, result.problem);
        if (!visit(member, data))
            return false;
        if (!result.problem.empty())
            return false;
    }
}

// True when the file starts as gzip data does.
bool looksLikeGzip(int fd) {
    unsigned char start[2] = {};
    return ::pread(fd, start, sizeof start, 0) == ssize_t(sizeof start) && start[0] == 0x1f &&
           start[1] == 0x8b;
}

// Ends the reading of an archive read whole: its SHA-256, or why it has none.
void takeDigest(const std::optional<std::string>& digest, const std::atomic<bool>* stop,
                ArchiveReadResult& result) {
    result.stopped = stopSet(stop);
    if (!digest) {
        if (!result.stopped)
            result.problem = "could not be read to its end";
        return;
    }
    result.sha256 = *digest;
    result.read = true;
}

// Reads a tar, plain or compressed, in one pass through a hashing feed.
void readStream(int fd, const MemberVisitor& visit, const ReadProgress& progress,
                const std::atomic<bool>* stop, ArchiveReadResult& result) {
    HashingFeed feed(fd, result.size, progress, stop);
    std::optional<GzipFeed> gzip;
    if (looksLikeGzip(fd))
        gzip.emplace(feed);
    FeedClient client{&feed, gzip ? &*gzip : nullptr};
    ArchivePtr archive(archive_read_new());
    archive_read_support_filter_all(archive.get());
    archive_read_support_format_tar(archive.get());
    archive_read_support_format_gnutar(archive.get());
    if (archive_read_open(archive.get(), &client, nullptr, feedRead, nullptr) != ARCHIVE_OK) {
        result.stopped = stopSet(stop);
        if (!result.stopped)
            result.problem = describeFailure(archive.get(), "");
        return;
    }
    const bool whole = visitMembers(archive.get(), visit, stop, result, {});
    result.stopped = stopSet(stop);
    if (!whole || result.stopped)
        return;
    // The tar ends before its gzip stream does: the check at the stream's
    // end must still be read, or damage anywhere in it would pass unseen.
    const void* rest = nullptr;
    ssize_t got = 1;
    while (gzip && got > 0)
        got = gzip->next(&rest);
    if (got < 0) {
        result.stopped = stopSet(stop);
        if (!result.stopped)
            result.problem = gzip->problem() == "truncated gzip input"
                                 ? "ends early"
                                 : "is damaged: " + gzip->problem();
        return;
    }
    takeDigest(feed.finish(), stop, result);
}

// Reads a zip through its central directory while a second thread hashes
// the whole file.
void readZip(const std::string& path, const MemberVisitor& visit, const ReadProgress& progress,
             const std::atomic<bool>* stop, ArchiveReadResult& result) {
    result.zip = true;
    FileHasher hasher(path, stop);
    ArchivePtr archive(archive_read_new());
    archive_read_support_format_zip_seekable(archive.get());
    const auto tick = [&] {
        if (progress)
            progress(hasher.done(), result.size);
    };
    bool whole = false;
    if (archive_read_open_filename(archive.get(), path.c_str(), 64 * 1024) != ARCHIVE_OK)
        result.problem = describeFailure(archive.get(), "");
    else
        whole = visitMembers(archive.get(), visit, stop, result, tick);
    if (!whole) {
        result.stopped = stopSet(stop);
        return;
    }
    takeDigest(hasher.wait(progress, result.size), stop, result);
}

} // namespace

ArchiveReadResult readArchive(const std::string& path, const MemberVisitor& visit,
                              const ReadProgress& progress, const std::atomic<bool>* stop) {
    ArchiveReadResult result;
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0) {
        result.problem = std::strerror(errno);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        result.problem = "not a regular file";
        return result;
    }
    result.size = uint64_t(status.st_size);
    if (looksLikeZip(file.fd)) {
        readZip(path, visit, progress, stop, result);
        return result;
    }
    ::posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    readStream(file.fd, visit, progress, stop, result);
    return result;
}

} // namespace fennaro
