#include "phone/deep_load.h"

#include <cstdlib>
#include <filesystem>

#include "phone/contacts_text.h"
#include "phone/deep_records.h"
#include "phone/record_loader.h"
#include "phone/sms_text.h"
#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

namespace {

// A new folder only this user can enter, below TMPDIR or /tmp; "" on failure.
std::string makePrivateFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fennaro-current-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

// Returns whether a file exists and holds bytes.
bool holdsBytes(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

// Writes the current state of original into folder/name; returns its path,
// or "" when the original is missing. A database without a -wal or
// -journal is its own current state: its path is returned, and no copy
// costs the time of writing it again. So is the original's when no copy
// can be written: its readers then see its main file, which they only
// open read-only, rather than nothing.
std::string currentStateCopy(const std::string& original, const std::string& folder,
                             const char* name) {
    if (original.empty() || !pathExists(original))
        return {};
    if (folder.empty() || (!holdsBytes(original + "-wal") && !holdsBytes(original + "-journal")))
        return original;
    const std::string copy = folder + "/" + name;
    return writeCurrentState(original, copy) ? copy : original;
}

} // namespace

void runDeepRecoveryEngine(RecordStore& store, const std::string& contactsDb,
                           const std::string& smsDb) {
    store.deletedContactsText = deepContactsText(contactsDb, smsDb);
    store.deletedSmsText = deepSmsText(contactsDb, smsDb);
}

CurrentStateCopies::CurrentStateCopies(const std::string& contactsDb, const std::string& smsDb,
                                       const std::string& bugleDb, const std::string& callLogDb)
    : m_folder(makePrivateFolder()) {
    m_contactsDb = currentStateCopy(contactsDb, m_folder, "contacts2.db");
    m_smsDb = currentStateCopy(smsDb, m_folder, "mmssms.db");
    m_bugleDb = currentStateCopy(bugleDb, m_folder, "bugle_db");
    m_callLogDb = currentStateCopy(callLogDb, m_folder, "calllog.db");
}

CurrentStateCopies::~CurrentStateCopies() {
    // Only the folder this object made, with what it wrote into it.
    if (m_folder.empty())
        return;
    std::error_code error;
    std::filesystem::remove_all(m_folder, error);
}

bool loadDeepAfterAcquisition(RecordStore& store, const std::string& contactsDb,
                              const std::string& smsDb) {
    return loadDeepAfterAcquisition(store, phoneDatabasesBeside(contactsDb, smsDb));
}

bool loadDeepAfterAcquisition(RecordStore& store, const PhoneDatabases& dbs) {
    const CurrentStateCopies copies(dbs.contactsDb, dbs.smsDb, dbs.bugleDb);
    loadRecordsWithoutWindow(store, copies.contactsDb(), copies.smsDb());
    // The deleted records are read once, as structured records, and joined
    // to the live ones; the engine's texts are not needed for them. The
    // other stores' live messages come from the same current states.
    PhoneDatabases states = dbs;
    states.smsDb = copies.smsDb();
    states.bugleDb = copies.bugleDb();
    loadDeepRecords(store, dbs, &states);
    return copies.madeFolder();
}

} // namespace fennaro::deep
