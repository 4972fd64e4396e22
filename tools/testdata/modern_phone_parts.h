// The two halves of a modern phone's generation, shared by modern_phone.cpp,
// modern_contacts.cpp and modern_messages.cpp.
#pragma once

#include "conversation_party.h"
#include "modern_phone.h"
#include "random_source.h"
#include "row_history.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testdata {

// What the contacts side hands to the messages side.
struct ContactsOutcome {
    DatabaseTruth truth;
    std::vector<Correspondent> people;
    std::map<std::string, int64_t> services; // saved short code -> raw contact id
};

// How many rows each stage of a database's life deletes.
struct DeletionShares {
    size_t oldEra = 0;      // before the recent use (4.x files only)
    size_t recentUse = 0;   // during it
    size_t lastSession = 0; // after it (and after the midway checkpoint)
};

// Splits `total` deletions over the stages `plan` has.
DeletionShares splitDeletions(size_t total, const DatabasePlan& plan);

// Builds contacts2.db at `path` through its whole history.
ContactsOutcome buildModernContacts(const std::string& path, const ModernPhoneSpec& spec,
                                    const DatabasePlan& plan, RandomSource& rng);

// Builds mmssms.db at `path` through its whole history, with conversations with
// `people`, saved services and strangers.
DatabaseTruth buildModernMessages(const std::string& path, const ModernPhoneSpec& spec,
                                  const DatabasePlan& plan, RandomSource& rng,
                                  std::vector<Correspondent> people,
                                  const std::map<std::string, int64_t>& services);

// Ids upwards from `next`, with the occasional gap a phone's history leaves.
int64_t nextHistoryId(RandomSource& rng, int64_t& next);

// Runs `sql` with `id` bound to ?1.
void runWithId(sqlite3* db, const std::string& sql, int64_t id);

// The file options a database of `plan` is created with.
DbOptions creationOptions(const DatabasePlan& plan);

// Commits the builder's transaction after every `every`-th call.
class CommitPacer {
  public:
    // Paces commits of `commit` (a builder's commit function).
    template <typename Commit>
    CommitPacer(int every, Commit commit) : m_every(every < 1 ? 1 : every), m_commit(commit) {}
    // Counts one action and commits when its batch is full.
    void done() {
        if (++m_count % m_every == 0)
            m_commit();
    }

  private:
    int m_every;
    int m_count = 0;
    std::function<void()> m_commit;
};

// Takes the plan's final checkpoint on `db` (handed over by its builder, no
// transaction open), captures the truth, closes the connection leaving the
// files as the phone would, and works out which deleted rows survive.
DatabaseTruth finishAsPhone(sqlite3* db, RowHistory& history, const std::string& path,
                            const DatabasePlan& plan);

} // namespace testdata
