// The export run on small hand-made stores: contacts.txt, the conversation
// files and deleted.txt byte for byte, the folder tree, the counts, Pause and
// Stop, and folders that cannot be written.
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "check_marks.h"
#include "export_test_util.h"
#include "phone/conversation_join.h"
#include "record_export.h"

namespace fennaro {
namespace {

using test::readBytes;
using test::textFile;

// 1 February 2014, 09:05:07 UTC.
constexpr std::time_t kRunTime = 1391245507;
const std::string kStamp = "Fennaro20140201090507";
const std::string kDashes(66, '-');

enum MimeType { kEmail = 1, kOrganization = 4, kPhone = 5, kName = 7 };

// A record store filled by hand, with the categories set as loading sets them.
class TestStore {
  public:
    TestStore() {
        store.contactLists.mimeTypes = {{kEmail, "vnd.android.cursor.item/email_v2"},
                                        {kOrganization, "vnd.android.cursor.item/organization"},
                                        {kPhone, "vnd.android.cursor.item/phone_v2"},
                                        {kName, "vnd.android.cursor.item/name"}};
    }

    // Adds a checked live contact whose person key is its id.
    void contact(int32_t id, std::string_view name, int32_t source, bool checked = true) {
        store.contactLists.contacts.push_back({id, checked ? 1 : 0, id, 0, text(name), source});
    }
    void row(int32_t contactId, MimeType mimeType, std::string_view value, std::string_view type) {
        store.contactLists.dataRows.push_back(
            {mimeType, contactId, text(value), text(type), {}, {}});
    }
    void thread(int32_t id, bool checked = true) {
        store.smsLists.threads.push_back({id, uint8_t(checked ? 1 : 0), 0, {}});
    }
    void message(int32_t thread, std::string_view address, int32_t person, int32_t type,
                 std::string_view body) {
        store.smsLists.messages.push_back({thread, text(address), person,
                                           text("2014-01-0" + std::to_string(thread) + " 10:00:00"),
                                           type, text(body)});
    }
    void deletedContact(std::string_view line, bool checked = true) {
        store.deletedContactsText.append(line).append("\r\n");
        store.deletedContacts.push_back(
            {int32_t(store.deletedContacts.size()), checked ? 1 : 0, 0, 1, text(line), 0});
    }
    void deletedSms(std::string_view line, bool checked = true) {
        store.deletedSmsText.append(line).append("\r\n");
        store.deletedSms.push_back(
            {int32_t(store.deletedSms.size()), uint8_t(checked ? 1 : 0), 1, text(line)});
    }

    // Sets the captions and counts as a finished loading run does.
    void loaded() {
        const auto live = [](auto& list) { return int32_t(list.size()); };
        if (!store.contactLists.contacts.empty())
            setCategory(store.contactsCategory, "Contacts",
                        live(store.contactLists.contacts) + live(store.deletedContacts));
        if (!store.smsLists.threads.empty())
            setCategory(store.messageCategory, "Message",
                        live(store.smsLists.threads) + live(store.deletedSms));
    }

    RecordStore store;

  private:
    std::string_view text(std::string_view value) { return store.deletedTexts.add(value); }
    static void setCategory(CategoryState& state, const std::string& word, int32_t count) {
        state.caption = word + " (" + std::to_string(count) + ")";
        state.count = count;
    }
};

// Records what the worker tells the window; onProgress runs on the worker.
class RecordingListener : public ExportListener {
  public:
    void progressChanged(int32_t percent) override {
        {
            std::lock_guard lock(mutex);
            progress.push_back(percent);
        }
        changed.notify_all();
        if (onProgress)
            onProgress(percent);
    }
    void exportDone() override {
        std::lock_guard lock(mutex);
        ++done;
    }
    // Waits until count progress calls were made.
    void waitForProgress(std::size_t count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return progress.size() >= count; });
    }
    std::size_t progressCalls() {
        std::lock_guard lock(mutex);
        return progress.size();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int32_t> progress;
    int done = 0;
    std::function<void(int32_t)> onProgress;
};

// One export run of a store into a scratch folder.
struct ExportRun {
    explicit ExportRun(TestStore& test) : store(test.store) {}

    // Prepares the run as Recover does and runs the worker on this thread.
    void run() {
        start();
        exportThreadProc(context);
    }
    void start() {
        prepareExport(context, dir.path().string(), countCheckedRecords(store), kRunTime);
    }
    std::filesystem::path output() const { return dir.path() / kStamp; }
    std::string file(const std::string& relative) const { return readBytes(output() / relative); }

    RecordStore& store;
    test::ScratchDir dir;
    WorkerControls controls;
    RecordingListener listener;
    ExportContext context{store, controls, listener, {}};
};

class RecordExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(RecordExportTest, ContactsTxtLiveAndDeleted) {
    TestStore test;
    test.contact(1, "Ann", 40);
    test.row(1, kName, "Ann", "");
    test.row(1, kPhone, "555", "2");
    test.row(1, kEmail, "ann@x.org", "2");
    test.row(1, kOrganization, "", "1");
    test.row(1, kOrganization, "ACME", "1");
    test.contact(2, "555-1", 20);
    test.row(2, kPhone, "777", "12");
    test.contact(3, "", 0); // no rows, still uses up a number
    test.contact(4, "skipped", 20, false);
    test.row(4, kPhone, "1", "2");
    test.contact(5, "b@x", 10);
    test.row(5, kEmail, "b@x", "7");
    test.deletedContact("Zed\t999");
    test.deletedContact("NoTab");
    test.deletedContact("Un\t1", false);
    test.deletedContact("Two\tTabs\there");
    test.loaded();

    ExportRun run(test);
    run.run();

    EXPECT_EQ(test::foldersBelow(run.dir.path()), std::vector<std::string>{kStamp});
    EXPECT_EQ(test::filesBelow(run.output()),
              std::vector<std::string>{"Contacts (9)/contacts.txt"});
    EXPECT_EQ(run.file("Contacts (9)/contacts.txt"),
              textFile({"Contacts:", "Ann(Mobile) : 555", "Ann(Work Email) : ann@x.org",
                        "Ann(Company) : ", "Ann(Company) : ACME", "No Name0() : 777",
                        "No Name2() : b@x", kDashes, "Deleted:", "Zed : 999", "Two : Tabs\there"}));
    // Four live and three deleted contacts were checked; the one without a
    // TAB is counted although it writes nothing.
    EXPECT_EQ(run.store.loadedCount, 7);
    EXPECT_EQ(run.context.unwrittenRecords, 0);
    EXPECT_EQ(run.listener.done, 1);
    EXPECT_EQ(run.listener.progress.back(), 100);
}

TEST_F(RecordExportTest, CategoriesWithNothingOrOnlyDeletedChecked) {
    // Three live contacts, two deleted SMS: a Contacts folder, a Message folder
    // with deleted.txt and no conversation file, five records.
    TestStore test;
    for (int32_t id = 1; id <= 3; ++id)
        test.contact(id, "C", 40);
    test.thread(1, false);
    test.message(1, "555", 0, 1, "hidden");
    test.deletedSms("Al\t555\tgone");
    test.deletedSms("");
    test.deletedSms("Un\t1\tx", false);
    test.loaded();
    test.store.messageCategory.checked = false;

    ExportRun run(test);
    run.run();
    EXPECT_EQ(test::filesBelow(run.output()),
              (std::vector<std::string>{"Contacts (3)/contacts.txt", "Message (2)/deleted.txt"}));
    EXPECT_EQ(run.file("Contacts (3)/contacts.txt"), textFile({"Contacts:"}));
    EXPECT_EQ(run.file("Message (2)/deleted.txt"), textFile({"Deleted SMS:", "Al\t555\tgone"}));
    EXPECT_EQ(run.store.loadedCount, 5);
    EXPECT_EQ(finishText(run.store.loadedCount, run.context.unwrittenRecords),
              "Recovering finished, 5 files have been recovered.");
}

TEST_F(RecordExportTest, DeletedHeadingStaysWhenNoDeletedContactIsChecked) {
    TestStore test;
    test.contact(1, "Ann", 40, false);
    test.contact(2, "Bob", 40);
    test.row(2, kPhone, "1", "1");
    test.deletedContact("X\t1", false);
    test.loaded();
    test.store.contactsCategory.checked = false;

    ExportRun run(test);
    run.run();
    EXPECT_EQ(run.file("Contacts (1)/contacts.txt"),
              textFile({"Contacts:", "Bob(Home) : 1", kDashes, "Deleted:"}));
}

TEST_F(RecordExportTest, ConversationFiles) {
    TestStore test;
    // Unchecked contacts still name their conversations.
    test.contact(7, "Bob", 40, false);
    test.contact(8, "Phone Name", 20, false);
    test.contact(9, "A/B", 40, false);
    test.thread(1);
    test.message(1, "555", 7, 1, "Hi");
    test.message(1, "555", 0, 2, "Hi");
    test.thread(2);
    test.message(2, "666", 0, 1, "a\r\nb");
    test.message(2, "666", 0, 2, "c\nd");
    test.message(2, "666", 0, 1, "");
    test.thread(3); // no contact with key 99: named by its address
    test.message(3, "111", 99, 1, "first");
    test.thread(4, false);
    test.message(4, "444", 0, 1, "unchecked");
    test.thread(5);
    test.message(5, "222", 99, 2, "second");
    test.thread(6);
    test.message(6, "888", 8, 1, "via phone name");
    test.thread(7);
    test.message(7, "999", 9, 1, "x");
    test.thread(8); // no messages: "(no address)", an empty file
    test.contact(10, ".profile", 40, false);
    test.thread(9); // a leading dot would hide the file
    test.message(9, "333", 10, 1, "dot");
    test.deletedSms("Al\t555\tgone\nfor good");
    test.loaded();

    ExportRun run(test);
    run.run();
    const std::string folder = "Message (10)/";
    EXPECT_EQ(test::filesBelow(run.output()),
              (std::vector<std::string>{"Message (10)/(no address).txt", "Message (10)/111.txt",
                                        "Message (10)/222.txt", "Message (10)/666.txt",
                                        "Message (10)/888.txt", "Message (10)/A_B.txt",
                                        "Message (10)/Bob.txt", "Message (10)/_.profile.txt",
                                        "Message (10)/deleted.txt"}));
    EXPECT_EQ(run.file(folder + "Bob.txt"), textFile({"", "2014-01-01 10:00:00", "Bob : Hi", "",
                                                      "2014-01-01 10:00:00", "Me : Hi", ""}));
    EXPECT_EQ(run.file(folder + "666.txt"),
              textFile({"", "2014-01-02 10:00:00", "666 : a\r\r\nb", "", "2014-01-02 10:00:00",
                        "Me : c\r\nd", "", "2014-01-02 10:00:00", "666 : ", ""}));
    // Conversations without a name are named by their address, each its own.
    EXPECT_EQ(run.file(folder + "111.txt"),
              textFile({"", "2014-01-03 10:00:00", "111 : first", ""}));
    EXPECT_EQ(run.file(folder + "222.txt"),
              textFile({"", "2014-01-05 10:00:00", "Me : second", ""}));
    EXPECT_EQ(run.file(folder + "(no address).txt"), textFile({""}));
    EXPECT_EQ(run.file(folder + "_.profile.txt"),
              textFile({"", "2014-01-09 10:00:00", "_.profile : dot", ""}));
    EXPECT_EQ(run.file(folder + "888.txt"),
              textFile({"", "2014-01-06 10:00:00", "888 : via phone name", ""}));
    // The name in the lines stays as it is; only the file name is mended.
    EXPECT_EQ(run.file(folder + "A_B.txt"), textFile({"", "2014-01-07 10:00:00", "A/B : x", ""}));
    EXPECT_EQ(run.file(folder + "deleted.txt"),
              textFile({"Deleted SMS:", "Al\t555\tgone\r\nfor good"}));
    // Eight checked conversations and one deleted SMS.
    EXPECT_EQ(run.store.loadedCount, 9);
}

TEST_F(RecordExportTest, StopDuringContactsWritesNoMessageFolder) {
    TestStore test;
    for (int32_t id = 1; id <= 3; ++id) {
        test.contact(id, "C" + std::to_string(id), 40);
        test.row(id, kPhone, std::to_string(id), "2");
    }
    test.deletedContact("D\t1");
    test.thread(1);
    test.loaded();

    ExportRun run(test);
    run.listener.onProgress = [&](int32_t) { run.controls.stopRequested = true; };
    run.start();
    EXPECT_EQ(exportContacts(run.context), -1);
    run.store.loadedCount = 0;
    run.start();
    exportThreadProc(run.context);

    EXPECT_EQ(test::foldersBelow(run.output()), std::vector<std::string>{"Contacts (4)"});
    EXPECT_EQ(run.file("Contacts (4)/contacts.txt"), textFile({"Contacts:", "C1(Mobile) : 1"}));
    EXPECT_EQ(run.store.loadedCount, 1);
    EXPECT_EQ(run.listener.done, 1);
}

TEST_F(RecordExportTest, PauseHoldsTheWorkerAndStopEndsAPausedRun) {
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stop while paused" : "continue");
        TestStore test;
        for (int32_t id = 1; id <= 4; ++id)
            test.thread(id);
        test.loaded();
        ExportRun run(test);
        // Pause right after the first conversation.
        run.listener.onProgress = [&](int32_t) {
            if (run.listener.progressCalls() == 1)
                run.controls.runEvent.reset();
        };
        run.start();
        std::thread worker([&] { exportThreadProc(run.context); });
        run.listener.waitForProgress(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(run.listener.progressCalls(), 1u);
        if (stop)
            run.controls.stopRequested = true;
        run.controls.runEvent.set();
        worker.join();
        const std::vector<int32_t> expected =
            stop ? std::vector<int32_t>{25} : std::vector<int32_t>{25, 50, 75, 100};
        EXPECT_EQ(run.listener.progress, expected);
        EXPECT_EQ(run.listener.done, 1);
    }
}

TEST_F(RecordExportTest, RecordsThatCannotBeWrittenAreCounted) {
    TestStore test;
    test.contact(1, "Ann", 40);
    test.row(1, kPhone, "555", "2");
    test.contact(2, "No rows", 40);
    test.deletedContact("Zed\t999");
    test.deletedContact("NoTab");
    test.thread(1);
    test.message(1, "555", 0, 1, "Hi");
    test.deletedSms("A\t1\tx");
    test.deletedSms("");
    test.loaded();

    ExportRun run(test);
    // The chosen folder has gone: nothing below it can be created.
    prepareExport(run.context, run.dir.file("gone"), countCheckedRecords(run.store), kRunTime);
    exportThreadProc(run.context);
    EXPECT_TRUE(test::filesBelow(run.dir.path()).empty());
    // Ann, Zed, the conversation and the first deleted SMS had lines to write.
    EXPECT_EQ(run.store.loadedCount, 7);
    EXPECT_EQ(run.context.unwrittenRecords, 4);
    EXPECT_EQ(finishText(run.store.loadedCount, run.context.unwrittenRecords),
              "Recovering finished, 7 files have been recovered.\n"
              "4 records could not be written.");
}

TEST_F(RecordExportTest, CountsCheckedRecordsOfCategoriesWithData) {
    TestStore test;
    test.contact(1, "A", 40);
    test.contact(2, "B", 40, false);
    test.deletedContact("X\t1");
    test.thread(1);
    test.deletedSms("Y\t1\tz");
    test.deletedSms("Y\t1\tz", false);
    test.loaded();
    EXPECT_EQ(countCheckedRecords(test.store), 4);
    test.store.deletedContactsText.clear();
    EXPECT_EQ(countCheckedRecords(test.store), 3);
    test.store.messageCategory.count = 0;
    EXPECT_EQ(countCheckedRecords(test.store), 1);
    test.store.contactLists.contacts[0].checked = 0;
    EXPECT_EQ(countCheckedRecords(test.store), 0);
}

} // namespace
} // namespace fennaro

namespace fennaro {
namespace {

// A deleted field of the deep engine, with a label as it reads them.
deep::ContactField deepField(deep::FieldKind kind, std::string label, std::string value) {
    deep::ContactField field;
    field.kind = kind;
    field.label = std::move(label);
    field.value = std::move(value);
    return field;
}

// A deleted message of the deep engine.
deep::DeletedMessage deepMessage(std::optional<int64_t> thread, std::string address,
                                 std::optional<int64_t> date, int64_t type, std::string body) {
    deep::DeletedMessage message;
    message.threadId = thread;
    message.address = std::move(address);
    message.date = date;
    message.type = type;
    message.body = std::move(body);
    return message;
}

TEST_F(RecordExportTest, DeepModeWritesDeletedRecordsInTheLiveLayout) {
    TestStore test;
    test.contact(7, "Ann", 40);
    test.row(7, kPhone, "555", "2");
    test.contact(8, "Phone Name", 20);
    test.row(8, kPhone, "777", "2");
    test.thread(1);
    test.message(1, "555", 7, 1, "hi");
    test.store.smsLists.messages.back().dateMs = 1388570400000; // 2014-01-01 10:00:00
    deep::DeepRecordSet& deep = test.store.deep;
    deep.contacts.resize(3);
    deep.contacts[0].rawContactId = 7; // a deleted field of a live contact
    deep.contacts[0].fields = {deepField(deep::FieldKind::Birthday, "Birthday", "1974-01-28")};
    deep.contacts[1].rawContactId = 50;
    deep.contacts[1].name = "Gone";
    deep.contacts[1].fields = {deepField(deep::FieldKind::Name, "Name", "Gone"),
                               deepField(deep::FieldKind::Phone, "Mobile", "999"),
                               deepField(deep::FieldKind::Website, "Website", "g.example")};
    deep.contacts[2].rawContactId = 51;
    deep.contacts[2].name = "Unchecked";
    deep.messages = {deepMessage(1, "555", 1388570500000, 2, "gone"),
                     deepMessage(1, "555", std::nullopt, 1, "undated"),
                     deepMessage(99, "+33 10086", 1388656800000, 1, "code")};
    deep::assembleDeepRecords(deep, test.store.contactLists, test.store.smsLists);
    ASSERT_EQ(deep.contactRows.size(), 4u);
    setChecked(deep.contactRows[3], 0);
    test.store.contactsCategory = {"Contacts (4)", 1, true};
    test.store.messageCategory = {"Message (2)", 1, true};

    ExportRun run(test);
    run.run();
    EXPECT_EQ(test::filesBelow(run.output()),
              (std::vector<std::string>{"Contacts (4)/contacts.txt", "Message (2)/+33 10086.txt",
                                        "Message (2)/Ann.txt"}));
    EXPECT_EQ(run.file("Contacts (4)/contacts.txt"),
              textFile({"Contacts:", "Ann(Mobile) : 555", "[deleted] Ann(Birthday) : 1974-01-28",
                        "No Name0(Mobile) : 777", kDashes, "Deleted:",
                        "[deleted] Gone(Mobile) : 999", "[deleted] Gone(Website) : g.example"}));
    // Date order, the deleted ones marked under their date line, the
    // undated one last; the conversation named by its contact's number.
    EXPECT_EQ(
        run.file("Message (2)/Ann.txt"),
        textFile({"", "2014-01-01 10:00:00", "Ann : hi", "", "2014-01-01 10:01:40", "[deleted]",
                  "Me : gone", "", "(no date)", "[deleted]", "Ann : undated", ""}));
    EXPECT_EQ(run.file("Message (2)/+33 10086.txt"),
              textFile({"", "2014-01-02 10:00:00", "[deleted]", "+33 10086 : code", ""}));
    // Three checked contact rows and two conversations; no deleted.txt.
    EXPECT_EQ(run.store.loadedCount, 5);
}

} // namespace
} // namespace fennaro
