// fennaro-recover export as a script runs it: wrong arguments, nothing to
// recover, an output folder that cannot be written, and the whole pipeline on
// generated phones, where every live record and every line of the engine's
// texts must show up in the file the rules name, and nothing else may.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <regex>

#include "contact_fields.h"
#include "export_paths.h"
#include "export_test_util.h"
#include "phone/record_loader.h"
#include "phone/record_reader.h"
#include "testdata.h"
#include "utf8_text.h"

namespace fennaro {
namespace {

// The exit status and standard output of one run of the program.
struct ProgramRun {
    int status = -1;
    std::string out;
};

// Returns text in single quotes for the shell.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs fennaro-recover with the given arguments.
ProgramRun runProgram(const std::vector<std::string>& arguments, const test::ScratchDir& dir) {
    const std::string outPath = dir.file("stdout.txt");
    std::string command = quoted(FENNARO_RECOVER_PATH);
    for (const std::string& argument : arguments)
        command += " " + quoted(argument);
    command += " >" + quoted(outPath) + " 2>/dev/null";
    ProgramRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = test::readBytes(outPath);
    std::filesystem::remove(outPath);
    return run;
}

// Returns the text of a file of the given lines as the export writes it,
// decoded back to UTF-8: each LF inside a line as CR LF, each line ended by
// CR LF, stray bytes as U+FFFD.
std::string expectedText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        for (char c : toValidUtf8(line.substr(0, line.find('\0')))) {
            if (c == '\n')
                text += '\r';
            text += c;
        }
        text += "\r\n";
    }
    return text;
}

// Returns the CR LF-ended lines of an engine text.
std::vector<std::string> engineLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(ExportCommandTest, WrongArgumentsGiveTheUsageStatus) {
    test::ScratchDir dir;
    EXPECT_EQ(runProgram({"export"}, dir).status, 2);
    EXPECT_EQ(runProgram({"export", "a.db", "b.db"}, dir).status, 2);
    EXPECT_EQ(runProgram({"export", "a.db", "b.db", "out", "more"}, dir).status, 2);
    EXPECT_TRUE(test::filesBelow(dir.path()).empty());
}

TEST(ExportCommandTest, NothingToRecoverWritesNoFolder) {
    test::ScratchDir dir;
    // /dev/null stands in for copies the phone did not give.
    const ProgramRun run = runProgram({"export", "/dev/null", "/dev/null", dir.file("")}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Please select the file(s) you want to recover.\n");
    EXPECT_TRUE(test::foldersBelow(dir.path()).empty());
}

class ExportPipelineTest : public ::testing::TestWithParam<testdata::Generation> {
  protected:
    void SetUp() override {
        // The program inherits the zone, so both sides agree on the dates.
        setenv("TZ", "UTC", 1);
        tzset();
        testdata::PhoneSpec spec;
        spec.contactsOptions.generation = GetParam();
        spec.smsOptions.generation = GetParam();
        spec.contacts = 90;
        spec.messages = 350;
        spec.threads = 25;
        spec.seed = 23;
        truth = testdata::generatePhone(phone.path().string(), spec);
    }

    // The files the export must write, by path below the output folder, with
    // their decoded texts, and the number of records it must report.
    std::map<std::string, std::string> expectedFiles(int32_t& records) const;

    test::ScratchDir phone;
    testdata::PhoneTruth truth;
    std::string contactsDb = phone.file("contacts2.db");
    std::string smsDb = phone.file("mmssms.db");
};

std::map<std::string, std::string> ExportPipelineTest::expectedFiles(int32_t& records) const {
    RecordStore engine;
    runRecoveryEngine(engine, contactsDb, smsDb);
    const std::vector<std::string> deletedContacts = engineLines(engine.deletedContactsText);
    const std::vector<std::string> deletedSms = engineLines(engine.deletedSmsText);

    std::map<std::string, std::string> files;
    std::map<int64_t, const testdata::RawContact*> contactById;
    std::vector<std::string> lines{"Contacts:"};
    int32_t noName = 0;
    int32_t liveContacts = 0;
    for (const testdata::RawContact& contact : truth.liveContacts) {
        if (contact.deleted != 0)
            continue;
        ++liveContacts;
        contactById.emplace(contact.id, &contact);
        const std::string name = contact.displayNameSource == 40
                                     ? contact.displayName.value_or("")
                                     : "No Name" + std::to_string(noName++);
        std::vector<testdata::DataRow> rows = contact.rows;
        std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.id < b.id; });
        for (const testdata::DataRow& row : rows) {
            const int32_t code = parseTypeCode(row.data2.value_or(""));
            std::string label;
            if (row.mimetype == testdata::kMimeOrganization)
                label = "Company";
            else if (row.mimetype == testdata::kMimePhone)
                label = phoneTypeLabel(code);
            else if (row.mimetype == testdata::kMimeEmail)
                label = emailTypeLabel(code);
            else
                continue;
            lines.push_back(name + "(" + label + ") : " + row.data1.value_or(""));
        }
    }
    if (!deletedContacts.empty()) {
        lines.push_back(std::string(66, '-'));
        lines.push_back("Deleted:");
        for (const std::string& line : deletedContacts) {
            const std::size_t tab = line.find('\t');
            if (tab != std::string::npos)
                lines.push_back(line.substr(0, tab) + " : " + line.substr(tab + 1));
        }
    }
    const int32_t contactRecords = liveContacts + int32_t(deletedContacts.size());
    files["Contacts (" + std::to_string(contactRecords) + ")/contacts.txt"] = expectedText(lines);

    std::map<int64_t, std::vector<testdata::Message>> messagesByThread;
    for (const testdata::Message& message : truth.liveMessages)
        messagesByThread[message.threadId].push_back(message);
    const int32_t messageRecords = int32_t(truth.threads.size() + deletedSms.size());
    const std::string folder = "Message (" + std::to_string(messageRecords) + ")/";
    for (const testdata::Thread& thread : truth.threads) {
        std::vector<testdata::Message>& messages = messagesByThread[thread.id];
        std::sort(messages.begin(), messages.end(), [](auto& a, auto& b) {
            return std::pair(a.dateMs.value_or(0), a.id) < std::pair(b.dateMs.value_or(0), b.id);
        });
        std::string name;
        std::string address;
        if (!messages.empty()) {
            address = messages[0].address.value_or("");
            const int64_t person = messages[0].person.value_or(0);
            auto contact = contactById.find(person);
            if (person == 0)
                name = address;
            else if (contact != contactById.end())
                name = contact->second->displayNameSource == 40
                           ? contact->second->displayName.value_or("")
                           : address;
        }
        // Nameless conversations are named by their address, hidden names shown.
        name = name.empty() ? (address.empty() ? "(no address)" : address) : name;
        if (name[0] == '.')
            name.insert(0, "_");
        lines = {""};
        for (const testdata::Message& message : messages) {
            lines.push_back(formatDateLine(message.dateMs.value_or(0)));
            lines.push_back((message.type == 1 ? name + " : " : std::string("Me : ")) +
                            message.body.value_or(""));
            lines.push_back("");
        }
        files[folder + conversationFileName(name)] += expectedText(lines);
    }
    if (!deletedSms.empty()) {
        lines = {"Deleted SMS:"};
        for (const std::string& line : deletedSms) {
            if (!line.empty() && line[0] != '\0')
                lines.push_back(line);
        }
        files[folder + "deleted.txt"] = expectedText(lines);
    }
    records = contactRecords + messageRecords;
    return files;
}

TEST_P(ExportPipelineTest, EveryRecordLandsWhereTheRulesPutIt) {
    int32_t records = 0;
    const std::map<std::string, std::string> expected = expectedFiles(records);
    // The generated phone deleted messages, and the engine found some.
    ASSERT_TRUE(std::any_of(expected.begin(), expected.end(),
                            [](auto& file) { return file.first.ends_with("/deleted.txt"); }));

    test::ScratchDir out;
    const ProgramRun run = runProgram({"export", contactsDb, smsDb, out.path().string()}, out);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Recovering finished, " + std::to_string(records) + " files have been recovered.\n");

    const std::vector<std::string> folders = test::foldersBelow(out.path());
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_TRUE(std::regex_match(folders[0], std::regex("Fennaro[0-9]{14}"))) << folders[0];
    const std::filesystem::path output = out.path() / folders[0];

    std::vector<std::string> names;
    for (const auto& [name, text] : expected)
        names.push_back(name);
    EXPECT_EQ(test::filesBelow(output), names);
    for (const auto& [name, text] : expected) {
        SCOPED_TRACE(name);
        const std::string bytes = test::readBytes(output / name);
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
        EXPECT_EQ(test::decodeTextFile(bytes), text);
    }

    // A second run in the same folder writes a folder of its own.
    EXPECT_EQ(runProgram({"export", contactsDb, smsDb, out.path().string()}, out).status, 0);
    EXPECT_EQ(test::foldersBelow(out.path()).size(), 2u);
    EXPECT_EQ(test::filesBelow(output), names);
}

TEST_P(ExportPipelineTest, AMissingFolderIsRefusedBeforeAnythingIsWritten) {
    test::ScratchDir out;
    const ProgramRun run = runProgram({"export", contactsDb, smsDb, out.file("missing")}, out);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(test::filesBelow(out.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, ExportPipelineTest,
                         ::testing::Values(testdata::Generation::Old, testdata::Generation::Modern),
                         [](const auto& info) {
                             return info.param == testdata::Generation::Old ? "Old" : "Modern";
                         });

} // namespace
} // namespace fennaro
