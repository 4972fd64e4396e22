// The record header parser at its limits, and values decoded into a Value
// that held another one before.
#include <gtest/gtest.h>

#include <string>

#include "sqlite_recovery/record_format.h"

namespace deeptest {
namespace {

using fennaro::deep::decodeValueInto;
using fennaro::deep::parseRecordHeader;
using fennaro::deep::RecordShape;
using fennaro::deep::Value;

// Parses a header given as bytes (padded, as read buffers are).
bool parse(const std::string& header, size_t maxColumns, uint64_t maxPayload, RecordShape* shape) {
    const std::string padded = header + std::string(16, '\0');
    return parseRecordHeader(reinterpret_cast<const uint8_t*>(padded.data()), header.size(),
                             maxColumns, shape, maxPayload);
}

TEST(RecordHeader, AcceptsExactlyWhatFitsItsLimits) {
    // Header of 4 bytes: a 3-byte text, an integer of one byte, NULL.
    const std::string header("\x04\x13\x01\x00", 4);
    RecordShape shape;
    ASSERT_TRUE(parse(header, 3, 4 + 4, &shape));
    EXPECT_EQ(shape.headerSize, 4u);
    EXPECT_EQ(shape.bodySize, 4u);
    EXPECT_EQ(shape.types, (std::vector<uint64_t>{0x13, 1, 0}));

    // One column too many, a body one byte too long (the last column's
    // width is what passes the limit), a reserved type, a header that
    // claims more bytes than there are, a varint cut by the header's end.
    EXPECT_FALSE(parse(header, 2, 8, &shape));
    EXPECT_FALSE(parse(std::string("\x03\x13\x01", 3), 3, 3 + 3, &shape));
    EXPECT_TRUE(parse(std::string("\x03\x13\x01", 3), 3, 3 + 4, &shape));
    EXPECT_FALSE(parse(std::string("\x03\x0a\x01", 3), 3, 100, &shape));
    EXPECT_FALSE(parse(std::string("\x05\x13\x01", 3), 3, 100, &shape));
    EXPECT_FALSE(parse(std::string("\x03\x01\x81", 3), 3, 100, &shape));
}

TEST(RecordValue, DecodedOverAnotherValueKeepsNothingOfIt) {
    const uint8_t bytes[] = {'a', 'b', 'c', 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
    Value v;
    decodeValueInto(0x13, bytes, 3, &v);
    EXPECT_TRUE(v == Value::ofText("abc"));
    decodeValueInto(0, bytes, 3, &v);
    EXPECT_TRUE(v.isNull());
    EXPECT_FALSE(v.hasContent());
    decodeValueInto(0x12, bytes, 2, &v); // a blob of 3 bytes cut to 2
    EXPECT_TRUE(v == Value::ofBlob("ab"));
    decodeValueInto(1, bytes + 3, 1, &v);
    EXPECT_TRUE(v == Value::ofInteger(-1));
    decodeValueInto(2, bytes + 3, 1, &v); // an integer cut short is NULL
    EXPECT_TRUE(v.isNull());
    EXPECT_TRUE(v.bytes.empty());
}

} // namespace
} // namespace deeptest
