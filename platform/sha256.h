// SHA-256 for the hash manifests written beside the copies and for the
// extraction files they were taken from, worked out by OpenSSL's libcrypto
// (its assembly uses the processor's SHA extensions where there are some).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace fennaro::platform {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;

    // Feeds the next bytes of the message.
    void update(const void* data, size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }

    // Returns the message's digest; the object must not be fed afterwards.
    std::array<uint8_t, 32> finish();

  private:
    struct ContextFree {
        void operator()(EVP_MD_CTX* context) const;
    };
    std::unique_ptr<EVP_MD_CTX, ContextFree> m_context;
};

// The digest as 64 lower-case hexadecimal digits, as sha256sum prints it.
std::string toHex(const std::array<uint8_t, 32>& digest);

// The hexadecimal SHA-256 of bytes.
std::string sha256Hex(std::string_view bytes);

// The hexadecimal SHA-256 of the file at path, read in chunks; false when it
// cannot be read to its end.
bool sha256OfFile(const std::string& path, std::string& hex);

} // namespace fennaro::platform
