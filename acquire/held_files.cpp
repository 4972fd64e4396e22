#include "held_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/statvfs.h>
#include <unistd.h>

#include "file_ops.h"
#include "sha256.h"

namespace fennaro {

namespace {

// The name every temporary file of a run starts with.
constexpr const char* kTempPrefix = ".extraction-";

// Writes size bytes to fd; false on failure (errno tells).
bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= size_t(done);
    }
    return true;
}

// "the copy could not be written: " and what errno says.
std::string writeProblem() {
    return std::string("the copy could not be written: ") + std::strerror(errno);
}

} // namespace

HeldFiles::~HeldFiles() {
    for (const std::string& path : m_paths)
        platform::deleteFile(path);
}

uint64_t HeldFiles::freeBytes(const std::string& folder) const {
    if (m_freeSpace)
        return *m_freeSpace;
    struct statvfs status {};
    if (::statvfs(folder.c_str(), &status) != 0)
        return UINT64_MAX; // a write will tell
    return uint64_t(status.f_bavail) * uint64_t(status.f_frsize);
}

bool HeldFiles::hold(const std::string& folder, uint64_t size, const ByteFeed& feed,
                     HeldFile& held) {
    const uint64_t room = freeBytes(folder);
    const auto tooBig = [&](uint64_t bytes) {
        return std::to_string(bytes) + " bytes, more than the " + std::to_string(room) +
               " bytes free in " + folder;
    };
    if (size > room) {
        held.failure = tooBig(size);
        return true;
    }
    std::string path = folder + "/" + kTempPrefix + "XXXXXX";
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        held.failure = writeProblem();
        return true;
    }
    m_paths.insert(path);
    platform::Sha256 hash;
    uint64_t written = 0;
    std::string failure;
    const bool whole = feed([&](const char* data, size_t count) {
        // The size a header gives may be false: the room is checked again.
        if (written + count > room) {
            failure = tooBig(written + count);
            return false;
        }
        if (!writeAll(fd, data, count)) {
            failure = writeProblem();
            return false;
        }
        hash.update(data, count);
        written += count;
        return !(m_stop && m_stop->load());
    });
    if (::close(fd) != 0 && failure.empty() && whole)
        failure = writeProblem();
    if (!failure.empty() || !whole || (m_stop && m_stop->load())) {
        platform::deleteFile(path);
        m_paths.erase(path);
        if (!failure.empty())
            held.failure = failure;
        return !failure.empty();
    }
    held.tempPath = path;
    held.size = written;
    held.sha256 = platform::toHex(hash.finish());
    return true;
}

void HeldFiles::drop(const HeldFile& held) {
    if (held.tempPath.empty())
        return;
    platform::deleteFile(held.tempPath);
    m_paths.erase(held.tempPath);
}

void HeldFiles::take(const HeldFile& held, PulledFile& file) {
    file.phonePath = held.memberPath;
    file.outcome = CopyOutcome::Failed;
    if (!held.failure.empty() || held.tempPath.empty()) {
        file.detail = held.failure.empty() ? "not read" : held.failure;
        return;
    }
    if (::rename(held.tempPath.c_str(), file.localPath.c_str()) != 0) {
        file.detail = writeProblem();
        return;
    }
    m_paths.erase(held.tempPath);
    // The manifest must not list a copy a power cut could still take away.
    if (!platform::syncFile(file.localPath)) {
        platform::deleteFile(file.localPath);
        file.detail = "the copy could not be written to the disk";
        return;
    }
    file.outcome = CopyOutcome::Arrived;
    file.modified = held.modified;
    file.size = held.size;
    file.sha256 = held.sha256;
}

void deleteStaleHeldFiles(const LocalDbPaths& paths) {
    for (const std::string& copy : {paths.localContactsDb, paths.localSmsDb}) {
        std::error_code error;
        const std::filesystem::path folder = platform::parentFolder(copy);
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (entry.path().filename().string().rfind(kTempPrefix, 0) == 0)
                platform::deleteFile(entry.path().string());
        }
    }
}

} // namespace fennaro
