// deepContactsText and deepSmsText: the deep engine's deleted contacts and
// messages in the recovered-record text the classic engine writes, so the
// record list, the boards and the export read them unchanged.
#include <algorithm>
#include <initializer_list>
#include <map>
#include <set>
#include <unordered_map>

#include "database_state.h"
#include "deep_scan.h"
#include "recovered_text.h"
#include "scan_selection.h"
#include "schema_reader.h"
#include "table_rows.h"

namespace fennaro::deep {

namespace {

const char kNotAvailable[] = "N/A";
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

// The position of a column in a table's column list, or -1.
int columnIndex(const std::vector<std::string>& columns, const char* name) {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i] == name)
            return int(i);
    }
    return -1;
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

// Appends one text line; a null field is written "N/A", others as the
// classic engine converts them (cut at a zero byte, empty unless UTF-8).
void appendLine(std::string& out, std::initializer_list<const std::string*> fields) {
    bool first = true;
    for (const std::string* field : fields) {
        if (!first)
            out += '\t';
        first = false;
        out += field ? utf8ToAnsi(*field) : std::string(kNotAvailable);
    }
    out += "\r\n";
}

// Some columns of the live rows of one table of a database's current state.
class LiveTable {
  public:
    LiveTable(const DatabaseState* state, const SchemaInfo& schema, const std::string& name,
              std::initializer_list<const char*> columnNames) {
        const TableInfo* table = nullptr;
        for (const TableInfo& t : schema.tables) {
            if (t.name == name)
                table = &t;
        }
        std::vector<int> columns;
        for (const char* column : columnNames) {
            int index = -1;
            for (size_t i = 0; table && i < table->columns.size(); ++i) {
                if (table->columns[i].name == column)
                    index = int(i);
            }
            columns.push_back(index);
            m_found = m_found && index >= 0;
        }
        if (!state || !table) {
            m_found = false;
            return;
        }
        VisitMarks marks;
        std::vector<Value> values;
        forEachTableRow(
            *state->current, table->rootPage, state->usableSize, marks, table->columns.size(),
            [&](int64_t rowid, const RecordShape& shape, const uint8_t* body, size_t bodyBytes) {
                selectColumns(*table, shape, body, bodyBytes, rowid, state->textEncoding, columns,
                              &values);
                m_rows.push_back(std::move(values));
            });
    }

    // False when the table or one of the columns is missing.
    bool found() const { return m_found; }
    // The rows, each with the columns in the order asked for.
    const std::vector<std::vector<Value>>& rows() const { return m_rows; }

  private:
    bool m_found = true;
    std::vector<std::vector<Value>> m_rows;
};

// The live data rows of a contacts database as the message lines need
// them: (raw_contact_id, data1) as text, data1 cut at its first zero byte.
std::vector<LiveContactRow> liveContactRows(const std::string& contactsDb) {
    std::string error;
    std::unique_ptr<DatabaseState> state = openDatabaseState(contactsDb, &error);
    if (!state)
        return {};
    const SchemaInfo schema = readSchema(*state->current, state->usableSize, state->textEncoding);
    const LiveTable data(state.get(), schema, "data", {"raw_contact_id", "data1"});
    std::vector<LiveContactRow> rows;
    if (!data.found())
        return rows;
    rows.reserve(data.rows().size());
    for (const std::vector<Value>& row : data.rows()) {
        std::string value = textOf(row[1]);
        value = value.substr(0, value.find('\0'));
        rows.emplace_back(textOf(row[0]), std::move(value));
    }
    return rows;
}

// What the deleted rows of one raw contact tell: its name by kind, its numbers.
struct DeletedContact {
    std::string name, nickname, organization, email, displayName;
    std::vector<std::string> phones;
};

} // namespace

std::string deepSmsText(const std::string& contactsDb, const std::string& smsDb) {
    // Every deleted row of table sms, named through the live contacts.
    const ScanReport report = scanSelected(smsDb, {{"sms", {"address", "person", "body"}}});
    const std::vector<std::string> columns = columnsOf(report, "sms");
    const int address = columnIndex(columns, "address");
    const int person = columnIndex(columns, "person");
    const int body = columnIndex(columns, "body");
    std::vector<CarvedSms> carved;
    for (const RecoveredRecord& record : report.records) {
        if (record.table == "sms")
            carved.emplace_back(textOf(at(record.values, address)),
                                textOf(at(record.values, person)), textOf(at(record.values, body)));
    }
    if (carved.empty())
        return {};
    return buildSmsText(carved, liveContactRows(contactsDb));
}

std::string deepContactsText(const std::string& contactsDb, const std::string& /*smsDb*/) {
    // The deleted data rows grouped by raw contact: a name from the name row
    // (or the raw contact's recovered or live display name, or its nickname,
    // company or e-mail), then one line per deleted phone number.
    const ScanReport report =
        scanSelected(contactsDb, {{"data", {"raw_contact_id", "mimetype_id", "data1", "data4"}},
                                  {"raw_contacts", {"display_name"}},
                                  {"mimetypes", {"mimetype"}}});
    if (!report.ok)
        return {};
    std::string error;
    std::unique_ptr<DatabaseState> state = openDatabaseState(contactsDb, &error);
    const SchemaInfo schema =
        state ? readSchema(*state->current, state->usableSize, state->textEncoding) : SchemaInfo{};

    // Mime types by id: the live ones, then deleted ones the scan found.
    std::unordered_map<int64_t, std::string> mimeTypes;
    const LiveTable liveMimeTypes(state.get(), schema, "mimetypes", {"_id", "mimetype"});
    for (const std::vector<Value>& row : liveMimeTypes.rows()) {
        if (row[0].kind == Value::Kind::Integer)
            mimeTypes.emplace(row[0].integer, textOf(row[1]));
    }
    const std::vector<std::string> mimeColumns = columnsOf(report, "mimetypes");
    for (const RecoveredRecord& record : report.records) {
        if (record.table == "mimetypes" && record.rowid)
            mimeTypes.emplace(*record.rowid,
                              textOf(at(record.values, columnIndex(mimeColumns, "mimetype"))));
    }

    // Display names of raw contacts: live ones, and deleted ones recovered.
    std::unordered_map<int64_t, std::string> liveNames, deletedNames;
    const LiveTable liveRaw(state.get(), schema, "raw_contacts", {"_id", "display_name"});
    for (const std::vector<Value>& row : liveRaw.rows()) {
        if (row[0].kind == Value::Kind::Integer && row[1].hasContent())
            liveNames.emplace(row[0].integer, textOf(row[1]));
    }
    const std::vector<std::string> rawColumns = columnsOf(report, "raw_contacts");
    const int rawName = columnIndex(rawColumns, "display_name");
    for (const RecoveredRecord& record : report.records) {
        if (record.table == "raw_contacts" && record.rowid &&
            at(record.values, rawName).hasContent())
            deletedNames.emplace(*record.rowid, textOf(at(record.values, rawName)));
    }

    const std::vector<std::string> dataColumns = columnsOf(report, "data");
    const int rid = columnIndex(dataColumns, "raw_contact_id");
    const int mime = columnIndex(dataColumns, "mimetype_id");
    const int data1 = columnIndex(dataColumns, "data1");
    const int data4 = columnIndex(dataColumns, "data4");
    if (data1 < 0)
        return {};

    // Without mime types the rows cannot be told apart: pair them as the
    // classic engine does.
    if (mimeTypes.empty() || mime < 0) {
        std::vector<CarvedContact> carved;
        for (const RecoveredRecord& record : report.records) {
            if (record.table == "data")
                carved.emplace_back(textOf(at(record.values, rid)),
                                    textOf(at(record.values, data1)));
        }
        return buildContactText(carved);
    }

    // Rows with a known raw contact are grouped by it; a row whose raw
    // contact is unknown stands alone.
    std::map<std::pair<int, int64_t>, DeletedContact> contacts;
    int64_t loose = 0;
    for (const RecoveredRecord& record : report.records) {
        if (record.table != "data")
            continue;
        const Value& owner = at(record.values, rid);
        const auto key = owner.kind == Value::Kind::Integer ? std::make_pair(0, owner.integer)
                                                            : std::make_pair(1, loose++);
        DeletedContact& contact = contacts[key];
        const Value& mimeValue = at(record.values, mime);
        auto kind = mimeValue.kind == Value::Kind::Integer ? mimeTypes.find(mimeValue.integer)
                                                           : mimeTypes.end();
        std::string type = kind == mimeTypes.end() ? "" : kind->second;
        if (type.rfind(kItemPrefix, 0) == 0)
            type = type.substr(sizeof kItemPrefix - 1);
        const std::string value = textOf(at(record.values, data1));
        if (type == "phone_v2") {
            if (!value.empty() && std::find(contact.phones.begin(), contact.phones.end(), value) ==
                                      contact.phones.end())
                contact.phones.push_back(value);
        } else if (value.empty() && type != "organization") {
            continue;
        } else if (type == "name" && contact.name.empty()) {
            contact.name = value;
        } else if (type == "nickname" && contact.nickname.empty()) {
            contact.nickname = value;
        } else if (type == "organization" && contact.organization.empty()) {
            contact.organization = value.empty() ? textOf(at(record.values, data4)) : value;
        } else if (type == "email_v2" && contact.email.empty()) {
            contact.email = value;
        }
    }
    // Deleted raw contacts whose data rows were not found keep their name.
    for (const auto& [id, name] : deletedNames)
        contacts[{0, id}].displayName = name;

    std::string text;
    for (auto& [key, contact] : contacts) {
        std::string name = contact.name;
        bool deletedName = !name.empty();
        for (const std::string* fallback :
             {&contact.displayName, &contact.nickname, &contact.organization, &contact.email}) {
            if (name.empty() && !fallback->empty()) {
                name = *fallback;
                deletedName = true;
            }
        }
        if (name.empty() && key.first == 0) {
            auto live = liveNames.find(key.second);
            if (live != liveNames.end())
                name = live->second;
        }
        const std::string* shownName = name.empty() ? nullptr : &name;
        for (const std::string& phone : contact.phones)
            appendLine(text, {shownName, &phone});
        if (contact.phones.empty() && deletedName)
            appendLine(text, {shownName, nullptr});
    }
    return text;
}

} // namespace fennaro::deep
