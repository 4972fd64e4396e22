// Colours of the skin are written as 0x00BBGGRR values; this turns them into
// QColor so the numbers in the code match the skin's palette tables.
#pragma once

#include <QColor>
#include <cstdint>

namespace skin {

// Converts a 0x00BBGGRR colour value into a QColor.
inline QColor FromColorRef(std::uint32_t ref) {
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

} // namespace skin
