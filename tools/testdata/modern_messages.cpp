// mmssms.db of a modern phone: years of conversations, a recent use with one
// transaction per message and per conversation read, deletions as the
// telephony provider makes them, ending with a whole conversation.
#include "content_generator.h"
#include "modern_phone_parts.h"
#include "sms_db_builder.h"
#include "sqlite_util.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <unordered_map>

namespace testdata {

namespace {

// The messages on the phone as the generator knows them, to pick deletions from.
class SavedMessages {
  public:
    // Remembers message `id` of `thread`.
    void add(int64_t thread, int64_t id) {
        m_all.emplace_back(thread, id);
        ++m_perThread[thread];
    }
    // Messages left in `thread`.
    size_t inThread(int64_t thread) const {
        auto it = m_perThread.find(thread);
        return it == m_perThread.end() ? 0 : it->second;
    }

    // Takes a random message outside `spared` out of the list and returns its
    // id; 0 when there is none.
    int64_t takeMessage(RandomSource& rng, int64_t spared) {
        for (int attempt = 0; attempt < 64 && !m_all.empty(); ++attempt) {
            const size_t at = rng.below(m_all.size());
            if (m_all[at].first != spared)
                return takeAt(at);
        }
        for (size_t at = 0; at < m_all.size(); ++at)
            if (m_all[at].first != spared)
                return takeAt(at);
        return 0;
    }

    // Takes every message of `thread` out of the list; returns their ids.
    std::vector<int64_t> takeThread(int64_t thread) {
        std::vector<int64_t> ids;
        for (const auto& [t, id] : m_all)
            if (t == thread)
                ids.push_back(id);
        std::erase_if(m_all, [&](const auto& m) { return m.first == thread; });
        m_perThread.erase(thread);
        std::sort(ids.begin(), ids.end());
        return ids;
    }

  private:
    // Removes entry `at` (order does not matter) and returns its id.
    int64_t takeAt(size_t at) {
        const auto [thread, id] = m_all[at];
        m_all[at] = m_all.back();
        m_all.pop_back();
        --m_perThread[thread];
        return id;
    }

    std::vector<std::pair<int64_t, int64_t>> m_all; // (thread, id)
    std::unordered_map<int64_t, size_t> m_perThread;
};

// The conversation the last session deletes whole: a short one (2 to 12
// messages) when there is one, else the shortest with two or more.
int64_t conversationToDelete(RandomSource& rng, const std::vector<int64_t>& threads,
                             const SavedMessages& saved) {
    std::vector<int64_t> shortOnes;
    int64_t shortest = 0;
    for (int64_t t : threads) {
        const size_t n = saved.inThread(t);
        if (n >= 2 && n <= 12)
            shortOnes.push_back(t);
        if (n >= 2 && (shortest == 0 || n < saved.inThread(shortest)))
            shortest = t;
    }
    return shortOnes.empty() ? shortest : rng.pick(shortOnes);
}

} // namespace

DatabaseTruth buildModernMessages(const std::string& path, const ModernPhoneSpec& spec,
                                  const DatabasePlan& plan, RandomSource& rng,
                                  std::vector<Correspondent> people,
                                  const std::map<std::string, int64_t>& services) {
    SmsDbBuilder builder(path, creationOptions(plan));
    RowHistory history(builder.db());
    history.noteSchema();
    SavedMessages saved;

    PartyPicker picker(rng, std::move(people), services);
    std::vector<int64_t> threadIds;
    std::vector<Party> parties;
    int64_t threadNext = 1000;
    for (int t = 0; t < spec.threads; ++t) {
        Party p = picker.next(rng, t);
        Thread th;
        th.id = nextHistoryId(rng, threadNext);
        th.address = p.address;
        threadIds.push_back(builder.addThread(th));
        parties.push_back(std::move(p));
    }

    int64_t messageNext = 1000;
    int64_t date = 1551398400000; // 2019-03-01 00:00 UTC
    const int64_t maxGap =
        std::clamp<int64_t>(2 * 5 * 365 * 86400000LL / spec.messages, 2000, 6 * 3600000LL);
    // Adds a message of conversation `t` and returns it.
    auto addMessage = [&](size_t t) {
        const Party& p = parties[t];
        date += rng.between(1000, maxGap);
        Message m;
        m.id = nextHistoryId(rng, messageNext);
        m.threadId = threadIds[t];
        m.dateMs = date;
        addressMessage(p, p.kind == Party::Service || rng.chance(0.55), m);
        m.body = p.kind == Party::Service ? makeServiceBody(rng, p.address) : makeBody(rng, true);
        builder.addMessage(m);
        saved.add(m.threadId, m.id);
        return m;
    };
    // Marks a received message unread, as it arrives.
    auto markUnread = [&](int64_t id) {
        runWithId(builder.db(), "UPDATE sms SET read = 0, seen = 0 WHERE _id = ?1", id);
    };
    // Deletes `count` random messages outside conversation `spared`, one transaction
    // per `perTransaction` of them.
    auto deleteMessages = [&](size_t count, int perTransaction, int64_t spared) {
        CommitPacer pacer(perTransaction, [&] { builder.commit(); });
        for (size_t i = 0; i < count; ++i) {
            const int64_t id = saved.takeMessage(rng, spared);
            if (id == 0)
                break;
            builder.deleteMessage(id);
            pacer.done();
        }
        builder.commit();
    };

    // Years of use: the newest received messages of some conversations are still unread.
    std::vector<std::vector<int64_t>> receivedIn(threadIds.size());
    for (int i = 0; i < spec.messages; ++i) {
        const size_t t = i < spec.threads
                             ? static_cast<size_t>(i)
                             : static_cast<size_t>(std::pow(rng.unit(), 2.0) * threadIds.size());
        const Message m = addMessage(t);
        if (m.type == 1)
            receivedIn[t].push_back(m.id);
    }
    std::set<size_t> unread;
    for (size_t t = 0; t < threadIds.size(); ++t) {
        if (receivedIn[t].empty() || !rng.chance(0.35))
            continue;
        unread.insert(t);
        for (size_t k = 0; k < 3 && k < receivedIn[t].size(); ++k)
            markUnread(receivedIn[t][receivedIn[t].size() - 1 - k]);
    }
    builder.commit();

    const auto target =
        static_cast<size_t>(double(spec.messages + spec.newMessages) * spec.deleteFraction + 0.5);
    const DeletionShares shares = splitDeletions(target, plan);
    if (shares.oldEra > 0)
        deleteMessages(shares.oldEra, INT_MAX, 0);
    if (plan.upgraded) {
        builder.upgradeToModern();
        history.noteSchema();
    }

    applyJournaling(builder.db(), plan.journaling);
    // The recent use: messages come and go one at a time, then get read.
    std::vector<size_t> liveThreads;
    for (size_t t = 0; t < threadIds.size(); ++t)
        if (saved.inThread(threadIds[t]) > 0)
            liveThreads.push_back(t);
    for (int i = 0; i < spec.newMessages && !liveThreads.empty(); ++i) {
        const size_t t = rng.pick(liveThreads);
        const Message m = addMessage(t);
        if (m.type == 1) {
            markUnread(m.id);
            unread.insert(t);
        }
        builder.commit();
    }
    for (size_t t : unread) {
        if (saved.inThread(threadIds[t]) == 0)
            continue;
        runWithId(builder.db(),
                  "UPDATE sms SET read = 1, seen = 1 WHERE thread_id = ?1 AND read = 0",
                  threadIds[t]);
    }

    const int64_t conversation = conversationToDelete(rng, threadIds, saved);
    deleteMessages(shares.recentUse, spec.deletionsPerTransaction, conversation);
    if (plan.checkpointMidway)
        checkpointWal(builder.db());
    const size_t whole = saved.inThread(conversation);
    deleteMessages(shares.lastSession > whole ? shares.lastSession - whole : 0,
                   spec.deletionsPerTransaction, conversation);
    // Last, the user deletes one whole conversation: one transaction.
    if (conversation != 0) {
        builder.deleteMessages(saved.takeThread(conversation));
        builder.commit();
    }

    sqlite3* db = builder.detach();
    return finishAsPhone(db, history, path, plan);
}

} // namespace testdata
