// Phones as Android 8 and later leave their databases: secure_delete on, a
// contacts2.db in WAL mode, an mmssms.db with a rollback journal, and the
// kinds a recovery has to face (WAL checkpointed or restarted, PERSIST and
// TRUNCATE journals, a phone upgraded from 4.x, a large phone, an old phone
// without secure_delete). Each comes with its ground truth: the rows deleted
// over its history, which of them survive anywhere in the pulled files, and
// the live rows of the current state.
#pragma once

#include "database_truth.h"
#include "phone_journal.h"
#include "testdata_types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

enum class PhoneKind {
    Wal, // contacts2.db with a WAL nobody checkpointed, mmssms.db with a PERSIST journal
    WalCheckpointed, // both in WAL mode, checkpointed after the deletions, the -wal still full
    WalRestarted,    // both in WAL mode, checkpointed midway: the log restarted over older frames
    Persist,         // both with PERSIST journals
    Truncate,        // both with TRUNCATE journals
    Upgraded,        // begun on 4.x (short records, deletions without secure_delete), then 10+
    Large,           // tens of thousands of messages; messages in WAL with SQLite's own checkpoints
    Classic,         // Android 4.x: secure_delete off, DELETE journals
};

// Every kind, in declaration order.
std::vector<PhoneKind> allPhoneKinds();
// "wal", "wal-checkpointed", "wal-restarted", "persist", "truncate",
// "upgraded", "large" or "classic".
const char* phoneKindName(PhoneKind kind);
// The kind of a name phoneKindName gives, if any.
std::optional<PhoneKind> phoneKindFromName(const std::string& name);

// How one of the phone's databases was made and kept.
struct DatabasePlan {
    // Column order the file was created with. A 4.x file (Old) is written with
    // secure_delete off and loses some rows before the recent use.
    Generation generation = Generation::Modern;
    bool upgraded = false;         // an Old file upgraded to 10+ before the recent use
    Journaling journaling;         // during the recent use
    bool checkpointMidway = false; // before the last session (a WAL restarts after it)
    bool checkpointAtEnd = false;
};

struct PhonePlan {
    DatabasePlan contacts;
    DatabasePlan sms;
};

// How a phone of `kind` keeps its two databases.
PhonePlan phonePlan(PhoneKind kind);

// What to generate. The phone's history: contacts and messages saved long
// ago; then a recent use with one transaction per action (new contacts and
// messages, edited numbers, conversations read, rows deleted one by one); then
// a last session deleting more, ending with a whole conversation.
struct ModernPhoneSpec {
    PhoneKind kind = PhoneKind::Wal;
    int contacts = 40;  // raw contacts saved before the recent use
    int messages = 240; // messages before the recent use
    int threads = 16;
    int newContacts = 6; // saved during the recent use
    int newMessages = 40;
    double deleteFraction = 0.2; // share of all data rows and of all messages deleted (0 ... 0.45)
    int deletionsPerTransaction = 1;
    uint64_t seed = 1;
};

// The standard phone of a kind: small enough for tests, except Large (30,000
// messages, 1,500 contacts).
ModernPhoneSpec modernPhoneSpec(PhoneKind kind, uint64_t seed = 1);

struct ModernPhoneTruth {
    PhoneKind kind = PhoneKind::Wal;
    PhonePlan plan;
    DatabaseTruth contacts;
    DatabaseTruth sms;
};

// Writes dir/contacts2.db and dir/mmssms.db with their side files as the phone
// leaves them (creating dir, replacing older files) and returns the truth.
// The rows are the same for the same spec; WAL salts and journal nonces are
// random as on a phone. Throws std::runtime_error or std::invalid_argument.
ModernPhoneTruth generateModernPhone(const std::string& dir, const ModernPhoneSpec& spec);

} // namespace testdata
