// fennaro-recover list [--deep]: loads a phone's two database copies as the
// window does after an acquisition and prints the rows the record list shows
// for one category, deleted records first, then live ones. With --deep the
// deleted records come from the deep engine and the live ones from the
// databases' current states. list calls prints the call log the same way.
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "commands.h"
#include "contact_fields.h"
#include "conversation_index.h"
#include "input_checks.h"
#include "phone/deep_calls.h"
#include "phone/deep_load.h"
#include "phone/phone_databases.h"
#include "phone/record_loader.h"
#include "phone/record_reader.h"
#include "phone/record_search.h"
#include "row_texts.h"
#include "utf8_text.h"

namespace fennaro::cli {

namespace {

// Prints one row: its state word, then its cells, TAB-separated, as valid UTF-8.
void printStateRow(std::string& out, std::string_view state,
                   std::initializer_list<std::string_view> cells) {
    out = state;
    for (std::string_view cell : cells) {
        out += '\t';
        out += toValidUtf8(cell);
    }
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
}

// Prints one row of the classic mode: deleted or live.
void printRow(std::string& out, bool deleted, std::initializer_list<std::string_view> cells) {
    printStateRow(out, deleted ? "deleted" : "live", cells);
}

// Prints one message line below its conversation's row: a TAB, the date
// line, the direction and the text on one line.
void printMessageLine(std::string_view dateLine, std::string_view direction,
                      std::string_view text) {
    std::string line = "\t";
    line += dateLine;
    line += '\t';
    line += direction;
    line += '\t';
    for (const char c : toValidUtf8(text))
        line += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

// Returns whether a record is to be printed: always without a search.
bool wanted(const SearchQuery* query, const SearchTexts& texts) {
    return !query || recordMatches(texts, *query);
}

// Prints deep mode's contact rows as the window lists them: the deleted
// contacts first, then the live ones with deleted fields (live+deleted),
// then the other live ones.
void printDeepContactRows(const RecordStore& store, const SearchQuery* query) {
    std::string line;
    const ContactDataIndex index(store.contactLists);
    const std::vector<deep::DeepContact>& rows = store.deep.contactRows;
    for (size_t at : deep::rowsByState(rows)) {
        const deep::DeepContact& contact = rows[at];
        if (query && !wanted(query, deepContactTexts(contact, index)))
            continue;
        const std::string_view state = deep::rowStateWord(deep::rowState(contact));
        if (contact.live) {
            const ContactRowTexts row = liveContactRowTexts(*contact.live, index);
            printStateRow(line, state, {row.name, row.phone, row.company, row.email});
            continue;
        }
        const deep::DeletedContact& gone = *contact.deleted;
        const auto value = [&](deep::FieldKind kind) {
            const deep::ContactField* field = deep::firstField(gone, kind);
            return field ? std::string_view(field->value) : std::string_view();
        };
        const std::string name = deep::deletedContactName(gone, nullptr);
        printStateRow(line, state,
                      {name, value(deep::FieldKind::Phone), value(deep::FieldKind::Organization),
                       value(deep::FieldKind::Email)});
    }
}

// Prints deep mode's conversation rows: the deleted ones, then the live ones
// holding deleted messages (live+deleted), then the other live ones; with a
// search, each row's matching message lines below it.
void printDeepMessageRows(const RecordStore& store, const SearchQuery* query) {
    std::string line;
    const std::vector<deep::DeepConversation>& rows = store.deep.conversations;
    for (size_t at : deep::rowsByState(rows)) {
        const deep::DeepConversation& conversation = rows[at];
        if (!wanted(query, deepConversationTexts(conversation)))
            continue;
        printStateRow(line, deep::rowStateWord(deep::rowState(conversation)),
                      {conversation.name, conversation.address});
        if (!query)
            continue;
        for (const deep::ConversationEntry& entry : conversation.messages) {
            if (textMatches(entry.body, *query))
                printMessageLine(entry.dateLine, entry.received ? "received" : "sent", entry.body);
        }
    }
}

} // namespace

// Prints the rows of the Contacts category.
void printContactRows(const RecordStore& store, const SearchQuery* query) {
    if (store.deep.loaded)
        return printDeepContactRows(store, query);
    std::string line;
    if (!store.deletedContactsText.empty()) {
        for (const ContactNode& contact : store.deletedContacts) {
            if (query && !wanted(query, classicDeletedContactTexts(contact)))
                continue;
            if (auto row = deletedContactRowTexts(contact))
                printRow(line, true, {row->name, row->phone, row->company, row->email});
        }
    }
    const ContactDataIndex index(store.contactLists);
    for (const ContactNode& contact : store.contactLists.contacts) {
        if (query && !wanted(query, liveContactTexts(contact, index)))
            continue;
        const ContactRowTexts row = liveContactRowTexts(contact, index);
        printRow(line, false, {row.name, row.phone, row.company, row.email});
    }
}

// Prints the rows of the Message category.
void printMessageRows(const RecordStore& store, const SearchQuery* query) {
    if (store.deep.loaded)
        return printDeepMessageRows(store, query);
    std::string line;
    if (!store.deletedSmsText.empty()) {
        for (const ThreadNode& sms : store.deletedSms) {
            if (query && !wanted(query, classicDeletedSmsTexts(sms)))
                continue;
            auto row = deletedSmsRowTexts(sms);
            if (!row)
                continue;
            printRow(line, true, {row->name, row->phone});
            // The engine's line keeps no date and no direction.
            const std::string_view body =
                sms.text.substr(sms.text.find('\t', row->name.size() + 1) + 1);
            if (query && textMatches(body, *query))
                printMessageLine("", "", body);
        }
    }
    const ConversationIndex index(store.contactLists, store.smsLists);
    for (const ThreadNode& thread : store.smsLists.threads) {
        if (query && !wanted(query, liveConversationTexts(thread, index)))
            continue;
        const MessageRowTexts row = liveConversationRowTexts(thread, index);
        printRow(line, false, {row.name, row.phone});
        if (!query)
            continue;
        for (const MessageNode* message : index.messagesOf(thread.conversationId)) {
            if (textMatches(message->body, *query))
                printMessageLine(message->dateLine, message->type == 1 ? "received" : "sent",
                                 message->body);
        }
    }
}

void printCallRow(std::string& line, const deep::CallRecord& call) {
    const std::string duration = call.duration ? std::to_string(*call.duration) : "";
    if (call.deleted)
        printRow(line, true,
                 {call.dateLine, deep::callTypeLabel(call.type), call.name, call.number, duration,
                  "[deleted] " + call.evidence});
    else
        printRow(line, false,
                 {call.dateLine, deep::callTypeLabel(call.type), call.name, call.number, duration});
}

namespace {

// Returns the live contacts of a contacts2.db's current state (its -wal
// applied), which name the calls whose number has no cached name.
ContactLists currentContacts(const std::string& contactsDb) {
    const deep::CurrentStateCopies copies(contactsDb, "");
    return readContacts(copies.contactsDb());
}

// Prints the call log: the deleted calls first (with --deep), then the
// live ones, each newest first. A row holds the date line, the type, the
// name, the number and the duration in seconds; a deleted one also says
// what the engine read it from.
int printCallRows(const Args& args, bool deepRun) {
    if (args.size() != 2 && (args.size() != 4 || args[2] != "--calllog"))
        return printUsage();
    const std::string& contactsDb = args[1];
    PhoneDatabases dbs = phoneDatabasesBeside(contactsDb, "");
    if (args.size() == 4)
        dbs.callLogDb = args[3];
    if (!(dbs.callLogDb.empty() ? checkInputFiles({contactsDb})
                                : checkInputFiles({contactsDb, dbs.callLogDb})))
        return 1;
    warnIfNotSqlite(contactsDb);
    if (!dbs.callLogDb.empty())
        warnIfNotSqlite(dbs.callLogDb);
    const ContactLists contacts = currentContacts(contactsDb);
    std::string line;
    for (const deep::CallRecord& call : deep::readCallLog(dbs, contacts, deepRun))
        printCallRow(line, call);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int runListCommand(const Args& words) {
    bool deepRun = false;
    Args args = afterDeepFlag(words, &deepRun);
    if (!args.empty() && args[0] == "calls")
        return printCallRows(args, deepRun);
    OtherStoreFlags stores;
    if (!takeOtherStoreFlags(args, &stores) || args.size() != 3 ||
        (args[0] != "contacts" && args[0] != "messages") || (stores.given() && !deepRun))
        return printUsage();
    if (!checkDatabaseCopies(args[1], args[2]) || !checkNamedStores(stores))
        return 1;
    RecordStore store;
    if (deepRun)
        loadDeep(store, phoneDatabasesOf(args[1], args[2], stores));
    else
        loadAfterAcquisition(store, args[1], args[2]);
    // A category without records cannot be shown in the window either.
    if (args[0] == "contacts") {
        if (store.contactsCategory.count != 0)
            printContactRows(store, nullptr);
    } else if (store.messageCategory.count != 0) {
        printMessageRows(store, nullptr);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace fennaro::cli
