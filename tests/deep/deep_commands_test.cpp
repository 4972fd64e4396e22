// The deep commands of fennaro-recover as a script sees them: scan's JSON
// Lines, the deep texts of a modern phone (contacts in WAL mode, messages
// with a PERSIST journal, secure_delete on), list --deep and export --deep,
// their exit statuses, and copies that are never changed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>

#include <json/json.h>

#include "contacts_db_builder.h"
#include "deep_test_support.h"
#include "sms_db_builder.h"
#include "sqlite_util.h"

namespace deeptest {
namespace {

struct ProgramRun {
    int status = -1;
    std::string out, err;
};

// Runs fennaro-recover with arguments (each quoted here), after an optional
// environment assignment such as TMPDIR=/x.
ProgramRun runProgram(const std::vector<std::string>& arguments, const TempDir& scratch,
                      const std::string& environment = "") {
    std::string command = environment + " '" + FENNARO_RECOVER_PATH + "'";
    for (const std::string& a : arguments)
        command += " '" + a + "'";
    command += " >'" + scratch.file("out.txt") + "' 2>'" + scratch.file("err.txt") + "'";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readFile(scratch.file("out.txt"));
    run.err = readFile(scratch.file("err.txt"));
    return run;
}

// The lines of a text, split at '\n'.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

Json::Value parseJson(const std::string& line) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(line.data(), line.data() + line.size(), &value, &errors))
        << errors << " in " << line;
    return value;
}

TEST(ScanCommand, PrintsTheSchemaThenOneObjectPerDeletedRecord) {
    TempDir dir, pulled, scratch;
    const std::string path = dir.file("generic.db");
    SqlDb db(path);
    db.exec("PRAGMA secure_delete=ON; PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
    db.exec("CREATE TABLE t(_id INTEGER PRIMARY KEY, name TEXT, photo BLOB, score REAL, n)");
    db.exec("INSERT INTO t VALUES(1, 'Ann' || x'ff' || '张', x'00ff10', 2.5, NULL),"
            "(2, 'kept', NULL, 1, 1)");
    db.exec("PRAGMA wal_checkpoint(TRUNCATE); DELETE FROM t WHERE _id=1;");
    const std::string copy = pullCopy(path, pulled.path());

    const ProgramRun run = runProgram({"scan", copy}, scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> out = lines(run.out);
    ASSERT_EQ(out.size(), 2u) << run.out;
    const Json::Value head = parseJson(out[0]);
    EXPECT_EQ(head.getMemberNames(), (std::vector<std::string>{"columns", "files"}));
    EXPECT_EQ(head["columns"]["t"].size(), 5u);
    EXPECT_EQ(head["columns"]["t"][2].asString(), "photo");
    ASSERT_EQ(head["files"].size(), 2u);
    EXPECT_EQ(head["files"][0].asString(), copy);
    EXPECT_EQ(head["files"][1].asString(), copy + "-wal");

    const Json::Value record = parseJson(out[1]);
    EXPECT_EQ(record.getMemberNames(),
              (std::vector<std::string>{"evidence", "frame", "offset", "page", "rowid", "source",
                                        "table", "values"}));
    EXPECT_EQ(record["evidence"].asString(), "cell");
    EXPECT_EQ(record["table"].asString(), "t");
    EXPECT_EQ(record["rowid"].asInt64(), 1);
    EXPECT_EQ(record["source"].asString(), "main");
    EXPECT_TRUE(record["frame"].isNull());
    EXPECT_GT(record["offset"].asUInt64(), 0u);
    EXPECT_EQ(record["offset"].asUInt64() / 4096 + 1, record["page"].asUInt64());
    const Json::Value& values = record["values"];
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(values[0].asInt64(), 1);
    EXPECT_EQ(values[1].asString(), "Ann\xEF\xBF\xBD张");
    EXPECT_EQ(values[2]["hex"].asString(), "00ff10");
    EXPECT_EQ(values[3].asDouble(), 2.5);
    EXPECT_TRUE(values[4].isNull());
}

TEST(ScanCommand, RefusesWhatItCannotRead) {
    TempDir dir, scratch;
    writeFile(dir.file("notes.txt"), "not a database at all, just text that is long enough");
    for (const std::string& path : {dir.file("missing.db"), dir.file("notes.txt")}) {
        const ProgramRun run = runProgram({"scan", path}, scratch);
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    }
    EXPECT_EQ(runProgram({"scan"}, scratch).status, 2);
    EXPECT_EQ(runProgram({"scan", "a.db", "b.db"}, scratch).status, 2);
    EXPECT_EQ(runProgram({"deep", "calls", "a.db", "b.db"}, scratch).status, 2);
    EXPECT_EQ(runProgram({"list", "--deep", "contacts", "a.db"}, scratch).status, 2);
    EXPECT_EQ(runProgram({"export", "--deep", "a.db", "b.db"}, scratch).status, 2);
}

// A modern phone as a pull leaves it: contacts2.db in WAL mode with a
// contact deleted after the last checkpoint, mmssms.db with a PERSIST
// journal, secure_delete on in both.
class ModernPhone : public ::testing::Test {
  protected:
    void SetUp() override {
        testdata::DbOptions options;
        options.generation = testdata::Generation::Modern;
        options.zeroDeleted = true;
        {
            testdata::ContactsDbBuilder contacts(phone.file("contacts2.db"), options);
            ann = contacts.addRawContact(person("Ann Lee", {"138 0013 8000", "+86 139 0000 1111"}));
            carl = contacts.addRawContact(person("Carl Ode", {"13700137000"}));
            contacts.close();
            testdata::SmsDbBuilder sms(phone.file("mmssms.db"), options);
            const int64_t thread = sms.addThread({0, 0, 0, "", "+8613600136000"});
            for (int i = 0; i < 3; ++i)
                messages.push_back(
                    sms.addMessage({0, thread, "+8613600136000", std::nullopt, 1700000000000 + i, 1,
                                    "Parcel " + std::to_string(i) + " at the door"}));
            sms.close();
        }
        // The providers go on writing: contacts in WAL mode, messages with a
        // PERSIST journal, both zeroing what they free.
        contactsDb = std::make_unique<SqlDb>(phone.file("contacts2.db"));
        testdata::registerAndroidCollations(contactsDb->handle());
        contactsDb->exec("PRAGMA secure_delete=ON; PRAGMA journal_mode=WAL;"
                         "PRAGMA wal_autocheckpoint=0;");
        contactsDb->exec("DELETE FROM raw_contacts WHERE _id=" + std::to_string(ann));
        // A contact that exists only in the -wal names the messages' sender.
        contactsDb->exec("INSERT INTO raw_contacts(_id, display_name, display_name_source)"
                         " VALUES(900, 'Dora Fox', 40);"
                         "INSERT INTO data(mimetype_id, raw_contact_id, data1) VALUES"
                         " ((SELECT _id FROM mimetypes WHERE mimetype LIKE '%/name'), 900,"
                         " 'Dora Fox'),"
                         " ((SELECT _id FROM mimetypes WHERE mimetype LIKE '%/phone_v2'), 900,"
                         " '13600136000');");
        smsDb = std::make_unique<SqlDb>(phone.file("mmssms.db"));
        smsDb->exec("PRAGMA secure_delete=ON; PRAGMA journal_mode=PERSIST;");
        smsDb->exec("DELETE FROM sms WHERE _id=" + std::to_string(messages[1]));
        contacts = pullCopy(phone.file("contacts2.db"), pulled.path());
        sms = pullCopy(phone.file("mmssms.db"), pulled.path());
    }

    static testdata::RawContact person(const std::string& name,
                                       const std::vector<std::string>& numbers) {
        testdata::RawContact c;
        c.displayName = name;
        c.displayNameSource = 40;
        c.rows.push_back({0, 0, testdata::kMimeName, name, name.substr(0, name.find(' ')),
                          name.substr(name.find(' ') + 1), std::nullopt, std::nullopt});
        for (const std::string& number : numbers)
            c.rows.push_back({0, 0, testdata::kMimePhone, number, "2", std::nullopt, std::nullopt,
                              std::nullopt});
        return c;
    }

    TempDir phone, pulled, scratch;
    std::unique_ptr<SqlDb> contactsDb, smsDb;
    int64_t ann = 0;
    int64_t carl = 0;
    std::vector<int64_t> messages;
    std::string contacts, sms;
};

TEST_F(ModernPhone, DeepTextsHoldWhatTheClassicEngineCannotSee) {
    const auto before = folderSnapshot(pulled.path());
    const ProgramRun deepContacts = runProgram({"deep", "contacts", contacts, sms}, scratch);
    EXPECT_EQ(deepContacts.status, 0);
    EXPECT_EQ(deepContacts.out, "Ann Lee\t138 0013 8000\r\nAnn Lee\t+86 139 0000 1111\r\n");
    const ProgramRun deepSms = runProgram({"deep", "sms", contacts, sms}, scratch);
    EXPECT_EQ(deepSms.status, 0);
    EXPECT_EQ(deepSms.out, "Dora Fox\t+8613600136000\tParcel 1 at the door\r\n");
    // The classic engine carves zeroed cells (into lines without a value)
    // and reads the stale main file.
    EXPECT_EQ(runProgram({"carve", "contacts", contacts, sms}, scratch).out.find("Ann"),
              std::string::npos);
    EXPECT_EQ(runProgram({"carve", "sms", contacts, sms}, scratch).out.find("Parcel"),
              std::string::npos);
    EXPECT_EQ(folderSnapshot(pulled.path()), before) << "a command changed or made a file";
}

TEST_F(ModernPhone, DeepListShowsTheCurrentStateAndTheDeletedRecords) {
    const auto before = folderSnapshot(pulled.path());
    const ProgramRun deep = runProgram({"list", "--deep", "contacts", contacts, sms}, scratch);
    EXPECT_EQ(deep.status, 0) << deep.err;
    EXPECT_NE(deep.out.find("deleted\tAnn Lee\t138 0013 8000"), std::string::npos) << deep.out;
    EXPECT_EQ(deep.out.find("live\tAnn Lee"), std::string::npos) << deep.out;
    EXPECT_NE(deep.out.find("live\tDora Fox"), std::string::npos) << deep.out;
    // Without --deep the main file alone still shows Ann as live.
    const ProgramRun classic = runProgram({"list", "contacts", contacts, sms}, scratch);
    EXPECT_NE(classic.out.find("live\tAnn Lee"), std::string::npos) << classic.out;

    const ProgramRun messagesList =
        runProgram({"list", "--deep", "messages", contacts, sms}, scratch);
    EXPECT_NE(messagesList.out.find("deleted\tDora Fox\t+8613600136000"), std::string::npos)
        << messagesList.out;
    EXPECT_EQ(folderSnapshot(pulled.path()), before);
}

namespace {

// Returns the first column of each line of a list's output.
std::vector<std::string> stateColumn(const std::string& out) {
    std::vector<std::string> states;
    for (size_t at = 0; at < out.size();) {
        const size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        states.push_back(line.substr(0, line.find('\t')));
        at = end == std::string::npos ? out.size() : end + 1;
    }
    return states;
}

} // namespace

TEST_F(ModernPhone, DeepListTellsLiveRecordsWithDeletedPartsFromDeletedOnes) {
    // Carl loses his one number but stays; Ann is gone whole; Dora's
    // conversation lost one message.
    contactsDb->exec("DELETE FROM data WHERE raw_contact_id=" + std::to_string(carl) +
                     " AND mimetype_id=(SELECT _id FROM mimetypes WHERE mimetype LIKE "
                     "'%/phone_v2')");
    contacts = pullCopy(phone.file("contacts2.db"), pulled.path());
    const ProgramRun deep = runProgram({"list", "--deep", "contacts", contacts, sms}, scratch);
    EXPECT_EQ(deep.status, 0) << deep.err;
    EXPECT_EQ(deep.out.find("deleted\tAnn Lee\t138 0013 8000"), 0u) << deep.out;
    const size_t carlRow = deep.out.find("\nlive+deleted\tCarl Ode\t");
    const size_t doraRow = deep.out.find("\nlive\tDora Fox");
    EXPECT_NE(carlRow, std::string::npos) << deep.out;
    EXPECT_NE(doraRow, std::string::npos) << deep.out;
    EXPECT_LT(carlRow, doraRow) << "rows with deleted parts go before the live ones";
    const std::vector<std::string> states = stateColumn(deep.out);
    EXPECT_TRUE(std::is_sorted(states.begin(), states.end(),
                               [](const std::string& a, const std::string& b) {
                                   const auto rank = [](const std::string& s) {
                                       return s == "deleted" ? 0 : s == "live+deleted" ? 1 : 2;
                                   };
                                   return rank(a) < rank(b);
                               }))
        << deep.out;

    const ProgramRun messagesList =
        runProgram({"list", "--deep", "messages", contacts, sms}, scratch);
    EXPECT_EQ(messagesList.out, "live+deleted\tDora Fox\t+8613600136000\n") << messagesList.out;
    // The classic mode's rows keep their two states.
    const ProgramRun classic = runProgram({"list", "contacts", contacts, sms}, scratch);
    EXPECT_EQ(classic.out.find("live+deleted"), std::string::npos) << classic.out;
}

TEST_F(ModernPhone, DeepListCleansUpItsCopiesAndCopesWithoutAFolderForThem) {
    TempDir temporary;
    const ProgramRun run = runProgram({"list", "--deep", "contacts", contacts, sms}, scratch,
                                      "TMPDIR='" + temporary.path() + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(folderSnapshot(temporary.path()).empty()) << "current-state copies left behind";
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));

    // No private folder: the deleted records still come, the live ones from
    // the main files, and standard error says so.
    const ProgramRun fallback = runProgram({"list", "--deep", "contacts", contacts, sms}, scratch,
                                           "TMPDIR=/nonexistent/fennaro");
    EXPECT_EQ(fallback.status, 0);
    EXPECT_NE(fallback.out.find("deleted\tAnn Lee"), std::string::npos) << fallback.out;
    EXPECT_NE(fallback.err.find("main files"), std::string::npos) << fallback.err;
}

TEST_F(ModernPhone, DeepExportWritesTheDeletedRecords) {
    TempDir out;
    const auto before = folderSnapshot(pulled.path());
    const ProgramRun run = runProgram({"export", "--deep", contacts, sms, out.path()}, scratch);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Recovering finished"), std::string::npos) << run.out;
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out.path()))
        files += entry.is_regular_file();
    EXPECT_GT(files, 0u);
    EXPECT_EQ(folderSnapshot(pulled.path()), before);
}

} // namespace
} // namespace deeptest
