#include "phone/contacts_deleted.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>
#include <unordered_map>

#include "contact_fields.h"
#include "phone/recovered_values.h"
#include "phone/scan_rules.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

namespace {

constexpr std::string_view kItemPrefix = "vnd.android.cursor.item/";

// Returns the kind of field a mime type's rows hold; absent for the kinds no
// user wrote (group memberships, photos, identities...).
std::optional<FieldKind> fieldKindOf(std::string_view mimeType) {
    if (mimeType.substr(0, kItemPrefix.size()) != kItemPrefix)
        return FieldKind::Other;
    const std::string_view type = mimeType.substr(kItemPrefix.size());
    static const std::pair<std::string_view, FieldKind> kKinds[] = {
        {"name", FieldKind::Name},
        {"phone_v2", FieldKind::Phone},
        {"email_v2", FieldKind::Email},
        {"organization", FieldKind::Organization},
        {"postal-address_v2", FieldKind::Address},
        {"website", FieldKind::Website},
        {"contact_event", FieldKind::Birthday},
        {"note", FieldKind::Note},
    };
    for (const auto& [word, kind] : kKinds) {
        if (type == word)
            return kind;
    }
    if (type == "group_membership" || type == "photo" || type == "identity")
        return std::nullopt;
    return FieldKind::Other;
}

// Returns the label of a field: the live contacts' type labels for phones
// and e-mails, the event's kind for an event, else the kind's word.
std::string fieldLabel(FieldKind kind, const std::string& typeNumber) {
    const int32_t code = parseTypeCode(typeNumber);
    switch (kind) {
    case FieldKind::Phone:
        return std::string(phoneTypeLabel(code));
    case FieldKind::Email:
        return std::string(boardEmailLabel(code));
    case FieldKind::Birthday:
        // Android's event types: 1 anniversary, 2 other, 3 birthday.
        return code == 1 ? "Anniversary" : code == 2 ? "Event" : "Birthday";
    default:
        return std::string(fieldKindWord(kind));
    }
}

// One deleted data row before its mime type is known.
struct DataRow {
    std::optional<int64_t> id;
    std::optional<int64_t> owner;
    std::optional<int64_t> mimeId;
    bool textual = false;
    std::string data1;
    std::string data2;
    std::string data4;
    std::string data5;
    std::string evidence;
    RecordPlace place;
};

// Orders the fields of a contact: by kind, then by data row id; rows that
// lost their id come last, in the order SQLite filled their page (it
// places cells from the page's end towards its start).
bool fieldOrder(const ContactField& a, const ContactField& b) {
    const auto key = [](const ContactField& field) {
        return std::tuple(field.kind, !field.dataId, field.dataId.value_or(0), field.place.file,
                          field.place.page, UINT64_MAX - field.place.offset);
    };
    return key(a) < key(b);
}

} // namespace

std::vector<DeletedContact> readDeletedContacts(const std::string& contactsDb,
                                                const std::vector<MimeTypeNode>& liveMimeTypes,
                                                const SharedScan* shared) {
    std::vector<DeletedContact> contacts;
    std::string error;
    const OpenDatabase state = openDatabase(contactsDb, &error);
    if (!state)
        return contacts;

    std::unordered_map<int64_t, std::string> mimeTypes;
    for (const MimeTypeNode& type : liveMimeTypes)
        mimeTypes.emplace(type.id, std::string(type.mimeType));
    std::map<int64_t, std::string> deletedNames;
    std::vector<DataRow> rows;
    ScanSelection selection{
        {"data", {{"raw_contact_id", "mimetype_id", "data1", "data2", "data4", "data5"}}},
        {"raw_contacts", {{"display_name"}, true}},
        {"mimetypes", {{"mimetype"}, true}}};
    // Another reader's tables ride along; their records go to it.
    if (shared)
        selection.insert(shared->selection.begin(), shared->selection.end());
    phone::scanSelected(*state, selection,
                        {[&](size_t records) { rows.reserve(records); },
                         [&](RecoveredRecord& record) {
                             if (shared && shared->selection.count(record.table)) {
                                 shared->visit(record);
                             } else if (record.table == "mimetypes" && record.rowid) {
                                 mimeTypes.emplace(*record.rowid, textOf(knownValue(record, 0)));
                             } else if (record.table == "raw_contacts" && record.rowid) {
                                 const std::string name = textOf(knownValue(record, 0));
                                 if (!name.empty())
                                     deletedNames.emplace(*record.rowid, name);
                             } else if (record.table == "data") {
                                 DataRow row;
                                 row.id = record.rowid;
                                 row.owner = numberOf(knownValue(record, 0));
                                 row.mimeId = numberOf(knownValue(record, 1));
                                 row.textual = isTextual(knownValue(record, 2));
                                 row.data1 = textOf(knownValue(record, 2));
                                 row.data2 = textOf(knownValue(record, 3));
                                 row.data4 = textOf(knownValue(record, 4));
                                 row.data5 = textOf(knownValue(record, 5));
                                 row.evidence = evidenceWords(record);
                                 row.place = placeOf(record, contactsDb);
                                 rows.push_back(std::move(row));
                             }
                         }});

    // Rows grouped by raw contact (std::map keeps them in id order), each
    // row a field of the kind its mime type gives.
    std::map<int64_t, DeletedContact> byOwner;
    std::vector<DeletedContact> loose;
    for (DataRow& row : rows) {
        const auto type = row.mimeId ? mimeTypes.find(*row.mimeId) : mimeTypes.end();
        std::optional<FieldKind> kind =
            type == mimeTypes.end() ? FieldKind::Other : fieldKindOf(type->second);
        // A number in data1 of an unnamed kind is a reference, not a value.
        if (!kind || (*kind == FieldKind::Other && !row.textual))
            continue;
        ContactField field;
        field.kind = *kind;
        field.dataId = row.id;
        field.label = fieldLabel(*kind, row.data2);
        field.value = std::move(row.data1);
        if (*kind == FieldKind::Organization) {
            field.secondLine = std::move(row.data4);
            field.thirdLine = std::move(row.data5);
        }
        if (field.value.empty() && field.secondLine.empty() && field.thirdLine.empty())
            continue;
        field.evidence = std::move(row.evidence);
        field.place = std::move(row.place);
        DeletedContact* contact = nullptr;
        if (row.owner) {
            contact = &byOwner[*row.owner];
            contact->rawContactId = row.owner;
        } else {
            contact = &loose.emplace_back();
        }
        if (field.kind == FieldKind::Name && contact->name.empty())
            contact->name = field.value;
        contact->fields.push_back(std::move(field));
    }
    // Deleted raw contacts name their rows; one without rows keeps its name.
    for (auto& [id, name] : deletedNames) {
        DeletedContact& contact = byOwner[id];
        contact.rawContactId = id;
        if (contact.name.empty())
            contact.name = name;
    }

    contacts.reserve(byOwner.size() + loose.size());
    for (auto& [id, contact] : byOwner)
        contacts.push_back(std::move(contact));
    for (DeletedContact& contact : loose)
        contacts.push_back(std::move(contact));
    for (DeletedContact& contact : contacts) {
        std::stable_sort(contact.fields.begin(), contact.fields.end(), fieldOrder);
    }
    return contacts;
}

} // namespace fennaro::deep
