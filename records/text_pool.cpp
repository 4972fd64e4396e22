#include "text_pool.h"

#include <cstring>

namespace fennaro {

namespace {
// Large enough that a phone's texts need few blocks, small enough that an empty
// list costs little.
constexpr std::size_t kBlockSize = 256 * 1024;
} // namespace

std::string_view TextPool::add(std::string_view text) {
    if (text.empty())
        return {};
    const std::size_t need = text.size() + 1;
    if (need > m_left) {
        // A text larger than a block gets a block of its own; the current block
        // stays open for the small texts that follow.
        if (need > kBlockSize / 4) {
            // Not zero-filled: every byte handed out is written first.
            auto block = std::unique_ptr<char[]>(new char[need]);
            char* out = block.get();
            std::memcpy(out, text.data(), text.size());
            out[text.size()] = '\0';
            m_blocks.push_back(std::move(block));
            m_used += need;
            m_reserved += need;
            return {out, text.size()};
        }
        m_blocks.push_back(std::unique_ptr<char[]>(new char[kBlockSize]));
        m_cursor = m_blocks.back().get();
        m_left = kBlockSize;
        m_reserved += kBlockSize;
    }
    char* out = m_cursor;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    m_cursor += need;
    m_left -= need;
    m_used += need;
    return {out, text.size()};
}

void TextPool::clear() {
    m_blocks.clear();
    m_cursor = nullptr;
    m_left = 0;
    m_used = 0;
    m_reserved = 0;
}

} // namespace fennaro
