#include "call_phone.h"

#include "android_schema.h"
#include "layout_content.h"
#include "layout_writer.h"
#include "sqlite_util.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

namespace testdata {

namespace {

using namespace layout;

const std::vector<std::pair<CallPhoneKind, const char*>> kKindNames = {
    {CallPhoneKind::Android6, "android6"},
    {CallPhoneKind::Upgraded7, "upgraded7"},
    {CallPhoneKind::Android12, "android12"},
};

// The calls table of contacts2.db on Android 6 (36 columns).
const std::vector<std::string> kCallsV6 = {
    "_id INTEGER PRIMARY KEY AUTOINCREMENT",
    "number TEXT",
    "presentation INTEGER NOT NULL DEFAULT 1",
    "date INTEGER",
    "duration INTEGER",
    "data_usage INTEGER",
    "type INTEGER",
    "features INTEGER NOT NULL DEFAULT 0",
    "subscription_component_name TEXT",
    "subscription_id TEXT",
    "phone_account_address TEXT",
    "phone_account_hidden INTEGER NOT NULL DEFAULT 0",
    "sub_id INTEGER DEFAULT -1",
    "new INTEGER",
    "name TEXT",
    "numbertype INTEGER",
    "numberlabel TEXT",
    "countryiso TEXT",
    "voicemail_uri TEXT",
    "is_read INTEGER",
    "geocoded_location TEXT",
    "lookup_uri TEXT",
    "matched_number TEXT",
    "normalized_number TEXT",
    "photo_id INTEGER NOT NULL DEFAULT 0",
    "photo_uri TEXT",
    "formatted_number TEXT",
    "_data TEXT",
    "has_content INTEGER",
    "mime_type TEXT",
    "source_data TEXT",
    "source_package TEXT",
    "transcription TEXT",
    "state INTEGER",
    "dirty INTEGER NOT NULL DEFAULT 0",
    "deleted INTEGER NOT NULL DEFAULT 0",
};

// The calls table of calllog.db as Android 12 creates it (version 10, 53 columns).
const std::vector<std::string> kCallsV10 = {
    "_id INTEGER PRIMARY KEY AUTOINCREMENT",
    "number TEXT",
    "presentation INTEGER NOT NULL DEFAULT 1",
    "post_dial_digits TEXT NOT NULL DEFAULT ''",
    "via_number TEXT NOT NULL DEFAULT ''",
    "date INTEGER",
    "duration INTEGER",
    "data_usage INTEGER",
    "type INTEGER",
    "features INTEGER NOT NULL DEFAULT 0",
    "subscription_component_name TEXT",
    "subscription_id TEXT",
    "phone_account_address TEXT",
    "phone_account_hidden INTEGER NOT NULL DEFAULT 0",
    "sub_id INTEGER DEFAULT -1",
    "new INTEGER",
    "name TEXT",
    "numbertype INTEGER",
    "numberlabel TEXT",
    "countryiso TEXT",
    "voicemail_uri TEXT",
    "is_read INTEGER",
    "geocoded_location TEXT",
    "lookup_uri TEXT",
    "matched_number TEXT",
    "normalized_number TEXT",
    "photo_id INTEGER NOT NULL DEFAULT 0",
    "photo_uri TEXT",
    "formatted_number TEXT",
    "add_for_all_users INTEGER NOT NULL DEFAULT 1",
    "last_modified INTEGER DEFAULT 0",
    "call_screening_component_name TEXT",
    "call_screening_app_name TEXT",
    "block_reason INTEGER NOT NULL DEFAULT 0",
    "missed_reason INTEGER NOT NULL DEFAULT 0",
    "priority INTEGER NOT NULL DEFAULT 0",
    "subject TEXT",
    "location TEXT",
    "composer_photo_uri TEXT",
    "_data TEXT",
    "has_content INTEGER",
    "mime_type TEXT",
    "source_data TEXT",
    "source_package TEXT",
    "transcription TEXT",
    "transcription_state INTEGER NOT NULL DEFAULT 0",
    "state INTEGER",
    "dirty INTEGER NOT NULL DEFAULT 0",
    "deleted INTEGER NOT NULL DEFAULT 0",
    "backed_up INTEGER NOT NULL DEFAULT 0",
    "restored INTEGER NOT NULL DEFAULT 0",
    "archived INTEGER NOT NULL DEFAULT 0",
    "is_omtp_voicemail INTEGER NOT NULL DEFAULT 0",
};

// The calls table of an Android 7 calllog.db: the Android 6 columns with
// post_dial_digits and via_number after presentation, where later versions
// have them too.
std::vector<std::string> callsV7() {
    std::vector<std::string> columns = kCallsV6;
    columns.insert(columns.begin() + 3, {"post_dial_digits TEXT NOT NULL DEFAULT ''",
                                         "via_number TEXT NOT NULL DEFAULT ''"});
    return columns;
}

// CREATE TABLE calls with the column definitions given.
std::string createCalls(const std::vector<std::string>& definitions) {
    std::string sql = "CREATE TABLE calls (";
    for (size_t i = 0; i < definitions.size(); ++i)
        sql += (i ? ", " : "") + definitions[i];
    return sql + ")";
}

// The column names of definitions.
std::vector<std::string> namesOf(const std::vector<std::string>& definitions) {
    std::vector<std::string> names;
    for (const std::string& definition : definitions)
        names.push_back(definition.substr(0, definition.find(' ')));
    return names;
}

// Someone in the address book: the name and the number a call stores.
struct Person {
    std::string name;
    std::string number;
};

// `number` without spaces, as the dialer stores it.
std::string dialled(const std::string& number) {
    std::string out;
    for (char c : number)
        if (c != ' ')
            out += c;
    return out;
}

// Adds `people` raw contacts with a name and a phone number to a
// contacts2.db whose schema is there, in the provider's tables.
std::vector<Person> writeContacts(LayoutWriter& w, RandomSource& rng, Generation generation,
                                  int people) {
    std::vector<SqlRow> mimetypes;
    int64_t nameId = 0, phoneId = 0;
    const std::vector<std::string> initial = initialMimetypes(generation);
    for (size_t i = 0; i < initial.size(); ++i) {
        mimetypes.push_back({text(initial[i])});
        if (initial[i] == kMimeName)
            nameId = int64_t(i + 1);
        if (initial[i] == kMimePhone)
            phoneId = int64_t(i + 1);
    }
    w.insert("mimetypes", {"mimetype"}, mimetypes);
    std::vector<Person> book;
    std::vector<SqlRow> contacts;
    for (int i = 0; i < people; ++i) {
        book.push_back({personName(rng), phoneNumber(rng)});
        contacts.push_back({text(book.back().name), integer(40)});
    }
    const std::vector<int64_t> ids =
        w.insert("raw_contacts", {"display_name", "display_name_source"}, contacts);
    std::vector<SqlRow> rows;
    for (size_t i = 0; i < ids.size(); ++i) {
        rows.push_back({integer(ids[i]), integer(nameId), text(book[i].name), null()});
        rows.push_back({integer(ids[i]), integer(phoneId), text(book[i].number), text("2")});
        book[i].number = dialled(book[i].number);
    }
    w.insert("data", {"raw_contact_id", "mimetype_id", "data1", "data2"}, rows);
    return book;
}

// Writes calls into one calls table the way the provider does: each call
// inserted on its own, then the oldest beyond `keep` deleted; and the
// user's deletions now and then.
class CallWriter {
  public:
    CallWriter(LayoutWriter& w, RandomSource& rng, const std::vector<Person>& people,
               std::vector<std::string> columns, int maxType, int64_t& clock, int keep)
        : m_w(w), m_rng(rng), m_people(people), m_columns(std::move(columns)), m_maxType(maxType),
          m_clock(clock), m_keep(keep) {
        Statement count(w.db(), "SELECT count(*) FROM calls");
        m_count = count.step() ? count.columnInt(0) : 0;
    }

    // Logs `calls` calls, the user deleting some every 40 or so.
    void logCalls(int calls) {
        for (int i = 0; i < calls; ++i) {
            addCall();
            if (m_rng.chance(1.0 / 40))
                userDelete();
        }
    }

    // Deletes as a user does: one call, a few picked calls, or every call
    // of one number, each in one transaction.
    void userDelete() {
        std::vector<std::pair<int64_t, std::string>> calls;
        Statement st(m_w.db(), "SELECT _id, number FROM calls ORDER BY _id");
        while (st.step())
            calls.emplace_back(st.columnInt(0), st.columnText(1));
        if (calls.empty())
            return;
        const auto& picked = m_rng.pick(calls);
        std::string sql;
        const double choice = m_rng.unit();
        if (choice < 0.5 || picked.second.empty()) {
            sql = "DELETE FROM calls WHERE _id = " + std::to_string(picked.first);
        } else if (choice < 0.75) {
            sql = "DELETE FROM calls WHERE number = '" + picked.second + "'";
        } else {
            sql = "DELETE FROM calls WHERE _id IN (" + std::to_string(picked.first);
            for (int i = 0; i < 3; ++i)
                sql += ", " + std::to_string(m_rng.pick(calls).first);
            sql += ")";
        }
        m_w.removeBySql(sql);
        Statement count(m_w.db(), "SELECT count(*) FROM calls");
        m_count = count.step() ? count.columnInt(0) : 0;
    }

  private:
    // Adds a value when the table has the column.
    void set(std::vector<std::string>& names, SqlRow& values, const std::string& name,
             const SqlValue& value) {
        if (std::find(m_columns.begin(), m_columns.end(), name) == m_columns.end())
            return;
        names.push_back(name);
        values.push_back(value);
    }

    // Logs one call, then trims the log as the provider does after each insert.
    void addCall() {
        m_clock += m_rng.between(4 * 60000, 30 * 3600000);
        std::string number;
        const Person* known = nullptr;
        int presentation = 1;
        const double who = m_rng.unit();
        if (who < 0.55) {
            known = &m_rng.pick(m_people);
            number = known->number;
        } else if (who < 0.85) {
            number = dialled(phoneNumber(m_rng));
        } else if (who < 0.93) {
            number = m_rng.pick(std::vector<std::string>{"611", "*86", "112", "22555", "7726"});
        } else {
            presentation = int(m_rng.between(2, 3)); // restricted or unknown: no number kept
        }
        // Mostly incoming and outgoing; the newer types only where the phone has them.
        int64_t type = m_rng.chance(0.8) ? m_rng.between(1, 2) : m_rng.between(3, m_maxType);
        const int64_t duration = type == 1 || type == 2
                                     ? (m_rng.chance(0.2) ? 0 : m_rng.between(1, 2400))
                                 : type == 4 ? m_rng.between(5, 60)
                                             : 0;
        std::vector<std::string> names;
        SqlRow values;
        set(names, values, "number", text(number));
        set(names, values, "presentation", integer(presentation));
        set(names, values, "date", integer(m_clock));
        set(names, values, "duration", integer(duration));
        set(names, values, "type", integer(type));
        set(names, values, "new", integer(m_rng.chance(0.1) ? 1 : 0));
        set(names, values, "is_read", integer(type == 3 ? 0 : 1));
        // Most calls carry the phone account and the dialer's cache; the
        // short rows of a bare call are what many phones hold too.
        if (m_rng.chance(0.7)) {
            set(names, values, "subscription_component_name",
                text(
                    "com.android.phone/com.android.services.telephony.TelephonyConnectionService"));
            set(names, values, "subscription_id",
                text("8901260" + std::to_string(m_rng.between(100000, 999999))));
            set(names, values, "countryiso", text("US"));
            if (!number.empty() && number.size() > 6) {
                set(names, values, "geocoded_location",
                    text(m_rng.chance(0.5) ? "California" : "Texas"));
                set(names, values, "normalized_number",
                    text(number[0] == '+' ? number : "+1" + number));
                set(names, values, "formatted_number", text(number));
            }
            if (known) {
                set(names, values, "numbertype", integer(2));
                set(names, values, "lookup_uri",
                    text("content://com.android.contacts/contacts/lookup/0r" +
                         std::to_string(m_rng.between(1, 99)) + "-" + number));
                set(names, values, "matched_number", text(number));
            }
            if (type == 4) {
                set(names, values, "source_package", text("com.android.phone"));
                set(names, values, "mime_type", text("audio/amr"));
            }
            if (type == 6)
                set(names, values, "block_reason", integer(3));
        }
        // The cached name: most calls of a known number have it.
        if (known && m_rng.chance(0.8))
            set(names, values, "name", text(known->name));
        m_w.insert("calls", names, {values});
        if (++m_count > m_keep) {
            m_w.removeBySql("DELETE FROM calls WHERE _id IN (SELECT _id FROM calls ORDER BY date"
                            " DESC LIMIT -1 OFFSET " +
                            std::to_string(m_keep) + ")");
            m_count = m_keep;
        }
    }

    LayoutWriter& m_w;
    RandomSource& m_rng;
    const std::vector<Person>& m_people;
    std::vector<std::string> m_columns;
    int m_maxType;
    int64_t& m_clock;
    int m_keep;
    int64_t m_count = 0;
};

// The file settings of a database of spec's phone.
FileSettings settingsOf(const CallPhoneSpec& spec, bool modern, RandomSource& rng) {
    FileSettings s;
    s.pageSize = spec.pageSize;
    if (modern) {
        s.journal = JournalMode::Wal;
        s.secureDelete = true;
    } else {
        // Before Android 7 the framework's default journal was PERSIST, then TRUNCATE.
        s.journal = rng.chance(0.5) ? JournalMode::Persist : JournalMode::Truncate;
    }
    return s;
}

// Turns on the framework's WAL settings: a checkpoint every 100 pages, the
// log cut back to 512 KiB.
void androidWal(LayoutWriter& w) {
    w.exec("PRAGMA wal_autocheckpoint=100; PRAGMA journal_size_limit=524288");
}

// Starts a contacts2.db of generation with `people` contacts.
std::vector<Person> startContacts(LayoutWriter& w, RandomSource& rng, Generation generation) {
    registerAndroidCollations(w.db());
    w.exec(contactsSchemaSql(generation));
    w.noteSchema();
    return writeContacts(w, rng, generation, 25);
}

// The calls of table "calls" of truth: the deleted rows or the live ones.
std::vector<TruthCall> callsOf(const DatabaseTruth& truth, const std::string& file, bool deleted) {
    std::vector<TruthCall> calls;
    const TableShape* shape = findShape(truth.tables, "calls");
    if (!shape)
        return calls;
    std::map<std::string, size_t> at;
    for (size_t i = 0; i < shape->columns.size(); ++i)
        at.emplace(shape->columns[i], i);
    const auto fill = [&](int64_t rowid, const SqlRow& values) {
        TruthCall call;
        call.file = file;
        call.id = rowid;
        const auto value = [&](const char* name) -> const SqlValue* {
            const auto found = at.find(name);
            return found == at.end() || found->second >= values.size() ? nullptr
                                                                       : &values[found->second];
        };
        const auto number = [&](const char* name) -> std::optional<int64_t> {
            const SqlValue* v = value(name);
            return v && v->type == SqlValue::Type::Integer ? std::optional(v->integer)
                                                           : std::nullopt;
        };
        if (const SqlValue* v = value("number"))
            call.number = v->bytes;
        if (const SqlValue* v = value("name"))
            call.name = v->bytes;
        call.date = number("date");
        call.duration = number("duration");
        call.type = number("type");
        return call;
    };
    if (deleted) {
        for (const DeletedRow& row : truth.deleted) {
            if (row.table != "calls" || row.versions.empty())
                continue;
            TruthCall call = fill(row.rowid, row.versions.back());
            call.survival = row.survival;
            call.dropped = row.dropped;
            call.countable = row.countable;
            calls.push_back(std::move(call));
        }
    } else {
        for (const LiveRow& row : truth.live) {
            if (row.table == "calls")
                calls.push_back(fill(row.rowid, row.values));
        }
    }
    return calls;
}

// Fills the calls of a phone's truth from its databases' truths. A row of
// the dropped table is a deleted call only when its copy in calllog.db is not
// live; a call deleted in both files is one call, surviving as well as its
// better copy does.
void gatherCalls(CallPhoneTruth& truth) {
    const bool callLog = !truth.callLogDb.empty();
    truth.live = callsOf(callLog ? truth.callLog : truth.contacts,
                         callLog ? "calllog.db" : "contacts2.db", false);
    std::vector<TruthCall> old = callsOf(truth.contacts, "contacts2.db", true);
    if (!callLog) {
        truth.deleted = std::move(old);
        return;
    }
    std::vector<TruthCall> log = callsOf(truth.callLog, "calllog.db", true);
    std::map<int64_t, size_t> logById;
    for (size_t i = 0; i < log.size(); ++i)
        logById.emplace(log[i].id, i);
    std::set<int64_t> liveIds;
    for (const TruthCall& call : truth.live)
        liveIds.insert(call.id);
    for (TruthCall& call : old) {
        if (liveIds.count(call.id))
            continue;
        const auto copy = logById.find(call.id);
        if (copy == logById.end()) {
            truth.deleted.push_back(std::move(call));
            continue;
        }
        TruthCall& kept = log[copy->second];
        kept.survival = std::max(kept.survival, call.survival);
        kept.countable = kept.countable || call.countable;
    }
    truth.deleted.insert(truth.deleted.end(), log.begin(), log.end());
}

// An Android 6 phone: calls in contacts2.db.
CallPhoneTruth android6(const std::string& dir, const CallPhoneSpec& spec, RandomSource& rng) {
    CallPhoneTruth truth;
    truth.contactsDb = dir + "/contacts2.db";
    LayoutWriter contacts(truth.contactsDb, settingsOf(spec, false, rng));
    const std::vector<Person> people = startContacts(contacts, rng, Generation::Old);
    contacts.exec(createCalls(kCallsV6));
    contacts.noteSchema();
    contacts.startJournaling();
    int64_t clock = 1451606400000 + rng.between(0, 86400000); // 2016-01-01
    CallWriter calls(contacts, rng, people, namesOf(kCallsV6), 4, clock, spec.keep);
    calls.logCalls(spec.keep + spec.keep * 3 / 5);
    truth.contacts = contacts.finish();
    gatherCalls(truth);
    return truth;
}

// An Android 6 phone upgraded to 7: on its first start calllog.db is made,
// every call copied into it and the calls table of contacts2.db dropped;
// then the log goes on there.
CallPhoneTruth upgraded7(const std::string& dir, const CallPhoneSpec& spec, RandomSource& rng) {
    CallPhoneTruth truth;
    truth.contactsDb = dir + "/contacts2.db";
    truth.callLogDb = dir + "/calllog.db";
    LayoutWriter contacts(truth.contactsDb, settingsOf(spec, false, rng));
    const std::vector<Person> people = startContacts(contacts, rng, Generation::Old);
    contacts.exec(createCalls(kCallsV6));
    contacts.noteSchema();
    contacts.startJournaling();
    int64_t clock = 1451606400000 + rng.between(0, 86400000);
    CallWriter before(contacts, rng, people, namesOf(kCallsV6), 4, clock, spec.keep);
    before.logCalls(spec.keep + spec.keep / 3);

    FileSettings logSettings = settingsOf(spec, false, rng);
    LayoutWriter log(truth.callLogDb, logSettings);
    const std::vector<std::string> v7 = callsV7();
    log.exec(createCalls(v7));
    log.noteSchema();
    log.startJournaling();
    {
        const std::vector<std::string> oldColumns = namesOf(kCallsV6);
        std::string select = "SELECT ";
        for (size_t i = 0; i < oldColumns.size(); ++i)
            select += (i ? ", " : "") + oldColumns[i];
        Statement rows(contacts.db(), select + " FROM calls ORDER BY _id");
        std::vector<SqlRow> copied;
        while (rows.step()) {
            SqlRow row;
            for (size_t i = 0; i < oldColumns.size(); ++i)
                row.push_back(rows.columnValue(int(i)));
            copied.push_back(std::move(row));
        }
        log.insert("calls", oldColumns, copied);
    }
    contacts.drop("calls");
    truth.contacts = contacts.finish();
    CallWriter after(log, rng, people, namesOf(v7), 5, clock, spec.keep);
    after.logCalls(spec.keep * 3 / 4);
    truth.callLog = log.finish();
    gatherCalls(truth);
    return truth;
}

// An Android 12 phone: calllog.db and contacts2.db in WAL with secure_delete.
CallPhoneTruth android12(const std::string& dir, const CallPhoneSpec& spec, RandomSource& rng) {
    CallPhoneTruth truth;
    truth.contactsDb = dir + "/contacts2.db";
    truth.callLogDb = dir + "/calllog.db";
    std::vector<Person> people;
    {
        LayoutWriter contacts(truth.contactsDb, settingsOf(spec, true, rng));
        people = startContacts(contacts, rng, Generation::Modern);
        contacts.startJournaling();
        androidWal(contacts);
        truth.contacts = contacts.finish();
    }
    LayoutWriter log(truth.callLogDb, settingsOf(spec, true, rng));
    log.exec(createCalls(kCallsV10) +
             "; CREATE TABLE properties (property_key TEXT PRIMARY KEY, property_value TEXT)");
    log.noteSchema();
    log.startJournaling();
    androidWal(log);
    int64_t clock = 1609459200000 + rng.between(0, 86400000); // 2021-01-01
    CallWriter calls(log, rng, people, namesOf(kCallsV10), 7, clock, spec.keep);
    calls.logCalls(spec.keep + spec.keep * 3 / 5);
    truth.callLog = log.finish();
    gatherCalls(truth);
    return truth;
}

// One call as JSON.
Json::Value callToJson(const TruthCall& call, bool deleted) {
    Json::Value json;
    json["file"] = call.file;
    json["id"] = Json::Int64(call.id);
    json["number"] = call.number;
    json["name"] = call.name;
    json["date"] = call.date ? Json::Value(Json::Int64(*call.date)) : Json::Value();
    json["duration"] = call.duration ? Json::Value(Json::Int64(*call.duration)) : Json::Value();
    json["type"] = call.type ? Json::Value(Json::Int64(*call.type)) : Json::Value();
    if (deleted) {
        json["class"] = survivalName(call.survival);
        json["dropped"] = call.dropped;
        json["countable"] = call.countable;
    }
    return json;
}

} // namespace

const char* callPhoneKindName(CallPhoneKind kind) {
    for (const auto& [k, name] : kKindNames)
        if (k == kind)
            return name;
    return "android6";
}

std::optional<CallPhoneKind> callPhoneKindFromName(const std::string& name) {
    for (const auto& [kind, n] : kKindNames)
        if (name == n)
            return kind;
    return std::nullopt;
}

CallPhoneTruth generateCallPhone(const std::string& dir, const CallPhoneSpec& spec) {
    if (namesOf(kCallsV6).size() != 36 || namesOf(kCallsV10).size() != 53)
        throw std::logic_error("testdata: the calls tables lost a column");
    std::filesystem::create_directories(dir);
    RandomSource rng(spec.seed * 7919 + static_cast<uint64_t>(spec.kind) * 104729 +
                     static_cast<uint64_t>(spec.pageSize));
    switch (spec.kind) {
    case CallPhoneKind::Android6:
        return android6(dir, spec, rng);
    case CallPhoneKind::Upgraded7:
        return upgraded7(dir, spec, rng);
    case CallPhoneKind::Android12:
        return android12(dir, spec, rng);
    }
    throw std::invalid_argument("testdata: unknown call phone kind");
}

Json::Value callTruthToJson(const CallPhoneTruth& truth, const CallPhoneSpec& spec) {
    Json::Value json;
    json["kind"] = callPhoneKindName(spec.kind);
    json["seed"] = Json::UInt64(spec.seed);
    json["pageSize"] = spec.pageSize;
    json["files"]["contacts2.db"] = truth.contactsDb;
    if (!truth.callLogDb.empty())
        json["files"]["calllog.db"] = truth.callLogDb;
    json["liveCalls"] = Json::UInt64(truth.live.size());
    json["deleted"] = Json::arrayValue;
    for (const TruthCall& call : truth.deleted)
        json["deleted"].append(callToJson(call, true));
    return json;
}

} // namespace testdata
