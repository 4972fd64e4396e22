// deepContactsText and deepSmsText: the deep engine's deleted contacts and
// messages in the recovered-record text the classic engine writes, so the
// record list, the boards and the export read them unchanged.
#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "database_state.h"
#include "deep_scan.h"
#include "live_rows.h"
#include "recovered_text.h"
#include "scan_selection.h"
#include "schema_reader.h"
#include "side_task.h"
#include "table_rows.h"

namespace fennaro::deep {

namespace {

const char kItemPrefix[] = "vnd.android.cursor.item/";

// A value as a text column reads it: texts and blobs as their bytes, numbers
// in decimal, NULL as nothing.
std::string textOf(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Integer:
        return std::to_string(v.integer);
    case Value::Kind::Real: {
        char text[32];
        std::snprintf(text, sizeof text, "%.15g", v.real);
        return text;
    }
    case Value::Kind::Null:
        return "";
    default:
        return v.bytes;
    }
}

// Value `column` of a row as text, taking a text's or blob's bytes over.
std::string takeText(std::vector<Value>& values, int column) {
    if (column < 0 || size_t(column) >= values.size())
        return {};
    Value& v = values[size_t(column)];
    if (v.kind == Value::Kind::Text || v.kind == Value::Kind::Blob)
        return std::move(v.bytes);
    return textOf(v);
}

// The column names of a table of a report, or empty.
std::vector<std::string> columnsOf(const ScanReport& report, const std::string& table) {
    for (const TableColumns& t : report.schema) {
        if (t.table == table)
            return t.columns;
    }
    return {};
}

// Value `column` of a row, or NULL when the column is unknown.
const Value& at(const std::vector<Value>& values, int column) {
    static const Value kNull;
    return column >= 0 && size_t(column) < values.size() ? values[size_t(column)] : kNull;
}

// The live data rows of a contacts database as the message lines need
// them: (raw_contact_id, data1) as text, data1 cut at its first zero byte.
std::vector<LiveContactRow> liveContactRows(const std::string& contactsDb) {
    std::string error;
    std::unique_ptr<DatabaseState> state = openDatabaseState(contactsDb, &error);
    if (!state)
        return {};
    const SchemaInfo schema = readSchema(*state->current, state->usableSize, state->textEncoding);
    std::vector<LiveContactRow> rows;
    forEachLiveRow(*state, schema, "data", {"raw_contact_id", "data1"},
                   [&](std::vector<Value>& row) {
                       std::string value =
                           row[1].kind == Value::Kind::Integer || row[1].kind == Value::Kind::Real
                               ? textOf(row[1])
                               : std::move(row[1].bytes);
                       value.resize(std::min(value.size(), value.find('\0')));
                       rows.emplace_back(textOf(row[0]), std::move(value));
                   });
    return rows;
}

// What the live contacts tell about deleted rows: the mime type of each
// mime type id, read whole (a few rows), and the display name of a raw
// contact, looked up when a deleted row needs it (most never do).
class LiveContactNames {
  public:
    // Reads from state, which must outlive this.
    explicit LiveContactNames(const DatabaseState& state) : m_state(state) {
        const SchemaInfo schema =
            readSchema(*m_state.current, m_state.usableSize, m_state.textEncoding);
        forEachLiveRow(m_state, schema, "mimetypes", {"_id", "mimetype"},
                       [&](std::vector<Value>& row) {
                           if (row[0].kind == Value::Kind::Integer)
                               mimeTypes.emplace(row[0].integer, textOf(row[1]));
                       });
        for (const TableInfo& table : schema.tables) {
            if (table.name != "raw_contacts")
                continue;
            for (size_t i = 0; i < table.columns.size(); ++i) {
                if (table.columns[i].name == "display_name") {
                    m_rawContacts = table;
                    m_displayName = {int(i)};
                    m_rows.emplace(*m_state.current, table.rootPage, m_state.usableSize);
                }
            }
        }
    }

    // The live display name of raw contact id, or "" when it has none.
    // Quickest when asked in order of id.
    std::string displayName(int64_t id) {
        ByteView leaf;
        LeafCell cell;
        if (!m_rows || !m_rows->find(id, &leaf, &cell))
            return {};
        const uint8_t* bytes = leaf.data + cell.payloadOffset;
        size_t have = size_t(cell.localSize);
        if (cell.payloadSize > cell.localSize) {
            have = readPayload(leaf, cell.payloadOffset, cell.payloadSize, m_state.usableSize,
                               m_state.current.get(), &m_payload);
            bytes = reinterpret_cast<const uint8_t*>(m_payload.data());
        }
        if (!pickColumns(m_rawContacts, bytes, have, id, m_state.textEncoding, m_displayName,
                         &m_values) ||
            !m_values[0].hasContent())
            return {};
        return textOf(m_values[0]);
    }

    std::unordered_map<int64_t, std::string> mimeTypes;

  private:
    const DatabaseState& m_state;
    TableInfo m_rawContacts;
    std::vector<int> m_displayName;       // the column, when the table has it
    std::optional<TableRowFinder> m_rows; // of raw_contacts, when it has the column
    std::string m_payload;
    std::vector<Value> m_values;
};

// The kinds of deleted data row the contacts text tells apart.
enum class RowKind : uint8_t { Name, Phone, Nickname, Organization, Email, Other };

RowKind rowKindOf(const std::string& mimeType) {
    std::string_view type = mimeType;
    if (type.rfind(kItemPrefix, 0) == 0)
        type.remove_prefix(sizeof kItemPrefix - 1);
    return type == "name"           ? RowKind::Name
           : type == "phone_v2"     ? RowKind::Phone
           : type == "nickname"     ? RowKind::Nickname
           : type == "organization" ? RowKind::Organization
           : type == "email_v2"     ? RowKind::Email
                                    : RowKind::Other;
}

// One deleted data row, as the contacts text uses it. Its kind is known
// only once the scan is over (deleted mime types come after the data rows).
struct DeletedValue {
    std::pair<int, int64_t> contact; // (0, raw contact id), or (1, n) for a row of no known contact
    std::optional<int64_t> mimeId;
    RowKind kind = RowKind::Other;
    bool textual = false;   // data1 holds a text or a blob, not a number
    bool fromData4 = false; // data1 is empty, and value is data4
    std::string value;
};

// Appends the lines of one raw contact's deleted values (rows[from, to), in
// the order found): its name (from its name row, its deleted raw contact,
// its nickname, company or e-mail, else its live display name) with each
// phone number, then with each other value (another name too); just the
// name when a deleted name is all that is left. shown is work space.
void appendContact(std::string& text, const std::vector<const DeletedValue*>& rows, size_t from,
                   size_t to, const std::string* deletedDisplayName,
                   const std::string* liveDisplayName, std::vector<const std::string*>& shown) {
    const std::string* name = nullptr;
    for (RowKind kind : {RowKind::Name, RowKind::Nickname, RowKind::Organization, RowKind::Email}) {
        for (size_t i = from; i < to && !name; ++i) {
            if (rows[i]->kind == kind)
                name = &rows[i]->value;
        }
        if (kind == RowKind::Name && !name)
            name = deletedDisplayName;
    }
    const bool deletedName = name != nullptr;
    if (!name)
        name = liveDisplayName;

    shown.clear();
    auto showOnce = [&](const std::string& value) {
        if (&value == name || std::find_if(shown.begin(), shown.end(), [&](const std::string* s) {
                                  return *s == value;
                              }) != shown.end())
            return;
        shown.push_back(&value);
        appendTextLine(text, {name, &value});
    };
    for (size_t i = from; i < to; ++i) {
        if (rows[i]->kind == RowKind::Phone)
            showOnce(rows[i]->value);
    }
    for (size_t i = from; i < to; ++i) {
        if (rows[i]->kind != RowKind::Phone)
            showOnce(rows[i]->value);
    }
    if (shown.empty() && deletedName)
        appendTextLine(text, {name, nullptr});
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
    std::unique_ptr<DatabaseState> state = openDatabaseState(smsDb, &why);
    std::vector<CarvedSms> carved;
    if (state) {
        const ScanReport report =
            scanSelected(*state, {{"sms", {{"address", "person", "body"}}}},
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

std::string deepContactsText(const std::string& contactsDb, const std::string& /*smsDb*/,
                             std::string* error) {
    // The deleted data rows grouped by raw contact, named from deleted rows
    // or else the live ones; one opening of the database serves both.
    std::string why;
    std::unique_ptr<DatabaseState> state = openDatabaseState(contactsDb, &why);
    if (error)
        *error = why;
    if (!state)
        return {};
    LiveContactNames live(*state);
    // Mime types by id: the live ones, then deleted ones the scan finds.
    std::unordered_map<int64_t, std::string>& mimeTypes = live.mimeTypes;
    // Display names of deleted raw contacts.
    std::unordered_map<int64_t, std::string> deletedNames;
    std::vector<DeletedValue> rows;
    // raw_contact_id of a row, as text, where it is not an integer.
    std::unordered_map<size_t, std::string> ownerTexts;
    int64_t loose = 0;
    auto takeRecord = [&](RecoveredRecord& record) {
        std::vector<Value>& values = record.values;
        if (record.table == "data") {
            DeletedValue row;
            const Value& owner = at(values, 0);
            if (owner.kind == Value::Kind::Integer) {
                row.contact = {0, owner.integer};
            } else {
                row.contact = {1, loose++};
                ownerTexts.emplace(rows.size(), textOf(owner));
            }
            if (at(values, 1).kind == Value::Kind::Integer)
                row.mimeId = at(values, 1).integer;
            const Value::Kind stored = at(values, 2).kind;
            row.textual = stored == Value::Kind::Text || stored == Value::Kind::Blob;
            row.value = takeText(values, 2);
            row.fromData4 = row.value.empty();
            if (row.fromData4)
                row.value = takeText(values, 3);
            rows.push_back(std::move(row));
        } else if (record.table == "mimetypes" && record.rowid) {
            mimeTypes.emplace(*record.rowid, textOf(at(values, 0)));
        } else if (record.table == "raw_contacts" && record.rowid && at(values, 0).hasContent()) {
            deletedNames.emplace(*record.rowid, textOf(at(values, 0)));
        }
    };
    // Names and mime types are only of use with their rowid, which is what
    // the data rows refer to them by.
    const ScanReport report =
        scanSelected(*state,
                     {{"data", {{"raw_contact_id", "mimetype_id", "data1", "data4"}}},
                      {"raw_contacts", {{"display_name"}, true}},
                      {"mimetypes", {{"mimetype"}, true}}},
                     {[&](size_t records) { rows.reserve(records); }, takeRecord});
    if (error)
        *error = report.error;
    if (!report.ok || columnsOf(report, "data").empty())
        return {};

    // Without mime types the rows cannot be told apart: pair them as the
    // classic engine does.
    if (mimeTypes.empty()) {
        std::vector<CarvedContact> carved;
        carved.reserve(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            DeletedValue& row = rows[i];
            carved.emplace_back(row.contact.first == 0 ? std::to_string(row.contact.second)
                                                       : std::move(ownerTexts[i]),
                                row.fromData4 ? std::string() : std::move(row.value));
        }
        return buildContactText(carved);
    }

    // Every data row with a value; a row whose raw contact is unknown
    // stands alone. A company row may hold its name in data4 only.
    size_t kept = 0;
    for (DeletedValue& row : rows) {
        const auto type = row.mimeId ? mimeTypes.find(*row.mimeId) : mimeTypes.end();
        row.kind = type == mimeTypes.end() ? RowKind::Other : rowKindOf(type->second);
        // A number in data1 of another kind of row is a reference (a group
        // membership's group), not something the user wrote.
        if ((row.kind == RowKind::Other && !row.textual) ||
            (row.fromData4 && row.kind != RowKind::Organization) || row.value.empty())
            continue;
        if (&rows[kept] != &row)
            rows[kept] = std::move(row);
        ++kept;
    }
    rows.resize(kept);
    // Deleted raw contacts whose data rows were not found keep their name.
    rows.reserve(rows.size() + deletedNames.size());
    for (const auto& [id, name] : deletedNames) {
        DeletedValue placeholder;
        placeholder.contact = {0, id};
        rows.push_back(std::move(placeholder));
    }
    // Grouped by contact, in the order found within a contact.
    std::vector<const DeletedValue*> order;
    order.reserve(rows.size());
    for (const DeletedValue& row : rows)
        order.push_back(&row);
    std::stable_sort(order.begin(), order.end(), [](const DeletedValue* a, const DeletedValue* b) {
        return a->contact < b->contact;
    });

    std::string text;
    std::vector<const std::string*> shown;
    for (size_t from = 0, to; from < order.size(); from = to) {
        to = from + 1;
        while (to < order.size() && order[to]->contact == order[from]->contact)
            ++to;
        const std::pair<int, int64_t> contact = order[from]->contact;
        const std::string* deletedName = nullptr;
        std::string liveName;
        if (contact.first == 0) {
            const auto d = deletedNames.find(contact.second);
            // The live name is looked up only when nothing deleted names the contact.
            const bool named = std::any_of(
                order.begin() + long(from), order.begin() + long(to), [](const DeletedValue* row) {
                    return row->kind != RowKind::Phone && row->kind != RowKind::Other;
                });
            if (d != deletedNames.end())
                deletedName = &d->second;
            else if (!named)
                liveName = live.displayName(contact.second);
        }
        // The placeholder of a raw contact without data rows holds nothing.
        size_t end = to;
        while (end > from && order[end - 1]->value.empty())
            --end;
        appendContact(text, order, from, end, deletedName, liveName.empty() ? nullptr : &liveName,
                      shown);
    }
    return text;
}

} // namespace fennaro::deep
