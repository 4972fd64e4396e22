// The adb transport's packets: a 24-byte little-endian header and a payload.
#pragma once

#include <cstdint>
#include <string>

namespace adbphone {

constexpr uint32_t commandId(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 |
           uint32_t(uint8_t(name[2])) << 16 | uint32_t(uint8_t(name[3])) << 24;
}

constexpr uint32_t A_CNXN = commandId("CNXN");
constexpr uint32_t A_OPEN = commandId("OPEN");
constexpr uint32_t A_OKAY = commandId("OKAY");
constexpr uint32_t A_WRTE = commandId("WRTE");
constexpr uint32_t A_CLSE = commandId("CLSE");
constexpr uint32_t A_AUTH = commandId("AUTH");

// The protocol version that lets both sides skip payload checksums.
constexpr uint32_t kAdbVersion = 0x01000001;

struct Packet {
    uint32_t command = 0;
    uint32_t arg0 = 0;
    uint32_t arg1 = 0;
    std::string payload;
};

// Reads one packet from fd; false on end of stream, error or a bad header.
bool readPacket(int fd, Packet& packet);

// Writes one packet to fd; false on error.
bool writePacket(int fd, const Packet& packet);

// Appends value to out as four little-endian bytes.
void putLe32(std::string& out, uint32_t value);

// Reads four little-endian bytes at data.
uint32_t getLe32(const char* data);

} // namespace adbphone
