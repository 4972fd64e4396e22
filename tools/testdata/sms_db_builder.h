// Builds an mmssms.db with the real Android table layout and deletes messages
// the way the telephony provider does (recount the thread, drop it when empty).
#pragma once

#include "testdata_types.h"

#include <sqlite3.h>

#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

// Writes one mmssms.db. All writes go into one open transaction that commit() or
// close() ends; the file is complete on disk only after close(). Errors throw
// std::runtime_error.
class SmsDbBuilder {
  public:
    // Creates `path` (an older file there is replaced) with the full schema.
    SmsDbBuilder(const std::string& path, const DbOptions& options);
    // Closes the file if close() was not called (errors are swallowed there).
    ~SmsDbBuilder();
    SmsDbBuilder(const SmsDbBuilder&) = delete;
    SmsDbBuilder& operator=(const SmsDbBuilder&) = delete;

    // Adds a conversation with one recipient (thread.address, entered into
    // canonical_addresses once). Its date, count and snippet then follow the
    // messages added to it; the values passed stand until the first message.
    // Returns the thread id (an id of 0 gets the next free id).
    int64_t addThread(const Thread& thread);
    // Adds a message to an existing thread and returns its id (0 = next free id).
    // The columns not in Message get what the phone writes for the type
    // (date_sent, protocol, read, seen, status, service_center, ...).
    int64_t addMessage(const Message& message);

    // Deletes a message as the provider does: the row goes, the thread's count,
    // date and snippet are recomputed from the newest remaining message, and an
    // emptied thread is deleted with its now unused canonical address. Returns
    // the message, or nothing if there was no such row.
    std::optional<Message> deleteMessage(int64_t id);
    // Deletes the given messages one after the other; returns those that existed.
    std::vector<Message> deleteMessages(const std::vector<int64_t>& ids);
    // Deletes two messages whose cells lie next to each other on one leaf page (so
    // their freeblocks merge). Returns them, lower address first; empty if none.
    std::vector<Message> deleteNeighbourMessages(int nth = 0);
    // Deletes the message whose cell starts the cell content area of a leaf page,
    // so its bytes end up in the page's unallocated gap.
    std::optional<Message> deleteContentStartMessage(int nth = 0);

    // Reads a message back; nothing if it does not exist.
    std::optional<Message> message(int64_t id);
    // The live threads as the file holds them after the next commit, by id.
    std::vector<Thread> threads() const;

    // Commits the open transaction (writing pending thread updates) so the file
    // can be inspected; later writes open a new one.
    void commit();
    // The connection, for extra statements of a test.
    sqlite3* db() { return m_db; }
    // Path of the file being built.
    const std::string& path() const { return m_path; }
    // Commits, applies WAL if asked and closes. Further calls do nothing.
    void close();

    // Upgrades a file built as Generation::Old in place, as the first start of a
    // newer Android does: ALTER TABLE appends the newer columns, so the rows
    // written so far keep their shorter 4.x records, and rows added later get
    // the new columns. Throws std::logic_error for any other generation.
    void upgradeToModern();
    // Commits and hands the open connection to the caller, who closes it; the
    // builder is closed afterwards and leaves the journal mode as it is.
    sqlite3* detach();

  private:
    // What the builder tracks per thread to update it without scanning table sms.
    struct ThreadState {
        Thread thread;
        int64_t canonicalId = 0;
        // (date, id) of its messages; appended in date order as a rule, sorted on demand.
        std::vector<std::pair<int64_t, int64_t>> messages;
        std::pair<int64_t, int64_t> newest{INT64_MIN, 0}; // (date, id) of the newest message
        bool sorted = true;
        bool dirty = false;
    };
    struct Statements;

    // Opens the write transaction if none is open.
    void begin();
    // Writes the date, count and snippet of every changed thread.
    void flushThreads();
    // Writes one thread's date, count and snippet.
    void writeThread(ThreadState& state);

    std::string m_path;
    DbOptions m_options;
    sqlite3* m_db = nullptr;
    std::map<int64_t, ThreadState> m_threads;
    std::map<std::string, int64_t> m_canonical; // address key -> canonical id
    std::map<int64_t, int> m_canonicalUse;      // canonical id -> threads using it
    int64_t m_nextMessageId = 1, m_nextThreadId = 1, m_nextCanonicalId = 1;
    std::unique_ptr<Statements> m_st;
};

} // namespace testdata
