#include "phone/deep_stores.h"

#include "phone/deep_load.h"
#include "phone/deep_records.h"
#include "phone/message_merge.h"
#include "phone/sms_text.h"
#include "phone/store_messages.h"
#include "recovered_text.h"

namespace fennaro::deep {

std::string deepStoresText(const std::string& contactsDb, const std::string& smsDb,
                           const std::string& bugleDb) {
    std::vector<DeletedMessage> mms;
    std::vector<DeletedMessage> bugle;
    // Which app messages copy a telephony one is all the live rows and the
    // deleted SMS are read for; without bugle_db the deleted MMS stand alone.
    if (!bugleDb.empty()) {
        DeletedSmsAndMms deleted = readDeletedSmsAndMms(smsDb);
        std::vector<DeletedMessage>& sms = deleted.sms;
        std::vector<LiveSmsRow> liveSms;
        {
            // From the current states, as SQLite would show them now.
            const CurrentStateCopies copies({}, smsDb, bugleDb);
            mms = readLiveMms(copies.smsDb());
            liveSms = readLiveSmsRows(copies.smsDb());
            bugle = readLiveBugle(copies.bugleDb());
        }
        for (DeletedMessage& message : deleted.mms)
            mms.push_back(std::move(message));
        for (DeletedMessage& message : readDeletedBugle(bugleDb))
            bugle.push_back(std::move(message));
        mergeMessageStores(sms, mms, bugle, liveSms);
    } else {
        mms = readDeletedMms(smsDb);
    }
    std::vector<CarvedSms> carved;
    for (const std::vector<DeletedMessage>* list : {&mms, &bugle}) {
        for (const DeletedMessage& message : *list) {
            // A message that kept neither text nor a party has no line to
            // give (a line shows a value up to its first zero byte); an MMS
            // that kept its parties but no text says so.
            const bool noText = utf8ToAnsi(message.body).empty();
            if (!message.deleted || (noText && utf8ToAnsi(message.address).empty()))
                continue;
            const std::string mark = message.evidence.rfind("words", 0) == 0   ? "[words] "
                                     : message.evidence.rfind("index", 0) == 0 ? "[index] "
                                                                               : "";
            const bool mms = message.store == MessageStore::Mms;
            carved.emplace_back(message.address, std::string(),
                                noText && mms ? std::string(kMmsWithoutText) : mark + message.body);
        }
    }
    if (carved.empty())
        return {};
    return buildSmsText(carved, liveContactNumbers(contactsDb));
}

} // namespace fennaro::deep
