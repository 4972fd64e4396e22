#include "app_store.h"

#include "android_schema.h"
#include "layout_writer.h"
#include "sqlite_util.h"

#include <filesystem>
#include <map>
#include <stdexcept>
#include <vector>

namespace testdata {

namespace {

constexpr const char* kOwnNumber = "+15550100000";

// A live SMS of the telephony store.
struct TelephonySms {
    int64_t id = 0;
    int64_t threadId = 0;
    std::string address;
    int64_t dateMs = 0;
    bool received = true;
    std::string body;
};

// Returns an SQLite URI that opens path read-only and as immutable: no lock
// is taken and no journal beside it is rolled back.
std::string immutableUri(const std::string& path) {
    std::string uri = "file:";
    for (const char c : std::filesystem::absolute(path).string()) {
        if (c == '%' || c == '?' || c == '#') {
            static const char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[(unsigned char)c >> 4];
            uri += kHex[(unsigned char)c & 15];
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

// Reads the live SMS of smsDb in id order.
std::vector<TelephonySms> readLiveSms(const std::string& smsDb) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(immutableUri(smsDb).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + smsDb);
    }
    std::vector<TelephonySms> messages;
    try {
        Statement rows(db, "SELECT _id, thread_id, address, date, type, body FROM sms WHERE "
                           "thread_id IS NOT NULL AND address IS NOT NULL ORDER BY _id");
        while (rows.step()) {
            messages.push_back({rows.columnInt(0), rows.columnInt(1), rows.columnText(2),
                                rows.columnInt(3), rows.columnInt(4) == 1, rows.columnText(5)});
        }
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    return messages;
}

// The app's rows, written through one set of statements.
class AppWriter {
  public:
    explicit AppWriter(LayoutWriter& w)
        : m_participant(w.db(), "INSERT INTO participants (sub_id, sim_slot_id, "
                                "normalized_destination, send_destination, display_destination) "
                                "VALUES (?1, ?2, ?3, ?3, ?3)"),
          m_conversation(w.db(), "INSERT INTO conversations (sms_thread_id, name, "
                                 "participant_count, sort_timestamp) VALUES (?1, ?2, 1, ?3)"),
          m_member(w.db(), "INSERT INTO conversation_participants (conversation_id, "
                           "participant_id) VALUES (?1, ?2)"),
          m_message(w.db(), "INSERT INTO messages (conversation_id, sender_id, sent_timestamp, "
                            "received_timestamp, message_protocol, message_status, seen, read, "
                            "sms_message_uri, self_id) VALUES (?1, ?2, ?3, ?4, ?5, ?6, 1, 1, ?7, "
                            "?8)"),
          m_part(w.db(), "INSERT INTO parts (message_id, text, content_type, conversation_id) "
                         "VALUES (?1, ?2, 'text/plain', ?3)"),
          m_db(w.db()) {
        m_participant.bind(1, int64_t(-1)).bind(2, int64_t(-1)).bind(3, std::string("")).run();
        m_participant.bind(1, int64_t(1)).bind(2, int64_t(0)).bind(3, std::string(kOwnNumber));
        m_participant.run();
        m_self = sqlite3_last_insert_rowid(m_db);
    }

    // The participant of a number, added on first use.
    int64_t participant(const std::string& number) {
        auto [at, added] = m_participants.try_emplace(number, 0);
        if (added) {
            m_participant.bind(1, int64_t(-2)).bind(2, int64_t(-1)).bind(3, number).run();
            at->second = sqlite3_last_insert_rowid(m_db);
        }
        return at->second;
    }

    // A conversation with one other party; threadId -1 when telephony has none.
    int64_t conversation(int64_t threadId, const std::string& number, int64_t sortMs) {
        m_conversation.bind(1, threadId).bind(2, number).bind(3, sortMs).run();
        const int64_t id = sqlite3_last_insert_rowid(m_db);
        m_member.bind(1, id).bind(2, participant(number)).run();
        return id;
    }

    // A message with its one text part; protocol 0 SMS, 3 a chat message.
    int64_t message(int64_t conversation, const std::string& number, int64_t dateMs, bool received,
                    int protocol, const std::string& uri, const std::string& text) {
        m_message.bind(1, conversation)
            .bind(2, received ? participant(number) : m_self)
            .bind(3, received ? dateMs - 3000 : dateMs)
            .bind(4, dateMs)
            .bind(5, int64_t(protocol))
            .bind(6, int64_t(received ? 100 : 2));
        if (uri.empty())
            m_message.bindNull(7);
        else
            m_message.bind(7, uri);
        m_message.bind(8, m_self).run();
        const int64_t id = sqlite3_last_insert_rowid(m_db);
        m_part.bind(1, id).bind(2, text).bind(3, conversation).run();
        return id;
    }

  private:
    Statement m_participant, m_conversation, m_member, m_message, m_part;
    sqlite3* m_db;
    int64_t m_self = 0;
    std::map<std::string, int64_t> m_participants;
};

} // namespace

FileSettings appStoreSettings(int pageSize) {
    FileSettings settings;
    settings.pageSize = pageSize;
    settings.secureDelete = true;
    settings.journal = JournalMode::Wal;
    return settings;
}

void startAppStore(LayoutWriter& w) {
    w.exec(bugleSchemaSql());
    w.exec("PRAGMA foreign_keys = ON");
    w.noteSchema();
    w.startJournaling();
}

DatabaseTruth writeAppStoreFor(const std::string& smsDb, const std::string& bugleDb) {
    const std::vector<TelephonySms> sms = readLiveSms(smsDb);
    if (sms.empty())
        throw std::runtime_error(smsDb + " holds no live SMS to copy");
    const std::filesystem::path folder = std::filesystem::path(bugleDb).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder);
    LayoutWriter w(bugleDb, appStoreSettings(4096));
    startAppStore(w);

    std::vector<int64_t> chatIds;
    {
        AppWriter app(w); // its statements end before the files are closed
        std::map<int64_t, int64_t> conversationOf;
        int64_t lastId = 0;
        int64_t lastDate = 0;
        w.exec("BEGIN");
        for (const TelephonySms& m : sms) {
            auto [at, added] = conversationOf.try_emplace(m.threadId, 0);
            if (added)
                at->second = app.conversation(m.threadId, m.address, m.dateMs);
            app.message(at->second, m.address, m.dateMs, m.received, 0,
                        "content://sms/" + std::to_string(m.id), m.body);
            lastId = std::max(lastId, m.id);
            lastDate = std::max(lastDate, m.dateMs);
        }
        // Two messages the telephony store lost and the app kept: their links
        // name rows mmssms.db no longer has.
        // They go to another party than the chat below.
        const TelephonySms* lostAt = &sms[sms.size() / 2];
        for (const TelephonySms& m : sms) {
            if (m.threadId != sms.front().threadId && m.received)
                lostAt = &m;
        }
        const TelephonySms& lost = *lostAt;
        app.message(conversationOf[lost.threadId], lost.address, lost.dateMs + 60'000, true, 0,
                    "content://sms/" + std::to_string(lastId + 1001), "Call me when you land");
        app.message(conversationOf[lost.threadId], lost.address, lost.dateMs + 95'000, false, 0,
                    "content://sms/" + std::to_string(lastId + 1002), "Landed, waiting for my bag");
        w.exec("COMMIT");

        // A chat with the first thread's party that never reached the telephony store.
        const std::string& chatParty = sms.front().address;
        const char* const chat[] = {
            "Are you still at the station?", "Yes, the train is late again",
            "I'll wait at the coffee place", "Sent you the photo of the tickets",
            "Got it, see you at 7",          "Running 10 minutes late, sorry"};
        w.exec("BEGIN");
        const int64_t chatConversation = app.conversation(-1, chatParty, lastDate + 600'000);
        int64_t clock = lastDate + 60'000;
        for (size_t i = 0; i < std::size(chat); ++i) {
            clock += 47'000 + int64_t(i) * 13'000;
            chatIds.push_back(
                app.message(chatConversation, chatParty, clock, i % 2 == 0, 3, "", chat[i]));
        }
        w.exec("COMMIT");
    }
    // The older pages stay in the database file; the deletions go to the -wal.
    w.checkpoint();
    w.remove("messages", {chatIds[1], chatIds[3]});
    return w.finish();
}

} // namespace testdata
