#include "sha256.h"

#include <openssl/evp.h>
#include <stdexcept>

#include "file_ops.h"

namespace fennaro::platform {

void Sha256::ContextFree::operator()(EVP_MD_CTX* context) const {
    EVP_MD_CTX_free(context);
}

// Starts a digest; only a library that cannot allocate a context fails here,
// which no caller could work around.
Sha256::Sha256() : m_context(EVP_MD_CTX_new()) {
    if (!m_context || EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available from libcrypto");
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::update(const void* data, size_t size) {
    if (size > 0)
        EVP_DigestUpdate(m_context.get(), data, size);
}

std::array<uint8_t, 32> Sha256::finish() {
    std::array<uint8_t, 32> digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context.get(), digest.data(), &length);
    return digest;
}

std::string toHex(const std::array<uint8_t, 32>& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

std::string sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.update(bytes);
    return toHex(hash.finish());
}

bool sha256OfFile(const std::string& path, std::string& hex) {
    Sha256 hash;
    auto feed = [&](const char* data, size_t size) {
        hash.update(data, size);
        return true;
    };
    if (!readFileInChunks(path, feed))
        return false;
    hex = toHex(hash.finish());
    return true;
}

} // namespace fennaro::platform
