#include "adb_packet.h"

#include <cerrno>
#include <unistd.h>

namespace adbphone {

namespace {

// Largest payload accepted from the host; anything bigger is a broken stream.
constexpr uint32_t kMaxAcceptedPayload = 16 * 1024 * 1024;

// Reads exactly len bytes; false on end of stream or error.
bool readFull(int fd, char* data, size_t len) {
    while (len > 0) {
        ssize_t got = ::read(fd, data, len);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        len -= size_t(got);
    }
    return true;
}

// Writes exactly len bytes; false on error.
bool writeFull(int fd, const char* data, size_t len) {
    while (len > 0) {
        ssize_t put = ::write(fd, data, len);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        len -= size_t(put);
    }
    return true;
}

} // namespace

void putLe32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(char((value >> (8 * i)) & 0xff));
}

uint32_t getLe32(const char* data) {
    const unsigned char* d = reinterpret_cast<const unsigned char*>(data);
    return uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
}

bool readPacket(int fd, Packet& packet) {
    char header[24];
    if (!readFull(fd, header, sizeof header))
        return false;
    packet.command = getLe32(header);
    packet.arg0 = getLe32(header + 4);
    packet.arg1 = getLe32(header + 8);
    uint32_t length = getLe32(header + 12);
    uint32_t magic = getLe32(header + 20);
    if (magic != (packet.command ^ 0xffffffffu) || length > kMaxAcceptedPayload)
        return false;
    packet.payload.assign(length, '\0');
    return readFull(fd, packet.payload.data(), length);
}

bool writePacket(int fd, const Packet& packet) {
    uint32_t checksum = 0;
    for (unsigned char c : packet.payload)
        checksum += c;
    std::string bytes;
    bytes.reserve(24 + packet.payload.size());
    putLe32(bytes, packet.command);
    putLe32(bytes, packet.arg0);
    putLe32(bytes, packet.arg1);
    putLe32(bytes, uint32_t(packet.payload.size()));
    putLe32(bytes, checksum);
    putLe32(bytes, packet.command ^ 0xffffffffu);
    bytes += packet.payload;
    return writeFull(fd, bytes.data(), bytes.size());
}

} // namespace adbphone
