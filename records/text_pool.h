// Storage for the texts of a record list: many small strings packed into a few
// large blocks, so loading a phone does not pay one allocation per text and the
// texts never move while the list lives.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace fennaro {

class TextPool {
  public:
    TextPool() = default;
    TextPool(TextPool&&) noexcept = default;
    TextPool& operator=(TextPool&&) noexcept = default;
    TextPool(const TextPool&) = delete;
    TextPool& operator=(const TextPool&) = delete;

    // Copies text into the pool, followed by a zero byte, and returns a view of
    // the copy (without the zero byte); the view stays valid for the pool's life.
    std::string_view add(std::string_view text);

    // Releases every text; earlier views become invalid.
    void clear();

    // Returns the bytes of text held (zero bytes included), for memory figures.
    std::size_t usedBytes() const { return m_used; }
    // Returns the bytes reserved in blocks.
    std::size_t reservedBytes() const { return m_reserved; }

  private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_cursor = nullptr;
    std::size_t m_left = 0;
    std::size_t m_used = 0;
    std::size_t m_reserved = 0;
};

} // namespace fennaro
