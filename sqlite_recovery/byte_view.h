// Bounded reads of big-endian fields and SQLite varints. Every decoder of the
// deep engine reads through these, so a corrupt offset or length yields 0 or
// a refusal instead of a read outside the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fennaro::deep {

// A run of bytes that may be read but not written. Reads beyond the end give
// 0; callers that need to tell "0" from "missing" ask has() first.
struct ByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;

    // True when the len bytes at `at` all lie inside the view.
    bool has(size_t at, size_t len) const { return at <= size && len <= size - at; }

    uint32_t u8(size_t at) const { return at < size ? data[at] : 0; }

    uint32_t u16(size_t at) const {
        return has(at, 2) ? (uint32_t(data[at]) << 8) | data[at + 1] : 0;
    }

    uint32_t u32(size_t at) const {
        if (!has(at, 4))
            return 0;
        return (uint32_t(data[at]) << 24) | (uint32_t(data[at + 1]) << 16) |
               (uint32_t(data[at + 2]) << 8) | data[at + 3];
    }
};

// Reads the SQLite varint at p, of which avail bytes may be read; returns the
// bytes it took (1 to 9), or 0 when the varint would run past avail.
inline int readVarint(const uint8_t* p, size_t avail, uint64_t* value) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        if (size_t(i) >= avail)
            return 0;
        v = (v << 7) | (p[i] & 0x7F);
        if (!(p[i] & 0x80)) {
            *value = v;
            return i + 1;
        }
    }
    if (avail < 9)
        return 0;
    *value = (v << 8) | p[8];
    return 9;
}

// Reads a varint at `at` of a view; 0 when it does not end inside the view.
inline int readVarint(const ByteView& view, size_t at, uint64_t* value) {
    if (at >= view.size)
        return 0;
    return readVarint(view.data + at, view.size - at, value);
}

} // namespace fennaro::deep
