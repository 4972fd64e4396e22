// The record store: everything the loading worker fills and the record list,
// the detail boards and the export read. It owns the live lists read from the
// phone's databases, the recovery engine's texts and the deleted records made
// from them, the progress counters and the state of the two categories.
//
// Threads: the loading worker fills the store while the window shows nothing of
// it; views and export use it only after "load done". Check marks are the only
// fields written afterwards (by the window, read by the export worker).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>

#include "deep_conversations.h"
#include "record_nodes.h"
#include "run_event.h"
#include "text_pool.h"

namespace fennaro {

// The record categories of the tree, in tree order. The call log is a
// category of deep mode only: the classic path never fills it.
enum class RecordCategory : int32_t {
    Contacts = 0,
    Message = 1,
    CallLog = 2,
};

// The caption words of the categories: "Contacts", "Message", "Call log".
const char* categoryWord(RecordCategory category);

// What the window's tree shows for a category, kept here so that the export
// and the command line work without a window. The window mirrors it.
struct CategoryState {
    // "Contacts" before loading, "Contacts (12)" once records were loaded.
    std::string caption;
    // Not 0 once the category received records; only then can it be shown and
    // exported.
    int32_t count = 0;
    // The category's check box in the tree.
    bool checked = true;
};

// Pause and Stop of the running worker (loading or export).
struct WorkerControls {
    // Signalled = run; Pause resets it, Continue and Stop signal it.
    RunEvent runEvent;
    // Set by Stop; cleared before each loading or export run.
    std::atomic<bool> stopRequested{false};
};

// What the loading worker tells the window. Called on the worker's thread; a
// window implementation forwards each call to its own thread.
class LoadListener {
  public:
    virtual ~LoadListener() = default;
    // The progress bar moves to percent (loaded × 100 / total; may pass 100).
    virtual void progressChanged(int32_t percent) = 0;
    // A category's caption and count changed. The values are copies: the
    // store they come from is still being written by the worker.
    virtual void categoryChanged(RecordCategory category, std::string caption, int32_t count) = 0;
    // The Pause and Stop buttons are to be shown.
    virtual void showPauseAndStop() = 0;
    // The loading run has ended (completed or stopped).
    virtual void loadDone() = 0;
};

struct RecordStore {
    // The live lists of the last loading run (empty until one has run).
    ContactLists contactLists;
    SmsLists smsLists;

    // The recovery engine's texts: lines ended by CR LF, fields split by TAB.
    std::string deletedContactsText;
    std::string deletedSmsText;

    // Deleted records made from the texts, in line order. Deques, so the
    // records keep their addresses while more are appended.
    std::deque<ContactNode> deletedContacts;
    std::deque<ThreadNode> deletedSms;
    // The texts of the deleted records.
    TextPool deletedTexts;

    // Deep mode: the deep engine's records placed among the live ones.
    deep::DeepRecordSet deep;

    // Records found by the counting pass (progress denominator) and records
    // handled so far (numerator; the export reuses it).
    int32_t totalCount = 0;
    int32_t loadedCount = 0;

    CategoryState contactsCategory{"Contacts", 0, true};
    CategoryState messageCategory{"Message", 0, true};
    CategoryState callLogCategory{"Call log", 0, true};
};

// Returns the state of one category of the store.
CategoryState& categoryState(RecordStore& store, RecordCategory category);
const CategoryState& categoryState(const RecordStore& store, RecordCategory category);

// Empties the store: frees the live lists, the deleted records and their texts.
// The engine texts, the counters and the categories stay (Back resets those).
void clearRecords(RecordStore& store);

// Gives every category its bare caption and the count 0 (Back).
void resetCategories(RecordStore& store);

} // namespace fennaro
