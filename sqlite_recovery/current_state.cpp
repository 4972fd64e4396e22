// writeCurrentState: the database as SQLite would read it, as one plain file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "sqlite_recovery/database_state.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

namespace {

// True when a and b name the same existing file.
bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Writes all of len bytes; false on any error.
bool writeAll(int fd, const uint8_t* p, size_t len) {
    while (len > 0) {
        const ssize_t n = ::write(fd, p, len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        len -= size_t(n);
    }
    return true;
}

} // namespace

bool writeCurrentState(const std::string& dbPath, const std::string& outPath) {
    // The copy must never be one of the files it is made from.
    for (const char* suffix : {"", "-wal", "-journal", "-shm"}) {
        const std::string side = dbPath + suffix;
        if (outPath == side || sameFile(outPath, side))
            return false;
    }
    std::string error;
    std::unique_ptr<DatabaseState> state = openDatabaseState(dbPath, &error);
    if (!state)
        return false;
    const Snapshot& current = *state->current;
    const uint32_t pageSize = state->files.pageSize();

    const int fd =
        ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    // Pages the files do not hold (a damaged or cut copy) are written as
    // zeros, so every later page keeps its place.
    std::vector<uint8_t> buffer;
    const size_t flushAt = size_t(1) << 20;
    bool ok = true;
    for (uint32_t page = 1; ok && page <= current.pageCount(); ++page) {
        const ByteView image = current.page(page);
        const size_t at = buffer.size();
        buffer.resize(at + pageSize, 0);
        if (image.data)
            std::memcpy(buffer.data() + at, image.data, pageSize);
        if (page == 1) {
            // A rollback-mode file that states its own size: SQLite then
            // reads it without looking for a -wal.
            uint8_t* header = buffer.data() + at;
            header[18] = 1;
            header[19] = 1;
            const uint32_t count = current.pageCount();
            const uint8_t size[4] = {uint8_t(count >> 24), uint8_t(count >> 16),
                                     uint8_t(count >> 8), uint8_t(count)};
            std::memcpy(header + 28, size, 4);
            std::memcpy(header + 92, header + 24, 4);
        }
        if (buffer.size() >= flushAt || page == current.pageCount()) {
            ok = writeAll(fd, buffer.data(), buffer.size());
            buffer.clear();
        }
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        ::unlink(outPath.c_str());
    return ok;
}

} // namespace fennaro::deep
