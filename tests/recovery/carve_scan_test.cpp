// The record scanners on hand-made freeblocks and gaps.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "carve.h"

namespace {

using fennaro::CarveBuffer;
using fennaro::HeaderSizeSkip;
using fennaro::RecordLayout;
using Bytes = std::vector<unsigned char>;

// Fills buf with bytes and returns their length.
int64_t fill(CarveBuffer& buf, const Bytes& bytes) {
    unsigned char* p = buf.prepare(bytes.size());
    std::memcpy(p, bytes.data(), bytes.size());
    return int64_t(bytes.size());
}

std::string str(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

template <size_t K>
std::vector<std::array<std::string, K>> freeblock(const Bytes& bytes, RecordLayout<K> layout,
                                                  HeaderSizeSkip skip) {
    CarveBuffer buf;
    int64_t L = fill(buf, bytes);
    std::vector<std::array<std::string, K>> out;
    fennaro::scanFreeblock(buf, L, layout, skip, [&](auto&& v) { out.push_back(v); });
    return out;
}

TEST(FreeblockScan, WorkedExampleGivesTheRowThenAnEmptyPair) {
    // The carved bytes of a 20-byte freeblock from its byte 4 (L = 16).
    Bytes bytes = {0x00, 0x01, 0x01, 0x11, 0x07, 0x05, 0x41, 0x42, 0, 0, 0, 0, 0, 0, 0, 0};
    auto rows = freeblock<2>(bytes, {{1, 3}, 4}, HeaderSizeSkip::AtLeastColumnCount);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], str({0x07}));
    EXPECT_EQ(rows[0][1], "AB");
    EXPECT_EQ(rows[1][0], "");
    EXPECT_EQ(rows[1][1], "");
}

TEST(FreeblockScan, RecordEndingExactlyAtTheLengthIsTakenOneBeyondIsNot) {
    // Two columns: integer (1 byte) and a 2-byte text; record length 2 + 3 = 5.
    Bytes exact = {0x01, 0x11, 0x09, 'h', 'i'};
    auto rows = freeblock<2>(exact, {{0, 1}, 2}, HeaderSizeSkip::AtLeastColumnCount);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], "hi");

    Bytes shortByOne = {0x01, 0x11, 0x09, 'h'};
    EXPECT_TRUE(freeblock<2>(shortByOne, {{0, 1}, 2}, HeaderSizeSkip::AtLeastColumnCount).empty());
}

TEST(FreeblockScan, MergedNeighboursGiveBothRowsInBufferOrder) {
    // Row 1, then a whole cell: 2-byte payload length, 2-byte rowid, header
    // size 3 (>= column count 2, so skipped), then row 2.
    Bytes bytes = {0x01, 0x11, 0x05, 'a',  'b',  0x81, 0x00, 0x88,
                   0x01, 0x03, 0x01, 0x13, 0x06, 'x',  'y',  'z'};
    auto rows = freeblock<2>(bytes, {{0, 1}, 2}, HeaderSizeSkip::AtLeastColumnCount);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "ab");
    EXPECT_EQ(rows[1][0], str({0x06}));
    EXPECT_EQ(rows[1][1], "xyz");
}

TEST(FreeblockScan, MessageSkipNeedsAByteAboveTheColumnCount) {
    // Three columns; after row 1 the byte at R + 4 equals the column count,
    // so for messages it is read as the next row's first serial type.
    Bytes bytes = {0x0F, 0x01, 0x0F, 'a',  0x07, 'b',  0xAA, 0xBB, 0xCC,
                   0xDD, 0x03, 0x00, 0x0F, 0x01, 0x02, 0x03, 'c'};
    auto sms = freeblock<3>(bytes, {{0, 1, 2}, 3}, HeaderSizeSkip::MoreThanColumnCount);
    ASSERT_EQ(sms.size(), 2u);
    EXPECT_EQ(sms[0][0], "a");
    EXPECT_EQ(sms[0][2], "b");
    // Serial types 3 (3-byte int), 0, 15 (1 char): body 01 02 03 'c'.
    EXPECT_EQ(sms[1][0], str({0x01, 0x02, 0x03}));
    EXPECT_EQ(sms[1][1], "");
    EXPECT_EQ(sms[1][2], "c");

    // The contacts rule skips that byte (>= count) and parses from the next.
    auto contacts = freeblock<3>(bytes, {{0, 1, 2}, 3}, HeaderSizeSkip::AtLeastColumnCount);
    ASSERT_GE(contacts.size(), 1u);
    EXPECT_EQ(contacts[0][0], "a");
    if (contacts.size() > 1) {
        EXPECT_NE(contacts[1][2], "c");
    }
}

TEST(FreeblockScan, HugeSerialTypesNeverReadOutsideTheBuffer) {
    // A 5-byte varint of 0xFFFFFFFF gives a width near 2^31: the record ends
    // far beyond L, so nothing is taken and nothing is read.
    Bytes bytes(100, 0);
    bytes[0] = 0xFF, bytes[1] = 0xFF, bytes[2] = 0xFF, bytes[3] = 0xFF, bytes[4] = 0x7F;
    EXPECT_TRUE(freeblock<2>(bytes, {{0, 1}, 2}, HeaderSizeSkip::AtLeastColumnCount).empty());

    // A full-size buffer of 0xFF bytes: every serial type is a 9-byte varint
    // beyond 32 bits.
    Bytes big(fennaro::kCarveBufferSize, 0xFF);
    EXPECT_TRUE(freeblock<2>(big, {{0, 1}, 2}, HeaderSizeSkip::AtLeastColumnCount).empty());
}

std::vector<std::array<std::string, 2>> contactGap(const Bytes& bytes, int rid, int data1,
                                                   int count) {
    CarveBuffer buf;
    int64_t G = fill(buf, bytes);
    std::vector<std::array<std::string, 2>> out;
    fennaro::scanContactGap(buf, G, {{rid, data1}, count}, data1,
                            [&](auto&& v) { out.push_back(v); });
    return out;
}

TEST(ContactGapScan, FindsRowsBehindGarbageAndJumpsPastThem) {
    // Old layout header in miniature: NULL, int, int, data1 text, data2 text.
    Bytes row = {0x00, 0x01, 0x01, 0x17, 0x0F, 0x05, 0x07, 'N', 'a', 'm', 'e', '1', '2'};
    Bytes gap = {0xEE, 0x40, 0x99};
    gap.insert(gap.end(), row.begin(), row.end());
    gap.insert(gap.end(), row.begin(), row.end());
    gap.insert(gap.end(), 6, 0x00);
    auto rows = contactGap(gap, 2, 3, 5);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], str({0x07}));
    EXPECT_EQ(rows[0][1], "Name1");
    EXPECT_EQ(rows[1][1], "Name1");
}

TEST(ContactGapScan, WindowAndTextTests) {
    // Serial type 8 (integer 0) before data1 fails the window test.
    Bytes eight = {0x00, 0x08, 0x01, 0x17, 0x0F, 0x05, 'N', 'a', 'm', 'e', '1', '2', 0, 0};
    EXPECT_TRUE(contactGap(eight, 2, 3, 5).empty());
    // data1 stored as a BLOB (even type) fails the text test.
    Bytes blob = {0x00, 0x01, 0x01, 0x16, 0x0F, 0x05, 'N', 'a', 'm', 'e', '1', '2', 0, 0};
    EXPECT_TRUE(contactGap(blob, 2, 3, 5).empty());
    // Zeros never pass the text test.
    EXPECT_TRUE(contactGap(Bytes(500, 0), 2, 3, 5).empty());
}

TEST(ContactGapScan, CandidateRunningPastTheGapIsStillTaken) {
    // Body runs past G: its bytes read as the buffer's zeros.
    // data1 is the last column: its serial type is read inside the gap, its
    // five bytes run three beyond it.
    Bytes gap = {0x00, 0x01, 0x01, 0x17, 0x05, 0x07, 'N', 'a'};
    auto rows = contactGap(gap, 2, 3, 4);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], std::string("Na\0\0\0", 5));
}

std::vector<std::array<std::string, 3>> smsGap(const Bytes& bytes, int body, int count) {
    CarveBuffer buf;
    int64_t G = fill(buf, bytes);
    std::vector<std::array<std::string, 3>> out;
    fennaro::scanSmsGap(buf, G, {{2, 3, body}, count}, body, [&](auto&& v) { out.push_back(v); });
    return out;
}

// An old-layout sms header: _id NULL, thread 1 byte, address text, person
// NULL, six small integers, subject NULL, body text, and four more.
Bytes smsRow(const std::string& address, const std::string& body) {
    Bytes row = {0x00,
                 0x01,
                 (unsigned char)(13 + 2 * address.size()),
                 0x00,
                 0x05,
                 0x00,
                 0x01,
                 0x01,
                 0x01,
                 0x01,
                 0x00,
                 0x00,
                 (unsigned char)(13 + 2 * body.size()),
                 0x00,
                 0x08,
                 0x08,
                 0x09};
    row.push_back(0x07); // thread_id
    row.insert(row.end(), address.begin(), address.end());
    for (int i = 0; i < 6; ++i)
        row.push_back(0x01); // date (6 bytes)
    row.push_back(0x00);     // protocol
    row.push_back(0x01);     // read
    row.push_back(0xFF);     // status -1
    row.push_back(0x01);     // type
    row.insert(row.end(), body.begin(), body.end());
    return row;
}

TEST(SmsGapScan, FindsMessagesAndSkipsShortGaps) {
    Bytes gap = {0x99, 0x45};
    Bytes row = smsRow("10086", "Hello there");
    gap.insert(gap.end(), row.begin(), row.end());
    gap.insert(gap.end(), 4, 0xEE);
    auto rows = smsGap(gap, 12, 17);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "10086");
    EXPECT_EQ(rows[0][1], "");
    EXPECT_EQ(rows[0][2], "Hello there");

    Bytes eleven(row.begin(), row.begin() + 11);
    EXPECT_TRUE(smsGap(eleven, 12, 17).empty());
}

TEST(SmsGapScan, ReadStoredAsIntegerZeroFailsTheWindow) {
    Bytes row = smsRow("10086", "Hello");
    row[7] = 0x08; // read = 0 without body bytes, as phones often store it
    EXPECT_TRUE(smsGap(row, 12, 17).empty());
}

TEST(SmsGapScan, IntegerAddressIsNotFoundInTheGap) {
    Bytes row = smsRow("10086", "Hello");
    row[2] = 0x04; // address stored as a 4-byte integer
    EXPECT_TRUE(smsGap(row, 12, 17).empty());
}

TEST(SmsGapScan, BodyColumnBeyondTheCandidateReadsZeros) {
    // A body column far beyond the 12 bytes step 1 guarantees: near the end
    // of a full buffer it reads the zero padding, never foreign memory (the
    // sanitizer build checks that), and a text-looking pattern still scans.
    Bytes gap(fennaro::kCarveBufferSize, 0x01);
    for (size_t i = 2; i < gap.size(); i += 12)
        gap[i] = 0x0F;
    for (size_t i = 0; i < gap.size(); i += 7)
        gap[i] = 0x11;
    auto rows = smsGap(gap, 1000, 1001);
    EXPECT_LE(rows.size(), gap.size());
}

} // namespace
