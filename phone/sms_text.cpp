#include "phone/sms_text.h"

#include <algorithm>

#include "phone/scan_rules.h"
#include "phone/value_text.h"
#include "platform/side_task.h"
#include "recovered_text.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

namespace {

// The live data rows of a contacts database as the message lines need
// them: (raw_contact_id, data1) as text, data1 cut at its first zero byte.
std::vector<LiveContactRow> liveContactRows(const std::string& contactsDb) {
    std::string error;
    const OpenDatabase state = openDatabase(contactsDb, &error);
    if (!state)
        return {};
    std::vector<LiveContactRow> rows;
    forEachLiveRow(*state, "data", {"raw_contact_id", "data1"}, [&](std::vector<Value>& row) {
        std::string value = row[1].kind == Value::Kind::Integer || row[1].kind == Value::Kind::Real
                                ? textOf(row[1])
                                : std::move(row[1].bytes);
        value.resize(std::min(value.size(), value.find('\0')));
        rows.emplace_back(textOf(row[0]), std::move(value));
    });
    return rows;
}

} // namespace

namespace {

// What a message line's body starts with when the body did not come from
// the message's own row: "[index] ", "[words] " (the full-text index's
// words), "[snippet] " (its conversation's last-message text); else "".
std::string evidenceMark(RecordEvidence evidence) {
    switch (evidence) {
    case RecordEvidence::Index:
        return "[index] ";
    case RecordEvidence::Fts:
        return "[words] ";
    case RecordEvidence::Remnant:
        return "[snippet] ";
    default:
        return {};
    }
}

} // namespace

std::vector<std::pair<std::string, std::string>> liveContactNumbers(const std::string& contactsDb) {
    return liveContactRows(contactsDb);
}

std::string deepSmsText(const std::string& contactsDb, const std::string& smsDb,
                        std::string* error) {
    // Every deleted row of table sms, named through the live contacts, which
    // are read beside the scan.
    std::vector<LiveContactRow> live;
    SideTask liveReads([&] { live = liveContactRows(contactsDb); });
    std::string why;
    const OpenDatabase state = openDatabase(smsDb, &why);
    std::vector<CarvedSms> carved;
    if (state) {
        const ScanReport report = phone::scanSelected(
            *state, {{"sms", {{"address", "person", "body"}}}},
            {[&](size_t records) { carved.reserve(records); },
             [&](RecoveredRecord& record) {
                 std::string address = takeText(record.values, 0);
                 std::string body = takeText(record.values, 2);
                 // A line shows a value up to its first zero byte: a record
                 // whose address and body show nothing (zeroed bytes read as
                 // a record, a blob of zeros for its address) gives no line.
                 if (utf8ToAnsi(address).empty() && utf8ToAnsi(body).empty())
                     return;
                 carved.emplace_back(std::move(address), takeText(record.values, 1),
                                     evidenceMark(record.evidence) + body);
             }});
        why = report.error;
    }
    liveReads.join();
    if (error)
        *error = why;
    if (carved.empty())
        return {};
    return buildSmsText(carved, live);
}

} // namespace fennaro::deep
