#include "utf8_text.h"

namespace fennaro {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Returns the length of the valid UTF-8 sequence at the start of text, or 0
// when its first byte does not start one.
std::size_t validSequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

std::string toValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        // Plain ASCII runs are copied without a closer look.
        std::size_t ascii = at;
        while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80)
            ++ascii;
        out.append(text.substr(at, ascii - at));
        at = ascii;
        if (at == text.size())
            break;
        const std::size_t length = validSequenceLength(text.substr(at));
        if (length == 0) {
            out.append(kReplacement);
            ++at;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out;
}

} // namespace fennaro
