#include "phone/deep_records.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>
#include <unordered_map>

#include "call_log_display.h"
#include "contact_fields.h"
#include "phone/conversation_join.h"
#include "phone/deep_calls.h"
#include "phone/deep_load.h"
#include "phone/deep_stores.h"
#include "phone/message_merge.h"
#include "phone/mms_deleted.h"
#include "phone/phone_databases.h"
#include "phone/recovered_values.h"
#include "phone/scan_rules.h"
#include "phone/store_messages.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

void loadDeepRecords(RecordStore& store, const std::string& contactsDb, const std::string& smsDb) {
    loadDeepRecords(store, phoneDatabasesBeside(contactsDb, smsDb));
}

namespace {

// Gives records read from a current-state copy the place of the original.
void placeIn(std::vector<DeletedMessage>& messages, const std::string& file) {
    for (DeletedMessage& message : messages)
        message.place.file = file;
}

// Reads the MMS (deletedMms: those the scan of mmssms.db found) and the
// messaging app's messages into set.otherMessages, each message once across
// the stores.
void readOtherStores(DeepRecordSet& set, const PhoneDatabases& dbs, const PhoneDatabases& live,
                     std::vector<DeletedMessage> deletedMms) {
    std::vector<DeletedMessage> mms;
    std::vector<DeletedMessage> bugle;
    std::vector<LiveSmsRow> liveSms;
    if (!dbs.smsDb.empty()) {
        mms = readLiveMms(live.smsDb);
        placeIn(mms, dbs.smsDb);
        for (DeletedMessage& message : deletedMms)
            mms.push_back(std::move(message));
    }
    if (!dbs.bugleDb.empty()) {
        bugle = readLiveBugle(live.bugleDb);
        placeIn(bugle, dbs.bugleDb);
        for (DeletedMessage& message : readDeletedBugle(dbs.bugleDb))
            bugle.push_back(std::move(message));
    }
    // Only the app's copies can repeat a telephony message: without them
    // the live SMS need not be read a second time.
    if (!bugle.empty()) {
        if (!dbs.smsDb.empty())
            liveSms = readLiveSmsRows(live.smsDb);
        std::vector<int64_t> deletedInApp;
        set.liveSmsInBugle = mergeMessageStores(set.messages, mms, bugle, liveSms, &deletedInApp);
        std::sort(deletedInApp.begin(), deletedInApp.end());
        for (const LiveSmsRow& row : liveSms) {
            if (std::binary_search(deletedInApp.begin(), deletedInApp.end(), row.id))
                set.liveSmsDeletedInAppByDateAndText.emplace(row.dateMs, row.body);
        }
        // The live lists keep no _id: the rows are found again by date and text.
        std::vector<int64_t> ids = set.liveSmsInBugle;
        std::sort(ids.begin(), ids.end());
        for (const LiveSmsRow& row : liveSms) {
            if (std::binary_search(ids.begin(), ids.end(), row.id))
                set.liveSmsInBugleByDateAndText.emplace(row.dateMs, row.body);
        }
    }
    set.otherMessages = std::move(mms);
    for (DeletedMessage& message : bugle)
        set.otherMessages.push_back(std::move(message));
}

} // namespace

void loadDeepRecords(RecordStore& store, const PhoneDatabases& dbs,
                     const PhoneDatabases* liveStates) {
    DeepRecordSet& set = store.deep;
    set = DeepRecordSet{};
    // One scan of contacts2.db gives the deleted contacts and its deleted calls.
    std::vector<CallRecord> contactsCalls;
    const SharedScan callsScan = contactsCallsScan(dbs.contactsDb, contactsCalls);
    set.contacts = readDeletedContacts(dbs.contactsDb, store.contactLists.mimeTypes, &callsScan);
    // One scan of mmssms.db gives the deleted SMS and MMS both.
    DeletedSmsAndMms deleted = readDeletedSmsAndMms(dbs.smsDb);
    set.messages = std::move(deleted.sms);
    set.calls = readCallLog(dbs, store.contactLists, std::move(contactsCalls));
    if (liveStates) {
        readOtherStores(set, dbs, *liveStates, std::move(deleted.mms));
    } else {
        const CurrentStateCopies copies({}, dbs.smsDb, dbs.bugleDb);
        PhoneDatabases states = dbs;
        states.smsDb = copies.smsDb();
        states.bugleDb = copies.bugleDb();
        readOtherStores(set, dbs, states, std::move(deleted.mms));
    }
    assembleDeepRecords(set, store.contactLists, store.smsLists);
    const std::pair<RecordCategory, size_t> rows[] = {
        {RecordCategory::Contacts, set.contactRows.size()},
        {RecordCategory::Message, set.conversations.size()}};
    for (const auto& [category, count] : rows) {
        CategoryState& state = categoryState(store, category);
        if (count == 0)
            continue;
        state.caption = std::string(categoryWord(category)) + " (" + std::to_string(count) + ")";
        state.count = 1;
    }
    finishCallLog(store);
}

} // namespace fennaro::deep
