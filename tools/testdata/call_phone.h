// Phones with a call log, written by SQLite itself with the provider's
// tables: an Android 6 phone (calls in contacts2.db), an Android 7 phone
// upgraded from 6 (calls copied into calllog.db, the old table dropped) and
// an Android 12 phone (calllog.db in WAL with secure_delete). Calls come in
// one at a time, each followed by the provider's trim of the oldest ones,
// and the user deletes some. The ground truth comes from replaying that
// history.
#pragma once

#include "database_truth.h"

#include <json/json.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

enum class CallPhoneKind { Android6, Upgraded7, Android12 };

// "android6", "upgraded7", "android12".
const char* callPhoneKindName(CallPhoneKind kind);
// The kind of a name callPhoneKindName gives, if any.
std::optional<CallPhoneKind> callPhoneKindFromName(const std::string& name);

struct CallPhoneSpec {
    CallPhoneKind kind = CallPhoneKind::Android6;
    int pageSize = 4096; // a power of two from 512 to 65536
    uint64_t seed = 1;
    // How many calls the trim keeps. The provider keeps 500; fewer let a few
    // hundred calls already trim.
    int keep = 200;
};

// One call of the truth, as the provider stored it.
struct TruthCall {
    std::string file; // "calllog.db" or "contacts2.db"
    int64_t id = 0;
    std::string number;
    std::string name; // the cached name; empty for NULL
    std::optional<int64_t> date, duration, type;
    // Deleted calls: how their bytes survive (the best of both files for a
    // migrated call deleted after the upgrade); whether the row was in the
    // dropped table; whether recall counts it (DeletedRow::countable).
    Survival survival = Survival::Gone;
    bool dropped = false;
    bool countable = false;
};

struct CallPhoneTruth {
    std::string contactsDb;
    std::string callLogDb; // empty for an Android 6 phone
    // The live calls as SQLite reads the current state, and every call
    // deleted during the history (a migrated call that is still live in
    // calllog.db is no deleted call), by file then id.
    std::vector<TruthCall> live;
    std::vector<TruthCall> deleted;
    // The whole truth of each database.
    DatabaseTruth contacts;
    DatabaseTruth callLog;
};

// Writes the phone of spec into folder dir (contacts2.db, and calllog.db for
// Android 7 and later, with the side files their history leaves) and returns
// its truth. Throws std::runtime_error or std::invalid_argument.
CallPhoneTruth generateCallPhone(const std::string& dir, const CallPhoneSpec& spec);

// The truth as JSON: the files, the live call count, and each deleted call
// with its id, number, date, duration, type, class and file.
Json::Value callTruthToJson(const CallPhoneTruth& truth, const CallPhoneSpec& spec);

} // namespace testdata
