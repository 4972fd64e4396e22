// Loading the record store: the two recovery-engine runs, then the loading
// worker's counting and loading passes, which read the live records, make the
// deleted records from the engine's texts, check everything and set the
// category captions, obeying Pause and Stop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "record_store.h"

namespace fennaro {

// What one loading run works on. The paths are the local database copies.
struct LoadContext {
    RecordStore& store;
    WorkerControls& controls;
    LoadListener& listener;
    std::string localContactsDb;
    std::string localSmsDb;
    // Set by a counting pass that read its database, so that the loading pass
    // of the same run reuses what was read instead of reading it again.
    bool contactsRead = false;
    bool smsRead = false;
};

// Runs the recovery engine on the contacts copy and then on the SMS copy and
// keeps its texts as deletedContactsText and deletedSmsText. Both runs take
// place even when a copy is missing.
void runRecoveryEngine(RecordStore& store, const std::string& localContactsDb,
                       const std::string& localSmsDb);

// The contacts pass. Counting pass: reads the contacts copy, checks every live
// contact and returns the live contacts plus the deleted lines (0 without live
// contacts or without a copy). Loading pass: returns the records loaded, or -1
// when Stop was seen.
int32_t loadContacts(LoadContext& context, bool countingPass);

// The same for the conversations and the deleted SMS.
int32_t loadSms(LoadContext& context, bool countingPass);

// The loading worker: both counting passes, then both loading passes (the SMS
// pass is skipped after a stop during the contacts), then "load done".
// Returns 1.
int32_t loadThreadProc(LoadContext& context);

// Runs a whole loading run on the calling thread with nobody watching: every
// record counted, loaded and checked, the engine's texts taken as they are.
void loadRecordsWithoutWindow(RecordStore& store, const std::string& localContactsDb,
                              const std::string& localSmsDb);

// Does what the window does after an acquisition, on the calling thread and
// without a window: both engine runs, then a whole loading run.
void loadAfterAcquisition(RecordStore& store, const std::string& localContactsDb,
                          const std::string& localSmsDb);

// Returns the number of CR LF line ends in an engine text.
int32_t countEngineLines(std::string_view text);

// The store part of Back: frees the records and resets the categories and the
// counters, so the next loading run starts afresh.
void resetForReload(RecordStore& store);

} // namespace fennaro
