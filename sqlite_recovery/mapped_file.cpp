#include "sqlite_recovery/mapped_file.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fennaro::deep {

namespace {

// The mappings the SIGBUS handler may mend. A signal handler is
// process-wide, so this table is too; it is lock-free because the handler
// may run on any thread at any moment.
struct GuardedMapping {
    std::atomic<uintptr_t> start{0};
    std::atomic<size_t> length{0};
    std::atomic<bool> faulted{false};
};
constexpr int kGuardSlots = 64;
GuardedMapping g_guarded[kGuardSlots];
struct sigaction g_previous;
std::once_flag g_installed;

// A read of a mapped page the file no longer has: a page of zeros goes in
// its place (reading on from there gives zeros) and the mapping is marked.
// A SIGBUS anywhere else goes to whatever handled it before.
void onBusError(int signal, siginfo_t* info, void* context) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
    const uintptr_t pageSize = uintptr_t(sysconf(_SC_PAGESIZE));
    for (GuardedMapping& slot : g_guarded) {
        const uintptr_t start = slot.start.load(std::memory_order_acquire);
        const size_t length = slot.length.load(std::memory_order_acquire);
        if (start == 0 || address < start || address - start >= length)
            continue;
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
            MAP_FAILED)
            break;
        slot.faulted.store(true, std::memory_order_release);
        return;
    }
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction) {
            g_previous.sa_sigaction(signal, info, context);
            return;
        }
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
        return;
    }
    // The default: die of the signal, as without this handler.
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Installs the handler once per process.
void installGuard() {
    std::call_once(g_installed, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previous);
    });
}

// Registers a mapping with the handler; the slot, or -1 when all are taken
// (the mapping then goes unguarded).
int guardMapping(const uint8_t* data, size_t length) {
    installGuard();
    for (int i = 0; i < kGuardSlots; ++i) {
        uintptr_t expected = 0;
        GuardedMapping& slot = g_guarded[i];
        if (slot.start.load() != 0)
            continue;
        slot.length.store(length, std::memory_order_release);
        slot.faulted.store(false, std::memory_order_release);
        if (slot.start.compare_exchange_strong(expected, reinterpret_cast<uintptr_t>(data)))
            return i;
    }
    return -1;
}

// Forgets a mapping before it is unmapped.
void unguardMapping(int slot) {
    if (slot < 0)
        return;
    g_guarded[slot].start.store(0, std::memory_order_release);
    g_guarded[slot].length.store(0, std::memory_order_release);
}

} // namespace

MappedFile::~MappedFile() {
    close();
}

bool MappedFile::open(const std::string& path) {
    // Opens a file read-only and maps it whole, under the fault guard.
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return false;
    }
    m_size = uint64_t(st.st_size);
    if (m_size > 0) {
        void* p = mmap(nullptr, size_t(m_size), PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
        if (p == MAP_FAILED) {
            ::close(fd);
            m_size = 0;
            return false;
        }
        m_data = static_cast<const uint8_t*>(p);
        m_guardSlot = guardMapping(m_data, size_t(m_size));
    }
    // The mapping stays valid without the descriptor.
    ::close(fd);
    m_path = path;
    m_open = true;
    return true;
}

bool MappedFile::changedWhileRead() const {
    // A mended fault, or a file shorter now than what was mapped.
    if (!m_open)
        return false;
    if (m_guardSlot >= 0 && g_guarded[m_guardSlot].faulted.load(std::memory_order_acquire))
        return true;
    struct stat st {};
    return stat(m_path.c_str(), &st) != 0 || uint64_t(st.st_size) < m_size;
}

void MappedFile::close() {
    // Unmaps the file and forgets it.
    unguardMapping(m_guardSlot);
    m_guardSlot = -1;
    if (m_data)
        munmap(const_cast<uint8_t*>(m_data), size_t(m_size));
    m_data = nullptr;
    m_size = 0;
    m_path.clear();
    m_open = false;
}

bool pathExists(const std::string& path) {
    // Looks at the directory entry only.
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

} // namespace fennaro::deep
