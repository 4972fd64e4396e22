// fennaro-recover search on a generated phone: what it finds is printed in
// list's own rows, a number is found in another written form, a deleted
// message by a word of its text in other case, and the statuses a script
// relies on (0 also without a match, 1 unreadable, 2 wrong lines).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "program_runner.h"
#include "testdata.h"

namespace fennaro {
namespace {

using test::runRecover;

// Returns the lines of a text.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Returns the TAB-separated fields of a line.
std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

// Returns whether text holds only printable ASCII.
bool plainAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c < 127; });
}

class SearchCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testdata::PhoneSpec spec;
        spec.contacts = 30;
        spec.messages = 120;
        spec.threads = 6;
        spec.seed = 11;
        testdata::generatePhone(dir.path().string(), spec);
    }
    // Runs search with the phone's copies and the given words after them.
    test::ProgramRun search(std::vector<std::string> words, bool deep = false) const {
        std::vector<std::string> line = {"search"};
        if (deep)
            line.push_back("--deep");
        line.push_back(dir.file("contacts2.db"));
        line.push_back(dir.file("mmssms.db"));
        line.insert(line.end(), words.begin(), words.end());
        return runRecover(line);
    }
    test::OpenScratchDir dir;
};

TEST_F(SearchCommandTest, FindsRowsByNameNumberAndMessageText) {
    const test::ProgramRun list =
        runRecover({"list", "contacts", dir.file("contacts2.db"), dir.file("mmssms.db")});
    ASSERT_EQ(list.status, 0);
    const std::vector<std::string> listed = linesOf(list.out);
    // A live contact with a name and a number of 10 digits or more,
    // international if there is one.
    std::string row;
    for (const std::string& line : listed) {
        const std::vector<std::string> fields = fieldsOf(line);
        if (fields.size() >= 3 && fields[0] == "live" && plainAscii(fields[1]) &&
            fields[1].size() > 3 && fields[2].size() >= 10 && !fields[2].starts_with("0") &&
            (row.empty() || fields[2].starts_with("+")))
            row = line;
    }
    ASSERT_FALSE(row.empty()) << list.out;
    const std::vector<std::string> fields = fieldsOf(row);

    std::string shouted = fields[1];
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), ::toupper);
    const test::ProgramRun byName = search({shouted});
    EXPECT_EQ(byName.status, 0);
    EXPECT_NE(byName.out.find(row + "\n"), std::string::npos) << byName.out;
    // Every row printed is a row of list, in its format; message lines are
    // indented.
    const std::string conversations =
        runRecover({"list", "messages", dir.file("contacts2.db"), dir.file("mmssms.db")}).out;
    for (const std::string& line : linesOf(byName.out)) {
        const bool listedRow = std::find(listed.begin(), listed.end(), line) != listed.end() ||
                               conversations.find(line + "\n") != std::string::npos;
        EXPECT_TRUE(listedRow || line.starts_with("\t")) << line;
    }

    // "+CC..." typed as "00 CC ...", other numbers with their digits
    // grouped otherwise than stored.
    std::string digits;
    for (const char c : fields[2]) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    const std::string typed =
        fields[2].starts_with("+")
            ? "00 " + digits.substr(0, 2) + " " + digits.substr(2)
            : digits.substr(0, 3) + " " + digits.substr(3, 4) + "-" + digits.substr(7);
    const test::ProgramRun byNumber = search({typed});
    EXPECT_EQ(byNumber.status, 0);
    EXPECT_NE(byNumber.out.find(row + "\n"), std::string::npos) << typed << "\n" << byNumber.out;

    // A deleted message the deep engine recovers, by a piece of its text in
    // capitals: its conversation's row, then the message's own line.
    const test::ProgramRun carved =
        runRecover({"deep", "sms", dir.file("contacts2.db"), dir.file("mmssms.db")});
    std::string piece;
    for (const std::string& line : linesOf(carved.out)) {
        const std::vector<std::string> parts = fieldsOf(line);
        std::string body = parts.size() >= 3 ? parts[2] : "";
        if (!body.empty() && body.back() == '\r')
            body.pop_back();
        if (body.size() >= 24 && plainAscii(body.substr(0, 24))) {
            piece = body.substr(4, 18);
            break;
        }
    }
    ASSERT_FALSE(piece.empty()) << carved.out;
    std::string loud = piece;
    std::transform(loud.begin(), loud.end(), loud.begin(), ::toupper);
    const test::ProgramRun byText = search({loud}, true);
    EXPECT_EQ(byText.status, 0);
    bool messageLine = false;
    for (const std::string& line : linesOf(byText.out))
        messageLine =
            messageLine || (line.starts_with("\t") && line.find(piece) != std::string::npos);
    EXPECT_TRUE(messageLine) << loud << "\n" << byText.out;
}

TEST_F(SearchCommandTest, StatusesForScripts) {
    const test::ProgramRun none = search({"no such text qqzzqq"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "");
    EXPECT_EQ(search({}).status, 2);
    EXPECT_EQ(search({"a", "b"}).status, 2);
    const test::ProgramRun missing =
        runRecover({"search", dir.file("absent.db"), dir.file("mmssms.db"), "x"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
}

} // namespace
} // namespace fennaro
