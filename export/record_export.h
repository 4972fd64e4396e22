// Recover without the window: writing every checked record, live or deleted,
// into a fresh time-stamped folder as UTF-16 text files. contacts.txt holds the
// contacts, each conversation gets its own file and deleted.txt holds the
// deleted messages. The export worker obeys Pause and Stop before every live
// record, as the loading worker does.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "record_store.h"

namespace fennaro {

// What the export worker tells the window. Called on the worker's thread; a
// window implementation forwards each call to its own thread.
class ExportListener {
  public:
    virtual ~ExportListener() = default;
    // The progress bar moves to percent (exported × 100 / total; may pass 100
    // when check marks change during the run).
    virtual void progressChanged(int32_t percent) = 0;
    // The run has ended (completed or stopped).
    virtual void exportDone() = 0;
};

// What one export run works on. The records handled so far are counted in
// store.loadedCount, the count reported at the end.
struct ExportContext {
    RecordStore& store;
    WorkerControls& controls;
    ExportListener& listener;
    // This run's output folder.
    std::string outputFolder;
    // Checked records counted at the start; the progress denominator.
    int32_t exportTotal = 0;
    // Records with a line that could not be written.
    int32_t unwrittenRecords = 0;
};

// Returns the number of checked records of the categories that hold data: the
// live contacts, the deleted contacts when the engine found any, the live
// conversations and the deleted messages.
int32_t countCheckedRecords(RecordStore& store);

// Does what Recover does once a folder was chosen, apart from the window:
// clears stopRequested, creates the output folder for the time now below
// chosenFolder, sets the counters for checkedRecords records and signals the
// run event. The window then starts exportThreadProc.
void prepareExport(ExportContext& context, const std::string& chosenFolder, int32_t checkedRecords,
                   std::time_t now);

// Writes the Contacts folder and its contacts.txt. Returns the number of the
// category's checked records (0: none, nothing written) or -1 when stopped.
int32_t exportContacts(ExportContext& context);

// Writes the Message folder with one file per checked conversation and
// deleted.txt. Returns the number of the category's checked records (0: none,
// nothing written) or -1 when stopped.
int32_t exportMessages(ExportContext& context);

// Deep mode (store.deep loaded): the checked contact and conversation rows
// and calls.
int32_t countCheckedDeepRecords(RecordStore& store);

// Deep mode's contacts.txt: the live contacts in their layout, each
// followed by its deleted fields, then the deleted contacts; every deleted
// line marked "[deleted]". Returns as exportContacts does.
int32_t exportDeepContacts(ExportContext& context);

// Deep mode's conversation files: live and deleted messages in date order,
// each deleted one marked "[deleted]" under its date line; no deleted.txt.
// Returns as exportMessages does.
int32_t exportDeepMessages(ExportContext& context);

// Deep mode's "Call log (N)/calls.txt": one block per checked call, in the
// list's order (deleted ones first): its date line ("(no date)" without
// one), its type, its party ("Name (number)"), "Duration: m:ss" and
// "[deleted]" for a deleted call; a blank line between blocks. Returns as
// exportContacts does.
int32_t exportDeepCalls(ExportContext& context);

// The export worker: the contacts, then (unless stopped) the messages, then
// in deep mode the call log, then "export done". Returns 1.
int32_t exportThreadProc(ExportContext& context);

// Returns the message that ends a run: "Recovering finished, %d files have
// been recovered." and, when records could not be written, a second line
// "%d records could not be written.".
std::string finishText(int32_t exportedCount, int32_t unwrittenRecords);

} // namespace fennaro
