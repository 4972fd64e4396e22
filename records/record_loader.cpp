#include "record_loader.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "record_reader.h"
#include "sqlite_parse.h"

namespace fennaro {

namespace {

// Returns whether a database copy stands at path.
bool copyExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(path, error);
}

// Runs one engine pass and returns its text; a failing run gives no text.
std::string engineText(const std::string& contactsDb, const std::string& smsDb, ePaserType type) {
    try {
        SqliteParse engine(contactsDb, smsDb);
        engine.startParse(type);
        return engine.get_contacts_mem();
    } catch (const std::exception&) {
        return {};
    }
}

// Counts one more record handled and moves the progress bar when the
// percentage changed (a 64-bit product, so large phones cannot overflow it).
void stepProgress(LoadContext& context) {
    RecordStore& store = context.store;
    const int32_t before =
        store.totalCount > 0
            ? static_cast<int32_t>(int64_t{store.loadedCount} * 100 / store.totalCount)
            : 0;
    ++store.loadedCount;
    const int32_t after =
        store.totalCount > 0
            ? static_cast<int32_t>(int64_t{store.loadedCount} * 100 / store.totalCount)
            : 0;
    if (after != before || store.loadedCount == 1)
        context.listener.progressChanged(after);
}

// Sets a category's caption to "Word (n)" and tells the window.
void setCategoryCaption(LoadContext& context, RecordCategory category, int32_t records) {
    CategoryState& state = categoryState(context.store, category);
    char caption[64];
    std::snprintf(caption, sizeof caption, "%s (%d)", categoryWord(category), records);
    state.caption = caption;
    state.count = records;
    context.listener.categoryChanged(category, state);
}

// Returns text up to its first zero byte, as a zero-terminated copy reads.
std::string_view untilZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// Calls make(line, sequence) for every CR LF-ended line of text, in order;
// text after the last line end is not a record.
template <typename Make>
void forEachEngineLine(std::string_view text, Make make) {
    int32_t sequence = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos)
            break;
        make(text.substr(start, end - start), sequence++);
        start = end + 2;
    }
}

} // namespace

int32_t countEngineLines(std::string_view text) {
    int32_t lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string_view::npos;
         at = text.find("\r\n", at + 1))
        ++lines;
    return lines;
}

void runRecoveryEngine(RecordStore& store, const std::string& localContactsDb,
                       const std::string& localSmsDb) {
    store.deletedContactsText = engineText(localContactsDb, localSmsDb, ePaserContacts);
    store.deletedSmsText = engineText(localContactsDb, localSmsDb, ePaserSms);
}

int32_t loadContacts(LoadContext& context, bool countingPass) {
    RecordStore& store = context.store;
    if (!copyExists(context.localContactsDb))
        return 0;
    // One read per loading run: the counting pass reads, the loading pass
    // works on the same lists. A newer read replaces (and frees) older lists.
    if (countingPass || !context.contactsRead) {
        store.contactLists = readContacts(context.localContactsDb);
        context.contactsRead = true;
    }
    std::vector<ContactNode>& contacts = store.contactLists.contacts;
    // Deleted contacts are merged only beside live ones.
    if (contacts.empty())
        return 0;

    int32_t result = 0;
    if (countingPass) {
        // The companion list follows the Contacts category, which starts checked.
        for (CompanionContactNode& companion : store.contactLists.companionContacts)
            companion.checked = 1;
        for (ContactNode& contact : contacts) {
            contact.checked = 1;
            ++store.totalCount;
            ++result;
        }
        const int32_t deleted = countEngineLines(store.deletedContactsText);
        store.totalCount += deleted;
        return result + deleted;
    }

    for (ContactNode& contact : contacts) {
        context.controls.runEvent.wait();
        if (context.controls.stopRequested) {
            if (result > 0)
                setCategoryCaption(context, RecordCategory::Contacts, result);
            return -1;
        }
        contact.checked = 1;
        ++result;
        stepProgress(context);
    }

    // A newer pass replaces the deleted contacts of an older one.
    store.deletedContacts.clear();
    forEachEngineLine(store.deletedContactsText, [&](std::string_view line, int32_t sequence) {
        ContactNode& node = store.deletedContacts.emplace_back();
        node.contactId = sequence;
        node.checked = 1;
        node.deleted = 1;
        node.text = store.deletedTexts.add(untilZero(line));
        ++result;
        stepProgress(context);
    });

    if (result > 0)
        setCategoryCaption(context, RecordCategory::Contacts, result);
    return result;
}

int32_t loadSms(LoadContext& context, bool countingPass) {
    RecordStore& store = context.store;
    if (!copyExists(context.localSmsDb))
        return 0;
    if (countingPass || !context.smsRead) {
        store.smsLists = readSms(context.localSmsDb);
        context.smsRead = true;
    }
    std::vector<ThreadNode>& threads = store.smsLists.threads;
    // Deleted messages are merged only beside live conversations.
    if (threads.empty())
        return 0;

    int32_t result = 0;
    if (countingPass) {
        for (ThreadNode& thread : threads) {
            thread.checked = 1;
            ++store.totalCount;
            ++result;
        }
        const int32_t deleted = countEngineLines(store.deletedSmsText);
        store.totalCount += deleted;
        return result + deleted;
    }

    for (ThreadNode& thread : threads) {
        context.controls.runEvent.wait();
        if (context.controls.stopRequested) {
            if (result > 0)
                setCategoryCaption(context, RecordCategory::Message, result);
            return -1;
        }
        thread.checked = 1;
        ++result;
        stepProgress(context);
    }

    store.deletedSms.clear();
    forEachEngineLine(store.deletedSmsText, [&](std::string_view line, int32_t sequence) {
        ThreadNode& node = store.deletedSms.emplace_back();
        node.conversationId = sequence;
        node.checked = 1;
        node.deleted = 1;
        node.text = store.deletedTexts.add(untilZero(line));
        ++result;
        stepProgress(context);
    });

    if (result > 0)
        setCategoryCaption(context, RecordCategory::Message, result);
    return result;
}

int32_t loadThreadProc(LoadContext& context) {
    context.contactsRead = false;
    context.smsRead = false;
    const int32_t contacts = loadContacts(context, true);
    const int32_t messages = loadSms(context, true);
    context.listener.showPauseAndStop();
    bool stopped = false;
    if (contacts != 0)
        stopped = loadContacts(context, false) == -1;
    if (!stopped && messages != 0)
        loadSms(context, false);
    context.listener.loadDone();
    return 1;
}

void loadAfterAcquisition(RecordStore& store, const std::string& localContactsDb,
                          const std::string& localSmsDb) {
    // Nobody watches the progress here.
    struct SilentListener : LoadListener {
        void progressChanged(int32_t) override {}
        void categoryChanged(RecordCategory, const CategoryState&) override {}
        void showPauseAndStop() override {}
        void loadDone() override {}
    } listener;
    runRecoveryEngine(store, localContactsDb, localSmsDb);
    WorkerControls controls;
    controls.runEvent.set();
    LoadContext context{store, controls, listener, localContactsDb, localSmsDb};
    loadThreadProc(context);
}

void resetForReload(RecordStore& store) {
    clearRecords(store);
    resetCategories(store);
    store.totalCount = 0;
    store.loadedCount = 0;
}

} // namespace fennaro
