#include "modern_phone.h"

#include "modern_phone_parts.h"
#include "sqlite_util.h"
#include "survival_search.h"

#include <filesystem>
#include <stdexcept>

namespace testdata {

namespace {

const std::vector<std::pair<PhoneKind, const char*>> kKindNames = {
    {PhoneKind::Wal, "wal"},
    {PhoneKind::WalCheckpointed, "wal-checkpointed"},
    {PhoneKind::WalRestarted, "wal-restarted"},
    {PhoneKind::Persist, "persist"},
    {PhoneKind::Truncate, "truncate"},
    {PhoneKind::Upgraded, "upgraded"},
    {PhoneKind::Large, "large"},
    {PhoneKind::Classic, "classic"},
};

// A database kept in WAL mode that SQLite checkpoints every `autocheckpoint` pages (0: never).
DatabasePlan walPlan(int autocheckpoint) {
    DatabasePlan plan;
    plan.journaling.mode = JournalMode::Wal;
    plan.journaling.walAutocheckpoint = autocheckpoint;
    return plan;
}

// A database kept with a rollback journal of `mode`.
DatabasePlan rollbackPlan(JournalMode mode) {
    DatabasePlan plan;
    plan.journaling.mode = mode;
    return plan;
}

} // namespace

std::vector<PhoneKind> allPhoneKinds() {
    std::vector<PhoneKind> kinds;
    for (const auto& [kind, name] : kKindNames)
        kinds.push_back(kind);
    return kinds;
}

const char* phoneKindName(PhoneKind kind) {
    for (const auto& [k, name] : kKindNames)
        if (k == kind)
            return name;
    return "wal";
}

std::optional<PhoneKind> phoneKindFromName(const std::string& name) {
    for (const auto& [kind, n] : kKindNames)
        if (name == n)
            return kind;
    return std::nullopt;
}

PhonePlan phonePlan(PhoneKind kind) {
    PhonePlan plan;
    switch (kind) {
    case PhoneKind::Wal:
        // Android 10+: the contacts provider runs WAL, the telephony provider does not.
        plan.contacts = walPlan(0);
        plan.sms = rollbackPlan(JournalMode::Persist);
        break;
    case PhoneKind::WalCheckpointed:
        // mmssms.db in WAL too, as early Android 9 builds' compatibility WAL ran it.
        plan.contacts = plan.sms = walPlan(0);
        plan.contacts.checkpointAtEnd = plan.sms.checkpointAtEnd = true;
        break;
    case PhoneKind::WalRestarted:
        plan.contacts = plan.sms = walPlan(0);
        plan.contacts.checkpointMidway = plan.sms.checkpointMidway = true;
        break;
    case PhoneKind::Persist:
        // Low-RAM devices keep contacts2.db out of WAL.
        plan.contacts = plan.sms = rollbackPlan(JournalMode::Persist);
        break;
    case PhoneKind::Truncate:
        plan.contacts = plan.sms = rollbackPlan(JournalMode::Truncate);
        break;
    case PhoneKind::Upgraded:
        plan.contacts = walPlan(0);
        plan.sms = rollbackPlan(JournalMode::Persist);
        plan.contacts.generation = plan.sms.generation = Generation::Old;
        plan.contacts.upgraded = plan.sms.upgraded = true;
        break;
    case PhoneKind::Large:
        // contacts2.db as in Wal, so every deletion leaves its traces; mmssms.db in
        // compatibility WAL with SQLite's own checkpoints every 1000 pages, so its
        // log restarts again and again over older frames.
        plan.contacts = walPlan(0);
        plan.sms = walPlan(1000);
        break;
    case PhoneKind::Classic:
        plan.contacts = plan.sms = rollbackPlan(JournalMode::Delete);
        plan.contacts.generation = plan.sms.generation = Generation::Old;
        plan.contacts.journaling.secureDelete = plan.sms.journaling.secureDelete = false;
        break;
    }
    return plan;
}

ModernPhoneSpec modernPhoneSpec(PhoneKind kind, uint64_t seed) {
    ModernPhoneSpec spec;
    spec.kind = kind;
    spec.seed = seed;
    if (kind == PhoneKind::Large) {
        spec.contacts = 1500;
        spec.messages = 30000;
        spec.threads = 300;
        spec.newContacts = 40;
        spec.newMessages = 400;
        spec.deletionsPerTransaction = 25;
    }
    return spec;
}

DeletionShares splitDeletions(size_t total, const DatabasePlan& plan) {
    DeletionShares shares;
    shares.oldEra = plan.generation == Generation::Old ? total * 3 / 10 : 0;
    const size_t rest = total - shares.oldEra;
    // After a midway checkpoint the last session stays short, so the restarted
    // log writes fewer frames than the one before it and leaves stale frames.
    shares.recentUse = rest * (plan.checkpointMidway ? 8 : 6) / 10;
    shares.lastSession = rest - shares.recentUse;
    return shares;
}

int64_t nextHistoryId(RandomSource& rng, int64_t& next) {
    const int64_t id = next;
    next += 1 + (rng.chance(0.08) ? rng.between(1, 6) : 0);
    return id;
}

void runWithId(sqlite3* db, const std::string& sql, int64_t id) {
    Statement st(db, sql);
    st.bind(1, id).run();
}

DbOptions creationOptions(const DatabasePlan& plan) {
    DbOptions options;
    options.generation = plan.generation;
    // A 4.x file lived without secure_delete until its upgrade.
    options.zeroDeleted = plan.generation != Generation::Old && plan.journaling.secureDelete;
    return options;
}

DatabaseTruth finishAsPhone(sqlite3* db, RowHistory& history, const std::string& path,
                            const DatabasePlan& plan) {
    DatabaseTruth truth;
    try {
        if (plan.checkpointAtEnd)
            checkpointWal(db);
        truth = history.capture();
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    closeAsPhone(db, path);
    truth.path = path;
    findSurvivors(truth);
    return truth;
}

ModernPhoneTruth generateModernPhone(const std::string& dir, const ModernPhoneSpec& spec) {
    if (spec.deleteFraction < 0 || spec.deleteFraction > 0.45)
        throw std::invalid_argument("testdata: deleteFraction must be within 0 ... 0.45");
    if (spec.contacts < 1 || spec.messages < 1 || spec.threads < 1 || spec.newContacts < 0 ||
        spec.newMessages < 0)
        throw std::invalid_argument("testdata: a phone needs contacts, messages and threads");
    std::filesystem::create_directories(dir);
    const std::filesystem::path base(dir);
    ModernPhoneTruth truth;
    truth.kind = spec.kind;
    truth.plan = phonePlan(spec.kind);
    RandomSource rng(spec.seed);
    ContactsOutcome contacts =
        buildModernContacts((base / "contacts2.db").string(), spec, truth.plan.contacts, rng);
    truth.contacts = std::move(contacts.truth);
    truth.sms = buildModernMessages((base / "mmssms.db").string(), spec, truth.plan.sms, rng,
                                    std::move(contacts.people), contacts.services);
    return truth;
}

} // namespace testdata
