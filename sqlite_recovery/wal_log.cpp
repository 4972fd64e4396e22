#include "sqlite_recovery/wal_log.h"

#include "sqlite_recovery/byte_view.h"

namespace fennaro::deep {

namespace {

constexpr uint32_t kWalMagic = 0x377f0682;
constexpr uint32_t kWalVersion = 3007000;
constexpr uint64_t kWalHeaderSize = 32;
constexpr uint64_t kFrameHeaderSize = 24;

// The log's running checksum: the bytes read as pairs of 32-bit words, in the
// byte order the header's magic names, folded into s0 and s1.
void addChecksum(bool bigEndian, const uint8_t* p, size_t n, uint32_t* s0, uint32_t* s1) {
    uint32_t a = *s0, b = *s1;
    for (size_t i = 0; i + 8 <= n; i += 8) {
        uint32_t x0, x1;
        if (bigEndian) {
            x0 = (uint32_t(p[i]) << 24) | (uint32_t(p[i + 1]) << 16) | (uint32_t(p[i + 2]) << 8) |
                 p[i + 3];
            x1 = (uint32_t(p[i + 4]) << 24) | (uint32_t(p[i + 5]) << 16) |
                 (uint32_t(p[i + 6]) << 8) | p[i + 7];
        } else {
            x0 = (uint32_t(p[i + 3]) << 24) | (uint32_t(p[i + 2]) << 16) |
                 (uint32_t(p[i + 1]) << 8) | p[i];
            x1 = (uint32_t(p[i + 7]) << 24) | (uint32_t(p[i + 6]) << 16) |
                 (uint32_t(p[i + 5]) << 8) | p[i + 4];
        }
        a += x0 + b;
        b += x1 + a;
    }
    *s0 = a;
    *s1 = b;
}

} // namespace

WalLog readWalLog(const MappedFile& wal, uint32_t databasePageSize) {
    // The header first, then every frame slot at the page size's stride.
    WalLog log;
    const ByteView header{wal.bytes(0, kWalHeaderSize), kWalHeaderSize};
    const uint32_t magic = header.data ? header.u32(0) : 0;
    bool bigEndian = false;
    uint32_t s0 = 0, s1 = 0;
    if (header.data && (magic & 0xFFFFFFFE) == kWalMagic && header.u32(4) == kWalVersion &&
        validPageSize(header.u32(8))) {
        bigEndian = magic & 1;
        addChecksum(bigEndian, header.data, 24, &s0, &s1);
        log.headerValid = s0 == header.u32(24) && s1 == header.u32(28);
    }
    log.pageSize = log.headerValid ? header.u32(8) : databasePageSize;
    if (!validPageSize(log.pageSize) || wal.size() < kWalHeaderSize)
        return log;
    const uint32_t salt1 = header.u32(16), salt2 = header.u32(20);

    const uint64_t stride = kFrameHeaderSize + log.pageSize;
    const uint64_t slots = (wal.size() - kWalHeaderSize) / stride;
    bool chainIntact = log.headerValid;
    uint32_t validFrames = 0;
    for (uint64_t i = 0; i < slots; ++i) {
        const uint64_t at = kWalHeaderSize + i * stride;
        const uint8_t* bytes = wal.bytes(at, stride);
        if (!bytes)
            break;
        const ByteView frame{bytes, size_t(stride)};
        WalFrame f;
        f.number = uint32_t(i + 1);
        f.page = frame.u32(0);
        f.commitSize = frame.u32(4);
        f.imageOffset = at + kFrameHeaderSize;
        f.sameSalts = log.headerValid && frame.u32(8) == salt1 && frame.u32(12) == salt2;
        // A frame continues the valid run only with the header's salts, a
        // page number and the checksum carried on from the frame before.
        if (chainIntact) {
            chainIntact = f.sameSalts && f.page != 0;
            if (chainIntact) {
                addChecksum(bigEndian, bytes, 8, &s0, &s1);
                addChecksum(bigEndian, bytes + kFrameHeaderSize, log.pageSize, &s0, &s1);
                chainIntact = s0 == frame.u32(16) && s1 == frame.u32(20);
            }
            if (chainIntact) {
                validFrames = f.number;
                if (f.commitSize != 0) {
                    log.committedFrames = validFrames;
                    log.committedPageCount = f.commitSize;
                }
            }
        }
        if (f.page != 0)
            log.frames.push_back(f);
    }
    for (WalFrame& f : log.frames)
        f.committed = f.number <= log.committedFrames;
    return log;
}

} // namespace fennaro::deep
