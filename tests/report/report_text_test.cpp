// The report's texts: escaping for the page and the table on bodies that
// try to break out of them, and the rows of records.csv for a small store.
#include <gtest/gtest.h>

#include "report/report_files.h"

namespace fennaro::report {
namespace {

// A body that tries everything: markup, quotes, commas, line breaks, a NUL
// and a byte that is not UTF-8.
const std::string kNastyBody = std::string("<script>alert('x')</script> \"q\", a\r\nb\nc ") +
                               std::string(1, '\0') + "\xFF end";

TEST(ReportText, EscapingKeepsEveryCharacterVisibleAndInert) {
    EXPECT_EQ(htmlEscape(kNastyBody), "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; "
                                      "&quot;q&quot;, a\r\nb\nc \xE2\x90\x80\xEF\xBF\xBD end");
    EXPECT_EQ(csvField(kNastyBody), "\"<script>alert('x')</script> \"\"q\"\", a\r\nb\nc "
                                    "\xE2\x90\x80\xEF\xBF\xBD end\"");
    EXPECT_EQ(csvField("plain text"), "plain text");
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(htmlEscape("Renée 😀 & co"), "Renée 😀 &amp; co");
}

TEST(ReportText, CsvHasOneRowPerMessageAndPerContactField) {
    ReportData data;
    ContactEntry ann;
    ann.name = "Ann, \"A\"";
    ann.number = "555";
    ann.fields.push_back({"Mobile", "555", false, "", std::nullopt});
    ann.fields.push_back({"Birthday", "1974-01-28", true, "cell",
                          deep::RecordPlace{"/x/contacts2.db-wal", 3, 4096, 7}});
    data.contacts.push_back(ann);
    data.contacts.push_back(ContactEntry{"Nobody", "", "", false, {}});
    ConversationEntry conversation;
    conversation.name = "Ann, \"A\"";
    conversation.messages.push_back({true, "555", "", std::nullopt, "", kNastyBody, "header lost",
                                     deep::RecordPlace{"/x/mmssms.db", 12, 40000, std::nullopt}});
    conversation.messages.push_back(
        {false, "555", "2014-01-01 10:00:00", 1388570400000, "sent", "hi", "", std::nullopt});
    data.conversations.push_back(conversation);

    const std::string csv = reportCsv(data);
    const std::string expected =
        "\xEF\xBB\xBF" + std::string(kCsvHeader) + "\r\n" +
        "contact,0,,\"Ann, \"\"A\"\"\",555,,,,555,,,,\r\n"
        "contact,1,cell,\"Ann, \"\"A\"\"\",555,,,,1974-01-28,contacts2.db-wal,3,4096,7\r\n"
        "contact,0,,Nobody,,,,,,,,,\r\n"
        "message,1,header lost,\"Ann, \"\"A\"\"\",555,,,," +
        csvField(kNastyBody) +
        ",mmssms.db,12,40000,\r\n"
        "message,0,,\"Ann, \"\"A\"\"\",555,2014-01-01 10:00:00,1388570400000,sent,hi,,,,\r\n";
    EXPECT_EQ(csv, expected);
}

} // namespace
} // namespace fennaro::report
