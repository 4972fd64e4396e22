// Serial-type decoding: the varint reader and the width and class tables.
#include <gtest/gtest.h>

#include "record_header.h"

namespace {

TEST(ReadVarint32, ShortFormsAndTheirLengths) {
    uint32_t v = 0;
    const unsigned char one[] = {0x7F, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(readVarint32(one, &v), 1);
    EXPECT_EQ(v, 0x7Fu);

    const unsigned char two[] = {0x81, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(readVarint32(two, &v), 2);
    EXPECT_EQ(v, 128u);

    const unsigned char three[] = {0x81, 0x80, 0x01, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(readVarint32(three, &v), 3);
    EXPECT_EQ(v, (1u << 14) | 1u);
}

TEST(ReadVarint32, LongFormsSaturateAbove32Bits) {
    uint32_t v = 0;
    // 4 bytes: 28 bits, fits.
    const unsigned char four[] = {0x8F, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(readVarint32(four, &v), 4);
    EXPECT_EQ(v, 0x0FFFFFFFu & ((0x0Fu << 21) | (0x7Fu << 14) | (0x7Fu << 7) | 0x7Fu));

    // 5 bytes with a value beyond 32 bits.
    const unsigned char five[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0};
    EXPECT_EQ(readVarint32(five, &v), 5);
    EXPECT_EQ(v, 0xFFFFFFFFu);

    // 9 bytes: the ninth contributes all 8 bits.
    const unsigned char nine[] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x05, 0};
    EXPECT_EQ(readVarint32(nine, &v), 9);
    EXPECT_EQ(v, 5u);
}

TEST(SerialTypes, WidthTable) {
    const int expected[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0, 0};
    for (unsigned t = 0; t <= 12; ++t)
        EXPECT_EQ(calculateDataWidth(t), expected[t]) << "serial type " << t;
    EXPECT_EQ(calculateDataWidth(13), 0); // empty text
    EXPECT_EQ(calculateDataWidth(15), 1); // one-character text
    EXPECT_EQ(calculateDataWidth(14), 1); // one-byte BLOB
    EXPECT_EQ(calculateDataWidth(25), 6);
    EXPECT_EQ(calculateDataWidth(0xFFFFFFFFu), int((0xFFFFFFFFu - 13) / 2));
}

TEST(SerialTypes, ClassTable) {
    EXPECT_EQ(checkDataType(0), 0);
    EXPECT_EQ(checkDataType(1), 1); // no class: the type itself
    for (unsigned t = 2; t <= 5; ++t)
        EXPECT_EQ(checkDataType(t), 1);
    EXPECT_EQ(checkDataType(6), 6);
    EXPECT_EQ(checkDataType(7), 3);
    for (unsigned t = 8; t <= 12; ++t)
        EXPECT_EQ(checkDataType(t), int(t));
    EXPECT_EQ(checkDataType(13), 4);
    EXPECT_EQ(checkDataType(14), 2);
    EXPECT_EQ(checkDataType(0x81), 4); // raw bytes are classed, not varints
    EXPECT_EQ(checkDataType(0x80), 2);
}

} // namespace
