#include "report_data.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "contact_fields.h"
#include "conversation_index.h"
#include "copy_manifest.h"
#include "deep_conversations.h"
#include "file_ops.h"
#include "local_copies.h"
#include "sha256.h"

namespace fennaro::report {

namespace {

// The largest manifest read: a few lines of hashes and names.
constexpr size_t kMaxManifestBytes = 64 * 1024;

// Returns the text of the manifest beside path, or "".
std::string manifestBeside(const std::string& path) {
    std::string text;
    if (!platform::readSmallFile(manifestPathBeside(path), text, kMaxManifestBytes))
        return {};
    return text;
}

// Returns the hash a manifest text records for the file at path, or "".
std::string manifestHash(const std::string& text, const std::string& path) {
    const auto entries = parseManifest(text);
    if (!entries)
        return {};
    const std::string name = platform::baseName(path);
    for (const ManifestEntry& entry : *entries) {
        if (entry.fileName == name)
            return entry.sha256;
    }
    return {};
}

// Fills in where a copy taken from an extraction came from, as its
// manifest tells; nothing for a copy pulled off the phone.
void describeProvenance(CopySummary& copy, const std::string& manifest) {
    const ManifestProvenance provenance = parseProvenance(manifest);
    if (provenance.empty())
        return;
    copy.notes = provenance.notes;
    const std::string name = platform::baseName(copy.path);
    for (const ManifestMember& member : provenance.members) {
        if (member.fileName != name)
            continue;
        const bool archive = provenance.sourceKind == "archive";
        copy.provenance = archive ? "from " + platform::baseName(provenance.sourcePath)
                                  : "from folder " + provenance.sourcePath;
        if (archive && !provenance.sourceSha256.empty())
            copy.provenance += " (SHA-256 " + provenance.sourceSha256 + ")";
        copy.provenance += (archive ? ", member " : ", file ") + member.memberPath;
        if (member.modified)
            copy.provenance += ", modified " + localTimeText(*member.modified);
    }
}

// Leaves each note on the first copy that carries it.
void keepNotesOnce(std::vector<CopySummary>& copies) {
    std::vector<std::string> told;
    for (CopySummary& copy : copies) {
        std::vector<std::string> fresh;
        for (const std::string& note : copy.notes) {
            if (std::find(told.begin(), told.end(), note) == told.end()) {
                told.push_back(note);
                fresh.push_back(note);
            }
        }
        copy.notes = std::move(fresh);
    }
}

// Describes one file: size, hash, time written.
CopySummary summarizeFile(const std::string& path, bool utc) {
    CopySummary copy;
    copy.path = path;
    const std::optional<uint64_t> size = platform::fileSize(path);
    copy.present = size.has_value();
    if (!copy.present)
        return copy;
    copy.size = *size;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        copy.pulledAt = timeText(info.st_mtime, utc);
    std::string hash;
    if (platform::sha256OfFile(path, hash))
        copy.sha256 = hash;
    const std::string manifest = manifestBeside(path);
    const std::string recorded = manifestHash(manifest, path);
    describeProvenance(copy, manifest);
    copy.fromManifest = !recorded.empty() && recorded == copy.sha256;
    copy.changedSincePull = !recorded.empty() && recorded != copy.sha256;
    return copy;
}

// Returns the fields of a live contact: its company, phones and e-mails with
// the labels the contact board shows.
std::vector<FieldRow> liveFields(const ContactNode& contact, const ContactDataIndex& index) {
    std::vector<FieldRow> fields;
    for (const ContactDataRow& row : index.rowsOf(contact.contactId)) {
        const int32_t code = parseTypeCode(row.row->typeNumber);
        FieldRow field;
        field.value = std::string(row.row->value);
        switch (row.kind) {
        case DataRowKind::Organization:
            field.label = "Company";
            break;
        case DataRowKind::Phone:
            field.label = std::string(phoneTypeLabel(code));
            break;
        case DataRowKind::Email:
            field.label = std::string(boardEmailLabel(code));
            break;
        case DataRowKind::Other:
            continue;
        }
        fields.push_back(std::move(field));
    }
    return fields;
}

// Returns the report's field of a deleted value.
FieldRow deletedField(const deep::ContactField& field) {
    FieldRow row;
    row.label = field.label;
    row.value = field.value;
    for (const std::string* line : {&field.secondLine, &field.thirdLine}) {
        if (!line->empty())
            row.value += (row.value.empty() ? "" : ", ") + *line;
    }
    row.deleted = true;
    row.evidence = field.evidence;
    row.place = field.place;
    return row;
}

// Fills a contact's list columns: a live contact's own, then what its
// deleted fields add where those are empty.
void fillColumns(ContactEntry& contact, const ContactListFields* live) {
    if (live) {
        contact.number = std::string(live->phone);
        contact.company = std::string(live->company);
    }
    for (const FieldRow& field : contact.fields) {
        if (field.deleted && field.label == "Company" && contact.company.empty())
            contact.company = field.value;
    }
}

// Adds a live contact with its fields and the deleted fields of its raw
// contact, if any.
void addLiveContact(ReportData& data, const ContactNode& contact, const ContactDataIndex& index,
                    const deep::DeletedContact* deletedFields) {
    ContactEntry entry;
    entry.name = std::string(listDisplayName(contact));
    entry.fields = liveFields(contact, index);
    if (deletedFields) {
        for (const deep::ContactField& field : deletedFields->fields) {
            entry.fields.push_back(deletedField(field));
            ++data.counts.deletedFields;
        }
    }
    const ContactListFields columns = contactListFields(contact, index);
    fillColumns(entry, &columns);
    data.contacts.push_back(std::move(entry));
    ++data.counts.liveContacts;
}

// Returns "received", "sent" or "" for a message type.
std::string directionOf(std::optional<int64_t> type) {
    if (!type)
        return {};
    return *type == 1 ? "received" : "sent";
}

// Splits a classic engine line into its TAB-separated fields.
std::vector<std::string_view> tabFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

// Notes the time now as the report's time of making, in local time.
void noteMadeAt(ReportData& data) {
    data.madeAtSeconds = static_cast<int64_t>(std::time(nullptr));
    data.madeAt = localTimeText(data.madeAtSeconds);
}

} // namespace

bool hasDeletedField(const ContactEntry& contact) {
    return std::any_of(contact.fields.begin(), contact.fields.end(),
                       [](const FieldRow& field) { return field.deleted; });
}

std::string localTimeText(int64_t secondsSince1970) {
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    std::tm local{};
    if (!localtime_r(&time, &local))
        return {};
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string timeText(int64_t secondsSince1970, bool utc) {
    if (!utc)
        return localTimeText(secondsSince1970);
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    std::tm inUtc{};
    if (!gmtime_r(&time, &inUtc))
        return {};
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &inUtc);
    return text;
}

std::vector<CopySummary> summarizeCopies(const std::vector<std::string>& databases, bool utc) {
    std::vector<CopySummary> copies;
    for (const std::string& database : databases) {
        for (const std::string& path : copyFamily(database)) {
            CopySummary copy = summarizeFile(path, utc);
            // The database is always named; a side file only when it is there.
            if (copy.present || path == database)
                copies.push_back(std::move(copy));
        }
    }
    keepNotesOnce(copies);
    return copies;
}

std::vector<CopySummary> summarizePhoneCopies(const PhoneDatabases& databases, bool utc) {
    std::vector<CopySummary> copies = summarizeCopies({databases.contactsDb, databases.smsDb}, utc);
    for (const std::string& optional : {databases.callLogDb, databases.bugleDb}) {
        if (optional.empty())
            continue;
        for (CopySummary& copy : summarizeCopies(std::vector<std::string>{optional}, utc)) {
            copy.optional = true;
            copies.push_back(std::move(copy));
        }
    }
    keepNotesOnce(copies);
    return copies;
}

ReportData buildDeepReport(const RecordStore& store) {
    ReportData data;
    data.deep = true;
    noteMadeAt(data);
    const ContactLists& lists = store.contactLists;
    const ContactDataIndex index(lists);
    for (const deep::DeepContact& contact : store.deep.contactRows) {
        if (contact.live) {
            addLiveContact(data, *contact.live, index, contact.deleted);
            data.contacts.back().state = deep::rowStateWord(deep::rowState(contact));
            continue;
        }
        ContactEntry entry;
        entry.deleted = true;
        entry.state = deep::rowStateWord(deep::RowState::Deleted);
        entry.name = deep::deletedContactName(*contact.deleted, nullptr);
        for (const deep::ContactField& field : contact.deleted->fields)
            entry.fields.push_back(deletedField(field));
        if (const deep::ContactField* phone =
                deep::firstField(*contact.deleted, deep::FieldKind::Phone))
            entry.number = phone->value;
        fillColumns(entry, nullptr);
        data.contacts.push_back(std::move(entry));
        ++data.counts.deletedContacts;
    }

    for (const deep::DeepConversation& conversation : store.deep.conversations) {
        ConversationEntry entry;
        entry.name = conversation.name;
        entry.address = conversation.address;
        entry.deletedCount = conversation.deletedCount;
        entry.state = deep::rowStateWord(deep::rowState(conversation));
        for (const deep::ConversationEntry& message : conversation.messages) {
            MessageRow row;
            row.dateLine = std::string(message.dateLine);
            row.dateMs = message.dateMs;
            row.text = std::string(message.body);
            if (message.live) {
                row.address = std::string(message.live->address);
                row.direction = message.received ? "received" : "sent";
                if (message.liveAlsoInApp)
                    row.files = "mmssms.db + bugle_db";
                ++data.counts.liveMessages;
            } else {
                // A live MMS or a live message of the app's store comes as
                // a record too; its place names its database.
                const deep::DeletedMessage& deleted = *message.deleted;
                row.deleted = deleted.deleted;
                row.address = deleted.address;
                row.direction = directionOf(deleted.type);
                row.evidence = deleted.evidence;
                // A live one's place is its database alone; one deleted in
                // another store shows where its deleted copy lies.
                if (deleted.deleted || !deleted.deletedIn.empty())
                    row.place = deleted.place;
                if (deleted.store == deep::MessageStore::Mms)
                    row.kind = "MMS";
                else if (deleted.store == deep::MessageStore::Bugle)
                    row.kind = "app message";
                if (deleted.store != deep::MessageStore::Sms || !deleted.sources.empty() ||
                    !deleted.deleted)
                    row.files = deep::sourceFiles(deleted);
                ++(deleted.deleted ? data.counts.deletedMessages : data.counts.liveMessages);
            }
            entry.messages.push_back(std::move(row));
        }
        data.conversations.push_back(std::move(entry));
    }
    data.counts.conversations = data.conversations.size();
    addCalls(data, store.deep.calls);
    return data;
}

ReportData buildClassicReport(const RecordStore& store) {
    ReportData data;
    noteMadeAt(data);
    const ContactLists& lists = store.contactLists;
    const ContactDataIndex index(lists);
    for (const ContactNode& contact : lists.contacts)
        addLiveContact(data, contact, index, nullptr);
    for (const ContactNode& contact : store.deletedContacts) {
        const std::vector<std::string_view> fields = tabFields(contact.text);
        ContactEntry entry;
        entry.deleted = true;
        entry.name = std::string(fields[0]);
        FieldRow field;
        field.deleted = true;
        field.evidence = "classic engine";
        if (fields.size() > 1)
            field.value = entry.number = std::string(fields[1]);
        entry.fields.push_back(std::move(field));
        data.contacts.push_back(std::move(entry));
        ++data.counts.deletedContacts;
    }

    const ConversationIndex conversations(lists, store.smsLists);
    for (const ThreadNode& thread : store.smsLists.threads) {
        const ConversationContact found = conversationContact(thread, conversations);
        ConversationEntry entry;
        entry.name = conversationExportName(found);
        entry.address = std::string(found.address);
        for (const MessageNode* message : conversations.messagesOf(thread.conversationId)) {
            MessageRow row;
            row.address = std::string(message->address);
            row.dateLine = std::string(message->dateLine);
            row.dateMs = message->dateMs;
            row.direction = message->type == 1 ? "received" : "sent";
            row.text = std::string(message->body);
            entry.messages.push_back(std::move(row));
            ++data.counts.liveMessages;
        }
        data.conversations.push_back(std::move(entry));
    }
    // The classic engine's messages know no thread or date: one group.
    if (!store.deletedSms.empty()) {
        ConversationEntry entry;
        entry.name = "Deleted SMS";
        for (const ThreadNode& sms : store.deletedSms) {
            const std::vector<std::string_view> fields = tabFields(sms.text);
            MessageRow row;
            row.deleted = true;
            row.evidence = "classic engine";
            row.address = fields.size() > 1 ? std::string(fields[1]) : std::string();
            row.text = fields.size() > 2 ? std::string(fields[2]) : std::string(sms.text);
            entry.messages.push_back(std::move(row));
            ++data.counts.deletedMessages;
        }
        entry.deletedCount = entry.messages.size();
        data.conversations.insert(data.conversations.begin(), std::move(entry));
    }
    data.counts.conversations = data.conversations.size();
    return data;
}

} // namespace fennaro::report
