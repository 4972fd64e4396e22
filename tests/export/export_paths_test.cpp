// The names of what an export run writes: the time-stamped output folder,
// the category folders and the conversation files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "export_paths.h"
#include "export_test_util.h"

namespace fennaro {
namespace {

// 1 February 2014, 09:05:07 UTC.
constexpr std::time_t kRunTime = 1391245507;

class ExportPathsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(ExportPathsTest, OutputFolderIsStampedWithTheLocalTime) {
    EXPECT_EQ(outputFolderName("/home/u/Out", kRunTime), "/home/u/Out/Fennaro20140201090507");
    // The root gets no doubled separator.
    EXPECT_EQ(outputFolderName("/", kRunTime), "/Fennaro20140201090507");
    setenv("TZ", "EST5", 1);
    tzset();
    EXPECT_EQ(outputFolderName("/out", kRunTime), "/out/Fennaro20140201040507");
}

TEST_F(ExportPathsTest, ARunNeverReusesAnEarlierRunsFolder) {
    test::ScratchDir dir;
    const std::string chosen = dir.path().string();
    const std::string first = createOutputFolder(chosen, kRunTime);
    const std::string second = createOutputFolder(chosen, kRunTime);
    EXPECT_EQ(first, chosen + "/Fennaro20140201090507");
    EXPECT_EQ(second, chosen + "/Fennaro20140201090508");
    EXPECT_TRUE(std::filesystem::is_directory(first));
    EXPECT_TRUE(std::filesystem::is_directory(second));

    // A folder that cannot be created still names where the files would go.
    const std::string missing = createOutputFolder(chosen + "/no/such", kRunTime);
    EXPECT_EQ(missing, chosen + "/no/such/Fennaro20140201090507");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(ExportPathsTest, CategoryFolderNames) {
    CategoryState contacts{"Contacts (12)", 1, true};
    EXPECT_EQ(categoryFolderName(contacts, 5), "Contacts (12)");
    contacts.checked = false;
    EXPECT_EQ(categoryFolderName(contacts, 5), "Contacts (5)");
    // A caption without a count keeps its word.
    EXPECT_EQ(categoryFolderName({"Message", 1, false}, 3), "Message(3)");
}

TEST_F(ExportPathsTest, ConversationFileNames) {
    EXPECT_EQ(conversationFileName("Bob"), "Bob.txt");
    EXPECT_EQ(conversationFileName(""), ".txt");
    EXPECT_EQ(conversationFileName("a/b/../c"), "a_b_.._c.txt");
    EXPECT_EQ(conversationFileName(std::string("\0\0d", 3)), "__d.txt");
    EXPECT_EQ(conversationFileName("*?:\"<>|\\ \t"), "*?:\"<>|\\ \t.txt");

    // Cut at a whole character so that name and ".txt" fit in 255 bytes.
    std::string euros;
    for (int i = 0; i < 100; ++i)
        euros += "\xE2\x82\xAC";
    const std::string name = conversationFileName(euros);
    EXPECT_EQ(name, euros.substr(0, 3 * 83) + ".txt");
    EXPECT_LE(name.size(), 255u);
    EXPECT_EQ(conversationFileName(std::string(300, 'x')), std::string(251, 'x') + ".txt");
    // A stray byte counts as a character of its own.
    EXPECT_EQ(conversationFileName(std::string(250, 'x') + "\xE2\x82" + "yy"),
              std::string(250, 'x') + "\xE2.txt");

    // Every such name can be created.
    test::ScratchDir dir;
    for (std::string_view odd : {std::string_view(euros), std::string_view("a/b"),
                                 std::string_view(".."), std::string_view(""),
                                 std::string_view("\0x", 2)}) {
        const auto path = dir.path() / conversationFileName(odd);
        std::FILE* file = std::fopen(path.c_str(), "w");
        EXPECT_NE(file, nullptr) << path;
        if (file)
            std::fclose(file);
    }
}

} // namespace
} // namespace fennaro
