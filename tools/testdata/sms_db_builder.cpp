#include "sms_db_builder.h"

#include "android_schema.h"
#include "page_inspector.h"
#include "phone_numbers.h"
#include "sqlite_util.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace testdata {

// Every statement the builder runs per row, prepared once.
struct SmsDbBuilder::Statements {
    // Prepares all statements for a file of generation `g`.
    Statements(sqlite3* db, Generation g)
        : insertSms(db, hasModernColumns(g)
                            ? "INSERT INTO sms (_id, thread_id, address, person, date, date_sent,"
                              " protocol, read, status, type, reply_path_present, body,"
                              " service_center, locked, sub_id, error_code, creator, seen) VALUES"
                              " (?1, ?2, ?3, ?4, ?5, ?6, ?7, 1, -1, ?8, ?9, ?10, ?11, 0, 1, 0,"
                              " ?12, 1)"
                            : "INSERT INTO sms (_id, thread_id, address, person, date, date_sent,"
                              " protocol, read, status, type, reply_path_present, body,"
                              " service_center, locked, error_code, seen) VALUES (?1, ?2, ?3, ?4,"
                              " ?5, ?6, ?7, 1, -1, ?8, ?9, ?10, ?11, 0, 0, 1)"),
          insertThread(db, hasModernColumns(g)
                               ? "INSERT INTO threads (_id, date, message_count, recipient_ids,"
                                 " snippet, snippet_cs, read, archived, type, error,"
                                 " has_attachment) VALUES (?1, ?2, 0, ?3, ?4, 0, 1, 0, 0, 0, 0)"
                               : "INSERT INTO threads (_id, date, message_count, recipient_ids,"
                                 " snippet, snippet_cs, read, type, error, has_attachment) VALUES"
                                 " (?1, ?2, 0, ?3, ?4, 0, 1, 0, 0, 0)"),
          insertCanonical(db, "INSERT INTO canonical_addresses (_id, address) VALUES (?1, ?2)"),
          updateThread(db, "UPDATE threads SET date = ?2, message_count = ?3, snippet = ?4"
                           " WHERE _id = ?1"),
          deleteThread(db, "DELETE FROM threads WHERE _id = ?1"),
          deleteCanonical(db, "DELETE FROM canonical_addresses WHERE _id = ?1"),
          selectSms(db, "SELECT _id, thread_id, address, person, date, type, body FROM sms"
                        " WHERE _id = ?1"),
          deleteSms(db, "DELETE FROM sms WHERE _id = ?1") {}

    Statement insertSms, insertThread, insertCanonical, updateThread, deleteThread, deleteCanonical,
        selectSms, deleteSms;
};

// Key under which canonical_addresses keeps one entry per party: the last 11
// digits of a number, the lower-cased text of anything else.
static std::string canonicalKey(const std::string& address) {
    const std::string digits = digitsOf(address, false);
    if (digits.size() >= 3 && digits.size() + 4 >= address.size())
        return digits.size() > 11 ? digits.substr(digits.size() - 11) : digits;
    std::string lower = address;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

SmsDbBuilder::SmsDbBuilder(const std::string& path, const DbOptions& options)
    : m_path(path), m_options(options) {
    m_db = openFreshDatabase(path, options);
    try {
        execSql(m_db, "BEGIN");
        execSql(m_db, smsSchemaSql(options.generation));
        execSql(m_db, "PRAGMA user_version=" + std::to_string(smsDbVersion(options.generation)));
        m_st = std::make_unique<Statements>(m_db, options.generation);
    } catch (...) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw;
    }
}

SmsDbBuilder::~SmsDbBuilder() {
    try {
        close();
    } catch (...) {
    }
}

void SmsDbBuilder::begin() {
    if (sqlite3_get_autocommit(m_db))
        execSql(m_db, "BEGIN");
}

int64_t SmsDbBuilder::addThread(const Thread& thread) {
    begin();
    const int64_t id = thread.id > 0 ? thread.id : m_nextThreadId;
    if (m_threads.count(id))
        throw std::invalid_argument("testdata: thread " + std::to_string(id) + " exists");
    m_nextThreadId = std::max(m_nextThreadId, id + 1);

    const std::string key = canonicalKey(thread.address);
    auto it = m_canonical.find(key);
    if (it == m_canonical.end()) {
        const int64_t cid = m_nextCanonicalId++;
        m_st->insertCanonical.bind(1, cid).bind(2, thread.address).run();
        it = m_canonical.emplace(key, cid).first;
    }
    ++m_canonicalUse[it->second];

    m_st->insertThread.bind(1, id).bind(2, thread.dateMs).bind(3, std::to_string(it->second));
    m_st->insertThread.bind(4, thread.snippet).run();
    ThreadState& state = m_threads[id];
    state.thread = thread;
    state.thread.id = id;
    state.thread.messageCount = 0;
    state.canonicalId = it->second;
    return id;
}

int64_t SmsDbBuilder::addMessage(const Message& m) {
    begin();
    auto thread = m_threads.find(m.threadId);
    if (thread == m_threads.end())
        throw std::invalid_argument("testdata: no thread " + std::to_string(m.threadId));
    const int64_t id = m.id > 0 ? m.id : m_nextMessageId;
    m_nextMessageId = std::max(m_nextMessageId, id + 1);

    const bool received = m.type == 1;
    Statement& st = m_st->insertSms;
    st.bind(1, id).bind(2, m.threadId).bind(3, m.address).bind(4, m.person).bind(5, m.dateMs);
    // The service centre stamps whole seconds a little before the phone stores the message.
    if (received && m.dateMs)
        st.bind(6, (*m.dateMs / 1000 - id % 23) * 1000);
    else
        st.bind(6, int64_t(0));
    if (received)
        st.bind(7, int64_t(0)).bind(9, int64_t(0)).bind(11, std::string("+8613800100500"));
    st.bind(8, int64_t(m.type)).bind(10, m.body);
    if (hasModernColumns(m_options.generation))
        st.bind(12, std::string(received ? "com.android.phone" : "com.android.mms"));
    st.run();

    ThreadState& state = thread->second;
    const std::pair<int64_t, int64_t> key(m.dateMs.value_or(0), id);
    if (!state.messages.empty() && key < state.messages.back())
        state.sorted = false;
    state.messages.push_back(key);
    ++state.thread.messageCount;
    if (key > state.newest) {
        state.newest = key;
        state.thread.dateMs = m.dateMs.value_or(0);
        state.thread.snippet = m.body.value_or("");
    }
    state.dirty = true;
    return id;
}

void SmsDbBuilder::writeThread(ThreadState& s) {
    m_st->updateThread.bind(1, s.thread.id).bind(2, s.thread.dateMs);
    m_st->updateThread.bind(3, int64_t(s.thread.messageCount)).bind(4, s.thread.snippet).run();
    s.dirty = false;
}

void SmsDbBuilder::flushThreads() {
    for (auto& [id, state] : m_threads)
        if (state.dirty)
            writeThread(state);
}

std::optional<Message> SmsDbBuilder::message(int64_t id) {
    Statement& st = m_st->selectSms;
    st.bind(1, id);
    std::optional<Message> m;
    if (st.step()) {
        m.emplace();
        m->id = st.columnInt(0);
        m->threadId = st.columnInt(1);
        m->address = st.columnOptText(2);
        m->person = st.columnOptInt(3);
        m->dateMs = st.columnOptInt(4);
        m->type = static_cast<int>(st.columnInt(5));
        m->body = st.columnOptText(6);
    }
    st.reset();
    return m;
}

std::optional<Message> SmsDbBuilder::deleteMessage(int64_t id) {
    begin();
    std::optional<Message> m = message(id);
    if (!m)
        return m;
    m_st->deleteSms.bind(1, id).run();

    auto thread = m_threads.find(m->threadId);
    if (thread == m_threads.end())
        return m; // a thread the builder did not create: leave it alone
    ThreadState& s = thread->second;
    if (!s.sorted) {
        std::sort(s.messages.begin(), s.messages.end());
        s.sorted = true;
    }
    const std::pair<int64_t, int64_t> key(m->dateMs.value_or(0), id);
    const auto at = std::lower_bound(s.messages.begin(), s.messages.end(), key);
    if (at != s.messages.end() && *at == key)
        s.messages.erase(at);
    s.thread.messageCount = static_cast<int>(s.messages.size());
    if (s.messages.empty()) {
        m_st->deleteThread.bind(1, s.thread.id).run();
        if (--m_canonicalUse[s.canonicalId] == 0) {
            m_st->deleteCanonical.bind(1, s.canonicalId).run();
            m_canonicalUse.erase(s.canonicalId);
            std::erase_if(m_canonical, [&](const auto& e) { return e.second == s.canonicalId; });
        }
        m_threads.erase(thread);
        return m;
    }
    s.newest = s.messages.back();
    const auto [newestDate, newestId] = s.newest;
    s.thread.dateMs = newestDate;
    s.thread.snippet = message(newestId).value_or(Message{}).body.value_or("");
    writeThread(s);
    return m;
}

std::vector<Message> SmsDbBuilder::deleteMessages(const std::vector<int64_t>& ids) {
    std::vector<Message> out;
    for (int64_t id : ids)
        if (auto m = deleteMessage(id))
            out.push_back(std::move(*m));
    return out;
}

std::vector<Message> SmsDbBuilder::deleteNeighbourMessages(int nth) {
    commit();
    const auto pair = findNeighbourRows(m_path, "sms", nth);
    if (!pair)
        return {};
    return deleteMessages({pair->first, pair->second});
}

std::optional<Message> SmsDbBuilder::deleteContentStartMessage(int nth) {
    commit();
    const auto id = findContentStartRow(m_path, "sms", nth);
    if (!id)
        return std::nullopt;
    return deleteMessage(*id);
}

std::vector<Thread> SmsDbBuilder::threads() const {
    std::vector<Thread> out;
    out.reserve(m_threads.size());
    for (const auto& [id, state] : m_threads)
        out.push_back(state.thread);
    return out;
}

void SmsDbBuilder::commit() {
    if (!m_db)
        return;
    flushThreads();
    if (!sqlite3_get_autocommit(m_db))
        execSql(m_db, "COMMIT");
}

void SmsDbBuilder::close() {
    if (!m_db)
        return;
    try {
        begin();
        flushThreads();
    } catch (...) {
        m_st.reset();
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw;
    }
    m_st.reset();
    sqlite3* db = m_db;
    m_db = nullptr;
    finishDatabase(db, m_options);
}

void SmsDbBuilder::upgradeToModern() {
    if (!m_db || m_options.generation != Generation::Old)
        throw std::logic_error("testdata: only an open 4.x file can be upgraded");
    commit();
    m_st.reset();
    execSql(m_db, smsUpgradeSql());
    execSql(m_db, "PRAGMA user_version=" + std::to_string(smsDbVersion(Generation::Upgraded)));
    m_options.generation = Generation::Upgraded;
    m_st = std::make_unique<Statements>(m_db, m_options.generation);
}

sqlite3* SmsDbBuilder::detach() {
    commit();
    m_st.reset();
    sqlite3* db = m_db;
    m_db = nullptr;
    return db;
}

} // namespace testdata
