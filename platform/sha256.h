// SHA-256 (FIPS 180-4), for the hash manifest written beside pulled copies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fennaro::platform {

class Sha256 {
  public:
    Sha256();

    // Feeds the next bytes of the message.
    void update(const void* data, size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }

    // Pads the message and returns its digest; the object must not be fed
    // afterwards.
    std::array<uint8_t, 32> finish();

  private:
    // Runs the compression function over one 64-byte block.
    void compress(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_block{};
    size_t m_blockUsed = 0;
    uint64_t m_totalBytes = 0;
};

// The digest as 64 lower-case hexadecimal digits, as sha256sum prints it.
std::string toHex(const std::array<uint8_t, 32>& digest);

// The hexadecimal SHA-256 of bytes.
std::string sha256Hex(std::string_view bytes);

// The hexadecimal SHA-256 of the file at path, read in chunks; false when it
// cannot be read to its end.
bool sha256OfFile(const std::string& path, std::string& hex);

} // namespace fennaro::platform
