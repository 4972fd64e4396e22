#include "carve.h"

#include <cstring>

namespace fennaro {

CarveBuffer::CarveBuffer() : m_bytes(new unsigned char[kPaddedSize]()) {}

unsigned char* CarveBuffer::prepare(size_t len) {
    if (len > kCarveBufferSize)
        len = kCarveBufferSize;
    if (m_dirty > len)
        std::memset(m_bytes.get() + len, 0, m_dirty - len);
    m_dirty = len;
    return m_bytes.get();
}

std::string CarveBuffer::column(int64_t pos, int64_t len) const {
    if (len <= 0 || pos < 0 || pos + len > int64_t(kCarveBufferSize))
        return std::string();
    return std::string(reinterpret_cast<const char*>(m_bytes.get() + pos), size_t(len));
}

} // namespace fennaro
