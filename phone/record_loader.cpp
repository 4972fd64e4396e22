#include "phone/record_loader.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "phone/record_reader.h"
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
    context.listener.categoryChanged(category, state.caption, state.count);
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

namespace {

// Gives a deleted record its sequence number among the deleted records.
void setSequence(ContactNode& node, int32_t sequence) {
    node.contactId = sequence;
}
void setSequence(ThreadNode& node, int32_t sequence) {
    node.conversationId = sequence;
}

// The counting or loading pass over one category once its copy was read: the
// live records, then the deleted records made from the engine's text. The
// two categories differ only in their node type, lists and caption.
template <typename Node>
int32_t passOverCategory(LoadContext& context, bool countingPass, std::vector<Node>& live,
                         const std::string& deletedText, std::deque<Node>& deleted,
                         RecordCategory category) {
    RecordStore& store = context.store;
    // Deleted records are merged only beside live ones.
    if (live.empty())
        return 0;

    int32_t result = 0;
    if (countingPass) {
        for (Node& node : live) {
            node.checked = 1;
            ++store.totalCount;
            ++result;
        }
        const int32_t lines = countEngineLines(deletedText);
        store.totalCount += lines;
        return result + lines;
    }

    for (Node& node : live) {
        context.controls.runEvent.wait();
        if (context.controls.stopRequested) {
            if (result > 0)
                setCategoryCaption(context, category, result);
            return -1;
        }
        node.checked = 1;
        ++result;
        stepProgress(context);
    }

    // A newer pass replaces the deleted records of an older one.
    deleted.clear();
    forEachEngineLine(deletedText, [&](std::string_view line, int32_t sequence) {
        Node& node = deleted.emplace_back();
        setSequence(node, sequence);
        node.checked = 1;
        node.deleted = 1;
        node.text = store.deletedTexts.add(untilZero(line));
        ++result;
        stepProgress(context);
    });

    if (result > 0)
        setCategoryCaption(context, category, result);
    return result;
}

} // namespace

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
    // The companion list follows the Contacts category, which starts checked.
    if (countingPass) {
        for (CompanionContactNode& companion : store.contactLists.companionContacts)
            companion.checked = 1;
    }
    return passOverCategory(context, countingPass, store.contactLists.contacts,
                            store.deletedContactsText, store.deletedContacts,
                            RecordCategory::Contacts);
}

int32_t loadSms(LoadContext& context, bool countingPass) {
    RecordStore& store = context.store;
    if (!copyExists(context.localSmsDb))
        return 0;
    if (countingPass || !context.smsRead) {
        store.smsLists = readSms(context.localSmsDb);
        context.smsRead = true;
    }
    return passOverCategory(context, countingPass, store.smsLists.threads, store.deletedSmsText,
                            store.deletedSms, RecordCategory::Message);
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

void loadRecordsWithoutWindow(RecordStore& store, const std::string& localContactsDb,
                              const std::string& localSmsDb) {
    // Nobody watches the progress here.
    struct SilentListener : LoadListener {
        void progressChanged(int32_t) override {}
        void categoryChanged(RecordCategory, std::string, int32_t) override {}
        void showPauseAndStop() override {}
        void loadDone() override {}
    } listener;
    WorkerControls controls;
    controls.runEvent.set();
    LoadContext context{store, controls, listener, localContactsDb, localSmsDb};
    loadThreadProc(context);
}

void loadAfterAcquisition(RecordStore& store, const std::string& localContactsDb,
                          const std::string& localSmsDb) {
    runRecoveryEngine(store, localContactsDb, localSmsDb);
    loadRecordsWithoutWindow(store, localContactsDb, localSmsDb);
}

void resetForReload(RecordStore& store) {
    clearRecords(store);
    resetCategories(store);
    store.totalCount = 0;
    store.loadedCount = 0;
}

} // namespace fennaro
