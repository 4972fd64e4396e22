#include "store_phone.h"

#include "android_schema.h"
#include "app_store.h"
#include "layout_writer.h"
#include "random_source.h"
#include "sqlite_util.h"

#include <json/json.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>

namespace testdata {

namespace {

constexpr int64_t kStartMs = 1'650'000'000'000;
constexpr const char* kOwnNumber = "+15550100000";
constexpr int64_t kMmsWordsBase = int64_t(2) << 32;

// The mmssms.db of an Android 12 phone: the sms, threads and
// canonical_addresses of the modern schema, then the MMS tables with the
// provider's cleanup triggers, the words index and its triggers.
std::string mmsSmsSchema() {
    std::string sql = smsSchemaSql(Generation::Modern);
    sql.resize(sql.find("CREATE TABLE pdu"));
    sql += "CREATE TABLE pdu (_id INTEGER PRIMARY KEY AUTOINCREMENT,thread_id INTEGER,"
           "date INTEGER,date_sent INTEGER DEFAULT 0,msg_box INTEGER,read INTEGER DEFAULT 0,"
           "m_id TEXT,sub TEXT,sub_cs INTEGER,ct_t TEXT,ct_l TEXT,exp INTEGER,m_cls TEXT,"
           "m_type INTEGER,v INTEGER,m_size INTEGER,pri INTEGER,rr INTEGER,rpt_a INTEGER,"
           "resp_st INTEGER,st INTEGER,tr_id TEXT,retr_st INTEGER,retr_txt TEXT,"
           "retr_txt_cs INTEGER,read_status INTEGER,ct_cls INTEGER,resp_txt TEXT,d_tm INTEGER,"
           "d_rpt INTEGER,locked INTEGER DEFAULT 0,sub_id INTEGER DEFAULT -1,"
           "seen INTEGER DEFAULT 0,creator TEXT,text_only INTEGER DEFAULT 0);\n"
           "CREATE TABLE addr (_id INTEGER PRIMARY KEY,msg_id INTEGER,contact_id INTEGER,"
           "address TEXT,type INTEGER,charset INTEGER);\n"
           "CREATE TABLE part (_id INTEGER PRIMARY KEY AUTOINCREMENT,mid INTEGER,seq INTEGER "
           "DEFAULT 0,ct TEXT,name TEXT,chset INTEGER,cd TEXT,fn TEXT,cid TEXT,cl TEXT,"
           "ctt_s INTEGER,ctt_t TEXT,_data TEXT,text TEXT);\n"
           "CREATE TRIGGER part_cleanup DELETE ON pdu BEGIN DELETE FROM part WHERE mid=old._id;"
           " END;\n"
           "CREATE TRIGGER addr_cleanup DELETE ON pdu BEGIN DELETE FROM addr WHERE "
           "msg_id=old._id; END;\n"
           "CREATE VIRTUAL TABLE words USING FTS3 (_id INTEGER PRIMARY KEY, index_text TEXT, "
           "source_id INTEGER, table_to_use INTEGER);\n"
           "CREATE TRIGGER sms_words_delete AFTER DELETE ON sms BEGIN DELETE FROM words WHERE "
           "source_id = OLD._id AND table_to_use = 1; END;\n"
           "CREATE TRIGGER mms_words_delete AFTER DELETE ON part BEGIN DELETE FROM words WHERE "
           "source_id = OLD._id AND table_to_use = 2; END;\n"
           "CREATE INDEX partMidIndex ON part (mid);\n"
           "CREATE INDEX addrMsgIdIndex ON addr (msg_id);\n";
    return sql;
}

const char* const kWords[] = {"lunch",    "tomorrow", "station", "ticket",  "photo",   "running",
                              "late",     "meeting",  "coffee",  "train",   "concert", "dinner",
                              "call",     "soon",     "parcel",  "weekend", "garden",  "office",
                              "birthday", "keys",     "ready",   "thanks",  "tonight", "address"};

// A message text: a few words and a serial that makes it unique.
std::string messageText(RandomSource& rng, int serial) {
    std::string out;
    const int words = int(rng.between(2, 9));
    for (int i = 0; i < words; ++i)
        out += std::string(i ? " " : "") + kWords[rng.below(std::size(kWords))];
    return out + " #" + std::to_string(serial);
}

// A conversation partner's number.
std::string partnerNumber(RandomSource& rng) {
    return "+1555" + std::to_string(rng.between(2000000, 9999999));
}

// One telephony thread with its other parties.
struct ThreadPlan {
    int64_t id = 0;
    std::vector<std::string> members;
};

// One message written to mmssms.db.
struct TelephonyMessage {
    bool mms = false;
    int64_t id = 0;
    int64_t threadId = 0;
    int64_t dateMs = 0;
    bool received = true;
    std::string sender; // the other party of a received one
    std::string body;
};

// Writes the threads and their canonical addresses.
std::vector<ThreadPlan> writeThreads(LayoutWriter& w, RandomSource& rng, int count, int groups) {
    std::vector<ThreadPlan> threads;
    Statement address(w.db(), "INSERT INTO canonical_addresses (address) VALUES (?1)");
    Statement thread(w.db(), "INSERT INTO threads (date, message_count, recipient_ids, snippet) "
                             "VALUES (?1, 0, ?2, '')");
    w.exec("BEGIN");
    for (int i = 0; i < count; ++i) {
        ThreadPlan plan;
        const int members = i < groups ? 3 : 1;
        std::string ids;
        for (int m = 0; m < members; ++m) {
            plan.members.push_back(partnerNumber(rng));
            address.bind(1, plan.members.back()).run();
            ids += (m ? " " : "") + std::to_string(sqlite3_last_insert_rowid(w.db()));
        }
        thread.bind(1, kStartMs).bind(2, ids).run();
        plan.id = sqlite3_last_insert_rowid(w.db());
        threads.push_back(plan);
    }
    w.exec("COMMIT");
    return threads;
}

// Writes one SMS with its words row.
TelephonyMessage writeSms(LayoutWriter& w, const ThreadPlan& thread, int64_t dateMs, bool received,
                          const std::string& body) {
    Statement sms(w.db(), "INSERT INTO sms (thread_id, address, date, date_sent, read, type, "
                          "body, seen) VALUES (?1, ?2, ?3, ?4, 1, ?5, ?6, 1)");
    sms.bind(1, thread.id)
        .bind(2, thread.members.front())
        .bind(3, dateMs)
        .bind(4, received ? dateMs - 3000 : 0)
        .bind(5, int64_t(received ? 1 : 2))
        .bind(6, body)
        .run();
    const int64_t id = sqlite3_last_insert_rowid(w.db());
    // The provider gives _id, not the docid: the index numbers its documents itself.
    Statement words(w.db(), "INSERT INTO words (_id, index_text, source_id, table_to_use) "
                            "VALUES (?1, ?2, ?1, 1)");
    words.bind(1, id).bind(2, body).run();
    return {false, id, thread.id, dateMs, received, thread.members.front(), body};
}

// Writes one MMS: its pdu, SMIL part, text parts (with words rows), maybe a
// picture, and its addresses as the provider stores them.
TelephonyMessage writeMms(LayoutWriter& w, RandomSource& rng, const ThreadPlan& thread,
                          int64_t dateMs, bool received, const std::vector<std::string>& texts) {
    const int64_t seconds = dateMs / 1000;
    Statement pdu(w.db(),
                  "INSERT INTO pdu (thread_id, date, date_sent, msg_box, read, m_id, ct_t, "
                  "m_type, v, m_size, pri, tr_id, seen, text_only) VALUES (?1, ?2, ?3, ?4, 1, "
                  "?5, 'application/vnd.wap.multipart.related', ?6, 18, ?7, 129, ?8, 1, ?9)");
    const bool picture = rng.chance(0.3);
    pdu.bind(1, thread.id)
        .bind(2, seconds)
        .bind(3, received ? seconds - 5 : 0)
        .bind(4, int64_t(received ? 1 : 2))
        .bind(5, "m" + std::to_string(rng.next() % 1000000000))
        .bind(6, int64_t(received ? 132 : 128))
        .bind(7, int64_t(picture ? 48000 : 900))
        .bind(8, "T" + std::to_string(rng.next() % 1000000000))
        .bind(9, int64_t(picture ? 0 : 1))
        .run();
    const int64_t id = sqlite3_last_insert_rowid(w.db());
    Statement part(w.db(), "INSERT INTO part (mid, seq, ct, name, chset, cid, cl, _data, text) "
                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    part.bind(1, id)
        .bind(2, int64_t(-1))
        .bind(3, std::string("application/smil"))
        .bind(4, std::string("smil.xml"));
    part.bindNull(5).bind(6, std::string("<smil>")).bind(7, std::string("smil.xml")).bindNull(8);
    part.bind(9, std::string(
                     "<smil><head><layout><root-layout/></layout></head><body><par dur=\"5000ms\">"
                     "<text src=\"text_0.txt\" region=\"Text\"/></par></body></smil>"))
        .run();
    Statement words(w.db(), "INSERT INTO words (_id, index_text, source_id, table_to_use) "
                            "VALUES (?1, ?2, ?3, 2)");
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string name = "text_" + std::to_string(i) + ".txt";
        part.bind(1, id).bind(2, int64_t(i)).bind(3, std::string("text/plain")).bind(4, name);
        part.bind(5, int64_t(106)).bind(6, "<" + name + ">").bind(7, name).bindNull(8);
        part.bind(9, texts[i]).run();
        const int64_t partId = sqlite3_last_insert_rowid(w.db());
        words.bind(1, kMmsWordsBase + partId).bind(2, texts[i]).bind(3, partId).run();
    }
    if (picture) {
        part.bind(1, id)
            .bind(2, int64_t(texts.size()))
            .bind(3, std::string("image/jpeg"))
            .bind(4, std::string("img.jpg"));
        part.bindNull(5).bind(6, std::string("<img.jpg>")).bind(7, std::string("img.jpg"));
        part.bind(8, "/data/user_de/0/com.android.providers.telephony/app_parts/PART_" +
                         std::to_string(dateMs) + "img.jpg")
            .bindNull(9)
            .run();
    }
    Statement addr(w.db(), "INSERT INTO addr (msg_id, address, type, charset) VALUES (?1, ?2, "
                           "?3, 106)");
    const std::string sender = thread.members[rng.below(thread.members.size())];
    if (received) {
        addr.bind(1, id).bind(2, sender).bind(3, int64_t(137)).run();
        addr.bind(1, id).bind(2, std::string(kOwnNumber)).bind(3, int64_t(151)).run();
        for (const std::string& member : thread.members) {
            if (member != sender)
                addr.bind(1, id).bind(2, member).bind(3, int64_t(151)).run();
        }
    } else {
        addr.bind(1, id).bind(2, std::string("insert-address-token")).bind(3, int64_t(137)).run();
        for (const std::string& member : thread.members)
            addr.bind(1, id).bind(2, member).bind(3, int64_t(151)).run();
    }
    std::string body;
    for (const std::string& t : texts)
        body += (body.empty() ? "" : "\n") + t;
    return {true, id, thread.id, seconds * 1000, received, received ? sender : thread.members[0],
            body};
}

// Writes a thread's worth of messages: SMS and MMS (one or two text parts) in time order.
std::vector<TelephonyMessage> writeConversation(LayoutWriter& w, RandomSource& rng,
                                                const ThreadPlan& thread, int sms, int mms,
                                                int64_t& clock, int& serial) {
    std::vector<TelephonyMessage> written;
    std::vector<char> kinds(size_t(sms), 0);
    kinds.insert(kinds.end(), size_t(mms), 1);
    rng.shuffle(kinds);
    // A group thread is MMS only: the phone sends a group text as MMS.
    const bool group = thread.members.size() > 1;
    w.exec("BEGIN");
    for (char isMms : kinds) {
        clock += rng.between(20, 900) * 1000 + rng.between(0, 999);
        const bool received = rng.chance(0.55);
        if (isMms || group) {
            std::vector<std::string> texts = {messageText(rng, ++serial)};
            if (rng.chance(0.25))
                texts.push_back(messageText(rng, ++serial));
            written.push_back(writeMms(w, rng, thread, clock, received, texts));
        } else {
            written.push_back(writeSms(w, thread, clock, received, messageText(rng, ++serial)));
        }
    }
    w.exec("COMMIT");
    return written;
}

// The column index of `name` in `table` of a truth; throws when absent.
size_t columnOf(const DatabaseTruth& truth, const std::string& table, const std::string& name) {
    const TableShape* shape = findShape(truth.tables, table);
    if (shape) {
        for (size_t i = 0; i < shape->columns.size(); ++i) {
            if (shape->columns[i] == name)
                return i;
        }
    }
    throw std::runtime_error("testdata: no column " + table + "." + name);
}

// Returns value i of a row as an integer, 0 when it is none.
int64_t integerAt(const SqlRow& row, size_t i) {
    return i < row.size() && row[i].type == SqlValue::Type::Integer ? row[i].integer : 0;
}

// Returns value i of a row as text, "" when it is none.
std::string textAt(const SqlRow& row, size_t i) {
    return i < row.size() && row[i].type == SqlValue::Type::Text ? row[i].bytes : std::string();
}

// The worse of two survivals.
Survival worse(Survival a, Survival b) {
    return std::min(a, b);
}

// A deleted text part: its message, order and text, and how it survives.
struct PartTruth {
    int64_t owner = 0;
    int64_t order = 0;
    int64_t id = 0;
    std::string text;
    Survival survival = Survival::Gone;
};

// The deleted text parts of `table` by owner, in order.
std::map<int64_t, std::vector<PartTruth>>
deletedTextParts(const DatabaseTruth& truth, const std::string& table, const char* ownerColumn,
                 const char* orderColumn, const char* typeColumn) {
    const size_t owner = columnOf(truth, table, ownerColumn);
    const size_t order = orderColumn ? columnOf(truth, table, orderColumn) : 0;
    const size_t type = columnOf(truth, table, typeColumn);
    const size_t body = columnOf(truth, table, "text");
    std::map<int64_t, std::vector<PartTruth>> parts;
    for (const DeletedRow& row : truth.deleted) {
        if (row.table != table || row.versions.empty())
            continue;
        const SqlRow& values = row.versions.back();
        if (textAt(values, type) != "text/plain")
            continue;
        parts[integerAt(values, owner)].push_back(
            {integerAt(values, owner), orderColumn ? integerAt(values, order) : row.rowid,
             row.rowid, textAt(values, body), row.survival});
    }
    for (auto& [id, list] : parts) {
        std::sort(list.begin(), list.end(), [](const PartTruth& a, const PartTruth& b) {
            return std::pair(a.order, a.id) < std::pair(b.order, b.id);
        });
    }
    return parts;
}

// Gives a message its text, part ids and the text's survival from its parts.
void takeTextParts(DeletedStoreMessage& message, const std::vector<PartTruth>& parts) {
    message.textSurvival = Survival::Whole;
    for (const PartTruth& part : parts) {
        message.text += (message.text.empty() ? "" : "\n") + part.text;
        message.partIds.push_back(part.id);
        message.textSurvival = worse(message.textSurvival, part.survival);
    }
}

// The deleted MMS of an mmssms.db truth: deleted pdus with text parts, and
// text parts whose pdu is not among them (row survival Gone, no date).
void collectDeletedMms(const DatabaseTruth& truth, std::vector<DeletedStoreMessage>& out) {
    auto parts = deletedTextParts(truth, "part", "mid", "seq", "ct");
    const size_t date = columnOf(truth, "pdu", "date");
    const size_t box = columnOf(truth, "pdu", "msg_box");
    for (const DeletedRow& row : truth.deleted) {
        if (row.table != "pdu" || row.versions.empty())
            continue;
        const auto found = parts.find(row.rowid);
        if (found == parts.end())
            continue;
        DeletedStoreMessage message;
        message.store = "mms";
        message.id = row.rowid;
        message.dateMs = integerAt(row.versions.back(), date) * 1000;
        message.direction = integerAt(row.versions.back(), box) == 1 ? 1 : 2;
        message.rowSurvival = row.survival;
        takeTextParts(message, found->second);
        out.push_back(std::move(message));
        parts.erase(found);
    }
    for (const auto& [mid, list] : parts) {
        DeletedStoreMessage message;
        message.store = "mms";
        message.id = mid;
        takeTextParts(message, list);
        out.push_back(std::move(message));
    }
}

// The deleted messages of a bugle_db truth with text parts; telephony rows
// are looked up in the mmssms.db truth's live rows.
void collectDeletedBugle(const DatabaseTruth& truth, const DatabaseTruth& sms,
                         std::vector<DeletedStoreMessage>& out) {
    auto parts = deletedTextParts(truth, "parts", "message_id", nullptr, "content_type");
    std::map<int64_t, int64_t> subIds;
    const size_t subId = columnOf(truth, "participants", "sub_id");
    for (const LiveRow& row : truth.live) {
        if (row.table == "participants")
            subIds[row.rowid] = integerAt(row.values, subId);
    }
    std::set<std::pair<std::string, int64_t>> liveTelephony;
    for (const LiveRow& row : sms.live) {
        if (row.table == "sms" || row.table == "pdu")
            liveTelephony.emplace(row.table == "sms" ? "sms" : "mms", row.rowid);
    }
    const size_t received = columnOf(truth, "messages", "received_timestamp");
    const size_t sender = columnOf(truth, "messages", "sender_id");
    const size_t uri = columnOf(truth, "messages", "sms_message_uri");
    for (const DeletedRow& row : truth.deleted) {
        if (row.table != "messages" || row.versions.empty())
            continue;
        const auto found = parts.find(row.rowid);
        if (found == parts.end())
            continue;
        const SqlRow& values = row.versions.back();
        DeletedStoreMessage message;
        message.store = "bugle";
        message.id = row.rowid;
        message.dateMs = integerAt(values, received);
        message.direction = subIds[integerAt(values, sender)] == -2 ? 1 : 2;
        message.rowSurvival = row.survival;
        message.telephonyUri = textAt(values, uri);
        for (const char* store : {"sms", "mms"}) {
            const std::string prefix = std::string("content://") + store + "/";
            if (message.telephonyUri.rfind(prefix, 0) == 0)
                message.telephonyLive = liveTelephony.count(
                    {store, std::stoll(message.telephonyUri.substr(prefix.size()))});
        }
        takeTextParts(message, found->second);
        out.push_back(std::move(message));
    }
}

// Counts the live rows of a table, those of m_type 134/136 left out for pdu.
size_t liveCount(const DatabaseTruth& truth, const std::string& table) {
    size_t count = 0;
    const size_t type = table == "pdu" ? columnOf(truth, "pdu", "m_type") : 0;
    for (const LiveRow& row : truth.live) {
        if (row.table != table)
            continue;
        if (table == "pdu" &&
            (integerAt(row.values, type) == 134 || integerAt(row.values, type) == 136))
            continue;
        ++count;
    }
    return count;
}

// Writes the MMS phone: ten threads (three of them groups), SMS and MMS, then
// deletions (two whole threads, single MMS, single SMS) and new messages
// reusing the freed space.
DatabaseTruth writeMmsPhone(const std::string& path, RandomSource& rng, int pageSize) {
    FileSettings settings;
    settings.pageSize = pageSize;
    settings.secureDelete = false;
    settings.journal = JournalMode::Persist;
    LayoutWriter w(path, settings);
    w.exec(mmsSmsSchema());
    w.exec("PRAGMA user_version = " + std::to_string(smsDbVersion(Generation::Modern)));
    w.noteSchema();
    w.startJournaling();
    std::vector<ThreadPlan> threads = writeThreads(w, rng, 10, 3);
    int64_t clock = kStartMs;
    int serial = 0;
    std::vector<TelephonyMessage> messages;
    for (const ThreadPlan& thread : threads) {
        for (TelephonyMessage& m : writeConversation(w, rng, thread, 4, 8, clock, serial))
            messages.push_back(std::move(m));
    }
    // Two whole conversations go at once, as the user deletes a thread.
    for (size_t t : {size_t(1), size_t(5)}) {
        const std::string id = std::to_string(threads[t].id);
        w.removeBySql("DELETE FROM pdu WHERE thread_id = " + id +
                      ";DELETE FROM sms WHERE thread_id = " + id +
                      ";DELETE FROM threads WHERE _id = " + id);
    }
    // Single messages of the other conversations, one deletion at a time.
    std::vector<int64_t> pdus, sms;
    for (const TelephonyMessage& m : messages) {
        if (m.threadId == threads[1].id || m.threadId == threads[5].id || !rng.chance(0.3))
            continue;
        (m.mms ? pdus : sms).push_back(m.id);
    }
    w.remove("pdu", pdus, 1);
    w.remove("sms", sms, 1);
    // New messages fill part of the freed space.
    for (size_t t : {size_t(0), size_t(3), size_t(7)})
        writeConversation(w, rng, threads[t], 1, 3, clock, serial);
    return w.finish();
}

// One bugle participant per number, the user's own first.
struct BugleIds {
    int64_t selfSim = 0;
    std::map<std::string, int64_t> participants;
};

// Writes the bugle phone: telephony threads and RCS-only conversations,
// every telephony message copied into bugle_db (most with their uri, some
// by text and time only), then deletions in either store, both, and of
// whole RCS conversations, with a checkpoint midway.
std::pair<DatabaseTruth, DatabaseTruth> writeBuglePhone(const std::string& smsPath,
                                                        const std::string& buglePath,
                                                        RandomSource& rng, int pageSize) {
    FileSettings smsSettings;
    smsSettings.pageSize = pageSize;
    smsSettings.secureDelete = true;
    smsSettings.journal = JournalMode::Truncate;
    LayoutWriter sms(smsPath, smsSettings);
    sms.exec(mmsSmsSchema());
    sms.noteSchema();
    sms.startJournaling();
    LayoutWriter bugle(buglePath, appStoreSettings(pageSize));
    startAppStore(bugle);

    std::vector<ThreadPlan> threads = writeThreads(sms, rng, 8, 2);
    int64_t clock = kStartMs;
    int serial = 0;
    std::vector<TelephonyMessage> telephony;
    for (const ThreadPlan& thread : threads) {
        for (TelephonyMessage& m : writeConversation(sms, rng, thread, 7, 2, clock, serial))
            telephony.push_back(std::move(m));
    }

    BugleIds ids;
    std::vector<std::pair<int64_t, const TelephonyMessage*>> copies;
    std::vector<int64_t> rcsConversations;
    std::vector<int64_t> rcsMessages;
    {
        Statement participant(
            bugle.db(), "INSERT INTO participants (sub_id, sim_slot_id, normalized_destination, "
                        "send_destination, display_destination) VALUES (?1, ?2, ?3, ?3, ?3)");
        bugle.exec("BEGIN");
        participant.bind(1, int64_t(-1)).bind(2, int64_t(-1)).bind(3, std::string("")).run();
        participant.bind(1, int64_t(1)).bind(2, int64_t(0)).bind(3, std::string(kOwnNumber)).run();
        ids.selfSim = sqlite3_last_insert_rowid(bugle.db());
        bugle.exec("COMMIT");
        const auto participantOf = [&](const std::string& number) {
            auto [at, added] = ids.participants.try_emplace(number, 0);
            if (added) {
                participant.bind(1, int64_t(-2)).bind(2, int64_t(-1)).bind(3, number).run();
                at->second = sqlite3_last_insert_rowid(bugle.db());
            }
            return at->second;
        };
        Statement conversation(bugle.db(),
                               "INSERT INTO conversations (sms_thread_id, name, "
                               "participant_count, sort_timestamp) VALUES (?1, ?2, ?3, ?4)");
        Statement member(bugle.db(), "INSERT INTO conversation_participants (conversation_id, "
                                     "participant_id) VALUES (?1, ?2)");
        Statement message(
            bugle.db(), "INSERT INTO messages (conversation_id, sender_id, sent_timestamp, "
                        "received_timestamp, message_protocol, message_status, seen, read, "
                        "sms_message_uri, self_id) VALUES (?1, ?2, ?3, ?4, ?5, ?6, 1, 1, ?7, ?8)");
        Statement part(bugle.db(), "INSERT INTO parts (message_id, text, content_type, "
                                   "conversation_id) VALUES (?1, ?2, 'text/plain', ?3)");
        const auto newConversation = [&](int64_t threadId,
                                         const std::vector<std::string>& members) {
            conversation.bind(1, threadId).bind(2, members.front());
            conversation.bind(3, int64_t(members.size())).bind(4, clock).run();
            const int64_t id = sqlite3_last_insert_rowid(bugle.db());
            for (const std::string& number : members)
                member.bind(1, id).bind(2, participantOf(number)).run();
            return id;
        };
        const auto newMessage = [&](int64_t conversationId, int64_t sender, int64_t dateMs,
                                    bool received, int protocol, const std::string& uri,
                                    const std::string& body) {
            message.bind(1, conversationId)
                .bind(2, sender)
                .bind(3, received ? dateMs - 3000 : dateMs);
            message.bind(4, dateMs).bind(5, int64_t(protocol)).bind(6, int64_t(received ? 100 : 1));
            if (uri.empty())
                message.bindNull(7);
            else
                message.bind(7, uri);
            message.bind(8, ids.selfSim).run();
            const int64_t id = sqlite3_last_insert_rowid(bugle.db());
            part.bind(1, id).bind(2, body).bind(3, conversationId).run();
            return id;
        };

        // The app's copies: one conversation per thread; a tenth of the copies
        // lost their uri (restored from a backup) and differ by up to a second.
        bugle.exec("BEGIN");
        std::map<int64_t, int64_t> conversationOf;
        for (const ThreadPlan& thread : threads)
            conversationOf[thread.id] = newConversation(thread.id, thread.members);
        for (const TelephonyMessage& m : telephony) {
            const bool linked = !rng.chance(0.1);
            const std::string uri = linked
                                        ? std::string(m.mms ? "content://mms/" : "content://sms/") +
                                              std::to_string(m.id)
                                        : std::string();
            const int64_t date = linked ? m.dateMs : m.dateMs + rng.between(-1000, 1000);
            const int64_t sender = m.received ? participantOf(m.sender) : ids.selfSim;
            copies.emplace_back(newMessage(conversationOf[m.threadId], sender, date, m.received,
                                           m.mms ? 1 : 0, uri, m.body),
                                &m);
        }
        bugle.exec("COMMIT");
        // RCS-only conversations: never in mmssms.db.
        bugle.exec("BEGIN");
        for (int c = 0; c < 3; ++c) {
            const std::string number = partnerNumber(rng);
            const int64_t id = newConversation(-1, {number});
            rcsConversations.push_back(id);
            for (int i = 0; i < 6; ++i) {
                clock += rng.between(20, 900) * 1000;
                const bool received = rng.chance(0.5);
                rcsMessages.push_back(newMessage(id, received ? participantOf(number) : ids.selfSim,
                                                 clock, received, 3, "",
                                                 messageText(rng, ++serial)));
            }
        }
        bugle.exec("COMMIT");
    }

    // Deletions: the app's copy only, the telephony copy only, or both.
    std::vector<int64_t> bugleOnly, smsOnly, mmsOnly, bugleBoth, smsBoth;
    for (const auto& [copy, m] : copies) {
        const double draw = rng.unit();
        if (draw < 0.2) {
            bugleOnly.push_back(copy);
        } else if (draw < 0.4) {
            (m->mms ? mmsOnly : smsOnly).push_back(m->id);
        } else if (draw < 0.5 && !m->mms) {
            bugleBoth.push_back(copy);
            smsBoth.push_back(m->id);
        }
    }
    const size_t half = bugleOnly.size() / 2;
    bugle.remove("messages", std::vector<int64_t>(bugleOnly.begin(), bugleOnly.begin() + half));
    bugle.checkpoint();
    bugle.remove("messages", std::vector<int64_t>(bugleOnly.begin() + half, bugleOnly.end()));
    sms.remove("sms", smsOnly);
    sms.remove("pdu", mmsOnly);
    bugle.remove("messages", bugleBoth);
    sms.remove("sms", smsBoth);
    bugle.remove("conversations", {rcsConversations[0]});
    bugle.remove("messages", {rcsMessages[7], rcsMessages[9], rcsMessages[16]});
    return {sms.finish(), bugle.finish()};
}

} // namespace

const char* storeKindName(StoreKind kind) {
    return kind == StoreKind::Mms ? "mms" : "bugle";
}

std::optional<StoreKind> storeKindFromName(const std::string& name) {
    if (name == "mms")
        return StoreKind::Mms;
    if (name == "bugle")
        return StoreKind::Bugle;
    return std::nullopt;
}

bool survives(const DeletedStoreMessage& message, bool withRow) {
    const auto kept = [](Survival s) { return s == Survival::Whole || s == Survival::HeaderLost; };
    return kept(message.textSurvival) && (!withRow || kept(message.rowSurvival));
}

StorePhoneTruth generateStorePhone(StoreKind kind, const std::string& dir, uint64_t seed,
                                   int pageSize) {
    std::filesystem::create_directories(dir);
    StorePhoneTruth truth;
    truth.smsDb = (std::filesystem::path(dir) / "mmssms.db").string();
    RandomSource rng(seed);
    if (kind == StoreKind::Mms) {
        truth.smsTruth = writeMmsPhone(truth.smsDb, rng, pageSize);
    } else {
        truth.bugleDb = (std::filesystem::path(dir) / "bugle_db").string();
        auto [sms, bugle] = writeBuglePhone(truth.smsDb, truth.bugleDb, rng, pageSize);
        truth.smsTruth = std::move(sms);
        truth.bugleTruth = std::move(bugle);
    }
    truth.liveSms = liveCount(truth.smsTruth, "sms");
    truth.liveMms = liveCount(truth.smsTruth, "pdu");
    collectDeletedMms(truth.smsTruth, truth.deleted);
    if (kind == StoreKind::Bugle) {
        truth.liveBugle = liveCount(truth.bugleTruth, "messages");
        collectDeletedBugle(truth.bugleTruth, truth.smsTruth, truth.deleted);
    }
    return truth;
}

void writeStoreTruthJson(const StorePhoneTruth& truth, const std::string& path) {
    Json::Value root;
    root["sms_db"] = truth.smsDb;
    root["bugle_db"] = truth.bugleDb;
    root["live"]["sms"] = Json::UInt64(truth.liveSms);
    root["live"]["mms"] = Json::UInt64(truth.liveMms);
    root["live"]["bugle"] = Json::UInt64(truth.liveBugle);
    root["deleted"] = Json::arrayValue;
    for (const DeletedStoreMessage& m : truth.deleted) {
        Json::Value item;
        item["store"] = m.store;
        item["id"] = Json::Int64(m.id);
        item["text"] = m.text;
        item["date_ms"] = Json::Int64(m.dateMs);
        item["direction"] = m.direction;
        item["class"] = survivalName(m.textSurvival);
        item["row_class"] = survivalName(m.rowSurvival);
        for (int64_t part : m.partIds)
            item["part_ids"].append(Json::Int64(part));
        if (!m.telephonyUri.empty()) {
            item["sms_message_uri"] = m.telephonyUri;
            item["telephony_live"] = m.telephonyLive;
        }
        root["deleted"].append(item);
    }
    std::ofstream out(path, std::ios::binary);
    Json::StreamWriterBuilder builder;
    builder["indentation"] = " ";
    out << Json::writeString(builder, root) << "\n";
    if (!out)
        throw std::runtime_error("testdata: cannot write " + path);
}

} // namespace testdata
