// The bytes of the exported text files: byte order mark, UTF-16LE, line
// breaks, characters beyond the basic plane, stray bytes, and writers that
// share a file or cannot open one.
#include <gtest/gtest.h>

#include "export_test_util.h"
#include "tk_txt_file.h"
#include "utf16_line.h"
#include "utf8_text.h"

namespace fennaro {
namespace {

using test::readBytes;
using test::utf16;

// Returns the bytes appendUtf16Line makes of text.
std::string lineBytes(std::string_view text) {
    std::string bytes;
    appendUtf16Line(bytes, text);
    return bytes;
}

TEST(Utf16LineTest, LineBreaksInsideALine) {
    EXPECT_EQ(lineBytes(""), utf16("\r\n"));
    EXPECT_EQ(lineBytes("a\nb"), utf16("a\r\nb\r\n"));
    // CR is kept, so CR LF in a text becomes CR CR LF.
    EXPECT_EQ(lineBytes("a\r\nb"), utf16("a\r\r\nb\r\n"));
    EXPECT_EQ(lineBytes("a\rb"), utf16("a\rb\r\n"));
    EXPECT_EQ(lineBytes("\n\n"), utf16("\r\n\r\n\r\n"));
    // The text ends at its first zero byte.
    EXPECT_EQ(lineBytes(std::string_view("ab\0cd", 5)), utf16("ab\r\n"));
}

TEST(Utf16LineTest, CharactersOfEveryLength) {
    EXPECT_EQ(lineBytes("\xC3\xA9"), std::string("\xE9\x00", 2) + utf16("\r\n"));
    EXPECT_EQ(lineBytes("\xE2\x82\xAC"), std::string("\xAC\x20", 2) + utf16("\r\n"));
    // U+1F600 becomes the surrogate pair D83D DE00.
    EXPECT_EQ(lineBytes("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE", 4) + utf16("\r\n"));
}

TEST(Utf16LineTest, StrayBytesBecomeReplacementCharacters) {
    const std::string replacement("\xFD\xFF", 2);
    EXPECT_EQ(lineBytes("a\xFF"
                        "b"),
              utf16("a") + replacement + utf16("b\r\n"));
    // A cut sequence: each of its bytes is shown, and the line is kept whole.
    EXPECT_EQ(lineBytes("\xE2\x82\nx"), replacement + replacement + utf16("\r\nx\r\n"));
    // The same bytes as the rest of the program shows for such texts.
    for (std::string_view text :
         {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE0\x80\x80", "\x80\xBF",
          "ok\xF0\x9F\x98", "\xF0\x9F\x98\x80\xF0", "\xC3\xA9\xC3", "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(std::string(text));
        const std::string direct = lineBytes(text);
        EXPECT_EQ(test::decodeTextFile("\xFF\xFE" + direct), toValidUtf8(text) + "\r\n");
    }
}

TEST(Utf16LineTest, LongMixedTextsMatchTheProgramsOwnReading) {
    // Pieces of every kind at every offset, so the fast paths for plain runs
    // and common characters meet every boundary.
    const std::string_view pieces[] = {
        "a",    "\n",       "\r",           "\xC3\xA9",         "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
        "\xFF", "\xE4\xB8", "\xED\xA0\x80", "0123456789abcdef", "\xC3",         "\t"};
    uint64_t state = 12345;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = 1 + round % 23;
        for (int i = 0; i < count; ++i) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            text += pieces[(state >> 33) % std::size(pieces)];
        }
        std::string expected;
        for (char c : toValidUtf8(text)) {
            if (c == '\n')
                expected += '\r';
            expected += c;
        }
        ASSERT_EQ(test::decodeTextFile("\xFF\xFE" + lineBytes(text)), expected + "\r\n") << text;
        // The same line given in pieces, split anywhere (inside characters too).
        const std::size_t first = text.size() / 3, second = text.size() * 2 / 3;
        std::string scratch;
        const std::initializer_list<std::string_view> pieces = {
            std::string_view(text).substr(0, first),
            std::string_view(text).substr(first, second - first), "",
            std::string_view(text).substr(second)};
        std::string pieceBytes(maxUtf16LineBytes(pieces), '\0');
        pieceBytes.resize(writeUtf16Line(pieceBytes.data(), pieces, scratch) - pieceBytes.data());
        ASSERT_EQ(pieceBytes, lineBytes(text)) << text;
        // A zero byte anywhere ends the line there.
        const std::size_t cut = text.size() / 2;
        const std::string withZero = text.substr(0, cut) + '\0' + text.substr(cut);
        ASSERT_EQ(lineBytes(withZero), lineBytes(text.substr(0, cut)));
        const std::initializer_list<std::string_view> zeroPieces = {"", withZero, "tail"};
        pieceBytes.assign(maxUtf16LineBytes(zeroPieces), '\0');
        pieceBytes.resize(writeUtf16Line(pieceBytes.data(), zeroPieces, scratch) -
                          pieceBytes.data());
        ASSERT_EQ(pieceBytes, lineBytes(text.substr(0, cut)));
    }
}

TEST(TkTxtFileTest, FirstLineOfContactsTxt) {
    test::ScratchDir dir;
    {
        TkTxtFile file(dir.file("contacts.txt"));
        EXPECT_EQ(file.AppendLine("Contacts:"), 1);
    }
    const std::string expected("\xFF\xFE\x43\x00\x6F\x00\x6E\x00\x74\x00\x61\x00\x63\x00\x74\x00"
                               "\x73\x00\x3A\x00\x0D\x00\x0A\x00",
                               24);
    EXPECT_EQ(readBytes(dir.file("contacts.txt")), expected);
}

TEST(TkTxtFileTest, WritersOneAfterAnotherAppendWithoutASecondMark) {
    test::ScratchDir dir;
    const std::string path = dir.file(".txt");
    {
        TkTxtFile first(path);
        first.AppendLine("");
        first.AppendLine("one");
        EXPECT_TRUE(first.Flush());
        // Flushed lines are on disk while the writer stays open.
        EXPECT_EQ(readBytes(path), test::textFile({"", "one"}));
        first.AppendLine("two");
    }
    {
        TkTxtFile second(path);
        second.AppendLine("");
        second.AppendLine("three");
    }
    EXPECT_EQ(readBytes(path), test::textFile({"", "one", "two", "", "three"}));

    // Writers sharing one buffer, told the file may exist, give the same bytes
    // whether it does or not.
    PendingBytes storage;
    {
        TkTxtFile third(path, storage, true);
        third.AppendLine({"fo", "ur"});
    }
    {
        TkTxtFile fresh(dir.file("fresh.txt"), storage, true);
        fresh.AppendLine("five");
    }
    EXPECT_EQ(readBytes(path), test::textFile({"", "one", "two", "", "three", "four"}));
    EXPECT_EQ(readBytes(dir.file("fresh.txt")), test::textFile({"five"}));
}

TEST(TkTxtFileTest, ALineThatCannotBeWrittenIsReported) {
    test::ScratchDir dir;
    TkTxtFile file(dir.file("missing-folder/contacts.txt"));
    EXPECT_EQ(file.AppendLine("Contacts:"), 0);
    EXPECT_FALSE(file.Flush());
    // Each record reports its own loss once.
    EXPECT_TRUE(file.Flush());

    TkTxtFile full("/dev/full");
    EXPECT_EQ(full.AppendLine("x"), 1);
    EXPECT_FALSE(full.Flush());
}

TEST(TkTxtFileTest, AVeryLongRecordIsWrittenWhole) {
    test::ScratchDir dir;
    const std::string body(3 << 20, 'x');
    {
        TkTxtFile file(dir.file("long.txt"));
        file.AppendLine(body);
        file.AppendLine(body);
        EXPECT_TRUE(file.Flush());
    }
    EXPECT_EQ(readBytes(dir.file("long.txt")).size(), 2 + 2 * (2 * body.size() + 4));
}

} // namespace
} // namespace fennaro
