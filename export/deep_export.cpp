// Recover in deep mode: the same files as for live records, with the deep
// engine's records in their places. Deleted messages stand in their
// conversation files in date order, each marked "[deleted]" under its date
// line; deleted contacts and the deleted fields of live contacts stand in
// contacts.txt in the live layout, each line marked "[deleted]"; the calls,
// live and deleted, stand in calls.txt.
#include <algorithm>
#include <unordered_set>

#include "call_log_display.h"
#include "check_marks.h"
#include "contact_fields.h"
#include "export_paths.h"
#include "record_export.h"
#include "tk_txt_file.h"

namespace fennaro {

namespace {

// The mark of a deleted record in the text files.
constexpr std::string_view kDeletedMark = "[deleted]";

// The line between the live and the deleted contacts: 66 dashes.
constexpr std::string_view kDashLine =
    "------------------------------------------------------------------";

// The date line written for a deleted message whose date was not found.
constexpr std::string_view kNoDate = "(no date)";

// Counts one record handled and moves the progress bar when it changed.
void stepDeepProgress(ExportContext& context, TkTxtFile& file) {
    if (!file.Flush())
        ++context.unwrittenRecords;
    RecordStore& store = context.store;
    const auto percent = [&] {
        return context.exportTotal > 0
                   ? static_cast<int32_t>(int64_t{store.loadedCount} * 100 / context.exportTotal)
                   : 0;
    };
    const int32_t before = percent();
    ++store.loadedCount;
    if (percent() != before || store.loadedCount == 1)
        context.listener.progressChanged(percent());
}

// Writes a contact's deleted fields in the live layout, each line marked:
// "[deleted] " name "(" label ") : " value. Name fields are left out while
// other fields say more; a contact of a name alone writes that name.
void writeDeletedFields(TkTxtFile& file, std::string_view name,
                        const deep::DeletedContact& contact) {
    const bool onlyNames =
        std::all_of(contact.fields.begin(), contact.fields.end(),
                    [](const deep::ContactField& f) { return f.kind == deep::FieldKind::Name; });
    for (const deep::ContactField& field : contact.fields) {
        if (field.kind == deep::FieldKind::Name && !onlyNames)
            continue;
        file.AppendLine({kDeletedMark, " ", name, "(", field.label, ") : ", field.value});
    }
    if (contact.fields.empty())
        file.AppendLine({kDeletedMark, " ", name, "(Name) : ", name});
}

// Returns the number of checked rows of a list.
template <typename Rows>
int32_t countCheckedRows(Rows& rows) {
    int32_t count = 0;
    for (auto& row : rows)
        count += isChecked(row) ? 1 : 0;
    return count;
}

} // namespace

int32_t countCheckedDeepRecords(RecordStore& store) {
    int32_t count = 0;
    if (store.contactsCategory.count != 0)
        count += countCheckedRows(store.deep.contactRows);
    if (store.messageCategory.count != 0)
        count += countCheckedRows(store.deep.conversations);
    if (store.callLogCategory.count != 0)
        count += countCheckedRows(store.deep.calls);
    return count;
}

int32_t exportDeepContacts(ExportContext& context) {
    RecordStore& store = context.store;
    const int32_t checked = countCheckedRows(store.deep.contactRows);
    if (checked == 0)
        return 0;
    const std::string folder =
        makeCategoryFolder(context.outputFolder, store.contactsCategory, checked);
    TkTxtFile file(folder + "/contacts.txt");
    file.AppendLine("Contacts:");
    file.Flush();

    int32_t noNameCounter = 0;
    const ContactDataIndex index(store.contactLists);
    bool deletedHeading = false;
    for (deep::DeepContact& row : store.deep.contactRows) {
        context.controls.runEvent.wait();
        if (context.controls.stopRequested)
            return -1;
        if (!row.live && !deletedHeading) {
            // The contacts that are gone follow the live ones, as in the
            // live layout's deleted section.
            file.AppendLine(kDashLine);
            file.AppendLine("Deleted:");
            deletedHeading = true;
        }
        if (!isChecked(row))
            continue;
        if (row.live) {
            const int32_t number = noNameCounter;
            for (const std::string& line : exportContactLines(*row.live, index, noNameCounter))
                file.AppendLine(line);
            if (row.deleted) {
                const std::string name =
                    row.live->displayNameSource == kDisplayNameSourceStructuredName
                        ? std::string(row.live->text)
                        : "No Name" + std::to_string(number);
                writeDeletedFields(file, name, *row.deleted);
            }
        } else {
            writeDeletedFields(file, deep::deletedContactName(*row.deleted, nullptr), *row.deleted);
        }
        stepDeepProgress(context, file);
    }
    file.Flush();
    return checked;
}

int32_t exportDeepMessages(ExportContext& context) {
    RecordStore& store = context.store;
    const int32_t checked = countCheckedRows(store.deep.conversations);
    if (checked == 0)
        return 0;
    const std::string folder =
        makeCategoryFolder(context.outputFolder, store.messageCategory, checked);

    PendingBytes storage;
    std::unordered_set<std::string> fileNames;
    for (deep::DeepConversation& conversation : store.deep.conversations) {
        context.controls.runEvent.wait();
        if (context.controls.stopRequested)
            return -1;
        if (!isChecked(conversation))
            continue;
        // Conversations of one name share a file: each writer appends.
        const std::string fileName = conversationFileName(conversation.name);
        const bool written = !fileNames.insert(fileName).second;
        TkTxtFile file(folder + "/" + fileName, storage, written);
        file.AppendLine("");
        for (const deep::ConversationEntry& message : conversation.messages) {
            file.AppendLine(message.dateLine.empty() && message.deleted
                                ? kNoDate
                                : std::string_view(message.dateLine));
            if (deep::isDeletedEntry(message))
                file.AppendLine(kDeletedMark);
            if (message.received)
                file.AppendLine({conversation.name, " : ", message.body});
            else
                file.AppendLine({"Me : ", message.body});
            file.AppendLine("");
        }
        stepDeepProgress(context, file);
    }
    return checked;
}

int32_t exportDeepCalls(ExportContext& context) {
    RecordStore& store = context.store;
    const int32_t checked = countCheckedRows(store.deep.calls);
    if (checked == 0)
        return 0;
    const std::string folder =
        makeCategoryFolder(context.outputFolder, store.callLogCategory, checked);
    TkTxtFile file(folder + "/calls.txt");
    bool first = true;
    for (deep::CallRecord& call : store.deep.calls) {
        context.controls.runEvent.wait();
        if (context.controls.stopRequested)
            return -1;
        if (!isChecked(call))
            continue;
        if (!first)
            file.AppendLine("");
        first = false;
        file.AppendLine(call.dateLine.empty() ? kNoDate : std::string_view(call.dateLine));
        const std::string_view type = deep::callTypeLabel(call.type);
        // A code no label is known for is written as it is, not dropped.
        const std::string code = call.type ? "Type " + std::to_string(*call.type) : "(no type)";
        file.AppendLine(type.empty() ? std::string_view(code) : type);
        file.AppendLine(deep::callPartyText(call));
        const std::string duration = deep::callDurationText(call.duration);
        file.AppendLine(
            {"Duration: ", duration.empty() ? std::string_view("(unknown)") : duration});
        if (call.deleted)
            file.AppendLine(kDeletedMark);
        stepDeepProgress(context, file);
    }
    file.Flush();
    return checked;
}

} // namespace fennaro
