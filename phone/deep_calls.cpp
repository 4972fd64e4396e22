#include "phone/deep_calls.h"

#include <map>
#include <set>
#include <utility>

#include "phone/call_log.h"
#include "phone/deep_load.h"
#include "phone/recovered_values.h"
#include "phone/scan_rules.h"
#include "phone/table_columns.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

namespace {

// Reads the live calls from the current state of the database that holds
// them, since the live reader opens files immutable and would not see a
// -wal.
std::vector<CallRecord> currentLiveCalls(const PhoneDatabases& dbs, const ContactLists& contacts) {
    const bool ownLog = !dbs.callLogDb.empty();
    const CurrentStateCopies copies(ownLog ? std::string() : dbs.contactsDb, {}, {}, dbs.callLogDb);
    PhoneDatabases read = dbs;
    const std::string& state = ownLog ? copies.callLogDb() : copies.contactsDb();
    if (!state.empty())
        (ownLog ? read.callLogDb : read.contactsDb) = state;
    return readLiveCalls(read, contacts);
}

// The calls table of contacts2.db on Android 6. Once calllog.db took the
// calls over, the table was dropped; where its schema row is lost, its rows
// are still told by this layout.
constexpr const char* kContactsCallsLayout =
    "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT, number TEXT, presentation INTEGER"
    " NOT NULL DEFAULT 1, date INTEGER, duration INTEGER, data_usage INTEGER, type INTEGER,"
    " features INTEGER NOT NULL DEFAULT 0, subscription_component_name TEXT, subscription_id"
    " TEXT, phone_account_address TEXT, phone_account_hidden INTEGER NOT NULL DEFAULT 0, sub_id"
    " INTEGER DEFAULT -1, new INTEGER, name TEXT, numbertype INTEGER, numberlabel TEXT, countryiso"
    " TEXT, voicemail_uri TEXT, is_read INTEGER, geocoded_location TEXT, lookup_uri TEXT,"
    " matched_number TEXT, normalized_number TEXT, photo_id INTEGER NOT NULL DEFAULT 0, photo_uri"
    " TEXT, formatted_number TEXT, _data TEXT, has_content INTEGER, mime_type TEXT, source_data"
    " TEXT, source_package TEXT, transcription TEXT, state INTEGER, dirty INTEGER NOT NULL"
    " DEFAULT 0, deleted INTEGER NOT NULL DEFAULT 0)";

// The calls tables a scan for deleted calls selects; knownLayout is the
// calls table the file is known to have had, if any.
ScanSelection callsSelection(const char* knownLayout) {
    using namespace phone;
    const TableSelection columns{columnNames(kCallColumns)};
    TableSelection callsTable = columns;
    callsTable.knownLayout = knownLayout ? knownLayout : "";
    // Version 8 of calllog.db rebuilds the table through calls_old, dropped
    // afterwards with the rows of the old layout in it.
    return {{"calls", callsTable}, {"calls_old", columns}};
}

// Adds the deleted call a carved record of a calls table (the columns of
// callsSelection) of the database at path tells of to calls, marked with
// file, the name of the database it stands for.
void collectDeletedCall(RecoveredRecord& record, const std::string& path, const char* file,
                        std::vector<CallRecord>& calls) {
    using namespace phone;
    if (record.table != "calls" && record.table != "calls_old")
        return;
    CallRecord call;
    call.deleted = true;
    call.id = record.rowid ? record.rowid : numberOf(knownValue(record, CallId));
    call.number = textOf(knownValue(record, CallNumber));
    call.cachedName = textOf(knownValue(record, CallName));
    call.date = numberOf(knownValue(record, CallDate));
    call.duration = numberOf(knownValue(record, CallDuration));
    call.type = numberOf(knownValue(record, CallType));
    call.file = file;
    call.evidence = evidenceWords(record);
    call.place = placeOf(record, path);
    calls.push_back(std::move(call));
}

// Adds the deleted calls the deep engine finds in the database at path to
// calls, each marked with file, the name of the database it stands for;
// knownLayout is the calls table the file is known to have had, if any.
void scanDeletedCalls(const std::string& path, const char* file, const char* knownLayout,
                      std::vector<CallRecord>& calls) {
    if (path.empty() || !pathExists(path))
        return;
    std::string error;
    const OpenDatabase state = openDatabase(path, &error);
    if (!state)
        return;
    phone::scanSelected(
        *state, callsSelection(knownLayout),
        {[&](size_t records) { calls.reserve(calls.size() + records); },
         [&](RecoveredRecord& record) { collectDeletedCall(record, path, file, calls); }});
}

// Returns whether two calls read from different files, or one without its
// id, are the same call: the same id where both have one, and the same date
// (and number and type, where both tell them) where the ids cannot decide.
bool sameCall(const CallRecord& a, const CallRecord& b) {
    if (a.id && b.id)
        return *a.id == *b.id && (!a.date || !b.date || *a.date == *b.date);
    return a.date && b.date && *a.date == *b.date &&
           (a.number.empty() || b.number.empty() || a.number == b.number) &&
           (!a.type || !b.type || *a.type == *b.type);
}

// Finds calls like a given one among many without comparing it with each:
// calls are filed under their id and under their date.
class CallIndex {
  public:
    // Files a call, which must outlive the index.
    void add(const CallRecord& call) {
        if (call.id)
            m_byId.emplace(*call.id, &call);
        if (call.date)
            m_byDate.emplace(*call.date, &call);
    }
    // Returns whether a filed call is the same call as call by sameCall;
    // with sameFileById, a filed call of call's own file with its id counts
    // whatever its other values.
    bool holds(const CallRecord& call, bool sameFileById) const {
        const auto check = [&](const CallRecord& other) {
            if (sameFileById && call.id && other.id && *call.id == *other.id &&
                other.file == call.file)
                return true;
            return sameCall(call, other);
        };
        if (call.id) {
            const auto [first, last] = m_byId.equal_range(*call.id);
            for (auto it = first; it != last; ++it) {
                if (check(*it->second))
                    return true;
            }
        }
        if (call.date) {
            const auto [first, last] = m_byDate.equal_range(*call.date);
            for (auto it = first; it != last; ++it) {
                if (check(*it->second))
                    return true;
            }
        }
        return false;
    }

  private:
    std::multimap<int64_t, const CallRecord*> m_byId;
    std::multimap<int64_t, const CallRecord*> m_byDate;
};

// The deleted calls of both databases that are no live call, each once:
// calllog.db's copy first, so a call deleted in both is reported from there.
// contactsCalls holds contacts2.db's when another scan read them already.
std::vector<CallRecord> deletedCallsBeside(const PhoneDatabases& dbs,
                                           const std::vector<CallRecord>& live,
                                           std::vector<CallRecord>* contactsCalls) {
    std::vector<CallRecord> found;
    scanDeletedCalls(dbs.callLogDb, "calllog.db", nullptr, found);
    if (contactsCalls) {
        found.reserve(found.size() + contactsCalls->size());
        for (CallRecord& call : *contactsCalls)
            found.push_back(std::move(call));
    } else {
        scanDeletedCalls(dbs.contactsDb, "contacts2.db", kContactsCallsLayout, found);
    }
    CallIndex liveIndex;
    for (const CallRecord& call : live)
        liveIndex.add(call);
    std::vector<CallRecord> calls;
    calls.reserve(found.size());
    std::set<std::pair<std::string, int64_t>> seenIds;
    for (CallRecord& call : found) {
        if (liveIndex.holds(call, true))
            continue;
        if (call.id && !seenIds.emplace(call.file, *call.id).second)
            continue;
        calls.push_back(std::move(call));
    }
    // The index points into calls, so it is made once calls no longer grows.
    CallIndex logIndex;
    for (const CallRecord& call : calls) {
        if (call.file == "calllog.db")
            logIndex.add(call);
    }
    std::erase_if(calls, [&](const CallRecord& call) {
        return call.file == "contacts2.db" && logIndex.holds(call, false);
    });
    return calls;
}

} // namespace

namespace {

// readCallLog, contactsCalls as deletedCallsBeside takes it.
std::vector<CallRecord> readCallLogWith(const PhoneDatabases& dbs, const ContactLists& contacts,
                                        bool withDeleted, std::vector<CallRecord>* contactsCalls) {
    std::vector<CallRecord> live = currentLiveCalls(dbs, contacts);
    if (!withDeleted)
        return live;
    std::vector<CallRecord> calls = deletedCallsBeside(dbs, live, contactsCalls);
    nameAndDateCalls(calls, contacts);
    sortNewestFirst(calls);
    calls.insert(calls.end(), std::make_move_iterator(live.begin()),
                 std::make_move_iterator(live.end()));
    return calls;
}

} // namespace

std::vector<CallRecord> readCallLog(const PhoneDatabases& dbs, const ContactLists& contacts,
                                    bool withDeleted) {
    return readCallLogWith(dbs, contacts, withDeleted, nullptr);
}

std::vector<CallRecord> readCallLog(const PhoneDatabases& dbs, const ContactLists& contacts,
                                    std::vector<CallRecord> contactsCalls) {
    return readCallLogWith(dbs, contacts, true, &contactsCalls);
}

SharedScan contactsCallsScan(const std::string& contactsDb, std::vector<CallRecord>& calls) {
    return {callsSelection(kContactsCallsLayout), [&calls, contactsDb](RecoveredRecord& record) {
                collectDeletedCall(record, contactsDb, "contacts2.db", calls);
            }};
}

} // namespace fennaro::deep
