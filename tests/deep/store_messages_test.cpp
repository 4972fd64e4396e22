// MMS texts and the messaging app's messages: recall of the deleted ones on
// generated phones whose truth comes from replaying their history, the live
// ones as SQLite counts them, each message once across the stores, and the
// rule that tells two stores' copies of one message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sqlite3.h>

#include "phone/deep_load.h"
#include "phone/deep_records.h"
#include "phone/deep_stores.h"
#include "phone/message_merge.h"
#include "phone/store_messages.h"
#include "record_store.h"
#include "store_phone.h"
#include "tests/support/temp_files.h"

namespace {

using fennaro::deep::DeletedMessage;
using fennaro::deep::MessageStore;

// How many surviving deleted messages of a store came back: their text
// (text parts whole or header-lost), and with date and direction too where
// their own row survives as well, split by whether that row kept its
// first bytes (whole) or lost them and its _id with them (header-lost).
struct Recall {
    size_t texts = 0;
    size_t textsFound = 0;
    size_t wholeRows = 0;
    size_t wholeRowsFound = 0;
    size_t headerLostRows = 0;
    size_t headerLostRowsFound = 0;
};

// Scores found against the deleted messages of one store of the truth.
Recall scoreRecall(const testdata::StorePhoneTruth& truth, const std::string& store,
                   const std::vector<DeletedMessage>& found) {
    std::multimap<std::string, const DeletedMessage*> byText;
    for (const DeletedMessage& message : found)
        byText.emplace(message.body, &message);
    Recall recall;
    for (const testdata::DeletedStoreMessage& m : truth.deleted) {
        if (m.store != store || !testdata::survives(m, false))
            continue;
        const auto [first, last] = byText.equal_range(m.text);
        ++recall.texts;
        recall.textsFound += first != last;
        if (!testdata::survives(m, true))
            continue;
        bool dated = false;
        for (auto at = first; at != last; ++at) {
            dated = dated || (at->second->date == m.dateMs && at->second->type == m.direction &&
                              at->second->id == m.id);
        }
        const bool whole = m.rowSurvival == testdata::Survival::Whole;
        ++(whole ? recall.wholeRows : recall.headerLostRows);
        (whole ? recall.wholeRowsFound : recall.headerLostRowsFound) += dated;
    }
    return recall;
}

// A text as the words index keeps it: lower-case runs of letters and digits.
std::string indexedWords(const std::string& text) {
    std::string words;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            words += char(std::tolower(static_cast<unsigned char>(c)));
        else if (!words.empty() && words.back() != ' ')
            words += ' ';
    }
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    return words;
}

// The ids of a table's live rows in a truth.
std::set<int64_t> liveIds(const testdata::DatabaseTruth& truth, const std::string& table) {
    std::set<int64_t> ids;
    for (const testdata::LiveRow& row : truth.live) {
        if (row.table == table)
            ids.insert(row.rowid);
    }
    return ids;
}

// The date (ms) of every deleted pdu row of a truth, by id.
std::map<int64_t, int64_t> deletedPduDates(const testdata::DatabaseTruth& truth) {
    std::map<int64_t, int64_t> dates;
    for (const testdata::TableShape& shape : truth.tables) {
        if (shape.name != "pdu")
            continue;
        const auto date = std::find(shape.columns.begin(), shape.columns.end(), "date");
        const size_t column = size_t(date - shape.columns.begin());
        for (const testdata::DeletedRow& row : truth.deleted) {
            if (row.table == "pdu" && !row.versions.empty() && column < row.versions.back().size())
                dates[row.rowid] = row.versions.back()[column].integer * 1000;
        }
    }
    return dates;
}

// Checks that no deleted record is a live row, and that each recall reaches 95%.
void checkStore(const testdata::StorePhoneTruth& truth, const std::string& store,
                const std::vector<DeletedMessage>& deleted, const std::set<int64_t>& live,
                const std::string& label) {
    for (const DeletedMessage& message : deleted) {
        EXPECT_TRUE(message.deleted);
        if (message.id) {
            EXPECT_FALSE(live.count(*message.id)) << label << " live id " << *message.id;
        }
    }
    // An MMS whose id came from the order of ids and dates has the id and
    // date of the row it was.
    const std::map<int64_t, int64_t> pduDates = deletedPduDates(truth.smsTruth);
    size_t byOrder = 0;
    for (const DeletedMessage& message : deleted) {
        if (message.evidence.find("from the order") == std::string::npos)
            continue;
        ++byOrder;
        ASSERT_TRUE(message.id) << label;
        const auto truthDate = pduDates.find(*message.id);
        ASSERT_NE(truthDate, pduDates.end()) << label << " no deleted pdu " << *message.id;
        EXPECT_EQ(message.date, truthDate->second) << label << " pdu " << *message.id;
    }
    const Recall recall = scoreRecall(truth, store, deleted);
    std::printf("%s %s: texts %zu/%zu; with date and direction: row whole %zu/%zu, row "
                "header-lost %zu/%zu; ids from their order %zu\n",
                label.c_str(), store.c_str(), recall.textsFound, recall.texts,
                recall.wholeRowsFound, recall.wholeRows, recall.headerLostRowsFound,
                recall.headerLostRows, byOrder);
    EXPECT_GE(recall.textsFound * 100, recall.texts * 95) << label;
    EXPECT_GE(recall.wholeRowsFound * 100, recall.wholeRows * 95) << label;
    EXPECT_GE(recall.headerLostRowsFound * 100, recall.headerLostRows * 95) << label;
}

TEST(StorePhones, DeletedComeBackLiveCountAsSqliteReads) {
    for (const testdata::StoreKind kind : {testdata::StoreKind::Mms, testdata::StoreKind::Bugle}) {
        for (const int pageSize : {1024, 4096}) {
            const std::string label =
                std::string(testdata::storeKindName(kind)) + " " + std::to_string(pageSize);
            testfiles::TempDir dir("stores");
            const testdata::StorePhoneTruth truth =
                testdata::generateStorePhone(kind, dir.path(), 7, pageSize);
            const fennaro::deep::CurrentStateCopies copies({}, truth.smsDb, truth.bugleDb);
            ASSERT_FALSE(copies.smsDb().empty());

            const std::vector<DeletedMessage> liveMms = fennaro::readLiveMms(copies.smsDb());
            EXPECT_EQ(liveMms.size(), truth.liveMms) << label;
            for (const DeletedMessage& message : liveMms) {
                EXPECT_FALSE(message.deleted);
                EXPECT_TRUE(message.date && message.type && !message.address.empty());
            }
            EXPECT_EQ(fennaro::readLiveSmsRows(copies.smsDb()).size(), truth.liveSms) << label;
            // The words index holds MMS parts too; none may pass for an SMS.
            std::set<std::string> mmsWords;
            for (const testdata::DeletedStoreMessage& m : truth.deleted) {
                if (m.store == "mms")
                    mmsWords.insert(indexedWords(m.text));
            }
            for (const DeletedMessage& sms : fennaro::deep::readDeletedMessages(truth.smsDb))
                EXPECT_FALSE(mmsWords.count(indexedWords(sms.body))) << label << sms.body;
            checkStore(truth, "mms", fennaro::deep::readDeletedMms(truth.smsDb),
                       liveIds(truth.smsTruth, "pdu"), label);
            if (kind != testdata::StoreKind::Bugle)
                continue;
            ASSERT_FALSE(copies.bugleDb().empty());
            EXPECT_EQ(fennaro::readLiveBugle(copies.bugleDb()).size(), truth.liveBugle) << label;
            checkStore(truth, "bugle", fennaro::deep::readDeletedBugle(truth.bugleDb),
                       liveIds(truth.bugleTruth, "messages"), label);
        }
    }
}

// Counts the live app messages of conversations without a telephony thread (RCS).
size_t liveRcsMessages(const std::string& bugleDb) {
    sqlite3* db = nullptr;
    size_t count = 0;
    if (sqlite3_open_v2(bugleDb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* query = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT count(*) FROM messages JOIN conversations ON "
                               "conversations._id = messages.conversation_id WHERE "
                               "conversations.sms_thread_id < 0",
                               -1, &query, nullptr) == SQLITE_OK &&
            sqlite3_step(query) == SQLITE_ROW)
            count = size_t(sqlite3_column_int64(query, 0));
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return count;
}

TEST(StorePhones, EachMessageOnceAcrossTheStores) {
    for (const auto& [seed, pageSize] : {std::pair(11, 4096), std::pair(3, 1024)}) {
        const std::string label = std::to_string(seed) + " " + std::to_string(pageSize);
        testfiles::TempDir dir("stores");
        const testdata::StorePhoneTruth truth = testdata::generateStorePhone(
            testdata::StoreKind::Bugle, dir.path(), uint64_t(seed), pageSize);
        fennaro::RecordStore store;
        fennaro::PhoneDatabases dbs;
        dbs.smsDb = truth.smsDb;
        dbs.bugleDb = truth.bugleDb;
        fennaro::deep::loadDeepAfterAcquisition(store, dbs);
        ASSERT_TRUE(store.deep.loaded);

        // Each text (they are unique on this phone, and long enough to be
        // matched by their words) once, whatever its store and form.
        std::map<std::string, size_t> seenIndexed;
        size_t bugleOnly = 0;
        size_t live = 0;
        for (const fennaro::deep::DeepConversation& conversation : store.deep.conversations) {
            size_t deleted = 0;
            for (const fennaro::deep::ConversationEntry& entry : conversation.messages) {
                if (fennaro::deep::isDeletedEntry(entry))
                    ++deleted;
                live += entry.live || !entry.deleted->deleted;
                bugleOnly += entry.deleted && entry.deleted->store == MessageStore::Bugle;
                if (!entry.body.empty()) {
                    EXPECT_EQ(++seenIndexed[indexedWords(std::string(entry.body))], 1u)
                        << label << " " << entry.body;
                }
            }
            EXPECT_EQ(conversation.deletedCount, deleted);
        }
        // Every live message shows: SMS, MMS, and the app's messages no
        // telephony row holds (RCS, and those deleted from telephony).
        // A telephony message deleted while the app holds it live is one
        // live record too.
        size_t bugleLiveOnly = 0;
        for (const DeletedMessage& message : store.deep.otherMessages)
            bugleLiveOnly += message.store == MessageStore::Bugle && !message.deleted;
        size_t liveInAppOnly = 0;
        for (const auto* messages : {&store.deep.messages, &store.deep.otherMessages})
            for (const DeletedMessage& message : *messages)
                liveInAppOnly += message.deletedIn == "mmssms.db";
        EXPECT_EQ(live, truth.liveSms + truth.liveMms + bugleLiveOnly + liveInAppOnly) << label;
        const size_t rcs = liveRcsMessages(truth.bugleDb);
        EXPECT_GT(rcs, 0u) << label;
        EXPECT_GE(bugleLiveOnly, rcs) << label;
        EXPECT_GT(bugleOnly, bugleLiveOnly) << label;
        EXPECT_FALSE(store.deep.liveSmsInBugle.empty()) << label;
    }
}

// A telephony copy for the rule's table.
fennaro::TelephonyCopy copy(MessageStore store, int64_t id, const char* address, int64_t date,
                            const char* body) {
    return {store, id, address, date, body};
}

// An app message for the rule's table.
DeletedMessage appMessage(const char* uri, const char* address, int64_t date, const char* body) {
    DeletedMessage message;
    message.store = MessageStore::Bugle;
    message.telephonyUri = uri;
    message.address = address;
    message.date = date;
    message.body = body;
    return message;
}

TEST(SameMessageRule, LinkOrTextNumberAndTwoSeconds) {
    const int64_t t = 1'650'000'000'000;
    struct Case {
        const char* what;
        DeletedMessage app;
        fennaro::TelephonyCopy telephony;
        bool same;
    };
    const Case cases[] = {
        {"uri to the sms row", appMessage("content://sms/12", "+15551234567", t + 60000, "hi"),
         copy(MessageStore::Sms, 12, "5551234567", t, "hi"), true},
        {"uri with its box", appMessage("content://sms/inbox/12", "", 0, "hi"),
         copy(MessageStore::Sms, 12, "", t, "hi"), true},
        {"uri to the mms row", appMessage("content://mms/3", "", 0, "a\nb"),
         copy(MessageStore::Mms, 3, "+15551234567", t, "a\nb"), true},
        {"uri to a row the words index kept", appMessage("content://sms/12", "", t, "See you, 5!"),
         copy(MessageStore::Sms, 12, "", 0, "see you 5"), true},
        {"uri to an mms, row is an sms", appMessage("content://mms/12", "x", t, "q"),
         copy(MessageStore::Sms, 12, "y", t + 90000, "q"), false},
        {"uri to a reused id, other text", appMessage("content://sms/12", "1", t + 9000, "old"),
         copy(MessageStore::Sms, 12, "2", t, "new"), false},
        {"text, number forms, 2 s", appMessage("", "+1 555 123-4567", t + 2000, "see you"),
         copy(MessageStore::Sms, 40, "5551234567", t, "see you"), true},
        {"text, number, 2.001 s", appMessage("", "+15551234567", t + 2001, "see you"),
         copy(MessageStore::Sms, 40, "+15551234567", t, "see you"), false},
        {"other number", appMessage("", "+15551234568", t, "see you"),
         copy(MessageStore::Sms, 40, "+15551234567", t, "see you"), false},
        {"other text", appMessage("", "+15551234567", t, "see you!"),
         copy(MessageStore::Sms, 40, "+15551234567", t, "see you"), false},
        {"no date", appMessage("", "+15551234567", 0, "ok"),
         copy(MessageStore::Sms, 40, "+15551234567", t, "ok"), false},
        {"empty texts", appMessage("", "+15551234567", t, ""),
         copy(MessageStore::Sms, 40, "+15551234567", t, ""), false},
    };
    for (const Case& c : cases) {
        DeletedMessage app = c.app;
        if (app.date == 0)
            app.date.reset();
        const bool same =
            fennaro::linksTo(app, c.telephony) || fennaro::looksSame(app, c.telephony);
        EXPECT_EQ(same, c.same) << c.what;
    }

    // Merging: one telephony copy takes one app message; the link wins over
    // a look-alike; the record kept names both files.
    std::vector<DeletedMessage> sms(2);
    sms[0].id = 5;
    sms[0].address = "+15551234567";
    sms[0].date = t;
    sms[0].body = "ok";
    sms[1] = sms[0];
    sms[1].id = 6;
    sms[1].date = t + 500;
    std::vector<DeletedMessage> mms;
    std::vector<DeletedMessage> bugle = {appMessage("", "+15551234567", t + 400, "ok"),
                                         appMessage("content://sms/6", "", t + 500, "ok"),
                                         appMessage("", "+15551234567", t + 600, "ok"),
                                         appMessage("content://sms/7", "+1555", t, "live one")};
    bugle[3].deleted = false; // the app holds this live SMS live too
    const std::vector<fennaro::LiveSmsRow> live = {{7, "+15550001111", t, "live one"}};
    const std::vector<int64_t> liveCopies = fennaro::mergeMessageStores(sms, mms, bugle, live);
    EXPECT_EQ(liveCopies, std::vector<int64_t>{7});
    ASSERT_EQ(bugle.size(), 1u); // three copies of "ok" for two telephony rows
    EXPECT_EQ(bugle[0].date, t + 600);
    for (const DeletedMessage& kept : sms)
        EXPECT_EQ(kept.sources, (std::vector<std::string>{"mmssms.db", "bugle_db"}));

    // A message deleted in one store and live in the other is one live
    // record of its deleted copy, which names the deleted store in its
    // evidence, keeps the deleted copy's place, and lists only the store
    // that holds it live.
    std::vector<DeletedMessage> noSms;
    bugle = {appMessage("content://sms/9", "+15551234567", t, "gone from the app")};
    bugle[0].evidence = "cell";
    bugle[0].place = {"/p/bugle_db", 4, 12345, 7};
    std::vector<int64_t> deletedInApp;
    const std::vector<fennaro::LiveSmsRow> liveNine = {{9, "+15551234567", t, "gone from the app"}};
    EXPECT_TRUE(fennaro::mergeMessageStores(noSms, mms, bugle, liveNine, &deletedInApp).empty());
    EXPECT_EQ(deletedInApp, std::vector<int64_t>{9});
    ASSERT_EQ(bugle.size(), 1u);
    EXPECT_FALSE(bugle[0].deleted);
    EXPECT_EQ(bugle[0].evidence, "deleted in bugle_db: cell");
    EXPECT_EQ(bugle[0].place.file, "/p/bugle_db");
    EXPECT_EQ(bugle[0].place.offset, 12345u);
    EXPECT_EQ(bugle[0].place.frame, 7u);
    EXPECT_EQ(fennaro::deep::sourceFiles(bugle[0]), "mmssms.db");
    EXPECT_EQ(fennaro::deep::storeMark(bugle[0]), "app: deleted");

    std::vector<DeletedMessage> goneSms(1);
    goneSms[0].id = 10;
    goneSms[0].address = "+15551234567";
    goneSms[0].date = t;
    goneSms[0].body = "gone from the phone";
    goneSms[0].evidence = "cell";
    goneSms[0].place = {"/p/mmssms.db", 3, 2048, std::nullopt};
    bugle = {appMessage("content://sms/10", "+15551234567", t, "gone from the phone")};
    bugle[0].deleted = false;
    fennaro::mergeMessageStores(goneSms, mms, bugle, {});
    EXPECT_TRUE(bugle.empty());
    EXPECT_FALSE(goneSms[0].deleted);
    EXPECT_EQ(goneSms[0].evidence, "deleted in mmssms.db: cell");
    EXPECT_EQ(goneSms[0].place.offset, 2048u);
    EXPECT_EQ(fennaro::deep::sourceFiles(goneSms[0]), "bugle_db");
    EXPECT_EQ(fennaro::deep::storeMark(goneSms[0]), "SMS: deleted");

    // A deleted SMS the words index alone kept takes the app copy's whole
    // text, date and direction, and says where they came from.
    std::vector<DeletedMessage> words(1);
    words[0].id = 8;
    words[0].body = "see you 5";
    words[0].evidence = "words";
    bugle = {appMessage("content://sms/8", "+15551234567", t, "See you, 5!")};
    bugle[0].type = 2;
    fennaro::mergeMessageStores(words, mms, bugle, {});
    EXPECT_TRUE(bugle.empty());
    EXPECT_EQ(words[0].body, "See you, 5!");
    EXPECT_EQ(words[0].date, t);
    EXPECT_EQ(words[0].type, 2);
    EXPECT_EQ(words[0].address, "+15551234567");
    EXPECT_EQ(words[0].evidence, "words, date from bugle_db, text from bugle_db");

    // Without a link to check, a text the words index alone kept is the
    // app's copy only when both have the same three or more words and no
    // other message has them; a link to another row rules it out.
    struct WordsCase {
        const char* what;
        MessageStore store;
        std::optional<int64_t> id;
        const char* words;
        std::vector<DeletedMessage> app;
        size_t appLeft;
    };
    const WordsCase wordsCases[] = {
        {"no link, unique words",
         MessageStore::Sms,
         8,
         "see you at 5",
         {appMessage("", "+15551234567", t, "See you at 5!")},
         0},
        {"two app messages of those words",
         MessageStore::Sms,
         8,
         "see you at 5",
         {appMessage("", "+15551234567", t, "See you at 5!"),
          appMessage("", "+15557654321", t + 9000, "see you at 5")},
         2},
        {"two words only",
         MessageStore::Sms,
         8,
         "ok then",
         {appMessage("", "+15551234567", t, "OK, then")},
         1},
        {"link to another sms",
         MessageStore::Sms,
         8,
         "see you at 5",
         {appMessage("content://sms/9", "+15551234567", t, "See you at 5!")},
         1},
        {"mms part without its mms, link to a lost mms",
         MessageStore::Mms,
         std::nullopt,
         "see you at 5",
         {appMessage("content://mms/4", "+15551234567", t, "See you at 5!")},
         0},
        {"mms part without its mms, link to an sms",
         MessageStore::Mms,
         std::nullopt,
         "see you at 5",
         {appMessage("content://sms/4", "+15551234567", t, "See you at 5!")},
         1},
    };
    for (const WordsCase& c : wordsCases) {
        std::vector<DeletedMessage> indexed(1);
        indexed[0].store = c.store;
        indexed[0].id = c.id;
        indexed[0].body = c.words;
        indexed[0].evidence = "words";
        std::vector<DeletedMessage> app = c.app;
        std::vector<DeletedMessage> noSms, noMms;
        if (c.store == MessageStore::Sms)
            fennaro::mergeMessageStores(indexed, noMms, app, {});
        else
            fennaro::mergeMessageStores(noSms, indexed, app, {});
        EXPECT_EQ(app.size(), c.appLeft) << c.what;
        if (c.appLeft == 0) {
            EXPECT_EQ(indexed[0].body, "See you at 5!") << c.what;
            EXPECT_EQ(indexed[0].date, t) << c.what;
            EXPECT_NE(indexed[0].evidence.find("matched to bugle_db by its words"),
                      std::string::npos)
                << c.what;
        }
    }
}

} // namespace

namespace {

// Cuts a file to `keep` of its size.
void cutFile(const std::string& path, double keep) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error)
        std::filesystem::resize_file(path, static_cast<uintmax_t>(double(size) * keep), error);
}

TEST(StorePhones, CutAndForeignFilesGiveWhatTheyHold) {
    testfiles::TempDir dir("stores");
    const testdata::StorePhoneTruth truth =
        testdata::generateStorePhone(testdata::StoreKind::Bugle, dir.path(), 3, 1024);
    // Cut short as a copy interrupted mid-way leaves them: no crash, no
    // message invented, the live ones (of an older state, when the -wal
    // lost its last frames) at most what there ever were.
    size_t everBugle = truth.liveBugle;
    size_t everMms = truth.liveMms;
    for (const testdata::DeletedRow& row : truth.bugleTruth.deleted)
        everBugle += row.table == "messages";
    for (const testdata::DeletedRow& row : truth.smsTruth.deleted)
        everMms += row.table == "pdu";
    for (const double keep : {0.7, 0.3, 0.01}) {
        testfiles::TempDir cut("stores-cut");
        for (const char* name : {"mmssms.db", "bugle_db", "bugle_db-wal"})
            std::filesystem::copy_file(dir.file(name), cut.file(name));
        cutFile(cut.file("bugle_db-wal"), keep);
        cutFile(cut.file("bugle_db"), keep);
        cutFile(cut.file("mmssms.db"), keep);
        const fennaro::deep::CurrentStateCopies copies({}, cut.file("mmssms.db"),
                                                       cut.file("bugle_db"));
        EXPECT_LE(fennaro::readLiveBugle(copies.bugleDb()).size(), everBugle);
        EXPECT_LE(fennaro::readLiveMms(copies.smsDb()).size(), everMms);
        for (const DeletedMessage& message :
             fennaro::deep::readDeletedBugle(cut.file("bugle_db"))) {
            EXPECT_TRUE(message.deleted);
            EXPECT_EQ(message.store, MessageStore::Bugle);
        }
        fennaro::deep::readDeletedMms(cut.file("mmssms.db"));
    }
    // A file that is no database, and one that is missing, give nothing.
    testfiles::TempDir other("stores-other");
    testfiles::writeFile(other.file("bugle_db"), std::string(5000, 'x'));
    EXPECT_TRUE(fennaro::deep::readDeletedBugle(other.file("bugle_db")).empty());
    EXPECT_TRUE(fennaro::readLiveBugle(other.file("bugle_db")).empty());
    EXPECT_TRUE(fennaro::deep::readDeletedMms(other.file("missing")).empty());
    EXPECT_TRUE(fennaro::readLiveMms(other.file("missing")).empty());
    EXPECT_TRUE(
        fennaro::deep::deepStoresText({}, other.file("missing"), other.file("bugle_db")).empty());
}

} // namespace
