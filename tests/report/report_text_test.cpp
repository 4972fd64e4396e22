// The report's texts: escaping for the page and the table on bodies that
// try to break out of them, the rows of records.csv for a small store, the
// call log's rows and the copies a deep scan names.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "report/report_files.h"

namespace fennaro::report {
namespace {

// A body that tries everything: markup, quotes, commas, line breaks, a NUL
// and a byte that is not UTF-8.
const std::string kNastyBody = std::string("<script>alert('x')</script> \"q\", a\r\nb\nc ") +
                               std::string(1, '\0') + "\xFF end";

// Returns the text of every page of a report, one after the other.
std::string allPages(const ReportData& data) {
    std::string text;
    for (const ReportPage& page : reportPages(data))
        text += page.html;
    return text;
}

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
    data.contacts.push_back(ContactEntry{"Nobody", "", "", false, "", {}});
    ConversationEntry conversation;
    conversation.name = "Ann, \"A\"";
    conversation.messages.push_back({true, "555", "", std::nullopt, "", kNastyBody, "header lost",
                                     deep::RecordPlace{"/x/mmssms.db", 12, 40000, std::nullopt},
                                     ""});
    conversation.messages.push_back(
        {false, "555", "2014-01-01 10:00:00", 1388570400000, "sent", "hi", "", std::nullopt, ""});
    // A deleted SMS the messaging app's store keeps too, and a live MMS:
    // the file column names the databases that hold them.
    deep::DeletedMessage both;
    both.place = {"/x/mmssms.db-wal", 5, 8192, 2};
    both.sources = {"mmssms.db", "bugle_db"};
    deep::DeletedMessage mms;
    mms.store = deep::MessageStore::Mms;
    mms.deleted = false;
    mms.place.file = "/x/mmssms.db";
    EXPECT_EQ(deep::storeMark(both), "+app");
    EXPECT_EQ(deep::storeMark(mms), "MMS");
    conversation.messages.push_back({true, "555", "", std::nullopt, "", "both", "cell", both.place,
                                     deep::sourceFiles(both)});
    conversation.messages.push_back(
        {false, "555", "", std::nullopt, "", "mms", "", std::nullopt, deep::sourceFiles(mms)});
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
        "message,0,,\"Ann, \"\"A\"\"\",555,2014-01-01 10:00:00,1388570400000,sent,hi,,,,\r\n"
        "message,1,cell,\"Ann, \"\"A\"\"\",555,,,,both,mmssms.db-wal + bugle_db,5,8192,2\r\n"
        "message,0,,\"Ann, \"\"A\"\"\",555,,,,mms,mmssms.db,,,\r\n";
    EXPECT_EQ(csv, expected);
}

TEST(ReportText, CallsAreRowsOfTheirOwnWithTypeDurationAndPlace) {
    RecordStore store;
    store.deep.loaded = true;
    deep::CallRecord live;
    live.number = "555";
    live.name = "Ann, \"A\"";
    live.date = 1388570400000;
    live.dateLine = "2014-01-01 10:00:00";
    live.duration = 65;
    live.type = 7;
    live.file = "calllog.db";
    deep::CallRecord gone;
    gone.deleted = true;
    gone.number = "<b>5550199</b>";
    gone.type = 42; // no label known: no direction rather than a wrong one
    gone.file = "contacts2.db";
    gone.evidence = "cell, dropped table";
    gone.place = {"", 40, 163880, std::nullopt};
    store.deep.calls = {gone, live};
    const ReportData data = buildDeepReport(store);
    EXPECT_EQ(data.counts.liveCalls, 1u);
    EXPECT_EQ(data.counts.deletedCalls, 1u);

    const std::string csv = reportCsv(data);
    EXPECT_NE(csv.find("\r\ncall,1,\"cell, dropped table\",,<b>5550199</b>,,,,,"
                       "contacts2.db,40,163880,\r\n"
                       "call,0,,\"Ann, \"\"A\"\"\",555,2014-01-01 10:00:00,1388570400000,"
                       "answered elsewhere,65,,,,\r\n"),
              std::string::npos)
        << csv;
    const std::string page = allPages(data);
    EXPECT_NE(page.find("<tr data-category=\"calls\"><td>Calls</td><td class=\"num live\">1</td>"
                        "<td class=\"num deleted\">1</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("<td>&lt;b&gt;5550199&lt;/b&gt;</td>"), std::string::npos);
    EXPECT_NE(page.find("contacts2.db, page 40, offset 163880"), std::string::npos);
    EXPECT_NE(page.find("<td>live, calllog.db</td>"), std::string::npos);
    // The classic page knows no call log.
    ReportData classic = data;
    classic.deep = false;
    EXPECT_EQ(allPages(classic).find("Call"), std::string::npos);
}

TEST(ReportText, CopiesNameTheCallLogAndTheMessagingStore) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("fennaro-report-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).string();
    };
    const PhoneDatabases databases{write("contacts2.db", "c"), write("mmssms.db", "s"),
                                   write("calllog.db", "abc"), (folder / "bugle_db").string()};
    write("calllog.db-wal", "w");
    ReportData data;
    data.copies = summarizePhoneCopies(databases);
    std::filesystem::remove_all(folder);
    std::vector<std::string> names;
    for (const CopySummary& copy : data.copies)
        names.push_back(std::filesystem::path(copy.path).filename().string() +
                        (copy.present ? "" : " absent") + (copy.optional ? " optional" : ""));
    EXPECT_EQ(names,
              (std::vector<std::string>{"contacts2.db", "mmssms.db", "calllog.db optional",
                                        "calllog.db-wal optional", "bugle_db absent optional"}));
    // SHA-256 of "abc".
    EXPECT_EQ(data.copies[2].sha256,
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string page = allPages(data);
    EXPECT_NE(page.find("bugle_db</td><td colspan=\"4\">not on the phone</td>"), std::string::npos);
    EXPECT_EQ(page.find("class=\"warn\""), std::string::npos);
}

} // namespace
} // namespace fennaro::report
