// The loading run: counting and loading passes, merging the engine's deleted
// records, captions, counts, and Pause, Continue and Stop driven from another
// thread while the worker runs.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "phone/record_loader.h"
#include "test_db.h"

namespace fennaro {
namespace {

using namespace std::chrono_literals;
using test::kContactsSchema;
using test::kMimeTypeRows;
using test::kSmsSchema;
using test::makeDatabase;
using test::ScratchDir;

// Records what the worker tells the window. Optionally resets the run event
// (Pause) when the progress reaches a given number of loaded records.
class RecordingListener : public LoadListener {
  public:
    RecordingListener(RecordStore& store, WorkerControls& controls)
        : m_store(store), m_controls(controls) {}

    void progressChanged(int32_t percent) override {
        std::lock_guard lock(mutex);
        progress.push_back(percent);
        if (pauseAtLoaded != 0 && m_store.loadedCount == pauseAtLoaded) {
            m_controls.runEvent.reset();
            paused = true;
            changed.notify_all();
        }
    }
    void categoryChanged(RecordCategory category, std::string caption, int32_t) override {
        std::lock_guard lock(mutex);
        captions.emplace_back(category, std::move(caption));
    }
    void showPauseAndStop() override {
        std::lock_guard lock(mutex);
        buttonsShown = true;
        changed.notify_all();
    }
    void loadDone() override {
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
    }

    // Waits until predicate holds (or a generous time passed).
    template <typename Predicate>
    bool waitFor(Predicate predicate) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, predicate);
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int32_t> progress;
    std::vector<std::pair<RecordCategory, std::string>> captions;
    bool buttonsShown = false;
    bool done = false;
    bool paused = false;
    int32_t pauseAtLoaded = 0;

  private:
    RecordStore& m_store;
    WorkerControls& m_controls;
};

// A phone with live contacts and conversations in a scratch folder.
class RecordLoaderTest : public ::testing::Test {
  protected:
    // Writes a contacts copy with the given number of live contacts and an SMS
    // copy with the given number of conversations.
    void makePhone(int contacts, int conversations) {
        std::string sql = std::string(kContactsSchema) + kMimeTypeRows;
        for (int i = 1; i <= contacts; ++i) {
            sql += "INSERT INTO raw_contacts (_id, display_name, display_name_source) VALUES (" +
                   std::to_string(i) + ", 'Person " + std::to_string(i) + "', 40);";
        }
        makeDatabase(contactsDb, sql);
        sql = kSmsSchema;
        for (int i = 1; i <= conversations; ++i) {
            sql += "INSERT INTO threads (_id) VALUES (" + std::to_string(i) + ");";
            sql += "INSERT INTO sms (thread_id, address, date, type, body) VALUES (" +
                   std::to_string(i) + ", '555', 0, 1, 'hi');";
        }
        makeDatabase(smsDb, sql);
    }

    // Runs a whole loading run on this thread.
    void loadAll() {
        controls.runEvent.set();
        controls.stopRequested = false;
        LoadContext context{store, controls, listener, contactsDb, smsDb};
        EXPECT_EQ(loadThreadProc(context), 1);
    }

    ScratchDir dir;
    std::string contactsDb = dir.file("contacts2.db");
    std::string smsDb = dir.file("mmssms.db");
    RecordStore store;
    WorkerControls controls;
    RecordingListener listener{store, controls};
};

TEST_F(RecordLoaderTest, LiveAndDeletedRecordsAreCountedCheckedAndCaptioned) {
    makePhone(2, 3);
    store.deletedContactsText = "Ann\t555\r\nN/A\t777\r\ntrailing text without end";
    store.deletedSmsText = "N/A\t555\tone\r\nBob\t+86555\ttwo\r\n\r\n";

    loadAll();

    EXPECT_EQ(store.totalCount, 2 + 2 + 3 + 3);
    EXPECT_EQ(store.loadedCount, store.totalCount);
    EXPECT_EQ(store.contactsCategory.caption, "Contacts (4)");
    EXPECT_NE(store.contactsCategory.count, 0);
    EXPECT_EQ(store.messageCategory.caption, "Message (6)");
    for (const ContactNode& contact : store.contactLists.contacts)
        EXPECT_EQ(contact.checked, 1);
    for (const ThreadNode& thread : store.smsLists.threads)
        EXPECT_EQ(thread.checked, 1);

    // Three deleted SMS lines give three records numbered from 0, each with
    // its line without the separator.
    ASSERT_EQ(store.deletedSms.size(), 3u);
    const char* lines[] = {"N/A\t555\tone", "Bob\t+86555\ttwo", ""};
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(store.deletedSms[i].conversationId, i);
        EXPECT_EQ(store.deletedSms[i].text, lines[i]);
        EXPECT_EQ(store.deletedSms[i].checked, 1);
        EXPECT_EQ(store.deletedSms[i].deleted, 1);
    }
    // Text after the last line end is not a record.
    ASSERT_EQ(store.deletedContacts.size(), 2u);
    EXPECT_EQ(store.deletedContacts[1].contactId, 1);
    EXPECT_EQ(store.deletedContacts[1].text, "N/A\t777");

    // Progress ran to 100 and both captions were announced once.
    ASSERT_FALSE(listener.progress.empty());
    EXPECT_EQ(listener.progress.back(), 100);
    EXPECT_EQ(listener.captions.size(), 2u);
    EXPECT_TRUE(listener.buttonsShown);
    EXPECT_TRUE(listener.done);
}

TEST_F(RecordLoaderTest, DeletedRecordsNeedLiveOnesBeside) {
    makePhone(0, 0);
    store.deletedContactsText = "Ann\t555\r\n";
    store.deletedSmsText = "N/A\t555\tone\r\n";

    loadAll();

    // Neither counted nor loaded; the captions stay as they were.
    EXPECT_EQ(store.totalCount, 0);
    EXPECT_TRUE(store.deletedContacts.empty());
    EXPECT_TRUE(store.deletedSms.empty());
    EXPECT_EQ(store.contactsCategory.caption, "Contacts");
    EXPECT_EQ(store.contactsCategory.count, 0);
    EXPECT_EQ(store.messageCategory.caption, "Message");
    EXPECT_TRUE(listener.done);
}

TEST_F(RecordLoaderTest, AMissingCopyLeavesTheOtherCategoryLoading) {
    makePhone(1, 2);
    std::filesystem::remove(contactsDb);
    store.deletedContactsText = "Ann\t555\r\n";

    loadAll();

    EXPECT_EQ(store.contactsCategory.count, 0);
    EXPECT_TRUE(store.deletedContacts.empty());
    EXPECT_EQ(store.messageCategory.caption, "Message (2)");
    EXPECT_EQ(store.totalCount, 2);
}

TEST_F(RecordLoaderTest, ASecondRunAfterBackStartsAfresh) {
    makePhone(2, 1);
    store.deletedContactsText = "Ann\t555\r\n";
    loadAll();
    ASSERT_EQ(store.totalCount, 4);

    resetForReload(store);
    EXPECT_TRUE(store.contactLists.contacts.empty());
    EXPECT_TRUE(store.deletedContacts.empty());
    EXPECT_EQ(store.contactsCategory.caption, "Contacts");
    EXPECT_EQ(store.totalCount, 0);

    store.deletedContactsText = "Bea\t666\r\nCid\t777\r\n";
    loadAll();
    EXPECT_EQ(store.totalCount, 5);
    EXPECT_EQ(store.loadedCount, 5);
    EXPECT_EQ(store.contactsCategory.caption, "Contacts (4)");
    ASSERT_EQ(store.deletedContacts.size(), 2u);
    EXPECT_EQ(store.deletedContacts[0].text, "Bea\t666");
    EXPECT_EQ(store.contactLists.contacts.size(), 2u);
}

TEST_F(RecordLoaderTest, PauseHoldsTheWorkerAndStopEndsTheContactsPass) {
    makePhone(5, 3);
    store.deletedContactsText = "Ann\t555\r\n";
    listener.pauseAtLoaded = 2;
    controls.runEvent.set();
    LoadContext context{store, controls, listener, contactsDb, smsDb};
    std::thread worker([&] { loadThreadProc(context); });

    ASSERT_TRUE(listener.waitFor([&] { return listener.paused; }));
    std::this_thread::sleep_for(50ms);
    {
        // Held before the third live contact.
        std::lock_guard lock(listener.mutex);
        EXPECT_EQ(store.loadedCount, 2);
        EXPECT_FALSE(listener.done);
    }
    controls.stopRequested = true;
    controls.runEvent.set();
    ASSERT_TRUE(listener.waitFor([&] { return listener.done; }));
    worker.join();

    // The caption shows the live contacts loaded so far; the deleted contacts
    // are not merged and the SMS pass does not run.
    EXPECT_EQ(store.loadedCount, 2);
    EXPECT_EQ(store.contactsCategory.caption, "Contacts (2)");
    EXPECT_TRUE(store.deletedContacts.empty());
    EXPECT_EQ(store.messageCategory.count, 0);
    EXPECT_EQ(store.messageCategory.caption, "Message");
}

TEST_F(RecordLoaderTest, ContinueAfterPauseAndStopDuringTheSmsPass) {
    makePhone(2, 4);
    store.deletedSmsText = "N/A\t555\tone\r\n";
    // Paused right away: the worker counts, shows the buttons, then waits.
    controls.runEvent.reset();
    LoadContext context{store, controls, listener, contactsDb, smsDb};
    std::thread worker([&] { loadThreadProc(context); });
    ASSERT_TRUE(listener.waitFor([&] { return listener.buttonsShown; }));
    std::this_thread::sleep_for(50ms);
    {
        std::lock_guard lock(listener.mutex);
        EXPECT_EQ(store.loadedCount, 0);
        EXPECT_EQ(store.totalCount, 2 + 4 + 1);
        // Continue; pause again after the second conversation.
        listener.pauseAtLoaded = 4;
    }
    controls.runEvent.set();
    ASSERT_TRUE(listener.waitFor([&] { return listener.paused; }));
    controls.stopRequested = true;
    controls.runEvent.set();
    ASSERT_TRUE(listener.waitFor([&] { return listener.done; }));
    worker.join();

    EXPECT_EQ(store.contactsCategory.caption, "Contacts (2)");
    EXPECT_EQ(store.messageCategory.caption, "Message (2)");
    EXPECT_TRUE(store.deletedSms.empty());
    EXPECT_EQ(store.loadedCount, 4);
}

TEST_F(RecordLoaderTest, EngineLinesAreCountedByTheirLineEnds) {
    EXPECT_EQ(countEngineLines(""), 0);
    EXPECT_EQ(countEngineLines("no line end"), 0);
    EXPECT_EQ(countEngineLines("a\r\n"), 1);
    EXPECT_EQ(countEngineLines("\r\n\r\n\r"), 2);
    EXPECT_EQ(countEngineLines("a\rb\nc\r\n"), 1);
}

TEST_F(RecordLoaderTest, EngineRunsOnRealCopiesAndOnMissingOnes) {
    makePhone(1, 1);
    runRecoveryEngine(store, contactsDb, smsDb);
    // Fresh copies hold nothing deleted.
    EXPECT_EQ(countEngineLines(store.deletedContactsText), 0);
    runRecoveryEngine(store, dir.file("none.db"), dir.file("none2.db"));
    EXPECT_TRUE(store.deletedContactsText.empty());
    EXPECT_TRUE(store.deletedSmsText.empty());
}

} // namespace
} // namespace fennaro
