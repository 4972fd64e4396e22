// The reading of the update description: which version a reply offers, the
// 1024-byte and NUL cuts, and replies of every wrong shape, none of which may
// offer anything or throw.
#include "update/update_reply.h"

#include <gtest/gtest.h>

#include <string>

using namespace fennaro;

namespace {

// A description whose "Nversion" member is the JSON text nversion.
std::string describe(const std::string& nversion) {
    return R"({"Fennaro":[{"Version":"1.5.0.0","Nversion":)" + nversion +
           R"(,"Update_URL":"https://www.quillmet.example/x"}]})";
}

// A description offering "1.5.0.1" that is exactly size bytes long, padded
// with a member nobody reads.
std::string describeWithSize(std::size_t size) {
    const std::string head = R"({"Fennaro":[{"Nversion":"1.5.0.1","Pad":")";
    const std::string tail = R"("}]})";
    return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

} // namespace

TEST(UpdateReply, OffersAnyOtherVersionButNotTheSameOrNone) {
    const std::string program = "1.5.0.0";
    EXPECT_FALSE(isUpdateOffered(offeredVersionOf(describe(R"("1.5.0.0")")), program));
    EXPECT_TRUE(isUpdateOffered(offeredVersionOf(describe(R"("1.5.0.1")")), program));
    EXPECT_TRUE(isUpdateOffered(offeredVersionOf(describe(R"("1.4.0.0")")), program));
    EXPECT_FALSE(isUpdateOffered(offeredVersionOf(describe(R"("")")), program));
    // Byte for byte: a trailing blank or another case is another version.
    EXPECT_TRUE(isUpdateOffered(offeredVersionOf(describe(R"("1.5.0.0 ")")), program));
    EXPECT_EQ(offeredVersionOf(describe(R"("1.5.0.1")")), "1.5.0.1");

    const UpdateDescription d = parseUpdateDescription(describe(R"("2.0")"));
    EXPECT_EQ(d.version, "1.5.0.0");
    EXPECT_EQ(d.updateUrl, "https://www.quillmet.example/x");
}

TEST(UpdateReply, MembersAreReadAsText) {
    EXPECT_EQ(offeredVersionOf(describe("true")), "true");
    EXPECT_EQ(offeredVersionOf(describe("false")), "false");
    for (const char* noText : {"null", "15", "1.5", "-2", "[\"1.5.0.1\"]", "{\"v\":\"1.5.0.1\"}"})
        EXPECT_EQ(offeredVersionOf(describe(noText)), "") << noText;
    EXPECT_EQ(offeredVersionOf(R"({"Fennaro":[{"Version":"1.5.0.1"}]})"), "");
    // Comments are part of the reader's default features.
    EXPECT_EQ(offeredVersionOf("/* note */ " + describe(R"("1.6")")), "1.6");
}

TEST(UpdateReply, DescriptionsOfAnotherShapeOfferNothing) {
    const char* shapes[] = {
        R"([{"Nversion":"1.5.0.1"}])",
        "42",
        R"("1.5.0.1")",
        "null",
        "{}",
        R"({"fennaro":[{"Nversion":"1.5.0.1"}]})",
        R"({"Fennaro":{"Nversion":"1.5.0.1"}})",
        R"({"Fennaro":{"0":{"Nversion":"1.5.0.1"}}})",
        R"({"Fennaro":"1.5.0.1"})",
        R"({"Fennaro":7})",
        R"({"Fennaro":[]})",
        R"({"Fennaro":["1.5.0.1"]})",
        R"({"Fennaro":[["1.5.0.1"]]})",
        R"({"Fennaro":[null,{"Nversion":"1.5.0.1"}]})",
        R"({"Fennaro":[3]})",
    };
    for (const char* shape : shapes) {
        std::string offered = "unset";
        EXPECT_NO_THROW(offered = offeredVersionOf(shape)) << shape;
        EXPECT_EQ(offered, "") << shape;
    }
}

TEST(UpdateReply, TextsThatAreNotJsonOfferNothing) {
    const std::string texts[] = {
        "", "<html><body>404 Not Found</body></html>", R"({"Fennaro":[{"Nversion":"1.5.0.1"}])",
        R"({"Fennaro":[{"Nversion":"1.5.0.1",}]})",
        // Nesting beyond jsoncpp's limit makes its reader throw.
        std::string(1024, '['),
        R"({"Fennaro":[{"Nversion":"1.5.0.)"
        "\xff"
        R"("}]})",
        R"({"Fennaro":[{"Nversion":"1.5.0.)"
        "\xc0\xae"
        R"("}]})", // overlong
        R"({"Fennaro":[{"Nversion":"1.5.0.)"
        "\xed\xa0\x80"
        R"("}]})", // surrogate
        R"({"Fennaro":[{"Nversion":"1.5.0.)"
        "\xf4\x90\x80\x80"
        R"("}]})",
        R"({"Fennaro":[{"Nversion":"1.5.0.)"
        "\xe2\x82"
        R"("}]})", // cut sequence
    };
    for (const std::string& text : texts) {
        std::string offered = "unset";
        EXPECT_NO_THROW(offered = offeredVersionOf(text)) << text.substr(0, 40);
        EXPECT_EQ(offered, "") << text.substr(0, 40);
    }
    // Well-formed multi-byte text is read.
    EXPECT_EQ(offeredVersionOf(describe("\"1.6 \xce\xb2 \xf0\x9f\x9a\x80\"")),
              "1.6 \xce\xb2 \xf0\x9f\x9a\x80");
}

TEST(UpdateReply, OnlyTheFirst1024BytesUpToANulCount) {
    EXPECT_EQ(offeredVersionOf(describeWithSize(1024)), "1.5.0.1");
    // One byte more and the closing brace is cut off.
    EXPECT_EQ(offeredVersionOf(describeWithSize(1025)), "");
    EXPECT_EQ(offeredVersionOf(describeWithSize(100000)), "");
    // What follows a NUL is ignored, a NUL inside the JSON cuts it short.
    EXPECT_EQ(offeredVersionOf(describe(R"("1.5.0.1")") + std::string("\0 garbage", 9)), "1.5.0.1");
    const std::string inside =
        std::string(R"({"Fennaro":[{"Nver)") + '\0' + R"(sion":"1.5.0.1"}]})";
    EXPECT_EQ(offeredVersionOf(inside), "");
    EXPECT_EQ(updateReplyText(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(updateReplyText(std::string(3000, 'z')).size(), 1024u);
}
