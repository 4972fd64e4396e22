#include "record_export.h"

#include <cstdio>

#include <span>
#include <unordered_set>

#include "check_marks.h"
#include "contact_fields.h"
#include "conversation_index.h"
#include "export_paths.h"
#include "tk_txt_file.h"

namespace fennaro {

namespace {

// The line between the live and the deleted contacts: 66 dashes.
constexpr std::string_view kDashLine =
    "------------------------------------------------------------------";

// Returns the number of checked records in a list.
template <typename Records>
int32_t countChecked(Records& records) {
    int32_t count = 0;
    for (auto& record : records)
        count += isChecked(record) ? 1 : 0;
    return count;
}

// Counts one more record handled and moves the progress bar when the
// percentage changed (a 64-bit product, so large phones cannot overflow it).
void stepProgress(ExportContext& context) {
    RecordStore& store = context.store;
    const auto percent = [&] {
        return context.exportTotal > 0
                   ? static_cast<int32_t>(int64_t{store.loadedCount} * 100 / context.exportTotal)
                   : 0;
    };
    const int32_t before = percent();
    ++store.loadedCount;
    const int32_t after = percent();
    if (after != before || store.loadedCount == 1)
        context.listener.progressChanged(after);
}

// Ends one record: writes its lines, counts it when any of them was lost, and
// takes one progress step.
void finishRecord(ExportContext& context, TkTxtFile& file) {
    if (!file.Flush())
        ++context.unwrittenRecords;
    stepProgress(context);
}

// Returns the deleted contact's line: the text before its first TAB, " : ",
// the text after it; nothing without a TAB.
bool deletedContactLine(const ContactNode& contact, std::string& line) {
    const std::size_t tab = contact.text.find('\t');
    if (tab == std::string_view::npos)
        return false;
    line.assign(contact.text.substr(0, tab)).append(" : ").append(contact.text.substr(tab + 1));
    return true;
}

// Writes one conversation's lines: an empty line, then per message its date
// line, the sender and the body, and an empty line.
void writeConversation(TkTxtFile& file, std::string_view name,
                       std::span<const MessageNode* const> messages) {
    file.AppendLine("");
    for (const MessageNode* message : messages) {
        file.AppendLine(message->dateLine);
        if (message->type == 1)
            file.AppendLine({name, " : ", message->body});
        else
            file.AppendLine({"Me : ", message->body});
        file.AppendLine("");
    }
}

} // namespace

int32_t countCheckedRecords(RecordStore& store) {
    if (store.deep.loaded)
        return countCheckedDeepRecords(store);
    int32_t count = 0;
    if (store.contactsCategory.count != 0) {
        count += countChecked(store.contactLists.contacts);
        if (!store.deletedContactsText.empty())
            count += countChecked(store.deletedContacts);
    }
    if (store.messageCategory.count != 0)
        count += countChecked(store.smsLists.threads) + countChecked(store.deletedSms);
    return count;
}

void prepareExport(ExportContext& context, const std::string& chosenFolder, int32_t checkedRecords,
                   std::time_t now) {
    context.controls.stopRequested = false;
    context.outputFolder = createOutputFolder(chosenFolder, now);
    context.exportTotal = checkedRecords;
    context.unwrittenRecords = 0;
    context.store.loadedCount = 0;
    context.controls.runEvent.set();
}

int32_t exportContacts(ExportContext& context) {
    RecordStore& store = context.store;
    const int32_t checked =
        countChecked(store.contactLists.contacts) + countChecked(store.deletedContacts);
    if (checked == 0)
        return 0;
    const std::string folder =
        makeCategoryFolder(context.outputFolder, store.contactsCategory, checked);
    TkTxtFile file(folder + "/contacts.txt");
    file.AppendLine("Contacts:");
    file.Flush();

    int32_t noNameCounter = 0;
    const ContactDataIndex index(store.contactLists);
    for (ContactNode& contact : store.contactLists.contacts) {
        context.controls.runEvent.wait();
        if (context.controls.stopRequested)
            return -1;
        if (!isChecked(contact))
            continue;
        for (const std::string& line : exportContactLines(contact, index, noNameCounter))
            file.AppendLine(line);
        finishRecord(context, file);
    }

    // The deleted contacts are few and quick: no pause or stop inside.
    if (!store.deletedContactsText.empty()) {
        file.AppendLine(kDashLine);
        file.AppendLine("Deleted:");
        file.Flush();
        std::string line;
        for (ContactNode& contact : store.deletedContacts) {
            if (!isChecked(contact))
                continue;
            if (deletedContactLine(contact, line))
                file.AppendLine(line);
            finishRecord(context, file);
        }
    }
    return checked;
}

int32_t exportMessages(ExportContext& context) {
    RecordStore& store = context.store;
    const int32_t checked = countChecked(store.smsLists.threads) + countChecked(store.deletedSms);
    if (checked == 0)
        return 0;
    const std::string folder =
        makeCategoryFolder(context.outputFolder, store.messageCategory, checked);

    const ConversationIndex index(store.contactLists, store.smsLists);
    PendingBytes storage;
    // The file names written so far: a later conversation of the same name
    // appends to its file.
    std::unordered_set<std::string> fileNames;
    for (ThreadNode& thread : store.smsLists.threads) {
        context.controls.runEvent.wait();
        if (context.controls.stopRequested)
            return -1;
        if (!isChecked(thread))
            continue;
        const std::string name = conversationExportName(conversationContact(thread, index));
        // Conversations of one name share a file: each writer appends.
        std::string fileName = conversationFileName(name);
        const bool written = !fileNames.insert(fileName).second;
        TkTxtFile file(folder + "/" + fileName, storage, written);
        writeConversation(file, name, index.messagesOf(thread.conversationId));
        finishRecord(context, file);
    }

    if (!store.deletedSmsText.empty()) {
        TkTxtFile file(folder + "/deleted.txt");
        file.AppendLine("Deleted SMS:");
        file.Flush();
        for (ThreadNode& sms : store.deletedSms) {
            if (!isChecked(sms))
                continue;
            if (!sms.text.empty())
                file.AppendLine(sms.text);
            finishRecord(context, file);
        }
    }
    return checked;
}

int32_t exportThreadProc(ExportContext& context) {
    const RecordStore& store = context.store;
    const bool deepMode = store.deep.loaded;
    const bool stopped = store.contactsCategory.count != 0 &&
                         (deepMode ? exportDeepContacts(context) : exportContacts(context)) == -1;
    const bool messagesStopped =
        !stopped && store.messageCategory.count != 0 &&
        (deepMode ? exportDeepMessages(context) : exportMessages(context)) == -1;
    // The call log is deep mode's alone; the classic path never fills it.
    if (!stopped && !messagesStopped && deepMode && store.callLogCategory.count != 0)
        exportDeepCalls(context);
    context.listener.exportDone();
    return 1;
}

std::string finishText(int32_t exportedCount, int32_t unwrittenRecords) {
    char text[160];
    std::snprintf(text, sizeof text, "Recovering finished, %d files have been recovered.",
                  exportedCount);
    std::string result = text;
    if (unwrittenRecords != 0) {
        std::snprintf(text, sizeof text, "%d records could not be written.", unwrittenRecords);
        result.append("\n").append(text);
    }
    return result;
}

} // namespace fennaro
