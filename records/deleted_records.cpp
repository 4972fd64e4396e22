#include "deleted_records.h"

#include <algorithm>

#include "call_records.h"

namespace fennaro::deep {

bool isReceived(const DeletedMessage& message) {
    return !message.type || *message.type == 1;
}

std::string_view fileNameOf(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

namespace {

// Returns the database a file of it belongs to: "mmssms.db" for
// "mmssms.db-wal" too.
std::string_view databaseOf(std::string_view name) {
    for (std::string_view side : {"-wal", "-journal"}) {
        if (name.size() > side.size() && name.substr(name.size() - side.size()) == side)
            return name.substr(0, name.size() - side.size());
    }
    return name;
}

} // namespace

std::string storeMark(const DeletedMessage& message) {
    // Short: it stands beside the date line above a narrow bubble.
    if (message.deletedIn == "bugle_db")
        return "app: deleted";
    if (!message.deletedIn.empty())
        return message.store == MessageStore::Mms ? "MMS: deleted" : "SMS: deleted";
    if (message.store == MessageStore::Bugle)
        return "app";
    const bool alsoInApp = std::find(message.sources.begin(), message.sources.end(),
                                     "bugle_db") != message.sources.end();
    if (message.store == MessageStore::Mms)
        return alsoInApp ? "MMS+app" : "MMS";
    return alsoInApp ? "+app" : "";
}

std::string sourceFiles(const DeletedMessage& message) {
    if (!message.deletedIn.empty()) {
        std::string live;
        for (const std::string& source : message.sources)
            live += (live.empty() ? "" : " + ") + source;
        return live;
    }
    std::string files(fileNameOf(message.place.file));
    const std::string_view own = databaseOf(files);
    for (const std::string& source : message.sources) {
        if (source == own || source == files)
            continue;
        files += (files.empty() ? "" : " + ") + source;
    }
    return files;
}

std::string_view fieldKindWord(FieldKind kind) {
    switch (kind) {
    case FieldKind::Name:
        return "Name";
    case FieldKind::Phone:
        return "Phone";
    case FieldKind::Email:
        return "Email";
    case FieldKind::Organization:
        return "Company";
    case FieldKind::Address:
        return "Address";
    case FieldKind::Website:
        return "Website";
    case FieldKind::Birthday:
        return "Birthday";
    case FieldKind::Note:
        return "Note";
    case FieldKind::Other:
        break;
    }
    return "Other";
}

const ContactField* firstField(const DeletedContact& contact, FieldKind kind) {
    for (const ContactField& field : contact.fields) {
        if (field.kind == kind && !field.value.empty())
            return &field;
    }
    return nullptr;
}

std::string_view callTypeLabel(std::optional<int64_t> type) {
    static constexpr std::string_view kLabels[] = {"Incoming", "Outgoing", "Missed",
                                                   "Voicemail", "Rejected", "Blocked",
                                                   "Answered elsewhere"};
    if (!type || *type < 1 || *type > 7)
        return "";
    return kLabels[*type - 1];
}

} // namespace fennaro::deep
