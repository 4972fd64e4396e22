// Storage for many small byte strings that live as long as one scan: they
// are copied into large chunks that never move, so each costs no allocation
// of its own and strings found one after another lie side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace fennaro::deep {

class ByteArena {
  public:
    // Zero bytes behind every stored string, so a decoder that reads a few
    // bytes ahead stays inside what it was given.
    static constexpr size_t kPadding = 8;

    // Room for `bytes` bytes (and the padding, zeroed); stays valid as long
    // as the arena.
    uint8_t* allocate(size_t bytes) {
        const size_t need = bytes + kPadding;
        uint8_t* at = nullptr;
        if (need > kChunk / 4) {
            // A long string gets a chunk of its own; the current one stays.
            m_chunks.emplace_back(new uint8_t[need]);
            at = m_chunks.back().get();
        } else {
            if (!m_current || m_used + need > kChunk) {
                m_chunks.emplace_back(new uint8_t[kChunk]);
                m_current = m_chunks.back().get();
                m_used = 0;
            }
            at = m_current + m_used;
            m_used += need;
        }
        std::memset(at + bytes, 0, kPadding);
        return at;
    }

    // Takes over the strings of another arena; they keep their places.
    void absorb(ByteArena&& other) {
        for (auto& chunk : other.m_chunks)
            m_chunks.push_back(std::move(chunk));
        other.m_chunks.clear();
        other.m_current = nullptr;
        other.m_used = 0;
    }

    // Frees every string at once.
    void clear() {
        m_chunks.clear();
        m_current = nullptr;
        m_used = 0;
    }

  private:
    static constexpr size_t kChunk = size_t(1) << 18;
    std::vector<std::unique_ptr<uint8_t[]>> m_chunks;
    uint8_t* m_current = nullptr; // the chunk short strings go to
    size_t m_used = 0;            // bytes of it taken
};

} // namespace fennaro::deep
