#include "utf16_line.h"

#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace fennaro {

namespace {

// Writes one UTF-16 code unit little-endian at p and returns the next position.
inline char* putUnit(char* p, uint32_t unit) {
    p[0] = static_cast<char>(unit & 0xFF);
    p[1] = static_cast<char>(unit >> 8);
    return p + 2;
}

// Decodes the valid UTF-8 sequence that starts with a non-ASCII byte at
// text[at]; returns its length and sets codePoint, or returns 0 when the byte
// does not start a valid sequence (stray continuation, cut or overlong
// sequence, surrogate, value above U+10FFFF).
std::size_t decodeSequence(std::string_view text, std::size_t at, uint32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    return length;
}

// Writes the UTF-16LE bytes of text at p and returns the end; sets ended when
// the text holds a zero byte, where it ends.
char* writeUtf16Text(char* p, std::string_view text, bool& ended) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    // A byte that is copied as one code unit without a closer look.
    const auto plain = [&](std::size_t at) {
        return bytes[at] < 0x80 && bytes[at] != '\n' && bytes[at] != 0;
    };
    std::size_t at = 0;
    while (at < size) {
#ifdef __SSE2__
        // Runs of plain ASCII are widened 16 bytes at a time; they are most of
        // what a phone holds. The output always has room for the 32 bytes
        // stored: no input byte gives more than 4.
        const __m128i lineFeed = _mm_set1_epi8('\n');
        const __m128i zero = _mm_setzero_si128();
        while (size - at >= 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
            const __m128i special =
                _mm_or_si128(_mm_cmpeq_epi8(chunk, lineFeed), _mm_cmpeq_epi8(chunk, zero));
            const int mask = _mm_movemask_epi8(_mm_or_si128(chunk, special));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi8(chunk, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), _mm_unpackhi_epi8(chunk, zero));
            if (mask == 0) {
                p += 32;
                at += 16;
                continue;
            }
            const int run = __builtin_ctz(static_cast<unsigned>(mask));
            p += 2 * run;
            at += run;
            break;
        }
        if (at == size)
            break;
#endif
        // One character at a time up to the next plain ASCII byte.
        do {
            const unsigned char c = bytes[at];
            if (c < 0x80) {
                if (c == 0) {
                    ended = true;
                    return p;
                }
                if (c == '\n')
                    p = putUnit(p, '\r');
                p = putUnit(p, c);
                ++at;
                continue;
            }
            // The common valid three-byte forms (most scripts of Asia), in a run.
            if ((c & 0xF0) == 0xE0) {
                const std::size_t runStart = at;
                while (size - at >= 3 && (bytes[at] & 0xF0) == 0xE0 &&
                       (bytes[at + 1] & 0xC0) == 0x80 && (bytes[at + 2] & 0xC0) == 0x80) {
                    const uint32_t unit = (bytes[at] & 0x0Fu) << 12 | (bytes[at + 1] & 0x3Fu) << 6 |
                                          (bytes[at + 2] & 0x3Fu);
                    if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF))
                        break;
                    p = putUnit(p, unit);
                    at += 3;
                }
                if (at != runStart)
                    continue;
            } else if (c >= 0xC2 && c <= 0xDF && size - at >= 2 && (bytes[at + 1] & 0xC0) == 0x80) {
                p = putUnit(p, (c & 0x1Fu) << 6 | (bytes[at + 1] & 0x3Fu));
                at += 2;
                continue;
            }
            uint32_t codePoint = 0;
            const std::size_t length = decodeSequence(text, at, codePoint);
            if (length == 0) {
                p = putUnit(p, 0xFFFD);
                ++at;
            } else if (codePoint >= 0x10000) {
                codePoint -= 0x10000;
                p = putUnit(p, 0xD800 | (codePoint >> 10));
                p = putUnit(p, 0xDC00 | (codePoint & 0x3FF));
                at += length;
            } else {
                p = putUnit(p, codePoint);
                at += length;
            }
        } while (at < size && !plain(at));
    }
    return p;
}

} // namespace

char* writeUtf16Line(char* p, std::string_view text) {
    bool ended = false;
    p = writeUtf16Text(p, text, ended);
    p = putUnit(p, '\r');
    return putUnit(p, '\n');
}

std::size_t maxUtf16LineBytes(std::initializer_list<std::string_view> pieces) {
    std::size_t bytes = 0;
    for (std::string_view piece : pieces)
        bytes += piece.size();
    return maxUtf16LineBytes(bytes);
}

char* writeUtf16Line(char* p, std::initializer_list<std::string_view> pieces,
                     std::string& scratch) {
    // A character can only be split where a piece ends in a byte above ASCII
    // and the next begins with a continuation byte.
    const std::string_view* previous = nullptr;
    for (const std::string_view& piece : pieces) {
        if (previous && !previous->empty() && !piece.empty() &&
            static_cast<unsigned char>(previous->back()) >= 0x80 &&
            (static_cast<unsigned char>(piece.front()) & 0xC0) == 0x80) {
            scratch.clear();
            for (std::string_view part : pieces)
                scratch.append(part);
            return writeUtf16Line(p, scratch);
        }
        if (!piece.empty())
            previous = &piece;
    }
    bool ended = false;
    for (std::string_view piece : pieces) {
        p = writeUtf16Text(p, piece, ended);
        if (ended)
            break;
    }
    p = putUnit(p, '\r');
    return putUnit(p, '\n');
}

void appendUtf16Line(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out.resize(start + maxUtf16LineBytes(text.size()));
    char* end = writeUtf16Line(out.data() + start, text);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

} // namespace fennaro
