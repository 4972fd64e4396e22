// The loading worker's work and the views it prepares, apart from the flow
// that starts it.
#include "app/worker_runs.h"

#include <system_error>

#include "phone/deep_load.h"
#include "phone/deep_records.h"
#include "records/call_log_display.h"
#include "phone/phone_databases.h"

namespace fennaro {

void prepareViews(RecordStore& store, LoadRun& run) {
    const auto contactSide = [&] {
        run.contactIndex = std::make_unique<ContactDataIndex>(store.contactLists);
        run.rows.contacts = makeContactRows(store, *run.contactIndex);
    };
    std::future<void> contacts;
    try {
        contacts = std::async(std::launch::async, contactSide);
    } catch (const std::system_error&) {
        contactSide(); // no thread to spare: one side after the other
    }
    run.conversationIndex = std::make_unique<ConversationIndex>(store.contactLists, store.smsLists);
    run.rows.messages = makeMessageRows(store, *run.conversationIndex);
    run.rows.calls = makeCallRows(store);
    run.rows.timeline = makeTimeline(store);
    if (contacts.valid())
        contacts.get();
}

std::future<CopyCheck> startCopyCheck(const LocalDbPaths& paths) {
    try {
        return std::async(std::launch::async, [paths] { return checkCopies(paths); });
    } catch (const std::system_error&) {
        std::promise<CopyCheck> done; // no thread to spare: check now
        done.set_value(checkCopies(paths));
        return done.get_future();
    }
}

void runClassicLoading(LoadRun& run) {
    runRecoveryEngine(run.context.store, run.context.localContactsDb, run.context.localSmsDb);
    loadThreadProc(run.context);
}

void runDeepLoading(LoadRun& run, const LocalDbPaths& paths, const CopyStamps& stamps,
                    const std::function<void(RecordStore&)>& afterDeepLoad) {
    const std::string contactsDb = run.context.localContactsDb;
    const std::string smsDb = run.context.localSmsDb;
    // The copies are checked against their manifests once the loading has
    // read them, and what was loaded is shown only when they turn out
    // unchanged. Copies that stand as their manifests were written need no
    // second hashing; without their stamps, the hashing runs beside the
    // loading rather than before it, which would keep the user waiting for as
    // long again.
    std::future<CopyCheck> check;
    if (stamps.empty())
        check = startCopyCheck(paths);
    // The live records come from the copies' current state, written to a
    // private folder and gone once they are loaded.
    const PhoneDatabases dbs = phoneDatabasesBeside(contactsDb, smsDb);
    const deep::CurrentStateCopies states(contactsDb, smsDb, dbs.bugleDb);
    // The deep records join the live ones once those are loaded; a stopped
    // run shows what it loaded and nothing more.
    run.beforeDone = [&run, &check, &dbs, &states, &paths, &stamps, &afterDeepLoad] {
        RecordStore& store = run.context.store;
        if (!run.context.controls.stopRequested) {
            // The other stores' live messages come from the same current
            // states as the live records.
            PhoneDatabases live = dbs;
            live.smsDb = states.smsDb();
            live.bugleDb = states.bugleDb();
            deep::loadDeepRecords(store, dbs, &live);
            if (afterDeepLoad)
                afterDeepLoad(store);
            deep::finishCallLog(store);
            for (RecordCategory category :
                 {RecordCategory::Contacts, RecordCategory::Message, RecordCategory::CallLog}) {
                const CategoryState& state = categoryState(store, category);
                run.categoryChanged(category, state.caption, state.count);
            }
        }
        run.copyCheck = check.valid() ? check.get() : checkCopiesSince(paths, stamps);
    };
    run.context.localContactsDb = states.contactsDb();
    run.context.localSmsDb = states.smsDb();
    loadThreadProc(run.context);
}

} // namespace fennaro
